"""End-to-end: unattended runs tell the desktop. On a private X display and a private session bus
with a stand-in notification service, a `vorland FILE /B` run that ends with problems sends one
notification naming the batch, its summary, its first problem, the problem count and the log (in the
user's language when that is French, while the console's lines stay English); a run without problems sends none unless the batch asks; without the service
the exit code is the same."""

import json
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, private_home  # noqa: E402

BIN = os.environ.get("VORLAND_BIN_DIR", "build/bin")
VORLAND = os.path.join(BIN, "vorland")
HERE = os.path.dirname(os.path.abspath(__file__))


def write_batch(path, source, target, before="", notify_success=False):
    text = "[BatchParameters]\r\nBefore=%s\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\n" % before
    if notify_success:
        text += "NotifySuccess=1\r\n"
    text += ("\r\n[Documents]\r\nZip=%s\r\nCompress=0\r\nDir=%s\r\nSuffix=\r\nIgnore=\r\nRecurse=1\r\nDirName=0\r\n"
             "Comments=\r\n\r\n") % (target, source)
    with open(path, "w", newline="") as f:
        f.write(text)


class RunNotice(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.x = XSession()
        cls.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                   stdout=subprocess.PIPE, text=True)
        cls.address = cls.bus.stdout.readline().strip()

    @classmethod
    def tearDownClass(cls):
        cls.bus.terminate()
        cls.bus.wait(10)
        cls.x.stop()

    def setUp(self):
        self.home = private_home()
        self.dir = self.home.name
        self.record = os.path.join(self.dir, "notifications.jsonl")
        self.service = None
        self.env = self.x.env(HOME=self.dir, XDG_CONFIG_HOME=os.path.join(self.dir, ".config"),
                              XDG_DATA_HOME=os.path.join(self.dir, ".local/share"),
                              XDG_STATE_HOME=os.path.join(self.dir, "state"),
                              DBUS_SESSION_BUS_ADDRESS=self.address)
        self.source = os.path.join(self.dir, "source")
        os.makedirs(self.source)
        with open(os.path.join(self.source, "a.txt"), "w") as f:
            f.write("a")
        self.batch = os.path.join(self.dir, "Nightly <home> & co.vrl")

    def tearDown(self):
        self.stop_service()
        self.home.cleanup()

    def start_service(self):
        self.service = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "notice_service.py"), self.record],
                                        env=self.env, stdout=subprocess.PIPE, text=True)
        self.assertEqual(self.service.stdout.readline().strip(), "ready")

    def stop_service(self):
        if self.service is not None:
            self.service.terminate()
            self.service.wait(10)
            self.service = None

    def calls(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record) as f:
            return [json.loads(line) for line in f]

    def run_batch(self, **extra):
        env = dict(self.env, **extra)
        started = time.time()
        result = subprocess.run([VORLAND, self.batch, "/B"], env=env, capture_output=True, text=True, timeout=120)
        return result, time.time() - started

    def test_a_failing_run_notifies_a_good_one_does_not_and_no_service_changes_nothing(self):
        self.start_service()
        write_batch(self.batch, self.source, os.path.join(self.dir, "copy"), before="false")
        failing, _ = self.run_batch()
        self.assertEqual(failing.returncode, 1, failing.stderr)
        calls = self.calls()
        self.assertEqual(len(calls), 1, calls)
        call = calls[0]
        print("recorded Notify call:", json.dumps(call, ensure_ascii=False))
        self.assertEqual(call["app_name"], "Vorland")
        self.assertEqual(call["summary"], 'Backup "Nightly <home> & co" had problems')
        self.assertEqual(call["actions"], [])
        self.assertEqual(call["hints"]["urgency"], 2)
        body = call["body"]
        # Markup characters of the body are escaped for services that read markup.
        self.assertIn("Run summary: 1 section(s) run, 0 skipped; 0 archive(s) written; 1 file(s) copied", body)
        self.assertIn("Before command ended with exit code 1: false\n1 problem(s). The log of the run: ", body)
        log = body.split("The log of the run: ", 1)[1].strip().replace("&lt;", "<").replace("&gt;", ">") \
            .replace("&amp;", "&")
        with open(log) as f:
            self.assertIn("Before command ended with exit code 1: false", f.read())

        write_batch(self.batch, self.source, os.path.join(self.dir, "copy"))
        good, _ = self.run_batch()
        self.assertEqual(good.returncode, 0, good.stderr)
        self.assertEqual(len(self.calls()), 1)

        write_batch(self.batch, self.source, os.path.join(self.dir, "copy"), notify_success=True)
        asked, _ = self.run_batch()
        self.assertEqual(asked.returncode, 0, asked.stderr)
        self.assertEqual(self.calls()[-1]["summary"], 'Backup "Nightly <home> & co" completed')
        self.assertEqual(self.calls()[-1]["hints"]["urgency"], 1)

        self.stop_service()
        write_batch(self.batch, self.source, os.path.join(self.dir, "copy"), before="false")
        unheard, seconds = self.run_batch()
        self.assertEqual(unheard.returncode, 1, unheard.stderr)
        self.assertLess(seconds, 30)
        nobus, _ = self.run_batch(DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(self.dir, "no-bus"))
        self.assertEqual(nobus.returncode, 1, nobus.stderr)

    def test_a_console_run_notifies_in_the_users_language_and_keeps_its_output_english(self):
        self.start_service()
        os.makedirs(os.path.join(self.dir, ".config", "Orvane"))
        with open(os.path.join(self.dir, ".config", "Orvane", "Vorland.conf"), "w") as f:
            f.write("[Initial]\nLanguageName=French\n")
        write_batch(self.batch, self.source, os.path.join(self.dir, "copy"), before="false")
        result, _ = self.run_batch(VORLAND_CONSOLE="1")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("Run summary: 1 section(s) run", result.stderr)
        self.assertIn("Before command ended with exit code 1: false", result.stderr)
        call = self.calls()[-1]
        print("recorded Notify call:", json.dumps(call, ensure_ascii=False))
        self.assertIn("Nightly <home> & co", call["summary"])
        self.assertNotIn("had problems", call["summary"])
        self.assertNotIn("Run summary", call["body"])
        self.assertIn("La commande à exécuter avant s'est terminée avec le code 1 : false", call["body"])


if __name__ == "__main__":
    if shutil.which("dbus-daemon") is None:
        sys.exit("dbus-daemon is missing (package dbus)")
    unittest.main(verbosity=2)
