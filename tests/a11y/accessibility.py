#!/usr/bin/python3
"""Reads every window of the real program through the accessibility bus, as a screen reader does.

Run inside scripts/x-session (a private display, window manager, tray and session bus, a home of
its own). Starts the accessibility bus, runs Framlet with three screenshots on its shelf and a live capture, and opens
each window: the first-run screens, the shelf under its tour and without it, the preview, the
context menu, the settings window's tabs and the update window. In each it lists every element
one can focus or press that has no name, and every one Tab never reaches; it walks Tab forwards
and backwards and checks that the stops come in reading order. Fails listing them by window.

    accessibility.py FRAMLET DEMO_TOOL UPDATE_WINDOW_HOST
"""
import os
import re
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

ITEM_ROLES = {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_PAGE_TAB,
              pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM}
# A mouse's way of scrolling; the keyboard scrolls with the arrows of what is inside.
SKIPPED_ROLES = {pyatspi.ROLE_SCROLL_BAR}
PRESS_ACTIONS = {"press", "click", "toggle", "showmenu", "increase", "decrease", "activate"}

problems = {}  # window -> list of lines


def report(window, line):
    problems.setdefault(window, []).append(line)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=False)


def pump(seconds):
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        if not context.iteration(False):
            time.sleep(0.01)


class Missing(Exception):
    """A window or state the check waited for in vain."""


