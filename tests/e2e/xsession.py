"""A private X display for end-to-end tests of the real program: Xvfb on a free display number,
and small helpers around xdotool to find windows by title and to click or type into them."""

import os
import subprocess
import tempfile
import time


class XSession:
    """Starts Xvfb on a display it picks itself; stop() ends it."""

    def __init__(self, width=1280, height=1024):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp",
             # Without -noreset the server resets whenever its last client leaves, and a program
             # connecting in that moment is refused.
             "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def env(self, **extra):
        """An environment for a program on this display, with private settings folders."""
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("VORLAND_CONSOLE", None)
        env["QT_QPA_PLATFORM"] = "xcb"
        env.update(extra)
        return env

    def xdotool(self, *args, timeout=20):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(), capture_output=True,
                                text=True, timeout=timeout)
        return result

    def find_window(self, title, timeout=20, visible=True):
        """Id of the first window whose title contains `title`, or None after the timeout."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", title]
            result = self.xdotool(*args)
            ids = result.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.05)
        return None

    def window_title(self, window):
        return self.xdotool("getwindowname", window).stdout.rstrip("\n")

    def click(self, window, x, y):
        self.xdotool("mousemove", "--window", window, x, y, "click", "1")

    def keys(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window)
        for key in keys:
            self.xdotool("key", key)
            time.sleep(0.2)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def private_home():
    """A temporary home folder with its own settings and data folders."""
    home = tempfile.TemporaryDirectory(prefix="vorland-e2e-")
    for sub in (".config", ".local/share", "Desktop"):
        os.makedirs(os.path.join(home.name, sub), exist_ok=True)
    return home
