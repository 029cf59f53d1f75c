#include "core/log/record_format.hpp"

#include "core/ansi.hpp"
#include "core/digits.hpp"

namespace tolvi::log {

// How the fields of one line are painted. An empty colour leaves values unpainted.
struct RecordFormatter::FieldStyle {
    std::string_view colour;
    std::string_view bold_name;
};

namespace {

struct LevelStyle {
    std::string_view colour;
    std::string_view bold_colour;
};

LevelStyle level_style(Level level) noexcept {
    switch (level) {
    case Level::Trace:
        return {ansi::kMagenta, ansi::kBoldMagenta};
    case Level::Debug:
        return {ansi::kBlue, ansi::kBoldBlue};
    case Level::Info:
        return {ansi::kGreen, ansi::kBoldGreen};
    case Level::Warn:
        return {ansi::kYellow, ansi::kBoldYellow};
    case Level::Error:
        return {ansi::kRed, ansi::kBoldRed};
    }
    return {"", ansi::kBold};
}

void append_decimal(std::string& out, std::uint64_t number) {
    out.append(Digits(number).view());
}

} // namespace

void RecordFormatter::append_painted(std::string& out, std::string_view style,
                                     std::string_view text) const {
    if (!styled_) {
        out.append(text);
        return;
    }
    out.append(style);
    out.append(text);
    out.append(ansi::kReset);
}

void RecordFormatter::append_fields(std::string& out, std::span<const Field> fields,
                                    const FieldStyle& style) const {
    bool any_written = false;
    for (const Field& field : fields) {
        const auto name = shown_field_name(field.name);
        if (!name) {
            continue;
        }
        if (any_written) {
            out += ", ";
        } else if (styled_) {
            out.append(style.colour);
        }
        any_written = true;
        if (*name == "message") {
            append_display(out, field.value);
            continue;
        }
        if (styled_) {
            // The reset ends the bold name; the colour comes back for the value.
            out.append(style.bold_name);
            out.append(*name);
            out.append(ansi::kReset);
            out.append(style.colour);
        } else {
            out.append(*name);
        }
        out += ": ";
        append_debug(out, field.value);
    }
    if (any_written && styled_) {
        out.append(ansi::kReset);
    }
}

void RecordFormatter::format_event(std::string& out, const Event& event,
                                   std::span<const std::shared_ptr<const SpanData>> spans,
                                   std::uint64_t thread_id) const {
    const LevelStyle level = level_style(event.level);

    out += "  ";
    if (styled_) {
        out.append(ansi::kDim);
    }
    append_timestamp(out, clock_());
    if (styled_) {
        out.append(ansi::kReset);
    }
    out += ' ';
    append_painted(out, level.colour, level_text(event.level));
    out += ' ';
    append_painted(out, level.bold_colour, event.target);
    out += ": ";
    append_fields(out, event.fields, FieldStyle{level.colour, level.bold_colour});
    out += '\n';

    out += "    ";
    if (event.file) {
        append_painted(out, ansi::kDimItalic, "at");
        out += ' ';
        out.append(*event.file);
        if (event.line) {
            out += ':';
            append_decimal(out, *event.line);
        }
        out += ' ';
    }
    append_painted(out, ansi::kDimItalic, "on");
    out += " ThreadId(";
    append_decimal(out, thread_id);
    out += ")\n";

    // Innermost span first. Reverse iterators rather than a reversed view, which
    // clang's tools cannot yet instantiate against this standard library.
    for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
        const auto& span = *it;
        out += "    ";
        append_painted(out, ansi::kDimItalic, "in");
        out += ' ';
        out.append(span->target);
        out += "::";
        append_painted(out, ansi::kBold, span->name);
        if (!span->fields.empty()) {
            out += ' ';
            append_painted(out, ansi::kDimItalic, "with");
            out += ' ';
            out.append(span->fields);
        }
        out += '\n';
    }

    out += '\n';
}

std::string RecordFormatter::format_span_fields(std::span<const Field> fields) const {
    std::string text;
    append_fields(text, fields, FieldStyle{"", ansi::kBold});
    return text;
}

} // namespace tolvi::log
