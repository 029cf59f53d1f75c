#include "core/report/render.hpp"

#include <algorithm>
#include <array>
#include <exception>

#include "core/digits.hpp"
#include "core/report/layout.hpp"
#include "core/unicode/utf8.hpp"
#include "core/unicode/utf8_check.hpp"

namespace tolvi::report {

namespace {

constexpr std::string_view kWriteFailed = "Failed to write error to string: ";
constexpr std::string_view kInvalidUtf8 = "Invalid UTF-8 string: ";

// The fallbacks are built while something has already gone wrong, possibly an
// allocation; if even this short string cannot be made, an empty message is
// still better than an exception escaping into the Python layer.
std::string fallback(std::string_view prefix, std::string_view text) noexcept {
    try {
        std::string message;
        message.reserve(prefix.size() + text.size());
        message += prefix;
        message += text;
        return message;
    } catch (...) {
        return {};
    }
}

// A plain report is about two hundred bytes and a coloured one rarely passes a
// thousand: those are laid out on the stack and copied out at their exact size.
constexpr std::size_t kStackReport = 1024;

std::string layout(const ParseError& error, std::string_view input, std::string_view source_name,
                   bool colour) {
    std::array<char, kStackReport> stack; // NOLINT(cppcoreguidelines-pro-type-member-init)
    BoundedWriter first(stack);
    write_report(first, error, input, source_name, colour);
    if (first.fitted()) {
        return {stack.data(), first.size()};
    }
    std::string report(first.size(), '\0');
    BoundedWriter second(report);
    write_report(second, error, input, source_name, colour);
    return report;
}

bool is_ascii_character(char32_t c) noexcept {
    return c < 0x80;
}

// The layout's own text is valid UTF-8, so only what it copies in can break the
// report. When all of that is ASCII, as it almost always is, the check of the
// whole report is skipped.
bool copies_only_ascii(const ParseError& error, std::string_view input,
                       std::string_view source_name) noexcept {
    if (!unicode::is_ascii(input) || !unicode::is_ascii(source_name)) {
        return false;
    }
    if (error.found && !is_ascii_character(*error.found)) {
        return false;
    }
    return std::ranges::all_of(error.expected, [](const ExpectedPattern& pattern) {
        return is_ascii_character(pattern.token) && unicode::is_ascii(pattern.label);
    });
}

std::string describe(const unicode::Utf8Fault& fault) {
    std::string text = fault.truncated ? "incomplete byte sequence at offset "
                                       : "invalid byte sequence at offset ";
    text += Digits(fault.offset).view();
    return text;
}

} // namespace

std::string render_parse_error(const ParseError& error, std::string_view input,
                               std::string_view source_name, bool colour) {
    try {
        std::string report = layout(error, input, source_name, colour);
        // The input is copied into the report byte for byte; callers are expected
        // to hand over UTF-8, but nothing malformed may leave as a string.
        if (copies_only_ascii(error, input, source_name)) {
            return report;
        }
        if (const auto fault = unicode::find_utf8_fault(report)) {
            return fallback(kInvalidUtf8, describe(*fault));
        }
        return report;
    } catch (const std::exception& failure) {
        return fallback(kWriteFailed, failure.what());
    } catch (...) {
        return fallback(kWriteFailed, "unknown error");
    }
}

} // namespace tolvi::report
