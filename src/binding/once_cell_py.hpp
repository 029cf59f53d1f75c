#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <mutex>

namespace tolvi::py {

// A value filled once per process. The first thread fills it; a thread that
// arrives meanwhile waits for the fill with the interpreter lock released, so
// that the filling thread is never blocked behind it.
template <class T> class OnceCell {
public:
    T* get() const noexcept { return value_.load(std::memory_order_acquire); }

    // `fill` runs with the interpreter lock held and returns the new value, or
    // null with a Python exception set; a failure leaves the cell empty.
    template <class Fill> T* get_or_fill(Fill&& fill) {
        if (T* value = get()) {
            return value;
        }
        if (!mutex_.try_lock()) {
            Py_BEGIN_ALLOW_THREADS mutex_.lock();
            Py_END_ALLOW_THREADS
        }
        std::lock_guard<std::mutex> lock(mutex_, std::adopt_lock);
        if (T* value = get()) {
            return value;
        }
        T* value = fill();
        if (value != nullptr) {
            value_.store(value, std::memory_order_release);
        }
        return value;
    }

private:
    std::atomic<T*> value_{nullptr};
    std::mutex mutex_;
};

} // namespace tolvi::py
