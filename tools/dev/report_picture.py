#!/usr/bin/env python3
"""Draws a coloured parse error report as an SVG picture.

The report is the text of the RuntimeError that tolvi raises for a string that
does not parse, with the colour forced on. Its ANSI SGR sequences (31 red,
38;5;n a colour of the 256-colour palette, 0 reset) become the fill colours of
monospace text on a dark background, one character cell per column, so the
box-drawing characters line up as on a terminal.

    python tools/dev/report_picture.py                       # writes docs/error-report.svg
    python tools/dev/report_picture.py --kind SemVer 1.2 -o out.svg
    some-command | python tools/dev/report_picture.py --stdin -o out.svg

Needs nothing beyond the standard library (and tolvi itself, unless --stdin).

Needs the installed module alone.
"""

import argparse
import os
import re
import sys
import unicodedata
from pathlib import Path
from xml.sax.saxutils import escape

DEFAULT_INPUT = "1.2.3-rc..1"
DEFAULT_OUTPUT = Path(__file__).resolve().parents[2] / "docs" / "error-report.svg"

BACKGROUND = "#1c1c1c"
FOREGROUND = "#d0d0d0"
FONT_SIZE = 14
CELL_WIDTH = 8.4  # columns of a monospace font at FONT_SIZE, 0.6 em
LINE_HEIGHT = 17
PADDING = 16
TAB_WIDTH = 8

