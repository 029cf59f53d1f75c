#include "core/log/span.hpp"

#include <vector>

#include "core/log/dispatch.hpp"

namespace tolvi::log {

namespace {

std::vector<std::shared_ptr<const SpanData>>& thread_span_stack() noexcept {
    thread_local std::vector<std::shared_ptr<const SpanData>> stack;
    return stack;
}

} // namespace

Span::Span(Level level, std::string_view target, std::string_view name,
           std::span<const Field> fields) noexcept {
    if (!enabled(level)) {
        return;
    }
    if (const Subscriber* subscriber = default_subscriber()) {
        data_ = subscriber->new_span(level, target, name, fields);
    }
}

EnteredSpan Span::enter() const noexcept {
    if (data_ == nullptr) {
        return EnteredSpan(nullptr);
    }
    try {
        thread_span_stack().push_back(data_);
    } catch (...) {
        return EnteredSpan(nullptr); // out of memory: the span just goes unnamed
    }
    return EnteredSpan(data_.get());
}

EnteredSpan::~EnteredSpan() {
    if (entered_ == nullptr) {
        return;
    }
    // Guards normally end innermost first, but one that outlives a later guard
    // must still take its own entry out, not the top one.
    auto& stack = thread_span_stack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if (it->get() == entered_) {
            stack.erase(std::next(it).base());
            return;
        }
    }
}

std::span<const std::shared_ptr<const SpanData>> entered_spans() noexcept {
    return thread_span_stack();
}

} // namespace tolvi::log
