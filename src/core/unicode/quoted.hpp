#pragma once
// The quoted form of a string, shared by the debug form of the version values and
// the string fields of log records.

#include <string>
#include <string_view>

namespace tolvi::unicode {

// Appends `utf8` between double quotes. Double quote, backslash, tab, carriage
// return, line feed and NUL get their backslash escapes; a Grapheme_Extend
// character or one of the invisible general categories becomes \u{hex} (lowercase,
// no leading zeros); every other character, the single quote included, is copied.
void append_quoted(std::string& out, std::string_view utf8);

} // namespace tolvi::unicode
