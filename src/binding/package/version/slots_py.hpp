#pragma once
#include "binding/fixed_texts_py.hpp"
#include "binding/object_access_py.hpp"

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>

// What the type specs and slots of the module's classes share: their
// names and docstrings, the allocator that refuses, the dealloc and the answer
// of a comparison.
namespace tolvi::py {

// A class's PyType_Spec name: the module every class reports, a full stop and the
// class's name, made at compile time.
template <std::size_t N> class SpecName {
public:
    constexpr explicit SpecName(const char (&name)[N]) noexcept {
        auto* out =
            std::copy(fixed::kClassModule.begin(), fixed::kClassModule.end(), text_.begin());
        *out++ = '.';
        std::copy(name, name + N, out);
    }
    constexpr const char* c_str() const noexcept { return text_.data(); }

private:
    std::array<char, fixed::kClassModule.size() + 1 + N> text_{};
};

// The PyType_Spec of a class named `name` whose objects take `size` bytes: the
// interpreter's default flags only, so it cannot be subclassed and has no
// instance dict.
inline PyType_Spec class_spec(const char* name, std::size_t size, PyType_Slot* slots) noexcept {
    return {name, static_cast<int>(size), 0, Py_TPFLAGS_DEFAULT, slots};
}

// The slot of a class's docstring. A slot holds a mutable void*, but the
// interpreter only copies the text.
inline PyType_Slot doc_slot(const char* doc) noexcept {
    return {Py_tp_doc, const_cast<char*>(doc)}; // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

// The allocator of the four classes, which refuses: an instance is made by its
// class's constructor, holding a value, and never otherwise. object.__new__
// reaches the allocator (through a __new__ replaced from Python, say), and the
// interpreter's own would hand out an object whose value was never made.
inline PyObject* refuse_allocation(PyTypeObject* type, Py_ssize_t) noexcept {
    auto* object = reinterpret_cast<PyObject*>(type);
    Ref module = Ref::steal(PyObject_GetAttrString(object, "__module__"));
    Ref name = module ? Ref::steal(PyType_GetQualName(type)) : Ref();
    if (name) {
        PyErr_Format(PyExc_TypeError, fixed::kCannotCreate, module.get(), name.get());
    }
    return nullptr;
}

inline PyType_Slot refusing_allocation_slot() noexcept {
    return {Py_tp_alloc, reinterpret_cast<void*>(&refuse_allocation)};
}

template <class Release> struct ReleasedObject;
template <class Object> struct ReleasedObject<void (Object::*)() noexcept> { using type = Object; };

// The dealloc of every class: what the object's member function Release
// releases, then the block. Instances of heap types own a reference to their
// type.
template <auto Release> void dealloc(PyObject* object) noexcept {
    using Object = typename ReleasedObject<decltype(Release)>::type;
    PyTypeObject* type = Py_TYPE(object);
    (reinterpret_cast<Object*>(object)->*Release)();
    type_free(type, object);
    Py_DECREF(type);
}

// Whether `order` satisfies the rich comparison `op`.
inline bool comparison_holds(std::partial_ordering order, int op) noexcept {
    switch (op) {
    case Py_LT:
        return std::is_lt(order);
    case Py_LE:
        return std::is_lteq(order);
    case Py_EQ:
        return std::is_eq(order);
    case Py_NE:
        return std::is_neq(order);
    case Py_GT:
        return std::is_gt(order);
    default:
        return std::is_gteq(order);
    }
}

// The answer of two values to the rich comparison `op`: == and != by their
// equality, the others by their order.
template <class Value> PyObject* compare_values(const Value& a, const Value& b, int op) {
    const bool holds =
        (op == Py_EQ || op == Py_NE) ? ((a == b) == (op == Py_EQ)) : comparison_holds(a <=> b, op);
    return Py_NewRef(holds ? Py_True : Py_False);
}

// Whether a rich comparison of `object` with `other` is for the class's own
// slot: one of the six operators, and `other` of the same class. The classes
// cannot be subclassed, so that is `other` having the type of `object`.
inline bool compares_with(PyObject* object, PyObject* other, int op) noexcept {
    return op >= Py_LT && op <= Py_GE && Py_TYPE(other) == Py_TYPE(object);
}

} // namespace tolvi::py
