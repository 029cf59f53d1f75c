#pragma once
#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tolvi::report {

// One thing the parser would have accepted at the error position.
struct ExpectedPattern {
    enum class Kind {
        Token,         // a single character, written between single quotes
        Label,         // a fixed text such as "digit"
        EndOfInput,    // written "end of input"
        SomethingElse, // written "something else"
    };
    Kind kind;
    char32_t token = 0;     // for Token
    std::string_view label; // for Label; always a static string

    friend bool operator==(const ExpectedPattern&, const ExpectedPattern&) = default;
};

// The expected patterns of one error, held in place: every failed parse makes
// one list, and on the heap it would be the only allocation of the diagnosis.
// The grammar has fewer kinds of pattern than the list holds.
class ExpectedPatterns {
public:
    static constexpr std::size_t kCapacity = 16;

    ExpectedPatterns() = default;
    ExpectedPatterns(std::initializer_list<ExpectedPattern> patterns) {
        for (const ExpectedPattern& pattern : patterns) {
            push_back(pattern);
        }
    }
    // Lets a list built in a vector stand for the patterns.
    ExpectedPatterns(const std::vector<ExpectedPattern>& patterns) { // NOLINT(*-explicit-*)
        for (const ExpectedPattern& pattern : patterns) {
            push_back(pattern);
        }
    }

    void push_back(const ExpectedPattern& pattern) {
        if (size_ == kCapacity) {
            throw std::length_error("more expected patterns than a parse error holds");
        }
        items_[size_++] = pattern;
    }

    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }
    const ExpectedPattern& operator[](std::size_t i) const noexcept { return items_[i]; }
    const ExpectedPattern& back() const noexcept { return items_[size_ - 1]; }
    const ExpectedPattern* begin() const noexcept { return items_.data(); }
    const ExpectedPattern* end() const noexcept { return items_.data() + size_; }

private:
    std::array<ExpectedPattern, kCapacity> items_{};
    std::size_t size_ = 0;
};

// The single error of a failed parse. Offsets are bytes into the UTF-8 input.
struct ParseError {
    std::size_t span_start = 0;
    std::size_t span_end = 0;
    std::optional<char32_t> found; // nullopt: end of input
    ExpectedPatterns expected;
};

} // namespace tolvi::report
