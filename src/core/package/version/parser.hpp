#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/report/parse_error.hpp"
#include "core/unicode/properties.hpp"
#include "core/unicode/utf8.hpp"

// The backtracking recursive-descent machinery that the grammar rules of the
// version kinds share: the input cursor, the elementary tests and the single
// pending error that decides what a failed parse reports.
//
// Every entry point parses twice at most: first with a parser that records no
// errors (most strings are valid, and this is the fast path), and only when
// that fails once more with one that records them, to build the report. The
// grammar rules are written once, as templates over the two; the first parse
// reads a semantic version or a list by a scan of its own (see scan.hpp).
namespace tolvi::version {

// A failed parse: its one error, and the name its report gives the input. It is
// plain data; rendering it into a report is a separate step, the caller's, which
// also chooses whether the report is coloured.
struct ParseFailure {
    report::ParseError error;
    std::string_view source_name; // static: the qualified name of a version class
};

namespace grammar {

// Everything a test can expect. The grammar has so few that a pending error
// keeps them packed in a word and recording never allocates.
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
    Identifier, // the last: the count follows from it
};
inline constexpr std::size_t kPatternCount = static_cast<std::size_t>(Pattern::Identifier) + 1;

class ExpectedList {
public:
    ExpectedList() = default;
    explicit ExpectedList(Pattern p) noexcept
        : bits_(static_cast<std::uint64_t>(p) | present(p) | (std::uint64_t{1} << kSizeShift)) {}

    // Appends `p` unless it is already there; order of first recording is kept.
    void add(Pattern p) noexcept {
        if ((bits_ & present(p)) != 0) {
            return;
        }
        bits_ |= (static_cast<std::uint64_t>(p) << (kBits * size())) | present(p);
        bits_ += std::uint64_t{1} << kSizeShift;
    }
    // Appends every pattern of `other` that is missing here, in its order.
    void add_all(const ExpectedList& other) noexcept;

    std::size_t size() const noexcept { return static_cast<std::size_t>(bits_ >> kSizeShift); }
    Pattern operator[](std::size_t i) const noexcept {
        return static_cast<Pattern>((bits_ >> (kBits * i)) & kMask);
    }

private:
    // One word: four bits a pattern from the lowest, the first recorded lowest;
    // above them a bit a pattern for the test of whether it is there; the count
    // at the top. Errors are copied as they are set aside and merged, and a
    // single word copies at once where fields of several widths would not.
    static constexpr unsigned kBits = 4;
    static constexpr std::uint64_t kMask = (1U << kBits) - 1;
    static constexpr unsigned kPresentShift = kPatternCount * kBits;
    static constexpr unsigned kSizeShift = 60;
    static_assert(kPatternCount <= kMask + 1 && kPresentShift + kPatternCount <= kSizeShift);

    static std::uint64_t present(Pattern p) noexcept {
        return std::uint64_t{1} << (kPresentShift + static_cast<unsigned>(p));
    }

    std::uint64_t bits_ = 0;
};

// An error recorded at `position`, or none while `expected` is empty: every
// recorded error expects something. Two words, handed around in registers.
struct PendingError {
    std::size_t position = 0;
    ExpectedList expected;

    bool recorded() const noexcept { return expected.size() != 0; }
};

// Keeps the one pending error: the furthest one recorded, with the
// expectations of every test that failed exactly there.
class Diagnosis {
public:
    using Saved = PendingError;

    // The furthest error wins; errors at the same position pool their
    // expectations. Every failed test records, so this is inline.
    void record(std::size_t position, Pattern p) noexcept {
        if (!pending_.recorded() || position > pending_.position) {
            pending_ = PendingError{position, ExpectedList(p)};
        } else if (position == pending_.position) {
            pending_.expected.add(p);
        }
    }

    // A rule with a label runs with the pending error set aside; when it ends,
    // an error left at the rule's start takes the label, and the two errors
    // are merged.
    Saved set_aside() noexcept { return std::exchange(pending_, PendingError{}); }
    void finish_labelled(Saved outer, std::size_t start, Pattern label) noexcept {
        if (pending_.recorded() && pending_.position == start) {
            pending_.expected = ExpectedList(label);
        }
        merge_labelled(outer);
    }

    // A number out of range is refused at its first digit, and the errors
    // recorded while reading it (in [start, end]) would only distract from that.
    void refuse_out_of_range(Saved outer, std::size_t start, std::size_t end) noexcept;

    // The error of a failed parse, ready for the report renderer; `position` is
    // where the parse stopped. write_error fills in a new error where it is to
    // stay, for a caller that would otherwise copy its five hundred bytes.
    report::ParseError error(std::string_view input, std::size_t position) const {
        report::ParseError error;
        write_error(error, input, position);
        return error;
    }
    void write_error(report::ParseError& error, std::string_view input, std::size_t position) const;

private:
    void merge_labelled(Saved outer) noexcept;

