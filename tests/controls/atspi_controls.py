#!/usr/bin/python3
"""Checks through AT-SPI, as a screen reader sees them, the roles, names and states of the custom
controls shown by controls-atspi-demo, and presses the button and the link through their actions.

Usage (inside a display and a session bus, e.g. under xvfb-run -a dbus-run-session):
    atspi_controls.py PATH-TO-controls-atspi-demo
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def find_app(name, timeout):
    end = time.time() + timeout
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def nodes(app):
    found = []
    for n in walk(app):
        try:
            found.append((n.getRoleName(), n.name, n))
        except Exception:
            pass
    return found


def wait_for(app, role, name, timeout=15):
    end = time.time() + timeout
    while time.time() < end:
        for r, n, node in nodes(app):
            if r == role and n == name:
                return node
        time.sleep(0.2)
    return None


def main():
    demo = sys.argv[1]
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    # Start the accessibility bus and registry before the program, so that it finds them.
    pyatspi.Registry.getDesktop(0).childCount
    failures = []
    proc = None
    app = None
    for attempt in range(2):
        proc = subprocess.Popen([demo], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
        app = find_app("controls-atspi-demo", 15)
        if app is not None:
            break
        proc.kill()
        proc.wait()
    try:
        if app is None:
            print("FAIL: the demo never appeared on the accessibility bus")
            return 1

        def expect(role, name, states=()):
            node = wait_for(app, role, name)
            if node is None:
                seen = sorted({(r, n) for r, n, _ in nodes(app)})
                failures.append("no %s named %r; seen: %s" % (role, name, seen))
                return None
            state = node.getState()
            for s in states:
                if not state.contains(s):
                    failures.append("%s %r lacks state %s" % (role, name, s))
            return node

        ok = expect("push button", "OK", [pyatspi.STATE_FOCUSABLE])
        opener = expect("push button", "Open a batch file")
        expect("push button", "Wrap", [pyatspi.STATE_CHECKED])
        expect("label", "Name")
        # The edit field is named after its label (the label's focus control).
        expect("text", "Name")
        link = expect("link", "www.example.org")
        def press(node, line):
            action = node.queryAction()
            names = [action.getName(i).lower() for i in range(action.nActions)]
            action.doAction(names.index("press") if "press" in names else 0)
            got = proc.stdout.readline().strip()
            if got != line:
                failures.append("pressing %r printed %r, wanted %r" % (node.name, got, line))

        if ok is not None:
            press(ok, "CLICK OK")
        if link is not None:
            press(link, "OPEN http:\\\\www.example.org")

        # Popup menus are not children of the application: a screen reader meets their items
        # through the focus events of the highlight. The glyph button opens the menu.
        focused = []

        def on_event(event):
            try:
                if event.detail1 == 1:
                    focused.append(event.source)
            except Exception:
                pass

        pyatspi.Registry.registerEventListener(on_event, "object:state-changed:focused")
        if opener is not None:
            press(opener, "CLICK Open a batch file")
        context = GLib.MainContext.default()
        end = time.time() + 15
        while time.time() < end and len({n.name for n in focused if n.getRoleName() == "menu item"}) < 3:
            context.iteration(False)
            time.sleep(0.02)
        items = {}
        for n in focused:
            try:
                if n.getRoleName() == "menu item":
                    items[n.name] = n
            except Exception:
                pass
        for name in ("About", "Languages"):
            if name not in items:
                failures.append("menu item %r never reached; focused: %s" % (name, sorted(items)))
        menu = items.get("About").parent if "About" in items else None
        if menu is None:
            failures.append("the menu items have no menu")
        else:
            children = {}
            for i in range(menu.childCount):
                c = menu.getChildAtIndex(i)
                children[c.name] = c
            wanted = {"About": False, "Languages": False, "Wrap lines": True, "Close": False}
            for name, checked in wanted.items():
                c = children.get(name)
                if c is None or c.getRoleName() != "menu item":
                    failures.append("menu lacks the item %r: %s" % (name, sorted(children)))
                elif c.getState().contains(pyatspi.STATE_CHECKED) != checked:
                    failures.append("menu item %r checked should be %s" % (name, checked))
    finally:
        proc.kill()
        proc.wait()
    for f in failures:
        print("FAIL:", f)
    print("atspi_controls: %d problems" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
