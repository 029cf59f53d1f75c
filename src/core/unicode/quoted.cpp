#include "core/unicode/quoted.hpp"

#include <cstddef>
#include <cstdint>

#include "core/digits.hpp"
#include "core/unicode/properties.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::unicode {

namespace {

// Printable ASCII that is written as itself: the bulk of every real string.
bool is_plain_ascii(char byte) noexcept {
    return byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\';
}

void append_hex_escape(std::string& out, char32_t c) {
    out += "\\u{";
    out.append(Digits(c, 16).view());
    out += '}';
}

// `bytes` is the character's own encoding, copied when no escape applies so that
// the text keeps its exact bytes.
void append_character(std::string& out, char32_t c, std::string_view bytes) {
    switch (c) {
    case U'"':
        out += "\\\"";
        return;
    case U'\\':
        out += "\\\\";
        return;
    case U'\t':
        out += "\\t";
        return;
    case U'\r':
        out += "\\r";
        return;
    case U'\n':
        out += "\\n";
        return;
    case U'\0':
        out += "\\0";
        return;
    default:
        break;
    }
    if (is_grapheme_extend(c) || is_escaped_category(c)) {
        append_hex_escape(out, c);
    } else {
        out.append(bytes);
    }
}

} // namespace

void append_quoted(std::string& out, std::string_view utf8) {
    out += '"';
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t run_end = pos;
        while (run_end < utf8.size() && is_plain_ascii(utf8[run_end])) {
            ++run_end;
        }
        out.append(utf8.substr(pos, run_end - pos));
        pos = run_end;
        if (pos == utf8.size()) {
            break;
        }
        const Decoded decoded = decode_utf8(utf8, pos);
        append_character(out, decoded.code_point, utf8.substr(pos, decoded.length));
        pos += decoded.length;
    }
    out += '"';
}

} // namespace tolvi::unicode
