"""End-to-end: the language chosen in the context menu's Languages submenu is stored in the settings
file and the next start comes up in it."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import EditorTestMixin, main, settings_values  # noqa: E402

CAPTIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "Languages", "French",
                        "CaptionList.txt")


def french(key):
    """A French text of the program's caption file, as shown (without its accelerator mark)."""
    with open(CAPTIONS, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith(key + "="):
                return line[len(key) + 1:].replace("&&", "\0").replace("&", "").replace("\0", "&")
    raise AssertionError("no %s in the French captions" % key)


class Language(EditorTestMixin, unittest.TestCase):
    def test_french_chosen_in_the_menu_is_kept_for_the_next_start(self):
        editor = self.start()
        # Nothing stored yet: the new-section wizard opens by itself; Escape closes it as Cancel.
        wizard = editor.window("Vorland Wizard")
        editor.find("push button", "Cancel", wizard)
        editor.activate("Vorland Wizard")
        editor.keys("Escape")
        editor.activate("Vorland")
        # The focus is back on the page tabs, where Shift+F10 opens the window's context menu.
        editor.choose("Languages", "French", opener="shift+F10")
        # The window follows at once.
        editor.find("page tab", french("FrmSaveZip.tsWizard.Caption"))
        editor.find("push button", french("FrmSaveZip.cmWizard.Caption"))
        editor.choose(french("FrmSaveZip.cmClose.Caption"),
                      at=editor.find("page tab", french("FrmSaveZip.tsBatch.Caption")))
        # An unnamed batch counts as changed: the question comes, No closes without saving.
        box = editor.window("Confirmation")
        editor.find("label", french("strings.10"), box)
        editor.press(editor.find("push button", "Non", box))
        self.assertEqual(editor.wait_exit(), 0, editor.stderr())
        self.assertEqual(settings_values(self.config).get("Language"), "1")
        self.assertEqual([f for f in os.listdir(self.dir) if f.endswith(".vrl")], [])

        again = self.start()
        main = again.window("Vorland")
        for tab in ("tsWizard", "tsBatch", "tsSource"):
            again.find("page tab", french("FrmSaveZip.%s.Caption" % tab), main)
        # The wizard that opens by itself speaks French too; its folder field is named by its
        # translated label, as a screen reader reads it.
        wizard = again.window("Vorland Wizard")
        again.find("push button", french("frmBatchWizard.btAnnuler.Caption"), wizard)
        again.find("text", french("frmBatchWizard.lbSelectDir.Caption"), wizard)
        again.activate("Vorland Wizard")
        again.keys("Escape")
        again.activate("Vorland")
        # Back to English through the same submenu, whose items keep the languages' own names.
        again.choose(french("FrmSaveZip.cmLanguageList.Caption"), "English", opener="Menu")
        again.find("page tab", "Wizard")
        again.choose("Close", at=again.find("page tab", "Parameters"))
        again.press(again.find("push button", "No", again.window("Confirmation")))
        self.assertEqual(again.wait_exit(), 0, again.stderr())
        self.assertEqual(settings_values(self.config).get("Language"), "0")


if __name__ == "__main__":
    main()
