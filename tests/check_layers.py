#!/usr/bin/python3
"""Fails when a source file includes from a layer above its own, when the folders' includes form a
cycle, or when the data layer uses widgets.

The layers, bottom to top; a folder may include from its own folder, from the folders of lower
layers, and from the folders of its own layer as long as no cycle forms."""
import os
import re
import sys

LAYERS = [
    ["db"],                                               # data
    ["ui"],                                               # widgets over data, the seams
    ["output"],                                           # report engine, spreadsheet export
    ["catalogues", "shiftlog", "reports", "timesheets"],  # windows
    ["app", "tools"],                                     # shell, tabel-report
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
WIDGETS = re.compile(r'#include\s*<(Qt(Widgets|PrintSupport)/|Q(Widget|Dialog|Application|MessageBox|'
                     r'PushButton|LineEdit|TableView|Printer|Painter|Abstract\w*View)\b)')
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]+"', re.M)


def main(root):
    problems = []
    edges = {}
    for folder in RANK:
        directory = os.path.join(root, folder)
        for dirpath, _, names in os.walk(directory):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                relative = os.path.relpath(path, root)
                text = open(path, encoding="utf-8").read()
                for target in INCLUDE.findall(text):
                    if target not in RANK or target == folder:
                        continue
                    edges.setdefault(folder, {}).setdefault(target, relative)
                    if RANK[target] > RANK[folder]:
                        problems.append(f"{relative}: includes {target}/, a layer above {folder}/")
                if folder == "db" and WIDGETS.search(text):
                    problems.append(f"{relative}: the data layer uses widgets")

    # A cycle among folders, found by a depth-first walk of the folder graph.
    state = {}

    def walk(folder, path):
        state[folder] = "open"
        for target, example in sorted(edges.get(folder, {}).items()):
            if state.get(target) == "open":
                cycle = path[path.index(target):] + [target]
                problems.append("folder cycle: " + " -> ".join(cycle) + f" (e.g. {example})")
            elif target not in state:
                walk(target, path + [target])
        state[folder] = "done"

    for folder in sorted(edges):
        if folder not in state:
            walk(folder, [folder])

    for problem in problems:
        print(problem)
    if not problems:
        print("includes run downward: " + " < ".join("/".join(f) for f in LAYERS))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))))
