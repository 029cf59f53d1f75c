#pragma once
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/version/parser.hpp"

namespace tolvi::version {

// major.minor.patch with optional pre-release (`rc`) and build (`meta`)
// identifiers. An absent list and a present empty list are different values.
struct SemVer {
    static constexpr std::string_view qualified_name = "tolvi::package::version::semver::SemVer";

    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::optional<std::vector<std::string>> rc;
    std::optional<std::vector<std::string>> meta;

    // `meta` takes no part in equality or ordering; an absent `rc` sorts after
    // every present one.
    friend bool operator==(const SemVer& a, const SemVer& b) noexcept;
    friend std::strong_ordering operator<=>(const SemVer& a, const SemVer& b) noexcept;
};

std::size_t text_length(const SemVer& v) noexcept;
char* write_text(char* out, const SemVer& v) noexcept;
void append_debug(std::string& out, const SemVer& v);

// "v"? integer "." integer "." integer ("-" list)? ("+" list)?, without the
// end-of-input test; on failure the cursor is back where it started.
template <class Errors> std::optional<SemVer> semver_rule(grammar::Parser<Errors>& parser);

ParseResult<SemVer> parse_semver(std::string_view text);

} // namespace tolvi::version
