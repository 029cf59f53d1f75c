#pragma once
#include <string_view>

// The ANSI SGR sequences that the report and the log paint with: one table, so
// that both colour a piece of text the same way.
namespace tolvi::ansi {

inline constexpr std::string_view reset = "\x1b[0m";
inline constexpr std::string_view bold = "\x1b[1m";
inline constexpr std::string_view dim = "\x1b[2m";
inline constexpr std::string_view dim_italic = "\x1b[2;3m";

inline constexpr std::string_view red = "\x1b[31m";
inline constexpr std::string_view green = "\x1b[32m";
inline constexpr std::string_view yellow = "\x1b[33m";
inline constexpr std::string_view blue = "\x1b[34m";
inline constexpr std::string_view magenta = "\x1b[35m";

inline constexpr std::string_view bold_red = "\x1b[1;31m";
inline constexpr std::string_view bold_green = "\x1b[1;32m";
inline constexpr std::string_view bold_yellow = "\x1b[1;33m";
inline constexpr std::string_view bold_blue = "\x1b[1;34m";
inline constexpr std::string_view bold_magenta = "\x1b[1;35m";

// A colour of the 256-colour palette: this, its index in decimal, then "m".
inline constexpr std::string_view palette_start = "\x1b[38;5;";
inline constexpr char palette_end = 'm';

} // namespace tolvi::ansi
