#pragma once
#include "binding/package/version/kind_fields_py.hpp"
#include "core/package/version/version.hpp"

#include <tuple>

// The fields of the three kind classes, each said once: the constructor's
// keyword form, the properties, their setters and pickling's field form are
// made from these rows.
//   kParse       the kind's own grammar, for a str given to the constructor
//   kMissing     how the keyword form reports a required keyword left out
//   kTextForm    pickled as its text when that parses back to exactly the
//                value, otherwise field by field; without it, always by field
//   kFields      name, setter parameter and presence of each field
namespace tolvi::py {

template <> struct KindTable<version::SemVer> {
    using T = version::SemVer;
    static constexpr auto kParse = &version::parse_semver;
    static constexpr MissingKeyword kMissing = MissingKeyword::type_error;
    static constexpr bool kTextForm = true;
    static constexpr auto kFields = std::tuple{
        Field<&T::major, NumberConverter>{"major", "new_major", Presence::required},
        Field<&T::minor, NumberConverter>{"minor", "new_minor", Presence::required},
        Field<&T::patch, NumberConverter>{"patch", "new_patch", Presence::required},
        Field<&T::rc, OptionalListConverter>{"rc", "new_rc", Presence::optional},
        Field<&T::meta, OptionalListConverter>{"meta", "new_meta", Presence::optional},
    };
};

template <> struct KindTable<version::DotSeparated> {
    using T = version::DotSeparated;
    static constexpr auto kParse = &version::parse_dot_separated;
    static constexpr MissingKeyword kMissing = MissingKeyword::value_error;
    static constexpr bool kTextForm = true;
    static constexpr auto kFields = std::tuple{
        Field<&T::parts, ListConverter>{"parts", "new_parts", Presence::required},
    };
};

// An Other's value is its own text form, which travels as it is.
template <> struct KindTable<version::Other> {
    using T = version::Other;
    static constexpr auto kParse = &version::parse_other;
    static constexpr MissingKeyword kMissing = MissingKeyword::value_error;
    static constexpr bool kTextForm = false;
    static constexpr auto kFields = std::tuple{
        Field<&T::value, OtherValueConverter>{"value", "new_value", Presence::required},
    };
};

} // namespace tolvi::py
