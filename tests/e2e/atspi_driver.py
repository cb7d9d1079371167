"""Drives the real program on a private X display the way a person with a screen reader does: windows
and controls are found through the desktop's accessibility interface (AT-SPI) by role and name, keys
and text go in through xdotool, and texts and states are read back through AT-SPI.

Needs a session bus (run the test under dbus-run-session), Debian's python3 with python3-pyatspi,
at-spi2-core, Xvfb and xdotool. Every wait ends after a timeout; the timeouts are generous because the
tests also run under the sanitizers on a loaded machine."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

from xsession import XSession, private_home  # noqa: F401  (re-exported for the tests)

BIN = os.environ.get("VORLAND_BIN_DIR", "build/bin")
VORLAND = os.path.abspath(os.path.join(BIN, "vorland"))
# Seconds for anything the program has to do before the next step can go on.
TIMEOUT = float(os.environ.get("VORLAND_E2E_TIMEOUT", "40"))

MENU_ROLES = ("menu item", "check menu item", "radio menu item", "menu")


def pump(seconds=0.05):
    """Lets the accessibility events that arrived in the meantime reach their listeners."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.01)


TRACE = os.environ.get("VORLAND_E2E_TRACE") == "1"
_START = time.monotonic()


def trace(text):
    if TRACE:
        print("%7.2f %s" % (time.monotonic() - _START, text), flush=True)


def wait_until(predicate, what, timeout=TIMEOUT):
    """The first true answer of `predicate`; AssertionError naming `what` after the timeout."""
    trace("wait for " + what)
    end = time.monotonic() + timeout
    while True:
        try:
            value = predicate()
        except Exception:  # an object that went away while it was read: ask again
            value = None
        if value:
            return value
        if time.monotonic() >= end:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        pump(0.05)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def role_of(node):
    try:
        return node.getRoleName()
    except Exception:
        return None


def name_of(node):
    try:
        return node.name
    except Exception:
        return None


def has_state(node, state):
    try:
        return node.getState().contains(state)
    except Exception:
        return False


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def start_accessibility():
    """Starts the accessibility bus and its registry, before any program that should find them."""
    pyatspi.Registry.getDesktop(0).childCount


class FocusLog:
    """Records every object that gains the focus. Popup menus are not children of the application:
    their items are met, as a screen reader meets them, through the focus moving over them."""

    def __init__(self):
        self.events = []
        pyatspi.Registry.registerEventListener(self._on_event, "object:state-changed:focused")

    def _on_event(self, event):
        try:
            if event.detail1 == 1:
                self.events.append(event.source)
        except Exception:
            pass

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._on_event, "object:state-changed:focused")


