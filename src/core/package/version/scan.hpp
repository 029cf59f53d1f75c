#pragma once
#include <string_view>
#include <type_traits>

#include "core/package/version/parser.hpp"
#include "core/package/version/semver.hpp"

// The two grammar alternatives that nearly every version string takes, a
// semantic version and a dot-separated list, each read over the whole text in
// one pass with no parser state. The parse that only needs the value scans;
// the parse that builds a report runs the rules, which record what they
// expected. The two read exactly the same texts into the same values.
namespace tolvi::version {

// Whether the whole of `text` is a semantic version as semver_rule reads it;
// if so, `out` holds what it read.
bool scan_semver(std::string_view text, SemVerSyntax& out) noexcept;

// Whether the whole of `text` is a dot-separated list as dot_separated_list
// reads it (the empty text is the empty list).
bool scan_list(std::string_view text) noexcept;

// The whole input of `parser` read as a semantic version.
template <class Errors> bool whole_semver(grammar::Parser<Errors>& parser, SemVerSyntax& out) {
    if constexpr (std::is_same_v<Errors, grammar::NoDiagnosis>) {
        return scan_semver(parser.input(), out);
    } else {
        return semver_rule(parser, out) && parser.end_of_input();
    }
}

// The whole input of `parser` read as a dot-separated list, which is then the
// whole input.
template <class Errors> bool whole_list(grammar::Parser<Errors>& parser) {
    if constexpr (std::is_same_v<Errors, grammar::NoDiagnosis>) {
        return scan_list(parser.input());
    } else {
        grammar::dot_separated_list(parser);
        return parser.end_of_input();
    }
}

} // namespace tolvi::version
