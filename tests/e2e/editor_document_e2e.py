"""End-to-end: the Source page gives back a folder name with a no-break space as it was, and a last
batch that cannot be read (a folder) is said in an error box before the editor opens on an empty,
unnamed batch."""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import VORLAND, EditorTestMixin, batch_text, main, unzip_test, walk, name_of, role_of  # noqa: E402


class DocumentEndToEnd(EditorTestMixin, unittest.TestCase):
    def test_a_folder_name_with_a_no_break_space_survives_typing_on_the_source_page(self):
        src = os.path.join(self.dir, "My\u00a0Docs")
        os.makedirs(src)
        with open(os.path.join(src, "note.txt"), "w") as f:
            f.write("kept")
        archive = os.path.join(self.dir, "out.zip")
        batch = os.path.join(self.dir, "nbsp.vrl")
        original = batch_text([("docs", archive, 1, src, "", "", 1, 0)])
        with open(batch, "wb") as f:
            f.write(original)
        self.seed_settings(BatchFile=batch)
        editor = self.start()
        title = "Vorland : " + batch
        window = editor.window(title)
        editor.click(editor.find("page tab", "Source", window))
        source = editor.find("text", "Text of the batch file", window)
        editor.wait_until(lambda: "My\u00a0Docs" in editor.text(source), "the batch text on the Source page")
        editor.grab_focus(source)
        editor.keys("ctrl+Home")
        editor.type("; typed\n")
        editor.wait_until(lambda: editor.text(source).lstrip("\ufeff").startswith("; typed"), "the typed line")
        # Leaving the page makes the list follow the typed text; Save writes the list.
        editor.click(editor.find("page tab", "Parameters", window))
        editor.keys("ctrl+s")
        editor.wait_until(lambda: open(batch, "rb").read() == original and self.saved_after(batch),
                          "the batch saved as it was")
        run = subprocess.run([VORLAND, batch, "/B"], env=dict(self.env, QT_QPA_PLATFORM="offscreen"),
                             capture_output=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        code, report, names = unzip_test(archive)
        self.assertEqual((code, names), (0, ["note.txt"]), report)

    def saved_after(self, batch):
        return os.stat(batch).st_mtime_ns > self.started

    def setUp(self):
        super().setUp()
        self.started = time.time_ns()

    def test_an_unreadable_last_batch_is_said_and_the_editor_opens_empty(self):
        folder = os.path.join(self.dir, "folder.vrl")
        os.makedirs(folder)
        self.seed_settings(BatchFile=folder)
        editor = self.start()
        # The box comes first: the editor's window shows once it is answered.
        box = editor.window("Vorland")
        labels = [name_of(n) or "" for n in walk(box) if role_of(n) == "label"]
        self.assertTrue(any("Cannot read the batch file" in text and folder in text for text in labels), labels)
        editor.press(editor.find("push button", "OK", box))
        names = editor.find("list", "Name")
        self.assertEqual(editor.list_items(names), [])
        editor.check_running()


if __name__ == "__main__":
    main()
