#include "core/report/source_line.hpp"

#include "core/unicode/properties.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::report {

namespace {

// White_Space's ASCII members, tested without a call.
bool is_ascii_white_space(unsigned char byte) noexcept {
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

} // namespace

std::string_view quoted_line(std::string_view input) noexcept {
    // An ASCII line, as most are, is cut at its line feed and trimmed from its
    // end, with no walk over its characters.
    std::string_view line = input.substr(0, input.find('\n'));
    if (unicode::is_ascii(line)) {
        while (!line.empty() && is_ascii_white_space(static_cast<unsigned char>(line.back()))) {
            line.remove_suffix(1);
        }
        return line;
    }
    // Decoding forwards (rather than searching bytes) keeps the cut on the same
    // character boundaries the cell walker and char_index use.
    std::size_t offset = 0;
    std::size_t visible_end = 0;
    while (offset < input.size()) {
        const auto byte = static_cast<unsigned char>(input[offset]);
        if (byte < 0x80) {
            if (byte == '\n') {
                break;
            }
            ++offset;
            if (!is_ascii_white_space(byte)) {
                visible_end = offset;
            }
            continue;
        }
        const unicode::Decoded decoded = unicode::decode_utf8(input, offset);
        offset += decoded.length;
        if (!unicode::is_white_space(decoded.code_point)) {
            visible_end = offset;
        }
    }
    return input.substr(0, visible_end);
}

std::size_t char_index(std::string_view text, std::size_t offset) noexcept {
    const std::string_view before = text.substr(0, offset);
    // In ASCII every byte is a character.
    if (unicode::is_ascii(before)) {
        return before.size();
    }
    std::size_t index = 0;
    for (std::size_t pos = 0; pos < before.size(); pos += unicode::decode_utf8(text, pos).length) {
        ++index;
    }
    return index;
}

} // namespace tolvi::report
