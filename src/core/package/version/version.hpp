#pragma once
#include <compare>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/package/version/dot_separated.hpp"
#include "core/package/version/kind.hpp"
#include "core/package/version/other.hpp"
#include "core/package/version/semver.hpp"

namespace tolvi::version {

// Any one of the three kinds. Versions of different kinds order by the
// position of their kind: SemVer < DotSeparated < Other.
struct Version {
    static constexpr std::string_view kQualifiedName = "tolvi::package::version::Version";

    std::variant<SemVer, DotSeparated, Other> value;

    friend bool operator==(const Version&, const Version&) = default;
    // clang-tidy 14 takes the 0 that the defaulted comparison compares with for a
    // null pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend std::strong_ordering operator<=>(const Version&, const Version&) = default;

    Kind kind() const noexcept { return kind_at(value.index()); }
};

static_assert(
    std::is_same_v<std::variant_alternative_t<position(Kind::semver), decltype(Version::value)>,
                   SemVer> &&
    std::is_same_v<
        std::variant_alternative_t<position(Kind::dot_separated), decltype(Version::value)>,
        DotSeparated> &&
    std::is_same_v<std::variant_alternative_t<position(Kind::other), decltype(Version::value)>,
                   Other> &&
    std::variant_size_v<decltype(Version::value)> == kKindCount);

std::size_t text_length(const Version& v) noexcept;
// Writes the text form, text_length(v) bytes, at `out`; returns the end.
char* write_text(char* out, const Version& v) noexcept;
void append_debug(std::string& out, const Version& v);

// The text form, allocated once at its exact length.
template <class T> std::string to_text(const T& v) {
    std::string out(text_length(v), '\0');
    write_text(out.data(), v);
    return out;
}

// The debug form. Its length is not known beforehand; room for the common
// ones, reserved at once, saves the string growing two or three times.
inline constexpr std::size_t kDebugReserve = 128;

template <class T> std::string to_debug(const T& v) {
    std::string out;
    out.reserve(kDebugReserve);
    append_debug(out, v);
    return out;
}

// What an entry reads: the kind, and for a semantic version its fields. A
// dot-separated list and an identifier are the whole input.
struct VersionSyntax {
    // Left unset, like SemVerSyntax: the entry sets what it reads.
    // NOLINTNEXTLINE(modernize-use-equals-default): a default would zero it
    VersionSyntax() noexcept {} // NOLINT(cppcoreguidelines-pro-type-member-init)

    Kind kind;
    // Whether the Version grammar reads the same text into the same value, so
    // that a Version packed from it is known to parse back. Told by the entry,
    // as only it knows which grammar read the text: the Version grammar tries a
    // semantic version first, so a semantic version qualifies, while a list or
    // an identifier read alone might have been read as an earlier kind.
    bool reads_as_version;
    SemVerSyntax semver;
};

// A parse gives what it read, or the failure: the one shape of every entry, so
// that a caller takes any of them and makes the value it wants with to_value.
using ParseResult = std::variant<VersionSyntax, ParseFailure>;
using ParseEntry = ParseResult (*)(std::string_view text);

// The four entries, each over the whole of `text`. The Version grammar tries a
// semantic version, then a dot-separated list, then an identifier; the others
// read their kind alone.
ParseResult parse_version(std::string_view text);
ParseResult parse_semver(std::string_view text);
ParseResult parse_dot_separated(std::string_view text);
ParseResult parse_other(std::string_view text);

// The value that `syntax`, read from `text`, describes.
Version to_version(const VersionSyntax& syntax, std::string_view text);

// The value of class T that `syntax`, read from `text` by T's own entry (by
// any entry for a Version), describes: one step from what was read to the
// value, whichever entry read it.
template <class T> T to_value(const VersionSyntax& syntax, std::string_view text) {
    if constexpr (std::is_same_v<T, SemVer>) {
        return to_semver(syntax.semver);
    } else if constexpr (std::is_same_v<T, DotSeparated>) {
        return to_dot_separated(text);
    } else if constexpr (std::is_same_v<T, Other>) {
        return to_other(text);
    } else {
        static_assert(std::is_same_v<T, Version>);
        return to_version(syntax, text);
    }
}

} // namespace tolvi::version
