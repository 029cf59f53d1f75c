#pragma once
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/parse_failure_py.hpp"
#include "binding/package/version/version_object_py.hpp"
#include "binding/panic_py.hpp"

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

// The constructor protocol of the three kind classes (SemVer, DotSeparated,
// Other). Each class supplies a Traits type with:
//   static constexpr const char* name;                 // "SemVer"
//   static constexpr auto parse = &version::parse_x;  // the kind's own grammar
//   static bool from_keywords(PyObject* kwargs, T&);  // the keyword form
namespace tolvi::py {

// ValueError "'<key>' is an invalid keyword argument for <Class>()" for the
// first key, in the dictionary's order, that is not one of `known`.
bool reject_unknown_keywords(PyObject* kwargs, std::initializer_list<const char*> known,
                             const char* class_name);

// The value of keyword `name`, or an empty Ref: check PyErr_Occurred() to tell
// a missing keyword from a failed lookup. The reference is owned, since the
// conversion that follows may run Python code that changes the dictionary.
Ref keyword_value(PyObject* kwargs, const char* name);

// The keyword form of a class with one field: keyword `name` is required
// (ValueError "invalid input to argument '<name>'" when missing), converted
// with `convert`, and the only keyword accepted.
template <class Field>
bool single_keyword_form(PyObject* kwargs, const char* name, bool (*convert)(PyObject*, Field&),
                         Field& out, const char* class_name) {
    Ref value = keyword_value(kwargs, name);
    if (!value) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_ValueError, fixed::invalid_input, name);
        }
        return false;
    }
    return convert(value.get(), out) && reject_unknown_keywords(kwargs, {name}, class_name);
}

template <class T, class Traits> bool value_from_argument(PyObject* x, T& out) {
    if (PyUnicode_Check(x)) {
        return from_python_text(
            x, Traits::parse, &raise_report,
            [&out](const version::VersionSyntax& syntax, std::string_view utf8) {
                out = version::to_value<T>(syntax, utf8);
                return true;
            });
    }
    if (is_instance<T>(x)) {
        return copy_value<T>(x, out);
    }
    if (is_instance<version::Version>(x)) {
        version::Version held = version::unpack(version_value(x));
        if (T* kind = std::get_if<T>(&held.value)) {
            out = std::move(*kind);
            return true;
        }
        raise(PyExc_TypeError, std::string(fixed::expected_kind) + Traits::name +
                                   fixed::expected_kind_found + version::to_debug(held));
        return false;
    }
    raise_cannot_construct(Traits::name, x);
    return false;
}

template <class T, class Traits>
PyObject* kind_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    const Py_ssize_t count = tuple_size(args);
    return guarded([&]() -> PyObject* {
        T value;
        if (kwargs == nullptr || kwargs == Py_None) {
            if (count == 0) {
                PyErr_Format(PyExc_ValueError, fixed::requires_arguments, Traits::name);
                return nullptr;
            }
            if (count > 1) {
                return raise_panic(fixed::not_implemented);
            }
            if (!value_from_argument<T, Traits>(tuple_item(args, 0), value)) {
                return nullptr;
            }
        } else if (count != 0) {
            return raise(PyExc_TypeError, fixed::args_and_kwargs);
        } else if (!Traits::from_keywords(kwargs, value)) {
            return nullptr;
        }
        return kind_object_holding(type, std::move(value)).release();
    });
}

} // namespace tolvi::py
