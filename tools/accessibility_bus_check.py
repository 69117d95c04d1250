#!/usr/bin/python3
"""Drives a running tabel from outside through the accessibility bus, as a screen reader or a test
robot does: logs in, opens every window through the controls a person would use, finds each
control by its accessible name, and reports every enabled control that has none.

Run by tools/accessibility-bus-check, which starts the display, the buses and the program.
Needs Debian's python3-pyatspi; call it with /usr/bin/python3.
Exit status: 0 when every window was reached and every control has a name, 1 otherwise.
"""

import sys
import time

import pyatspi
from gi.repository import Atspi, GLib

ACCESS_CODE = "9073"

# Controls a person works with. Tables are checked as a whole: their cells are data.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_TABLE,
    pyatspi.ROLE_PAGE_TAB,
}

# What to press, from the shift log, to reach each window, and the title it opens with. A step is a
# control's accessible name (a button or a menu item) in the window opened last; "cell" double-clicks
# the first cell of that window's table; "tick:NAME" ticks a check box. The windows a route opens
# are closed again, newest first, with their "Отмена", "Выход" or "Сохранить".
ROUTES = [
    (["Рабочие"], "Список рабочих"),
    (["Рабочие", "Добавить"], "Заведение данных нового работника"),
    (["Изделия"], "Изделия (3)"),
    (["Изделия", "Добавить"], "Заведение нового изделия (7)"),
    (["Цены"], "Операции"),
    (["Цены", "Добавить"], "Заведение новой цены за операцию"),
    (["Цены", "Добавить", "Выбрать: Марка изделия"], "Изделия (3)"),
    (["Цены", "Добавить", "Выбрать: Операция"], "Виды операций (8)"),
    (["Цены", "tick:Цены", "cell"], "Норматив"),
    (["Операции"], "Виды операций (8)"),
    (["Операции", "Добавить"], "Заведение нового вида операций"),
    (["Ном. группы"], "Номенклатура (26)"),
    (["Ном. группы", "Добавить"], "Ведение групп (29)"),
    (["Табель сделка"], "Табель сделка (27)"),
    (["Табель по сменам"], "Табель по времени"),
    (["Табель хоз. работ"], "Табель хоз. работы (27)"),
    (["Табель ср. сдельная"], "Табель ср. сдельная (27)"),
    (["Общий табель"], "Общий табель (27)"),
    (["Сводные отчеты"], "Отчеты (8)"),
    (["Добавить"], "Заведение новой позиции (11)"),
    (["Добавить", "Выбрать: ФИО"], "Список рабочих"),
    (["Добавить", "Выбрать: Операция"], "Операции"),
    (["Ср.сд./хоз. работы"], "Хоз. работы (25)"),
    (["Ср.сд./хоз. работы", "Добавить"], "Хоз. работы/среднесдельная (24)"),
    (["Ср.сд./хоз. работы", "Добавить", "Выбрать: ФИО"], "Список рабочих"),
    (["Ср.сд./хоз. работы", "Добавить", "Выбрать: Номенклатура"], "Номенклатура (26)"),
]

CLOSERS = ("Отмена", "Выход", "Сохранить")


def log(text):
    print(text, flush=True)


def states(node):
    return node.getState()


def showing(node):
    return states(node).contains(pyatspi.STATE_SHOWING)


def children(node):
    return [child for child in node if child is not None]


def find(node, name, roles=None, hidden_menus=True):
    """The first control below node with this accessible name (menu items also while their menu
    is closed)."""
    for child in children(node):
        role = child.getRole()
        in_menu = role in (
            pyatspi.ROLE_MENU_BAR,
            pyatspi.ROLE_MENU,
            pyatspi.ROLE_POPUP_MENU,
            pyatspi.ROLE_MENU_ITEM,
        )
        if not showing(child) and not (hidden_menus and in_menu):
            continue
        if child.name == name and (roles is None or role in roles):
            return child
        if role == pyatspi.ROLE_TABLE:
            continue
        found = find(child, name, roles, hidden_menus)
        if found is not None:
            return found
    return None


def find_role(node, role):
    for child in children(node):
        if not showing(child):
            continue
        if child.getRole() == role:
            return child
        found = find_role(child, role)
        if found is not None:
            return found
    return None


