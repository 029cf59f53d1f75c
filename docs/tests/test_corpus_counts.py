"""The line counts of data/corpus that the pages state are those of its files."""

import re

from conftest import ROOT

CORPUS = ROOT / "data" / "corpus"
PAGES = [ROOT / "README.md", ROOT / "CONTRIBUTING.md", *sorted((ROOT / "docs").glob("*.md"))]


def lines(*names):
    return sum(len((CORPUS / name).read_text(encoding="utf-8").splitlines()) for name in names)


def test_stated_counts_are_the_files():
    benchmarked = lines("pypi-versions.txt", "npm-versions.txt")  # benchmarks/libraries.py
    everything = lines(*(p.name for p in CORPUS.glob("*.txt")))  # what the demo reads
    debian = lines("debian-and-pip-versions.txt")
    stated = {(page.name, number) for page in PAGES
              for number in re.findall(r"(\d{1,3}(?:,\d{3})+) (?:lines|Debian)", page.read_text(encoding="utf-8"))}
    assert {number for _, number in stated} == {f"{benchmarked:,}", f"{everything:,}", f"{debian:,}"}, stated
