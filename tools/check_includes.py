#!/usr/bin/env python3
"""Checks the include graph of vexmar/: no include runs back up the layer order (the
subsystems', and inside workbook/ its folders'), and no cycle between files or between
folders (subfolders of workbook/ count as folders).

Usage: tools/check_includes.py [--report] [root]
Exits 1 and names the offending includes or cycle when the graph is not a clean ladder.
"""
import os
import re
import sys

# Layer order, lowest first: a folder may include its own files and those of folders
# before it. Kept in step with VEXMAR_SUBSYSTEM_DIRS in vexmar/CMakeLists.txt.
LAYERS = ["component", "text", "platform", "workbook", "sheets", "names", "multifile",
          "dispatch", "capi", "com"]
# Inside workbook/, by container, then format, lowest rung first: a folder may include
# its own files and those of folders on lower rungs. The formats share a rung, so none
# of them reaches into another; detection, which tells a file's format, is on top.
WORKBOOK_RUNGS = [
    ["workbook"],  # the file source, streams, failure kinds, limits every reader uses
    ["workbook/crypto", "workbook/xml"],
    ["workbook/containers"],
    ["workbook/xls", "workbook/ooxml", "workbook/opendocument", "workbook/spreadsheetml",
     "workbook/plain"],
    ["workbook/detection"],
]
INCLUDE = re.compile(r'^\s*#\s*include\s+"(vexmar/[^"]+)"', re.M)


def folder_of(path):
    parts = path.split("/")  # vexmar/<layer>/[<sub>/]file
    if len(parts) <= 2:
        return "vexmar"
    if parts[1] == "workbook" and len(parts) > 3:
        return "workbook/" + parts[2]
    return parts[1]


def layer_of(path):
    parts = path.split("/")
    return parts[1] if len(parts) > 2 else None


def rung_of(folder):
    for rung, folders in enumerate(WORKBOOK_RUNGS):
        if folder in folders:
            return rung
    return None


def workbook_problem(source, target):
    """Why an include between two workbook/ folders runs the wrong way, or None."""
    a, b = folder_of(source), folder_of(target)
    if a == b or not (a.startswith("workbook") and b.startswith("workbook")):
        return None
    if rung_of(a) is None or rung_of(b) is None:
        return f"{source}: folder {a if rung_of(a) is None else b} has no rung in WORKBOOK_RUNGS"
    if rung_of(b) == rung_of(a):
        return f"{source}: includes {target}, a folder on the same rung"
    if rung_of(b) > rung_of(a):
        return f"{source}: includes {target}, a folder above it"
    return None


def read_graph(root):
    graph = {}
    for base, _, files in os.walk(os.path.join(root, "vexmar")):
        for name in files:
            if not name.endswith((".hpp", ".cpp", ".h", ".inc")):
                continue
            full = os.path.join(base, name)
            rel = os.path.relpath(full, root).replace(os.sep, "/")
            with open(full, encoding="utf-8") as f:
                graph[rel] = INCLUDE.findall(f.read())
    return graph


def tangles(edges):
    """The strongly connected groups of more than one node: each is one or more cycles."""
    index, low, on_stack, stack, groups = {}, {}, set(), [], []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in edges.get(node, ()):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                group.append(top)
                if top == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    sys.setrecursionlimit(10000)
    for node in sorted(edges):
        if node not in index:
            visit(node)
    return sorted(groups)


def main(argv):
    report = "--report" in argv
    args = [a for a in argv if a != "--report"]
    root = args[0] if args else os.path.join(os.path.dirname(__file__), "..")
    graph = read_graph(root)
    problems = []
    for source, includes in sorted(graph.items()):
        source_layer = layer_of(source)
        for target in includes:
            problem = workbook_problem(source, target)
            if problem:
                problems.append(problem)
            target_layer = layer_of(target)
            if source_layer is None or target_layer is None or source_layer == target_layer:
                continue
            if source_layer not in LAYERS or target_layer not in LAYERS:
                problems.append(f"{source}: unknown layer in include of {target}")
            elif LAYERS.index(target_layer) > LAYERS.index(source_layer):
                problems.append(f"{source}: includes {target}, a layer above it")
    file_edges = {s: {t for t in inc if t in graph and t != s} for s, inc in graph.items()}
    # A header and its source file are one unit: a.hpp including b.hpp while b.cpp
    # includes a.hpp is a loop between the two units.
    unit = lambda path: os.path.splitext(path)[0]
    unit_edges = {}
    for source, targets in file_edges.items():
        for target in targets:
            if unit(source) != unit(target):
                unit_edges.setdefault(unit(source), set()).add(unit(target))
    for group in tangles(unit_edges):
        problems.append("include loop between files: " + ", ".join(group))
    folder_edges = {}
    for source, targets in file_edges.items():
        for target in targets:
            a, b = folder_of(source), folder_of(target)
            if a != b:
                folder_edges.setdefault(a, set()).add(b)
    for group in tangles(folder_edges):
        problems.append("include loop between folders: " + ", ".join(group))
    if report:
        for folder in sorted(folder_edges):
            print(f"{folder} -> {', '.join(sorted(folder_edges[folder]))}")
    for problem in problems:
        print(problem)
    print(f"{len(graph)} files, {sum(len(v) for v in file_edges.values())} includes inside "
          f"vexmar/: {'clean' if not problems else str(len(problems)) + ' problem(s)'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
