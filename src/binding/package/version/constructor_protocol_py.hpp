#pragma once
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/kind_tables_py.hpp"
#include "binding/package/version/parse_failure_py.hpp"
#include "binding/package/version/version_object_py.hpp"
#include "binding/panic_py.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>

// The constructor of the three kind classes (SemVer, DotSeparated, Other): a
// str read by the kind's own grammar, an object of the class or a Version of
// the kind copied, or the keyword form of the kind's field table.
namespace tolvi::py {

// The value of keyword `name`, or an empty Ref: check PyErr_Occurred() to tell
// a missing keyword from a failed lookup. The reference is owned, since the
// conversion that follows may run Python code that changes the dictionary.
inline Ref keyword_value(PyObject* kwargs, const char* name) {
    Ref key = to_python_str(name);
    if (!key) {
        return {};
    }
    return Ref::new_reference(Borrowed(PyDict_GetItemWithError(kwargs, key.get())));
}

// ValueError "'<key>' is an invalid keyword argument for <Class>()" for the
// first key, in the dictionary's order, that is not one of T's fields.
template <class T> bool reject_unknown_keywords(PyObject* kwargs) {
    Ref keys = Ref::steal(PyDict_Keys(kwargs));
    if (!keys) {
        return false;
    }
    const Py_ssize_t count = list_size(keys.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* key = list_item(keys.get(), i);
        if (!PyUnicode_Check(key)) {
            raise_type_mismatch(key, fixed::kStrTarget);
            return false;
        }
        // Compared as text, never encoded: a key that UTF-8 cannot hold is just
        // another unknown key.
        const bool is_known = std::ranges::any_of(kFieldNames<T>, [key](const char* name) {
            return PyUnicode_CompareWithASCIIString(key, name) == 0;
        });
        if (!is_known) {
            PyErr_Format(PyExc_ValueError, fixed::kInvalidKeyword, key, class_name<T>());
            return false;
        }
    }
    return true;
}

// One field of the keyword form: converted when given; when missing, an error
// if the field is required.
template <class T, class F> bool keyword_field(PyObject* kwargs, const F& field, T& out) {
    Ref value = keyword_value(kwargs, field.name);
    if (value) {
        return F::Convert::kFromPython(value.get(), out.*F::kMember);
    }
    if (PyErr_Occurred() != nullptr) {
        return false;
    }
    if (field.presence == Presence::optional) {
        return true;
    }
    if constexpr (KindTable<T>::kMissing == MissingKeyword::type_error) {
        PyErr_Format(PyExc_TypeError, fixed::kMissingKeyword, field.name);
    } else {
        PyErr_Format(PyExc_ValueError, fixed::kInvalidInput, field.name);
    }
    return false;
}

// The keyword form: each field in the table's order, then no other keyword.
template <class T> bool from_keywords(PyObject* kwargs, T& out) {
    return std::apply(
               [&](const auto&... field) { return (keyword_field(kwargs, field, out) && ...); },
               KindTable<T>::kFields) &&
           reject_unknown_keywords<T>(kwargs);
}

template <class T> bool value_from_argument(PyObject* x, T& out) {
    if (PyUnicode_Check(x)) {
        return from_python_text(
            x, KindTable<T>::kParse, &raise_report,
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
        raise(PyExc_TypeError, std::string(fixed::kExpectedKind) + class_name<T>() +
                                   fixed::kExpectedKindFound + version::to_debug(held));
        return false;
    }
    raise_cannot_construct(class_name<T>(), x);
    return false;
}

template <class T> PyObject* kind_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    const Py_ssize_t count = tuple_size(args);
    return guarded([&]() -> PyObject* {
        T value;
        if (kwargs == nullptr || kwargs == Py_None) {
            if (count == 0) {
                PyErr_Format(PyExc_ValueError, fixed::kRequiresArguments, class_name<T>());
                return nullptr;
            }
            if (count > 1) {
                return raise_panic(fixed::kNotImplemented);
            }
            if (!value_from_argument<T>(tuple_item(args, 0), value)) {
                return nullptr;
            }
        } else if (count != 0) {
            return raise(PyExc_TypeError, fixed::kArgsAndKwargs);
        } else if (!from_keywords(kwargs, value)) {
            return nullptr;
        }
        return kind_object_holding(type, std::move(value)).release();
    });
}

} // namespace tolvi::py