def wait_for(what, predicate, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = predicate()
        if result:
            return result
        pump(0.1)
    raise Missing(f"timed out waiting for {what}")


def section(name, check, *args):
    """Runs one window's check; a window that never came is a problem of that window."""
    try:
        check(*args)
    except Missing as missing:
        report(name, str(missing))


def framlet_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "Framlet":
            return app
    return None


def window_named(pattern):
    app = framlet_app()
    if app is None:
        return None
    app.clear_cache()
    for window in app:
        if window is None:
            continue
        states = window.getState()
        if states.contains(pyatspi.STATE_SHOWING) and re.fullmatch(pattern, window.name or ""):
            return window
    return None


def extents(node):
    try:
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return (box.x, box.y, box.width, box.height)
    except NotImplementedError:
        return (0, 0, 0, 0)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return set()
    return {action.getName(i).lower() for i in range(action.nActions)}


def describe(node):
    x, y, w, h = extents(node)
    return f"{node.getRoleName()} at {x},{y} {w}x{h}"


def shown_nodes(node):
    """Every node on screen below the given one, depth first, in the tree's order."""
    for child in node:
        if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
            yield child
            yield from shown_nodes(child)


def interactive(node):
    if node.getRole() in SKIPPED_ROLES:
        return False
    pressable = bool(actions(node) & PRESS_ACTIONS)
    if node.getRole() == pyatspi.ROLE_LABEL:
        return pressable  # text one may select with the mouse is no control
    return pressable or node.getState().contains(pyatspi.STATE_FOCUSABLE)


def key(node):
    """Where the node sits in its window's tree: the same element whatever it shows or scrolled."""
    path = []
    while node is not None and node.getRole() not in (pyatspi.ROLE_APPLICATION,):
        path.append(node.getIndexInParent())
        node = node.parent
    return tuple(reversed(path))


class FocusWatch:
    """The element that last took the focus, from the bus's focus events."""

    def __init__(self):
        self.focused = None
        pyatspi.Registry.registerEventListener(self.changed, "object:state-changed:focused")

    def changed(self, event):
        if event.detail1 == 1:
            self.focused = event.source

    def stop(self):
        # The grid's current screenshot takes the focus on the grid's behalf.
        node = self.focused
        if node is not None and node.getRole() in ITEM_ROLES:
            parent = node.parent
            if parent is not None and parent.getRole() in (pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE,
                                                             pyatspi.ROLE_PAGE_TAB_LIST):
                return parent
        return node

    def press(self, keys, window=None):
        """The stop that has the focus after the keys: from the event they caused, else (the
        focus stayed where it was) from the window's tree."""
        before = self.focused
        self.focused = None
        xdotool("key", keys)
        deadline = time.monotonic() + (0.5 if window is not None else 1.5)
        while self.focused is None and time.monotonic() < deadline:
            pump(0.02)
        if self.focused is None:
            self.focused = find_focused(window) if window is not None else before
        return self.stop()


def find_focused(window):
    for node in shown_nodes(window):
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            return node
    return None


def in_reading_order(a, b):
    """Whether the element with extents b may follow the one with extents a in reading order."""
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    if by + bh / 2 < ay:  # a row above
        return False
    same_row = by < ay + ah and ay < by + bh
    return not (same_row and bx + bw <= ax)


def walk_tab(name, window, focus, groups=None):
    """Tab round the window, then Shift+Tab back; returns the keys of the stops reached."""
    stops = []
    first = None
    for _ in range(3):  # a window just shown may not have the keyboard yet
        xdotool("windowactivate", "--sync", window_id(window))
        pump(0.15)
        first = focus.press("Tab", window)
        if first is not None:
            break
    if first is None:
        report(name, "Tab reaches nothing")
        return set()
    stops.append(first)
    for _ in range(80):
        node = focus.press("Tab", window)
        if node is None or key(node) == key(stops[0]):
            break
        stops.append(node)
    else:
        report(name, "Tab never comes back to where it started")
    back = [key(focus.press("shift+Tab", window)) for _ in range(len(stops))]
    expected = [key(stops[i % len(stops)]) for i in range(len(stops) - 1, -1, -1)]
    if back != expected:
        report(name, "Shift+Tab does not retrace Tab")
    focus.press("shift+Tab", window)  # where the focus was before
    check_order(name, stops, groups or [])
    return {key(stop) for stop in stops}


def check_order(name, stops, groups):
    """Each group (a card over the window) is read on its own; the rest in reading order."""
    boxes = [extents(stop) for stop in stops]  # all at once: one scroll position for all

    def group_of(box):
        sx, sy, sw, sh = box
        for index, (x, y, w, h) in enumerate(groups):
            if x <= sx and y <= sy and sx + sw <= x + w and sy + sh <= y + h:
                return index
        return -1

    for group in {group_of(box) for box in boxes}:
        members = [(stop, box) for stop, box in zip(stops, boxes) if group_of(box) == group]
        # The first of the top row: rows are bands of half a line, so that a button a pixel
        # higher than its neighbour stays in its row.
        start = min(range(len(members)),
                    key=lambda i: ((members[i][1][1] + members[i][1][3] / 2) // 12, members[i][1][0]))
        ordered = members[start:] + members[:start]
        for (a, abox), (b, bbox) in zip(ordered, ordered[1:]):
            if not in_reading_order(abox, bbox):
                report(name, f"Tab goes from '{a.name}' ({describe(a)}) to '{b.name}' "
                             f"({describe(b)}), against the reading order")


def window_id(window):
    title = window.name
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + re.escape(title) + "$"],
                         capture_output=True, text=True).stdout.split()
    return out[0] if out else "0"


def check_window(name, window, focus, walk=True, groups=None):
    nodes = list(shown_nodes(window))
    reached = walk_tab(name, window, focus, groups) if walk else set()
    reached_nodes = [n for n in nodes if key(n) in reached]
    for node in nodes:
        if not interactive(node) and key(node) not in reached:
            continue
        if not (node.name or "").strip():
            report(name, f"unnamed {describe(node)}")
        # A control turned off is skipped by Tab, rightly.
        if not walk or not node.getState().contains(pyatspi.STATE_ENABLED):
            continue
        inside_stop = any(is_ancestor(stop, node) for stop in reached_nodes)
        if key(node) not in reached and not (node.getRole() in ITEM_ROLES and inside_stop):
            report(name, f"not reached by Tab: '{node.name}' ({describe(node)})")
    return nodes


def is_ancestor(ancestor, node):
    parent = node.parent
    while parent is not None:
        if key(parent) == key(ancestor):
            return True
        parent = parent.parent
    return False


def start(program, *args, env=None):
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", FRAMLET_DEBUG_LOG="1")
    environment.update(env or {})
    return subprocess.Popen([program, *args], env=environment)


def stop(process):
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def log_has(text):
    path = os.path.join(os.environ.get("XDG_STATE_HOME", os.path.expanduser("~/.local/state")),
                        "Framlet", "debug.log")
    try:
        with open(path, encoding="utf-8", errors="replace") as log:
            return text in log.read()
    except FileNotFoundError:
        return False


def onboarding(framlet, focus):
    """The first-run screens, walked with Return as the demo does."""
    welcome = "Welcome to Framlet"
    window = wait_for("the first-run window", lambda: window_named(welcome))
    for screen in ("welcome", "choose folder", "explain access", "done"):
        pump(0.4)
        window = wait_for("the first-run window", lambda: window_named(welcome))
        check_window(f"onboarding: {screen}", window, focus)
        xdotool("key", "Return")
    wait_for("the first-run window to close", lambda: window_named(welcome) is None)


def missing_folder(framlet, focus):
    """The screen a first run ends on when the screenshot folder is not there."""
    home = tempfile.mkdtemp(dir=os.environ["HOME"])
    env = {"HOME": home}
    for name, folder in (("XDG_CONFIG_HOME", ".config"), ("XDG_DATA_HOME", ".local/share"),
                         ("XDG_CACHE_HOME", ".cache"), ("XDG_STATE_HOME", ".local/state")):
        env[name] = os.path.join(home, folder)
        os.makedirs(env[name])
    app = start(framlet, env=env)
    try:
        welcome = "Welcome to Framlet"
        wait_for("the first-run window", lambda: window_named(welcome))
        pump(0.5)
        for _ in range(3):
            xdotool("key", "Return")
            pump(0.4)
        window = wait_for("the first-run window", lambda: window_named(welcome))
        check_window("onboarding: folder missing", window, focus)
    finally:
        stop(app)


def shelf(framlet, tool, focus):
    title = "Framlet Shelf"
    wait_for("the shortcut", lambda: log_has("hotkey: registered"))
    # A live capture: the shelf then opens with its first-capture banner.
    incoming = os.path.join(os.environ["HOME"], "incoming")
    subprocess.run([tool, "screenshots", incoming, "1", "--first", "3"], check=True,
                   stdout=subprocess.DEVNULL)
    for name in os.listdir(incoming):
        os.rename(os.path.join(incoming, name), os.path.join(os.environ["HOME"], "Desktop", name))
    wait_for("the capture", lambda: log_has("capture fill animation finished"))
    subprocess.run([framlet, "--show"], check=False)
    window = wait_for("the shelf", lambda: window_named(title))
    pump(0.5)
    card = find(window, lambda n: (n.name or "").startswith("Tour, step"))
    if card is None:
        report("tour", "no tour card over the first opening of the shelf")
    else:
        check_window("tour", window, focus, groups=[extents(card)])
    for _ in range(3):
        xdotool("key", "Return")
        pump(0.3)
    window = wait_for("the shelf", lambda: window_named(title))
    wait_for("the tour to end", lambda: find(window, lambda n: (n.name or "").startswith("Tour, step")) is None)
    nodes = check_window("shelf", window, focus)
    if find(window, lambda n: n.name == "Dismiss") is None:
        report("shelf", "no first-capture banner to dismiss")
    xdotool("type", "s")  # the search field holds the focus: its clear button shows
    pump(0.3)
    check_window("shelf with a query", window_named(title), focus)
    xdotool("key", "BackSpace")
    pump(0.3)
    window = window_named(title)
    nodes = list(shown_nodes(window))
    items = [n for n in nodes if n.getRole() in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL)]
    if len(items) != 4:
        report("shelf", f"{len(items)} screenshots in the grid instead of 4")
    for item in items:
        if not re.search(r"\.\w+, (just now|\d+ \w+ ago)$", item.name or ""):
            report("shelf", f"a screenshot named '{item.name}', without when it was taken")
    grid_and_preview(window, focus, items)


