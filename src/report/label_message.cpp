#include "report/label_message.hpp"

#include "unicode/utf8.hpp"

namespace tolvi::report {

namespace {

void write_quoted(std::string& out, char32_t c) {
    out += '\'';
    unicode::append_utf8(out, c);
    out += '\'';
}

} // namespace

void write_expected_pattern(std::string& out, const ExpectedPattern& pattern) {
    switch (pattern.kind) {
    case ExpectedPattern::Kind::Token:
        write_quoted(out, pattern.token);
        return;
    case ExpectedPattern::Kind::Label:
        out += pattern.label;
        return;
    case ExpectedPattern::Kind::EndOfInput:
        out += "end of input";
        return;
    case ExpectedPattern::Kind::SomethingElse:
        out += "something else";
        return;
    }
}

void write_label_message(std::string& out, const ParseError& error) {
    out += "found ";
    if (error.found) {
        write_quoted(out, *error.found);
    } else {
        out += "end of input";
    }
    out += " expected ";

    const auto& expected = error.expected;
    if (expected.empty()) {
        out += "something else";
        return;
    }
    // "a, b, or c": every pattern but the last is followed by a comma, so two
    // patterns read "a, or b".
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        write_expected_pattern(out, expected[i]);
        out += ", ";
    }
    if (expected.size() > 1) {
        out += "or ";
    }
    write_expected_pattern(out, expected.back());
}

} // namespace tolvi::report
