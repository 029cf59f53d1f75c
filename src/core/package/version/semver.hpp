#pragma once
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/package/version/list_order.hpp"
#include "core/package/version/optional_list.hpp"
#include "core/package/version/parser.hpp"
#include "core/package/version/text_writer.hpp"

namespace tolvi::version {

// major.minor.patch with optional pre-release (`rc`) and build (`meta`)
// identifiers. An absent list and a present empty list are different values.
struct SemVer {
    static constexpr std::string_view kQualifiedName = "tolvi::package::version::semver::SemVer";

    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    OptionalList rc;
    OptionalList meta;

    // `meta` takes no part in equality or ordering; an absent `rc` sorts after
    // every present one.
    friend bool operator==(const SemVer& a, const SemVer& b) noexcept;
    friend std::strong_ordering operator<=>(const SemVer& a, const SemVer& b) noexcept;
};

// The ordering and the debug form of a semantic version held as a SemVer or
// read from a packed version (SemVerView): anything with the same fields, whose
// lists test and dereference like optionals of ranges of strings.
template <class A, class B> std::strong_ordering compare_semver(const A& a, const B& b) noexcept {
    if (auto c = a.major <=> b.major; std::is_neq(c)) {
        return c;
    }
    if (auto c = a.minor <=> b.minor; std::is_neq(c)) {
        return c;
    }
    if (auto c = a.patch <=> b.patch; std::is_neq(c)) {
        return c;
    }
    if (static_cast<bool>(a.rc) != static_cast<bool>(b.rc)) {
        return a.rc ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    return a.rc ? compare_lists(*a.rc, *b.rc) : std::strong_ordering::equal;
}

template <class S> void append_semver_debug(std::string& out, const S& v) {
    out.append(std::string_view("SemVer { major: "));
    detail::append_decimal(out, v.major);
    out.append(std::string_view(", minor: "));
    detail::append_decimal(out, v.minor);
    out.append(std::string_view(", patch: "));
    detail::append_decimal(out, v.patch);
    out.append(std::string_view(", rc: "));
    detail::append_debug_optional_list(out, v.rc);
    out.append(std::string_view(", meta: "));
    detail::append_debug_optional_list(out, v.meta);
    out.append(std::string_view(" }"));
}

// "major.minor.patch", with which every text form of a semantic version
// starts: its length, and writing it at `out` (returning the end).
inline std::size_t numbers_length(std::uint32_t major, std::uint32_t minor,
                                  std::uint32_t patch) noexcept {
    return detail::decimal_length(major) + detail::decimal_length(minor) +
           detail::decimal_length(patch) + 2;
}
inline char* write_numbers(char* out, std::uint32_t major, std::uint32_t minor,
                           std::uint32_t patch) noexcept {
    out = detail::write_decimal(out, major);
    *out++ = '.';
    out = detail::write_decimal(out, minor);
    *out++ = '.';
    return detail::write_decimal(out, patch);
}

std::size_t text_length(const SemVer& v) noexcept;
char* write_text(char* out, const SemVer& v) noexcept;
void append_debug(std::string& out, const SemVer& v);

// What the semantic-version rule reads: the numbers, where the input after
// them starts, and the text of each list that is there.
// A new one is left unset, not zeroed: every parse starts with one, and
// semver_rule sets every field when it succeeds.
struct SemVerSyntax {
    // NOLINTNEXTLINE(modernize-use-equals-default): a default would zero it
    SemVerSyntax() noexcept {} // NOLINT(cppcoreguidelines-pro-type-member-init)

    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t patch;
    std::size_t rest;
    std::optional<std::string_view> rc;
    std::optional<std::string_view> meta;
};

// "v"? integer "." integer "." integer ("-" list)? ("+" list)?, without the
// end-of-input test, read into `out`; on failure the cursor is back where it
// started.
template <class Errors> bool semver_rule(grammar::Parser<Errors>& parser, SemVerSyntax& out);

SemVer to_semver(const SemVerSyntax& syntax);

} // namespace tolvi::version
