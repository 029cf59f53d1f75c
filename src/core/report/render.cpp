#include "core/report/render.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <span>

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

// Lays the report out in `out`; false when it does not fit.
bool lay_out(std::span<char> out, std::size_t& size, const ParseError& error,
             std::string_view input, std::string_view source_name, bool colour) noexcept {
    BoundedWriter writer(out);
    write_report(writer, error, input, source_name, colour);
    size = writer.size();
    return writer.fitted();
}

} // namespace

std::optional<std::string_view> lay_out_parse_error(ReportBuffer& buffer, const ParseError& error,
                                                    std::string_view input,
                                                    std::string_view source_name,
                                                    bool colour) noexcept {
    std::size_t size = 0;
    if (!lay_out(buffer, size, error, input, source_name, colour)) {
        return std::nullopt;
    }
    return std::string_view(buffer.data(), size);
}

std::string render_parse_error(const ParseError& error, std::string_view input,
                               std::string_view source_name, bool colour) {
    try {
        ReportBuffer buffer; // NOLINT(cppcoreguidelines-pro-type-member-init)
        std::size_t size = 0;
        std::string report;
        if (lay_out(buffer, size, error, input, source_name, colour)) {
            report.assign(buffer.data(), size);
        } else {
            // Rendered again into a string of the size counted: every report is
            // built in a single allocation.
            report.resize(size);
            lay_out(report, size, error, input, source_name, colour);
        }
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
