"""End-to-end: closing the editor with unsaved edits asks "Save batch file ?" in a box titled
"Confirmation": Cancel keeps the window, Yes writes the batch as edited, No leaves the file alone."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import EditorTestMixin, batch_text, main, settings_values, wait_until  # noqa: E402


class CloseWithEdits(EditorTestMixin, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.src = os.path.join(self.dir, "src")
        os.makedirs(self.src)
        self.batch = os.path.join(self.dir, "edited.vrl")
        self.sections = [
            ("first", os.path.join(self.dir, "first.zip"), 1, self.src, "*.txt", "", 1, 0),
            ("second", os.path.join(self.dir, "second.zip"), 1, self.src, "", "", 0, 0),
        ]
        self.original = batch_text(self.sections)
        with open(self.batch, "wb") as f:
            f.write(self.original)
        self.seed_settings(BatchFile=self.batch)

    def edit_exclude_mask(self, editor, main):
        """Types an exclude mask for the second section into the property pane."""
        names = editor.find("list", "Name", main)
        editor.click(editor.find("list item", "second", names))
        name = editor.find("text", "Name", main)
        editor.wait_text(name, "second")
        field = editor.find("text", "Exclude files", main)
        editor.grab_focus(field)
        editor.type_into(field, "*.bak;*.tmp")

    def close_and_answer(self, editor, main, answer):
        editor.choose("Close", at=editor.find("page tab", "Parameters", main))
        box = editor.window("Confirmation")
        editor.find("label", "Save batch file ?", box)
        editor.press(editor.find("push button", answer, box))
        editor.wait_gone("Confirmation")

    def read_batch(self):
        with open(self.batch, "rb") as f:
            return f.read()

    def test_cancel_keeps_the_window_and_yes_writes_the_edits(self):
        editor = self.start()
        main = editor.window("Vorland : " + self.batch)
        self.edit_exclude_mask(editor, main)
        self.close_and_answer(editor, main, "Cancel")
        # Still open, still editable, nothing written.
        editor.check_running()
        self.assertTrue(editor.has_window("Vorland : " + self.batch))
        self.assertEqual(self.read_batch(), self.original)
        # The settings are stored all the same (the file had only the batch's name).
        wait_until(lambda: "ViewStyle" in settings_values(self.config), "the settings written after Cancel")

        self.close_and_answer(editor, main, "Yes")
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())
        edited = list(self.sections)
        edited[1] = edited[1][:5] + ("*.bak;*.tmp",) + edited[1][6:]
        self.assertEqual(self.read_batch(), batch_text(edited))

    def test_no_closes_without_writing(self):
        editor = self.start()
        main = editor.window("Vorland : " + self.batch)
        self.edit_exclude_mask(editor, main)
        self.close_and_answer(editor, main, "No")
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())
        self.assertEqual(self.read_batch(), self.original)

    def test_new_with_unsaved_edits_asks_first(self):
        editor = self.start()
        title = "Vorland : " + self.batch
        main = editor.window(title)
        self.edit_exclude_mask(editor, main)
        names = editor.find("list", "Name", main)
        # Ctrl+N would drop the edits: the same question as at closing; Cancel keeps everything.
        editor.keys("ctrl+n")
        box = editor.window("Confirmation")
        editor.find("label", "Save batch file ?", box)
        editor.press(editor.find("push button", "Cancel", box))
        editor.wait_gone("Confirmation")
        self.assertTrue(editor.has_window(title))
        self.assertEqual(editor.list_items(names), ["first", "second"])
        self.assertEqual(editor.text(editor.find("text", "Exclude files", main)), "*.bak;*.tmp")
        # No: the new, empty batch replaces it and the file stays as it was. (Without a window manager
        # nobody gives the keyboard back to the window when the box closes.)
        editor.activate(title)
        editor.keys("ctrl+n")
        editor.press(editor.find("push button", "No", editor.window("Confirmation")))
        editor.window("Vorland : New")
        editor.wait_until(lambda: editor.list_items(names) == [], "an empty section list")
        self.assertEqual(self.read_batch(), self.original)


if __name__ == "__main__":
    main()
