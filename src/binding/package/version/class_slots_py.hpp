#pragma once
#include "binding/fixed_texts_py.hpp"
#include "binding/refs_py.hpp"

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>

// What the slot tables of the four version classes share.
namespace tolvi::py {

// The slot of a class's docstring. A slot holds a mutable void*, but the
// interpreter only copies the text.
inline PyType_Slot doc_slot(const char* doc) noexcept {
    return {Py_tp_doc, const_cast<char*>(doc)}; // NOLINT(cppcoreguidelines-pro-type-const-cast)
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

// The allocator of the four classes, which refuses: an instance is made by its
// class's constructor, holding a value, and never otherwise. object.__new__
// reaches the allocator (through a __new__ replaced from Python, say), and the
// interpreter's own would hand out an object whose value was never made.
inline PyObject* refuse_allocation(PyTypeObject* type, Py_ssize_t) noexcept {
    auto* object = reinterpret_cast<PyObject*>(type);
    Ref module = Ref::steal(PyObject_GetAttrString(object, "__module__"));
    Ref name = module ? Ref::steal(PyType_GetQualName(type)) : Ref();
    if (name) {
        PyErr_Format(PyExc_TypeError, "cannot create '%U.%U' instances", module.get(), name.get());
    }
    return nullptr;
}

// The type `spec` describes, or null with the error set. CPython 3.12's
// PyType_FromSpec returns null without an error when it cannot copy the type's
// name, which the import would report as a failure without an exception.
inline PyObject* type_from_spec(PyType_Spec& spec) noexcept {
    PyObject* type = PyType_FromSpec(&spec);
    if (type == nullptr && PyErr_Occurred() == nullptr) {
        PyErr_NoMemory();
    }
    return type;
}

// A class's spec name: the module every class reports, a full stop and the
// class's name, made at compile time.
template <std::size_t N> class SpecName {
public:
    constexpr explicit SpecName(const char (&name)[N]) noexcept {
        auto* out = std::copy(fixed::class_module.begin(), fixed::class_module.end(), text_.begin());
        *out++ = '.';
        std::copy(name, name + N, out);
    }
    constexpr const char* c_str() const noexcept { return text_.data(); }

private:
    std::array<char, fixed::class_module.size() + 1 + N> text_{};
};

// The PyType_Spec of a class named `name` whose objects take `size`
// bytes: the interpreter's default flags only, so it cannot be subclassed and
// has no instance dict.
inline PyType_Spec class_spec(const char* name, std::size_t size, PyType_Slot* slots) noexcept {
    return {name, static_cast<int>(size), 0, Py_TPFLAGS_DEFAULT, slots};
}

} // namespace tolvi::py
