#include "core/log/failure_report.hpp"

#include <unistd.h>

#include "core/unicode/quoted.hpp"

namespace tolvi::log {

namespace {

constexpr std::string_view kPrefix = "[tracing-subscriber] ";

// ["message", "n"]
void append_field_names(std::string& out, std::span<const Field> fields) {
    out += '[';
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        unicode::append_quoted(out, fields[i].name);
    }
    out += ']';
}

// Events have no name of their own; like spans they are known by where they come from.
std::string event_name(const Event& event) {
    std::string name = "event";
    if (event.file) {
        name += ' ';
        name.append(*event.file);
        if (event.line) {
            name += ':';
            name += std::to_string(*event.line);
        }
    }
    return name;
}

std::string_view trimmed_level_text(Level level) noexcept {
    std::string_view text = level_text(level);
    while (text.starts_with(' ')) {
        text.remove_prefix(1);
    }
    return text;
}

void write_stderr(std::string_view text) noexcept {
    // Nothing is left to tell if standard error fails as well.
    (void)write_all(STDERR_FILENO, text);
}

} // namespace

std::string unwritable_event_text(const WriteError& error) {
    std::string text(kPrefix);
    text += "Unable to write an event to the Writer for this Subscriber! Error: ";
    text += error.description();
    text += "\n\n";
    return text;
}

std::string unformattable_event_text(const Event& event) {
    std::string text = "Unable to format the following event. Name: ";
    text += event_name(event);
    text += "; Fields: ";
    append_field_names(text, event.fields);
    text += '\n';
    return text;
}

std::string unwritable_format_error_text(const WriteError& error) {
    std::string text(kPrefix);
    text += "Unable to write an \"event formatting error\" to the Writer for this Subscriber! "
            "Error: ";
    text += error.description();
    text += "\n\n";
    return text;
}

std::string unformattable_span_text(Level level, std::string_view target, std::string_view name,
                                    std::span<const Field> fields) {
    std::string text(kPrefix);
    text += "Unable to format the following event, ignoring: Attributes { level: ";
    text.append(trimmed_level_text(level));
    text += ", target: ";
    unicode::append_quoted(text, target);
    text += ", name: ";
    unicode::append_quoted(text, name);
    text += ", fields: ";
    append_field_names(text, fields);
    text += " }";
    return text;
}

void report_unwritable_event(const WriteError& error) noexcept {
    try {
        write_stderr(unwritable_event_text(error));
    } catch (...) {
        // Out of memory while reporting: the event is dropped all the same.
    }
}

void report_unformattable_event(const Event& event) noexcept {
    try {
        if (const auto error = write_stdout(unformattable_event_text(event))) {
            write_stderr(unwritable_format_error_text(*error));
        }
    } catch (...) {
        // Out of memory while reporting: the event is dropped all the same.
    }
}

void report_unformattable_span(Level level, std::string_view target, std::string_view name,
                               std::span<const Field> fields) noexcept {
    try {
        write_stderr(unformattable_span_text(level, target, name, fields));
    } catch (...) {
        // Out of memory while reporting: the span goes on without fields.
    }
}

} // namespace tolvi::log