def find(window, predicate):
    for node in shown_nodes(window):
        if predicate(node):
            return node
    return None


def selected(window):
    return [n.name for n in shown_nodes(window)
            if n.getRole() in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL)
            and n.getState().contains(pyatspi.STATE_SELECTED)]


def grid_and_preview(window, focus, items):
    """The grid is one stop; the arrows move and select within it, Space previews."""
    for _ in range(20):
        node = focus.press("Tab")
        if node is not None and node.getRole() in (pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE):
            break
    else:
        report("shelf", "Tab never reaches the grid")
        return
    focus.press("Right")
    focus.press("Left")
    shelf_window = window_named("Framlet Shelf")
    if len(items) >= 1 and selected(shelf_window) != [items[0].name]:
        report("shelf", f"after Right and Left the selection is {selected(shelf_window)}, "
                        f"not the first screenshot")
    focus.press("Right")
    if len(items) >= 2 and selected(shelf_window) != [items[1].name]:
        report("shelf", f"Right selects {selected(shelf_window)}, not the second screenshot")
    name = items[1].name.split(",")[0] if len(items) >= 2 else ""
    xdotool("key", "space")
    preview = wait_for("the preview", lambda: window_named(re.escape(name) + r"(  \(.*\))?"))
    check_window("preview", preview, focus, walk=False)
    xdotool("key", "Escape")
    wait_for("the preview to close", lambda: window_named(re.escape(name) + r"(  \(.*\))?") is None)
    pump(0.5)  # the keyboard goes back to the shelf
    xdotool("key", "Menu")
    pump(0.3)
    # A menu is no window of the application's: it is found, as a screen reader finds it, by
    # the item the arrows move the focus to.
    item = focus.press("Down")
    if item is None or item.getRole() != pyatspi.ROLE_MENU_ITEM:
        report("context menu", "the Menu key and Down reach no menu item")
    else:
        menu = item.parent
        if not any(n.getRole() == pyatspi.ROLE_MENU_ITEM for n in shown_nodes(menu)):
            report("context menu", "no items")
        check_window("context menu", menu, focus, walk=False)
    back = focus.press("Escape")
    if back is None or back.getRole() == pyatspi.ROLE_MENU_ITEM:
        report("context menu", "Escape leaves the menu open")


