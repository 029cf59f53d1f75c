#pragma once
#include "binding/refs_py.hpp"

#include <cstddef>

// The abi3 module's way to give a type its own call under CPython 3.12 and
// 3.13, whose limited API names none: there every call of a class goes through
// the interpreter's generic path, which builds an argument tuple for each and
// made construction 1.7 times as slow as in a module built for the interpreter.
//
// A release's type objects keep one layout for all its patch versions, and that
// of 3.12 and 3.13 is the same as far as the call, which is where the
// interpreter looks for it. The module writes the call there only when the
// running interpreter is one of these two and the fields it can check through
// the limited API (flags, size, constructor, allocator, finaliser) sit where the
// layout says; anywhere else the type keeps the generic path.
namespace tolvi::py {

namespace detail {

// The type object of CPython 3.12 and 3.13, up to its call.
struct TypeObjectUpToCall {
    PyVarObject header;
    const char* name;
    Py_ssize_t basicsize;
    Py_ssize_t itemsize;
    void* dealloc;
    Py_ssize_t vectorcall_offset;
    void* getattr;
    void* setattr;
    void* as_async;
    void* repr;
    void* as_number;
    void* as_sequence;
    void* as_mapping;
    void* hash;
    void* call;
    void* str;
    void* getattro;
    void* setattro;
    void* as_buffer;
    unsigned long flags;
    const char* doc;
    void* traverse;
    void* clear;
    void* richcompare;
    Py_ssize_t weaklistoffset;
    void* iter;
    void* iternext;
    void* methods;
    void* members;
    void* getset;
    void* base;
    void* dict;
    void* descr_get;
    void* descr_set;
    Py_ssize_t dictoffset;
    void* init;
    void* alloc;
    void* new_object;
    void* free;
    void* is_gc;
    void* bases;
    void* mro;
    void* cache;
    void* subclasses;
    void* weaklist;
    void* del;
    unsigned int version_tag;
    void* finalize;
    vectorcallfunc vectorcall;
};

} // namespace detail

// Gives `type`, made from `type_spec` by the running interpreter, the call
// `call` where the interpreter is 3.12 or 3.13 and its type object is laid out
// as they lay theirs out; elsewhere the type keeps the generic call.
inline void set_type_call_before_314(PyObject* type, const PyType_Spec& type_spec,
                                     vectorcallfunc call) noexcept {
    constexpr unsigned long kFirst = 0x030C0000; // 3.12
    constexpr unsigned long kAfter = 0x030E0000; // 3.14
    if (Py_Version < kFirst || Py_Version >= kAfter) {
        return;
    }
    auto* layout = reinterpret_cast<detail::TypeObjectUpToCall*>(type);
    auto* as_type = reinterpret_cast<PyTypeObject*>(type);
    const bool laid_out_so = layout->flags == PyType_GetFlags(as_type) &&
                             layout->basicsize == type_spec.basicsize &&
                             layout->new_object == PyType_GetSlot(as_type, Py_tp_new) &&
                             layout->alloc == PyType_GetSlot(as_type, Py_tp_alloc) &&
                             layout->free == PyType_GetSlot(as_type, Py_tp_free) &&
                             layout->finalize == PyType_GetSlot(as_type, Py_tp_finalize) &&
                             layout->vectorcall == nullptr;
    if (!laid_out_so || PyErr_Occurred() != nullptr) {
        PyErr_Clear();
        return;
    }
    layout->vectorcall = call;
}

} // namespace tolvi::py
