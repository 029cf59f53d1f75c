#include "core/unicode/quoted.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using tolvi::unicode::append_quoted;

std::string quoted(std::string_view text) {
    std::string out;
    append_quoted(out, text);
    return out;
}

TEST(Quoted, PlainAsciiIsWrappedInDoubleQuotes) {
    EXPECT_EQ(quoted(""), R"("")");
    EXPECT_EQ(quoted("1.2.3-rc.1"), R"("1.2.3-rc.1")");
    EXPECT_EQ(quoted("a b ~!@#$%^&*()_+{}[]|;:,.<>/?`"), R"("a b ~!@#$%^&*()_+{}[]|;:,.<>/?`")");
}

TEST(Quoted, AppendsAfterExistingText) {
    std::string out = "value: ";
    append_quoted(out, "x");
    EXPECT_EQ(out, R"(value: "x")");
}

TEST(Quoted, BackslashEscapes) {
    EXPECT_EQ(quoted("say \"hi\""), R"("say \"hi\"")");
    EXPECT_EQ(quoted("C:\\dir"), R"("C:\\dir")");
    EXPECT_EQ(quoted("a\tb"), R"("a\tb")");
    EXPECT_EQ(quoted("a\rb"), R"("a\rb")");
    EXPECT_EQ(quoted("a\nb"), R"("a\nb")");
    EXPECT_EQ(quoted(std::string_view("a\0b", 3)), R"("a\0b")");
}

TEST(Quoted, SingleQuoteAndSpaceAreNotEscaped) {
    EXPECT_EQ(quoted("it's"), R"("it's")");
    EXPECT_EQ(quoted(" "), R"(" ")");
}

TEST(Quoted, OtherAsciiControlsUseHexEscapes) {
    EXPECT_EQ(quoted("\x01"), R"("\u{1}")");
    EXPECT_EQ(quoted("\x1b[0m"), R"("\u{1b}[0m")");
    EXPECT_EQ(quoted("\x7f"), R"("\u{7f}")");
}

TEST(Quoted, GraphemeExtendIsEscaped) {
    EXPECT_EQ(quoted("e\u0301"), R"("e\u{301}")");
}

TEST(Quoted, InvisibleCategoriesAreEscaped) {
    EXPECT_EQ(quoted("\u00a0"), R"("\u{a0}")");   // Zs, no-break space
    EXPECT_EQ(quoted("\u00ad"), R"("\u{ad}")");   // Cf, soft hyphen
    EXPECT_EQ(quoted("\u200b"), R"("\u{200b}")"); // Cf, zero width space
    EXPECT_EQ(quoted("\u2028"), R"("\u{2028}")"); // Zl
    EXPECT_EQ(quoted("\u2029"), R"("\u{2029}")"); // Zp
    EXPECT_EQ(quoted("\u3000"), R"("\u{3000}")"); // Zs, ideographic space
    EXPECT_EQ(quoted("\ue000"), R"("\u{e000}")"); // Co
    EXPECT_EQ(quoted("\u0378"), R"("\u{378}")");  // Cn
    EXPECT_EQ(quoted("\ufeff"), R"("\u{feff}")"); // Cf, byte order mark
    EXPECT_EQ(quoted("\u0085"), R"("\u{85}")");   // Cc, next line
    EXPECT_EQ(quoted("\U000F0000"), R"("\u{f0000}")");
}

TEST(Quoted, PrintableNonAsciiIsCopied) {
    EXPECT_EQ(quoted("\u00e9"), "\"\u00e9\"");
    EXPECT_EQ(quoted("caf\u00e9 \u65e5\u672c \U0001F600"), "\"caf\u00e9 \u65e5\u672c \U0001F600\"");
}

TEST(Quoted, MixedText) {
    EXPECT_EQ(quoted("x\u0301\t'\u00e9\"\\ \u00a0y"), R"("x\u{301}\t')"
                                                      "\u00e9"
                                                      R"(\"\\ \u{a0}y")");
}

} // namespace
