#pragma once
// What the subscriber says when a record or span cannot be formatted or written.
// The reports go where they can still be seen and never reach the emitter: the
// report functions swallow every failure of their own.

#include <span>
#include <string>
#include <string_view>

#include "core/log/event.hpp"
#include "core/stdout_writer.hpp"

namespace tolvi::log {

// The texts, exposed so that their exact wording can be checked.
std::string unwritable_event_text(const WriteError& error);
std::string unformattable_event_text(const Event& event);
std::string unwritable_format_error_text(const WriteError& error);
std::string unformattable_span_text(Level level, std::string_view target, std::string_view name,
                                    std::span<const Field> fields);

// A record could not be written to standard output: told on standard error.
void report_unwritable_event(const WriteError& error) noexcept;

// A record could not be formatted: told on standard output in its place, or on
// standard error when that fails too.
void report_unformattable_event(const Event& event) noexcept;

// A span's fields could not be formatted: told on standard error.
void report_unformattable_span(Level level, std::string_view target, std::string_view name,
                               std::span<const Field> fields) noexcept;

} // namespace tolvi::log
