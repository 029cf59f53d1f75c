#pragma once
#include <cstddef>
#include <optional>
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

// The single error of a failed parse. Offsets are bytes into the UTF-8 input.
struct ParseError {
    std::size_t span_start = 0;
    std::size_t span_end = 0;
    std::optional<char32_t> found; // nullopt: end of input
    std::vector<ExpectedPattern> expected;
};

} // namespace tolvi::report
