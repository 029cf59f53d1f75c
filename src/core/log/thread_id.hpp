#pragma once
// The number written as ThreadId(n) in log records.

#include <cstdint>

namespace tolvi::log {

// The calling thread's number: taken from a process-wide counter starting at 1
// the first time the thread asks, kept for the thread's life and never reused.
std::uint64_t current_thread_id() noexcept;

} // namespace tolvi::log
