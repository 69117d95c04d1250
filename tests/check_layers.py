#!/usr/bin/python3
"""Fails when a source file includes from a layer above its own, when the folders' includes form a
cycle, when the files of one folder include each other round in a loop, when the data layer or the
report designs use widgets, or when tabel-report's code reaches a window header.

The layers, bottom to top; a folder may include from its own folder, from the folders of lower
layers, and from the folders of its own layer as long as no cycle forms."""
import os
import re
import sys

LAYERS = [
    ["db"],                                               # data
    ["ui"],                                               # widgets over data, the seams
    ["output"],                                           # report engine, spreadsheet export
    ["designs"],                                          # report designs, no window
    ["catalogues", "shiftlog", "reports", "timesheets"],  # windows
    ["app", "tools"],                                     # shell, tabel-report
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
# The folders that hold windows; tabel-report builds none and includes nothing from them.
WINDOW_FOLDERS = {"catalogues", "shiftlog", "reports", "timesheets", "app"}
# The folders that do without widgets, and what is said when one does not.
WIDGETLESS = {"db": "the data layer uses widgets", "designs": "the report designs use widgets"}
# The folder of tabel-report's own code.
REPORT_TOOL = "tools"

WIDGETS = re.compile(r'#include\s*<(Qt(Widgets|PrintSupport)/|Q(Widget|Dialog|Application|MessageBox|'
                     r'PushButton|LineEdit|TableView|Printer|Painter|Abstract\w*View)\b)')
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/([^"]+)"', re.M)
# A class and the class it derives from publicly: "class TForm18 : public QDialog".
CLASS = re.compile(r'^\s*class\s+(\w+)(?:\s+final)?\s*:\s*public\s+([\w:]+)', re.M)
# Qt's window and control classes a window of ours derives from, directly or through a class of
# ours.
QT_WIDGET = re.compile(r'^Q(Widget|Dialog|MainWindow|Frame|GroupBox|Abstract(Button|ItemView|'
                       r'ScrollArea|SpinBox|Slider)|\w*View|\w*Box|\w*Edit|\w*Button|Label|'
                       r'TabWidget|StackedWidget|Splitter|Menu|MenuBar|ToolBar|StatusBar|'
                       r'ChartView|Wizard)$')

# Pairs of files of one folder that use each other today; the loop is to be untangled, and the
# check fails once it is gone so that the entry goes with it.
KNOWN_LOOPS = {
    ("timesheets", frozenset({"absence_marks", "monthly_timesheet"})),
    ("timesheets", frozenset({"month_end_papers", "monthly_timesheet"})),
}


def read_sources(root):
    """{relative path: text} of every header and source file of the layered folders."""
    sources = {}
    for folder in RANK:
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(dirpath, name)
                    with open(path, encoding="utf-8") as source:
                        sources[os.path.relpath(path, root)] = source.read()
    return sources


def find_cycles(edges):
    """The cycles of a graph {node: {target: example}}, each as a list of nodes, with the example
    of the edge that closes it."""
    cycles = []
    state = {}

    def walk(node, path):
        state[node] = "open"
        for target, example in sorted(edges.get(node, {}).items()):
            if state.get(target) == "open":
                cycles.append((path[path.index(target):] + [target], example))
            elif target not in state:
                walk(target, path + [target])
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            walk(node, [node])
    return cycles


def widget_classes(sources):
    """The classes of our headers that are widgets: derived from a Qt widget class, or from one
    of ours that is."""
    bases = {}
    for relative, text in sources.items():
        if relative.endswith(".h"):
            for name, base in CLASS.findall(text):
                bases[name] = base.split("::")[-1]
    widgets = set()
    grown = True
    while grown:
        grown = False
        for name, base in bases.items():
            if name not in widgets and (QT_WIDGET.match(base) or base in widgets):
                widgets.add(name)
                grown = True
    return widgets


def window_headers(sources):
    """{header: why it is a window's}: the headers of the window folders and those declaring a
    widget class."""
    widgets = widget_classes(sources)
    windows = {}
    for relative, text in sources.items():
        if not relative.endswith(".h"):
            continue
        folder = relative.split(os.sep)[0]
        declared = [name for name, _ in CLASS.findall(text) if name in widgets]
        if folder in WINDOW_FOLDERS:
            windows[relative] = f"a header of the windows' folder {folder}/"
        elif declared:
            windows[relative] = "the widget " + ", ".join(declared)
    return windows


def reached_windows(sources, start):
    """{header: (why, chain)}: the window headers a file reaches through the includes of our
    files, with the chain of includes that leads to each."""
    windows = window_headers(sources)
    found = {}
    seen = {start}
    queue = [(start, [start])]
    while queue:
        relative, chain = queue.pop(0)
        for folder, rest in INCLUDE.findall(sources[relative]):
            target = os.path.join(folder, rest)
            if target in seen or target not in sources:
                continue
            seen.add(target)
            if target in windows:
                found[target] = (windows[target], chain + [target])
            else:
                queue.append((target, chain + [target]))
    return found


def main(root, known_loops=frozenset(KNOWN_LOOPS)):
    problems = []
    sources = read_sources(root)
    folder_edges = {}
    file_edges = {}
    for relative, text in sorted(sources.items()):
        folder = relative.split(os.sep)[0]
        unit = os.path.splitext(os.path.basename(relative))[0]
        for target, rest in INCLUDE.findall(text):
            if target == folder:
                # A header and its source are one unit: a loop is two units using each other.
                other = os.path.splitext(os.path.basename(rest))[0]
                if other != unit:
                    file_edges.setdefault(folder, {}).setdefault(unit, {}).setdefault(
                        other, relative)
                continue
            if target not in RANK:
                continue
            folder_edges.setdefault(folder, {}).setdefault(target, relative)
            if RANK[target] > RANK[folder]:
                problems.append(f"{relative}: includes {target}/, a layer above {folder}/")
        if folder in WIDGETLESS and WIDGETS.search(text):
            problems.append(f"{relative}: {WIDGETLESS[folder]}")

    for cycle, example in find_cycles(folder_edges):
        problems.append("folder cycle: " + " -> ".join(cycle) + f" (e.g. {example})")

    loops_left = set()
    for folder, edges in sorted(file_edges.items()):
        for cycle, example in find_cycles(edges):
            key = (folder, frozenset(cycle))
            if key in known_loops:
                loops_left.add(key)
                continue
            problems.append(f"loop inside {folder}/: " + " -> ".join(cycle) + f" (e.g. {example})")
    for folder, units in sorted(known_loops - loops_left, key=lambda k: (k[0], sorted(k[1]))):
        problems.append(f"the loop of {folder}/ between {' and '.join(sorted(units))} is gone: "
                        "remove it from KNOWN_LOOPS")

    for relative in sorted(sources):
        if relative.split(os.sep)[0] == REPORT_TOOL:
            for header, (why, chain) in sorted(reached_windows(sources, relative).items()):
                problems.append(f"{relative}: tabel-report reaches {header}, {why} ("
                                + " -> ".join(chain) + ")")

    for problem in problems:
        print(problem)
    if not problems:
        print("includes run downward: " + " < ".join("/".join(f) for f in LAYERS))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))))
