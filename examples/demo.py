"""A short tour of tolvi: parse, sort, print, and a report for a bad string."""

import os

# Show the error report in colour even when standard error is not a terminal.
os.environ.setdefault("CLICOLOR_FORCE", "1")

from tolvi import package  # noqa: E402

Version = package.version.Version

versions = [Version(s) for s in ["1.10.0", "1.2.0", "1.2.0-rc.1", "2024.01", "nightly_build", "1.2.0+exp"]]
for v in sorted(versions):
    print(f"{str(v):15} {v!r}")

print()
print(Version("1.2.0") == Version("1.2.0+exp"), Version("1.2.0-rc.1") < Version("1.2.0"))
print()
try:
    Version("1.2.3-rc..1")
except RuntimeError as error:
    print(error)
