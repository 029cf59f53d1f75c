"""Runs mypy's stubtest on the stubs of the installed `tolvi`.

`tolvi.package` and `tolvi.package.version` are module objects held as
attributes, not importable submodules, and their stubs sit under the private
name `tolvi._package`, so that type checkers refuse the dotted imports as the
interpreter does. stubtest reaches every module of the stubs by importing it:
entering the two objects in `sys.modules` under the names of their stubs, in
this process only, lets it compare them like any other module.

stubtest fails on any mypy error in the stubs, so the configuration given to it
also asks for every parameter and result to be annotated. Its cache goes to a
temporary directory rather than the current one. Further arguments are passed
on to stubtest (`--allowlist FILE`, for instance).

Needs the installed module and mypy's stubtest (requirements-typing.txt).
"""

import sys
import tempfile
from pathlib import Path

import tolvi
from mypy.stubtest import parse_options, test_stubs

sys.modules["tolvi._package"] = tolvi.package
sys.modules["tolvi._package.version"] = tolvi.package.version

with tempfile.TemporaryDirectory() as tmp:
    config = Path(tmp) / "mypy.ini"
    config.write_text(
        "[mypy]\n"
        f"cache_dir = {Path(tmp) / 'cache'}\n"
        "disallow_untyped_defs = True\n"
        "disallow_incomplete_defs = True\n"
        "disallow_any_generics = True\n"
        "disallow_any_explicit = True\n"
        "warn_unused_ignores = True\n",
        encoding="utf-8")
    arguments = ["tolvi", "--mypy-config-file", str(config), *sys.argv[1:]]
    status = test_stubs(parse_options(arguments))
sys.exit(status)
