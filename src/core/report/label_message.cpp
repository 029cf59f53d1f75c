#include "core/report/label_message.hpp"

#include "core/unicode/utf8.hpp"

namespace tolvi::report {

namespace {

template <class Out> void write_quoted(Out& out, char32_t c) {
    out.push_back('\'');
    unicode::append_utf8(out, c);
    out.push_back('\'');
}

} // namespace

template <class Out> void write_expected_pattern(Out& out, const ExpectedPattern& pattern) {
    switch (pattern.kind) {
    case ExpectedPattern::Kind::Token:
        write_quoted(out, pattern.token);
        return;
    case ExpectedPattern::Kind::Label:
        out.append(pattern.label);
        return;
    case ExpectedPattern::Kind::EndOfInput:
        out.append(std::string_view("end of input"));
        return;
    case ExpectedPattern::Kind::SomethingElse:
        out.append(std::string_view("something else"));
        return;
    }
}

template <class Out> void write_label_message(Out& out, const ParseError& error) {
    out.append(std::string_view("found "));
    if (error.found) {
        write_quoted(out, *error.found);
    } else {
        out.append(std::string_view("end of input"));
    }
    out.append(std::string_view(" expected "));

    const auto& expected = error.expected;
    if (expected.empty()) {
        out.append(std::string_view("something else"));
        return;
    }
    // "a, b, or c": every pattern but the last is followed by a comma, so two
    // patterns read "a, or b".
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        write_expected_pattern(out, expected[i]);
        out.append(std::string_view(", "));
    }
    if (expected.size() > 1) {
        out.append(std::string_view("or "));
    }
    write_expected_pattern(out, expected.back());
}

template void write_expected_pattern(std::string&, const ExpectedPattern&);
template void write_expected_pattern(BoundedWriter&, const ExpectedPattern&);
template void write_label_message(std::string&, const ParseError&);
template void write_label_message(BoundedWriter&, const ParseError&);

} // namespace tolvi::report
