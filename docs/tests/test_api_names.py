"""Every public name of the installed module has its entry in the built API
reference, and every signature of the stubs is shown there."""

import ast
import html
import inspect
import re

import pytest

import tolvi
from conftest import ROOT, parse

STUBS = ROOT / "stubs" / "tolvi-stubs"
MODULES = {"tolvi": tolvi, "tolvi.package": tolvi.package,
           "tolvi.package.version": tolvi.package.version}
NOT_ENTRIES = {"__doc__", "__module__", "__new__"}  # __new__: the class's own signature


def public_names():
    """(the entry's id, what it is) for each public name, as the module has them at
    run time: the names of each module's __all__, and each class's attributes."""
    names = []
    for module_name, module in MODULES.items():
        for name in module.__all__:
            value, full = getattr(module, name), f"{module_name}.{name}"
            if inspect.ismodule(value):
                names.append((f"module-{full}", "module"))
                continue
            names.append((full, type(value).__name__))
            if inspect.isclass(value):
                names += [(f"{full}.{attribute}", "attribute") for attribute in vars(value)
                          if attribute not in NOT_ENTRIES]
    return names


def stub_signatures():
    """(the entry's id, its parameter names) for every function, method and
    constructor overload of the stubs."""
    files = {"tolvi": "__init__.pyi", "tolvi.package.version": "_package/version.pyi"}
    for module, file in files.items():
        for node in ast.parse((STUBS / file).read_text(encoding="utf-8")).body:
            functions = [(f"{module}.{node.name}", node)] if isinstance(node, ast.FunctionDef) else []
            if isinstance(node, ast.ClassDef):
                functions = [(f"{module}.{node.name}" + ("" if f.name == "__new__" else f".{f.name}"), f)
                             for f in node.body if isinstance(f, ast.FunctionDef)
                             and not any(getattr(d, "attr", "") == "setter" for d in f.decorator_list)]
            for entry, function in functions:
                arguments = function.args.posonlyargs + function.args.args + function.args.kwonlyargs
                yield entry, [a.arg for a in arguments if a.arg not in ("self", "cls")]


@pytest.fixture(scope="module")
def reference(site):
    return parse(site / "api.html")


@pytest.mark.parametrize("entry, what", public_names())
def test_public_name_has_an_entry(reference, entry, what):
    assert entry in reference.ids(), f"{what} {entry} is missing from the API reference"


@pytest.mark.parametrize("entry, parameters", list(stub_signatures()))
def test_signature_is_shown(reference, entry, parameters):
    shown = reference.entries[entry]
    for name in parameters:
        assert f"{name}:" in shown, f"{entry}: parameter {name} missing from {shown!r}"


def stub_docstrings():
    for file in sorted(STUBS.rglob("*.pyi")):
        for node in ast.walk(ast.parse(file.read_text(encoding="utf-8"))):
            if isinstance(node, ast.Module | ast.ClassDef | ast.FunctionDef) and ast.get_docstring(node):
                yield " ".join(ast.get_docstring(node).replace("`", "").split())


@pytest.mark.parametrize("docstring", list(stub_docstrings()))
def test_docstring_is_shown_as_written(site, docstring):
    page = html.unescape(re.sub(r"<[^>]+>", "", (site / "api.html").read_text(encoding="utf-8")))
    assert docstring in " ".join(page.split())
