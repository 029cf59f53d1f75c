#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/report/bounded_writer.hpp"

namespace tolvi::report {

// Writes report text, wrapping painted pieces in ANSI SGR sequences when colour
// is on. With colour off painted and plain pieces come out alike, so that the
// plain layout quotes a line of tabs or wide characters with the coloured one's
// code. The plain path is inline, where most pieces are literals the compiler
// copies without a call; the coloured path is not.
class Painter {
public:
    Painter(BoundedWriter& out, bool colour) noexcept : out_(out), colour_(colour) {}

    void plain(std::string_view text) noexcept { out_.append(text); }
    void spaces(std::size_t count) noexcept { out_.append(count, ' '); }

    void red(std::string_view text) noexcept {
        if (colour_) {
            paint_red(text);
        } else {
            out_.append(text);
        }
    }

    void palette(std::uint8_t index, std::string_view text) noexcept {
        if (colour_) {
            paint(index, text);
        } else {
            out_.append(text);
        }
    }

    // Paints every character of `text` on its own, as the coloured quoted line has
    // them; without colour the text goes out in one piece.
    void palette_each(std::uint8_t index, std::string_view text) noexcept {
        if (colour_) {
            paint_each(index, text);
        } else {
            out_.append(text);
        }
    }

private:
    void paint_red(std::string_view text) noexcept;
    void paint(std::uint8_t index, std::string_view text) noexcept;
    void paint_each(std::uint8_t index, std::string_view text) noexcept;

    BoundedWriter& out_;
    bool colour_;
};

} // namespace tolvi::report