# The 16 system colours as xterm sets them by default.
SYSTEM_COLOURS = [
    (0, 0, 0), (205, 0, 0), (0, 205, 0), (205, 205, 0),
    (0, 0, 238), (205, 0, 205), (0, 205, 205), (229, 229, 229),
    (127, 127, 127), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (92, 92, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
CUBE_LEVELS = (0, 95, 135, 175, 215, 255)

SGR = re.compile(r"\x1b\[([0-9;]*)m")


def palette(index):
    """The RGB triple of a 256-colour palette index, as xterm computes it."""
    if not 0 <= index <= 255:
        raise ValueError(f"palette index out of range: {index}")
    if index < 16:
        return SYSTEM_COLOURS[index]
    if index < 232:
        n = index - 16
        return CUBE_LEVELS[n // 36], CUBE_LEVELS[n // 6 % 6], CUBE_LEVELS[n % 6]
    level = 8 + 10 * (index - 232)
    return level, level, level


def hex_colour(rgb):
    return "#{:02x}{:02x}{:02x}".format(*rgb)


def apply_sgr(parameters, colour):
    """The foreground colour after one SGR sequence; None is the default colour."""
    codes = [int(p) if p else 0 for p in parameters.split(";")] if parameters else [0]
    i = 0
    while i < len(codes):
        code = codes[i]
        if code in (0, 39):
            colour = None
        elif 30 <= code <= 37:
            colour = palette(code - 30)
        elif 90 <= code <= 97:
            colour = palette(code - 90 + 8)
        elif code == 38 and i + 2 < len(codes) and codes[i + 1] == 5:
            colour = palette(codes[i + 2])
            i += 2
        elif code == 38 and i + 4 < len(codes) and codes[i + 1] == 2:
            colour = tuple(codes[i + 2 : i + 5])
            i += 4
        # Any other attribute (bold, background and so on) is left out of the picture.
        i += 1
    return colour


def columns(char):
    """How many terminal columns a character (or a cell's text) takes."""
    if len(char) > 1:
        return columns(char[0])
    if unicodedata.combining(char) or unicodedata.category(char) in ("Mn", "Me"):
        return 0
    return 2 if unicodedata.east_asian_width(char) in ("W", "F") else 1


def visible(char):
    """A character that can stand in an XML text node for char."""
    code = ord(char)
    if code < 0x20 or code == 0x7F:
        return chr(0x2400 + code) if code < 0x20 else "\u2421"
    return char


def cells(text):
    """The lines of the text as lists of (column, cell text, colour).

    A cell text is one character, followed by any combining marks that rest on it.
    """
    lines = [[]]
    column = 0
    colour = None
    position = 0
    for match in list(SGR.finditer(text)) + [None]:
        end = match.start() if match else len(text)
        for char in text[position:end]:
            if char == "\n":
                lines.append([])
                column = 0
            elif char == "\t":
                column += TAB_WIDTH - column % TAB_WIDTH
            elif char == "\r":
                column = 0
            elif columns(char) == 0 and lines[-1]:
                # A combining mark joins the character before it, as on a terminal.
                last_column, last_text, last_colour = lines[-1][-1]
                lines[-1][-1] = (last_column, last_text + char, last_colour)
            else:
                lines[-1].append((column, visible(char), colour))
                column += columns(char)
        if match:
            colour = apply_sgr(match.group(1), colour)
            position = match.end()
    if not lines[-1]:
        lines.pop()
    return lines


def svg(text, title="tolvi parse error report"):
    """The SVG document that shows the coloured text."""
    lines = cells(text)
    width_columns = max(
        (column + columns(char) for line in lines for column, char, _ in line), default=0
    )
    width = round(2 * PADDING + max(width_columns, 1) * CELL_WIDTH)
    height = 2 * PADDING + max(len(lines), 1) * LINE_HEIGHT
    out = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}">',
        f"<title>{escape(title)}</title>",
        f'<rect width="100%" height="100%" rx="6" fill="{BACKGROUND}"/>',
        f'<g font-family="DejaVu Sans Mono, Menlo, Consolas, monospace" '
        f'font-size="{FONT_SIZE}" fill="{FOREGROUND}">',
    ]
    for number, line in enumerate(lines):
        y = PADDING + number * LINE_HEIGHT + round(LINE_HEIGHT * 0.75)
        runs = []
        for column, char, colour in line:
            if char == " ":
                continue
            joinable = len(char) == 1 and runs and len(runs[-1][2][-1]) == 1
            if joinable and runs[-1][0] == colour and runs[-1][1][-1] + runs[-1][3] == column:
                runs[-1][1].append(column)
                runs[-1][2].append(char)
                runs[-1][3] = columns(char)
            else:
                runs.append([colour, [column], [char], columns(char)])
        if not runs:
            continue
        pieces = []
        for colour, cols, chars, _ in runs:
            xs = " ".join(f"{PADDING + c * CELL_WIDTH:g}" for c in cols)
            fill = "" if colour is None else f' fill="{hex_colour(colour)}"'
            pieces.append(f'<tspan x="{xs}"{fill}>{escape("".join(chars))}</tspan>')
        out.append(f'<text y="{y}">{"".join(pieces)}</text>')
    out += ["</g>", "</svg>", ""]
    return "\n".join(out)


def coloured_report(kind, text):
    """The report that tolvi raises for text, with the colour forced on."""
    # The colour decision is taken on the first report of the process.
    os.environ["CLICOLOR_FORCE"] = "1"
    from tolvi import package

    try:
        getattr(package.version, kind)(text)
    except RuntimeError as error:
        return str(error)
    raise SystemExit(f"{kind}({text!r}) parses; nothing to draw")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("text", nargs="?", default=DEFAULT_INPUT, help="a string that fails")
    parser.add_argument(
        "--kind", default="Version", choices=["Version", "SemVer", "DotSeparated", "Other"]
    )
    parser.add_argument("--stdin", action="store_true", help="draw coloured text read from stdin")
    parser.add_argument("-o", "--output", type=Path, default=DEFAULT_OUTPUT)
    args = parser.parse_args(argv)
    if args.stdin:
        report = sys.stdin.read()
    else:
        report = coloured_report(args.kind, args.text)
        if "\x1b[" not in report:
            raise SystemExit("the report came out without colour")
    args.output.parent.mkdir(parents=True, exist_ok=True)
    args.output.write_text(svg(report), encoding="utf-8")
    print(f"wrote {args.output}")


if __name__ == "__main__":
    main()
