#pragma once
#include <algorithm>
#include <compare>
#include <optional>
#include <string>
#include <string_view>

#include "core/package/version/parser.hpp"

namespace tolvi::version {

// A version held as one opaque string.
struct Other {
    static constexpr std::string_view kQualifiedName = "tolvi::package::version::other::Other";

    std::string value;

    friend bool operator==(const Other&, const Other&) = default;
    // clang-tidy 14 takes the 0 that the defaulted comparison compares with for a
    // null pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend std::strong_ordering operator<=>(const Other&, const Other&) = default;
};

inline std::size_t text_length(const Other& v) noexcept {
    return v.value.size();
}
inline char* write_text(char* out, const Other& v) noexcept {
    return std::copy(v.value.begin(), v.value.end(), out);
}
void append_debug(std::string& out, const Other& v);
// The debug form of an identifier version with this value.
void append_other_debug(std::string& out, std::string_view value);

// An identifier, without the end-of-input test; on failure the cursor is back
// where it started.
// Gives the identifier's text.
template <class Errors>
std::optional<std::string_view> identifier_rule(grammar::Parser<Errors>& parser);

// The identifier version of this text. Every Other is made here, whichever
// road its text took (an entry's reading, a Version's unpacking, or the Python
// keyword, setter and unpickling, which take any string), so that what the
// value must be is decided in one place.
inline Other to_other(std::string_view text) {
    return Other{std::string(text)};
}

} // namespace tolvi::version
