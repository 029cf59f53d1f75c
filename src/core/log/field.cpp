#include "core/log/field.hpp"

#include <charconv>
#include <cmath>

#include "core/digits.hpp"
#include "core/unicode/quoted.hpp"

namespace tolvi::log {

namespace {

void append_number(std::string& out, std::uint64_t number) {
    out.append(Digits(number).view());
}

void append_number(std::string& out, std::int64_t number) {
    if (number < 0) {
        out += '-';
    }
    // Negated as unsigned: the most negative number has no positive counterpart.
    const auto magnitude = static_cast<std::uint64_t>(number);
    append_number(out, number < 0 ? 0 - magnitude : magnitude);
}

// Shortest text that reads back as the same double. Whole numbers keep a ".0" so
// that they read as floating point; very small and very large magnitudes use an
// exponent written without "+" or leading zeros (1e16, 1.5e-7).
void append_double(std::string& out, double number) {
    if (std::isnan(number)) {
        out += "NaN";
        return;
    }
    if (std::isinf(number)) {
        out += number < 0 ? "-inf" : "inf";
        return;
    }
    char text[64];
    const double magnitude = std::fabs(number);
    if (magnitude != 0.0 && (magnitude < 1e-4 || magnitude >= 1e16)) {
        const auto result =
            std::to_chars(text, text + sizeof text, number, std::chars_format::scientific);
        const std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
        const std::size_t e = written.find('e');
        out.append(written.substr(0, e + 1));
        std::string_view exponent = written.substr(e + 1);
        if (exponent.front() == '-') {
            out += '-';
        }
        exponent.remove_prefix(1); // the sign, always written by to_chars
        while (exponent.size() > 1 && exponent.front() == '0') {
            exponent.remove_prefix(1);
        }
        out.append(exponent);
        return;
    }
    const auto result = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed);
    const std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
    out.append(written);
    if (written.find('.') == std::string_view::npos) {
        out += ".0";
    }
}

struct DebugWriter {
    std::string& out;

    void operator()(std::string_view text) const { unicode::append_quoted(out, text); }
    void operator()(std::int64_t number) const { append_number(out, number); }
    void operator()(std::uint64_t number) const { append_number(out, number); }
    void operator()(bool flag) const { out += flag ? "true" : "false"; }
    void operator()(double number) const { append_double(out, number); }
};

} // namespace

void append_debug(std::string& out, const Value& value) {
    std::visit(DebugWriter{out}, value.storage());
}

void append_display(std::string& out, const Value& value) {
    if (const auto* text = std::get_if<std::string_view>(&value.storage())) {
        out.append(*text);
    } else {
        append_debug(out, value);
    }
}

std::optional<std::string_view> shown_field_name(std::string_view name) noexcept {
    if (name.starts_with("log.")) {
        return std::nullopt;
    }
    if (name.starts_with("r#")) {
        name.remove_prefix(2);
    }
    return name;
}

} // namespace tolvi::log
