"""Type-checks the Python examples of README.md against the installed `tolvi`.

Each ```python block is written to a file of its own, preceded by as many blank
lines as the README has before it, so that the line numbers mypy reports are
README line numbers. mypy runs in strict mode from the interpreter that runs
this script, so it sees that interpreter's installed module and its stubs, and
from a temporary directory with a configuration of its own, so that no file of
the work tree stands in for them. An argument names another Markdown file to
check instead. Exits with mypy's status, or 1 when there is no Python example.
"""

import re
import subprocess
import sys
import tempfile
from pathlib import Path

README = Path(__file__).resolve().parent.parent / "README.md"
FENCE = re.compile(r"^\s*(`{3,}|~{3,})\s*([\w+-]*)")


def python_blocks(text):
    """Yields (first line number, source) for every ```python block."""
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        opening = FENCE.match(lines[i])
        i += 1
        if not opening:
            continue
        fence, language = opening.groups()
        start = i
        while i < len(lines) and not lines[i].strip().startswith(fence):
            i += 1
        if language.lower() in ("python", "py", "python3"):
            yield start + 1, "\n".join(lines[start:i]) + "\n"
        i += 1


def main(readme=README):
    blocks = list(python_blocks(readme.read_text(encoding="utf-8")))
    if not blocks:
        print(f"{readme.name}: no Python example found", file=sys.stderr)
        return 1
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        config = tmp / "mypy.ini"
        config.write_text("[mypy]\n", encoding="utf-8")
        files = []
        for number, (first_line, source) in enumerate(blocks, 1):
            path = tmp / f"readme_example_{number}.py"
            path.write_text("\n" * (first_line - 1) + source, encoding="utf-8")
            files.append(path.name)
        result = subprocess.run(
            [sys.executable, "-m", "mypy", "--strict", "--config-file", config.name,
             "--cache-dir", str(tmp / "cache"), *files],
            cwd=tmp, capture_output=True, text=True, check=False)
    report = re.sub(r"readme_example_\d+\.py", readme.name, result.stdout)
    print(f"{readme.name}, {len(blocks)} Python example(s): {report}", end="")
    print(result.stderr, end="", file=sys.stderr)
    return result.returncode


if __name__ == "__main__":
    sys.exit(main(*map(Path, sys.argv[1:2])))
