"""Runs Debian's Chromium and Firefox headless with the test extension of tests/e2e/extension,
which sends native messaging commands to dist/ZendroWebHost.exe under Wine and reports every
reply to a loopback listener run here."""

import base64
import hashlib
import http.server
import json
import os
import shlex
import shutil
import signal
import subprocess
import threading
import time
import zipfile
from dataclasses import dataclass, field
from pathlib import Path

from conftest import EXE, WINE64

EXTENSION = Path(__file__).resolve().parent / "extension"
CHROMIUM = "/usr/bin/chromium"
FIREFOX = "/usr/bin/firefox-esr"
BROWSER_TIMEOUT = 180  # seconds for one browser run, start to last report


def chromium_extension_id() -> str:
    """The ID that the manifest's "key" pins: SHA-256 of the DER public key, first 32 hex
    digits written with the letters a-p."""
    manifest = json.loads((EXTENSION / "manifest.json").read_text())
    digest = hashlib.sha256(base64.b64decode(manifest["key"])).hexdigest()[:32]
    return "".join(chr(ord("a") + int(digit, 16)) for digit in digest)


def firefox_extension_id() -> str:
    manifest = json.loads((EXTENSION / "manifest.firefox.json").read_text())
    return manifest["browser_specific_settings"]["gecko"]["id"]


class ReportListener:
    """A loopback HTTP server that collects the extension's reports, one JSON body per POST."""

    def __init__(self):
        self.reports = []
        self.arrived = threading.Condition()
        listener = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                self.send_response(204)
                self.send_header("Access-Control-Allow-Origin", "*")
                self.end_headers()
                with listener.arrived:
                    listener.reports.append(json.loads(body.decode("utf-8")))
                    listener.arrived.notify_all()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()

    def wait_until_done(self, timeout: float, alive) -> bool:
        """True once the extension reported that it is done; False on timeout or when `alive()`
        says the browser is gone."""
        deadline = time.monotonic() + timeout
        with self.arrived:
            while not any(report.get("done") or "failure" in report for report in self.reports):
                left = deadline - time.monotonic()
                if left <= 0 or not alive():
                    return False
                self.arrived.wait(min(left, 0.5))
        return True


@dataclass
class BrowserRun:
    """What the extension reported: per command index, {"reply": ...} or {"error": "..."}."""

    browser: str
    seconds: float
    outcomes: dict = field(default_factory=dict)
    log: str = ""

    def outcome(self, index: int) -> dict:
        assert index in self.outcomes, f"{self.browser} reported nothing for command {index}:\n{self.log}"
        return self.outcomes[index]


def write_host(folder: Path, name: str, prefix, allowed: dict, extra_args: str) -> Path:
    """The wrapper script that runs the host under Wine in `prefix`, and its native messaging
    manifest for the host `name` in `folder`."""
    folder.mkdir(parents=True, exist_ok=True)
    wrapper = folder.parent / f"{name}.sh"
    # Wine finds the user profile by the USER the prefix was made with, not by its folder.
    environment = " ".join(
        f"{variable}={shlex.quote(prefix.env[variable])}"
        for variable in ("WINEPREFIX", "HOME", "WINEDEBUG", "WINEDLLOVERRIDES", "USER", "LOGNAME")
        if variable in prefix.env
    )
    wrapper.write_text(
        "#!/bin/sh\n"
        "# The host never needs a window: no display reaches Wine.\n"
        "unset DISPLAY WAYLAND_DISPLAY\n"
        "# Wine reads Linux names (user, files) in the locale's character set.\n"
        f"exec env LC_ALL=C.UTF-8 {environment} {WINE64} {shlex.quote(str(EXE))} \"$@\"{extra_args}\n"
    )
    wrapper.chmod(0o755)
    manifest = {
        "name": name,
        "description": "Zendro web host under Wine",
        "path": str(wrapper),
        "type": "stdio",
        **allowed,
    }
    (folder / f"{name}.json").write_text(json.dumps(manifest, indent=2))
    return wrapper


def stage_extension(target: Path, manifest: str, port: int, commands: list) -> Path:
    """A copy of the extension with `manifest` as its manifest.json and a config.js that names
    the listener's port and the commands to send: a list of {"host": name, "message": {...}}."""
    target.mkdir(parents=True)
    shutil.copy2(EXTENSION / manifest, target / "manifest.json")
    shutil.copy2(EXTENSION / "worker.js", target / "worker.js")
    config = {"port": port, "commands": commands}
    (target / "config.js").write_text(f"var ZENDRO_TEST = {json.dumps(config)};\n")
    return target


def session_members(session: int) -> list:
    """The processes of a Linux session: the browser, its helpers, the native hosts it started
    in process groups of their own, and the Windows processes those started under Wine."""
    members = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        # Fields after the command name, which is in parentheses and may hold blanks.
        fields = stat[stat.rindex(")") + 2 :].split()
        if int(fields[3]) == session and fields[0] != "Z":  # a zombie has ended already
            members.append(int(entry.name))
    return members


