#pragma once
// Turns an event into the multi-line text of a log record, plain or with ANSI
// styling. Pure formatting: the caller decides where the text goes.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/log/event.hpp"
#include "core/log/field.hpp"
#include "core/log/timestamp.hpp"

namespace tolvi::log {

class RecordFormatter {
public:
    explicit RecordFormatter(bool styled, Clock clock = &system_time) noexcept
        : styled_(styled), clock_(clock) {}

    bool styled() const noexcept { return styled_; }

    // Appends the whole record: the timestamp, level, target and fields; the
    // source location and thread; one line per span; an empty line. `spans` are
    // the spans the event was emitted in, outermost first (the order they were
    // entered); the record lists them innermost first.
    void format_event(std::string& out, const Event& event,
                      std::span<const std::shared_ptr<const SpanData>> spans,
                      std::uint64_t thread_id) const;

    // The fields of a span as its records show them after "with"; empty when no
    // field is shown.
    std::string format_span_fields(std::span<const Field> fields) const;

private:
    struct FieldStyle;

    void append_fields(std::string& out, std::span<const Field> fields,
                       const FieldStyle& style) const;
    void append_painted(std::string& out, std::string_view style, std::string_view text) const;

    bool styled_;
    Clock clock_;
};

} // namespace tolvi::log
