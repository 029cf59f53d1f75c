#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>

// The shape of a kind class's field table (kind_tables_py.hpp): one row per
// field, from which the keyword form of the constructor, the properties and
// their setters, and pickling's field form are all made.
namespace tolvi::py {

// The converters of the fields' types, each its C++ type and its conversions to
// and from Python; defined with the conversions (conversions_py.hpp).
struct NumberConverter;
struct ListConverter;
struct OptionalListConverter;
struct OtherValueConverter;

// Whether the constructor's keyword form needs the field.
enum class Presence : std::uint8_t { required, optional };

// How a kind class's keyword form reports a required keyword that is missing:
// SemVer with a TypeError naming it, the one-field classes with a ValueError.
enum class MissingKeyword : std::uint8_t { type_error, value_error };

template <class M> struct MemberOf;
template <class T, class V> struct MemberOf<V T::*> {
    using Class = T;
    using Value = V;
};

// One row: the member, its converter, and the texts Python sees. A field's
// place in the pickled field form is its row's place in the table.
template <auto Member, class Conv> struct Field {
    using Class = typename MemberOf<decltype(Member)>::Class;
    using Value = typename MemberOf<decltype(Member)>::Value;
    using Convert = Conv;
    static constexpr auto kMember = Member;

    const char* name;      // the keyword, the property, and the argument unpickling names
    const char* parameter; // the setter's parameter, which its TypeError names
    Presence presence;
};

template <class T> struct KindTable;

template <class T>
inline constexpr std::size_t kFieldCount = std::tuple_size_v<decltype(KindTable<T>::kFields)>;

// The keywords of T's constructor, in the table's order.
template <class T>
inline constexpr std::array<const char*, kFieldCount<T>> kFieldNames = std::apply(
    [](const auto&... field) { return std::array<const char*, kFieldCount<T>>{field.name...}; },
    KindTable<T>::kFields);

} // namespace tolvi::py