def end_session(session: int, timeout: float = 20):
    """Ends every process of the session the browser leads: TERM first, KILL what remains."""
    deadline = time.monotonic() + timeout
    for sig, grace in ((signal.SIGTERM, 5), (signal.SIGKILL, timeout)):
        for pid in session_members(session):
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        until = min(deadline, time.monotonic() + grace)
        while session_members(session) and time.monotonic() < until:
            time.sleep(0.1)
        if not session_members(session):
            return
    raise AssertionError(f"processes of session {session} outlived SIGKILL: {session_members(session)}")


def run_browser(name: str, command: list, env: dict, listener: ReportListener, log_path: Path) -> BrowserRun:
    """Runs one browser as the leader of a new session until the extension reports that it is
    done (or the time is up), then ends every process of that session."""
    started = time.monotonic()
    with open(log_path, "wb") as log:
        process = subprocess.Popen(
            command,
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=subprocess.STDOUT,
            start_new_session=True,
        )
        try:
            finished = listener.wait_until_done(BROWSER_TIMEOUT, lambda: process.poll() is None)
        finally:
            seconds = time.monotonic() - started
            end_session(process.pid)
            process.wait(timeout=10)
    run = BrowserRun(name, seconds, log=log_path.read_text(errors="replace")[-4000:])
    for report in listener.reports:
        if "index" in report:
            run.outcomes.setdefault(report["index"], report)
        elif "failure" in report:
            raise AssertionError(f"{name}'s extension failed: {report['failure']}\n{run.log}")
    assert finished, f"{name} did not finish within {BROWSER_TIMEOUT} s: {run.outcomes}\n{run.log}"
    return run


def browser_env(home: Path) -> dict:
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["HOME"] = str(home)
    return env


def run_chromium(hosts: dict, commands: list, folder: Path) -> BrowserRun:
    """Runs Chromium with the extension; `hosts` maps host names to the Wine prefixes they run
    in. Chromium on Linux passes the host only the caller's origin; the wrapper adds the
    parent-window argument Chrome on Windows passes, so the host sees the Windows argument list."""
    folder.mkdir(parents=True)
    profile = folder / "profile"
    for name, prefix in hosts.items():
        write_host(
            profile / "NativeMessagingHosts",
            name,
            prefix,
            {"allowed_origins": [f"chrome-extension://{chromium_extension_id()}/"]},
            " --parent-window=0",
        )
    with ReportListener() as listener:
        extension = stage_extension(folder / "extension", "manifest.json", listener.port, commands)
        command = [
            CHROMIUM,
            "--headless=new",
            "--no-sandbox",
            "--disable-gpu",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            f"--user-data-dir={profile}",
            f"--load-extension={extension}",
            f"--disable-extensions-except={extension}",
        ]
        return run_browser("chromium", command, browser_env(folder / "home"), listener, folder / "browser.log")


FIREFOX_PREFS = {
    # Debian's ESR honours these: an unsigned extension in the profile's extensions folder is
    # installed and enabled at start-up.
    "xpinstall.signatures.required": False,
    "extensions.autoDisableScopes": 0,
    "extensions.enabledScopes": 15,
    # A quiet start: no first-run pages, no updates, no telemetry.
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "app.update.enabled": False,
    "extensions.update.enabled": False,
}


def run_firefox(hosts: dict, commands: list, folder: Path) -> BrowserRun:
    """Runs Firefox with the extension as an unsigned .xpi in a fresh profile. Firefox reads host
    manifests from $HOME/.mozilla/native-messaging-hosts and passes the host two arguments
    already (manifest path and extension ID)."""
    folder.mkdir(parents=True)
    home = folder / "home"
    for name, prefix in hosts.items():
        write_host(
            home / ".mozilla" / "native-messaging-hosts",
            name,
            prefix,
            {"allowed_extensions": [firefox_extension_id()]},
            "",
        )
    profile = folder / "profile"
    (profile / "extensions").mkdir(parents=True)
    (profile / "user.js").write_text(
        "".join(f'user_pref("{name}", {json.dumps(value)});\n' for name, value in FIREFOX_PREFS.items())
    )
    with ReportListener() as listener:
        staged = stage_extension(folder / "extension", "manifest.firefox.json", listener.port, commands)
        with zipfile.ZipFile(profile / "extensions" / f"{firefox_extension_id()}.xpi", "w") as xpi:
            for path in sorted(staged.iterdir()):
                xpi.write(path, path.name)
        command = [FIREFOX, "--headless", "--no-remote", "--profile", str(profile)]
        return run_browser("firefox", command, browser_env(home), listener, folder / "browser.log")

