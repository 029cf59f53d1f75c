#pragma once
#include "binding/refs_py.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

// How the module makes its types: from a PyType_Spec, each with the call of its
// own that a class may bring, which takes the arguments in place, without the
// tuple and dictionary that the interpreter's generic call of a type builds.
//
// The limited API (the abi3 module) names that call a slot of the PyType_Spec
// from 3.14 on; 3.12 and 3.13 have no such slot, and there every call of a class
// would go through the generic path, which made construction 1.7 times as slow
// as in a module built for the interpreter. A release's type objects keep one
// layout for all its patch versions, and that of 3.12 and 3.13 is the same as
// far as the call, which is where the interpreter looks for it. The abi3 module
// writes the call there only when the running interpreter is one of these two
// and the fields it can check through the limited API (flags, size,
// constructor, allocator, finaliser) sit where the layout says; anywhere else
// the type keeps the generic path.
namespace tolvi::py {

#ifdef Py_LIMITED_API
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

#endif

// `type`, just made from a PyType_Spec, or null with the error set. CPython 3.12's
// PyType_FromSpec returns null without an error when it cannot copy the type's
// name, which the import would report as a failure without an exception.
inline PyObject* checked_type(PyObject* type) noexcept {
    if (type == nullptr && PyErr_Occurred() == nullptr) {
        PyErr_NoMemory();
    }
    return type;
}

#ifdef Py_LIMITED_API
// A type with its own call where `call` is not null: the slot from 3.14 on, the
// layout's field on 3.12 and 3.13 when it checks out.
inline PyObject* type_with_call(PyType_Spec& type_spec, vectorcallfunc call) noexcept {
    constexpr int kTypeCallSlot = 82;                    // Py_tp_vectorcall of 3.14
    constexpr unsigned long kFirstWithSlot = 0x030E0000; // 3.14
    if (call != nullptr && Py_Version < kFirstWithSlot) {
        PyObject* type = PyType_FromSpec(&type_spec);
        if (type != nullptr) {
            set_type_call_before_314(type, type_spec, call);
        }
        return type;
    }
    // Room for the slots of any of the module's classes (eight at most) with the
    // call's and the end's; a class with more would keep the generic call rather
    // than need a table of its own size.
    constexpr std::size_t kMostSlots = 32;
    std::array<PyType_Slot, kMostSlots> slots{};
    std::size_t count = 0;
    while (type_spec.slots[count].slot != 0) {
        ++count;
    }
    if (call == nullptr || count + 2 > slots.size()) {
        return PyType_FromSpec(&type_spec);
    }
    std::copy(type_spec.slots, type_spec.slots + count, slots.begin());
    slots[count] = {kTypeCallSlot, reinterpret_cast<void*>(call)};
    PyType_Spec with_call = type_spec;
    with_call.slots = slots.data();
    return PyType_FromSpec(&with_call);
}
#else
inline PyObject* type_with_call(PyType_Spec& type_spec, vectorcallfunc call) noexcept {
    PyObject* type = PyType_FromSpec(&type_spec);
    if (type != nullptr && call != nullptr) {
        reinterpret_cast<PyTypeObject*>(type)->tp_vectorcall = call;
    }
#ifdef Py_GIL_DISABLED
    // A free-threaded 3.13 counts each object's reference to a type made from
    // a PyType_Spec on the type itself (a class statement's type counts per
    // thread), so threads that make objects at once take turns at that one
    // count: two threads constructing ran at 0.85 times one thread's speed.
    // The module keeps its types for the life of the process; a count beyond
    // the field's range, set by the thread that made the type, tells the
    // interpreter so, and no thread writes the count again.
    constexpr auto kBeyondCount = static_cast<Py_ssize_t>(std::uint64_t{UINT32_MAX} + 1);
    if (type != nullptr) {
        Py_SET_REFCNT(type, kBeyondCount);
    }
#endif
    return type;
}
#endif

// A new type made from `type_spec`, with the call `call` of its own when that is
// not null; null with the error set when it cannot be made. The module keeps
// every type it makes for the life of the process.
inline PyTypeObject* make_type(PyType_Spec& type_spec, vectorcallfunc call = nullptr) noexcept {
    return reinterpret_cast<PyTypeObject*>(checked_type(type_with_call(type_spec, call)));
}

} // namespace tolvi::py
