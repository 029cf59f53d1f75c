#include "binding/package/version/version_py.hpp"

#include "binding/package/version/value_object_py.hpp"

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
PyObject* copy_version(PyTypeObject* type, PyObject* x) {
    const auto* source = as_value_object<Version>(x);
    const std::size_t size = source->value().size();
    return new_version_object(type, size, [&](version::PackedHeader& header, char* bytes) {
        header = source->header;
        std::copy_n(source->bytes(), size, bytes);
    });
}

// A new object of `type` for the single constructor argument x.
PyObject* construct(PyTypeObject* type, PyObject* x) {
    return guarded([&]() -> PyObject* {
        if (PyUnicode_Check(x)) {
            return parse_argument(
                x, &version::parse_version_syntax,
                [type](const version::VersionSyntax& syntax, std::string_view text) {
                    return new_version_object(type, version::Packer(syntax, text));
                });
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
            return raise_cannot_construct("Version", x);
        }
        return made ? new_value_object(type, value) : nullptr;
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
    return construct(type, tuple_item(args, 0));
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
    return construct(reinterpret_cast<PyTypeObject*>(callable), args[0]);
}

auto version_slots = value_type_slots<Version>({
    doc_slot("Version(*args)\n--\n\nPython wrapper around a [`Version`]"),
    {Py_tp_new, reinterpret_cast<void*>(&version_new)},
});

PyType_Spec version_spec = value_type_spec<Version>("builtins.Version", version_slots.data());

} // namespace

template <> const ClassDefinition& class_definition<Version>() noexcept {
    static const ClassDefinition definition{version_spec, &version_vectorcall};
    return definition;
}

bool is_version_object(PyObject* object) {
    return is_instance<Version>(object);
}

version::PackedVersion version_value(PyObject* object) {
    return as_value_object<Version>(object)->value();
}

} // namespace tolvi::py
