"""Whether a report is coloured, and what its colour sequences are.

The decision is taken once per process, so every case runs in a child
interpreter with an environment built from nothing and a pseudo-terminal or a
pipe on its standard streams. The child writes what it found as one line of
JSON to a stream that is a pipe.
"""

import json
import os
import select
import subprocess
import sys
import textwrap

import pytest

from reports import ascii_report, plain_report
from support import open_terminal

RESET = "\x1b[0m"
RED = "\x1b[31m"


def paint(colour, text):
    return f"\x1b[38;5;{colour}m{text}{RESET}"


def each(colour, text):
    """Every character of text as its own painted piece."""
    return "".join(paint(colour, c) for c in text)


MARGIN = " " + paint(240, "  │") + " "
LINE_ONE = " " + paint(246, "1 │") + " "
FOOTER = paint(246, "───╯") + "\n"


def header(source, column):
    return (
        f"{RED}Error:{RESET} \n"
        f"   {paint(246, '╭')}{paint(246, '─')}{paint(246, '[')} {source}:1:{column} "
        f"{paint(246, ']')}\n"
        f"   {paint(246, '│')}\n"
    )


DOUBLE_DOT_COLOURED = (
    "\x1b[31mError:\x1b[0m \n"
    "   \x1b[38;5;246m╭\x1b[0m\x1b[38;5;246m─\x1b[0m\x1b[38;5;246m[\x1b[0m"
    " tolvi::package::version::Version:1:3 \x1b[38;5;246m]\x1b[0m\n"
    "   \x1b[38;5;246m│\x1b[0m\n"
    " \x1b[38;5;246m1 │\x1b[0m \x1b[38;5;249m1\x1b[0m\x1b[38;5;249m.\x1b[0m"
    "\x1b[38;5;201m.\x1b[0m\x1b[38;5;249m2\x1b[0m\n"
    " \x1b[38;5;240m  │\x1b[0m   \x1b[38;5;201m┬\x1b[0m  \n"
    " \x1b[38;5;240m  │\x1b[0m   \x1b[38;5;201m╰\x1b[0m\x1b[38;5;201m─\x1b[0m"
    "\x1b[38;5;201m─\x1b[0m found '.' expected integer, or alphanumeric or '-'\n"
    "\x1b[38;5;246m───╯\x1b[0m\n"
)

DOUBLE_DOT_PLAIN = ascii_report(
    "Version", "1..2", 2, 3, "found '.' expected integer, or alphanumeric or '-'"
)

# (constructor, input, coloured report)
COLOURED = [
    pytest.param("Version", "1..2", DOUBLE_DOT_COLOURED, id="double-dot"),
    pytest.param(
        "SemVer",
        "1.2",
        header("tolvi::package::version::semver::SemVer", 4)
        + LINE_ONE + each(249, "1.2") + "\n"
        + MARGIN + "   " + paint(201, "│") + " \n"
        + MARGIN + "   " + each(201, "╰─") + " found end of input expected digit, or '.'\n"
        + FOOTER,
        id="empty-span",
    ),
    pytest.param(
        "Version",
        "\t1.2..3",
        header("tolvi::package::version::Version", 1)
        + LINE_ONE + each(201, "    ") + each(249, "1.2..3") + "\n"
        + MARGIN + each(201, "┬───") + "  \n"
        + MARGIN + each(201, "╰─────")
        + " found '\t' expected 'v', integer, dot-separated list, end of input, or identifier\n"
        + FOOTER,
        id="tab",
    ),
    pytest.param(
        "Version",
        "é x",
        header("tolvi::package::version::Version", 2)
        + LINE_ONE + paint(249, "é") + paint(201, " ") + paint(249, "x") + "\n"
        + MARGIN + " " + paint(201, "┬") + "  \n"
        + MARGIN + " " + each(201, "╰──") + " found ' ' expected identifier, or end of input\n"
        + FOOTER,
        id="two-byte-character",
    ),
    pytest.param(
        "Version",
        "1.日",
        header("tolvi::package::version::Version", 3)
        + LINE_ONE + each(249, "1.") + paint(201, "日") + "\n"
        + MARGIN + "  " + each(201, "┬─") + "  \n"
        + MARGIN + "  " + each(201, "╰───")
        + " found '日' expected integer, or alphanumeric or '-'\n"
        + FOOTER,
        id="wide-character",
    ),
    pytest.param(
        "Version",
        "1.2.3 ",
        header("tolvi::package::version::Version", 6)
        + LINE_ONE + each(249, "1.2.3") + "\n"
        + MARGIN + "     " + paint(201, "┬") + "  \n"
        + MARGIN + "     " + each(201, "╰──")
        + " found ' ' expected digit, '-', '+', end of input, alphanumeric or '-', or '.'\n"
        + FOOTER,
        id="trailing-space",
    ),
    pytest.param(
        "Other",
        "",
        header("tolvi::package::version::other::Other", 1)
        + LINE_ONE + "\n"
        + MARGIN + paint(201, "│") + " \n"
        + MARGIN + each(201, "╰─") + " found end of input expected identifier\n"
        + FOOTER,
        id="empty-input",
    ),
]


