#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "report/parse_error.hpp"

namespace tolvi::report {

// Renders the diagnostic report for a failed parse of `input`, coloured when the
// process-wide colour decision says so. Never throws for a non-empty error list;
// a rendering problem yields one of the fallback messages instead.
std::string render_parse_error(const std::vector<ParseError>& errors, std::string_view input,
                               std::string_view source_name);

// The same report with the colour choice made by the caller.
std::string render_parse_error(const std::vector<ParseError>& errors, std::string_view input,
                               std::string_view source_name, bool colour);

} // namespace tolvi::report
