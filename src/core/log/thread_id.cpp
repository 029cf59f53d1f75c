#include "core/log/thread_id.hpp"

#include <atomic>

namespace tolvi::log {

namespace {

constinit std::atomic<std::uint64_t> next_thread_id{1};
constinit thread_local std::uint64_t this_thread_id = 0; // 0: not assigned yet

} // namespace

std::uint64_t current_thread_id() noexcept {
    if (this_thread_id == 0) {
        this_thread_id = next_thread_id.fetch_add(1, std::memory_order_relaxed);
    }
    return this_thread_id;
}

} // namespace tolvi::log
