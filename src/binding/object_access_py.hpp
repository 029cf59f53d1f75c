#pragma once
#include "binding/refs_py.hpp"

#include <cstddef>
#include <string_view>

// How the module reads the interpreter's tuples, lists, dictionaries, type slots
// and str text, under either API. Built for one interpreter, it reads them
// through the interpreter's macros and fields; the limited API (the stable ABI,
// Py_LIMITED_API) offers none of these, so the abi3 module takes the checked
// functions instead. Making str objects (to_python_str_py.hpp) and types
// (make_type_py.hpp) chooses between the two APIs in rooms of its own.
namespace tolvi::py {

// A str's UTF-8 text as the interpreter gives it (see from_python_utf8).
inline bool from_python_utf8_by_interpreter(PyObject* text, std::string_view& out) noexcept {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(text, &size);
    if (data == nullptr) {
        return false;
    }
    out = std::string_view(data, static_cast<std::size_t>(size));
    return true;
}

#ifdef Py_LIMITED_API
inline Py_ssize_t tuple_size(PyObject* tuple) noexcept {
    return PyTuple_Size(tuple);
}
// Borrowed, as the interpreter's own accessor.
inline PyObject* tuple_item(PyObject* tuple, Py_ssize_t i) noexcept {
    return PyTuple_GetItem(tuple, i);
}
// Fills a slot of a new tuple, taking over `item`.
inline void tuple_fill(PyObject* tuple, Py_ssize_t i, PyObject* item) noexcept {
    PyTuple_SetItem(tuple, i, item);
}
inline Py_ssize_t list_size(PyObject* list) noexcept {
    return PyList_Size(list);
}
inline PyObject* list_item(PyObject* list, Py_ssize_t i) noexcept {
    return PyList_GetItem(list, i);
}
// Fills a slot of a new list, taking over `item`.
inline void list_fill(PyObject* list, Py_ssize_t i, PyObject* item) noexcept {
    PyList_SetItem(list, i, item);
}
inline Py_ssize_t dict_size(PyObject* dict) noexcept {
    return PyDict_Size(dict);
}

inline Ref type_alloc(PyTypeObject* type) noexcept {
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    return Ref::steal(alloc(type, 0));
}
inline void type_free(PyTypeObject* type, PyObject* object) noexcept {
    auto free = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free(object);
}
inline newfunc type_new_slot(PyTypeObject* type) noexcept {
    return reinterpret_cast<newfunc>(PyType_GetSlot(type, Py_tp_new));
}

// The UTF-8 text of the str (or str subclass) `text`, which lives as long as
// the str; false with the interpreter's encoding error set when it has none (a
// lone surrogate).
inline bool from_python_utf8(PyObject* text, std::string_view& out) noexcept {
    return from_python_utf8_by_interpreter(text, out);
}

#else
inline Py_ssize_t tuple_size(PyObject* tuple) noexcept {
    return PyTuple_GET_SIZE(tuple);
}
inline PyObject* tuple_item(PyObject* tuple, Py_ssize_t i) noexcept {
    return PyTuple_GET_ITEM(tuple, i);
}
inline void tuple_fill(PyObject* tuple, Py_ssize_t i, PyObject* item) noexcept {
    PyTuple_SET_ITEM(tuple, i, item);
}
inline Py_ssize_t list_size(PyObject* list) noexcept {
    return PyList_GET_SIZE(list);
}
inline PyObject* list_item(PyObject* list, Py_ssize_t i) noexcept {
    return PyList_GET_ITEM(list, i);
}
inline void list_fill(PyObject* list, Py_ssize_t i, PyObject* item) noexcept {
    PyList_SET_ITEM(list, i, item);
}
inline Py_ssize_t dict_size(PyObject* dict) noexcept {
    return PyDict_GET_SIZE(dict);
}

inline Ref type_alloc(PyTypeObject* type) noexcept {
    return Ref::steal(type->tp_alloc(type, 0));
}
inline void type_free(PyTypeObject* type, PyObject* object) noexcept {
    type->tp_free(object);
}
inline newfunc type_new_slot(PyTypeObject* type) noexcept {
    return type->tp_new;
}

// An ASCII str's characters are its UTF-8 text, read in place without asking
// the interpreter for it.
inline bool from_python_utf8(PyObject* text, std::string_view& out) noexcept {
    if (PyUnicode_IS_COMPACT_ASCII(text)) {
        out = std::string_view(static_cast<const char*>(PyUnicode_DATA(text)),
                               static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)));
        return true;
    }
    return from_python_utf8_by_interpreter(text, out);
}

#endif

} // namespace tolvi::py
