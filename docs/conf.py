"""Sphinx's settings for tolvi's site: `make docs` builds it into build/docs."""

import sys
import tomllib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(Path(__file__).resolve().parent / "_ext"))

project = "tolvi"
author = "The tolvi developers"
copyright = "2026, The tolvi developers (MIT License)"
release = tomllib.loads((ROOT / "pyproject.toml").read_text(encoding="utf-8"))["project"]["version"]
version = release

# Markdown pages, so that tools/dev/check_examples.py runs their examples as it runs
# the README's; the API reference is read from the shipped stubs (stubapi).
extensions = ["myst_parser", "stubapi"]
source_suffix = {".md": "markdown", ".rst": "restructuredtext"}
root_doc = "index"
exclude_patterns = ["tests", "_ext"]
myst_heading_anchors = 3
stubapi_root = ROOT / "stubs" / "tolvi-stubs"

# A block without a language is plain text: the reports' box-drawing characters
# are no code.
highlight_language = "text"
html_theme = "furo"
html_title = f"tolvi {release}"
# Tables sized to the text column (_static/tolvi.css).
html_static_path = ["_static"]
html_css_files = ["tolvi.css"]
html_favicon = "favicon.svg"  # also spares the browser a request for a missing /favicon.ico
html_show_sourcelink = False
html_copy_source = False
# Quotes, dashes and the texts of messages are shown as the module writes them.
smartquotes = False
