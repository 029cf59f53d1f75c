#pragma once
#include "binding/errors_py.hpp"
#include "binding/limited_api_py.hpp"
#include "binding/package/version/access_py.hpp"
#include "binding/package/version/class_slots_py.hpp"
#include "binding/package/version/class_types_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/parse_failure_py.hpp"
#include "core/package/version/version.hpp"

#include <algorithm>
#include <array>
#include <compare>
#include <new>
#include <string>
#include <utility>

// The objects of the three mutable kind classes (SemVer, DotSeparated, Other):
// an object owning one model value and the state that guards it against
// re-entry, and the slots that only read it. Version objects are laid out and
// served apart (version_py.cpp).
namespace tolvi::py {

// Never constructed as a whole: the allocator hands out zeroed memory with the
// header filled in, and adopt() constructs the members after it.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
template <class T> struct ValueObject {
    PyObject ob_base;
    AccessState access;
    T stored;

    T& value() noexcept { return stored; }

    void adopt(T&& value) noexcept {
        new (&access) AccessState();
        new (&stored) T(std::move(value));
    }
    void destroy() noexcept {
        stored.~T();
        access.~AccessState();
    }
};

template <class T> ValueObject<T>* as_value_object(PyObject* object) noexcept {
    return reinterpret_cast<ValueObject<T>*>(object);
}

// A new object of `type` taking over `value`, which is complete before the
// object is allocated; empty with an error set if the allocation fails, in which
// case `value` is simply dropped.
template <class T> Ref new_value_object(PyTypeObject* type, T value) {
    // Not the type's allocator, which refuses every other caller.
    Ref object = Ref::steal(PyType_GenericAlloc(type, 0));
    if (object) {
        as_value_object<T>(object.get())->adopt(std::move(value));
    }
    return object;
}

// A copy of the value of `object` under a shared claim; false with the error
// set when the object is being changed.
template <class T> bool copy_value(PyObject* object, T& out) {
    auto* self = as_value_object<T>(object);
    SharedClaim claim(self->access);
    if (!claim.ok()) {
        SharedClaim::raise_conflict();
        return false;
    }
    out = self->value();
    return true;
}

// Parses the text of the str `text` with `parse` and gives what `use` makes of
// the value and that text; `use`'s failure value with RuntimeError (the
// report) or the interpreter's encoding error set when that fails.
template <class T, class Use>
auto parse_argument(PyObject* text, version::ParseResult<T> (*parse)(std::string_view), Use&& use) {
    using Result = decltype(use(std::declval<T&>(), std::string_view()));
    std::string_view utf8;
    if (!str_utf8(text, utf8)) {
        return failure_value<Result>();
    }
    auto parsed = parse(utf8);
    if (const auto* failure = std::get_if<version::ParseFailure>(&parsed)) {
        raise_parse_failure(*failure, utf8);
        return failure_value<Result>();
    }
    return use(std::get<T>(parsed), utf8);
}

template <class T> void value_dealloc(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    as_value_object<T>(object)->destroy();
    type_free(type, object);
    // Instances of heap types own a reference to their type.
    Py_DECREF(type);
}

// Runs `read` on the object's value under a shared claim and returns the new
// Python object it makes; empty with an error set if the object is being changed.
template <class T, class Read> Ref read_value(PyObject* object, Read&& read) {
    return guarded([&]() -> Ref {
        auto* self = as_value_object<T>(object);
        SharedClaim claim(self->access);
        if (!claim.ok()) {
            return Ref::steal(SharedClaim::raise_conflict());
        }
        return read(self->value());
    });
}

template <class T> PyObject* value_str(PyObject* object) {
    return read_value<T>(object,
                         [](const T& value) { return from_string(version::to_text(value)); })
        .release();
}

template <class T> PyObject* value_repr(PyObject* object) {
    return read_value<T>(object,
                         [](const T& value) { return from_string(version::to_debug(value)); })
        .release();
}

// The comparison of two values under shared claims; NotImplemented when either
// is in the middle of a change.
template <class T> PyObject* compare_values(ValueObject<T>* self, ValueObject<T>* that, int op) {
    SharedClaim mine(self->access);
    SharedClaim theirs(that->access);
    if (!mine.ok() || !theirs.ok()) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    const bool holds = (op == Py_EQ || op == Py_NE)
                           ? ((self->value() == that->value()) == (op == Py_EQ))
                           : comparison_holds(self->value() <=> that->value(), op);
    return Py_NewRef(holds ? Py_True : Py_False);
}

// Both operands must be of T's class; anything else is left to the
// interpreter's fallback. An operand in the middle of a change compares as
// NotImplemented too.
template <class T> PyObject* value_richcompare(PyObject* object, PyObject* other, int op) {
    // The classes cannot be subclassed, so `other` is of T's class exactly when
    // it has the type of `object`.
    if (op < Py_LT || op > Py_GE || !Py_IS_TYPE(other, Py_TYPE(object))) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    return compare_values(as_value_object<T>(object), as_value_object<T>(other), op);
}

// A class's slot table: its own slots followed by the ones the three classes
// share, ending with the terminating entry.
template <class T, std::size_t N>
std::array<PyType_Slot, N + 6> value_type_slots(const PyType_Slot (&own)[N]) noexcept {
    std::array<PyType_Slot, N + 6> slots{};
    std::copy(own, own + N, slots.begin());
    slots[N] = {Py_tp_alloc, reinterpret_cast<void*>(&refuse_allocation)};
    slots[N + 1] = {Py_tp_dealloc, reinterpret_cast<void*>(&value_dealloc<T>)};
    slots[N + 2] = {Py_tp_repr, reinterpret_cast<void*>(&value_repr<T>)};
    slots[N + 3] = {Py_tp_str, reinterpret_cast<void*>(&value_str<T>)};
    slots[N + 4] = {Py_tp_richcompare, reinterpret_cast<void*>(&value_richcompare<T>)};
    slots[N + 5] = {0, nullptr};
    return slots;
}

template <class T> PyType_Spec value_type_spec(const char* name, PyType_Slot* slots) noexcept {
    return class_spec(name, sizeof(ValueObject<T>), slots);
}

} // namespace tolvi::py
