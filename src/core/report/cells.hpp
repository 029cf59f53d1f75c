#pragma once
#include <cstddef>
#include <string_view>

namespace tolvi::report {

inline constexpr std::size_t kTabStop = 4;

// Columns taken by `c` when it starts at display column `column` of the quoted
// line: a tab reaches the next tab stop, an East Asian wide or fullwidth character
// takes two, and everything else one (combining marks and controls included, so
// that every character position keeps a cell of its own).
std::size_t cell_width(char32_t c, std::size_t column) noexcept;

// One character position of the quoted line.
struct Cell {
    std::string_view text; // the character's bytes; empty past the end of the line
    char32_t code_point;   // meaningless past the end of the line
    std::size_t width;

    bool past_end() const noexcept { return text.empty(); }
    bool is_tab() const noexcept { return !past_end() && code_point == U'\t'; }
};

// Walks the quoted line one cell at a time. Past its end it keeps yielding
// one-column cells: a marker can stand one or two positions after the last
// character (an error at the end of the input, or on dropped white space).
class CellWalker {
public:
    explicit CellWalker(std::string_view line) noexcept : line_(line) {}

    Cell next() noexcept {
        // Reports quote mostly ASCII, where a character other than the tab is one
        // byte in one column: no decoding and no width table.
        if (offset_ < line_.size()) {
            const auto byte = static_cast<unsigned char>(line_[offset_]);
            if (byte < 0x80 && byte != '\t') {
                const Cell cell{line_.substr(offset_, 1), byte, 1};
                ++offset_;
                ++column_;
                return cell;
            }
        }
        return next_decoded();
    }

private:
    Cell next_decoded() noexcept;

    std::string_view line_;
    std::size_t offset_ = 0;
    std::size_t column_ = 0;
};

} // namespace tolvi::report
