#include "core/package/version/parser.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace tolvi::version {
namespace grammar {

namespace {

report::ExpectedPattern to_report(Pattern p) {
    using Kind = report::ExpectedPattern::Kind;
    switch (p) {
    case Pattern::V:
        return {Kind::Token, U'v', {}};
    case Pattern::Dot:
        return {Kind::Token, U'.', {}};
    case Pattern::Dash:
        return {Kind::Token, U'-', {}};
    case Pattern::Plus:
        return {Kind::Token, U'+', {}};
    case Pattern::EndOfInput:
        return {Kind::EndOfInput, 0, {}};
    case Pattern::Digit:
        return {Kind::Label, 0, "digit"};
    case Pattern::Integer:
        return {Kind::Label, 0, "integer"};
    case Pattern::IntegerInRange:
        return {Kind::Label, 0, "integer from 0 to 4294967295"};
    case Pattern::PartCharacter:
        return {Kind::Label, 0, "alphanumeric or '-'"};
    case Pattern::DotSeparatedList:
        return {Kind::Label, 0, "dot-separated list"};
    case Pattern::Identifier:
        return {Kind::Label, 0, "identifier"};
    }
    return {Kind::SomethingElse, 0, {}};
}

} // namespace

void ExpectedList::add_all(const ExpectedList& other) noexcept {
    for (std::size_t i = 0; i < other.size(); ++i) {
        add(other[i]);
    }
}

void Diagnosis::merge_labelled(Saved outer) noexcept {
    if (!outer.recorded()) {
        return;
    }
    if (!pending_.recorded() || outer.position > pending_.position) {
        pending_ = outer;
        return;
    }
    if (outer.position < pending_.position) {
        return;
    }
    // Same position: the longer list leads, the outer one on a tie.
    if (pending_.expected.size() > outer.expected.size()) {
        pending_.expected.add_all(outer.expected);
    } else {
        outer.expected.add_all(pending_.expected);
        pending_ = outer;
    }
}

void Diagnosis::refuse_out_of_range(Saved outer, std::size_t start, std::size_t end) noexcept {
    if (outer.recorded() && outer.position >= start && outer.position <= end) {
        outer = PendingError{};
    }
    // The refusal keeps its own label: it is not replaced by "integer".
    pending_ = PendingError{start, ExpectedList(Pattern::IntegerInRange)};
    merge_labelled(outer);
}

void Diagnosis::write_error(report::ParseError& error, std::string_view input,
                            std::size_t position) const {
    // Every failed parse records an error; the current position is a fallback.
    const std::size_t at = pending_.recorded() ? pending_.position : position;
    error.span_start = at;
    error.span_end = at;
    if (at < input.size()) {
        const auto decoded = unicode::decode_utf8(input, at);
        error.found = decoded.code_point;
        error.span_end = at + decoded.length;
    }
    for (std::size_t i = 0; i < pending_.expected.size(); ++i) {
        error.expected.push_back(to_report(pending_.expected[i]));
    }
}

template <class Errors> bool integer(Parser<Errors>& parser, std::uint32_t& out) {
    auto outer = parser.errors().set_aside();
    const std::size_t start = parser.position();
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    const std::string_view input = parser.input();
    for (std::size_t at = start; parser.digit(); ++at) {
        if (value <= kMax) {
            value = value * 10 + static_cast<unsigned>(input[at] - '0');
        }
    }
    const std::size_t end = parser.position();
    if (end == start) {
        parser.errors().finish_labelled(std::move(outer), start, Pattern::Integer);
        return false;
    }
    if (value > kMax) {
        parser.errors().refuse_out_of_range(std::move(outer), start, end);
        parser.rewind(start);
        return false;
    }
    parser.errors().finish_labelled(std::move(outer), start, Pattern::Integer);
    out = static_cast<std::uint32_t>(value);
    return true;
}

namespace {

// One part, if one starts here.
template <class Errors> bool part(Parser<Errors>& parser) {
    if (!parser.part_character()) {
        return false;
    }
    while (parser.part_character()) {
    }
    return true;
}

} // namespace

template <class Errors> std::string_view dot_separated_list(Parser<Errors>& parser) {
    return parser.labelled(Pattern::DotSeparatedList, [&] {
        const std::size_t start = parser.position();
        if (!part(parser)) {
            return std::string_view();
        }
        for (;;) {
            const std::size_t before_dot = parser.position();
            if (!parser.literal('.', Pattern::Dot)) {
                break;
            }
            if (!part(parser)) {
                parser.rewind(before_dot);
                break;
            }
        }
        return parser.input().substr(start, parser.position() - start);
    });
}

template bool integer(DiagnosingParser&, std::uint32_t&);
template std::string_view dot_separated_list(DiagnosingParser&);

} // namespace grammar

std::vector<std::string> split_list(std::string_view list) {
    std::vector<std::string> parts;
    if (list.empty()) {
        return parts;
    }
    parts.reserve(1 + static_cast<std::size_t>(std::count(list.begin(), list.end(), '.')));
    for (std::size_t start = 0;;) {
        const std::size_t dot = list.find('.', start);
        parts.emplace_back(list.substr(start, dot - start));
        if (dot == std::string_view::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

} // namespace tolvi::version
