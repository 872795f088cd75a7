#!/usr/bin/python3
"""Writes the type stubs vexmar/__init__.pyi from the class table of the built module.

    make_stubs.py OUTPUT      (with the built package on PYTHONPATH)

Every class of the table becomes a typing-only class with its properties and methods,
typed after the table and documented with its help strings, and Dispatch/CreateObject
get one overload per ProgID and CLSID, so that editors complete member names.
"""
import sys

from vexmar import _vexmar

ARGUMENT = {
    "str": "StrArg",
    "int": "int",
    "float": "float",
    "bool": "bool",
    "strlist": "StrListArg",
    "collection": "Collection | None",
}
RESULT = {
    "none": "None",
    "str": "str",
    "int": "int",
    "float": "float",
    "bool": "bool",
    "strlist": "tuple[str, ...] | None",
    "collection": "Collection | None",
}

HEADER = '''\
# Generated from the class table by python/make_stubs.py; do not edit.
# The classes named after the contract's classes exist for type checking only: at run
# time every object is a vexmar.Object whose members are looked up by name.
import os
from typing import Any, Iterator, Literal, overload

StrArg = str | bytes | os.PathLike[str] | os.PathLike[bytes]
StrListArg = tuple[StrArg, ...] | list[StrArg] | None

class Error(Exception):
    """An error that escaped a member: number, description (Chinese), hresult."""
    number: int
    description: str
    hresult: int
    def __init__(self, number: int, description: str, hresult: int | None = ...) -> None: ...

class Method:
    def __call__(self, *args: Any) -> Any: ...

class Object:
    """An object of the library; members by name, letter case ignored."""
    def __getattr__(self, name: str) -> Any: ...
    def __setattr__(self, name: str, value: Any) -> None: ...

class Collection(Object):
    """An ordered collection: Item(i) 1-based; [i] 0-based as a Python sequence."""
    def __init__(self) -> None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Any]: ...
    def __getitem__(self, index: int) -> Any: ...
'''


def docstring(text, indent):
    return [indent + '"""' + text + '"""'] if text else []


def collection_members():
    lines = []
    for m in _vexmar._collection_members():
        if m["kind"] == "get":
            lines += ["    @property", "    def %s(self) -> int:" % m["name"]]
        else:
            param = ", %s: Any" % m["parameter"] if m["parameter"] else ""
            lines.append("    def %s(self%s) -> Any:" % (m["name"], param))
        lines += docstring(m["help"], "        ") + ["        ..."]
    return lines


def method(m):
    params = "".join(", %s: %s" % (n, ARGUMENT[t]) for n, t, _ in m["parameters"])
    outs = [RESULT[t] for _, t, d in m["parameters"] if d == "inout"]
    results = ([] if m["result"] == "none" else [RESULT[m["result"]]]) + outs
    if not results:
        result = "None"
    elif len(results) == 1:
        result = results[0]
    else:
        result = "tuple[%s]" % ", ".join(results)
    return ["    def %s(self%s) -> %s:" % (m["name"], params, result)]


def class_stub(cls):
    lines = ["", "class %s(Object):" % cls["name"]]
    lines += docstring("%s, CLSID %s" % (cls["prog_id"], cls["clsid"]), "    ")
    # One block per name in table order; a property's setter must follow its getter.
    names = list(dict.fromkeys(m["name"] for m in cls["members"]))
    for name in names:
        entries = {m["kind"]: m for m in cls["members"] if m["name"] == name}
        if "method" in entries:
            m = entries["method"]
            lines += method(m) + docstring(m["help"], "        ") + ["        ..."]
            continue
        if "get" not in entries:
            continue  # a write-only property cannot be declared; Object.__setattr__ takes it
        get = entries["get"]
        lines += ["    @property", "    def %s(self) -> %s:" % (name, RESULT[get["result"]])]
        lines += docstring(get["help"], "        ") + ["        ..."]
        put = entries.get("put") or entries.get("putref")
        if put:
            lines += ["    @%s.setter" % name,
                      "    def %s(self, value: %s) -> None: ..." % (name, ARGUMENT[put["parameters"][0][1]])]
    return lines


def dispatch_overloads(classes):
    lines = [""]
    for function in ("Dispatch", "CreateObject"):
        for cls in classes:
            names = ", ".join('"%s"' % n for n in (cls["prog_id"], cls["clsid"]))
            lines += ["@overload", "def %s(progid_or_clsid: Literal[%s]) -> %s: ..." % (function, names, cls["name"])]
        lines += ["@overload", "def %s(progid_or_clsid: str | Object) -> Object: ..." % function]
    lines += [
        "def list_worksheets(path: StrArg) -> list[str] | None:",
        '    """Worksheet names in tab order; None for a file that is not a workbook."""',
        "    ...",
        "def sorted_in_listing_order(names: Any) -> list[str]: ...",
    ]
    return lines


def main():
    classes = _vexmar._class_table()
    lines = HEADER.rstrip("\n").split("\n") + collection_members()
    for cls in classes:
        lines += class_stub(cls)
    lines += dispatch_overloads(classes)
    with open(sys.argv[1], "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
