"""The host's HTTP transfers, driven through the http_probe helper against stand-in servers."""

import time

import pytest

from conftest import HELPERS
from http_support import Answer, StandInServer, unused_port
from installer_support import build_settings

PROBE = HELPERS / "http_probe.exe"
SESSION_LINE = "X-Transmission-Session-Id: abc123"


def http_probe(wine, *args, env=None):
    run = wine.run(args, exe=PROBE, env=env, timeout=60)
    assert run.returncode == 0, run.stdout
    return run


def lines(run):
    return run.stdout.decode("utf-8").split("\n")[:-1]


@pytest.fixture(params=["http", "https"])
def server(request):
    """The same stand-in over plain HTTP and over HTTPS with a certificate the prefix trusts."""
    tls = request.getfixturevalue("tls").good if request.param == "https" else None
    with StandInServer(
        {
            "/page": Answer(200, b"hello"),
            "/missing": Answer(404, b"not here"),
            "/broken": Answer(500, b"server trouble"),
            "/moved": Answer(302, b"moved body", [("Location", "/page")]),
            "/moved-empty": Answer(302, b"", [("Location", "/page")]),
            "/empty": Answer(200, b""),
        },
        tls=tls,
    ) as stand_in:
        yield stand_in


def test_get_returns_only_the_body_of_a_2xx_answer(wine, server):
    run = http_probe(wine, "get", f"{server.url}/page", "get", f"{server.url}/missing",
                     "get", f"{server.url}/broken", "get", f"{server.url}/moved",
                     "get", f"{server.url}/empty")
    assert lines(run) == ["true 5", "hello", "false", "false", "false", "true 0", ""]
    # The redirect was not followed, and every request said who it came from.
    assert [r.path for r in server.requests] == ["/page", "/missing", "/broken", "/moved", "/empty"]
    assert {r.headers.get("User-Agent") for r in server.requests} == {"Zendro core"}


def test_get_fails_when_nothing_listens(wine):
    assert lines(http_probe(wine, "get", f"http://127.0.0.1:{unused_port()}/x")) == ["false"]


@pytest.mark.parametrize("path, body", [
    pytest.param("/page", b"hello", id="ok"),
    pytest.param("/missing", None, id="404-body"),
    pytest.param("/moved", None, id="redirect-body"),
])
def test_download_stores_the_body_of_a_2xx_answer_only(wine, server, tmp_path, path, body):
    target = tmp_path / "target.bin"
    target.write_bytes(b"old contents that are longer than the body")
    run = http_probe(wine, "download", server.url + path, wine.to_windows(target))
    assert lines(run) == ["true" if body else "false"]
    assert target.read_bytes() == (body or b"old contents that are longer than the body")
    assert [p.name for p in tmp_path.iterdir()] == ["target.bin"]  # no partial file left
    assert [r.path for r in server.requests] == [path]


@pytest.mark.parametrize("path", ["/empty", "/moved-empty"])
def test_download_of_an_empty_body_fails_and_leaves_the_target_alone(wine, server, tmp_path, path):
    existing = tmp_path / "existing.bin"
    existing.write_bytes(b"keep me")
    absent = tmp_path / "absent.bin"
    run = http_probe(wine, "download", server.url + path, wine.to_windows(existing),
                     "download", server.url + path, wine.to_windows(absent))
    assert lines(run) == ["false", "false"]
    assert existing.read_bytes() == b"keep me"
    assert not absent.exists()


def test_download_failure_leaves_the_target_alone(wine, tmp_path):
    existing = tmp_path / "existing.bin"
    existing.write_bytes(b"keep me")
    run = http_probe(wine, "download", f"http://127.0.0.1:{unused_port()}/x",
                     wine.to_windows(existing))
    assert lines(run) == ["false"]
    assert existing.read_bytes() == b"keep me"


def test_download_of_a_large_binary_body(wine, tmp_path):
    body = bytes(range(256)) * (12 * 1024)  # 3 MiB, every byte value
    with StandInServer({"/big": Answer(200, body)}) as stand_in:
        target = tmp_path / "big.bin"
        run = http_probe(wine, "download", f"{stand_in.url}/big", wine.to_windows(target))
    assert lines(run) == ["true"]
    assert target.read_bytes() == body


def daemon_stand_in(header=None):
    """A stand-in for the daemon's web root: 301 like the real one, with `header` if given."""
    return StandInServer({"/": Answer(301, b"", [header] if header else [])})


def test_probe_needs_the_exact_session_header(wine):
    with daemon_stand_in(("X-Transmission-Session-Id", "abc123")) as daemon, \
            daemon_stand_in(("x-transmission-session-id", "lower")) as lower, \
            daemon_stand_in() as silent:
        run = http_probe(wine, "probe", str(silent.port), "probe", str(lower.port), "session",
                         "probe", str(daemon.port), "session", "probe", str(silent.port))
    # Once a session line is known, any answer counts, as it does within one run of the host.
    assert lines(run) == ["false", "false", "", "true", SESSION_LINE, "true"]
    assert [r.path for r in daemon.requests] == ["/"]
    assert daemon.requests[0].headers.get("User-Agent") == "Zendro core"


def test_probe_fails_at_once_when_nothing_listens(wine):
    started = time.monotonic()
    run = http_probe(wine, "probe", str(unused_port()))
    assert lines(run) == ["false"]
    assert time.monotonic() - started < 5


def test_download_server_base_url(wine):
    built_in = build_settings()["download_server"]
    assert lines(http_probe(wine, "base")) == [built_in]
    for override in ["http://127.0.0.1:4321", "https://localhost:4321"]:
        env = {"ZENDRO_DOWNLOAD_SERVER": override}
        assert lines(http_probe(wine, "base", env=env)) == [override]
    invalid = {"ZENDRO_DOWNLOAD_SERVER": "https://127.0.0.1:4321/files"}
    assert lines(http_probe(wine, "base", env=invalid)) == [built_in]
