#include "core/report/painter.hpp"

#include "core/ansi.hpp"
#include "core/digits.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::report {

void Painter::paint_red(std::string_view text) noexcept {
    out_.append(ansi::kRed);
    out_.append(text);
    out_.append(ansi::kReset);
}

void Painter::paint(std::uint8_t index, std::string_view text) noexcept {
    out_.append(ansi::kPaletteStart);
    out_.append(Digits(index).view());
    out_.push_back(ansi::kPaletteEnd);
    out_.append(text);
    out_.append(ansi::kReset);
}

void Painter::paint_each(std::uint8_t index, std::string_view text) noexcept {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = unicode::decode_utf8(text, at).length;
        paint(index, text.substr(at, length));
        at += length;
    }
}

} // namespace tolvi::report
