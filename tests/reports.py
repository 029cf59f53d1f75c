"""Builds expected report texts for the tests."""

SOURCES = {
    "Version": "tolvi::package::version::Version",
    "SemVer": "tolvi::package::version::semver::SemVer",
    "DotSeparated": "tolvi::package::version::dot_separated::DotSeparated",
    "Other": "tolvi::package::version::other::Other",
}


def plain_report(kind, line, column, marker_row, message_row):
    """The seven lines of a plain report; the rows start after the margin."""
    return (
        "Error: \n"
        f"   ╭─[ {SOURCES[kind]}:1:{column} ]\n"
        "   │\n"
        f" 1 │ {line}\n"
        f"   │ {marker_row}\n"
        f"   │ {message_row}\n"
        "───╯\n"
    )


def ascii_report(kind, text, start, end, message):
    """The report for ASCII input without tabs: cells are one column each."""
    line = text.split("\n", 1)[0].rstrip()
    marker = "┬" if end > start else "│"
    marker_row = " " * start + marker + " " * (max(end, start) + 1 - start)
    message_row = " " * start + "╰" + "─" * (max(end, start) + 1 - start) + " " + message
    return plain_report(kind, line, start + 1, marker_row, message_row)
