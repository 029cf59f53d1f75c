#pragma once
#include <cstddef>
#include <string_view>

namespace tolvi::report {

// The part of the input a report quotes: everything before the first line feed,
// without trailing white space. A carriage return before the line feed is white
// space like any other and goes with it.
std::string_view quoted_line(std::string_view input) noexcept;

// The character index of byte offset `offset` of `text`: the number of characters
// that start before it. Offsets past the end give the number of characters.
std::size_t char_index(std::string_view text, std::size_t offset) noexcept;

} // namespace tolvi::report
