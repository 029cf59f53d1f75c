#include "scan_agreement.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

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
        EXPECT_TRUE(scans_agree_with_rules(text)) << text;
    }
}

} // namespace
