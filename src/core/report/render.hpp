#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/report/parse_error.hpp"

namespace tolvi::report {

// Renders the diagnostic report for the one error of a failed parse of `input`,
// coloured or not as the caller chose. Never throws: a rendering problem yields
// one of the fallback messages instead.
std::string render_parse_error(const ParseError& error, std::string_view input,
                               std::string_view source_name, bool colour);

// A plain report is about two hundred bytes and a coloured one rarely passes a
// thousand: a buffer of this size on the stack holds almost every report.
using ReportBuffer = std::array<char, 1024>;

// The same report laid out in `buffer`, for a caller that reads it once and
// checks that it is well-formed UTF-8 as it does (the input is copied in byte for
// byte); nullopt when it does not fit. A report that does not fit or is not
// well-formed is left to render_parse_error, which gives the text or its
// fallback message.
std::optional<std::string_view> lay_out_parse_error(ReportBuffer& buffer, const ParseError& error,
                                                    std::string_view input,
                                                    std::string_view source_name,
                                                    bool colour) noexcept;

} // namespace tolvi::report
