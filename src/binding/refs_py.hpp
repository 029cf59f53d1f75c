#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

// References as types, so that what a function holds says whether it must
// release it: a Ref owns its reference, a Borrowed does not.
namespace tolvi::py {

// A reference that its owner keeps alive (a container, a module, the caller),
// and which is never released here. What the interpreter's functions that
// "return a borrowed reference" give back.
class Borrowed {
public:
    constexpr Borrowed() noexcept = default;
    constexpr explicit Borrowed(PyObject* object) noexcept : object_(object) {}

    constexpr PyObject* get() const noexcept { return object_; }
    constexpr explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    PyObject* object_ = nullptr;
};

// An owned reference: released when the Ref goes out of scope, handed over
// with release() or moved into another Ref.
class Ref {
public:
    Ref() noexcept = default;
    // Takes over a new reference (possibly null, after a failed call).
    static Ref steal(PyObject* object) noexcept { return Ref(object); }
    // Takes a new reference of its own to a borrowed object (possibly null).
    static Ref new_reference(Borrowed object) noexcept {
        Py_XINCREF(object.get());
        return Ref(object.get());
    }

    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref(std::move(other)).swap(*this);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    void swap(Ref& other) noexcept { std::swap(object_, other.object_); }

private:
    explicit Ref(PyObject* object) noexcept : object_(object) {}
    PyObject* object_ = nullptr;
};

// An owned reference kept for the life of the process, as the module itself is,
// and never released: a global's release would run after the interpreter has
// finalised, taking down an object whose own references are gone.
class KeptRef {
public:
    constexpr KeptRef() noexcept = default;
    KeptRef(const KeptRef&) = delete;
    KeptRef& operator=(const KeptRef&) = delete;
    KeptRef(KeptRef&&) = delete;
    KeptRef& operator=(KeptRef&&) = delete;
    ~KeptRef() = default; // releases nothing, by design

    // Takes over `owned`; called once, when the module is built.
    void keep(Ref owned) noexcept { object_ = owned.release(); }
    Borrowed get() const noexcept { return Borrowed(object_); }

private:
    PyObject* object_ = nullptr;
};

} // namespace tolvi::py
