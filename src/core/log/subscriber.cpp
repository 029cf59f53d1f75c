#include "core/log/subscriber.hpp"

#include <cstdlib>
#include <string>

#include "core/log/failure_report.hpp"
#include "core/log/span.hpp"
#include "core/log/thread_id.hpp"
#include "core/stdout_writer.hpp"
#include "core/unicode/utf8_check.hpp"

namespace tolvi::log {

namespace {

// Reused by every record of the thread, so a record costs no allocation once
// the buffer has grown to the usual record size.
std::string& thread_record_buffer() noexcept {
    thread_local std::string buffer;
    return buffer;
}

} // namespace

bool no_color_disables_styling(const char* value) noexcept {
    if (value == nullptr) {
        return false;
    }
    const std::string_view text(value);
    return !text.empty() && !unicode::find_utf8_fault(text);
}

std::unique_ptr<Subscriber> Subscriber::build() {
    // Called by init_tracing under the interpreter lock, which Python code also
    // holds whenever it changes the environment.
    const bool styled =
        !no_color_disables_styling(std::getenv("NO_COLOR")); // NOLINT(concurrency-mt-unsafe)
    return std::make_unique<Subscriber>(RecordFormatter(styled));
}

void Subscriber::on_event(const Event& event) const noexcept {
    if (!accepts(event.level)) {
        return;
    }
    std::string& buffer = thread_record_buffer();
    buffer.clear();
    try {
        formatter_.format_event(buffer, event, entered_spans(), current_thread_id());
    } catch (...) {
        buffer.clear();
        report_unformattable_event(event);
        return;
    }
    if (const auto error = write_stdout(buffer)) {
        report_unwritable_event(*error);
    }
    buffer.clear();
}

std::shared_ptr<const SpanData> Subscriber::new_span(Level level, std::string_view target,
                                                     std::string_view name,
                                                     std::span<const Field> fields) const noexcept {
    if (!accepts(level)) {
        return nullptr;
    }
    std::shared_ptr<SpanData> span;
    try {
        span =
            std::make_shared<SpanData>(SpanData{level, std::string(target), std::string(name), {}});
    } catch (...) {
        return nullptr; // no memory to keep the span: events inside it just do not name it
    }
    try {
        span->fields = formatter_.format_span_fields(fields);
    } catch (...) {
        span->fields.clear();
        report_unformattable_span(level, target, name, fields);
    }
    return span;
}

} // namespace tolvi::log
