"""End-to-end: a batch built from the keyboard (the wizard, an added section renamed in place, the
property pane, Ctrl+S with the name typed into the save dialog) is written in the batch file layout,
and the written file runs unattended into archives that unzip accepts."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import VORLAND, EditorTestMixin, batch_text, main, settings_values, unzip_test  # noqa: E402


def make_files(folder, names):
    for name in names:
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("%s\n" % name).encode() * 50)


class EditorByKeyboard(EditorTestMixin, unittest.TestCase):
    def test_wizard_add_rename_save_and_run(self):
        docs = os.path.join(self.dir, "docs")
        make_files(docs, ["a.txt", "b.doc", "sub/c.txt", "x.tmp", "sub/y.tmp", "notes.md"])
        pics = os.path.join(self.dir, "pics")
        make_files(pics, ["p1.jpg", "p2.png", "deeper/p3.jpg"])
        docs_zip = os.path.join(self.dir, "docs.zip")
        pics_zip = os.path.join(self.dir, "pics.zip")
        batch = os.path.join(self.dir, "daily backup.vrl")

        editor = self.start()
        wizard = editor.window("Vorland Wizard")
        editor.activate("Vorland Wizard")
        # Every page puts the focus into its field; Return moves on (Next, then Close on the last page).
        pages = [
            ("Select the directory where the files to save can be found.", docs),
            ("Select the zip file where the selected files will be archived.", docs_zip),
            (None, None),  # subdirectories: yes
            ("Select the list of files to be included in the archive (ex: *.doc;*.txt). You can leave it "
             "empty to select all files if you want to specify only the files to exclude from the archive.",
             "*.txt;*.doc"),
            ("Select the list of files to be excluded from the archive (ex: *.~*;*.tmp). You can leave it "
             "empty if you don't want to exclude files from the archive.", "*.tmp"),
            (None, None),  # relative path names
            ("Enter the name of this new batch section.", "Documents"),
        ]
        for label, value in pages:
            if label is not None:
                field = editor.find("text", label, wizard)
                editor.type_into(field, value)
            editor.keys("Return")
        editor.check_running()
        main = editor.activate("Vorland")
        names = editor.find("list", "Name", main)
        self.assertEqual(editor.list_items(names), ["Documents"])

        # A second section, renamed in the list as soon as it is added. The focus is back on the page
        # tabs, where Shift+F10 opens the window's context menu.
        editor.choose("Add new section", opener="shift+F10")
        editor.keys("ctrl+a")
        editor.type("Pictures")
        editor.keys("Return")
        editor.find("list item", "Pictures", names)
        self.assertEqual(editor.list_items(names), ["Documents", "Pictures"])
        # Its folder and archive typed into the property pane.
        for caption, value in (("Directory", pics), ("Zip name", pics_zip)):
            field = editor.find("text", caption, main)
            editor.grab_focus(field)
            editor.type_into(field, value)

        # Ctrl+S on an unnamed batch asks for a name.
        editor.keys("ctrl+s")
        dialog = editor.window("Save as")
        editor.activate("Save as")
        editor.type_into(editor.find("text", "File name:", dialog), batch)
        editor.keys("Return")
        editor.window("Vorland : " + batch)
        with open(batch, "rb") as f:
            written = f.read()
        self.assertEqual(written, batch_text([
            ("Documents", docs_zip, 1, docs, "*.txt;*.doc", "*.tmp", 1, 0),
            ("Pictures", pics_zip, 1, pics, "*.*", "", 0, 0),
        ]))

        # Saved: closing asks nothing, and the next start reopens this file.
        editor.choose("Close", at=editor.find("page tab", "Parameters", main))
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())
        self.assertEqual(settings_values(self.config).get("BatchFile"), batch)

        env = dict(self.env, VORLAND_CONSOLE="1")
        run = subprocess.run([VORLAND, batch, "/B"], env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        code, report, names = unzip_test(docs_zip)
        self.assertEqual(code, 0, report)
        self.assertEqual(names, ["a.txt", "b.doc", "sub/c.txt"])
        code, report, names = unzip_test(pics_zip)
        self.assertEqual(code, 0, report)
        # Recurse is off for an added section: the subfolder stays out.
        self.assertEqual(names, ["p1.jpg", "p2.png"])


if __name__ == "__main__":
    main()
