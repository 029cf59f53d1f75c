#include "core/unicode/properties.hpp"
#include "core/unicode/range_table.hpp"
#include "core/unicode/ucs2.hpp"
#include "core/unicode/utf8.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tolvi::unicode;

TEST(RangeTable, FindsBoundariesAndGaps) {
    constexpr Range table[] = {{0x10, 0x10}, {0x20, 0x2F}, {0x100, 0x10FFFF}};
    static_assert(is_normalized(table));
    EXPECT_FALSE(in_ranges(table, 0x00));
    EXPECT_FALSE(in_ranges(table, 0x0F));
    EXPECT_TRUE(in_ranges(table, 0x10));
    EXPECT_FALSE(in_ranges(table, 0x11));
    EXPECT_FALSE(in_ranges(table, 0x1F));
    EXPECT_TRUE(in_ranges(table, 0x20));
    EXPECT_TRUE(in_ranges(table, 0x2F));
    EXPECT_FALSE(in_ranges(table, 0x30));
    EXPECT_FALSE(in_ranges(table, 0xFF));
    EXPECT_TRUE(in_ranges(table, 0x100));
    EXPECT_TRUE(in_ranges(table, 0x10FFFF));
    EXPECT_FALSE(in_ranges(table, 0x110000));
    EXPECT_FALSE(in_ranges(std::span<const Range>{}, 0x41));
}

TEST(RangeTable, RejectsUnsortedTouchingOrInvertedRanges) {
    constexpr Range unsorted[] = {{0x20, 0x2F}, {0x10, 0x10}};
    constexpr Range touching[] = {{0x10, 0x1F}, {0x20, 0x2F}};
    constexpr Range overlapping[] = {{0x10, 0x25}, {0x20, 0x2F}};
    constexpr Range inverted[] = {{0x2F, 0x20}};
    constexpr Range beyond[] = {{0x10FFFF, 0x110000}};
    static_assert(!is_normalized(unsorted));
    static_assert(!is_normalized(touching));
    static_assert(!is_normalized(overlapping));
    static_assert(!is_normalized(inverted));
    static_assert(!is_normalized(beyond));
}

TEST(RangeTable, AsciiSetBitsMapToCodePoints) {
    constexpr AsciiSet set{0x8000000000000001, 0x8000000000000001};
    EXPECT_TRUE(set.contains(0x00));
    EXPECT_FALSE(set.contains(0x01));
    EXPECT_TRUE(set.contains(0x3F));
    EXPECT_TRUE(set.contains(0x40));
    EXPECT_FALSE(set.contains(0x41));
    EXPECT_TRUE(set.contains(0x7F));
    constexpr Range same[] = {{0x00, 0x00}, {0x3F, 0x40}, {0x7F, 0x7F}};
    constexpr Range differs[] = {{0x00, 0x00}, {0x3F, 0x41}, {0x7F, 0x7F}};
    static_assert(agrees(set, same));
    static_assert(!agrees(set, differs));
}

TEST(Unicode, GraphemeExtend) {
    EXPECT_TRUE(is_grapheme_extend(0x0300)); // combining grave accent, first of its block
    EXPECT_TRUE(is_grapheme_extend(0x0301));
    EXPECT_TRUE(is_grapheme_extend(0x036F));  // last of the block
    EXPECT_FALSE(is_grapheme_extend(0x0370)); // Greek capital heta
    EXPECT_FALSE(is_grapheme_extend(0x02FF));
    EXPECT_TRUE(is_grapheme_extend(0x200C));  // zero width non-joiner
    EXPECT_FALSE(is_grapheme_extend(0x200D)); // zero width joiner is not Grapheme_Extend
    EXPECT_TRUE(is_grapheme_extend(0xFE0F));  // variation selector 16
    EXPECT_TRUE(is_grapheme_extend(0xE0100)); // variation selector 17, supplementary plane
    EXPECT_TRUE(is_grapheme_extend(0xE01EF)); // the last Grapheme_Extend code point
    EXPECT_FALSE(is_grapheme_extend(0xE01F0));
    EXPECT_FALSE(is_grapheme_extend(0x10FFFF));
    for (char32_t c = 0; c < 0x80; ++c) {
        EXPECT_FALSE(is_grapheme_extend(c)) << static_cast<unsigned>(c);
    }
}

