#pragma once
#include <string_view>

#include "core/package/version/version.hpp"

// The Version grammar's first two alternatives, a semantic version and a
// dot-separated list, decided in one pass with no parser state. Nearly every
// text a Version is built from is one of the two, so valid input takes this
// road; what it refuses goes on to the identifier rule and, if that fails
// too, to the diagnosing parse.
namespace tolvi::version {

// Whether `text` is, as a whole, a semantic version or else a dot-separated
// list, exactly as semver_rule and dot_separated_list read it; if so, `out`
// holds what they would have read.
bool scan_semver_or_list(std::string_view text, VersionSyntax& out) noexcept;

} // namespace tolvi::version
