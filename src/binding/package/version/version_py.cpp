#include "binding/package/version/version_py.hpp"

#include "binding/errors_py.hpp"
#include "binding/limited_api_py.hpp"
#include "binding/package/version/class_slots_py.hpp"
#include "binding/package/version/class_types_py.hpp"
#include "binding/package/version/parse_failure_py.hpp"
#include "binding/package/version/value_object_py.hpp"
#include "binding/package/version/version_object_py.hpp"
#include "core/package/version/identical.hpp"
#include "core/package/version/ordering_key.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace tolvi::py {

namespace {

using version::Version;

// Wraps a copy of the value of `x`, an object of the kind class K.
template <class K> bool copy_kind(PyObject* x, Version& out) {
    K kind;
    if (!copy_value<K>(x, kind)) {
        return false;
    }
    out.value = std::move(kind);
    return true;
}

// A new object of `type` holding exactly the value of the Version object x.
Ref copy_version(PyTypeObject* type, PyObject* x) {
    const auto* source = as_version_object(x);
    const std::size_t size = source->value().size();
    return new_version_object(type, size, [&](version::PackedHeader& header, char* bytes) {
        header = source->header;
        std::copy_n(source->bytes(), size, bytes);
    });
}

void raise_report(const version::ParseFailure& failure, std::string_view utf8, PyObject*) {
    raise_parse_failure(failure, utf8);
}

// A new object of `type` for the single constructor argument x.
Ref construct(PyTypeObject* type, PyObject* x) {
    return guarded([&]() -> Ref {
        if (PyUnicode_Check(x)) {
            return version_from_text(type, x, version::Grammar::version, &raise_report);
        }
        if (is_instance<Version>(x)) {
            return copy_version(type, x);
        }
        Version value;
        bool made = false;
        if (is_instance<version::SemVer>(x)) {
            made = copy_kind<version::SemVer>(x, value);
        } else if (is_instance<version::DotSeparated>(x)) {
            made = copy_kind<version::DotSeparated>(x, value);
        } else if (is_instance<version::Other>(x)) {
            made = copy_kind<version::Other>(x, value);
        } else {
            raise_cannot_construct("Version", x);
            return {};
        }
        return made ? new_version_object(type, version::Packer(value)) : Ref();
    });
}

// The key is named by its own text: keyword names are always str objects, and
// str() of a str subclass could run code of the caller's, or fail.
PyObject* unexpected_keyword(PyObject* key) {
    PyErr_Format(PyExc_TypeError, "Version.__new__() got an unexpected keyword argument '%U'", key);
    return nullptr;
}

PyObject* wrong_argument_count() {
    return raise(PyExc_ValueError, "Version() requires arguments");
}

PyObject* version_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    if (kwargs != nullptr && dict_size(kwargs) != 0) {
        Py_ssize_t pos = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        PyDict_Next(kwargs, &pos, &key, &value);
        return unexpected_keyword(key);
    }
    if (tuple_size(args) != 1) {
        return wrong_argument_count();
    }
    return construct(type, tuple_item(args, 0)).release();
}

// The same rules as version_new, called without the argument tuple and keyword
// dictionary that the interpreter would otherwise build for every call.
PyObject* version_vectorcall(PyObject* callable, PyObject* const* args, std::size_t nargsf,
                             PyObject* kwnames) {
    if (kwnames != nullptr && tuple_size(kwnames) != 0) {
        return unexpected_keyword(tuple_item(kwnames, 0));
    }
    if (PyVectorcall_NARGS(nargsf) != 1) {
        return wrong_argument_count();
    }
    return construct(reinterpret_cast<PyTypeObject*>(callable), args[0]).release();
}

void version_dealloc(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    // The block holds nothing that needs releasing.
    type_free(type, object);
    // Instances of heap types own a reference to their type.
    Py_DECREF(type);
}

PyObject* version_str(PyObject* object) {
    return version_text(object).release();
}

