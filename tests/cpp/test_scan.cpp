#include "core/package/version/parser.hpp"
#include "core/package/version/scan.hpp"
#include "core/package/version/semver.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

namespace v = tolvi::version;

// The scans against the rules, which the diagnosing parse runs.
void expect_scans_agree(const std::string& text) {
    SCOPED_TRACE(text);
    v::SemVerSyntax scanned;
    v::SemVerSyntax read;
    v::grammar::DiagnosingParser semver(text);
    const bool is_semver = v::semver_rule(semver, read) && semver.end_of_input();
    ASSERT_EQ(v::scan_semver(text, scanned), is_semver);
    if (is_semver) {
        EXPECT_EQ(scanned.major, read.major);
        EXPECT_EQ(scanned.minor, read.minor);
        EXPECT_EQ(scanned.patch, read.patch);
        EXPECT_EQ(scanned.rest, read.rest);
        EXPECT_EQ(scanned.rc, read.rc);
        EXPECT_EQ(scanned.meta, read.meta);
    }
    v::grammar::DiagnosingParser list(text);
    v::grammar::dot_separated_list(list);
    EXPECT_EQ(v::scan_list(text), list.end_of_input());
}

// Every text of up to five characters from an alphabet that reaches each branch
// of both rules, and numbers at the edge of the range in each position.
TEST(Scan, AgreesWithTheRules) {
    const std::string alphabet = "09.-+va_";
    std::vector<std::string> texts{""};
    for (std::size_t begin = 0, length = 1; length <= 5; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t i = begin; i < end; ++i) {
            for (const char c : alphabet) {
                texts.push_back(texts[i] + c);
            }
        }
        begin = end;
    }
    for (const char* number : {"4294967295", "4294967296", "04294967295", "99999999999999999999"}) {
        for (const char* shape : {"%.1.1", "1.%.1", "1.1.%", "1.1.%-a", "v1.%.1+b.%", "%"}) {
            std::string text(shape);
            for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%')) {
                text.replace(at, 1, number);
            }
            texts.push_back(text);
        }
    }
    texts.emplace_back("1.2.3-r\xc3\xa9");
    for (const std::string& text : texts) {
        expect_scans_agree(text);
    }
}

} // namespace
