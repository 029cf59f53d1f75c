#pragma once
#include <compare>
#include <string>
#include <string_view>
#include <variant>

#include "core/package/version/dot_separated.hpp"
#include "core/package/version/other.hpp"
#include "core/package/version/semver.hpp"

namespace tolvi::version {

// Any one of the three kinds. Versions of different kinds order by the
// position of their kind: SemVer < DotSeparated < Other.
struct Version {
    static constexpr std::string_view qualified_name = "tolvi::package::version::Version";

    std::variant<SemVer, DotSeparated, Other> value;

    friend bool operator==(const Version&, const Version&) = default;
    // clang-tidy 14 takes the 0 that the defaulted comparison compares with for a
    // null pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend std::strong_ordering operator<=>(const Version&, const Version&) = default;
};

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

// What the version grammar reads: the kind (the position of the alternative),
// and for a semantic version its fields. A dot-separated list and an identifier
// are the whole input.
struct VersionSyntax {
    // Left unset, like SemVerSyntax: parse_version_syntax sets what it reads.
    // NOLINTNEXTLINE(modernize-use-equals-default): a default would zero it
    VersionSyntax() noexcept {} // NOLINT(cppcoreguidelines-pro-type-member-init)

    std::size_t kind;
    SemVerSyntax semver;
};

// Tries a semantic version, then a dot-separated list, then an identifier, each
// over the whole input.
ParseResult<VersionSyntax> parse_version_syntax(std::string_view text);

// The value that `syntax`, read from `text`, describes.
Version to_version(const VersionSyntax& syntax, std::string_view text);

ParseResult<Version> parse_version(std::string_view text);

} // namespace tolvi::version
