#include "report/painter.hpp"

#include "digits.hpp"

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
        out_ += "\x1b[38;5;";
        out_ += Digits(index).view();
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
