#pragma once
#include "binding/errors_py.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

// The objects of the three kind classes (SemVer, DotSeparated, Other): one
// model value each, which the setters change, and the state that guards it
// against re-entry; how a value is read, copied, or given to a new object. A
// Version never changes and is laid out apart (version_object_py.hpp).
namespace tolvi::py {

// ---------------------------------------------------------------- access

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

// A claim on an object's value for the length of a scope: shared by a reader,
// or exclusive for a writer. Check ok() after construction; when it is false,
// raise_conflict() sets the error for the caller.
template <bool Exclusive> class Claim {
public:
    explicit Claim(AccessState& state) noexcept : state_(take(state) ? &state : nullptr) {}
    ~Claim() {
        if (state_ == nullptr) {
            return;
        }
        if constexpr (Exclusive) {
            state_->end_exclusive();
        } else {
            state_->end_share();
        }
    }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    bool ok() const noexcept { return state_ != nullptr; }
    static std::nullptr_t raise_conflict() {
        return raise(PyExc_RuntimeError, Exclusive ? fixed::kBorrowed : fixed::kMutablyBorrowed);
    }

private:
    static bool take(AccessState& state) noexcept {
        if constexpr (Exclusive) {
            return state.try_exclusive();
        } else {
            return state.try_share();
        }
    }

    AccessState* state_;
};

using SharedClaim = Claim<false>;
using ExclusiveClaim = Claim<true>;

// Without the interpreter lock, threads that use one object at once take the
// object's own lock in turn, so that a reader racing a writer waits instead of
// failing its claim; the claims still guard the value wherever the lock is let
// go while it is held (the thread blocks, and the interpreter suspends it).
// With the interpreter lock, that lock serves and these do nothing.
#ifdef Py_GIL_DISABLED
class ObjectLock {
public:
    explicit ObjectLock(PyObject* object) noexcept { PyCriticalSection_Begin(&section_, object); }
    ~ObjectLock() { PyCriticalSection_End(&section_); }
    ObjectLock(const ObjectLock&) = delete;
    ObjectLock& operator=(const ObjectLock&) = delete;

private:
    PyCriticalSection section_{};
};
class PairLock {
public:
    PairLock(PyObject* first, PyObject* second) noexcept {
        PyCriticalSection2_Begin(&section_, first, second);
    }
    ~PairLock() { PyCriticalSection2_End(&section_); }
    PairLock(const PairLock&) = delete;
    PairLock& operator=(const PairLock&) = delete;

private:
    PyCriticalSection2 section_{};
};
#else
struct ObjectLock {
    explicit ObjectLock(PyObject*) noexcept {}
};
struct PairLock {
    PairLock(PyObject*, PyObject*) noexcept {}
};
#endif

// ---------------------------------------------------------------- layout

// Never constructed as a whole: the generic allocator hands out zeroed memory
// with the header filled in, and adopt() constructs the members after it.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
template <class T> struct KindObject {
    PyObject ob_base;
    AccessState access;
    T value;

    void adopt(T&& adopted) noexcept {
        new (&access) AccessState();
        new (&value) T(std::move(adopted));
    }
    void destroy() noexcept {
        value.~T();
        access.~AccessState();
    }
};

template <class T> KindObject<T>* as_kind_object(PyObject* object) noexcept {
    return reinterpret_cast<KindObject<T>*>(object);
}

// `value` is complete before the object is allocated; a failed allocation
// simply drops it.
template <class T> Ref kind_object_holding(PyTypeObject* type, T value) {
    // Not the type's allocator, which refuses every other caller.
    Ref object = Ref::steal(PyType_GenericAlloc(type, 0));
    if (object) {
        as_kind_object<T>(object.get())->adopt(std::move(value));
    }
    return object;
}

// A copy of the value of `object` under a shared claim; false with the error
// set while it is being changed.
template <class T> bool copy_value(PyObject* object, T& out) {
    auto* self = as_kind_object<T>(object);
    const ObjectLock lock(object);
    SharedClaim claim(self->access);
    if (!claim.ok()) {
        SharedClaim::raise_conflict();
        return false;
    }
    out = self->value;
    return true;
}

// Runs `read` on the object's value under a shared claim and returns the new
// Python object it makes; empty with an error set if the object is being changed.
template <class T, class Read> Ref read_value(PyObject* object, Read&& read) {
    return guarded([&]() -> Ref {
        auto* self = as_kind_object<T>(object);
        const ObjectLock lock(object);
        SharedClaim claim(self->access);
        if (!claim.ok()) {
            return Ref::steal(SharedClaim::raise_conflict());
        }
        return read(self->value);
    });
}

} // namespace tolvi::py