TEST(Unicode, EscapedCategory) {
    EXPECT_TRUE(is_escaped_category(0x0000));  // Cc
    EXPECT_TRUE(is_escaped_category(0x001F));  // Cc
    EXPECT_FALSE(is_escaped_category(0x0020)); // the one Zs character printed as itself
    EXPECT_FALSE(is_escaped_category(0x0021));
    EXPECT_FALSE(is_escaped_category(0x007E));
    EXPECT_TRUE(is_escaped_category(0x007F));   // Cc
    EXPECT_TRUE(is_escaped_category(0x0080));   // Cc
    EXPECT_TRUE(is_escaped_category(0x009F));   // Cc
    EXPECT_TRUE(is_escaped_category(0x00A0));   // Zs
    EXPECT_FALSE(is_escaped_category(0x00A1));  // Po
    EXPECT_TRUE(is_escaped_category(0x00AD));   // soft hyphen, Cf
    EXPECT_FALSE(is_escaped_category(0x00E9));  // Ll
    EXPECT_FALSE(is_escaped_category(0x0377));  // Ll
    EXPECT_TRUE(is_escaped_category(0x0378));   // unassigned, Cn
    EXPECT_TRUE(is_escaped_category(0x0379));   // Cn
    EXPECT_FALSE(is_escaped_category(0x037A));  // Lm
    EXPECT_TRUE(is_escaped_category(0x200B));   // zero width space, Cf
    EXPECT_TRUE(is_escaped_category(0x2028));   // Zl
    EXPECT_TRUE(is_escaped_category(0x2029));   // Zp
    EXPECT_TRUE(is_escaped_category(0x3000));   // Zs
    EXPECT_TRUE(is_escaped_category(0xD800));   // Cs
    EXPECT_TRUE(is_escaped_category(0xDFFF));   // Cs
    EXPECT_TRUE(is_escaped_category(0xE000));   // Co
    EXPECT_TRUE(is_escaped_category(0xF8FF));   // Co
    EXPECT_FALSE(is_escaped_category(0xF900));  // Lo
    EXPECT_TRUE(is_escaped_category(0xFEFF));   // byte order mark, Cf
    EXPECT_TRUE(is_escaped_category(0xFFFF));   // noncharacter, Cn
    EXPECT_FALSE(is_escaped_category(0x1F600)); // emoji, So
    EXPECT_TRUE(is_escaped_category(0xE0001));  // language tag, Cf
    EXPECT_TRUE(is_escaped_category(0x10FFFD)); // Co
    EXPECT_TRUE(is_escaped_category(0x10FFFF)); // Cn
    EXPECT_FALSE(is_escaped_category(0x0300));  // Mn: escaped for Grapheme_Extend instead
    for (char32_t c = 0; c < 0x80; ++c) {
        EXPECT_EQ(is_escaped_category(c), c < 0x20 || c == 0x7F) << static_cast<unsigned>(c);
    }
}

TEST(Unicode, XidStartAndContinue) {
    for (char32_t c = 0; c < 0x80; ++c) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        EXPECT_EQ(is_xid_start(c), letter) << static_cast<unsigned>(c);
        EXPECT_EQ(is_xid_continue(c), letter || digit || c == '_') << static_cast<unsigned>(c);
    }
    EXPECT_TRUE(is_xid_start(0x00AA)); // feminine ordinal indicator, the first non-ASCII one
    EXPECT_FALSE(is_xid_start(0x00A9));
    EXPECT_TRUE(is_xid_start(0x00E9));
    EXPECT_TRUE(is_xid_continue(0x00E9));
    EXPECT_TRUE(is_xid_start(0x4E00));
    EXPECT_TRUE(is_xid_continue(0x4E00));
    EXPECT_FALSE(is_xid_start(0x0301)); // combining mark
    EXPECT_TRUE(is_xid_continue(0x0301));
    EXPECT_FALSE(is_xid_start(0x00B7)); // middle dot
    EXPECT_TRUE(is_xid_continue(0x00B7));
    EXPECT_FALSE(is_xid_start(0x0660)); // Arabic-Indic digit zero
    EXPECT_TRUE(is_xid_continue(0x0660));
    EXPECT_FALSE(is_xid_start(0x2E2F)); // vertical tilde: Lm, but not an identifier character
    EXPECT_FALSE(is_xid_continue(0x2E2F));
    EXPECT_FALSE(is_xid_start(0x037A)); // Greek ypogegrammeni: excluded by NFKC closure
    EXPECT_FALSE(is_xid_continue(0x037A));
    EXPECT_TRUE(is_xid_start(0x323AF)); // the last CJK ideograph of plane 3
    EXPECT_FALSE(is_xid_start(0x323B0));
    EXPECT_TRUE(is_xid_continue(0xE01EF)); // variation selector 256
    EXPECT_FALSE(is_xid_continue(0xE01F0));
    EXPECT_FALSE(is_xid_start(0x00A0));
    EXPECT_FALSE(is_xid_continue(0x00A0));
    EXPECT_FALSE(is_xid_continue(0x10FFFF));
}

