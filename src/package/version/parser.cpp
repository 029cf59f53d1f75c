#include "package/version/parser.hpp"

#include "report/render.hpp"
#include "unicode/properties.hpp"
#include "unicode/utf8.hpp"

namespace tolvi::version {
namespace grammar {

namespace {

bool is_ascii_letter(unsigned char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_ascii_digit(unsigned char c) noexcept {
    return c >= '0' && c <= '9';
}

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

void ExpectedList::add(Pattern p) noexcept {
    for (std::size_t i = 0; i < size_; ++i) {
        if (items_[i] == p) {
            return;
        }
    }
    items_[size_++] = p;
}

void ExpectedList::add_all(const ExpectedList& other) noexcept {
    for (std::size_t i = 0; i < other.size_; ++i) {
        add(other.items_[i]);
    }
}

bool Parser::literal(char c, Pattern p) noexcept {
    if (pos_ < input_.size() && input_[pos_] == c) {
        ++pos_;
        return true;
    }
    expect(p);
    return false;
}

// The character-set tests below are each a rule of their own with a label; as
// such a rule can only fail where it starts, its label is what gets recorded.
bool Parser::digit() noexcept {
    if (pos_ < input_.size() && is_ascii_digit(static_cast<unsigned char>(input_[pos_]))) {
        ++pos_;
        return true;
    }
    expect(Pattern::Digit);
    return false;
}

bool Parser::part_character() noexcept {
    if (pos_ < input_.size()) {
        const auto c = static_cast<unsigned char>(input_[pos_]);
        if (is_ascii_letter(c) || is_ascii_digit(c) || c == '-') {
            ++pos_;
            return true;
        }
    }
    expect(Pattern::PartCharacter);
    return false;
}

bool Parser::identifier_character(bool digits, bool (*non_ascii)(char32_t) noexcept) noexcept {
    if (pos_ < input_.size()) {
        const auto c = static_cast<unsigned char>(input_[pos_]);
        if (c < 0x80) {
            if (is_ascii_letter(c) || c == '_' || (digits && is_ascii_digit(c))) {
                ++pos_;
                return true;
            }
        } else {
            const auto decoded = unicode::decode_utf8(input_, pos_);
            if (non_ascii(decoded.code_point)) {
                pos_ += decoded.length;
                return true;
            }
        }
    }
    expect(Pattern::Identifier);
    return false;
}

bool Parser::identifier_start() noexcept {
    return identifier_character(false, &unicode::is_xid_start);
}

bool Parser::identifier_continuation() noexcept {
    return identifier_character(true, &unicode::is_xid_continue);
}

bool Parser::end_of_input() noexcept {
    if (pos_ == input_.size()) {
        return true;
    }
    expect(Pattern::EndOfInput);
    return false;
}

// The furthest error wins; errors at the same position pool their expectations.
void Parser::record(PendingError error) noexcept {
    if (!pending_ || error.position > pending_->position) {
        pending_ = error;
    } else if (error.position == pending_->position) {
        pending_->expected.add_all(error.expected);
    }
}

std::optional<PendingError> Parser::set_aside() noexcept {
    auto outer = pending_;
    pending_.reset();
    return outer;
}

void Parser::finish_labelled(std::optional<PendingError> outer, std::size_t start, Pattern label,
                             bool relabel) noexcept {
    auto inner = pending_;
    if (relabel && inner && inner->position == start) {
        inner->expected = ExpectedList(label);
    }
    if (!outer || !inner) {
        pending_ = inner ? inner : outer;
        return;
    }
    if (inner->position != outer->position) {
        pending_ = inner->position > outer->position ? inner : outer;
        return;
    }
    // Same position: the longer list leads, the outer one on a tie.
    if (inner->expected.size() > outer->expected.size()) {
        inner->expected.add_all(outer->expected);
        pending_ = inner;
    } else {
        outer->expected.add_all(inner->expected);
        pending_ = outer;
    }
}

void Parser::discard_errors_between(std::size_t first, std::size_t last) noexcept {
    if (pending_ && pending_->position >= first && pending_->position <= last) {
        pending_.reset();
    }
}

report::ParseError Parser::error() const {
    report::ParseError error;
    // Every failed parse records an error; the empty fallback is for safety.
    const std::size_t at = pending_ ? pending_->position : pos_;
    error.span_start = at;
    error.span_end = at;
    if (at < input_.size()) {
        const auto decoded = unicode::decode_utf8(input_, at);
        error.found = decoded.code_point;
        error.span_end = at + decoded.length;
    }
    if (pending_) {
        error.expected.reserve(pending_->expected.size());
        for (std::size_t i = 0; i < pending_->expected.size(); ++i) {
            error.expected.push_back(to_report(pending_->expected[i]));
        }
    }
    return error;
}

std::optional<std::uint32_t> integer(Parser& parser) {
    auto outer = parser.set_aside();
    const std::size_t start = parser.position();
    if (!parser.digit()) {
        parser.finish_labelled(std::move(outer), start, Pattern::Integer);
        return std::nullopt;
    }
    constexpr std::uint64_t max = 4294967295u;
    std::uint64_t value = static_cast<unsigned char>(parser.input()[start]) - '0';
    std::size_t at = start + 1;
    while (parser.digit()) {
        if (value <= max) {
            value = value * 10 + (static_cast<unsigned char>(parser.input()[at]) - '0');
        }
        ++at;
    }
    if (value > max) {
        // A number out of range is refused at its first digit, and the errors
        // recorded while reading it would only distract from that.
        const std::size_t end = parser.position();
        parser.discard_errors_between(start, end);
        if (outer && outer->position >= start && outer->position <= end) {
            outer.reset();
        }
        parser.record(PendingError{start, ExpectedList(Pattern::IntegerInRange)});
        parser.finish_labelled(std::move(outer), start, Pattern::Integer, false);
        parser.rewind(start);
        return std::nullopt;
    }
    parser.finish_labelled(std::move(outer), start, Pattern::Integer);
    return static_cast<std::uint32_t>(value);
}

namespace {

bool part(Parser& parser, std::vector<std::string>& parts) {
    const std::size_t start = parser.position();
    if (!parser.part_character()) {
        return false;
    }
    while (parser.part_character()) {
    }
    parts.emplace_back(parser.input().substr(start, parser.position() - start));
    return true;
}

} // namespace

std::vector<std::string> dot_separated_list(Parser& parser) {
    return parser.labelled(Pattern::DotSeparatedList, [&] {
        std::vector<std::string> parts;
        if (!part(parser, parts)) {
            return parts;
        }
        for (;;) {
            const std::size_t before_dot = parser.position();
            if (!parser.literal('.', Pattern::Dot) || !part(parser, parts)) {
                parser.rewind(before_dot);
                return parts;
            }
        }
    });
}

} // namespace grammar

std::string failure_message(const grammar::Parser& parser, std::string_view source_name) {
    return report::render_parse_error({parser.error()}, parser.input(), source_name);
}

} // namespace tolvi::version
