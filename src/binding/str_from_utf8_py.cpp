#include "binding/str_from_utf8_py.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "binding/limited_api_py.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::py {

namespace {

// The interpreter's decoder builds a str of one kind and widens it at the first
// wider character, so text like a report, whose box drawing comes early, pays
// for a copy and a slow path. Decoding first to UCS-2, whose widest character
// gives the kind, builds the str at once. Longer text, and text beyond the basic
// plane, is left to the interpreter's decoder.
constexpr std::size_t kMostDecodedHere = 1024;

// Widening writes eight units where eight bytes remain to be read, and there are
// never more units than bytes read, so it stays within the text's own length.
using Units = std::array<Py_UCS2, kMostDecodedHere>;

struct Decoded {
    std::size_t count;
    Py_UCS2 widest;
};

// Writes eight bytes as eight code units, in one widening of a vector. Bytes
// that are not ASCII are written too and then overwritten by what decoding them
// gives.
void widen(const char* bytes, Py_UCS2* out) noexcept {
    using Bytes = std::uint8_t __attribute__((vector_size(8)));
    using CodeUnits = std::uint16_t __attribute__((vector_size(16)));
    Bytes narrow;
    std::memcpy(&narrow, bytes, sizeof narrow);
    const CodeUnits wide = __builtin_convertvector(narrow, CodeUnits);
    std::memcpy(out, &wide, sizeof wide);
}

// Decodes the character at `at`, which is not ASCII, into `unit`; false when it
// is not well-formed or lies beyond the basic plane. Three bytes, the box drawing
// of a report, are checked and put together here without the general decoder.
bool decode_one(std::string_view utf8, std::size_t& at, Py_UCS2& unit) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[at + i]); };
    if ((byte(0) & 0xF0) == 0xE0 && utf8.size() - at >= 3 && (byte(1) & 0xC0) == 0x80 &&
        (byte(2) & 0xC0) == 0x80) {
        const auto c = static_cast<Py_UCS2>(((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) |
                                            (byte(2) & 0x3F));
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        unit = c;
        at += 3;
        return true;
    }
    const unicode::Decoded one = unicode::decode_utf8(utf8, at);
    if (!unicode::is_well_formed(one) || one.code_point > 0xFFFF) {
        return false;
    }
    unit = static_cast<Py_UCS2>(one.code_point);
    at += one.length;
    return true;
}

// False for text that is not well-formed, or that leaves the basic plane.
bool decode(std::string_view utf8, Units& units, Decoded& result) noexcept {
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    std::size_t count = 0;
    Py_UCS2 widest = 0;
    std::size_t at = 0;
    while (at < utf8.size()) {
        // Eight bytes at a time: the ASCII ones before the first other byte are
        // copied at once, then the character that byte starts is decoded.
        if (at + sizeof(std::uint64_t) <= utf8.size()) {
            std::uint64_t word = 0;
            std::memcpy(&word, utf8.data() + at, sizeof word);
            const std::uint64_t high = word & kHighBits;
            widen(utf8.data() + at, units.data() + count);
            if (high == 0) {
                count += sizeof word;
                at += sizeof word;
                continue;
            }
            const auto ascii = static_cast<std::size_t>(std::countr_zero(high)) / 8;
            count += ascii;
            at += ascii;
        } else if (static_cast<unsigned char>(utf8[at]) < 0x80) {
            units[count++] = static_cast<unsigned char>(utf8[at++]);
            continue;
        }
        // A run of characters that are not ASCII, such as a rule of box drawing,
        // is decoded in one go.
        do {
            Py_UCS2& unit = units[count++];
            if (!decode_one(utf8, at, unit)) {
                return false;
            }
            widest = std::max(widest, unit);
        } while (at < utf8.size() && static_cast<unsigned char>(utf8[at]) >= 0x80);
    }
    result = {count, widest};
    return true;
}

PyObject* interpreter_decoded(std::string_view utf8) {
    return PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
}

} // namespace

PyObject* str_from_utf8(std::string_view utf8) {
    Units units; // NOLINT(cppcoreguidelines-pro-type-member-init)
    Decoded decoded{};
    if (utf8.size() > kMostDecodedHere || !decode(utf8, units, decoded)) {
        return interpreter_decoded(utf8);
    }
    return str_from_ucs2(units.data(), decoded.count, decoded.widest);
}

} // namespace tolvi::py
