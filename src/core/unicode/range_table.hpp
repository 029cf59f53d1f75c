#pragma once
// Lookup over the sorted range tables that tools/dev/gen_unicode_tables.py writes
// into tables.cpp. Kept apart from the generated file so that the data file
// stays data and the search logic can be unit-tested on small tables.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tolvi::unicode {

// An inclusive range of code points.
struct Range {
    char32_t first;
    char32_t last;
};

// Membership of U+0000..U+007F, one bit per code point. Almost all version
// strings are ASCII, and the debug form and the report renderer ask about
// every character they write, so ASCII is answered without a search.
struct AsciiSet {
    std::uint64_t low;  // U+0000..U+003F
    std::uint64_t high; // U+0040..U+007F

    constexpr bool contains(char32_t c) const noexcept {
        return (((c < 64 ? low : high) >> (c & 63)) & 1) != 0;
    }
};

// The binary search relies on this: ranges sorted, non-empty and apart from
// each other (touching ranges would have been merged by the generator).
constexpr bool is_normalized(std::span<const Range> ranges) noexcept {
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (ranges[i].first > ranges[i].last || ranges[i].last > 0x10FFFF) {
            return false;
        }
        if (i > 0 && ranges[i - 1].last + 1 >= ranges[i].first) {
            return false;
        }
    }
    return true;
}

constexpr bool in_ranges(std::span<const Range> ranges, char32_t c) noexcept {
    // The first range that does not end before c is the only one that can hold it.
    const auto it = std::lower_bound(ranges.begin(), ranges.end(), c,
                                     [](const Range& r, char32_t v) { return r.last < v; });
    return it != ranges.end() && it->first <= c;
}

// True when the ASCII bitmap says exactly what the table says for U+0000..U+007F;
// the generated file checks this at compile time so the two cannot drift apart.
constexpr bool agrees(const AsciiSet& ascii, std::span<const Range> ranges) noexcept {
    for (char32_t c = 0; c < 0x80; ++c) {
        if (ascii.contains(c) != in_ranges(ranges, c)) {
            return false;
        }
    }
    return true;
}

constexpr bool contains(const AsciiSet& ascii, std::span<const Range> ranges, char32_t c) noexcept {
    return c < 0x80 ? ascii.contains(c) : in_ranges(ranges, c);
}

} // namespace tolvi::unicode
