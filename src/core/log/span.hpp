#pragma once
// Spans: named scopes whose fields every record emitted inside them repeats.
// Entering is per thread: an event lists the spans entered on its own thread.

#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "core/log/event.hpp"
#include "core/log/field.hpp"
#include "core/log/level.hpp"

namespace tolvi::log {

class EnteredSpan;

class Span {
public:
    // A span that records nothing, like one opened below the accepted level.
    Span() noexcept = default;

    // Opens a span with the installed subscriber. Below the accepted level, or
    // with no subscriber installed, the span is disabled and stays so.
    Span(Level level, std::string_view target, std::string_view name,
         std::initializer_list<Field> fields = {}) noexcept
        : Span(level, target, name, std::span<const Field>(fields.begin(), fields.size())) {}
    Span(Level level, std::string_view target, std::string_view name,
         std::span<const Field> fields) noexcept;

    bool is_enabled() const noexcept { return data_ != nullptr; }

    // Makes this the innermost span of the calling thread until the guard ends.
    [[nodiscard]] EnteredSpan enter() const noexcept;

private:
    // Shared with the thread stacks that entered it, so an entered span stays
    // valid even when the Span object goes first.
    std::shared_ptr<const SpanData> data_;
};

class [[nodiscard]] EnteredSpan {
public:
    EnteredSpan(EnteredSpan&& other) noexcept : entered_(other.entered_) {
        other.entered_ = nullptr;
    }
    EnteredSpan& operator=(EnteredSpan&&) = delete;
    EnteredSpan(const EnteredSpan&) = delete;
    EnteredSpan& operator=(const EnteredSpan&) = delete;
    ~EnteredSpan();

private:
    friend class Span;
    explicit EnteredSpan(const SpanData* entered) noexcept : entered_(entered) {}

    const SpanData* entered_; // nullptr: nothing was entered
};

// The spans entered on the calling thread and not yet left, outermost first.
std::span<const std::shared_ptr<const SpanData>> entered_spans() noexcept;

} // namespace tolvi::log
