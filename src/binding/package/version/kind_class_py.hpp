#pragma once
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/kind_tables_py.hpp"
#include "binding/package/version/slots_py.hpp"
#include "core/package/version/version.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

// What the three kind classes (SemVer, DotSeparated, Other) share: their slots,
// PyType_Spec and read-write properties, over the objects of kind_object_py.hpp.
namespace tolvi::py {

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
        raise(PyExc_AttributeError, fixed::kCannotDelete);
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

// The read-write property of a row of T's field table.
template <class T, class F> constexpr PyGetSetDef property_of(const F& field) noexcept {
    using Value = typename F::Value;
    static_assert(std::is_same_v<Value, typename F::Convert::Type>, "a converter of another type");
    return {field.name, &field_getter<T, Value, F::kMember, F::Convert::kToPython>,
            &field_setter<T, Value, F::kMember, F::Convert::kFromPython>, nullptr,
            // The closure is a mutable void*, but the setter only reads the text.
            const_cast<char*>(field.parameter)}; // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

// The properties of T's class, one for each row of its field table, ending with
// the terminating entry.
template <class T> constexpr auto field_properties() noexcept {
    return std::apply(
        [](const auto&... field) {
            return std::array<PyGetSetDef, sizeof...(field) + 1>{
                property_of<T>(field)..., PyGetSetDef{nullptr, nullptr, nullptr, nullptr, nullptr}};
        },
        KindTable<T>::kFields);
}

} // namespace tolvi::py
