"""Peers of the shell hand-off: a real Transmission daemon, a stand-in RPC server, .torrent files
and registered browsers that record their start."""

import hashlib
import json
import shutil
import signal
import subprocess
import time
import urllib.error
import urllib.request
from pathlib import Path

from http_support import Answer, StandInServer, unused_port

SESSION_HEADER = "X-Transmission-Session-Id"
START_MENU_INTERNET = r"HKLM\SOFTWARE\Clients\StartMenuInternet"
USER_START_MENU_INTERNET = r"HKCU\Software\Clients\StartMenuInternet"


def bencode(value) -> bytes:
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, str):
        value = value.encode("utf-8")
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, list):
        return b"l" + b"".join(map(bencode, value)) + b"e"
    if isinstance(value, dict):
        items = sorted((k.encode() if isinstance(k, str) else k, v) for k, v in value.items())
        return b"d" + b"".join(bencode(k) + bencode(v) for k, v in items) + b"e"
    raise TypeError(value)


def make_torrent(name: str, payload: bytes):
    """The bytes of a single-file .torrent for `payload`, and its info hash in hex."""
    piece_length = 16384
    pieces = b"".join(hashlib.sha1(payload[i : i + piece_length]).digest()
                      for i in range(0, len(payload), piece_length))
    info = {"name": name, "length": len(payload), "piece length": piece_length, "pieces": pieces}
    # The tracker is a closed loopback port: the daemon reaches nothing outside this machine.
    metainfo = {"announce": "http://127.0.0.1:9/announce", "info": info}
    return bencode(metainfo), hashlib.sha1(bencode(info)).hexdigest()


class TransmissionDaemon:
    """Debian's transmission-daemon on loopback, with its own folders, no peer discovery."""

    def __init__(self, folder: Path):
        self.folder = folder
        self.rpc_port = unused_port()
        self.peer_port = unused_port()
        self.url = f"http://127.0.0.1:{self.rpc_port}/transmission/rpc"
        self.session_id = ""
        (folder / "config").mkdir(parents=True)
        (folder / "downloads").mkdir()
        self.log = open(folder / "daemon.log", "wb")
        self.process = subprocess.Popen(
            ["transmission-daemon", "-f", "-g", str(folder / "config"), "-p", str(self.rpc_port),
             "-T", "-w", str(folder / "downloads"), "--no-portmap", "--no-dht", "--no-lpd",
             "--no-utp", "-P", str(self.peer_port), "-r", "127.0.0.1", "-i", "127.0.0.1",
             "-I", "::1", "--log-error"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 20
        while True:
            try:
                self.call("session-get")
                break
            except OSError:
                assert self.process.poll() is None, (folder / "daemon.log").read_text()
                assert time.monotonic() < deadline, "transmission-daemon did not answer"
                time.sleep(0.2)

    def call(self, method, arguments=None):
        """One RPC call with the daemon's session handshake; the decoded reply."""
        body = json.dumps({"method": method, "arguments": arguments or {}}).encode()
        for _ in range(2):
            request = urllib.request.Request(self.url, data=body, method="POST",
                                             headers={SESSION_HEADER: self.session_id})
            try:
                with urllib.request.urlopen(request, timeout=10) as response:
                    return json.loads(response.read())
            except urllib.error.HTTPError as error:
                if error.code != 409:
                    raise
                self.session_id = error.headers[SESSION_HEADER]
        raise AssertionError("the daemon kept refusing the session id")

    def info_hashes(self):
        reply = self.call("torrent-get", {"fields": ["hashString"]})
        assert reply["result"] == "success", reply
        return {t["hashString"] for t in reply["arguments"]["torrents"]}

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=15)
        self.log.close()


class RpcStandIn(StandInServer):
    """Plays the daemon's RPC: demands a session id first (unless `demand_session` is off), then
    answers session-get with success and torrent-add with `torrent_add_answer`."""

    SESSION_ID = "stand-in-session-42"

    def __init__(self, torrent_add_answer: Answer, demand_session=True):
        self.torrent_add_answer = torrent_add_answer
        self.demand_session = demand_session
        super().__init__({"/transmission/rpc": self.answer})

    def answer(self, request):
        if self.demand_session and request.headers.get(SESSION_HEADER) != self.SESSION_ID:
            return Answer(409, b"<h1>409: Conflict</h1>", [(SESSION_HEADER, self.SESSION_ID)])
        if request.body == b'{"method":"session-get"}':
            return Answer(200, b'{"arguments":{},"result":"success"}')
        return self.torrent_add_answer


class Browsers:
    """Start-menu browser entries in the prefix's HKLM (or HKCU) whose open commands start a
    recording helper; `launches()` reads what it recorded."""

    def __init__(self, wine, folder: Path, recorder: Path):
        self.wine = wine
        self.folder = folder
        self.log = folder / "launches.log"
        self.recorder = recorder
        self.subkeys = []
        self.env = {"RECORD_LAUNCH_LOG": wine.to_windows(self.log)}

    def register(self, subkey, display_name, list_key=START_MENU_INTERNET):
        """Registers a browser whose command is a recorder copy in a folder named after the
        subkey, so that the recorded command line tells which entry was started."""
        key = f"{list_key}\\{subkey}"
        copy = self.folder / subkey.replace(" ", "_") / "record_launch.exe"
        copy.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.recorder, copy)
        self.wine.wine("reg", "add", key, "/ve", "/d", display_name, "/f")
        self.wine.wine("reg", "add", key + r"\shell\open\command", "/ve", "/d",
                       f'"{self.wine.to_windows(copy)}"', "/f")
        self.subkeys.append(key)

    def launches(self, settle=1.5):
        """The recorded command lines, after giving a started helper time to write."""
        time.sleep(settle)
        return self.log.read_text().splitlines() if self.log.exists() else []

    def wait_for_launches(self, count, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.log.exists() and len(self.log.read_text().splitlines()) >= count:
                return self.launches(settle=1)
            time.sleep(0.1)
        return self.launches(settle=0)

    def clean_up(self):
        for key in self.subkeys:
            self.wine.wine("reg", "delete", key, "/f", check=False)
