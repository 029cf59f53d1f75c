#pragma once
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/slots_py.hpp"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

// The objects of the three kind classes (SemVer, DotSeparated, Other): one
// model value each, which the setters change, and the state that guards it
// against re-entry; the slots and properties that read or change it. A Version
// never changes and is laid out apart (version_py.cpp).
namespace tolvi::py {

// ---------------------------------------------------------------- access

// Guards an object's value against re-entry: any number of readers, or one
// writer. Readers count up; a writer marks the state with -1.
class AccessState {
public:
    bool try_share() noexcept {
        std::intptr_t current = count_.load(std::memory_order_relaxed);
        do {
            if (current < 0) {
                return false;
            }
        } while (!count_.compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                               std::memory_order_relaxed));
        return true;
    }
    void end_share() noexcept { count_.fetch_sub(1, std::memory_order_release); }

    bool try_exclusive() noexcept {
        std::intptr_t expected = 0;
        return count_.compare_exchange_strong(expected, -1, std::memory_order_acquire,
                                              std::memory_order_relaxed);
    }
    void end_exclusive() noexcept { count_.store(0, std::memory_order_release); }

private:
    std::atomic<std::intptr_t> count_{0};
};

// A claim on an object's value for the length of a scope: shared by a reader,
// or exclusive for a writer. Check ok() after construction; when it is false,
// raise_conflict() sets the error for the caller.
template <bool Exclusive> class Claim {
public:
    explicit Claim(AccessState& state) noexcept : state_(take(state) ? &state : nullptr) {}
    ~Claim() {
        if (state_ == nullptr) {
            return;
        }
        if constexpr (Exclusive) {
            state_->end_exclusive();
        } else {
            state_->end_share();
        }
    }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    bool ok() const noexcept { return state_ != nullptr; }
    static std::nullptr_t raise_conflict() {
        return raise(PyExc_RuntimeError, Exclusive ? fixed::borrowed : fixed::mutably_borrowed);
    }

private:
    static bool take(AccessState& state) noexcept {
        if constexpr (Exclusive) {
            return state.try_exclusive();
        } else {
            return state.try_share();
        }
    }

    AccessState* state_;
};

using SharedClaim = Claim<false>;
using ExclusiveClaim = Claim<true>;

// Without the interpreter lock, threads that use one object at once take the
// object's own lock in turn, so that a reader racing a writer waits instead of
// failing its claim; the claims still guard the value wherever the lock is let
// go while it is held (the thread blocks, and the interpreter suspends it).
// With the interpreter lock, that lock serves and these do nothing.
#ifdef Py_GIL_DISABLED
class ObjectLock {
public:
    explicit ObjectLock(PyObject* object) noexcept { PyCriticalSection_Begin(&section_, object); }
    ~ObjectLock() { PyCriticalSection_End(&section_); }
    ObjectLock(const ObjectLock&) = delete;
    ObjectLock& operator=(const ObjectLock&) = delete;

private:
    PyCriticalSection section_{};
};
class PairLock {
public:
    PairLock(PyObject* first, PyObject* second) noexcept {
        PyCriticalSection2_Begin(&section_, first, second);
    }
    ~PairLock() { PyCriticalSection2_End(&section_); }
    PairLock(const PairLock&) = delete;
    PairLock& operator=(const PairLock&) = delete;

private:
    PyCriticalSection2 section_{};
};
#else
struct ObjectLock {
    explicit ObjectLock(PyObject*) noexcept {}
};
struct PairLock {
    PairLock(PyObject*, PyObject*) noexcept {}
};
#endif

// ---------------------------------------------------------------- layout

// Never constructed as a whole: the generic allocator hands out zeroed memory
// with the header filled in, and adopt() constructs the members after it.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
template <class T> struct KindObject {
    PyObject ob_base;
    AccessState access;
    T value;

    void adopt(T&& adopted) noexcept {
        new (&access) AccessState();
        new (&value) T(std::move(adopted));
    }
    void destroy() noexcept {
        value.~T();
        access.~AccessState();
    }
};

template <class T> KindObject<T>* as_kind_object(PyObject* object) noexcept {
    return reinterpret_cast<KindObject<T>*>(object);
}

