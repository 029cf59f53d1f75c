"""The manual's tests read the site that `make docs` built, in $DOCS_BUILD
(build/docs by default)."""

import os
from html.parser import HTMLParser
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


class Elements(HTMLParser):
    """The attributes of every element of a page, and the text of the <dt> that
    has an id, an entry of the API reference: its signature, and those of the
    <dt> without an id that follow it, its other overloads."""

    def __init__(self):
        super().__init__()
        self.attributes, self.entries, self._entry, self._last = [], {}, None, None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.attributes.append((tag, attrs))
        if tag == "dt" and "sig" in attrs.get("class", "").split():
            self._last = attrs.get("id", self._last)
            self._entry = (self._last, [self.entries.get(self._last, ""), " "])

    def handle_endtag(self, tag):
        if tag == "dt" and self._entry:
            name, pieces = self._entry
            self.entries[name] = " ".join("".join(pieces).split())
            self._entry = None

    def handle_data(self, data):
        if self._entry:
            self._entry[1].append(data)

    def ids(self):
        return {attrs["id"] for _, attrs in self.attributes if "id" in attrs}


def parse(path):
    parser = Elements()
    parser.feed(path.read_text(encoding="utf-8"))
    return parser


@pytest.fixture(scope="session")
def site():
    path = ROOT / os.environ.get("DOCS_BUILD", "build/docs")
    assert (path / "index.html").is_file(), f"no site in {path}: run make docs first"
    return path
