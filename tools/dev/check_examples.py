"""Checks the examples of Markdown pages (README.md and the site's pages under
docs/) against the installed `tolvi`: their types under mypy --strict, and what
they print.

    python tools/dev/check_examples.py [PAGE.md ...]     # README.md when none is named

- A ```python block is a program. It runs in a fresh interpreter, from a
  temporary directory. A ```text block right after it holds what it prints when
  the line before that block ends in "prints", and the end of its standard
  error (the exception that stops it) when that line ends in "raises"; a program
  with neither runs silently. Blanks at the ends of lines and blank lines at the
  end are not compared.
- The ```pycon blocks of a page are one interactive session: doctest runs their
  examples in order, in one namespace, with ELLIPSIS on.

Colour is off for both, wherever their output goes. mypy checks each program,
and each page's session, each line at its line number on the page, so that the
line numbers it reports are those of the page; one run of mypy checks every
page. It runs in strict mode from the interpreter that runs this script, so it
sees that interpreter's installed module and its stubs, and from a temporary
directory with a configuration of its own, so that no file of the work tree
stands in for them. Exits with 1 when a check fails, or when a page named has no
example.

Needs the installed module and the typing tools (requirements-typing.txt).
"""

import difflib
import doctest
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

README = Path(__file__).resolve().parents[2] / "README.md"
FENCE = re.compile(r"^\s*(`{3,}|~{3,})\s*([\w+-]*)")
PROGRAM_LANGUAGES = ("python", "py", "python3")
OUTCOMES = ("prints", "raises")


def fenced_blocks(text):
    """Yields (language, first line number, lines, last line of prose before it)."""
    lines = text.splitlines()
    i, prose = 0, ""
    while i < len(lines):
        opening = FENCE.match(lines[i])
        i += 1
        if not opening:
            prose = lines[i - 1].strip() or prose
            continue
        fence, language = opening.groups()
        start = i
        while i < len(lines) and not lines[i].strip().startswith(fence):
            i += 1
        yield language.lower(), start + 1, lines[start:i], prose
        prose = ""
        i += 1


def examples(text, name):
    """The programs, as dicts of their first line, source and expected outcomes,
    and the doctest examples of the session, numbered from 0 for the page's line 1."""
    programs, session, program = [], [], None
    for language, first_line, lines, prose in fenced_blocks(text):
        words = prose.rstrip(":").split()
        if language in PROGRAM_LANGUAGES:
            program = {"line": first_line, "source": "\n".join(lines) + "\n",
                       "prints": [], "raises": []}
            programs.append(program)
        elif program and language == "text" and words and words[-1] in OUTCOMES:
            program[words[-1]] = lines
        else:
            program = None
            if language == "pycon":
                for example in doctest.DocTestParser().get_examples("\n".join(lines) + "\n", name):
                    example.lineno += first_line - 1
                    session.append(example)
    return programs, session


def session_source(session):
    """The session's statements, each line at its line number on the page."""
    lines = []
    for example in session:
        for offset, line in enumerate(example.source.splitlines()):
            lines += [""] * (example.lineno + offset + 1 - len(lines))
            lines[example.lineno + offset] = line
    return "\n".join(lines) + "\n"


def trimmed(lines):
    """The lines without trailing blanks, and without the blank lines at the end."""
    lines = [line.rstrip() for line in lines]
    while lines and not lines[-1]:
        lines.pop()
    return lines


def difference(expected, actual, what):
    expected, actual = trimmed(expected), trimmed(actual)
    if expected == actual:
        return ""
    return "".join(difflib.unified_diff(
        [s + "\n" for s in expected], [s + "\n" for s in actual],
        f"{what} on the page", f"{what} of the example"))


def run_program(program, path):
    """What differs between the program's outcome and the page's, or ""."""
    result = subprocess.run([sys.executable, "-P", path.name], cwd=path.parent,
                            capture_output=True, text=True, timeout=600, check=False)
    problems = difference(program["prints"], result.stdout.splitlines(), "standard output")
    raises, errors = program["raises"], trimmed(result.stderr.splitlines())
    if not raises and (result.returncode or errors):
        problems += f"exit status {result.returncode}:\n{result.stderr}"
    elif raises:
        if not result.returncode:
            problems += "ran to its end, raising nothing\n"
        problems += difference(raises, errors[-len(raises):], "end of standard error")
    return problems


def main(pages):
    found = {page: examples(page.read_text(encoding="utf-8"), page.name) for page in pages}
    if not any(programs or session for programs, session in found.values()):
        print(f"{', '.join(map(str, pages))}: no Python example found", file=sys.stderr)
        return 1
    for name in ("CLICOLOR_FORCE", "CLICOLOR"):
        os.environ.pop(name, None)
    os.environ["NO_COLOR"] = "1"  # for the programs, and the sessions in this process
    differ = 0
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        config = tmp / "mypy.ini"
        config.write_text("[mypy]\n", encoding="utf-8")
        files, names = {}, {}
        for index, (page, (programs, session)) in enumerate(found.items()):
            for number, program in enumerate(programs, 1):
                path = tmp / f"page{index}_example_{number}.py"
                path.write_text("\n" * (program["line"] - 1) + program["source"], encoding="utf-8")
                files[page, number] = path
            if session:
                path = tmp / f"page{index}_session.py"
                path.write_text(session_source(session), encoding="utf-8")
                files[page, 0] = path
            names[f"page{index}"] = str(page)
        result = subprocess.run(
            [sys.executable, "-m", "mypy", "--strict", "--config-file", config.name,
             "--cache-dir", str(tmp / "cache"), *(f.name for f in files.values())],
            cwd=tmp, capture_output=True, text=True, check=False)
        report = re.sub(r"(page\d+)_(example_\d+|session)\.py", lambda m: names[m[1]], result.stdout)
        print(f"mypy: {report}", end="")
        print(result.stderr, end="", file=sys.stderr)
        for page, (programs, session) in found.items():
            for number, program in enumerate(programs, 1):
                problems = run_program(program, files[page, number])
                if problems:
                    print(f"{page}:{program['line']}: the program's outcome differs\n{problems}")
                    differ += 1
            if session:
                test = doctest.DocTest(session, {"__name__": "__main__"}, page.name, str(page), 0, None)
                differ += doctest.DocTestRunner(optionflags=doctest.ELLIPSIS).run(test).failed
            print(f"{page}: {len(programs)} program(s), {len(session)} session example(s)")
    print(f"{differ or 'no'} outcome(s) differ from their pages'")
    return int(result.returncode != 0 or differ > 0)


if __name__ == "__main__":
    sys.exit(main([Path(arg) for arg in sys.argv[1:]] or [README]))
