#include "core/unicode/ucs2.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tolvi::unicode {

namespace {

constexpr std::size_t kBlock = 16;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// Writes sixteen bytes as sixteen units in one widening of a vector, ASCII or
// not: units of bytes that are not ASCII are overwritten by what decoding gives.
// There are never more units than bytes read, so the block stays within `units`.
void widen(const char* bytes, std::uint16_t* out) noexcept {
    using Bytes = std::uint8_t __attribute__((vector_size(kBlock)));
    using Units = std::uint16_t __attribute__((vector_size(2 * kBlock)));
    Bytes narrow;
    std::memcpy(&narrow, bytes, sizeof narrow);
    const Units wide = __builtin_convertvector(narrow, Units);
    std::memcpy(out, &wide, sizeof wide);
}

// The number of ASCII bytes that start the block at `bytes`.
std::size_t leading_ascii(const char* bytes) noexcept {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::memcpy(&low, bytes, sizeof low);
    std::memcpy(&high, bytes + sizeof low, sizeof high);
    low &= kHighBits;
    high &= kHighBits;
    if (low != 0) {
        return static_cast<std::size_t>(std::countr_zero(low)) / 8;
    }
    if (high != 0) {
        return sizeof low + static_cast<std::size_t>(std::countr_zero(high)) / 8;
    }
    return kBlock;
}

bool continues(unsigned char byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Decodes the character of three bytes at `at`, their lead tested already; 0
// when it is malformed. Only a lead of E0 can start an overlong form and only ED
// a surrogate, so the character is tested only for those.
std::uint16_t decode_three(const unsigned char* in, std::size_t left, std::size_t at) noexcept {
    if (left < 3 || !continues(in[at + 1]) || !continues(in[at + 2])) {
        return 0;
    }
    const auto c = static_cast<std::uint16_t>(((in[at] & 0x0F) << 12) | ((in[at + 1] & 0x3F) << 6) |
                                              (in[at + 2] & 0x3F));
    if ((in[at] == 0xE0 && c < 0x800) || (in[at] == 0xED && c >= 0xD800)) {
        return 0;
    }
    return c;
}

// Decodes the character of two bytes at `at`, its lead tested already; 0 when it
// is malformed.
std::uint16_t decode_two(const unsigned char* in, std::size_t left, std::size_t at) noexcept {
    if (left < 2 || in[at] < 0xC2 || !continues(in[at + 1])) {
        return 0;
    }
    return static_cast<std::uint16_t>(((in[at] & 0x1F) << 6) | (in[at + 1] & 0x3F));
}

} // namespace

std::optional<Ucs2Text> decode_to_ucs2(std::string_view utf8, Ucs2Units& units) noexcept {
    const std::size_t size = utf8.size();
    if (size > units.size()) {
        return std::nullopt;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    std::uint16_t* out = units.data();
    std::size_t at = 0;
    std::size_t count = 0;
    std::uint16_t widest = 0;
    while (at < size) {
        // A block at a time, the ASCII bytes that lead it are copied at once;
        // near the end, a byte at a time.
        if (size - at >= kBlock) {
            widen(utf8.data() + at, out + count);
            const std::size_t ascii = leading_ascii(utf8.data() + at);
            at += ascii;
            count += ascii;
            if (ascii == kBlock) {
                continue;
            }
        } else if (in[at] < 0x80) {
            out[count++] = in[at++];
            continue;
        }
        // A run of characters that are not ASCII, such as a rule of box drawing,
        // is decoded in one go.
        do {
            // Three bytes first: the box drawing of every report. Four bytes
            // leave the basic plane, and any other lead is malformed.
            const unsigned char lead = in[at];
            std::uint16_t unit = 0;
            if (lead == 0xE2 && size - at >= 3 &&
                ((in[at + 1] ^ 0x80) | (in[at + 2] ^ 0x80)) < 0x40) {
                // U+2000 to U+2FFF, the box drawing among them: never overlong
                // and never a surrogate, so the continuations are the only test.
                unit = static_cast<std::uint16_t>(0x2000 | ((in[at + 1] & 0x3F) << 6) |
                                                  (in[at + 2] & 0x3F));
                at += 3;
            } else if ((lead & 0xF0) == 0xE0) {
                unit = decode_three(in, size - at, at);
                at += 3;
            } else if ((lead & 0xE0) == 0xC0) {
                unit = decode_two(in, size - at, at);
                at += 2;
            }
            if (unit == 0) {
                return std::nullopt;
            }
            out[count++] = unit;
            widest = std::max(widest, unit);
        } while (at < size && in[at] >= 0x80);
    }
    return Ucs2Text{count, widest};
}

} // namespace tolvi::unicode
