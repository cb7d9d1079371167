"""End-to-end: `vorland FILE /B` on a display shows only the progress window, writes the archive
and exits 0. (Abort is driven through the accessibility interface in batch_stop_e2e.py.)"""

import os
import socket
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, private_home  # noqa: E402

BIN = os.environ.get("VORLAND_BIN_DIR", "build/bin")
VORLAND = os.path.join(BIN, "vorland")


def write_batch(path, sections, after=""):
    text = "[BatchParameters]\r\nBefore=\r\nAfter=%s\r\nPassword=\r\nUpdateZip=1\r\n\r\n" % after
    for name, zip_path, source in sections:
        text += ("[%s]\r\nZip=%s\r\nCompress=1\r\nDir=%s\r\nSuffix=\r\nIgnore=\r\nRecurse=1\r\nDirName=0\r\n"
                 "Comments=\r\n\r\n") % (name, zip_path, source)
    with open(path, "w", newline="") as f:
        f.write(text)


class BatchWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.x = XSession()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def setUp(self):
        self.home = private_home()
        self.dir = self.home.name
        self.env = self.x.env(HOME=self.dir, XDG_CONFIG_HOME=os.path.join(self.dir, ".config"),
                              XDG_DATA_HOME=os.path.join(self.dir, ".local/share"))

    def tearDown(self):
        self.home.cleanup()

    def start(self, *args):
        proc = subprocess.Popen([VORLAND] + list(args), env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        self.addCleanup(self.stop_process, proc)
        return proc

    @staticmethod
    def stop_process(proc):
        if proc.poll() is None:
            proc.kill()
        proc.communicate()

    def test_batch_run_shows_the_progress_window_and_writes_the_archive(self):
        src = os.path.join(self.dir, "src")
        os.makedirs(os.path.join(src, "sub"))
        for i in range(20):
            with open(os.path.join(src, "sub" if i % 2 else "", "f%d.txt" % i), "wb") as f:
                f.write(os.urandom(2000) * (i + 1))
        archive = os.path.join(self.dir, "out.zip")
        batch = os.path.join(self.dir, "daily.vrl")
        # The After command keeps the window on screen long enough to be seen from outside.
        write_batch(batch, [("docs", archive, src)], after="sleep 3")
        proc = self.start(batch, "/B")
        # The title names the section once it has started (before that it reads "Processing archive ...").
        window = self.x.find_window("Processing archive ... docs", timeout=30)
        self.assertIsNotNone(window, "no progress window")
        out, err = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 0, err)
        self.assertIn("1 archive(s) written", err)
        self.assertIn("No problems.", err)
        check = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        # Only the progress window was shown: no other window of the program is left.
        self.assertIsNone(self.x.find_window("Vorland", timeout=0.5))

    def test_problems_go_to_standard_error_with_exit_code_1(self):
        archive = os.path.join(self.dir, "out.zip")
        batch = os.path.join(self.dir, "bad.vrl")
        write_batch(batch, [("missing", archive, os.path.join(self.dir, "no-such-folder"))], after="false")
        proc = self.start(batch, "/B")
        out, err = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 1, err)
        self.assertIn("After command ended with exit code 1", err)
        self.assertIn("problem(s)", err)

    def one_file_batch(self):
        """A batch of one section over a folder with one file; its path and its archive's."""
        src = os.path.join(self.dir, "src")
        os.makedirs(src)
        with open(os.path.join(src, "a.txt"), "w") as f:
            f.write("a")
        archive = os.path.join(self.dir, "out.zip")
        batch = os.path.join(self.dir, "daily.vrl")
        write_batch(batch, [("docs", archive, src)])
        return batch, archive

    def test_a_display_that_does_not_answer_runs_the_batch_without_windows(self):
        batch, archive = self.one_file_batch()
        self.env["DISPLAY"] = ":4711"
        proc = self.start(batch, "/B")
        out, err = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 0, err)
        self.assertIn("cannot open the display", err)
        self.assertTrue(os.path.exists(archive))

    def test_a_display_that_refuses_the_window_system_runs_the_batch_without_windows(self):
        # A socket that accepts and hangs up at once: the program's check passes, the window
        # system's connection then fails, and the batch must still run.
        batch, archive = self.one_file_batch()
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        number = 4700 + os.getpid() % 200
        path = "/tmp/.X11-unix/X%d" % number
        if os.path.exists(path):
            self.skipTest("display number in use")
        listener = socket.socket(socket.AF_UNIX)
        listener.bind(path)
        listener.listen(8)
        self.addCleanup(os.unlink, path)
        self.addCleanup(listener.close)
        stop = threading.Event()

        def hang_up():
            listener.settimeout(0.2)
            while not stop.is_set():
                try:
                    conn, _ = listener.accept()
                    conn.close()
                except OSError:
                    pass
        thread = threading.Thread(target=hang_up, daemon=True)
        thread.start()
        self.addCleanup(thread.join)
        self.addCleanup(stop.set)
        self.env["DISPLAY"] = ":%d" % number
        proc = self.start(batch, "/B")
        out, err = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 0, err)
        self.assertIn("cannot open the display", err)
        check = subprocess.run(["unzip", "-tq", archive], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