def press(node):
    """Runs the control's first action ("Press", "Toggle"). A press that opens a modal window may
    answer only when that window closes: a short wait is enough to know the press was delivered."""
    action = node.queryAction()
    Atspi.set_timeout(800, 60000)
    try:
        action.doAction(0)
    except GLib.GError:
        pass
    finally:
        Atspi.set_timeout(-1, -1)


def double_click_first_cell(window):
    table = find_role(window, pyatspi.ROLE_TABLE)
    if table is None:
        return False
    cell = table.queryTable().getAccessibleAt(0, 0)
    extents = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x = extents.x + extents.width // 2
    y = extents.y + extents.height // 2
    pyatspi.Registry.generateMouseEvent(x, y, pyatspi.MOUSE_B1D)
    return True


def shown_windows(app):
    return [window for window in children(app) if showing(window)]


def wait_for_new_window(app, known, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for window in shown_windows(app):
            if all(window != other for other in known):
                return window
        time.sleep(0.1)
    return None


def wait_until_gone(app, window, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if all(window != other for other in shown_windows(app)):
            return True
        time.sleep(0.1)
    return False


def unnamed_controls(window):
    """Enabled, shown controls without an accessible name, as "role" strings."""
    missing = []
    named = 0

    def walk(node):
        nonlocal named
        for child in children(node):
            if not showing(child):
                continue
            role = child.getRole()
            if role in INTERACTIVE and states(child).contains(pyatspi.STATE_ENABLED):
                if child.name.strip():
                    named += 1
                else:
                    missing.append(child.getRoleName())
            if role in (pyatspi.ROLE_TABLE, pyatspi.ROLE_COMBO_BOX):
                continue
            walk(child)

    walk(window)
    return named, missing


def find_app(seconds=30.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for app in children(pyatspi.Registry.getDesktop(0)):
            if app.name == "tabel" and shown_windows(app):
                return app
        time.sleep(0.2)
    return None


def check(title, window):
    named, missing = unnamed_controls(window)
    if missing:
        log(f"FAIL {title}: {named} controls named, without a name: {', '.join(missing)}")
        return False
    log(f"ok   {title}: {named} controls, each found by its name")
    return True


def close(app, window):
    for name in CLOSERS:
        button = find(window, name, {pyatspi.ROLE_PUSH_BUTTON}, hidden_menus=False)
        if button is not None:
            press(button)
            return wait_until_gone(app, window)
    return False


def run_route(app, main, steps, title):
    opened = []
    current = main
    ok = True
    try:
        for step in steps:
            known = shown_windows(app)
            if step == "cell":
                if not double_click_first_cell(current):
                    log(f"FAIL {title}: no table to open it from")
                    return False
            elif step.startswith("tick:"):
                box = find(current, step[5:], {pyatspi.ROLE_CHECK_BOX})
                if box is None:
                    log(f"FAIL {title}: no check box {step[5:]!r} in {current.name!r}")
                    return False
                if not states(box).contains(pyatspi.STATE_CHECKED):
                    press(box)
                continue
            else:
                control = find(current, step)
                if control is None:
                    log(f"FAIL {title}: no control {step!r} in {current.name!r}")
                    return False
                press(control)
            window = wait_for_new_window(app, known)
            if window is None:
                log(f"FAIL {title}: {step!r} in {current.name!r} opened no window")
                return False
            opened.append(window)
            current = window
        if current.name != title:
            log(f"FAIL {title}: the window reached is {current.name!r}")
            ok = False
        return check(title, current) and ok
    finally:
        for window in reversed(opened):
            if not close(app, window):
                log(f"FAIL {title}: {window.name!r} did not close")
                ok = False


def main():
    app = find_app()
    if app is None:
        log("FAIL tabel does not show on the accessibility bus")
        return 1
    login = shown_windows(app)[0]
    ok = check(login.name, login)
    code = find(login, "Код доступа", {pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_TEXT})
    enter = find(login, "Вход", {pyatspi.ROLE_PUSH_BUTTON})
    if code is None or enter is None:
        log("FAIL the login dialog has no box \"Код доступа\" or no button \"Вход\"")
        return 1
    code.queryEditableText().setTextContents(ACCESS_CODE)
    press(enter)
    main_window = wait_for_new_window(app, [login])
    if main_window is None or main_window.name != "Табель":
        log("FAIL the shift log did not open after the login")
        return 1
    ok = check(main_window.name, main_window) and ok
    for steps, title in ROUTES:
        ok = run_route(app, main_window, steps, title) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
