#include "report/layout.hpp"

#include <algorithm>
#include <cstdint>

#include "digits.hpp"
#include "report/cells.hpp"
#include "report/label_colour.hpp"
#include "report/label_message.hpp"
#include "report/painter.hpp"
#include "report/source_line.hpp"

namespace tolvi::report {

namespace {

constexpr std::string_view kBar = "─";
constexpr std::string_view kMarginBar = "│";
constexpr std::string_view kMarker = "┬";
constexpr std::string_view kEmptySpanMarker = "│";
constexpr std::string_view kLabelCorner = "╰";

constexpr std::uint8_t kFrameColour = 246;
constexpr std::uint8_t kMarginColour = 240;
constexpr std::uint8_t kSourceColour = 249;

// Where the label sits, in character positions of the input.
struct Label {
    std::size_t start;
    std::size_t end; // equal to start for an error at the end of the input
    std::uint8_t colour;

    bool covers(std::size_t position) const noexcept { return position >= start && position < end; }
};

// Enough for typical reports so that the text is built without reallocating; an
// unusual line (many tabs or wide characters) merely grows the string once more.
std::size_t size_estimate(const ParseError& error, std::string_view line,
                          std::string_view source_name, bool colour) {
    std::size_t message = 48;
    for (const ExpectedPattern& pattern : error.expected) {
        message += pattern.label.size() + 8;
    }
    // Each byte of the line gives one quoted character and, mostly, a space on
    // each of the two rows beneath it; colour wraps each quoted character in
    // up to fifteen bytes of escape sequences.
    const std::size_t per_byte = colour ? 3 + 15 : 3;
    const std::size_t frame = colour ? 384 : 96;
    return frame + source_name.size() + message + (line.size() + 2) * per_byte;
}

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

void write_source_line(Painter& painter, std::string_view line, const Label& label) {
    painter.plain(" ");
    painter.palette(kFrameColour, "1 │");
    painter.plain(" ");
    CellWalker walker(line);
    for (std::size_t position = 0;; ++position) {
        const Cell cell = walker.next();
        if (cell.past_end()) {
            break;
        }
        const std::uint8_t colour = label.covers(position) ? label.colour : kSourceColour;
        if (cell.is_tab()) {
            for (std::size_t i = 0; i < cell.width; ++i) {
                painter.palette(colour, " ");
            }
        } else {
            painter.palette(colour, cell.text);
        }
    }
    painter.plain("\n");
}

// The margin of the two rows under the quoted line.
void write_row_margin(Painter& painter) {
    painter.plain(" ");
    painter.palette(kMarginColour, "  │");
    painter.plain(" ");
}

// A glyph that fills the first column of a cell, with bars in the rest of it.
void write_drawn_cell(Painter& painter, std::string_view glyph, const Cell& cell,
                      std::uint8_t colour) {
    painter.palette(colour, glyph);
    for (std::size_t i = 1; i < cell.width; ++i) {
        painter.palette(colour, kBar);
    }
}

// Runs one position past the label's end, so the row ends in one or two spaces.
void write_marker_row(Painter& painter, std::string_view line, const Label& label) {
    write_row_margin(painter);
    const std::string_view marker = label.end > label.start ? kMarker : kEmptySpanMarker;
    CellWalker walker(line);
    for (std::size_t position = 0; position <= label.end + 1; ++position) {
        const Cell cell = walker.next();
        if (position == label.start) {
            write_drawn_cell(painter, marker, cell, label.colour);
        } else {
            painter.spaces(cell.width);
        }
    }
    painter.plain("\n");
}

void write_message_row(std::string& out, Painter& painter, std::string_view line,
                       const Label& label, const ParseError& error) {
    write_row_margin(painter);
    CellWalker walker(line);
    for (std::size_t position = 0; position <= label.end + 1; ++position) {
        const Cell cell = walker.next();
        if (position < label.start) {
            painter.spaces(cell.width);
        } else {
            write_drawn_cell(painter, position == label.start ? kLabelCorner : kBar, cell,
                             label.colour);
        }
    }
    painter.plain(" ");
    write_label_message(out, error);
    painter.plain("\n");
}

} // namespace

void write_report(std::string& out, const ParseError& error, std::string_view input,
                  std::string_view source_name, bool colour) {
    const std::string_view line = quoted_line(input);
    const std::size_t start = char_index(input, error.span_start);
    const std::size_t end = std::max(start, char_index(input, error.span_end));
    LabelColourGenerator colours;
    const Label label{start, end, colours.next()};

    out.reserve(out.size() + size_estimate(error, line, source_name, colour));
    Painter painter(out, colour);

    painter.red("Error:");
    painter.plain(" \n");
    write_location(painter, source_name, start + 1);
    painter.spaces(3);
    painter.palette(kFrameColour, kMarginBar);
    painter.plain("\n");
    write_source_line(painter, line, label);
    write_marker_row(painter, line, label);
    write_message_row(out, painter, line, label, error);
    painter.palette(kFrameColour, "───╯");
    painter.plain("\n");
}

} // namespace tolvi::report
