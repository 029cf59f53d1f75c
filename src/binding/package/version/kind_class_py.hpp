#pragma once
#include "binding/package/version/conversions_py.hpp"
#include "binding/fixed_texts_py.hpp"
#include "binding/package/version/value_object_py.hpp"
#include "binding/package/version/version_py.hpp"
#include "binding/panic_py.hpp"

#include <initializer_list>
#include <string>
#include <string_view>

// The constructor protocol and property plumbing shared by the classes of the
// three version kinds. Each class supplies a Traits type with:
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
            PyErr_Format(PyExc_ValueError, "invalid input to argument '%s'", name);
        }
        return false;
    }
    return convert(value.get(), out) && reject_unknown_keywords(kwargs, {name}, class_name);
}

template <class T, class Traits> bool value_from_argument(PyObject* x, T& out) {
    if (PyUnicode_Check(x)) {
        return parse_argument(x, Traits::parse, [&out](T& value, std::string_view) {
            out = std::move(value);
            return true;
        });
    }
    if (is_instance<T>(x)) {
        return copy_value<T>(x, out);
    }
    if (is_version_object(x)) {
        // Version objects never change, so their value is read without a claim.
        version::Version held = version::unpack(version_value(x));
        if (T* kind = std::get_if<T>(&held.value)) {
            out = std::move(*kind);
            return true;
        }
        raise(PyExc_TypeError,
              std::string("Expected ") + Traits::name + "; found " + version::to_debug(held));
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
                PyErr_Format(PyExc_ValueError, "%s() requires arguments", Traits::name);
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
        return new_value_object(type, std::move(value)).release();
    });
}

// Property plumbing. A getter reads under a shared claim; a setter converts
// first (which may run Python code) and then replaces the field under an
// exclusive claim, so a failed conversion leaves the field as it was. The
// setter's parameter name, for its TypeError, is the property's closure.
template <class T, class Field, Field T::*Member, Ref (*ToPython)(const Field&)>
PyObject* field_getter(PyObject* object, void*) {
    return read_value<T>(object, [](const T& value) { return ToPython(value.*Member); }).release();
}

template <class T, class Field, Field T::*Member, bool (*FromPython)(PyObject*, Field&)>
int field_setter(PyObject* object, PyObject* new_value, void* parameter) {
    if (new_value == nullptr) {
        raise(PyExc_AttributeError, fixed::cannot_delete);
        return -1;
    }
    return guarded([&]() -> int {
        Field converted{};
        if (!FromPython(new_value, converted)) {
            prefix_argument_error(static_cast<const char*>(parameter));
            return -1;
        }
        auto* self = as_value_object<T>(object);
        ExclusiveClaim claim(self->access);
        if (!claim.ok()) {
            ExclusiveClaim::raise_conflict();
            return -1;
        }
        std::swap(self->value().*Member, converted);
        return 0;
    });
}

// The read-write property `name` of field Member; its setter's parameter is
// called `parameter`.
template <class T, class Field, Field T::*Member, Ref (*ToPython)(const Field&),
          bool (*FromPython)(PyObject*, Field&)>
constexpr PyGetSetDef property(const char* name, const char* parameter) noexcept {
    return {name, &field_getter<T, Field, Member, ToPython>,
            &field_setter<T, Field, Member, FromPython>, nullptr,
            // The closure is a mutable void*, but the setter only reads the text.
            const_cast<char*>(parameter)}; // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

} // namespace tolvi::py