PyObject* version_repr(PyObject* object) {
    return guarded([&]() -> Ref {
               return from_string(version::to_debug(as_version_object(object)->value()));
           })
        .release();
}

// The answer of the values themselves. Out of line, so that a comparison that
// the keys decide sets up no frame for it.
[[gnu::noinline]] PyObject* compare_values(const VersionObject* self, const VersionObject* that,
                                           int op) {
    const bool holds = (op == Py_EQ || op == Py_NE)
                           ? ((self->value() == that->value()) == (op == Py_EQ))
                           : comparison_holds(self->value() <=> that->value(), op);
    return Py_NewRef(holds ? Py_True : Py_False);
}

// The answer two ordering keys give, or null when only the values can tell.
PyObject* compare_keys(std::uint64_t a, std::uint64_t b, int op) noexcept {
    const auto hint = version::compare_ordering_keys(a, b);
    if (hint == std::partial_ordering::unordered) {
        return nullptr;
    }
    return Py_NewRef(comparison_holds(hint, op) ? Py_True : Py_False);
}

// Two Versions of which one has no key yet: the keys are computed, then they
// or the values answer.
[[gnu::noinline]] PyObject* compare_unkeyed(VersionObject* self, VersionObject* that, int op) {
    PyObject* decided = compare_keys(version::cached_ordering_key(self->header, self->bytes()),
                                     version::cached_ordering_key(that->header, that->bytes()), op);
    return decided != nullptr ? decided : compare_values(self, that, op);
}

// Both operands must be Versions; anything else is left to the interpreter's
// fallback.
PyObject* version_richcompare(PyObject* object, PyObject* other, int op) {
    // The class cannot be subclassed, so `other` is a Version exactly when it
    // has the type of `object`; a sort asks this for every comparison.
    if (op < Py_LT || op > Py_GE || !Py_IS_TYPE(other, Py_TYPE(object))) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    auto* self = as_version_object(object);
    auto* that = as_version_object(other);
    // Most comparisons of a sort end here, with keys computed earlier.
    const std::uint64_t a = self->header.ordering_key;
    const std::uint64_t b = that->header.ordering_key;
    if (a == 0 || b == 0) {
        return compare_unkeyed(self, that, op);
    }
    if (PyObject* decided = compare_keys(a, b, op)) {
        return decided;
    }
    return compare_values(self, that, op);
}

PyType_Slot version_slots[] = {
    doc_slot("Version(*args)\n--\n\nPython wrapper around a [`Version`]"),
    {Py_tp_new, reinterpret_cast<void*>(&version_new)},
    {Py_tp_alloc, reinterpret_cast<void*>(&refuse_allocation)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&version_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&version_repr)},
    {Py_tp_str, reinterpret_cast<void*>(&version_str)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&version_richcompare)},
    {0, nullptr},
};

constexpr SpecName version_name("Version");

PyType_Spec version_spec = class_spec(version_name.c_str(), sizeof(VersionObject), version_slots);

} // namespace

template <> const ClassDefinition& class_definition<Version>() noexcept {
    static const ClassDefinition definition{version_spec, &version_vectorcall};
    return definition;
}

bool is_version_object(PyObject* object) {
    return is_instance<Version>(object);
}

version::PackedVersion version_value(PyObject* object) {
    return as_version_object(object)->value();
}

Ref version_from_model(const Version& value) {
    PyTypeObject* type = class_type<Version>();
    return type != nullptr ? new_version_object(type, version::Packer(value)) : Ref();
}

bool version_text_carries_value(PyObject* object) {
    return version::text_parses_back(version_value(object));
}

Ref version_text(PyObject* object) {
    const version::PackedVersion value = version_value(object);
    const std::string_view text = value.text();
    if (!value.is_ascii()) {
        return Ref::steal(
            PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr));
    }
    return str_from_ascii(text);
}

} // namespace tolvi::py
