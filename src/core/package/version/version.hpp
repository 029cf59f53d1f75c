#pragma once
#include <compare>
#include <cstdint>
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
    static constexpr std::string_view qualified_name = "tolvi::package::version::Version";

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
                   Other>);

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

// What a grammar reads: the kind, and for a semantic version its fields. A
// dot-separated list and an identifier are the whole input.
struct VersionSyntax {
    // Left unset, like SemVerSyntax: parse_version_syntax sets what it reads.
    // NOLINTNEXTLINE(modernize-use-equals-default): a default would zero it
    VersionSyntax() noexcept {} // NOLINT(cppcoreguidelines-pro-type-member-init)

    Kind kind;
    SemVerSyntax semver;
};

// The grammars that read a text into a VersionSyntax: the Version grammar, the
// grammar of one kind alone, and, for an identifier version taken as it is,
// none at all.
enum class Grammar : std::uint8_t { version, semver, dot_separated, other_as_is };

// Whether the Version grammar reads every text that `grammar` reads into the
// same value, so that the text form of that value parses back to it. The
// Version grammar tries a semantic version first, so that grammar qualifies.
constexpr bool reads_as_version(Grammar grammar) noexcept {
    return grammar == Grammar::version || grammar == Grammar::semver;
}

// Tries a semantic version, then a dot-separated list, then an identifier, each
// over the whole input.
ParseResult<VersionSyntax> parse_version_syntax(std::string_view text);

// What the grammar of one kind alone reads from the whole of `text`;
// other_as_is never fails.
ParseResult<VersionSyntax> parse_kind_syntax(Grammar grammar, std::string_view text);

// What `grammar` reads from the whole of `text`. Inline, so that a caller naming
// the Version grammar calls it without a detour.
inline ParseResult<VersionSyntax> parse_syntax(Grammar grammar, std::string_view text) {
    return grammar == Grammar::version ? parse_version_syntax(text)
                                       : parse_kind_syntax(grammar, text);
}

// The value that `syntax`, read from `text`, describes.
Version to_version(const VersionSyntax& syntax, std::string_view text);

ParseResult<Version> parse_version(std::string_view text);

} // namespace tolvi::version