    PendingError pending_;
};

// Records nothing, for the parse that only needs the value.
struct NoDiagnosis {
    struct Saved {};
    void record(std::size_t, Pattern) noexcept {}
    static Saved set_aside() noexcept { return {}; }
    void finish_labelled(Saved, std::size_t, Pattern) noexcept {}
    void refuse_out_of_range(Saved, std::size_t, std::size_t) noexcept {}
};

// The ASCII character classes of the grammar.
constexpr bool is_letter(unsigned char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool is_digit(unsigned char c) noexcept {
    return c >= '0' && c <= '9';
}
// The characters of a part of a dot-separated list, as a table: the scans
// test one for nearly every character of valid input.
inline constexpr std::array<bool, 256> kPartCharacters = [] {
    std::array<bool, 256> table{};
    for (unsigned c = 0; c < table.size(); ++c) {
        table[c] = is_letter(static_cast<unsigned char>(c)) ||
                   is_digit(static_cast<unsigned char>(c)) || c == '-';
    }
    return table;
}();
constexpr bool is_part(unsigned char c) noexcept {
    return kPartCharacters[c];
}

template <class Errors> class Parser {
public:
    explicit Parser(std::string_view input) noexcept : input_(input) {}

    std::string_view input() const noexcept { return input_; }
    std::size_t position() const noexcept { return pos_; }
    void rewind(std::size_t position) noexcept { pos_ = position; }
    Errors& errors() noexcept { return errors_; }
    const Errors& errors() const noexcept { return errors_; }

    // Elementary tests: on success they consume the character, on failure they
    // record what they expected at the current position and consume nothing.
    bool literal(char c, Pattern p) noexcept {
        if (pos_ < input_.size() && input_[pos_] == c) {
            ++pos_;
            return true;
        }
        errors_.record(pos_, p);
        return false;
    }

    // The character-set tests are each a rule of their own with a label; as
    // such a rule can only fail where it starts, its label is what gets recorded.
    bool digit() noexcept { return ascii_test(Pattern::Digit, is_digit); }
    bool part_character() noexcept { return ascii_test(Pattern::PartCharacter, is_part); }
    bool identifier_start() noexcept { return identifier_character<false>(); }
    bool identifier_continuation() noexcept { return identifier_character<true>(); }

    bool end_of_input() noexcept {
        if (pos_ == input_.size()) {
            return true;
        }
        errors_.record(pos_, Pattern::EndOfInput);
        return false;
    }

    template <class Rule> auto labelled(Pattern label, Rule&& rule) {
        auto outer = errors_.set_aside();
        const std::size_t start = pos_;
        auto result = rule();
        errors_.finish_labelled(std::move(outer), start, label);
        return result;
    }

private:
    bool ascii_test(Pattern p, bool (*test)(unsigned char)) noexcept {
        if (pos_ < input_.size() && test(static_cast<unsigned char>(input_[pos_]))) {
            ++pos_;
            return true;
        }
        errors_.record(pos_, p);
        return false;
    }

    // "_", an ASCII letter (or digit, for a continuation), or a non-ASCII
    // character with XID_Start (XID_Continue).
    template <bool Continuation> bool identifier_character() noexcept {
        if (pos_ < input_.size()) {
            const auto c = static_cast<unsigned char>(input_[pos_]);
            if (c < 0x80) {
                if (is_letter(c) || c == '_' || (Continuation && is_digit(c))) {
                    ++pos_;
                    return true;
                }
            } else {
                const auto decoded = unicode::decode_utf8(input_, pos_);
                if (Continuation ? unicode::is_xid_continue(decoded.code_point)
                                 : unicode::is_xid_start(decoded.code_point)) {
                    pos_ += decoded.length;
                    return true;
                }
            }
        }
        errors_.record(pos_, Pattern::Identifier);
        return false;
    }

    std::string_view input_;
    std::size_t pos_ = 0;
    Errors errors_;
};

using Recogniser = Parser<NoDiagnosis>;
using DiagnosingParser = Parser<Diagnosis>;

// The shared rules. On failure they leave the cursor where they started.

// part ("." part)*, possibly empty; labelled "dot-separated list". Gives the
// text of the whole list: its parts are that text split at ".", and an empty
// text is the empty list.
template <class Errors> std::string_view dot_separated_list(Parser<Errors>& parser);
// A digit string of at most 4294967295, labelled "integer", read into `out`
// (an optional would be returned through memory, which costs more than the
// parse).
template <class Errors> bool integer(Parser<Errors>& parser, std::uint32_t& out);

} // namespace grammar

// The parts of a list as dot_separated_list gives it.
std::vector<std::string> split_list(std::string_view list);

} // namespace tolvi::version
