#pragma once
#include "binding/errors_py.hpp"
#include "binding/fixed_texts_py.hpp"

#include <atomic>
#include <cstdint>

namespace tolvi::py {

// Guards an object's value against re-entry: any number of readers, or one
// writer. Readers count up; a writer marks the state with -1.
class AccessState {
public:
    bool try_share() noexcept {
        std::intptr_t current = count_.load(std::memory_order_relaxed);
        do {
            if (current < 0) {
                return false;
            }
        } while (!count_.compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                               std::memory_order_relaxed));
        return true;
    }
    void end_share() noexcept { count_.fetch_sub(1, std::memory_order_release); }

    bool try_exclusive() noexcept {
        std::intptr_t expected = 0;
        return count_.compare_exchange_strong(expected, -1, std::memory_order_acquire,
                                              std::memory_order_relaxed);
    }
    void end_exclusive() noexcept { count_.store(0, std::memory_order_release); }

private:
    std::atomic<std::intptr_t> count_{0};
};

// A reader's claim for the length of a scope. Check ok() after construction;
// when it is false, raise_conflict() sets the error for the caller.
class SharedClaim {
public:
    explicit SharedClaim(AccessState& state) noexcept
        : state_(state.try_share() ? &state : nullptr) {}
    ~SharedClaim() {
        if (state_ != nullptr) {
            state_->end_share();
        }
    }
    SharedClaim(const SharedClaim&) = delete;
    SharedClaim& operator=(const SharedClaim&) = delete;

    bool ok() const noexcept { return state_ != nullptr; }
    static std::nullptr_t raise_conflict() {
        return raise(PyExc_RuntimeError, fixed::mutably_borrowed);
    }

private:
    AccessState* state_;
};

class ExclusiveClaim {
public:
    explicit ExclusiveClaim(AccessState& state) noexcept
        : state_(state.try_exclusive() ? &state : nullptr) {}
    ~ExclusiveClaim() {
        if (state_ != nullptr) {
            state_->end_exclusive();
        }
    }
    ExclusiveClaim(const ExclusiveClaim&) = delete;
    ExclusiveClaim& operator=(const ExclusiveClaim&) = delete;

    bool ok() const noexcept { return state_ != nullptr; }
    static std::nullptr_t raise_conflict() { return raise(PyExc_RuntimeError, fixed::borrowed); }

private:
    AccessState* state_;
};

} // namespace tolvi::py