def settings(framlet, focus):
    title = "Framlet Settings"
    subprocess.run([framlet, "--settings"], check=False)
    window = wait_for("the settings window", lambda: window_named(title))
    pump(0.6)  # the Folders tab looks up the screenshot tool
    tabs = [n.name for n in shown_nodes(window) if n.getRole() == pyatspi.ROLE_PAGE_TAB]
    for tab in tabs:
        window = wait_for("the settings window", lambda: window_named(title))
        check_window(f"settings: {tab}", window, focus)
        xdotool("key", "ctrl+Next")
        pump(0.3)
    if len(tabs) < 3:
        report("settings", f"only the tabs {tabs}")


def update_window(host, focus):
    process = start(host)
    try:
        window = wait_for("the update window", lambda: window_named("Software Update"))
        pump(0.5)
        check_window("update window", window, focus)
    finally:
        stop(process)


def main():
    framlet, tool, host = sys.argv[1:4]
    home = os.environ["HOME"]
    shots = os.path.join(home, "Desktop")
    os.makedirs(shots, exist_ok=True)
    subprocess.run([tool, "screenshots", shots, "3"], check=True, stdout=subprocess.DEVNULL)
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    try:
        pump(0.5)
        focus = FocusWatch()
        app = start(framlet)
        try:
            section("onboarding", onboarding, framlet, focus)
            section("shelf", shelf, framlet, tool, focus)
            section("settings", settings, framlet, focus)
        finally:
            stop(app)
        section("onboarding: folder missing", missing_folder, framlet, focus)
        section("update window", update_window, host, focus)
    finally:
        stop(bus)
    for window, lines in problems.items():
        print(f"{window}:")
        for line in lines:
            print(f"  {line}")
    if problems:
        count = sum(len(lines) for lines in problems.values())
        print(f"accessibility: {count} problems in {len(problems)} windows")
        return 1
    print("accessibility: every element named and reached, in reading order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
