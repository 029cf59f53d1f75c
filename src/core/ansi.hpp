#pragma once
#include <string_view>

// The ANSI SGR sequences that the report and the log paint with: one table, so
// that both colour a piece of text the same way.
namespace tolvi::ansi {

inline constexpr std::string_view kReset = "\x1b[0m";
inline constexpr std::string_view kBold = "\x1b[1m";
inline constexpr std::string_view kDim = "\x1b[2m";
inline constexpr std::string_view kDimItalic = "\x1b[2;3m";

inline constexpr std::string_view kRed = "\x1b[31m";
inline constexpr std::string_view kGreen = "\x1b[32m";
inline constexpr std::string_view kYellow = "\x1b[33m";
inline constexpr std::string_view kBlue = "\x1b[34m";
inline constexpr std::string_view kMagenta = "\x1b[35m";

inline constexpr std::string_view kBoldRed = "\x1b[1;31m";
inline constexpr std::string_view kBoldGreen = "\x1b[1;32m";
inline constexpr std::string_view kBoldYellow = "\x1b[1;33m";
inline constexpr std::string_view kBoldBlue = "\x1b[1;34m";
inline constexpr std::string_view kBoldMagenta = "\x1b[1;35m";

// A colour of the 256-colour palette: this, its index in decimal, then "m".
inline constexpr std::string_view kPaletteStart = "\x1b[38;5;";
inline constexpr char kPaletteEnd = 'm';

} // namespace tolvi::ansi
