#include "report/render.hpp"

#include <exception>

#include "digits.hpp"
#include "report/colour.hpp"
#include "report/layout.hpp"
#include "unicode/utf8_check.hpp"

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

std::string describe(const unicode::Utf8Fault& fault) {
    std::string text = fault.truncated ? "incomplete byte sequence at offset "
                                       : "invalid byte sequence at offset ";
    text += Digits(fault.offset).view();
    return text;
}

} // namespace

std::string render_parse_error(const ParseError& error, std::string_view input,
                               std::string_view source_name) {
    return render_parse_error(error, input, source_name, colour_enabled());
}

std::string render_parse_error(const ParseError& error, std::string_view input,
                               std::string_view source_name, bool colour) {
    try {
        std::string report;
        write_report(report, error, input, source_name, colour);
        // The input is copied into the report byte for byte; callers are expected
        // to hand over UTF-8, but nothing malformed may leave as a string.
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