CHILD_PRELUDE = textwrap.dedent(
    """\
    import json, os, sys
    from tolvi import package

    def report(kind, text):
        try:
            getattr(package.version, kind)(text)
        except RuntimeError as e:
            return str(e)
        raise AssertionError(f"{kind}({text!r}) parsed")

    def send(value):
        out = int(sys.argv[1])
        os.write(out, (json.dumps(value) + "\\n").encode("ascii"))
    """
)


def drain(master):
    """What is waiting on the master side of a pseudo-terminal, without blocking."""
    data = b""
    while select.select([master], [], [], 0.2)[0]:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the slave side is closed and nothing is left
            break
        if not chunk:
            break
        data += chunk
    return data


def run_child(body, env, *, stderr_tty=True, stdout_tty=False):
    """Runs body after CHILD_PRELUDE in a fresh interpreter and returns what it sent.

    env is the child's whole environment. Standard error, and standard output
    when stdout_tty, is the slave side of a pseudo-terminal, the other one a
    pipe. The child sends its result on standard output when that is a pipe, on
    standard error when only that is a pipe, and on an extra pipe otherwise.
    """
    master, slave = open_terminal() if stderr_tty or stdout_tty else (None, None)
    extra_read = extra_write = None
    try:
        if not stdout_tty:
            result_fd = 1
        elif not stderr_tty:
            result_fd = 2
        else:
            extra_read, extra_write = os.pipe()
            result_fd = extra_write
        proc = subprocess.Popen(
            [sys.executable, "-c", CHILD_PRELUDE + textwrap.dedent(body), str(result_fd)],
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=slave if stdout_tty else subprocess.PIPE,
            stderr=slave if stderr_tty else subprocess.PIPE,
            pass_fds=() if extra_write is None else (extra_write,),
        )
        if slave is not None:
            os.close(slave)
            slave = None
        if extra_write is not None:
            os.close(extra_write)
            extra_write = None
            with os.fdopen(extra_read, "rb") as pipe:
                extra_read = None
                sent = pipe.read()
            proc.wait(timeout=60)
            problems = b""
        else:
            out, err = proc.communicate(timeout=60)
            sent, problems = (out, err or b"") if result_fd == 1 else (err, out or b"")
        if proc.returncode != 0 and master is not None:
            problems += drain(master)
        assert proc.returncode == 0, (sent + problems).decode(errors="replace")
        return json.loads(sent.decode("ascii"))
    finally:
        for fd in (master, slave, extra_read, extra_write):
            if fd is not None:
                os.close(fd)


def environment(**variables):
    """A child environment holding the given variables and nothing of the test
    process's own but what finds and loads the module (a sanitized build needs
    its runtime preloaded and its options in every child)."""
    env = {"PYTHONDONTWRITEBYTECODE": "1"}
    # Windows' interpreter needs SYSTEMROOT to start; under Wine it needs the
    # legacy console streams when its standard streams are not a console.
    for name in ("PYTHONPATH", "LD_LIBRARY_PATH", "LD_PRELOAD", "PYTHONMALLOC",
                 "ASAN_OPTIONS", "UBSAN_OPTIONS", "SYSTEMROOT", "PYTHONLEGACYWINDOWSSTDIO"):
        if name in os.environ:
            env[name] = os.environ[name]
    env.update(variables)
    return env


