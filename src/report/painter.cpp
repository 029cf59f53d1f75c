#include "report/painter.hpp"

#include <charconv>

namespace tolvi::report {

void Painter::plain(std::string_view text) {
    out_ += text;
}

void Painter::spaces(std::size_t count) {
    out_.append(count, ' ');
}

void Painter::red(std::string_view text) {
    if (colour_) {
        out_ += "\x1b[31m";
    }
    out_ += text;
    reset();
}

void Painter::palette(std::uint8_t index, std::string_view text) {
    if (colour_) {
        char digits[3];
        auto* const end = std::to_chars(digits, digits + sizeof digits, unsigned{index}).ptr;
        out_ += "\x1b[38;5;";
        out_ += std::string_view(digits, static_cast<std::size_t>(end - digits));
        out_ += 'm';
    }
    out_ += text;
    reset();
}

void Painter::reset() {
    if (colour_) {
        out_ += "\x1b[0m";
    }
}

} // namespace tolvi::report
