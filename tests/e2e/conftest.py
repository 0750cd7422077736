"""Drives the real dist/ZendroWebHost.exe under Wine, in a Wine prefix made for this test session
(or the executable that ZENDRO_E2E_HOST names: scripts/test runs some tests with a signed one)."""

import os
import shutil
import struct
import subprocess
import threading
import time
from dataclasses import dataclass
from pathlib import Path, PureWindowsPath

import pytest

ROOT = Path(__file__).resolve().parents[2]
EXE = Path(os.environ.get("ZENDRO_E2E_HOST") or ROOT / "dist" / "ZendroWebHost.exe")
HELPERS = ROOT / "build" / "windows" / "helpers"
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"


def frame(message) -> bytes:
    """One native messaging frame: 32-bit little-endian length, then the bytes."""
    body = message if isinstance(message, bytes) else message.encode("utf-8")
    return struct.pack("<I", len(body)) + body


def split_frames(data: bytes) -> list:
    """The reply frames in `data`; fails the test on a torn frame."""
    frames = []
    while data:
        assert len(data) >= 4, f"torn length prefix: {data!r}"
        (length,) = struct.unpack("<I", data[:4])
        assert len(data) >= 4 + length, f"torn frame: {data!r}"
        frames.append(data[4 : 4 + length])
        data = data[4 + length :]
    return frames


@dataclass
class Run:
    stdout: bytes
    returncode: int
    seconds: float

    @property
    def frames(self) -> list:
        return split_frames(self.stdout)

    @property
    def reply(self):
        """The text of the one reply, or None when the host sent none."""
        import json

        frames = self.frames
        assert len(frames) <= 1, f"more than one reply: {frames!r}"
        if not frames:
            return None
        decoded = json.loads(frames[0].decode("utf-8"))
        assert list(decoded) == ["text"], decoded
        return decoded["text"]


def run_with_deadline(args, timeout, **popen_args) -> int:
    """Runs a program to its end and returns its exit code; kills it and raises TimeoutExpired
    after `timeout` seconds. A blocking wait, not subprocess.run's polling with growing sleeps:
    those round every run up by tens of milliseconds, which would hide the program's own time."""
    process = subprocess.Popen(args, **popen_args)
    expired = threading.Event()

    def kill():
        expired.set()
        process.kill()

    timer = threading.Timer(timeout, kill)
    timer.start()
    try:
        returncode = process.wait()
    finally:
        timer.cancel()
    if expired.is_set():
        raise subprocess.TimeoutExpired(args, timeout)
    return returncode


