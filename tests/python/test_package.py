"""The package as users' tools see it: type stubs that name what the package has, and,
when the suite runs against a pip install (GLEBIX_INSTALLED), that install."""

import ast
import inspect
import os
import pathlib
import sys

import pytest

import glebix

PACKAGE = pathlib.Path(glebix.__file__).parent
REPO = pathlib.Path(__file__).resolve().parents[2]
STUB = ast.parse((PACKAGE / "__init__.pyi").read_text())

_KINDS = {"posonlyargs": "POSITIONAL_ONLY", "args": "POSITIONAL_OR_KEYWORD", "kwonlyargs": "KEYWORD_ONLY"}


def public(names):
    """The names without a leading underscore, and the dunder names (__version__)."""
    return {name for name in names if not name.startswith("_") or name.endswith("__")}


def defined(body):
    """The names a stub body defines, by name: their functions or classes (None for values)."""
    out = {}
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            out[node.name] = node
        elif isinstance(node, ast.AnnAssign):
            out[node.target.id] = None
    return out


def stub_parameters(function):
    """(name, kind) of a stub function's parameters, without self or cls."""
    args = function.args
    out = [(a.arg, kind) for field, kind in _KINDS.items() for a in getattr(args, field)]
    if args.vararg:
        out.insert(len(args.posonlyargs) + len(args.args), (args.vararg.arg, "VAR_POSITIONAL"))
    if args.kwarg:
        out.append((args.kwarg.arg, "VAR_KEYWORD"))
    return [p for p in out if p[0] not in ("self", "cls")]


def runtime_parameters(function):
    """(name, kind) of a function's parameters; a compiled one's come from the signature
    its docstring starts with."""
    if not (inspect.isfunction(function) or inspect.ismethod(function)):
        return stub_parameters(ast.parse(f"def {function.__doc__.splitlines()[0]}: ...").body[0])
    return [(p.name, p.kind.name) for p in inspect.signature(function).parameters.values()
            if p.name not in ("self", "cls")]


TOP = defined(STUB.body)
SIMULATION = defined(TOP["Simulation"].body)


def test_the_stubs_name_every_public_name_and_no_other():
    assert public(TOP) == set(glebix.__all__)
    methods = {name for name in dir(glebix.Simulation) if not name.startswith("_")}
    assert public(SIMULATION) == methods | {"__init__"}


def python_functions():
    """(stub, function) of run, sweep and the methods of Simulation."""
    for name in ("run", "sweep"):
        yield pytest.param(TOP[name], getattr(glebix, name), id=name)
    for name, node in SIMULATION.items():
        found = inspect.getattr_static(glebix.Simulation, name, None)
        if found is not None and not isinstance(found, property):
            yield pytest.param(node, getattr(glebix.Simulation, name), id=f"Simulation.{name}")


@pytest.mark.parametrize("stub, function", list(python_functions()))
def test_stub_signatures_take_the_parameters_the_functions_take(stub, function):
    assert stub_parameters(stub) == runtime_parameters(function)


def test_editors_are_told_the_package_is_typed():
    assert (PACKAGE / "py.typed").is_file()


@pytest.mark.skipif(not os.environ.get("GLEBIX_INSTALLED"), reason="only against a pip install (scripts/test-pip.sh)")
def test_the_package_comes_from_the_virtual_environment():
    assert sys.prefix != sys.base_prefix
    assert PACKAGE.is_relative_to(sys.prefix) and not PACKAGE.is_relative_to(REPO)
