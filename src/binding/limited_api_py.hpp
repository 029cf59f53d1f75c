#pragma once
#include "binding/refs_py.hpp"
#ifdef Py_LIMITED_API
#include "binding/type_call_before_314_py.hpp"
#endif

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

// The one place that chooses between the full C API and the limited one (the
// stable ABI, Py_LIMITED_API). Built for one interpreter, the module reads
// tuples and lists through the interpreter's macros, gives its types their own
// call and fills new str objects directly; the limited API offers none of these,
// so the abi3 module takes the checked functions and the interpreter's
// constructors of str instead, and gives its types their call in the ways
// each interpreter allows (make_type).
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

// A type with its own call (`call` not null). The limited API names that call
// a slot of the PyType_Spec from 3.14 on. The interpreters of 3.12 and
// 3.13 refuse the slot, so there the call is written into the type object
// (set_type_call_before_314); a type that cannot have it is called through the
// interpreter's generic path.
inline PyObject* make_type(PyType_Spec& type_spec, vectorcallfunc call) noexcept {
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

inline Ref to_python_ascii(std::string_view ascii) noexcept {
    return Ref::steal(
        PyUnicode_FromStringAndSize(ascii.data(), static_cast<Py_ssize_t>(ascii.size())));
}
// Code units of the basic plane. The str is made at its final kind in one
// step, as the interpreter makes one from wide characters: its UTF-8 and UTF-16
// decoders would widen it at the first character beyond Latin-1.
inline Ref to_python_ucs2(const Py_UCS2* units, std::size_t count, Py_UCS2) noexcept {
    constexpr std::size_t kChunk = 1024;
    if (count <= kChunk) {
        std::array<wchar_t, kChunk> wide; // NOLINT(cppcoreguidelines-pro-type-member-init)
        std::copy(units, units + count, wide.begin());
        return Ref::steal(PyUnicode_FromWideChar(wide.data(), static_cast<Py_ssize_t>(count)));
    }
    std::vector<wchar_t> wide(units, units + count);
    return Ref::steal(PyUnicode_FromWideChar(wide.data(), static_cast<Py_ssize_t>(count)));
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

// A type with its own call (`call` not null), which takes the arguments in
// place, without the tuple and dictionary the interpreter's generic call builds.
inline PyObject* make_type(PyType_Spec& type_spec, vectorcallfunc call) noexcept {
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

// ASCII text copied into a str made at its final size and kind.
inline Ref to_python_ascii(std::string_view ascii) noexcept {
    Ref text = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(ascii.size()), 127));
    if (text) {
        std::copy(ascii.begin(), ascii.end(), static_cast<char*>(PyUnicode_DATA(text.get())));
    }
    return text;
}
// Code units of the basic plane, the widest of them `widest`.
inline Ref to_python_ucs2(const Py_UCS2* units, std::size_t count, Py_UCS2 widest) noexcept {
    Ref text = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(count), widest));
    if (!text) {
        return text;
    }
    if (PyUnicode_KIND(text.get()) == PyUnicode_2BYTE_KIND) {
        std::memcpy(PyUnicode_2BYTE_DATA(text.get()), units, count * sizeof(Py_UCS2));
    } else {
        std::copy(units, units + count, PyUnicode_1BYTE_DATA(text.get()));
    }
    return text;
}
#endif

// Calls `type` as the interpreter calls a type without a call of its own: its
// creation slot, then its initialiser. A type's own call takes this road once
// the class's __new__ is replaced, which the call would otherwise skip.
inline PyObject* call_type_generically(PyObject* type, PyObject* const* args, std::size_t nargsf,
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

} // namespace tolvi::py
