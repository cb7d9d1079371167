"""End-to-end: "Restore..." on a section whose archive exists opens the restore window; two files
checked in its tree and restored to a typed folder come back there with their content, times and
permission bits, and nothing else is written."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pyatspi  # noqa: E402
from atspi_driver import VORLAND, EditorTestMixin, batch_text, has_state, main, name_of  # noqa: E402

# name -> (content, mode, modification time); the times are even seconds, which every zip time keeps.
FILES = {
    "a.txt": (b"first file\n" * 40, 0o640, 1_600_000_000),
    "b.txt": (b"not chosen\n", 0o644, 1_600_000_100),
    "sub/c.sh": (b"#!/bin/sh\necho c\n", 0o750, 1_500_000_002),
    "sub/d.txt": (b"not chosen either\n", 0o644, 1_500_000_200),
}
CHOSEN = ("a.txt", "sub/c.sh")


def tree_of(root):
    """Every file and folder under `root`, relative to it."""
    found = set()
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


class RestoreWindow(EditorTestMixin, unittest.TestCase):
    def test_two_checked_files_are_restored_to_a_chosen_folder(self):
        src = os.path.join(self.dir, "src")
        for name, (content, mode, mtime) in FILES.items():
            path = os.path.join(src, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content)
            os.chmod(path, mode)
            os.utime(path, (mtime, mtime))
        archive = os.path.join(self.dir, "docs.zip")
        batch = os.path.join(self.dir, "docs.vrl")
        with open(batch, "wb") as f:
            f.write(batch_text([("docs", archive, 1, src, "", "", 1, 0)]))
        self.seed_settings(BatchFile=batch)
        run = subprocess.run([VORLAND, batch, "/B"], env=dict(self.env, QT_QPA_PLATFORM="offscreen"),
                             capture_output=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        out = os.path.join(self.dir, "out")
        os.makedirs(out)

        editor = self.start(batch)
        main_window = editor.window("Vorland : " + batch)
        names = editor.find("list", "Name", main_window)
        editor.choose("[docs]", "Restore...", at=editor.find("list item", "docs", names))
        window = editor.window(lambda title: title.startswith("Restore from ") and title.endswith("docs.zip"))
        entries = editor.find("tree", "Entries", window)
        # A row becomes current with a click on it; the keyboard opens the folder and checks the boxes.
        editor.click(editor.find("table cell", "sub", entries))
        editor.wait_until(lambda: has_state(entries, pyatspi.STATE_FOCUSED), "the focus in the tree")
        editor.keys("Right")
        for name in CHOSEN:
            cell = editor.find("table cell", os.path.basename(name), entries)
            editor.click(cell)
            editor.keys("space")
            editor.wait_until(lambda: has_state(cell, pyatspi.STATE_CHECKED), "%s checked" % name)

        field = editor.find("text", "Folder", window)
        editor.grab_focus(field)
        editor.type_into(field, out)
        editor.press(editor.find("push button", "Restore", window))
        status = editor.wait_until(
            lambda: [name_of(n) for n in editor.nodes(window, "label") if " restored, " in (name_of(n) or "")],
            "the summary of the restore")
        self.assertEqual(status, ["2 restored, 0 kept as they were, 0 problems"])

        self.assertEqual(tree_of(out), {"sub"} | set(CHOSEN))
        for name in CHOSEN:
            content, mode, mtime = FILES[name]
            path = os.path.join(out, name)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), content, name)
            info = os.stat(path)
            self.assertEqual((oct(info.st_mode & 0o7777), int(info.st_mtime)), (oct(mode), mtime), name)

        editor.press(editor.find("push button", "Close", window))
        editor.wait_gone(name_of(window))
        editor.choose("Close", at=editor.find("page tab", "Parameters", main_window))
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())


if __name__ == "__main__":
    main()