class Program:
    """One run of the program with the given arguments and environment, seen through AT-SPI."""

    def __init__(self, x, env, *args):
        self.x = x
        self.env = dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        self.program = VORLAND
        self.errors = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([VORLAND] + list(args), env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=self.errors)
        self.focus = FocusLog()
        try:
            self.app = wait_until(self._find_app, "the program on the accessibility bus")
        except AssertionError as e:
            desktop = pyatspi.Registry.getDesktop(0)
            seen = []
            for i in range(desktop.childCount):
                try:
                    app = desktop.getChildAtIndex(i)
                    seen.append((name_of(app), app.get_process_id()))
                except Exception as error:
                    seen.append(repr(error))
            raise AssertionError("%s (pid %d); applications: %s; errors: %s" % (e, self.proc.pid, seen, self.stderr())) from None

    def _find_app(self):
        if self.proc.poll() is not None:
            raise AssertionError("the program ended at start with %d: %s" % (self.proc.returncode, self.stderr()))
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            except Exception:
                continue
        return None

    def stderr(self):
        self.errors.seek(0)
        return self.errors.read().decode(errors="replace")

    # ---- finding things ----

    def windows(self):
        """The program's top-level windows (popup menus are not among them)."""
        return [self.app.getChildAtIndex(i) for i in range(self.app.childCount)]

    def window(self, name, timeout=TIMEOUT):
        """The top-level window whose title is `name` (or satisfies it, when it is a function)."""
        match = name if callable(name) else (lambda n: n == name)

        def look():
            self.check_running()
            for w in self.windows():
                if w is not None and match(name_of(w) or ""):
                    return w
            return None
        try:
            return wait_until(look, "a window named %r" % (name,), timeout)
        except AssertionError as e:
            raise AssertionError("%s; windows: %s" % (e, self.window_names())) from None

    def window_names(self):
        try:
            return [name_of(w) for w in self.windows()]
        except Exception:
            return []

    def has_window(self, name):
        return any(name_of(w) == name for w in self.windows())

    def find(self, role, name, root=None, timeout=TIMEOUT, showing=True):
        """The first control with this role and accessible name under `root` (the whole program by default)."""
        def look():
            self.check_running()
            for node in walk(root if root is not None else self.app):
                if role_of(node) == role and name_of(node) == name and (
                        not showing or has_state(node, pyatspi.STATE_SHOWING)):
                    return node
            return None
        try:
            return wait_until(look, "a %s named %r" % (role, name), timeout)
        except AssertionError as e:
            seen = sorted({name_of(n) for n in walk(root if root is not None else self.app) if role_of(n) == role},
                          key=str)
            raise AssertionError("%s; %s controls seen: %s" % (e, role, seen)) from None

    def nodes(self, root=None, role=None):
        """Every control under `root` (the whole program by default), or those with the role."""
        return [n for n in walk(root if root is not None else self.app) if role is None or role_of(n) == role]

    def wait_gone(self, title, timeout=TIMEOUT):
        # A program that has ended has closed all its windows.
        wait_until(lambda: self.proc.poll() is not None or not self.has_window(title),
                   "the window %r to close" % title, timeout)

    def wait_file(self, path, timeout=TIMEOUT):
        wait_until(lambda: os.path.exists(path), "the file %s" % path, timeout)

    def list_items(self, list_node):
        return [name_of(c) for c in walk(list_node) if role_of(c) == "list item"]

    def check_running(self):
        if self.proc.poll() is not None:
            raise AssertionError("the program ended with %d: %s" % (self.proc.returncode, self.stderr()))

    # ---- acting ----

    def press(self, node):
        """Presses a button through its action, as a screen reader does. Only for buttons whose click
        returns at once: the call waits for the program's answer."""
        action = node.queryAction()
        names = [action.getName(i).lower() for i in range(action.nActions)]
        action.doAction(names.index("press") if "press" in names else 0)

    def set_text(self, node, text):
        node.queryEditableText().setTextContents(text)
        wait_until(lambda: text_of(node) == text, "the text %r in %r" % (text, name_of(node)))

    def grab_focus(self, node):
        node.queryComponent().grabFocus()
        wait_until(lambda: has_state(node, pyatspi.STATE_FOCUSED), "the focus in %s %r" % (role_of(node), name_of(node)))

    def x_window(self, title, timeout=TIMEOUT):
        """The X window of the program whose title is exactly `title`."""
        def look():
            self.check_running()
            ids = self.x.xdotool("search", "--onlyvisible", "--pid", self.proc.pid, ".*").stdout.split()
            for wid in ids:
                if self.x.window_title(wid) == title:
                    return wid
            return None
        return wait_until(look, "an X window titled %r" % title, timeout)

    def activate(self, title):
        """Gives the keyboard to the window titled `title` and waits until the program sees it active."""
        wid = self.x_window(title)
        node = self.window(title)

        def active():
            self.x.xdotool("windowfocus", "--sync", wid)
            pump(0.1)
            return has_state(node, pyatspi.STATE_ACTIVE)
        wait_until(active, "the window %r to become active" % title)
        return node

    def keys(self, *keys):
        trace("keys %s" % (keys,))
        for key in keys:
            result = self.x.xdotool("key", "--clearmodifiers", key)
            if result.returncode != 0:
                raise AssertionError("xdotool key %s: %s" % (key, result.stderr))

    def type(self, text):
        result = self.x.xdotool("type", "--delay", "30", "--clearmodifiers", text, timeout=60 + len(text))
        if result.returncode != 0:
            raise AssertionError("xdotool type: %s" % result.stderr)

    @staticmethod
    def text(node):
        return text_of(node)

    @staticmethod
    def wait_until(predicate, what, timeout=TIMEOUT):
        return wait_until(predicate, what, timeout)

    def wait_text(self, node, text):
        wait_until(lambda: text_of(node) == text, "%r in %r (it shows %r)" % (text, name_of(node), text_of(node)))

    def type_into(self, node, text):
        """Types `text` into a field that has the focus and waits until the field shows it."""
        self.type(text)
        wait_until(lambda: text_of(node) == text,
                   "%r typed into %r (it shows %r)" % (text, name_of(node), text_of(node)))

    # ---- the context menu ----

    def _next_focus(self, key, seen):
        self.keys(key)
        return wait_until(lambda: self._menu_focus_after(seen), "the menu's highlight to move after %s" % key)

    def _menu_focus_after(self, seen):
        while len(self.focus.events) > seen[0]:
            node = self.focus.events[seen[0]]
            seen[0] += 1
            if role_of(node) in MENU_ROLES:
                return node
        return None

    def click(self, node, button=1):
        """Clicks the middle of a control with the mouse."""
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if box.width <= 0 or box.height <= 0:
            raise AssertionError("%s %r has no size on the screen" % (role_of(node), name_of(node)))
        # No --sync: it waits for the pointer to move, which it never does when it is there already.
        result = self.x.xdotool("mousemove", box.x + box.width // 2, box.y + box.height // 2, "click", button)
        if result.returncode != 0:
            raise AssertionError("xdotool click: %s" % result.stderr)

    def choose(self, *path, at=None, opener="Menu"):
        """Opens the context menu, with a right click on the control `at` or else with the key `opener`,
        and chooses the item reached through the captions in `path` (submenus first), walking the
        highlight with the arrow keys as a person does."""
        pump(0.1)
        seen = [len(self.focus.events)]
        if at is not None:
            self.click(at, 3)
        else:
            self.keys(opener)
        item = self._next_focus("Down", seen)
        visited = []
        for depth, caption in enumerate(path):
            for _ in range(60):
                if name_of(item) == caption:
                    break
                visited.append(name_of(item))
                item = self._next_focus("Down", seen)
            else:
                raise AssertionError("no menu item %r; met %s" % (caption, visited))
            if not has_state(item, pyatspi.STATE_ENABLED):
                raise AssertionError("the menu item %r is disabled" % caption)
            if depth + 1 < len(path):
                item = self._next_focus("Right", seen)
                visited = []
        self.keys("Return")

    # ---- the end ----

    def wait_exit(self, timeout=TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end; windows: %s" % self.window_names())

    def stop(self):
        self.focus.close()
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.errors.close()


def settings_values(config_home):
    """The values of the settings file's Initial group, as text."""
    import configparser
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.optionxform = str
    path = os.path.join(config_home, "Orvane", "Vorland.conf")
    with open(path, encoding="utf-8") as f:
        parser.read_file(f)
    return dict(parser["Initial"]) if parser.has_section("Initial") else {}


def batch_text(sections, before="", after="", update_zip=True):
    """The bytes the program writes for a batch: CR LF lines, the parameters first, then every section's
    keys in their fixed order. `sections`: (name, zip, compress, dir, suffix, ignore, recurse, dirname)."""
    lines = ["[BatchParameters]", "Before=" + before, "After=" + after, "Password=",
             "UpdateZip=%d" % update_zip, ""]
    for name, zip_path, compress, folder, suffix, ignore, recurse, dirname in sections:
        lines += ["[%s]" % name, "Zip=" + zip_path, "Compress=%d" % compress, "Dir=" + folder,
                  "Suffix=" + suffix, "Ignore=" + ignore, "Recurse=%d" % recurse, "DirName=%d" % dirname,
                  "Comments=", ""]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def unzip_test(archive):
    """unzip -t's verdict and the names of the files in the archive (folder entries left out)."""
    check = subprocess.run(["unzip", "-t", archive], capture_output=True, text=True)
    listing = subprocess.run(["unzip", "-Z1", archive], capture_output=True, text=True)
    return check.returncode, check.stdout + check.stderr, sorted(n for n in listing.stdout.split("\n") if n and not n.endswith("/"))


def main():
    """Runs the calling test module's tests on a session bus of their own. The accessibility bus that
    the session starts puts its socket under XDG_RUNTIME_DIR (or the real home's cache without one),
    so every run gets a runtime folder of its own: two runs side by side would otherwise share one
    socket path and talk to each other's bus."""
    import unittest
    if os.environ.get("VORLAND_E2E_BUS") == "1":
        unittest.main(module="__main__", verbosity=2)
        return
    runtime = tempfile.mkdtemp(prefix="vorland-e2e-run-")
    try:
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VORLAND_E2E_BUS="1")
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        script = os.path.abspath(sys.modules["__main__"].__file__)
        code = subprocess.call(["dbus-run-session", "--", sys.executable, script] + sys.argv[1:], env=env)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(code)


class EditorTestMixin:
    """A private X display for the class, a private home with its own settings folders for each test,
    and the programs started by a test stopped at its end."""

    @classmethod
    def setUpClass(cls):
        cls.x = XSession()
        start_accessibility()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def setUp(self):
        self.home = private_home()
        self.dir = self.home.name
        self.config = os.path.join(self.dir, ".config")
        self.env = self.x.env(HOME=self.dir, XDG_CONFIG_HOME=self.config,
                              XDG_DATA_HOME=os.path.join(self.dir, ".local/share"),
                              XDG_RUNTIME_DIR=self.runtime_dir())
        self.addCleanup(self.home.cleanup)

    def runtime_dir(self):
        path = os.path.join(self.dir, "run")
        os.makedirs(path, mode=0o700, exist_ok=True)
        return path

    def start(self, *args):
        program = Program(self.x, self.env, *args)
        self.addCleanup(program.stop)
        return program

    def seed_settings(self, **values):
        """A settings file with these values in the Initial group."""
        folder = os.path.join(self.config, "Orvane")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "Vorland.conf"), "w", encoding="utf-8") as f:
            f.write("[Initial]\n")
            for key, value in values.items():
                f.write("%s=%s\n" % (key, value))