def test_child_sees_the_streams_it_was_given():
    body = 'send([os.isatty(1), os.isatty(2), dict(os.environ)])'
    env = environment(TERM="xterm")
    assert run_child(body, env)[:2] == [False, True]
    assert run_child(body, env, stderr_tty=False)[:2] == [False, False]
    assert run_child(body, env, stderr_tty=False, stdout_tty=True)[:2] == [True, False]
    assert run_child(body, env, stdout_tty=True)[:2] == [True, True]
    seen = run_child(body, environment(TERM="xterm", NO_COLOR=""))[2]
    assert seen.get("NO_COLOR") == "" and seen.get("TERM") == "xterm"
    assert "CLICOLOR_FORCE" not in seen and "CLICOLOR" not in seen


# (environment, standard error a terminal, standard output a terminal, coloured)
DECISIONS = [
    pytest.param(dict(TERM="xterm"), True, False, True, id="stderr-terminal"),
    pytest.param(dict(TERM="xterm-256color"), True, True, True, id="both-terminals"),
    pytest.param(dict(TERM="xterm"), False, False, False, id="stderr-pipe"),
    pytest.param(dict(TERM="xterm"), False, True, False, id="stdout-terminal-alone"),
    pytest.param(dict(), True, False, False, id="term-unset"),
    pytest.param(dict(TERM="dumb"), True, False, False, id="term-dumb"),
    pytest.param(dict(TERM=""), True, False, True, id="term-empty"),
    pytest.param(dict(TERM="xterm", NO_COLOR="1"), True, False, False, id="no-color-1"),
    pytest.param(dict(TERM="xterm", NO_COLOR="0"), True, False, False, id="no-color-0"),
    pytest.param(dict(TERM="xterm", NO_COLOR=""), True, False, True, id="no-color-empty"),
    pytest.param(dict(TERM="xterm", CLICOLOR="0"), True, False, False, id="clicolor-0"),
    pytest.param(dict(TERM="xterm", CLICOLOR="1"), True, False, True, id="clicolor-1"),
    pytest.param(dict(TERM="xterm", CLICOLOR=""), True, False, True, id="clicolor-empty"),
    pytest.param(dict(TERM="xterm", CLICOLOR="1"), False, False, False, id="clicolor-1-pipe"),
    pytest.param(dict(CLICOLOR_FORCE="1"), False, False, True, id="force-1-pipe"),
    pytest.param(dict(CLICOLOR_FORCE=""), False, False, True, id="force-empty-pipe"),
    pytest.param(dict(CLICOLOR_FORCE="yes"), False, False, True, id="force-yes-pipe"),
    pytest.param(
        dict(CLICOLOR_FORCE="1", NO_COLOR="1", CLICOLOR="0", TERM="dumb"), False, False, True,
        id="force-1-over-everything",
    ),
    pytest.param(dict(CLICOLOR_FORCE="0"), False, False, False, id="force-0-pipe"),
    pytest.param(dict(CLICOLOR_FORCE="0", TERM="xterm"), True, False, True, id="force-0-terminal"),
    pytest.param(
        dict(CLICOLOR_FORCE="0", TERM="xterm", NO_COLOR="1"), True, False, False,
        id="force-0-no-color",
    ),
    pytest.param(dict(CLICOLOR_FORCE="0", TERM="dumb"), True, False, False, id="force-0-dumb"),
    pytest.param(
        dict(TERM="xterm", COLORTERM="truecolor"), False, False, False, id="colorterm-pipe"
    ),
    pytest.param(
        dict(TERM="xterm", COLORTERM="truecolor"), True, False, True, id="colorterm-terminal"
    ),
]


@pytest.mark.parametrize(("env", "stderr_tty", "stdout_tty", "coloured"), DECISIONS)
def test_colour_decision(env, stderr_tty, stdout_tty, coloured):
    sent = run_child(
        'send(report("Version", "1..2"))',
        environment(**env),
        stderr_tty=stderr_tty,
        stdout_tty=stdout_tty,
    )
    # Colour is all or nothing: the exact coloured text, or the exact plain one.
    assert sent == (DOUBLE_DOT_COLOURED if coloured else DOUBLE_DOT_PLAIN)


@pytest.mark.parametrize(("kind", "text", "expected"), COLOURED)
def test_coloured_report(kind, text, expected):
    sent = run_child(f"send(report({kind!r}, {text!r}))", environment(CLICOLOR_FORCE="1"))
    assert sent == expected


