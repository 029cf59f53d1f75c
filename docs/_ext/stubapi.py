"""The API reference, read from the type stubs that the wheel ships, so that the
site and an editor's hover show one text.

    .. stub-module:: tolvi.package.version
       :file: _package/version.pyi

renders the module of that name from that stub file (a path under the folder
that the setting `stubapi_root` names): its docstring, then its public classes
and functions in the file's order, each with its signatures and docstrings, a
class with its constructor's overloads, properties, methods and attributes.
The stubs' docstrings are plain text with `code` in backticks, not
reStructuredText: their punctuation is escaped, so that they read as written.
"""

import ast
import inspect
import re
from pathlib import Path

from docutils import nodes
from docutils.parsers.rst import directives
from docutils.statemachine import StringList
from sphinx.util.docutils import SphinxDirective

CODE = re.compile(r"`([^`]+)`")
PUNCTUATION = re.compile(r"([^\w\s])")
INDENT = "   "


def plain(text):
    """A docstring's text as reStructuredText that shows it as written."""
    pieces = CODE.split(inspect.cleandoc(text))
    return "".join(f"``{piece}``" if odd else PUNCTUATION.sub(r"\\\1", piece)
                   for odd, piece in ((i % 2, p) for i, p in enumerate(pieces)))


def docstring(node):
    text = ast.get_docstring(node, clean=False)
    return plain(text).splitlines() if text else []


def public(name):
    return not name.startswith("_") or (name.startswith("__") and name.endswith("__"))


def decorated(function, name):
    return any((isinstance(d, ast.Name) and d.id == name)
               or (isinstance(d, ast.Attribute) and d.attr == name)
               for d in function.decorator_list)


def signature(function, drop_first):
    """The parameters and return annotation, without self or cls."""
    arguments = function.args
    if drop_first:
        arguments = ast.arguments(**{field: list(getattr(arguments, field))
                                     for field in ("posonlyargs", "args", "kwonlyargs",
                                                   "kw_defaults", "defaults")},
                                  vararg=arguments.vararg, kwarg=arguments.kwarg)
        (arguments.posonlyargs or arguments.args).pop(0)
    returns = f" -> {ast.unparse(function.returns)}" if function.returns else ""
    return f"({ast.unparse(arguments)}){returns}"


def indented(lines, depth=1):
    return [INDENT * depth + line if line else "" for line in lines]


def overloads(body):
    """The functions of a body grouped by name, in the order of their first definition."""
    groups = {}
    for node in body:
        if isinstance(node, ast.FunctionDef) and public(node.name):
            groups.setdefault(node.name, []).append(node)
    return groups


def function_lines(kind, name, group, drop_first):
    """A function or method: every overload's signature, then each one's docstring."""
    # A class's signatures are its constructor's, without the "-> Self".
    texts = [signature(f, drop_first) for f in group]
    if kind == "class":
        texts = [text.split(" -> ")[0] for text in texts]
    first, *more = [f"{name}{text}" for text in texts]
    lines = [f".. py:{kind}:: {first}"] + [" " * len(f".. py:{kind}:: ") + line for line in more]
    if kind == "class":
        lines.append(f"{INDENT}:final:")
    lines.append("")
    return lines, [docstring(f) for f in group]


def class_lines(node):
    members = overloads(node.body)
    constructors = members.pop("__new__", [])
    lines, constructor_docs = function_lines("class", node.name, constructors, drop_first=True)
    body = docstring(node) + [""]
    for function, text in zip(constructors, constructor_docs):
        if len(constructors) > 1:
            body += [f"``{node.name}{signature(function, drop_first=True).split(' -> ')[0]}``:", ""]
        body += text + [""]
    for statement in node.body:
        if (isinstance(statement, ast.AnnAssign) and isinstance(statement.target, ast.Name)
                and public(statement.target.id)):
            body += [f".. py:attribute:: {statement.target.id}",
                     f"{INDENT}:type: {ast.unparse(statement.annotation)}", ""]
    for name, group in members.items():
        getters = [f for f in group if decorated(f, "property")]
        if getters:
            setters = [f for f in group if decorated(f, "setter")]
            body += [f".. py:property:: {name}",
                     f"{INDENT}:type: {ast.unparse(getters[0].returns)}", ""]
            body += indented(docstring(getters[0]))
            for setter in setters:
                body += ["", INDENT + f":Set to: ``{ast.unparse((setter.args.posonlyargs + setter.args.args)[-1].annotation)}``"]
            body.append("")
            continue
        method, docs = function_lines("method", name, group, drop_first=True)
        body += method
        for text in docs:
            body += indented(text) + [""]
    return lines + indented(body)


class StubModule(SphinxDirective):
    required_arguments = 1
    option_spec = {"file": directives.unchanged_required}

    def run(self):
        path = Path(self.config.stubapi_root) / self.options["file"]
        self.env.note_dependency(str(path))
        tree = ast.parse(path.read_text(encoding="utf-8"), str(path))
        lines = [f".. py:module:: {self.arguments[0]}", ""] + docstring(tree) + [""]
        for name, group in overloads(tree.body).items():
            function, docs = function_lines("function", name, group, drop_first=False)
            lines += function
            for text in docs:
                lines += indented(text) + [""]
        for node in tree.body:
            if isinstance(node, ast.ClassDef) and public(node.name):
                lines += class_lines(node) + [""]
        container = nodes.container()
        self.state.nested_parse(StringList(lines, str(path)), self.content_offset, container)
        return container.children


def setup(app):
    app.add_config_value("stubapi_root", None, "env")
    app.add_directive("stub-module", StubModule)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
