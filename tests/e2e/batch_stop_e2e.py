"""End-to-end, through the accessibility interface: a batch run whose Before command hangs keeps its
progress window alive, and Abort or SIGTERM ends the command and the run with exit code 3 in a few
seconds; Abort while the engine writes stops the run and leaves no temporary file; a display that goes away
mid-run leaves an honest end; a missing batch file and the usage switch show their box on a display."""

import glob
import json
import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_driver import EditorTestMixin, Program, XSession, batch_text, main  # noqa: E402


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

    def test_abort_confirmed_while_the_engine_writes_leaves_no_temporary_file(self):
        src = os.path.join(self.dir, "src")
        os.makedirs(src)
        # A large file of zeros costs no disk space and keeps the engine busy for a while.
        with open(os.path.join(src, "big.bin"), "wb") as f:
            f.truncate(3 << 30)
        self.marker = os.path.join(self.dir, "after-ran")
        batch = os.path.join(self.dir, "big.vrl")
        with open(batch, "wb") as f:
            f.write(batch_text([("big", os.path.join(self.dir, "out.zip"), 1, src, "", "", 1, 0)],
                               after="touch " + self.marker))
        program = self.start(batch, "/B")
        program.press(program.find("push button", "OK", self.ask_to_stop(program)))
        self.expect_stopped_within(program, 60)
        self.assertEqual(glob.glob(os.path.join(self.dir, "*vorland-tmp*")), [])

    def test_sigterm_while_cancel_zip_is_asked_stops_at_once(self):
        program = self.start(self.hung_batch(), "/B")
        self.ask_to_stop(program)
        program.proc.send_signal(signal.SIGTERM)
        self.expect_stopped_within(program, 5)

    def busy_batch(self):
        """A batch of one section that keeps the engine busy for a while, with an After marker."""
        src = os.path.join(self.dir, "src")
        os.makedirs(src, exist_ok=True)
        # Zeros cost no disk space and take the engine some seconds.
        with open(os.path.join(src, "big.bin"), "wb") as f:
            f.truncate(768 << 20)
        self.marker = os.path.join(self.dir, "after-ran")
        self.archive = os.path.join(self.dir, "out.zip")
        batch = os.path.join(self.dir, "busy.vrl")
        with open(batch, "wb") as f:
            f.write(batch_text([("big", self.archive, 1, src, "", "", 1, 0)], after="touch " + self.marker))
        return batch

    def run_on_a_display_that_dies(self, kill_when):
        """Starts the busy batch on a display of its own, kills that display once `kill_when(program)`
        returned; the program's exit code, its standard error and the temporary files left."""
        display = XSession()
        self.addCleanup(display.stop)
        env = dict(self.env, DISPLAY=display.display, XDG_STATE_HOME=os.path.join(self.dir, "state"))
        program = Program(display, env, self.busy_batch(), "/B")
        self.addCleanup(program.stop)
        kill_when(program)
        display.process.kill()
        code = program.wait_exit(timeout=300)
        return code, program.stderr(), glob.glob(os.path.join(self.dir, "*vorland-tmp*"))

    def test_a_display_killed_mid_run_ends_with_a_summary_an_honest_code_and_no_temporary_file(self):
        # While the engine works: the run goes on without windows and completes. In a moment of each
        # event pass the window system can meet the broken connection before the run sees it: that
        # run ends as stopped by an error, never as a success, and another attempt is made.
        for attempt in range(3):
            code, err, left = self.run_on_a_display_that_dies(
                lambda program: program.window(lambda title: title.startswith("Processing archive ... big")))
            self.assertIn("the display went away", err)
            self.assertEqual(left, [])
            if code != 0:
                self.assertEqual(code, 2, err)
                self.assertIn("Stopped by an error in section \"big\": the display went away", err)
                self.assertFalse(os.path.exists(self.marker), "the After command ran after a stop")
                if os.path.exists(self.archive):
                    os.remove(self.archive)
                continue
            self.assertIn("No problems.", err)
            self.assertTrue(os.path.exists(self.marker), "the After command did not run")
            self.assertEqual(subprocess.run(["unzip", "-tq", self.archive], capture_output=True).returncode, 0)
            break
        else:
            self.fail("no run went on without its display in three attempts")

        # While "Cancel zip ?" is shown the window system ends the process: the run ends as any run
        # stopped by an error ends, its temporary archive removed, its end in the log and the last
        # result, and the desktop told (by the stand-in notification service on this test's bus).
        os.remove(self.marker)
        os.remove(self.archive)
        record = os.path.join(self.dir, "notifications.jsonl")
        service = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                                     "notice_service.py"), record],
                                   stdout=subprocess.PIPE, text=True)
        self.addCleanup(service.wait, 10)
        self.addCleanup(service.terminate)
        self.assertEqual(service.stdout.readline().strip(), "ready")
        code, err, left = self.run_on_a_display_that_dies(lambda program: self.ask_to_stop(program))
        self.assertEqual(code, 2, err)
        self.assertIn("Stopped by an error in section \"big\": the display went away", err)
        self.assertFalse(os.path.exists(self.marker))
        self.assertEqual(left, [])
        state_folder = os.path.join(self.dir, "state", "vorland")
        [log] = glob.glob(os.path.join(state_folder, "busy-*.log"))
        with open(log) as f:
            last_run = f.read().rsplit("==== Run of ", 1)[1]
        self.assertIn("the display went away", last_run)
        self.assertRegex(last_run, r"==== Run ended .*: exit code 2 \(stopped by an error\)\n$")
        [state] = glob.glob(os.path.join(state_folder, "busy-*.state"))
        with open(state) as f:
            self.assertRegex(f.read(), r"Running=0\nLastExitCode=2\n(.|\n)*StopErrorNumber=86\n")
        with open(record) as f:
            [call] = [json.loads(line) for line in f]
        self.assertEqual(call["summary"], 'Backup "busy" was stopped by an error')
        self.assertIn("the display went away", call["body"])

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
