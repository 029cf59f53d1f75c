#include "core/report/layout.hpp"

#include <algorithm>
#include <cstdint>

#include "core/digits.hpp"
#include "core/report/cells.hpp"
#include "core/report/label_colour.hpp"
#include "core/report/label_message.hpp"
#include "core/report/painter.hpp"
#include "core/report/source_line.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::report {

namespace {

constexpr std::string_view kBar = "─";
constexpr std::string_view kMarginBar = "│";
constexpr std::string_view kMarker = "┬";
constexpr std::string_view kEmptySpanMarker = "│";
constexpr std::string_view kLabelCorner = "╰";
constexpr std::string_view kTabSpaces = "    ";
static_assert(kTabSpaces.size() == kTabStop);

constexpr std::uint8_t kFrameColour = 246;
constexpr std::uint8_t kMarginColour = 240;
constexpr std::uint8_t kSourceColour = 249;
// A report has a single label, which takes a fresh generator's first colour.
constexpr std::uint8_t kLabelColour = LabelColourGenerator().next();

// Where the label sits, in character positions of the input.
struct Label {
    std::size_t start;
    std::size_t end; // equal to start for an error at the end of the input
    std::uint8_t colour;

    bool covers(std::size_t position) const noexcept { return position >= start && position < end; }
};

void write_decimal(Painter& painter, std::size_t value) {
    painter.plain(Digits(value).view());
}

void write_location(Painter& painter, std::string_view source_name, std::size_t column) {
    painter.spaces(3);
    painter.palette(kFrameColour, "╭");
    painter.palette(kFrameColour, kBar);
    painter.palette(kFrameColour, "[");
    painter.plain(" ");
    painter.plain(source_name);
    painter.plain(":1:");
    write_decimal(painter, column);
    painter.plain(" ");
    painter.palette(kFrameColour, "]");
    painter.plain("\n");
}

// The characters go out in runs of one colour, cut at each tab, which comes out
// as the spaces it spans.
void write_cells(Painter& painter, std::string_view line, const Label& label) {
    CellWalker walker(line);
    std::size_t run_start = 0;
    std::size_t offset = 0;
    std::uint8_t run_colour = kSourceColour;
    for (std::size_t position = 0;; ++position) {
        const Cell cell = walker.next();
        if (cell.past_end()) {
            break;
        }
        const std::uint8_t colour = label.covers(position) ? label.colour : kSourceColour;
        if (colour != run_colour || cell.is_tab()) {
            painter.palette_each(run_colour, line.substr(run_start, offset - run_start));
            run_start = offset;
            run_colour = colour;
        }
        offset += cell.text.size();
        if (cell.is_tab()) {
            painter.palette_each(colour, kTabSpaces.substr(0, cell.width));
            run_start = offset;
        }
    }
    painter.palette_each(run_colour, line.substr(run_start, offset - run_start));
}

// A line is one column a byte when it is ASCII without tabs, as most are: then
// positions are byte offsets and the cells need no walk.
bool is_one_column_a_byte(std::string_view line) noexcept {
    return unicode::is_ascii(line) && line.find('\t') == std::string_view::npos;
}

void write_source_line(Painter& painter, std::string_view line, const Label& label,
                       bool one_column_a_byte) {
    painter.plain(" ");
    painter.palette(kFrameColour, "1 │");
    painter.plain(" ");
    if (one_column_a_byte) {
        const std::size_t start = std::min(label.start, line.size());
        const std::size_t end = std::min(label.end, line.size());
        painter.palette_each(kSourceColour, line.substr(0, start));
        painter.palette_each(label.colour, line.substr(start, end - start));
        painter.palette_each(kSourceColour, line.substr(end));
    } else {
        write_cells(painter, line, label);
    }
    painter.plain("\n");
}

// The columns that the two rows under the quoted line draw: the gap before the
// label, the cell it starts at, and the cells after that up to one position past
// its end, so that a row ends in one or two spaces.
struct LabelColumns {
    std::size_t before = 0;
    std::size_t first = 0;
    std::size_t after = 0;
};

LabelColumns measure(std::string_view line, const Label& label, bool one_column_a_byte) noexcept {
    if (one_column_a_byte) {
        return {label.start, 1, label.end + 1 - label.start};
    }
    LabelColumns columns;
    CellWalker walker(line);
    for (std::size_t position = 0; position <= label.end + 1; ++position) {
        const std::size_t width = walker.next().width;
        if (position < label.start) {
            columns.before += width;
        } else if (position == label.start) {
            columns.first = width;
        } else {
            columns.after += width;
        }
    }
    return columns;
}

// The margin of the two rows under the quoted line.
void write_row_margin(Painter& painter) {
    painter.plain(" ");
    painter.palette(kMarginColour, "  │");
    painter.plain(" ");
}

// A glyph in the first column of the label's cell, then `bars` columns of bars.
void write_drawn(Painter& painter, std::string_view glyph, std::size_t bars, std::uint8_t colour) {
    painter.palette(colour, glyph);
    for (std::size_t i = 0; i < bars; ++i) {
        painter.palette(colour, kBar);
    }
}

void write_marker_row(Painter& painter, const Label& label, const LabelColumns& columns) {
    write_row_margin(painter);
    painter.spaces(columns.before);
    write_drawn(painter, label.end > label.start ? kMarker : kEmptySpanMarker, columns.first - 1,
                label.colour);
    painter.spaces(columns.after);
    painter.plain("\n");
}

void write_message_row(BoundedWriter& out, Painter& painter, const Label& label,
                       const LabelColumns& columns, const ParseError& error) {
    write_row_margin(painter);
    painter.spaces(columns.before);
    write_drawn(painter, kLabelCorner, columns.first - 1 + columns.after, label.colour);
    painter.plain(" ");
    write_label_message(out, error);
    painter.plain("\n");
}

// The plain layout is the coloured one without its colours, with the fixed text
// between the variable pieces written in one piece each: a report costs some
// twenty writes instead of fifty.
void write_plain_report(BoundedWriter& out, const ParseError& error, std::string_view line,
                        const Label& label, std::string_view source_name) {
    out.append("Error: \n   ╭─[ ");
    out.append(source_name);
    out.append(":1:");
    out.append(Digits(label.start + 1).view());
    out.append(" ]\n   │\n 1 │ ");
    const bool one_column_a_byte = is_one_column_a_byte(line);
    if (one_column_a_byte) {
        out.append(line);
    } else {
        Painter painter(out, false);
        write_cells(painter, line, label);
    }
    out.append("\n   │ ");
    const LabelColumns columns = measure(line, label, one_column_a_byte);
    out.append(columns.before, ' ');
    out.append(label.end > label.start ? kMarker : kEmptySpanMarker);
    for (std::size_t i = 1; i < columns.first; ++i) {
        out.append(kBar);
    }
    out.append(columns.after, ' ');
    out.append("\n   │ ");
    out.append(columns.before, ' ');
    out.append(kLabelCorner);
    for (std::size_t i = 1; i < columns.first + columns.after; ++i) {
        out.append(kBar);
    }
    out.push_back(' ');
    write_label_message(out, error);
    out.append("\n───╯\n");
}

} // namespace

void write_report(BoundedWriter& out, const ParseError& error, std::string_view input,
                  std::string_view source_name, bool colour) {
    const std::string_view line = quoted_line(input);
    const std::size_t start = char_index(input, error.span_start);
    const std::size_t end = std::max(start, char_index(input, error.span_end));
    const Label label{start, end, kLabelColour};
    if (!colour) {
        write_plain_report(out, error, line, label, source_name);
        return;
    }

    Painter painter(out, colour);

    painter.red("Error:");
    painter.plain(" \n");
    write_location(painter, source_name, start + 1);
    painter.spaces(3);
    painter.palette(kFrameColour, kMarginBar);
    painter.plain("\n");
    const bool one_column_a_byte = is_one_column_a_byte(line);
    write_source_line(painter, line, label, one_column_a_byte);
    const LabelColumns columns = measure(line, label, one_column_a_byte);
    write_marker_row(painter, label, columns);
    write_message_row(out, painter, label, columns, error);
    painter.palette(kFrameColour, "───╯");
    painter.plain("\n");
}

} // namespace tolvi::report
