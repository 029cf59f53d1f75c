#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tolvi::unicode {

// One decoded character and the number of bytes it occupies.
struct Decoded {
    char32_t code_point;
    std::size_t length;
};

// Decodes the character starting at `pos`. The text is expected to be valid
// UTF-8 (Python hands us its own encoding); a malformed byte decodes as itself
// with length 1 so that callers always make progress.
inline Decoded decode_utf8(std::string_view text, std::size_t pos) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const auto continues = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    const auto bits = [&](std::size_t i) { return static_cast<char32_t>(byte(i) & 0x3F); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) {
        return {b0, 1};
    }
    // Each length written out: these run for every character of every report.
    const std::size_t left = text.size() - pos;
    if ((b0 & 0xE0) == 0xC0) {
        if (left >= 2 && continues(1)) {
            return {(static_cast<char32_t>(b0 & 0x1F) << 6) | bits(1), 2};
        }
    } else if ((b0 & 0xF0) == 0xE0) {
        if (left >= 3 && continues(1) && continues(2)) {
            return {(static_cast<char32_t>(b0 & 0x0F) << 12) | (bits(1) << 6) | bits(2), 3};
        }
    } else if ((b0 & 0xF8) == 0xF0) {
        if (left >= 4 && continues(1) && continues(2) && continues(3)) {
            return {(static_cast<char32_t>(b0 & 0x07) << 18) | (bits(1) << 12) | (bits(2) << 6) |
                        bits(3),
                    4};
        }
    }
    return {b0, 1};
}

// Whether every byte of `text` is ASCII: such text is valid UTF-8 with one byte,
// one character and one code point each.
inline bool is_ascii(std::string_view text) noexcept {
    // Eight bytes at a time: the high bit of every byte at once.
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + sizeof any <= text.size(); i += sizeof any) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        any |= word;
    }
    for (; i < text.size(); ++i) {
        any |= static_cast<unsigned char>(text[i]);
    }
    return (any & kHighBits) == 0;
}

// Appends the UTF-8 encoding of `c` to `out`, a std::string or any text buffer
// with push_back.
template <class Out> void append_utf8(Out& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace tolvi::unicode
