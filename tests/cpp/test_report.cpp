#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/package/version/version.hpp"
#include "core/report/cells.hpp"
#include "core/report/colour.hpp"
#include "core/report/label_colour.hpp"
#include "core/report/label_message.hpp"
#include "core/report/parse_error.hpp"
#include "core/report/render.hpp"
#include "core/report/source_line.hpp"
#include "core/unicode/utf8_check.hpp"

namespace {

using tolvi::report::ColourEnvironment;
using tolvi::report::ExpectedPattern;
using tolvi::report::ParseError;
using Kind = ExpectedPattern::Kind;

constexpr std::string_view kVersion = "tolvi::package::version::Version";
constexpr std::string_view kSemVer = "tolvi::package::version::semver::SemVer";
constexpr std::string_view kDotSeparated = "tolvi::package::version::dot_separated::DotSeparated";
constexpr std::string_view kOther = "tolvi::package::version::other::Other";

ExpectedPattern label(std::string_view text) {
    return {Kind::Label, 0, text};
}
ExpectedPattern token(char32_t c) {
    return {Kind::Token, c, {}};
}
ExpectedPattern end_of_input() {
    return {Kind::EndOfInput, 0, {}};
}

// Built before main; a failure there ends the test run, as it should.
// NOLINTBEGIN(cert-err58-cpp)
const std::vector<ExpectedPattern> kNothingMatches = {token(U'v'), label("integer"),
                                                      label("dot-separated list"), end_of_input(),
                                                      label("identifier")};
const std::vector<ExpectedPattern> kIntegerOrPart = {label("integer"),
                                                     label("alphanumeric or '-'")};
// NOLINTEND(cert-err58-cpp)

ParseError error(std::size_t start, std::size_t end, std::optional<char32_t> found,
                 const std::vector<ExpectedPattern>& expected) {
    return ParseError{start, end, found, expected};
}

std::string plain(const ParseError& e, std::string_view input, std::string_view source) {
    return tolvi::report::render_parse_error({e}, input, source, false);
}

std::string coloured(const ParseError& e, std::string_view input, std::string_view source) {
    return tolvi::report::render_parse_error({e}, input, source, true);
}

std::string message(const ParseError& e) {
    std::string out;
    tolvi::report::write_label_message(out, e);
    return out;
}

// ---------------------------------------------------------------- label message

TEST(ReportLabelMessage, TwoPatternsReadCommaOr) {
    EXPECT_EQ(message(error(2, 3, U'.', kIntegerOrPart)),
              "found '.' expected integer, or alphanumeric or '-'");
    EXPECT_EQ(message(error(3, 3, std::nullopt, {label("digit"), token(U'.')})),
              "found end of input expected digit, or '.'");
    EXPECT_EQ(message(error(0, 1, U'x', {token(U'v'), label("integer")})),
              "found 'x' expected 'v', or integer");
}

TEST(ReportLabelMessage, OnePatternAndMany) {
    EXPECT_EQ(message(error(0, 1, U'1', {label("identifier")})), "found '1' expected identifier");
    EXPECT_EQ(message(error(0, 1, U' ', kNothingMatches)),
              "found ' ' expected 'v', integer, dot-separated list, end of input, or identifier");
}

TEST(ReportLabelMessage, EmptyListReadsSomethingElse) {
    EXPECT_EQ(message(error(0, 0, std::nullopt, {})), "found end of input expected something else");
    EXPECT_EQ(message(error(0, 1, U'a', {{Kind::SomethingElse, 0, {}}})),
              "found 'a' expected something else");
}

TEST(ReportLabelMessage, FoundCharacterIsWrittenRaw) {
    EXPECT_EQ(message(error(0, 1, U'\t', {label("digit")})), "found '\t' expected digit");
    EXPECT_EQ(message(error(0, 1, U'\n', {label("digit")})), "found '\n' expected digit");
    EXPECT_EQ(message(error(0, 2, U'é', {token(U'ß')})), "found 'é' expected 'ß'");
}

// ---------------------------------------------------------------- plain layout

TEST(ReportLayout, DoubleDot) {
    EXPECT_EQ(plain(error(2, 3, U'.', kIntegerOrPart), "1..2", kVersion),
              "Error: \n"
              "   ╭─[ tolvi::package::version::Version:1:3 ]\n"
              "   │\n"
              " 1 │ 1..2\n"
              "   │   ┬  \n"
              "   │   ╰── found '.' expected integer, or alphanumeric or '-'\n"
              "───╯\n");
}

TEST(ReportLayout, EmptySpanAtEndOfInput) {
    EXPECT_EQ(plain(error(3, 3, std::nullopt, {label("digit"), token(U'.')}), "1.2", kSemVer),
              "Error: \n"
              "   ╭─[ tolvi::package::version::semver::SemVer:1:4 ]\n"
              "   │\n"
              " 1 │ 1.2\n"
              "   │    │ \n"
              "   │    ╰─ found end of input expected digit, or '.'\n"
              "───╯\n");
}

TEST(ReportLayout, TabAtErrorPosition) {
    // parse_version on a tab followed by 1.2..3 fails on the tab itself.
    const std::string report = plain(error(0, 1, U'\t', kNothingMatches), "\t1.2..3", kVersion);
    EXPECT_EQ(report, "Error: \n"
                      "   ╭─[ tolvi::package::version::Version:1:1 ]\n"
                      "   │\n"
                      " 1 │     1.2..3\n"
                      "   │ ┬───  \n"
                      "   │ ╰───── found '\t' expected 'v', integer, dot-separated list, end of "
                      "input, or identifier\n"
                      "───╯\n");
    // After the margin: the marker, three bars and two spaces; then the corner,
    // five bars, a space and the message.
    EXPECT_NE(report.find("\n   │ ┬───  \n"), std::string::npos);
    EXPECT_NE(report.find("\n   │ ╰───── found"), std::string::npos);
}

TEST(ReportLayout, TabReachesNextTabStop) {
    // parse_version on 1.<tab>2: the tab starts in column 2 and is two columns wide.
    EXPECT_EQ(plain(error(2, 3, U'\t', kIntegerOrPart), "1.\t2", kVersion),
              "Error: \n"
              "   ╭─[ tolvi::package::version::Version:1:3 ]\n"
              "   │\n"
              " 1 │ 1.  2\n"
              "   │   ┬─  \n"
              "   │   ╰─── found '\t' expected integer, or alphanumeric or '-'\n"
              "───╯\n");
}

TEST(ReportLayout, TabAfterErrorIsMeasuredInPlace) {
    // The tab in column 3 is one column wide, both in the quoted line and in the
    // cell after the marker.
    EXPECT_EQ(plain(error(2, 3, U'.', kIntegerOrPart), "1..\t2", kVersion),
              "Error: \n"
              "   ╭─[ tolvi::package::version::Version:1:3 ]\n"
              "   │\n"
              " 1 │ 1.. 2\n"
              "   │   ┬  \n"
              "   │   ╰── found '.' expected integer, or alphanumeric or '-'\n"
              "───╯\n");
}

TEST(ReportLayout, MultiByteCharacterBeforeError) {
    // é takes bytes 0 and 1; the space at bytes 2 to 3 is character 1.
    EXPECT_EQ(plain(error(2, 3, U' ', {label("identifier"), end_of_input()}), "é x", kVersion),
              "Error: \n"
              "   ╭─[ tolvi::package::version::Version:1:2 ]\n"
              "   │\n"
              " 1 │ é x\n"
              "   │  ┬  \n"
              "   │  ╰── found ' ' expected identifier, or end of input\n"
              "───╯\n");
}

TEST(ReportLayout, TrailingWhiteSpaceIsNotQuoted) {
    const std::vector<ExpectedPattern> expected = {
        label("digit"), token(U'-'), token(U'+'), end_of_input(), label("alphanumeric or '-'"),
        token(U'.')};
    EXPECT_EQ(plain(error(5, 6, U' ', expected), "1.2.3 ", kVersion),
              "Error: \n"
              "   ╭─[ tolvi::package::version::Version:1:6 ]\n"
              "   │\n"
              " 1 │ 1.2.3\n"
              "   │      ┬  \n"
              "   │      ╰── found ' ' expected digit, '-', '+', end of input, alphanumeric or "
              "'-', or '.'\n"
              "───╯\n");
}

TEST(ReportLayout, WideCharacterAtError) {
    // U+FF11 FULLWIDTH DIGIT ONE is no digit of the grammar and starts no identifier.
    EXPECT_EQ(plain(error(0, 3, U'１', kNothingMatches), "１.2", kVersion),
              "Error: \n"
              "   ╭─[ tolvi::package::version::Version:1:1 ]\n"
              "   │\n"
              " 1 │ １.2\n"
              "   │ ┬─  \n"
              "   │ ╰─── found '１' expected 'v', integer, dot-separated list, end of input, or "
              "identifier\n"
              "───╯\n");
}

TEST(ReportLayout, WideCharactersBeforeError) {
    EXPECT_EQ(plain(error(6, 7, U'-', {label("identifier"), end_of_input()}), "日本-x", kOther),
              "Error: \n"
              "   ╭─[ tolvi::package::version::other::Other:1:3 ]\n"
              "   │\n"
              " 1 │ 日本-x\n"
              "   │     ┬  \n"
              "   │     ╰── found '-' expected identifier, or end of input\n"
              "───╯\n");
}

TEST(ReportLayout, LineBreakAtErrorContinuesMessageOnNewLine) {
    EXPECT_EQ(plain(error(3, 4, U'\n', {label("digit"), token(U'.')}), "1.2\n3", kSemVer),
              "Error: \n"
              "   ╭─[ tolvi::package::version::semver::SemVer:1:4 ]\n"
              "   │\n"
              " 1 │ 1.2\n"
              "   │    ┬  \n"
              "   │    ╰── found '\n' expected digit, or '.'\n"
              "───╯\n");
}

TEST(ReportLayout, CarriageReturnBeforeLineFeedIsTrailingWhiteSpace) {
    EXPECT_EQ(plain(error(3, 4, U'\r', {label("digit"), token(U'.')}), "1.2\r\n3", kSemVer),
              "Error: \n"
              "   ╭─[ tolvi::package::version::semver::SemVer:1:4 ]\n"
              "   │\n"
              " 1 │ 1.2\n"
              "   │    ┬  \n"
              "   │    ╰── found '\r' expected digit, or '.'\n"
              "───╯\n");
}

TEST(ReportLayout, EmptyInput) {
    EXPECT_EQ(plain(error(0, 0, std::nullopt, {label("identifier")}), "", kOther),
              "Error: \n"
              "   ╭─[ tolvi::package::version::other::Other:1:1 ]\n"
              "   │\n"
              " 1 │ \n"
              "   │ │ \n"
              "   │ ╰─ found end of input expected identifier\n"
              "───╯\n");
}

TEST(ReportLayout, LeadingDotOfDotSeparated) {
    EXPECT_EQ(
        plain(error(0, 1, U'.', {label("dot-separated list"), end_of_input()}), ".", kDotSeparated),
        "Error: \n"
        "   ╭─[ tolvi::package::version::dot_separated::DotSeparated:1:1 ]\n"
        "   │\n"
        " 1 │ .\n"
        "   │ ┬  \n"
        "   │ ╰── found '.' expected dot-separated list, or end of input\n"
        "───╯\n");
}

TEST(ReportLayout, ErrorAtTheFirstCharacter) {
    EXPECT_EQ(plain(error(0, 1, U'1', {label("identifier")}), "1abc", kOther),
              "Error: \n"
              "   ╭─[ tolvi::package::version::other::Other:1:1 ]\n"
              "   │\n"
              " 1 │ 1abc\n"
              "   │ ┬  \n"
              "   │ ╰── found '1' expected identifier\n"
              "───╯\n");
}

// ---------------------------------------------------------------- coloured layout

TEST(ReportColouredLayout, DoubleDot) {
    EXPECT_EQ(coloured(error(2, 3, U'.', kIntegerOrPart), "1..2", kVersion),
              "\x1b[31mError:\x1b[0m \n"
              "   \x1b[38;5;246m╭\x1b[0m\x1b[38;5;246m─\x1b[0m\x1b[38;5;246m[\x1b[0m"
              " tolvi::package::version::Version:1:3 \x1b[38;5;246m]\x1b[0m\n"
              "   \x1b[38;5;246m│\x1b[0m\n"
              " \x1b[38;5;246m1 │\x1b[0m \x1b[38;5;249m1\x1b[0m\x1b[38;5;249m.\x1b[0m"
              "\x1b[38;5;201m.\x1b[0m\x1b[38;5;249m2\x1b[0m\n"
              " \x1b[38;5;240m  │\x1b[0m   \x1b[38;5;201m┬\x1b[0m  \n"
              " \x1b[38;5;240m  │\x1b[0m   \x1b[38;5;201m╰\x1b[0m\x1b[38;5;201m─\x1b[0m"
              "\x1b[38;5;201m─\x1b[0m found '.' expected integer, or alphanumeric or '-'\n"
              "\x1b[38;5;246m───╯\x1b[0m\n");
}

TEST(ReportColouredLayout, EmptySpanPaintsNoSourceCharacterInLabelColour) {
    EXPECT_EQ(coloured(error(3, 3, std::nullopt, {label("digit"), token(U'.')}), "1.2", kSemVer),
              "\x1b[31mError:\x1b[0m \n"
              "   \x1b[38;5;246m╭\x1b[0m\x1b[38;5;246m─\x1b[0m\x1b[38;5;246m[\x1b[0m"
              " tolvi::package::version::semver::SemVer:1:4 \x1b[38;5;246m]\x1b[0m\n"
              "   \x1b[38;5;246m│\x1b[0m\n"
              " \x1b[38;5;246m1 │\x1b[0m \x1b[38;5;249m1\x1b[0m\x1b[38;5;249m.\x1b[0m"
              "\x1b[38;5;249m2\x1b[0m\n"
              " \x1b[38;5;240m  │\x1b[0m    \x1b[38;5;201m│\x1b[0m \n"
              " \x1b[38;5;240m  │\x1b[0m    \x1b[38;5;201m╰\x1b[0m\x1b[38;5;201m─\x1b[0m"
              " found end of input expected digit, or '.'\n"
              "\x1b[38;5;246m───╯\x1b[0m\n");
}

TEST(ReportColouredLayout, TabSpacesAndWideCellBarsArePaintedOneByOne) {
    EXPECT_EQ(coloured(error(0, 1, U'\t', kNothingMatches), "\t1.2..3", kVersion),
              "\x1b[31mError:\x1b[0m \n"
              "   \x1b[38;5;246m╭\x1b[0m\x1b[38;5;246m─\x1b[0m\x1b[38;5;246m[\x1b[0m"
              " tolvi::package::version::Version:1:1 \x1b[38;5;246m]\x1b[0m\n"
              "   \x1b[38;5;246m│\x1b[0m\n"
              " \x1b[38;5;246m1 │\x1b[0m "
              "\x1b[38;5;201m \x1b[0m\x1b[38;5;201m \x1b[0m\x1b[38;5;201m \x1b[0m"
              "\x1b[38;5;201m \x1b[0m"
              "\x1b[38;5;249m1\x1b[0m\x1b[38;5;249m.\x1b[0m\x1b[38;5;249m2\x1b[0m"
              "\x1b[38;5;249m.\x1b[0m\x1b[38;5;249m.\x1b[0m\x1b[38;5;249m3\x1b[0m\n"
              " \x1b[38;5;240m  │\x1b[0m \x1b[38;5;201m┬\x1b[0m"
              "\x1b[38;5;201m─\x1b[0m\x1b[38;5;201m─\x1b[0m\x1b[38;5;201m─\x1b[0m  \n"
              " \x1b[38;5;240m  │\x1b[0m \x1b[38;5;201m╰\x1b[0m"
              "\x1b[38;5;201m─\x1b[0m\x1b[38;5;201m─\x1b[0m\x1b[38;5;201m─\x1b[0m"
              "\x1b[38;5;201m─\x1b[0m\x1b[38;5;201m─\x1b[0m"
              " found '\t' expected 'v', integer, dot-separated list, end of input, or "
              "identifier\n"
              "\x1b[38;5;246m───╯\x1b[0m\n");
}

// A failed parse is data: the error it carries renders, in either colour, to
// exactly the report of the same error built by hand.
TEST(ReportColouredLayout, ParseFailureRendersAsItsError) {
    const ParseError e = error(2, 3, U'.', kIntegerOrPart);
    const auto parsed = tolvi::version::parse_version("1..2");
    const auto& failure = std::get<tolvi::version::ParseFailure>(parsed);
    EXPECT_EQ(failure.source_name, kVersion);
    for (const bool colour : {false, true}) {
        EXPECT_EQ(
            tolvi::report::render_parse_error(failure.error, "1..2", failure.source_name, colour),
            tolvi::report::render_parse_error({e}, "1..2", kVersion, colour));
    }
}

// ---------------------------------------------------------------- fallbacks

TEST(ReportFallback, ErrorWithNoExpectationStillRenders) {
    std::string report;
    EXPECT_NO_THROW(report = tolvi::report::render_parse_error({}, "1..2", kVersion, false));
    EXPECT_EQ(report.rfind("Error: \n", 0), 0u) << report;
}

TEST(ReportFallback, MalformedInputGivesInvalidUtf8Message) {
    const std::string report = plain(error(2, 3, U'.', kIntegerOrPart), "1.\xff", kVersion);
    EXPECT_EQ(report.rfind("Invalid UTF-8 string: ", 0), 0u) << report;
}

TEST(ReportFallback, SurrogateFoundCharacterGivesInvalidUtf8Message) {
    const std::string report = plain(error(0, 1, char32_t{0xD800}, {label("digit")}), "x", kSemVer);
    EXPECT_EQ(report.rfind("Invalid UTF-8 string: ", 0), 0u) << report;
}

TEST(ReportFallback, Utf8Check) {
    using tolvi::unicode::find_utf8_fault;
    EXPECT_FALSE(find_utf8_fault("plain ─ é 日 \xf0\x9f\x98\x80"));
    EXPECT_EQ(find_utf8_fault("ab\xff")->offset, 2u);
    EXPECT_FALSE(find_utf8_fault("ab\xff")->truncated);
    EXPECT_TRUE(find_utf8_fault("ab\xe2\x94")->truncated);
    EXPECT_TRUE(find_utf8_fault("\xc0\xaf"));         // overlong
    EXPECT_TRUE(find_utf8_fault("\xed\xa0\x80"));     // surrogate
    EXPECT_TRUE(find_utf8_fault("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_TRUE(find_utf8_fault("\xe2\x28\xa1"));     // bad continuation
}

// ---------------------------------------------------------------- cells and positions

TEST(ReportCells, Widths) {
    using tolvi::report::cell_width;
    EXPECT_EQ(cell_width(U'\t', 0), 4u);
    EXPECT_EQ(cell_width(U'\t', 1), 3u);
    EXPECT_EQ(cell_width(U'\t', 3), 1u);
    EXPECT_EQ(cell_width(U'\t', 4), 4u);
    EXPECT_EQ(cell_width(U'\t', 6), 2u);
    EXPECT_EQ(cell_width(U'a', 0), 1u);
    EXPECT_EQ(cell_width(U'日', 0), 2u);
    EXPECT_EQ(cell_width(U'１', 0), 2u);
    EXPECT_EQ(cell_width(U'가', 0), 2u);
    EXPECT_EQ(cell_width(char32_t{0x20000}, 0), 2u);
    EXPECT_EQ(cell_width(char32_t{0x0301}, 0), 1u); // combining acute accent
    EXPECT_EQ(cell_width(U'\r', 0), 1u);
    EXPECT_EQ(cell_width(char32_t{0x0007}, 0), 1u);
    EXPECT_EQ(cell_width(U'é', 0), 1u);
}

TEST(ReportCells, WalkerContinuesWithSingleColumnsPastTheEnd) {
    tolvi::report::CellWalker walker("a\t日");
    EXPECT_EQ(walker.next().width, 1u);
    const auto tab = walker.next();
    EXPECT_TRUE(tab.is_tab());
    EXPECT_EQ(tab.width, 3u);
    const auto wide = walker.next();
    EXPECT_EQ(wide.text, "日");
    EXPECT_EQ(wide.width, 2u);
    for (int i = 0; i < 3; ++i) {
        const auto past = walker.next();
        EXPECT_TRUE(past.past_end());
        EXPECT_FALSE(past.is_tab());
        EXPECT_EQ(past.width, 1u);
    }
}

TEST(ReportSourceLine, QuotedLine) {
    using tolvi::report::quoted_line;
    EXPECT_EQ(quoted_line("1.2.3"), "1.2.3");
    EXPECT_EQ(quoted_line("1.2.3 "), "1.2.3");
    EXPECT_EQ(quoted_line("1.2\r\n3"), "1.2");
    EXPECT_EQ(quoted_line("1.2\n3"), "1.2");
    EXPECT_EQ(quoted_line("\t1.2"), "\t1.2");
    EXPECT_EQ(quoted_line("a\t \u3000\u00a0"), "a");
    EXPECT_EQ(quoted_line("a\u2028b"), "a\u2028b"); // only U+000A ends the line
    EXPECT_EQ(quoted_line(" \t"), "");
    EXPECT_EQ(quoted_line(""), "");
}

TEST(ReportSourceLine, CharIndex) {
    using tolvi::report::char_index;
    EXPECT_EQ(char_index("1..2", 2), 2u);
    EXPECT_EQ(char_index("é x", 0), 0u);
    EXPECT_EQ(char_index("é x", 2), 1u);
    EXPECT_EQ(char_index("é x", 3), 2u);
    EXPECT_EQ(char_index("日本-x", 6), 2u);
    EXPECT_EQ(char_index("1.2", 3), 3u);
    EXPECT_EQ(char_index("1.2", 99), 3u);
}

// ---------------------------------------------------------------- label colours

// The generator's formula written out again, in double precision and without the
// generator's structure, to check it independently.
std::vector<unsigned> expected_colours(int count) {
    unsigned s0 = 30000;
    unsigned s1 = 15000;
    unsigned s2 = 35000;
    std::vector<unsigned> colours;
    for (int i = 0; i < count; ++i) {
        s0 = (s0 + 24262) % 65536;
        s1 = (s1 + 55202) % 65536;
        s2 = (s2 + 20606) % 65536;
        const double v = 180 * (0.5 + 0.5 * s0 / 65535.0) + 30 * (0.5 + 0.5 * s1 / 65535.0) +
                         5 * (0.5 + 0.5 * s2 / 65535.0);
        colours.push_back((16 + static_cast<unsigned>(v)) % 256);
    }
    return colours;
}

TEST(ReportLabelColour, FirstLabelIs201) {
    tolvi::report::LabelColourGenerator generator;
    EXPECT_EQ(generator.next(), 201);
}

TEST(ReportLabelColour, SequenceFollowsFormula) {
    // Worked by hand for the second step: s = (12988, 59868, 10676), v = 139.44...
    tolvi::report::LabelColourGenerator generator;
    const std::vector<unsigned> expected = expected_colours(12);
    ASSERT_EQ(expected[0], 201u);
    ASSERT_EQ(expected[1], 155u);
    ASSERT_EQ(expected[2], 187u);
    for (unsigned colour : expected) {
        EXPECT_EQ(generator.next(), colour);
    }
}

TEST(ReportLabelColour, EachGeneratorRestarts) {
    tolvi::report::LabelColourGenerator first;
    first.next();
    first.next();
    tolvi::report::LabelColourGenerator second;
    EXPECT_EQ(second.next(), 201);
}

// ---------------------------------------------------------------- colour decision

struct ColourCase {
    const char* name;
    ColourEnvironment env;
    bool expected;
};

std::ostream& operator<<(std::ostream& os, const ColourCase& c) {
    return os << c.name;
}

constexpr std::nullopt_t unset = std::nullopt;

class ReportColourDecision : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ReportColourDecision, Decides) {
    EXPECT_EQ(tolvi::report::decide_colour(GetParam().env), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ReportColourDecision,
    ::testing::Values(
        // clicolor_force, clicolor, no_color, term, stderr is a terminal
        ColourCase{"Terminal", {unset, unset, unset, "xterm-256color", true}, true},
        ColourCase{"NotATerminal", {unset, unset, unset, "xterm", false}, false},
        ColourCase{"TermUnset", {unset, unset, unset, unset, true}, false},
        ColourCase{"TermDumb", {unset, unset, unset, "dumb", true}, false},
        ColourCase{"TermEmpty", {unset, unset, unset, "", true}, true},
        ColourCase{"NoColorSet", {unset, unset, "1", "xterm", true}, false},
        ColourCase{"NoColorEmpty", {unset, unset, "", "xterm", true}, true},
        ColourCase{"ClicolorZero", {unset, "0", unset, "xterm", true}, false},
        ColourCase{"ClicolorOne", {unset, "1", unset, "xterm", true}, true},
        ColourCase{"ClicolorEmpty", {unset, "", unset, "xterm", true}, true},
        ColourCase{"ForceOneRedirected", {"1", unset, unset, unset, false}, true},
        ColourCase{"ForceEmpty", {"", unset, unset, unset, false}, true},
        ColourCase{"ForceOverridesNoColor", {"1", "0", "1", "dumb", false}, true},
        ColourCase{"ForceZeroRedirected", {"0", unset, unset, "xterm", false}, false},
        ColourCase{"ForceZeroTerminal", {"0", unset, unset, "xterm", true}, true},
        ColourCase{"ForceZeroNoColor", {"0", unset, "1", "xterm", true}, false}),
    [](const ::testing::TestParamInfo<ColourCase>& info) { return std::string(info.param.name); });

TEST(ReportColourEnabled, ConcurrentFirstCallsAgree) {
    std::vector<int> answers(8, -1);
    std::vector<std::thread> threads;
    threads.reserve(answers.size());
    for (int& answer : answers) {
        threads.emplace_back([&answer] { answer = tolvi::report::colour_enabled() ? 1 : 0; });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const int settled = tolvi::report::colour_enabled() ? 1 : 0;
    for (int answer : answers) {
        EXPECT_EQ(answer, settled);
    }
}

} // namespace
