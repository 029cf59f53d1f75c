#include "core/package/version/parser.hpp"
#include "core/package/version/semver.hpp"
#include "core/package/version/version_scan.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace v = tolvi::version;

// The first two alternatives of the Version grammar as the rules themselves read them.
std::optional<v::VersionSyntax> read_by_rules(std::string_view text) {
    v::VersionSyntax out;
    v::grammar::Recogniser semver(text);
    if (v::semver_rule(semver, out.semver) && semver.end_of_input()) {
        out.kind = v::Kind::semver;
        return out;
    }
    v::grammar::Recogniser list(text);
    if (v::grammar::dot_separated_list(list); list.end_of_input()) {
        out.kind = v::Kind::dot_separated;
        return out;
    }
    return std::nullopt;
}

void expect_scan_agrees(const std::string& text) {
    SCOPED_TRACE(text);
    v::VersionSyntax scanned;
    const bool accepted = v::scan_semver_or_list(text, scanned);
    const auto expected = read_by_rules(text);
    ASSERT_EQ(accepted, expected.has_value());
    if (!accepted) {
        return;
    }
    ASSERT_EQ(scanned.kind, expected->kind);
    if (scanned.kind == v::Kind::semver) {
        const v::SemVerSyntax& a = scanned.semver;
        const v::SemVerSyntax& b = expected->semver;
        EXPECT_EQ(a.major, b.major);
        EXPECT_EQ(a.minor, b.minor);
        EXPECT_EQ(a.patch, b.patch);
        EXPECT_EQ(a.rest, b.rest);
        EXPECT_EQ(a.rc, b.rc);
        EXPECT_EQ(a.meta, b.meta);
    }
}

// Every text of up to five characters from an alphabet that reaches each branch
// of both rules, and numbers at the edge of the range in each position.
TEST(VersionScan, AgreesWithTheRules) {
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
            for (std::size_t at; (at = text.find('%')) != std::string::npos;) {
                text.replace(at, 1, number);
            }
            texts.push_back(text);
        }
    }
    texts.emplace_back("1.2.3-r\xc3\xa9");
    for (const std::string& text : texts) {
        expect_scan_agrees(text);
    }
}

} // namespace
