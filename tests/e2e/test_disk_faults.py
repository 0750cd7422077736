"""Faults on disk: a temporary folder that is full while an update or the daemon installer is
downloaded, and a daemon settings file that changes size while the host reads it."""

import subprocess
import threading
import time

import pytest

from daemon_support import settings_file  # noqa: F401 (fixture)
from test_daemon_launch import DaemonStandIn, launch  # noqa: F401 (fixture)
from update_support import (MANIFEST_PATH, PACKAGE_PATH, UpdateServer, make_zip,
                            with_file_version)


@pytest.fixture
def full_temp(wine):
    """The prefix's temporary folder replaced, for one test, by a file system of 64 KiB: room
    for a work folder, not for a package or an installer."""
    wine.temp.mkdir(parents=True, exist_ok=True)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(wine.temp)],
                             capture_output=True, timeout=30)
    assert mounted.returncode == 0, mounted.stderr
    yield wine.temp
    for _ in range(50):  # the host may still be closing files
        if subprocess.run(["umount", str(wine.temp)], capture_output=True, timeout=30).returncode == 0:
            break
        time.sleep(0.2)


def test_an_update_into_a_full_temp_folder_changes_nothing(wine, host_copy, tmp_path, full_temp):
    host = host_copy("ZendroWebHost.exe", tmp_path / "host")
    original = host.read_bytes()
    server = UpdateServer()
    try:
        server.serve_update("9.9.9.9", make_zip([("ZendroWebHost.exe",
                                                    with_file_version(original, "9, 9, 9, 9"))]))
        run = wine.send('{"text":"UpdateNativeHost"}', exe=host,
                        env={"ZENDRO_DOWNLOAD_SERVER": server.url}, timeout=120)
    finally:
        server.close()
    assert server.requests == [MANIFEST_PATH, PACKAGE_PATH]
    assert (run.returncode, run.reply, len(run.frames)) == (0, "", 1)
    assert host.read_bytes() == original
    assert sorted(p.name for p in host.parent.iterdir()) == ["ZendroWebHost.exe"]


def test_an_installer_download_into_a_full_temp_folder_fails(launch, full_temp):
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert (run.returncode, run.reply, len(run.frames)) == (0, "failed", 1)
    assert launch.java_command_lines() == [] and daemon.probes == []


def test_a_settings_file_that_changes_size_while_read_gives_a_port_or_nothing(wine, settings_file):
    short = b"tessui.port=9091\r\n"
    long = b"# " + b"x" * 65536 + b"\r\ntessui.port=8080\r\n"
    path = settings_file(short)
    stop = threading.Event()

    def rewrite():
        contents = [short, long, b""]
        index = 0
        while not stop.is_set():
            index += 1
            path.write_bytes(contents[index % 3])

    writer = threading.Thread(target=rewrite, daemon=True)
    writer.start()
    try:
        replies = [wine.send('{"text":"ReadDaemonPort"}', timeout=60) for _ in range(12)]
    finally:
        stop.set()
        writer.join(timeout=10)
    for run in replies:
        assert run.returncode == 0 and len(run.frames) == 1
        assert run.reply in ("", "9091", "8080"), run.reply