class WinePrefix:
    def __init__(self, path: Path):
        self.path = path
        self.home = path / "home"
        self.drive_c = path / "drive_c"
        self.scratch = path / "scratch"
        self.env = {
            **{k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")},
            "WINEPREFIX": str(path),
            "HOME": str(self.home),
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree=;mshtml=",
        }

    @property
    def profile(self) -> Path:
        """The Windows user profile folder (C:\\users\\<name>)."""
        users = [p for p in (self.drive_c / "users").iterdir() if p.name.lower() != "public"]
        assert len(users) == 1, users
        return users[0]

    @property
    def appdata(self) -> Path:
        return self.profile / "AppData" / "Roaming"

    @property
    def log_folder(self) -> Path:
        """Where the host keeps host.log (%LOCALAPPDATA%\\ZendroWebHost)."""
        return self.profile / "AppData" / "Local" / "ZendroWebHost"

    def log_text(self) -> str:
        log = self.log_folder / "host.log"
        return log.read_text(encoding="utf-8") if log.exists() else ""

    @property
    def temp(self) -> Path:
        return self.profile / "Temp"

    @staticmethod
    def windows_path(path: Path) -> str:
        """The Windows name of a Linux path, through the Z: drive."""
        return str(PureWindowsPath("Z:" + str(path).replace("/", "\\")))

    def to_windows(self, path: Path) -> str:
        """C:\\... for paths inside drive_c, Z:\\... otherwise."""
        try:
            relative = Path(path).relative_to(self.drive_c)
        except ValueError:
            return self.windows_path(path)
        return str(PureWindowsPath("C:\\", *relative.parts))

    def wine(self, *args, timeout=120, env=None, check=True):
        """Runs a Wine tool (reg, cmd, ...) with its output captured."""
        result = subprocess.run(
            [WINE64, *map(str, args)],
            env={**self.env, **(env or {})},
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=timeout,
        )
        if check:
            assert result.returncode == 0, (args, result.stdout, result.stderr)
        return result

    def run(self, args=(), stdin: bytes = b"", timeout=60, env=None, exe=EXE,
            stderr=subprocess.DEVNULL, tag="") -> Run:
        """Runs a Windows program with raw stdin bytes; stdout is read from a file, because
        processes the program leaves behind inherit a pipe and would hold it open. Runs at the
        same moment need different tags (their files' names)."""
        self.scratch.mkdir(exist_ok=True)
        stdin_path = self.scratch / f"stdin{tag}.bin"
        stdout_path = self.scratch / f"stdout{tag}.bin"
        stdin_path.write_bytes(stdin)
        started = time.monotonic()
        with open(stdin_path, "rb") as stdin_file, open(stdout_path, "wb") as stdout_file:
            returncode = run_with_deadline(
                [WINE64, str(exe), *map(str, args)],
                timeout,
                env={**self.env, **(env or {})},
                stdin=stdin_file,
                stdout=stdout_file,
                stderr=stderr,
            )
        return Run(stdout_path.read_bytes(), returncode, time.monotonic() - started)

    def send(self, message, args=(), **kwargs) -> Run:
        return self.run(args, frame(message), **kwargs)

    def send_at_once(self, messages, **kwargs) -> list:
        """Runs one host per message, all started at the same moment (as a browser may), and
        returns their Runs in the order of the messages."""
        from concurrent.futures import ThreadPoolExecutor

        start = threading.Barrier(len(messages))

        def one(index):
            start.wait()
            return self.send(messages[index], tag=f"-{index}", **kwargs)

        with ThreadPoolExecutor(len(messages)) as pool:
            return list(pool.map(one, range(len(messages))))


def start_prefix(path: Path, env=None) -> WinePrefix:
    """Makes a Wine prefix at `path` and keeps one wineserver running for it: each program start
    then costs a fraction of a second instead of seconds. `env` adds to the prefix's environment
    (Wine names the user profile after USER when it makes the prefix)."""
    prefix = WinePrefix(path)
    prefix.env.update(env or {})
    prefix.home.mkdir(parents=True)
    quiet = dict(env=prefix.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL)
    subprocess.run([WINE64, "wineboot", "-i"], timeout=300, check=True, **quiet)
    subprocess.run([WINESERVER, "-w"], env=prefix.env, timeout=300, check=True)
    subprocess.run([WINESERVER, "-p"], env=prefix.env, timeout=60, check=True)
    # Wine's own background services start with the first program and inherit its output;
    # let that program be one whose output nobody reads.
    subprocess.run([WINE64, "cmd", "/c", "exit"], timeout=120, **quiet)
    return prefix


def stop_prefix(prefix: WinePrefix):
    subprocess.run([WINESERVER, "-k"], env=prefix.env, timeout=60)
    subprocess.run([WINESERVER, "-w"], env=prefix.env, timeout=60)


@pytest.fixture(scope="session")
def wine(tmp_path_factory):
    assert EXE.exists(), "dist/ZendroWebHost.exe is missing: run scripts/build"
    prefix = start_prefix(tmp_path_factory.mktemp("wine") / "prefix")
    yield prefix
    stop_prefix(prefix)


@pytest.fixture(scope="session")
def tls(wine, tmp_path_factory):
    """The session's test certificate authority (tls_support), which the session's prefix trusts
    as Windows trusts a root certificate authority."""
    from tls_support import CertificateAuthority

    authority = CertificateAuthority(tmp_path_factory.mktemp("tls"))
    assert wine.run([authority.base64()], exe=HELPERS / "trust_root.exe").returncode == 0
    return authority


@pytest.fixture
def host_copy(wine, tmp_path):
    """A private copy of the executable, for tests that change or move it."""

    def make(name="ZendroWebHost.exe", folder=None, source=EXE):
        target_folder = Path(folder) if folder else tmp_path / "host"
        target_folder.mkdir(parents=True, exist_ok=True)
        target = target_folder / name
        shutil.copy2(source, target)
        return target

    return make
