#pragma once
#include "binding/errors_py.hpp"
#include "binding/limited_api_py.hpp"
#include "binding/package/version/access_py.hpp"
#include "binding/package/version/class_types_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/parse_failure_py.hpp"
#include "core/package/version/ordering_key.hpp"
#include "core/package/version/packed.hpp"
#include "core/package/version/version.hpp"

#include <algorithm>
#include <array>
#include <compare>
#include <cstdint>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

// What the four version classes have in common: an object owning one model
// value, and the slots that only read it.
namespace tolvi::py {

// Never constructed as a whole: tp_alloc hands out zeroed memory with the header
// filled in, and adopt() constructs the members after it.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
template <class T> struct ValueObject {
    PyObject ob_base;
    AccessState access;
    T stored;

    T& value() noexcept { return stored; }

    // Setting up a new object happens in two steps, so that everything that
    // can fail is done before the object is allocated.
    static T prepare(T&& value) noexcept { return std::move(value); }
    void adopt(T&& value) noexcept {
        new (&access) AccessState();
        new (&stored) T(std::move(value));
    }
    void destroy() noexcept {
        stored.~T();
        access.~AccessState();
    }
};

// Version objects never change, so they need no access state, and each is a
// single block: the object header, then the packed version, whose header
// holds the ordering key that decides most comparisons of a sort.
template <> struct ValueObject<version::Version> {
    PyObject ob_base;
    version::PackedHeader header;

    // The packed bytes follow the object.
    const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
    version::PackedVersion value() const noexcept { return {header, bytes()}; }
    // The block holds nothing that needs releasing.
    static void destroy() noexcept {}
};

template <class T> ValueObject<T>* as_value_object(PyObject* object) noexcept {
    return reinterpret_cast<ValueObject<T>*>(object);
}

// A reader's claim on an object's value. Version objects have no setters and
// never change, so reading them needs no claim at all.
template <class T> class ReadClaim {
public:
    explicit ReadClaim(ValueObject<T>* self) noexcept : claim_(self->access) {}
    bool ok() const noexcept { return claim_.ok(); }

private:
    SharedClaim claim_;
};

template <> class ReadClaim<version::Version> {
public:
    explicit ReadClaim(ValueObject<version::Version>*) noexcept {}
    static constexpr bool ok() noexcept { return true; }
};

// Whether `object` is an instance of T's class (subclasses included).
template <class T> bool is_instance(PyObject* object) noexcept {
    PyTypeObject* type = class_type<T>();
    return type != nullptr && (Py_IS_TYPE(object, type) || PyObject_TypeCheck(object, type));
}

// A new object of `type` taking over `value`; null with an error set if the
// allocation fails, in which case `value` is simply dropped.
template <class T> PyObject* new_value_object(PyTypeObject* type, T value) {
    auto prepared = ValueObject<T>::prepare(std::move(value));
    PyObject* object = type_alloc(type);
    if (object == nullptr) {
        return nullptr;
    }
    as_value_object<T>(object)->adopt(std::move(prepared));
    return object;
}

// A new Version object of `type` holding what `write` writes into its `size`
// packed bytes.
template <class Write>
PyObject* new_version_object(PyTypeObject* type, std::size_t size, Write&& write) {
    using Object = ValueObject<version::Version>;
    if (size > PY_SSIZE_T_MAX - sizeof(Object)) {
        return PyErr_NoMemory();
    }
    auto* object = static_cast<PyObject*>(PyObject_Malloc(sizeof(Object) + size));
    if (object == nullptr) {
        return PyErr_NoMemory();
    }
    PyObject_Init(object, type);
    auto* self = as_value_object<version::Version>(object);
    write(self->header, self->bytes());
    return object;
}

inline PyObject* new_version_object(PyTypeObject* type, const version::Packer& packer) {
    if (packer.text_size() > version::Packer::kMaxTextSize) {
        return PyErr_NoMemory();
    }
    return new_version_object(type, packer.size(), [&](version::PackedHeader& header, char* bytes) {
        packer.write(header, bytes);
    });
}

inline PyObject* new_value_object(PyTypeObject* type, const version::Version& value) {
    return new_version_object(type, version::Packer(value));
}

// A copy of the value of `object` under a shared claim; false with the error
// set when the object is being changed.
template <class T> bool copy_value(PyObject* object, T& out) {
    auto* self = as_value_object<T>(object);
    ReadClaim<T> claim(self);
    if (!claim.ok()) {
        SharedClaim::raise_conflict();
        return false;
    }
    out = self->value();
    return true;
}

// Parses the text of the str `text` with `parse` and gives what `use` makes of
// the value and that text; `use`'s failure value with RuntimeError (the
// report) or the interpreter's encoding error set when that fails.
template <class T, class Use>
auto parse_argument(PyObject* text, version::ParseResult<T> (*parse)(std::string_view), Use&& use) {
    using Result = decltype(use(std::declval<T&>(), std::string_view()));
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(text, &size);
    if (data == nullptr) {
        return failure_value<Result>();
    }
    const std::string_view utf8(data, static_cast<std::size_t>(size));
    auto parsed = parse(utf8);
    if (const auto* failure = std::get_if<version::ParseFailure>(&parsed)) {
        raise_parse_failure(*failure, utf8);
        return failure_value<Result>();
    }
    return use(std::get<T>(parsed), utf8);
}

template <class T> void value_dealloc(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    as_value_object<T>(object)->destroy();
    type_free(type, object);
    // Instances of heap types own a reference to their type.
    Py_DECREF(type);
}

// Runs `read` on the object's value under a shared claim and returns its new
// Python object; null with an error set if the object is being changed.
template <class T, class Read> PyObject* read_value(PyObject* object, Read&& read) {
    return guarded([&]() -> PyObject* {
        auto* self = as_value_object<T>(object);
        ReadClaim<T> claim(self);
        if (!claim.ok()) {
            return SharedClaim::raise_conflict();
        }
        return read(self->value());
    });
}

inline PyObject* text_object(const version::PackedVersion& value) {
    const std::string_view text = value.text();
    if (!value.is_ascii()) {
        return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    }
    return str_from_ascii(text);
}

template <class T> PyObject* text_object(const T& value) {
    return from_string(version::to_text(value));
}

template <class T> PyObject* value_str(PyObject* object) {
    return read_value<T>(object, [](const auto& value) { return text_object(value); });
}

template <class T> PyObject* value_repr(PyObject* object) {
    return read_value<T>(object,
                         [](const auto& value) { return from_string(version::to_debug(value)); });
}

inline bool comparison_holds(std::partial_ordering order, int op) noexcept {
    switch (op) {
    case Py_LT:
        return std::is_lt(order);
    case Py_LE:
        return std::is_lteq(order);
    case Py_EQ:
        return std::is_eq(order);
    case Py_NE:
        return std::is_neq(order);
    case Py_GT:
        return std::is_gt(order);
    default:
        return std::is_gteq(order);
    }
}

// The comparison of two values under shared claims; NotImplemented when either
// is in the middle of a change. Out of line, so that a comparison of Versions
// that their keys decide sets up no frame for it.
template <class T>
[[gnu::noinline]] PyObject* compare_values(ValueObject<T>* self, ValueObject<T>* that, int op) {
    ReadClaim<T> mine(self);
    ReadClaim<T> theirs(that);
    if (!mine.ok() || !theirs.ok()) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    const bool holds = (op == Py_EQ || op == Py_NE)
                           ? ((self->value() == that->value()) == (op == Py_EQ))
                           : comparison_holds(self->value() <=> that->value(), op);
    return Py_NewRef(holds ? Py_True : Py_False);
}

// The answer two ordering keys give, or null when only the values can tell.
inline PyObject* compare_keys(std::uint64_t a, std::uint64_t b, int op) noexcept {
    const auto hint = version::compare_ordering_keys(a, b);
    if (hint == std::partial_ordering::unordered) {
        return nullptr;
    }
    return Py_NewRef(comparison_holds(hint, op) ? Py_True : Py_False);
}

// Two Versions of which one has no key yet: the keys are computed, then they
// or the values answer.
[[gnu::noinline]] inline PyObject* compare_unkeyed(ValueObject<version::Version>* self,
                                                   ValueObject<version::Version>* that, int op) {
    PyObject* decided = compare_keys(version::cached_ordering_key(self->header, self->bytes()),
                                     version::cached_ordering_key(that->header, that->bytes()), op);
    return decided != nullptr ? decided : compare_values(self, that, op);
}

// Both operands must be of T's class; anything else is left to the
// interpreter's fallback. An operand in the middle of a change compares as
// NotImplemented too.
template <class T> PyObject* value_richcompare(PyObject* object, PyObject* other, int op) {
    // The classes cannot be subclassed, so `other` is of T's class exactly when
    // it has the type of `object`; a sort asks this for every comparison.
    if (op < Py_LT || op > Py_GE || !Py_IS_TYPE(other, Py_TYPE(object))) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    auto* self = as_value_object<T>(object);
    auto* that = as_value_object<T>(other);
    if constexpr (std::is_same_v<T, version::Version>) {
        // Most comparisons of a sort end here, with keys computed earlier.
        const std::uint64_t a = self->header.ordering_key;
        const std::uint64_t b = that->header.ordering_key;
        if (a == 0 || b == 0) {
            return compare_unkeyed(self, that, op);
        }
        if (PyObject* decided = compare_keys(a, b, op)) {
            return decided;
        }
    }
    return compare_values(self, that, op);
}

// The slot of a class's docstring. A slot holds a mutable void*, but the
// interpreter only copies the text.
inline PyType_Slot doc_slot(const char* doc) noexcept {
    return {Py_tp_doc, const_cast<char*>(doc)}; // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

// A class's slot table: its own slots followed by the ones the four classes
// share, ending with the terminating entry.
template <class T, std::size_t N>
std::array<PyType_Slot, N + 5> value_type_slots(const PyType_Slot (&own)[N]) noexcept {
    std::array<PyType_Slot, N + 5> slots{};
    std::copy(own, own + N, slots.begin());
    slots[N] = {Py_tp_dealloc, reinterpret_cast<void*>(&value_dealloc<T>)};
    slots[N + 1] = {Py_tp_repr, reinterpret_cast<void*>(&value_repr<T>)};
    slots[N + 2] = {Py_tp_str, reinterpret_cast<void*>(&value_str<T>)};
    slots[N + 3] = {Py_tp_richcompare, reinterpret_cast<void*>(&value_richcompare<T>)};
    slots[N + 4] = {0, nullptr};
    return slots;
}

// The PyType_Spec of a class named "builtins.<Name>": the interpreter's
// default flags only, so it cannot be subclassed and has no instance dict.
template <class T> PyType_Spec value_type_spec(const char* name, PyType_Slot* slots) noexcept {
    return {name, static_cast<int>(sizeof(ValueObject<T>)), 0, Py_TPFLAGS_DEFAULT, slots};
}

} // namespace tolvi::py
