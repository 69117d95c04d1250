#!/usr/bin/python3
"""The include check (check_layers.py) over small trees of its own: each fault it is there for
fails it with its message, and a tree without one passes."""
import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

# A tree that passes: every layer used as it may be, a widget in the widget layer, a non-widget
# class of ui/ that tabel-report may include.
SOUND = {
    "db/dataset.h": "#pragma once\nclass Dataset {};\n",
    "db/dataset.cpp": '#include "db/dataset.h"\n',
    "ui/clock.h": "#pragma once\n#include <QObject>\nclass Clock : public QObject {};\n",
    "ui/data_grid.h": '#pragma once\n#include <QTableView>\nclass DataGrid : public QTableView {};\n',
    "output/report.h": '#pragma once\n#include "db/dataset.h"\nclass Report {};\n',
    "output/report.cpp": '#include "output/report.h"\n#include "output/layout.h"\n',
    "output/layout.h": "#pragma once\nstruct Layout {};\n",
    "designs/period_designs.h": '#pragma once\n#include "output/layout.h"\n',
    "designs/report_functions.h": '#pragma once\n#include "designs/period_designs.h"\n',
    "designs/report_functions.cpp": '#include "designs/report_functions.h"\n#include "ui/clock.h"\n',
    "reports/layout_holder.h": '#pragma once\n#include "designs/report_functions.h"\n'
                               "#include <QWidget>\nclass LayoutHolder : public QWidget {};\n",
    "reports/period_layouts.h": '#pragma once\n#include "reports/layout_holder.h"\n'
                                "class TForm16 : public LayoutHolder {};\n",
    "shiftlog/shift_log.h": '#pragma once\n#include "ui/data_grid.h"\n',
    "catalogues/workers.h": '#pragma once\n#include "ui/data_grid.h"\n',
    "timesheets/shift_timesheet.cpp": '#include "reports/period_layouts.h"\n'
                                      '#include "shiftlog/shift_log.h"\n',
    "app/startup.cpp": '#include "reports/period_layouts.h"\n#include "timesheets/x.h"\n',
    "tools/report_tool.cpp": '#include "designs/report_functions.h"\n#include "ui/clock.h"\n',
}

# name, files changed or added over SOUND, a line the check prints (empty: it passes).
CASES = [
    ("a sound tree", {}, ""),
    ("an include from a layer above",
     {"db/dataset.cpp": '#include "db/dataset.h"\n#include "ui/clock.h"\n'},
     "db/dataset.cpp: includes ui/, a layer above db/"),
    ("designs including a window",
     {"designs/period_designs.h": '#pragma once\n#include "reports/layout_holder.h"\n'},
     "designs/period_designs.h: includes reports/, a layer above designs/"),
    ("a cycle of folders",
     {"catalogues/workers.cpp": '#include "shiftlog/shift_log.h"\n',
      "shiftlog/shift_log.cpp": '#include "catalogues/workers.h"\n'},
     "folder cycle: shiftlog -> catalogues -> shiftlog (e.g. catalogues/workers.cpp)"),
    ("a loop inside a folder: a design calls its window back",
     {"reports/report_functions.cpp": '#include "reports/period_layouts.h"\n',
      "reports/layout_holder.h": '#pragma once\n#include "reports/report_functions.h"\n'},
     "loop inside reports/: layout_holder -> report_functions -> period_layouts -> layout_holder"),
    ("a loop inside a folder through sources only",
     {"timesheets/a.cpp": '#include "timesheets/b.h"\n',
      "timesheets/b.cpp": '#include "timesheets/a.h"\n'},
     "loop inside timesheets/: a -> b -> a"),
    ("widgets in the data layer",
     {"db/dataset.cpp": '#include "db/dataset.h"\n#include <QMessageBox>\n'},
     "db/dataset.cpp: the data layer uses widgets"),
    ("widgets in the report designs",
     {"designs/report_functions.cpp": '#include "designs/report_functions.h"\n'
                                      "#include <QtWidgets/QDialog>\n"},
     "designs/report_functions.cpp: the report designs use widgets"),
    ("tabel-report including a window folder's header",
     {"tools/report_tool.cpp": '#include "reports/period_layouts.h"\n'},
     "tools/report_tool.cpp: tabel-report reaches reports/period_layouts.h, a header of the "
     "windows' folder reports/"),
    ("tabel-report reaching a window folder through a lower layer",
     {"output/layout.h": '#pragma once\n#include "reports/layout_holder.h"\n'},
     "tools/report_tool.cpp: tabel-report reaches reports/layout_holder.h, a header of the "
     "windows' folder reports/ (tools/report_tool.cpp -> designs/report_functions.h -> "
     "designs/period_designs.h -> output/layout.h -> reports/layout_holder.h)"),
    ("tabel-report reaching a dialog declared in a lower layer",
     {"ui/clock.h": '#pragma once\n#include "ui/picker.h"\n',
      "ui/picker.h": '#pragma once\n#include <QDialog>\nclass Base : public QDialog {};\n'
                     "class Picker final : public Base {};\n"},
     "tools/report_tool.cpp: tabel-report reaches ui/picker.h, the widget Base, Picker "
     "(tools/report_tool.cpp -> ui/clock.h -> ui/picker.h)"),
    ("tabel-report reaching a widget derived from a widget of ours",
     {"output/layout.h": '#pragma once\n#include "ui/grid_view.h"\n',
      "ui/grid_view.h": '#pragma once\n#include "ui/data_grid.h"\n'
                        "class GridView : public ::DataGrid {};\n"},
     "tools/report_tool.cpp: tabel-report reaches ui/grid_view.h, the widget GridView "
     "(tools/report_tool.cpp -> designs/report_functions.h -> designs/period_designs.h -> "
     "output/layout.h -> ui/grid_view.h)"),
]


def write_tree(root, files):
    for relative, text in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)


def run_check(files, known_loops=frozenset()):
    with tempfile.TemporaryDirectory() as root:
        write_tree(root, files)
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed):
            status = check_layers.main(root, known_loops)
        return status, printed.getvalue()


class CheckLayersCases(unittest.TestCase):
    def test_faults(self):
        for name, changes, expected in CASES:
            with self.subTest(name):
                status, printed = run_check({**SOUND, **changes})
                if expected:
                    self.assertEqual(status, 1, printed)
                    self.assertIn(expected, printed)
                else:
                    self.assertEqual(status, 0, printed)
                    self.assertIn("includes run downward", printed)

    def test_known_loop(self):
        loop = {"timesheets/a.cpp": '#include "timesheets/b.h"\n',
                "timesheets/b.cpp": '#include "timesheets/a.h"\n'}
        known = frozenset({("timesheets", frozenset({"a", "b"}))})
        status, printed = run_check({**SOUND, **loop}, known)
        self.assertEqual(status, 0, printed)
        # Untangled: the entry must go, so that the loop cannot come back unnoticed.
        status, printed = run_check(SOUND, known)
        self.assertEqual(status, 1, printed)
        self.assertIn("the loop of timesheets/ between a and b is gone", printed)


if __name__ == "__main__":
    unittest.main()
