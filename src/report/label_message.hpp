#pragma once
#include <string>

#include "report/parse_error.hpp"

namespace tolvi::report {

// Appends one expected pattern as it reads in a label message: a token between
// single quotes, a label as its text, or a fixed phrase.
void write_expected_pattern(std::string& out, const ExpectedPattern& pattern);

// Appends the message of the label that marks `error`, for example
// found '.' expected integer, or alphanumeric or '-'
// The found character is written raw, so a line feed there breaks the line.
void write_label_message(std::string& out, const ParseError& error);

} // namespace tolvi::report
