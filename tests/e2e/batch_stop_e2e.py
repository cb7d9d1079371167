"""End-to-end, through the accessibility interface: a batch run whose Before command hangs keeps its
progress window alive, and Abort or SIGTERM ends the command and the run with exit code 3 in a few
seconds; a missing batch file and the usage switch show their box on a display."""

import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import EditorTestMixin, batch_text, main, wait_until  # noqa: E402


class BatchStop(EditorTestMixin, unittest.TestCase):
    def hung_batch(self):
        """A batch whose Before command hangs for a minute and whose After command leaves a marker."""
        src = os.path.join(self.dir, "src")
        os.makedirs(src)
        with open(os.path.join(src, "a.txt"), "w") as f:
            f.write("a")
        self.marker = os.path.join(self.dir, "after-ran")
        batch = os.path.join(self.dir, "hung.vrl")
        with open(batch, "wb") as f:
            f.write(batch_text([("docs", os.path.join(self.dir, "out.zip"), 1, src, "", "", 1, 0)],
                               before="sleep 60", after="touch " + self.marker))
        return batch

    def ask_to_stop(self, program):
        """Clicks Abort in the progress window while the Before command runs; the question's box."""
        window = program.window(lambda title: title.startswith("Processing"))
        program.click(program.find("push button", "Abort", window))
        return program.window("Confirmation")

    def expect_stopped_within(self, program, seconds):
        start = time.monotonic()
        self.assertEqual(program.wait_exit(), 3, program.stderr())
        self.assertLess(time.monotonic() - start, seconds)
        self.assertIn("Stopped by the user", program.stderr())
        self.assertFalse(os.path.exists(self.marker), "the After command ran after a stop")

    def test_abort_confirmed_ends_a_hung_before_command(self):
        program = self.start(self.hung_batch(), "/B")
        box = self.ask_to_stop(program)
        program.press(program.find("push button", "OK", box))
        self.expect_stopped_within(program, 5)

    def test_sigterm_while_cancel_zip_is_asked_stops_at_once(self):
        program = self.start(self.hung_batch(), "/B")
        self.ask_to_stop(program)
        program.proc.send_signal(signal.SIGTERM)
        self.expect_stopped_within(program, 5)

    def test_a_missing_batch_file_shows_its_box_opens_the_editor_and_ends_with_2(self):
        missing = os.path.join(self.dir, "missing.vrl")
        program = self.start(missing, "/B")
        box = program.window("Vorland")
        program.find("label", "Pellamar - Vorland\n%s : unable to open Batch filename\nBatch mode cancelled."
                     % missing, box)
        program.press(program.find("push button", "OK", box))
        tab = program.find("page tab", "Parameters")
        program.choose("Close", at=tab)
        # The editor treats the empty batch as unsaved: it is left unsaved.
        program.press(program.find("push button", "No", program.window("Confirmation")))
        self.assertEqual(program.wait_exit(), 2, program.stderr())
        self.assertIn(missing + " : unable to open Batch filename", program.stderr())

    def test_the_usage_switch_shows_its_box(self):
        program = self.start("/?")
        box = program.window("Vorland")
        program.press(program.find("push button", "OK", box))
        self.assertEqual(program.wait_exit(), 0, program.stderr())


if __name__ == "__main__":
    main()