// `value` is complete before the object is allocated; a failed allocation
// simply drops it.
template <class T> Ref kind_object_holding(PyTypeObject* type, T value) {
    // Not the type's allocator, which refuses every other caller.
    Ref object = Ref::steal(PyType_GenericAlloc(type, 0));
    if (object) {
        as_kind_object<T>(object.get())->adopt(std::move(value));
    }
    return object;
}

template <class T> bool copy_value(PyObject* object, T& out) {
    auto* self = as_kind_object<T>(object);
    const ObjectLock lock(object);
    SharedClaim claim(self->access);
    if (!claim.ok()) {
        SharedClaim::raise_conflict();
        return false;
    }
    out = self->value;
    return true;
}

// Runs `read` on the object's value under a shared claim and returns the new
// Python object it makes; empty with an error set if the object is being changed.
template <class T, class Read> Ref read_value(PyObject* object, Read&& read) {
    return guarded([&]() -> Ref {
        auto* self = as_kind_object<T>(object);
        const ObjectLock lock(object);
        SharedClaim claim(self->access);
        if (!claim.ok()) {
            return Ref::steal(SharedClaim::raise_conflict());
        }
        return read(self->value);
    });
}

template <class T> Ref reduction_arguments(PyObject* object) {
    return read_value<T>(object, [](const T& value) { return kind_arguments(value, false); });
}

// What the reconstructor rebuilds from a kind's value: an object of the kind's
// class, or a Version holding the value.
template <class T> Ref object_holding(bool in_version, T&& value) {
    if (in_version) {
        return version_from_model(version::Version{std::forward<T>(value)});
    }
    PyTypeObject* type = class_type<T>();
    return type != nullptr ? kind_object_holding(type, std::forward<T>(value)) : Ref();
}

// ---------------------------------------------------------------- slots

template <class T> PyObject* kind_str(PyObject* object) {
    return read_value<T>(object,
                         [](const T& value) { return to_python_string(version::to_text(value)); })
        .release();
}

template <class T> PyObject* kind_repr(PyObject* object) {
    return read_value<T>(object,
                         [](const T& value) { return to_python_string(version::to_debug(value)); })
        .release();
}

// Both operands must be of T's class; anything else is left to the
// interpreter's fallback. An operand in the middle of a change compares as
// NotImplemented too.
template <class T> PyObject* kind_richcompare(PyObject* object, PyObject* other, int op) {
    if (!compares_with(object, other, op)) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    auto* self = as_kind_object<T>(object);
    auto* that = as_kind_object<T>(other);
    const PairLock lock(object, other);
    SharedClaim mine(self->access);
    SharedClaim theirs(that->access);
    if (!mine.ok() || !theirs.ok()) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    return compare_values(self->value, that->value, op);
}

// The slots the three kind classes share: allocator, deallocator, repr, str and
// comparison.
inline constexpr std::size_t kSharedSlots = 5;

// A kind class's slot table: its own slots followed by the ones the three
// classes share, ending with the terminating entry.
template <class T, std::size_t N>
std::array<PyType_Slot, N + kSharedSlots + 1>
kind_type_slots(const PyType_Slot (&own)[N]) noexcept {
    std::array<PyType_Slot, N + kSharedSlots + 1> slots{};
    std::copy(own, own + N, slots.begin());
    slots[N] = refusing_allocation_slot();
    slots[N + 1] = {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<&KindObject<T>::destroy>)};
    slots[N + 2] = {Py_tp_repr, reinterpret_cast<void*>(&kind_repr<T>)};
    slots[N + 3] = {Py_tp_str, reinterpret_cast<void*>(&kind_str<T>)};
    slots[N + 4] = {Py_tp_richcompare, reinterpret_cast<void*>(&kind_richcompare<T>)};
    slots[N + kSharedSlots] = {0, nullptr};
    return slots;
}

template <class T> PyType_Spec kind_type_spec(const char* name, PyType_Slot* slots) noexcept {
    return class_spec(name, sizeof(KindObject<T>), slots);
}

// ---------------------------------------------------------------- properties

// A getter reads under a shared claim; a setter converts first (which may run
// Python code) and then replaces the field under an exclusive claim, so a
// failed conversion leaves the field as it was. The setter's parameter name,
// for its TypeError, is the property's closure.
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
        auto* self = as_kind_object<T>(object);
        const ObjectLock lock(object);
        ExclusiveClaim claim(self->access);
        if (!claim.ok()) {
            ExclusiveClaim::raise_conflict();
            return -1;
        }
        std::swap(self->value.*Member, converted);
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
