#include "log/subscriber.hpp"

#include <cstdlib>
#include <string>

#include "log/failure_report.hpp"
#include "log/span.hpp"
#include "log/thread_id.hpp"
#include "stdout_writer.hpp"

namespace tolvi::log {

namespace {

bool is_continuation(unsigned char byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char second_min = 0x80;
        unsigned char second_max = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            second_min = lead == 0xE0 ? 0xA0 : 0x80;
            second_max = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            second_min = lead == 0xF0 ? 0x90 : 0x80;
            second_max = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        if (length > 1) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if (second < second_min || second > second_max) {
                return false;
            }
            for (std::size_t k = 2; k < length; ++k) {
                if (!is_continuation(static_cast<unsigned char>(text[i + k]))) {
                    return false;
                }
            }
        }
        i += length;
    }
    return true;
}

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
    return !text.empty() && is_valid_utf8(text);
}

std::unique_ptr<Subscriber> Subscriber::build() {
    const bool styled = !no_color_disables_styling(std::getenv("NO_COLOR"));
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
