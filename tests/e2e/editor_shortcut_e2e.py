"""End-to-end: "Add Batch shortcut to desktop" writes "<name> Vorland.desktop" into the desktop folder,
and its Exec line, read as a desktop reads it, runs the batch unattended."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import EditorTestMixin, batch_text, main, unzip_test  # noqa: E402


def desktop_entry(path):
    """The keys of the [Desktop Entry] group, string escapes (\\s \\n \\t \\r \\\\) undone."""
    values = {}
    group = None
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                out = ""
                i = 0
                while i < len(value):
                    if value[i] == "\\" and i + 1 < len(value):
                        out += {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(value[i + 1], "\\" + value[i + 1])
                        i += 2
                    else:
                        out += value[i]
                        i += 1
                values[key.strip()] = out
    return values


def exec_arguments(exec_value):
    """The program and its arguments of an Exec value as a desktop splits it: words apart at blanks,
    a word in double quotes may hold blanks and takes a backslash before " ` $ and \\, "%%" is a
    percent sign, and no other field code may stand in it."""
    words = []
    word = None
    i = 0
    while i < len(exec_value):
        c = exec_value[i]
        if c == " ":
            if word is not None:
                words.append(word)
                word = None
        elif c == '"':
            word = word or ""
            i += 1
            while i < len(exec_value) and exec_value[i] != '"':
                if exec_value[i] == "\\":
                    i += 1
                    if i >= len(exec_value) or exec_value[i] not in '"`$\\':
                        raise AssertionError("bad escape in %r" % exec_value)
                word += exec_value[i]
                i += 1
            if i >= len(exec_value):
                raise AssertionError("unclosed quote in %r" % exec_value)
        elif c in '\\"`$;&|<>~*?#()\'':
            raise AssertionError("reserved character %r outside quotes in %r" % (c, exec_value))
        else:
            word = (word or "") + c
        i += 1
    if word is not None:
        words.append(word)
    arguments = []
    for word in words:
        if "%" in word.replace("%%", ""):
            raise AssertionError("field code in %r" % word)
        arguments.append(word.replace("%%", "%"))
    return arguments


class DesktopShortcut(EditorTestMixin, unittest.TestCase):
    def test_launcher_on_the_desktop_runs_the_batch(self):
        # A folder name with a blank, a dollar, a percent sign and a quote tests the quoting.
        folder = os.path.join(self.dir, 'my "50%" $HOME backups')
        src = os.path.join(folder, "src")
        os.makedirs(os.path.join(src, "sub"))
        for name in ("a.txt", "sub/b.txt"):
            with open(os.path.join(src, name), "w") as f:
                f.write(name * 100)
        archive = os.path.join(folder, "out.zip")
        batch = os.path.join(folder, "night.run.vrl")
        with open(batch, "wb") as f:
            f.write(batch_text([("all", archive, 1, src, "", "", 1, 0)]))
        # A batch remembered from before keeps the wizard from opening; the command line's replaces it.
        remembered = os.path.join(self.dir, "remembered.vrl")
        with open(remembered, "wb") as f:
            f.write(batch_text([]))
        self.seed_settings(BatchFile=remembered)

        editor = self.start(batch)
        main = editor.window("Vorland : " + batch)
        editor.choose("Add Batch shortcut to desktop", at=editor.find("page tab", "Parameters", main))
        launcher = os.path.join(self.dir, "Desktop", "night.run Vorland.desktop")
        editor.wait_file(launcher)

        # Another desktop folder named in the user's folder settings; missing, it is made.
        with open(os.path.join(self.config, "user-dirs.dirs"), "w") as f:
            f.write('XDG_DESKTOP_DIR="$HOME/Bureau"\n')
        editor.choose("Add Batch shortcut to desktop", at=editor.find("page tab", "Parameters", main))
        second = os.path.join(self.dir, "Bureau", "night.run Vorland.desktop")
        editor.wait_file(second)
        editor.choose("Close", at=editor.find("page tab", "Parameters", main))
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())

        for path in (launcher, second):
            check = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
            entry = desktop_entry(path)
            self.assertEqual(entry.get("Type"), "Application")
            self.assertEqual(entry.get("Name"), "night.run Vorland")
            self.assertTrue(os.access(path, os.X_OK))
            arguments = exec_arguments(entry["Exec"])
            self.assertEqual(os.path.realpath(arguments[0]), os.path.realpath(editor.program))
            self.assertEqual(arguments[1:], [batch, "/B"])

        # Started as a desktop starts it, without a display here: the batch runs and the program ends.
        env = dict(self.env, VORLAND_CONSOLE="1")
        env.pop("DISPLAY", None)
        run = subprocess.run(exec_arguments(desktop_entry(second)["Exec"]), env=env, cwd=self.dir,
                             capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        code, report, files = unzip_test(archive)
        self.assertEqual(code, 0, report)
        self.assertEqual(files, ["a.txt", "sub/b.txt"])


if __name__ == "__main__":
    main()
