"""A private X display (Xvfb) and xdotool, to find and drive Wine's folder dialog."""

import os
import struct
import subprocess
import time

from conftest import EXE, WINE64

DIALOG_CAPTION = "Browse for Folder"  # Wine's caption; the host's title is a label inside


class VirtualDisplay:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        )
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        assert number, "Xvfb did not start"
        self.name = ":" + number

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": self.name},
                              capture_output=True, text=True, timeout=30)

    def find_window(self, caption, limit=90):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            found = self.xdotool("search", "--name", caption).stdout.split()
            if found:
                return found[0]
            time.sleep(0.25)
        return None

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=30)


class HostWithWindow:
    """The host run in the background on a display, so that a test can drive its window."""

    def __init__(self, wine, display, message: bytes):
        wine.scratch.mkdir(exist_ok=True)
        self.stdout_path = wine.scratch / "dialog-stdout.bin"
        self.stdout = open(self.stdout_path, "wb")
        self.process = subprocess.Popen(
            [WINE64, str(EXE)], env={**wine.env, "DISPLAY": display.name}, stdin=subprocess.PIPE,
            stdout=self.stdout, stderr=subprocess.DEVNULL,
        )
        self.process.stdin.write(struct.pack("<I", len(message)) + message)
        self.process.stdin.close()

    def finish(self, timeout=30) -> bytes:
        try:
            self.process.wait(timeout=timeout)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait(timeout=30)
            self.stdout.close()
        return self.stdout_path.read_bytes()
