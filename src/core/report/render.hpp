#pragma once
#include <string>
#include <string_view>

#include "core/report/parse_error.hpp"

namespace tolvi::report {

// Renders the diagnostic report for the one error of a failed parse of `input`,
// coloured or not as the caller chose. Never throws: a rendering problem yields
// one of the fallback messages instead.
std::string render_parse_error(const ParseError& error, std::string_view input,
                               std::string_view source_name, bool colour);

} // namespace tolvi::report
