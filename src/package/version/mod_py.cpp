#include "package/version/mod_py.hpp"

#include "package/version/value_object_py.hpp"
#include "type_cell_py.hpp"

namespace tolvi::py {

namespace {

using version::Version;

// Wraps a copy of the value of a kind object of class K, if `x` is one.
template <class K> bool copy_kind(PyObject* x, Version& out, bool& matched) {
    if (!is_instance<K>(x)) {
        return true;
    }
    matched = true;
    K kind;
    if (!copy_value<K>(x, kind)) {
        return false;
    }
    out.value = std::move(kind);
    return true;
}

PyObject* parse_into(PyTypeObject* type, PyObject* text) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size);
    if (utf8 == nullptr) {
        return nullptr;
    }
    auto parsed = version::parse_version(std::string_view(utf8, static_cast<std::size_t>(size)));
    if (auto* message = std::get_if<std::string>(&parsed)) {
        return raise(PyExc_RuntimeError, *message);
    }
    return new_value_object(type, std::move(std::get<Version>(parsed)));
}

PyObject* version_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    if (kwargs != nullptr && PyDict_GET_SIZE(kwargs) != 0) {
        Py_ssize_t pos = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        PyDict_Next(kwargs, &pos, &key, &value);
        PyErr_Format(PyExc_TypeError, "%s.__new__() got an unexpected keyword argument '%S'",
                     "Version", key);
        return nullptr;
    }
    if (PyTuple_GET_SIZE(args) != 1) {
        return raise(PyExc_ValueError, "Version() requires arguments");
    }
    PyObject* x = PyTuple_GET_ITEM(args, 0);
    return guarded(
        [&]() -> PyObject* {
            if (PyUnicode_Check(x)) {
                return parse_into(type, x);
            }
            Version copy;
            bool matched = false;
            if (!copy_kind<version::SemVer>(x, copy, matched) ||
                !copy_kind<version::DotSeparated>(x, copy, matched) ||
                !copy_kind<version::Other>(x, copy, matched)) {
                return nullptr;
            }
            if (!matched && is_instance<Version>(x)) {
                matched = true;
                if (!copy_value<Version>(x, copy)) {
                    return nullptr;
                }
            }
            if (!matched) {
                Ref name = Ref::steal(PyType_GetName(Py_TYPE(x)));
                if (!name) {
                    return nullptr;
                }
                PyErr_Format(PyExc_TypeError, "Cannot construct Version from type '%U'",
                             name.get());
                return nullptr;
            }
            return new_value_object(type, std::move(copy));
        },
        static_cast<PyObject*>(nullptr));
}

auto version_slots = value_type_slots<Version>({
    {Py_tp_doc, const_cast<char*>("Version(*args)\n--\n\nPython wrapper around a [`Version`]")},
    {Py_tp_new, reinterpret_cast<void*>(&version_new)},
});

PyType_Spec version_spec = value_type_spec<Version>("builtins.Version", version_slots.data());

TypeCell version_cell(version_spec, "Version");

} // namespace

template <> PyTypeObject* class_type<Version>() {
    return version_cell.get();
}

PyTypeObject* create_version_type() {
    return version_cell.get_or_create();
}

bool is_version_object(PyObject* object) {
    return is_instance<Version>(object);
}

const Version& version_value(PyObject* object) {
    return as_value_object<Version>(object)->value;
}

} // namespace tolvi::py
