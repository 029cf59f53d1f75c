#pragma once
#include <string>

#include "core/report/bounded_writer.hpp"
#include "core/report/parse_error.hpp"

namespace tolvi::report {

// `Out` is std::string or the BoundedWriter a report is rendered into.

// Appends one expected pattern as it reads in a label message: a token between
// single quotes, a label as its text, or a fixed phrase.
template <class Out> void write_expected_pattern(Out& out, const ExpectedPattern& pattern);

// Appends the message of the label that marks `error`, for example
// found '.' expected integer, or alphanumeric or '-'
// The found character is written raw, so a line feed there breaks the line.
template <class Out> void write_label_message(Out& out, const ParseError& error);

extern template void write_expected_pattern(std::string&, const ExpectedPattern&);
extern template void write_expected_pattern(BoundedWriter&, const ExpectedPattern&);
extern template void write_label_message(std::string&, const ParseError&);
extern template void write_label_message(BoundedWriter&, const ParseError&);

} // namespace tolvi::report