def test_coloured_report_same_through_every_stream_setup():
    body = 'send([report("Version", "1..2"), report("Version", "1..2")])'
    for stderr_tty in (False, True):
        sent = run_child(body, environment(TERM="xterm"), stderr_tty=stderr_tty)
        expected = DOUBLE_DOT_COLOURED if stderr_tty else DOUBLE_DOT_PLAIN
        assert sent == [expected, expected]


def test_plain_and_coloured_reports_carry_the_same_text():
    body = 'send([report(k, t) for k, t in ITEMS])'
    items = [(p.values[0], p.values[1]) for p in COLOURED]
    body = f"ITEMS = {items!r}\n" + body
    plain = run_child(body, environment(TERM="dumb"))
    coloured = run_child(body, environment(CLICOLOR_FORCE="1"))
    for p, c in zip(plain, coloured, strict=True):
        assert "\x1b" not in p
        stripped = c
        for sequence in (RESET, RED, "\x1b[38;5;201m", "\x1b[38;5;240m", "\x1b[38;5;246m",
                         "\x1b[38;5;249m"):
            stripped = stripped.replace(sequence, "")
        assert "\x1b" not in stripped
        assert stripped == p


def test_label_colour_restarts_with_every_report():
    # Each report starts its colour generator again: the one label is always 201.
    body = 'send([report("Version", "1..2") for _ in range(3)] + [report("Other", "")])'
    sent = run_child(body, environment(CLICOLOR_FORCE="1"))
    assert sent[:3] == [DOUBLE_DOT_COLOURED] * 3
    assert sent[3] == COLOURED[-1].values[2]


# ---------------------------------------------------------------- decided once per process

EMPTY_SEMVER_PLAIN = plain_report(
    "SemVer", "1.2", 4, "   │ ", "   ╰─ found end of input expected digit, or '.'"
)

# (environment at start, change made after the first report, stderr a terminal,
#  first report coloured)
ONCE = [
    pytest.param(
        dict(TERM="xterm", NO_COLOR="1"), 'del os.environ["NO_COLOR"]', True, False,
        id="no-color-removed",
    ),
    pytest.param(
        dict(TERM="dumb"), 'os.environ["CLICOLOR_FORCE"] = "1"', False, False,
        id="force-added",
    ),
    pytest.param(
        dict(CLICOLOR_FORCE="1"),
        'os.environ["CLICOLOR_FORCE"] = "0"; os.environ["NO_COLOR"] = "1"', False, True,
        id="force-withdrawn",
    ),
    pytest.param(
        dict(TERM="xterm"), 'os.environ["TERM"] = "dumb"', True, True, id="term-made-dumb",
    ),
]


@pytest.mark.parametrize(("env", "change", "stderr_tty", "first_coloured"), ONCE)
def test_decision_is_kept_after_the_first_report(env, change, stderr_tty, first_coloured):
    body = f"""
        first = report("Version", "1..2")
        {change}
        send([first, report("Version", "1..2"), report("SemVer", "1.2")])
    """
    sent = run_child(body, environment(**env), stderr_tty=stderr_tty)
    double_dot = DOUBLE_DOT_COLOURED if first_coloured else DOUBLE_DOT_PLAIN
    empty_semver = COLOURED[1].values[2] if first_coloured else EMPTY_SEMVER_PLAIN
    assert sent == [double_dot, double_dot, empty_semver]


@pytest.mark.parametrize(("env", "change", "stderr_tty", "first_coloured"), ONCE)
def test_decision_waits_for_the_first_report(env, change, stderr_tty, first_coloured):
    # The same change made after import but before any report does count, so the
    # test above would see it if the decision were taken again.
    body = f"""
        {change}
        send(report("Version", "1..2"))
    """
    sent = run_child(body, environment(**env), stderr_tty=stderr_tty)
    assert sent == (DOUBLE_DOT_PLAIN if first_coloured else DOUBLE_DOT_COLOURED)


def test_successful_parses_do_not_take_the_decision():
    body = """
        package.version.Version("1.2.3")
        package.version.SemVer("1.2.3")
        os.environ["CLICOLOR_FORCE"] = "1"
        send(report("Version", "1..2"))
    """
    assert run_child(body, environment(TERM="dumb")) == DOUBLE_DOT_COLOURED
