#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvi::unicode {

// Text decoded to UCS-2 here is at most this long in bytes: enough for a report,
// and small enough for its units to sit on the stack.
inline constexpr std::size_t kMostDecodedToUcs2 = 1024;

// Never more units than bytes, so one unit a byte always suffices.
using Ucs2Units = std::array<std::uint16_t, kMostDecodedToUcs2>;

struct Ucs2Text {
    std::size_t count;    // units written
    std::uint16_t widest; // the widest unit that is not ASCII; 0 for ASCII text
};

// Decodes `utf8` into `units`: nullopt when it is longer than kMostDecodedToUcs2,
// not well-formed, or holds a character beyond the basic plane, which UCS-2
// cannot hold. Units past the count may have been written too.
std::optional<Ucs2Text> decode_to_ucs2(std::string_view utf8, Ucs2Units& units) noexcept;

} // namespace tolvi::unicode
