"""The type stubs shipped with the module: where they are installed, and the
constructor keywords they declare, which stubtest cannot compare because every
constructor takes (*args, **kwargs) at run time."""

import ast
import inspect
from importlib.metadata import distribution
from pathlib import Path

import pytest

import tolvi
from support import DotSeparated, Other, SemVer

STUB_FILES = ["tolvi-stubs/__init__.pyi", "tolvi-stubs/_package/__init__.pyi",
              "tolvi-stubs/_package/version.pyi"]


def installed_files():
    return {str(f): Path(f.locate()) for f in distribution("tolvi").files}


def test_stubs_are_installed_beside_the_module():
    files = installed_files()
    module_dir = Path(tolvi.__file__).resolve().parent
    for name in STUB_FILES:
        assert name in files
        assert files[name].resolve() == module_dir / name


def keyword_forms():
    """(class name, required keywords, optional keywords) of every stub overload."""
    tree = ast.parse(installed_files()["tolvi-stubs/_package/version.pyi"].read_text())
    for node in tree.body:
        if not isinstance(node, ast.ClassDef):
            continue
        for item in node.body:
            if isinstance(item, ast.FunctionDef) and item.name == "__new__" \
                    and item.args.kwonlyargs:
                names = [a.arg for a in item.args.kwonlyargs]
                required = [n for n, d in zip(names, item.args.kw_defaults) if d is None]
                yield node.name, required, [n for n in names if n not in required]


CLASSES = {"SemVer": SemVer, "DotSeparated": DotSeparated, "Other": Other}
SAMPLES = {"major": 1, "minor": 2, "patch": 3, "rc": ["rc"], "meta": ["b"],
           "parts": ["1"], "value": "x"}


FORMS = list(keyword_forms())


def test_every_class_with_a_keyword_form_has_one_in_the_stubs():
    assert sorted(name for name, _, _ in FORMS) == sorted(CLASSES)


@pytest.mark.parametrize(("name", "required", "optional"), FORMS, ids=[f[0] for f in FORMS])
def test_stub_keywords_are_the_runtime_keywords(name, required, optional):
    cls = CLASSES[name]
    # The keywords are the fields, in the order of the class's properties.
    assert required + optional == [n for n, member in vars(cls).items()
                                   if inspect.isgetsetdescriptor(member)]
    everything = {k: SAMPLES[k] for k in required + optional}
    assert type(cls(**everything)) is cls
    assert type(cls(**{k: SAMPLES[k] for k in required})) is cls
    for missing in required:
        with pytest.raises((TypeError, ValueError), match=f"'{missing}'"):
            cls(**{k: v for k, v in everything.items() if k != missing})


COMPARISONS = {"__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__"}


def documented_members():
    """(class, member, docstring) of each constructor form, property getter and
    comparison in the stubs, which an editor shows on hover."""
    tree = ast.parse(installed_files()["tolvi-stubs/_package/version.pyi"].read_text())
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            for item in node.body:
                if not isinstance(item, ast.FunctionDef):
                    continue
                getter = any(isinstance(d, ast.Name) and d.id == "property"
                             for d in item.decorator_list)
                if item.name == "__new__" or item.name in COMPARISONS or getter:
                    yield node.name, item.name, ast.get_docstring(item)


MEMBERS = list(documented_members())


def test_every_constructor_form_property_and_comparison_is_in_the_table():
    counted = {}
    for name, member, _ in MEMBERS:
        counted[name] = counted.get(name, 0) + 1
    # One form (Version) or two, the properties, and the six comparisons.
    assert counted == {"Version": 1 + 6, "SemVer": 2 + 5 + 6, "DotSeparated": 2 + 1 + 6,
                       "Other": 2 + 1 + 6}


@pytest.mark.parametrize(("name", "member", "doc"), MEMBERS,
                         ids=[f"{name}.{member}" for name, member, _ in MEMBERS])
def test_stub_members_say_what_they_take_and_raise(name, member, doc):
    assert doc, f"{name}.{member} has no docstring"
    if member == "__new__" or member in COMPARISONS - {"__eq__", "__ne__"}:
        assert "Raises " in doc