TEST(Unicode, Wide) {
    for (char32_t c = 0; c < 0x80; ++c) {
        EXPECT_FALSE(is_wide(c)) << static_cast<unsigned>(c);
    }
    EXPECT_FALSE(is_wide(0x00E9));
    EXPECT_FALSE(is_wide(0x10FF));
    EXPECT_TRUE(is_wide(0x1100)); // Hangul choseong, W
    EXPECT_TRUE(is_wide(0x115F));
    EXPECT_FALSE(is_wide(0x1160));
    EXPECT_TRUE(is_wide(0x3000)); // ideographic space, F
    EXPECT_TRUE(is_wide(0x4E00));
    EXPECT_TRUE(is_wide(0xAC00)); // Hangul syllable
    EXPECT_FALSE(is_wide(0xFF00));
    EXPECT_TRUE(is_wide(0xFF01)); // fullwidth exclamation mark, F
    EXPECT_TRUE(is_wide(0xFF60));
    EXPECT_FALSE(is_wide(0xFF61)); // halfwidth ideographic full stop, H
    EXPECT_TRUE(is_wide(0x1F600)); // emoji
    EXPECT_TRUE(is_wide(0x20000)); // plane 2
    EXPECT_TRUE(is_wide(0x2A6E0)); // unassigned in plane 2: wide by default
    EXPECT_TRUE(is_wide(0x2FFFD));
    EXPECT_FALSE(is_wide(0x2FFFE)); // noncharacter
    EXPECT_TRUE(is_wide(0x3FFFD));
    EXPECT_FALSE(is_wide(0x3FFFE));
    EXPECT_FALSE(is_wide(0x40000));
    EXPECT_FALSE(is_wide(0x10FFFF));
}

