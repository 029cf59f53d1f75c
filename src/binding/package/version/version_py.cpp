// The Version class: immutable objects of one packed block each, built from
// text by the grammar, from the kind classes' objects or from another Version.
#include "binding/object_access_py.hpp"
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/parse_failure_py.hpp"
#include "binding/package/version/slots_py.hpp"
#include "binding/package/version/version_object_py.hpp"
#include "core/package/version/ordering_key.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tolvi::py {

namespace {

using version::Version;

// ---------------------------------------------------------------- lifetime

// The block holds nothing that needs releasing, and goes back to the pool when
// there is room. Instances of heap types own a reference to their type.
void version_dealloc(PyObject* object) noexcept {
    PyTypeObject* type = Py_TYPE(object);
    const std::size_t size = sizeof(VersionObject) + version_value(object).size();
    if (!version_blocks.keep(object, size)) {
        type_free(type, object);
    }
    Py_DECREF(type);
}

// ---------------------------------------------------------------- constructor

// Wraps a copy of the value of `x`, an object of the kind class K.
template <class K> bool version_from_kind(PyObject* x, Version& out) {
    K kind;
    if (!copy_value<K>(x, kind)) {
        return false;
    }
    out.value = std::move(kind);
    return true;
}

// A new object of `type` holding exactly the value of the Version object x.
Ref clone_version(PyTypeObject* type, PyObject* x) {
    auto* source = as_version_object(x);
    const std::size_t size = source->value().size();
    return new_version_object(type, size, [&](version::PackedHeader& header, char* bytes) {
        header = version::copied_header(source->header);
        std::copy_n(source->bytes(), size, bytes);
    });
}

// A new object of `type` for the single constructor argument x.
Ref construct(PyTypeObject* type, PyObject* x) {
    return guarded([&]() -> Ref {
        if (PyUnicode_Check(x)) {
            return from_python_text(x, &version::parse_version, &raise_report,
                                    version_packer(type));
        }
        if (is_instance<Version>(x)) {
            return clone_version(type, x);
        }
        Version value;
        bool made = false;
        if (is_instance<version::SemVer>(x)) {
            made = version_from_kind<version::SemVer>(x, value);
        } else if (is_instance<version::DotSeparated>(x)) {
            made = version_from_kind<version::DotSeparated>(x, value);
        } else if (is_instance<version::Other>(x)) {
            made = version_from_kind<version::Other>(x, value);
        } else {
            raise_cannot_construct(class_name<version::Version>(), x);
            return {};
        }
        return made ? new_version_object(type, version::Packer(value)) : Ref();
    });
}

// The key is named by its own text: keyword names are always str objects, and
// str() of a str subclass could run code of the caller's, or fail.
PyObject* unexpected_keyword(PyObject* key) {
    PyErr_Format(PyExc_TypeError, fixed::kVersionKeyword, key);
    return nullptr;
}

PyObject* raise_requires_arguments() {
    PyErr_Format(PyExc_ValueError, fixed::kRequiresArguments, class_name<version::Version>());
    return nullptr;
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
        return raise_requires_arguments();
    }
    return construct(type, tuple_item(args, 0)).release();
}

// Calls `type` as the interpreter calls a type without a call of its own: its
// creation slot, then its initialiser. Version's own call takes this road once
// the class's __new__ is replaced, which the call would otherwise skip.
PyObject* call_type_generically(PyObject* type, PyObject* const* args, std::size_t nargsf,
                                PyObject* kwnames) noexcept {
    const Py_ssize_t count = PyVectorcall_NARGS(nargsf);
    Ref positional = Ref::steal(PyTuple_New(count));
    if (!positional) {
        return nullptr;
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        tuple_fill(positional.get(), i, Py_NewRef(args[i]));
    }
    Ref keywords;
    const Py_ssize_t keyword_count = kwnames != nullptr ? tuple_size(kwnames) : 0;
    if (keyword_count != 0) {
        keywords = Ref::steal(PyDict_New());
        if (!keywords) {
            return nullptr;
        }
    }
    for (Py_ssize_t i = 0; i < keyword_count; ++i) {
        if (PyDict_SetItem(keywords.get(), tuple_item(kwnames, i), args[count + i]) < 0) {
            return nullptr;
        }
    }
    // The generic call is the call of type objects, which is not reached through
    // PyObject_Call: that would find the type's own call again.
    auto call = reinterpret_cast<ternaryfunc>(PyType_GetSlot(&PyType_Type, Py_tp_call));
    return call(type, positional.get(), keywords.get());
}

// The same rules as version_new, called without the argument tuple and keyword
// dictionary that the interpreter would otherwise build for every call; a
// replaced __new__ (a mock's, say) is called as the interpreter would call it.
PyObject* version_vectorcall(PyObject* callable, PyObject* const* args, std::size_t nargsf,
                             PyObject* kwnames) {
    if (type_new_slot(reinterpret_cast<PyTypeObject*>(callable)) != &version_new) {
        return call_type_generically(callable, args, nargsf, kwnames);
    }
    if (kwnames != nullptr && tuple_size(kwnames) != 0) {
        return unexpected_keyword(tuple_item(kwnames, 0));
    }
    if (PyVectorcall_NARGS(nargsf) != 1) {
        return raise_requires_arguments();
    }
    return construct(reinterpret_cast<PyTypeObject*>(callable), args[0]).release();
}

// ---------------------------------------------------------------- text forms

PyObject* version_str(PyObject* object) {
    return to_python_text(version_value(object)).release();
}

PyObject* version_repr(PyObject* object) {
    return guarded(
               [&]() -> Ref { return to_python_string(version::to_debug(version_value(object))); })
        .release();
}

// ---------------------------------------------------------------- comparison

// The answer of the values themselves. Out of line, so that a comparison that
// the keys decide sets up no frame for it.
[[gnu::noinline]] PyObject* compare_packed(const VersionObject* self, const VersionObject* that,
                                           int op) {
    return compare_values(self->value(), that->value(), op);
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
    return decided != nullptr ? decided : compare_packed(self, that, op);
}

// Both operands must be Versions; anything else is left to the interpreter's
// fallback. A sort asks this for every comparison.
PyObject* version_richcompare(PyObject* object, PyObject* other, int op) {
    if (!compares_with(object, other, op)) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    auto* self = as_version_object(object);
    auto* that = as_version_object(other);
    // Most comparisons of a sort end here, with keys computed earlier.
    const std::uint64_t a = version::kept_ordering_key(self->header);
    const std::uint64_t b = version::kept_ordering_key(that->header);
    if (a == 0 || b == 0) {
        return compare_unkeyed(self, that, op);
    }
    if (PyObject* decided = compare_keys(a, b, op)) {
        return decided;
    }
    return compare_packed(self, that, op);
}

// ---------------------------------------------------------------- type

PyType_Slot version_slots[] = {
    doc_slot("Version(*args)\n--\n\nPython wrapper around a [`Version`]"),
    {Py_tp_new, reinterpret_cast<void*>(&version_new)},
    refusing_allocation_slot(),
    {Py_tp_dealloc, reinterpret_cast<void*>(&version_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&version_repr)},
    {Py_tp_str, reinterpret_cast<void*>(&version_str)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&version_richcompare)},
    {0, nullptr},
};

constexpr SpecName version_name("Version");

PyType_Spec version_spec = class_spec(version_name.c_str(), sizeof(VersionObject), version_slots);

} // namespace

const ClassDefinition version_definition{version_spec, &version_vectorcall};

} // namespace tolvi::py
