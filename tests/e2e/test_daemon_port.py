"""ReadDaemonPort against settings files in the prefix, GetListeningPort against ports held by
real Linux sockets."""

import errno
import fcntl
import socket
import time

import pytest

from daemon_support import settings_file  # noqa: F401 (fixture)

PORT_RANGE = range(9091, 9102)


def read_daemon_port(wine):
    run = wine.send('{"text":"ReadDaemonPort"}')
    assert run.returncode == 0
    return run.reply


@pytest.mark.parametrize(
    "contents, port",
    [
        pytest.param(b"tessui.port=9091\r\n", "9091", id="plain"),
        pytest.param(b"#exported\r\nname=x\r\ntessui.port=45678\r\nmore=1\r\n", "45678", id="among-others"),
        pytest.param(b"a=b\ntessui.port=9091\n", "", id="lf-only"),
        pytest.param(b"a=b\r\ntessui.port=9091", "", id="last-line-without-end"),
        pytest.param(b"tessui.port=0\r\n", "", id="zero"),
        pytest.param(b"tessui.port= 8080\r\n", "8080", id="blank-before-value"),
        pytest.param(b"tessui.port=8080 # comment\r\n", "8080", id="comment-after-value"),
        pytest.param(b"tessui.port=9091abc\r\n", "9091", id="letters-after-value"),
        pytest.param(b"tessui.port=-5\r\n", "-5", id="negative"),
        pytest.param(b"tessui.port=99999999999\r\n", "2147483647", id="clamped"),
        pytest.param(b"tessui.port=abc\r\n", "", id="not-a-number"),
        pytest.param(b"tessui.port=1111\r\ntessui.port=2222\r\n", "1111", id="first-wins"),
        pytest.param(b"old.tessui.port=3333\r\ntessui.port=9091\r\n", "3333", id="tail-of-longer-key"),
        pytest.param(b"tessui.port =9091\r\n", "", id="blank-before-equals"),
        pytest.param(b"", "", id="empty-file"),
        pytest.param(b"\x00\x01tessui.port=9095\r\n", "9095", id="binary-before-key"),
    ],
)
def test_read_daemon_port(wine, settings_file, contents, port):
    settings_file(contents)
    assert read_daemon_port(wine) == port


def test_read_daemon_port_without_a_settings_file(wine):
    assert not (wine.appdata / "ZendroWebDaemon" / "Zendro" / "exported_params.properties").exists()
    assert read_daemon_port(wine) == ""


def test_read_daemon_port_exact_reply_bytes(wine, settings_file):
    settings_file(b"tessui.port=9091\r\n")
    assert wine.send('{"text":"ReadDaemonPort"}').stdout == b'\x10\x00\x00\x00{"text": "9091"}'


def hold_ports(ports, address, wait_seconds=15):
    """Listening sockets on `address` for `ports`. Waits a while for a port that another test run
    on this machine holds for the moment."""
    held = []
    deadline = time.monotonic() + wait_seconds
    try:
        for port in ports:
            while True:
                listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 0)
                try:
                    listener.bind((address, port))
                    listener.listen(1)
                    held.append(listener)
                    break
                except OSError as error:
                    listener.close()
                    if error.errno != errno.EADDRINUSE or time.monotonic() > deadline:
                        raise
                    time.sleep(0.2)
    except BaseException:
        for listener in held:
            listener.close()
        raise
    return held


# Taken on 127.0.0.1 only, as a client that keeps its RPC there holds it: the daemon could not
# listen on it either.
@pytest.mark.parametrize(
    "taken, address, expected",
    [
        pytest.param([9091, 9092], "0.0.0.0", "9093", id="two-taken"),
        pytest.param([9091, 9092], "127.0.0.1", "9093", id="two-taken-on-loopback"),
        pytest.param(list(PORT_RANGE), "0.0.0.0", "9102", id="all-taken"),
    ],
)
def test_get_listening_port_skips_taken_ports(wine, taken, address, expected):
    # Test runs in other worktrees on this machine probe the same fixed range: take turns.
    with open("/tmp/zendro-listening-port-tests.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        held = hold_ports(taken, address)
        try:
            run = wine.send('{"text":"GetListeningPort"}')
        finally:
            for listener in held:
                listener.close()
    assert run.returncode == 0
    assert run.reply == expected
