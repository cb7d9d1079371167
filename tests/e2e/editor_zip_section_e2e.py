"""End-to-end: "Zip section" from the section submenu of the editor's context menu zips the selected
section alone; a section whose folder is missing ends with the problems dialog."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import EditorTestMixin, batch_text, main, name_of, settings_values, text_of, unzip_test  # noqa: E402


class ZipSection(EditorTestMixin, unittest.TestCase):
    def test_zip_section_writes_that_archive_and_reports_a_missing_folder(self):
        src = os.path.join(self.dir, "src")
        os.makedirs(os.path.join(src, "sub"))
        for i in range(12):
            with open(os.path.join(src, "sub" if i % 3 == 0 else "", "f%d.txt" % i), "wb") as f:
                f.write(b"line %d\n" % i * 300)
        good_zip = os.path.join(self.dir, "good.zip")
        other_zip = os.path.join(self.dir, "other.zip")
        gone_zip = os.path.join(self.dir, "gone.zip")
        missing = os.path.join(self.dir, "no such folder")
        batch = os.path.join(self.dir, "week.vrl")
        with open(batch, "wb") as f:
            f.write(batch_text([
                ("other", other_zip, 1, src, "", "", 1, 0),
                ("good", good_zip, 1, src, "*.txt", "", 1, 0),
                ("gone", gone_zip, 1, missing, "", "", 1, 0),
            ], after="touch " + os.path.join(self.dir, "after-ran")))
        # The batch named on the command line replaces the one remembered in the settings (which
        # also keeps the new-section wizard from opening).
        remembered = os.path.join(self.dir, "remembered.vrl")
        with open(remembered, "wb") as f:
            f.write(batch_text([("old", os.path.join(self.dir, "old.zip"), 1, src, "", "", 1, 0)]))
        self.seed_settings(BatchFile=remembered)

        editor = self.start(batch)
        main = editor.window("Vorland : " + batch)
        names = editor.find("list", "Name", main)
        self.assertEqual(editor.list_items(names), ["other", "good", "gone"])
        # A right click on a section selects it and opens the menu with its submenu.
        editor.choose("[good]", "Zip section", at=editor.find("list item", "good", names))
        editor.wait_file(good_zip)
        code, report, files = unzip_test(good_zip)
        self.assertEqual(code, 0, report)
        self.assertEqual(files, sorted(["f%d.txt" % i for i in range(12) if i % 3] +
                                       ["sub/f%d.txt" % i for i in range(12) if i % 3 == 0]))
        # The section alone: neither the other sections nor the After command ran.
        self.assertFalse(os.path.exists(other_zip))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "after-ran")))

        editor.choose("[gone]", "Zip section", at=editor.find("list item", "gone", names))
        problems = editor.window("Vorland : Zip it")
        lines = editor.nodes(problems, "text")
        self.assertEqual(len(lines), 1)
        self.assertIn(missing, text_of(lines[0]))
        summary = [name_of(n) for n in editor.nodes(problems, "label")]
        self.assertTrue(any("1 problem(s)" in line for line in summary), summary)
        self.assertFalse(os.path.exists(gone_zip))
        editor.press(editor.find("push button", "OK", problems))
        editor.wait_gone("Vorland : Zip it")

        # Nothing was edited: closing asks nothing.
        editor.choose("Close", at=editor.find("page tab", "Parameters", main))
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())
        self.assertEqual(settings_values(self.config).get("BatchFile"), batch)


if __name__ == "__main__":
    main()
