#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "report/parse_error.hpp"

// The backtracking recursive-descent machinery that the grammar rules of the
// version kinds share: the input cursor, the elementary tests and the single
// pending error that decides what a failed parse reports.
namespace tolvi::version {

// A parse gives the value, or the rendered report as the failure message.
template <class T> using ParseResult = std::variant<T, std::string>;

namespace grammar {

// Everything a test can expect. The grammar has so few that a pending error
// keeps them in a fixed array and a successful parse never allocates for them.
enum class Pattern : std::uint8_t {
    V,
    Dot,
    Dash,
    Plus,
    EndOfInput,
    Digit,
    Integer,
    IntegerInRange,
    PartCharacter,
    DotSeparatedList,
    Identifier,
};
inline constexpr std::size_t pattern_count = 11;

class ExpectedList {
public:
    ExpectedList() = default;
    explicit ExpectedList(Pattern p) : items_{p}, size_(1) {}

    // Appends `p` unless it is already there; order of first recording is kept.
    void add(Pattern p) noexcept;
    // Appends every pattern of `other` that is missing here, in its order.
    void add_all(const ExpectedList& other) noexcept;

    std::size_t size() const noexcept { return size_; }
    Pattern operator[](std::size_t i) const noexcept { return items_[i]; }

private:
    std::array<Pattern, pattern_count> items_{};
    std::uint8_t size_ = 0;
};

struct PendingError {
    std::size_t position;
    ExpectedList expected;
};

class Parser {
public:
    explicit Parser(std::string_view input) noexcept : input_(input) {}

    std::string_view input() const noexcept { return input_; }
    std::size_t position() const noexcept { return pos_; }
    void rewind(std::size_t position) noexcept { pos_ = position; }

    // Elementary tests: on success they consume the character, on failure they
    // record what they expected at the current position and consume nothing.
    bool literal(char c, Pattern p) noexcept;
    bool digit() noexcept;
    bool part_character() noexcept;
    bool identifier_start() noexcept;
    bool identifier_continuation() noexcept;
    bool end_of_input() noexcept;

    // A rule with a label runs with the pending error set aside; see labelled().
    std::optional<PendingError> set_aside() noexcept;
    void finish_labelled(std::optional<PendingError> outer, std::size_t start, Pattern label,
                         bool relabel = true) noexcept;

    template <class Rule> auto labelled(Pattern label, Rule&& rule) {
        auto outer = set_aside();
        const std::size_t start = pos_;
        auto result = rule();
        finish_labelled(std::move(outer), start, label);
        return result;
    }

    // Drops the pending error if it lies within [first, last].
    void discard_errors_between(std::size_t first, std::size_t last) noexcept;
    void record(PendingError error) noexcept;

    // The error of a failed parse, ready for the report renderer.
    report::ParseError error() const;

private:
    void expect(Pattern p) noexcept { record(PendingError{pos_, ExpectedList(p)}); }
    // "_", an ASCII letter (or digit, when `digits`), or a non-ASCII character
    // with the property `non_ascii` tests.
    bool identifier_character(bool digits, bool (*non_ascii)(char32_t) noexcept) noexcept;

    std::string_view input_;
    std::size_t pos_ = 0;
    std::optional<PendingError> pending_;
};

// The shared rules. On failure they leave the cursor where they started.

// part ("." part)*, possibly empty; labelled "dot-separated list".
std::vector<std::string> dot_separated_list(Parser& parser);
// A digit string of at most 4294967295, labelled "integer".
std::optional<std::uint32_t> integer(Parser& parser);

} // namespace grammar

// Renders the pending error of a failed parse into the failure message.
std::string failure_message(const grammar::Parser& parser, std::string_view source_name);

} // namespace tolvi::version