TEST(Unicode, WhiteSpace) {
    const char32_t white[] = {0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020,
                              0x0085, 0x00A0, 0x1680, 0x2000, 0x2005, 0x200A,
                              0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (const char32_t c : white) {
        EXPECT_TRUE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
    }
    const char32_t not_white[] = {0x0000, 0x0008, 0x000E, 0x001F, 0x0021, 0x0084, 0x0086, 0x009F,
                                  0x00A1, 0x167F, 0x1681, 0x180E, 0x1FFF, 0x200B, 0x2027, 0x202A,
                                  0x202E, 0x2030, 0x205E, 0x2060, 0x2FFF, 0x3001, 0xFEFF, 0x10FFFF};
    for (const char32_t c : not_white) {
        EXPECT_FALSE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
    }
    int ascii_white = 0;
    for (char32_t c = 0; c < 0x80; ++c) {
        ascii_white += is_white_space(c) ? 1 : 0;
    }
    EXPECT_EQ(ascii_white, 6);
}

TEST(Utf8, DecodesEachLength) {
    const std::string text = "a\xC3\xA9\xE4\xB8\x80\xF0\x9F\x98\x80"; // a, é, 一, 😀
    Decoded d = decode_utf8(text, 0);
    EXPECT_EQ(d.code_point, U'a');
    EXPECT_EQ(d.length, 1u);
    d = decode_utf8(text, 1);
    EXPECT_EQ(d.code_point, U'\u00E9');
    EXPECT_EQ(d.length, 2u);
    d = decode_utf8(text, 3);
    EXPECT_EQ(d.code_point, U'\u4E00');
    EXPECT_EQ(d.length, 3u);
    d = decode_utf8(text, 6);
    EXPECT_EQ(d.code_point, U'\U0001F600');
    EXPECT_EQ(d.length, 4u);
}

TEST(Utf8, RoundTripsAtLengthBoundaries) {
    const char32_t samples[] = {0x0000, 0x0041, 0x007F, 0x0080, 0x00E9,  0x07FF,  0x0800,
                                0x0301, 0x4E00, 0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
    for (const char32_t c : samples) {
        std::string encoded;
        append_utf8(encoded, c);
        const std::size_t expected = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        EXPECT_EQ(encoded.size(), expected) << std::hex << static_cast<unsigned>(c);
        const Decoded d = decode_utf8(encoded, 0);
        EXPECT_EQ(d.code_point, c) << std::hex << static_cast<unsigned>(c);
        EXPECT_EQ(d.length, expected) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Utf8, AppendsAfterExistingText) {
    std::string out = "x";
    append_utf8(out, 0x00E9);
    append_utf8(out, 0x1F600);
    EXPECT_EQ(out, "x\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(Utf8, MalformedByteDecodesAsItself) {
    const std::string lone_continuation = "\x80";
    Decoded d = decode_utf8(lone_continuation, 0);
    EXPECT_EQ(d.code_point, 0x80u);
    EXPECT_EQ(d.length, 1u);
    const std::string truncated = "\xE4\xB8"; // first two bytes of a three-byte character
    d = decode_utf8(truncated, 0);
    EXPECT_EQ(d.code_point, 0xE4u);
    EXPECT_EQ(d.length, 1u);
}

} // namespace

TEST(Utf8Decode, AByteThatDoesNotContinueASequenceIsNotSwallowed) {
    using tolvi::unicode::decode_utf8;
    const auto lead_then_ascii = decode_utf8("\xc3\nb", 0);
    EXPECT_EQ(lead_then_ascii.code_point, 0xC3u);
    EXPECT_EQ(lead_then_ascii.length, 1u);
    const auto cut_short = decode_utf8("\xe2\x94", 0);
    EXPECT_EQ(cut_short.length, 1u);
    const auto four_bytes = decode_utf8("\xf0\x9f\x98\x80", 0);
    EXPECT_EQ(four_bytes.code_point, 0x1F600u);
    EXPECT_EQ(four_bytes.length, 4u);
}

namespace {

using tolvi::unicode::decode_to_ucs2;
using tolvi::unicode::kMostDecodedToUcs2;
using tolvi::unicode::Ucs2Units;

// What a decoding gives, for comparing with one written out by hand.
struct Ucs2Case {
    std::string utf8;
    std::u16string units; // empty with widest 0: refused
    std::uint16_t widest;
};

TEST(Ucs2, DecodesOrRefuses) {
    const std::string ascii_run = "0123456789abcdefghijklmnopqrstuvwxyz"; // past two blocks
    const std::u16string ascii_units = u"0123456789abcdefghijklmnopqrstuvwxyz";
    const Ucs2Case cases[] = {
        {"", u"", 0},
        {ascii_run, ascii_units, 0},
        // Not ASCII just before, at and after the 8- and 16-byte boundaries.
        {"1234567\xC3\xA9", u"1234567\u00E9", 0xE9},
        {"12345678\xC3\xA9" + ascii_run, u"12345678\u00E9" + ascii_units, 0xE9},
        {"123456789012345\xE2\x94\x80z", u"123456789012345\u2500z", 0x2500},
        {ascii_run + "\xE2\x94\x80", ascii_units + u"\u2500", 0x2500},
        // A run of box drawing, two-byte and three-byte characters side by side.
        {"\xE2\x94\x80\xE2\x94\x80\xE2\x95\xAF\n", u"\u2500\u2500\u256F\n", 0x256F},
        {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", u"\u0080\u07FF\u0800\uFFFF", 0xFFFF},
        // Beyond the basic plane, overlong, surrogate, cut short, stray continuation.
        {"a\xF0\x9F\x98\x80", u"", 0},
        {"\xC1\xBF", u"", 0},
        {"\xE0\x9F\xBF", u"", 0},
        {"\xED\xA0\x80", u"", 0},
        {"0123456789abcdef\xE2\x94", u"", 0},
        {"\xE2\x94", u"", 0},
        {"\xE2\x94\x41", u"", 0},
        {"\x80", u"", 0},
    };
    for (const Ucs2Case& c : cases) {
        Ucs2Units units{};
        const auto decoded = decode_to_ucs2(c.utf8, units);
        if (c.units.empty() && c.widest == 0 && !c.utf8.empty()) {
            EXPECT_FALSE(decoded) << c.utf8;
            continue;
        }
        ASSERT_TRUE(decoded) << c.utf8;
        EXPECT_EQ(std::u16string(units.begin(), units.begin() + decoded->count), c.units) << c.utf8;
        EXPECT_EQ(decoded->widest, c.widest) << c.utf8;
    }
}

TEST(Ucs2, DecodesUpToItsLimit) {
    Ucs2Units units{};
    const std::string longest(kMostDecodedToUcs2, 'x');
    const auto decoded = decode_to_ucs2(longest, units);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->count, kMostDecodedToUcs2);
    EXPECT_FALSE(decode_to_ucs2(longest + "x", units));
}

} // namespace
