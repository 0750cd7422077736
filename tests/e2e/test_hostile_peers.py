"""The HTTP transfers against peers that stall, drip, break off, flood or loop: every transfer
ends within its limits (10 s to connect, 20 s per request; a download that stops moving is
abandoned) and reports failure instead of hanging."""

import pytest

from conftest import HELPERS
from hostile_support import (HostilePeer, announces_too_much, closes_mid_body, drips_headers,
                             endless_body, huge_body, never_answers, redirects_to_itself,
                             refuses_with_409, speaks_plain_http)
from http_support import Answer, StandInServer, unused_port

PROBE = HELPERS / "http_probe.exe"
REQUEST_LIMIT = 20
CONNECT_LIMIT = 10  # the TLS handshake is part of connecting
UNTRUSTED = ["self-signed", "other-name", "expired", "plain-http", "stalled-handshake"]


def untrusted_https_peer(kind, tls):
    """A peer on https://localhost:<port> that no client may trust."""
    if kind in ("plain-http", "stalled-handshake"):
        return HostilePeer(speaks_plain_http if kind == "plain-http" else never_answers, https=True)
    return StandInServer({"/": Answer(200, b"must not arrive")},
                         tls=getattr(tls, kind.replace("-", "_")))


def probe(wine, *args, timeout=120):
    run = wine.run(list(map(str, args)), exe=PROBE, timeout=timeout)
    assert run.returncode == 0
    return run.stdout.decode("utf-8", "replace").splitlines(), run.seconds


@pytest.mark.parametrize("behaviour", [never_answers, drips_headers], ids=["silent", "drip"])
def test_requests_end_at_their_time_limit(wine, behaviour):
    with HostilePeer(behaviour) as peer:
        lines, seconds = probe(wine, "get", peer.url + "/", "probe", str(peer.port))
    assert lines == ["false", "false"]
    # Two requests, each cut off at the overall limit (plus Wine's start-up).
    assert 2 * REQUEST_LIMIT - 1 <= seconds <= 2 * REQUEST_LIMIT + 15


@pytest.mark.parametrize("kind", UNTRUSTED)
def test_https_peers_that_cannot_be_trusted_are_refused(wine, tls, tmp_path, kind):
    target = tmp_path / "target.bin"
    with untrusted_https_peer(kind, tls) as peer:
        lines, seconds = probe(wine, "get", peer.url + "/", "download", peer.url + "/",
                               wine.windows_path(target))
    assert lines == ["false", "false"]
    assert list(tmp_path.iterdir()) == []  # no file, no partial file
    if isinstance(peer, StandInServer):  # the handshake failed, so no request followed
        assert peer.requests == []
    assert seconds <= 2 * CONNECT_LIMIT + 15


def test_revocation_is_checked_where_the_list_can_be_had(wine, tls):
    with StandInServer() as lists:
        revoked = tls.issue("revoked", crl_url=lists.url + "/ca.crl")
        unlisted = tls.issue("no-list", crl_url=f"http://127.0.0.1:{unused_port()}/ca.crl")
        lists.answers["/ca.crl"] = Answer(200, tls.revocation_list("revoked"))
        outcomes = []
        for certificate in (revoked, unlisted):
            with StandInServer({"/": Answer(200, b"hello")}, tls=certificate) as peer:
                outcomes.append((probe(wine, "get", peer.url + "/")[0], len(peer.requests)))
    assert [r.path for r in lists.requests] == ["/ca.crl"]
    # Revoked: refused. A list that cannot be fetched: best effort, the transfer goes ahead.
    assert outcomes == [(["false"], 0), (["true 5", "hello"], 1)]


def test_a_body_broken_off_is_a_failure_and_leaves_no_file_behind(wine, tmp_path):
    target, existing = tmp_path / "broken.bin", tmp_path / "existing.bin"
    existing.write_bytes(b"keep me")
    with HostilePeer(closes_mid_body) as peer:
        lines, _ = probe(wine, "get", peer.url + "/", "download", peer.url + "/",
                         wine.windows_path(target), "download", peer.url + "/",
                         wine.windows_path(existing))
    assert lines == ["false", "false", "false"]
    assert not target.exists() and existing.read_bytes() == b"keep me"
    assert [p.name for p in tmp_path.iterdir()] == ["existing.bin"]  # no partial file either


def test_a_stalled_download_is_abandoned(wine, tmp_path):
    target = tmp_path / "stalled.bin"
    with HostilePeer(drips_headers) as peer:
        lines, seconds = probe(wine, "download", peer.url + "/", wine.windows_path(target))
    assert lines == ["false"]
    assert not target.exists()
    assert seconds < 90


def test_a_100_mb_body_arrives_whole(wine, tmp_path):
    size = 100 * 2**20
    target = tmp_path / "big.bin"
    with HostilePeer(huge_body(size)) as peer:
        lines, _ = probe(wine, "download", peer.url + "/", wine.windows_path(target))
    assert lines == ["true"]
    assert target.stat().st_size == size


@pytest.mark.parametrize("behaviour", [endless_body, announces_too_much],
                         ids=["endless", "announced-too-long"])
def test_a_body_past_the_cap_stops_at_once_and_leaves_nothing(wine, tmp_path, behaviour):
    target = tmp_path / "capped.bin"
    with HostilePeer(behaviour) as peer:
        lines, seconds = probe(wine, "download-at-most", peer.url + "/", wine.windows_path(target),
                               str(2**20))
    assert lines == ["false"]
    assert list(tmp_path.iterdir()) == []  # no file, no partial file
    # Neither waits for a stall: the endless one stops at 1 MiB, the other before its body.
    assert seconds < 15, seconds


def test_a_redirect_loop_is_not_followed(wine):
    with HostilePeer(redirects_to_itself) as peer:
        lines, _ = probe(wine, "get", peer.url + "/")
        assert peer.connections == 1
    assert lines == ["false"]  # nor is its body taken for the file


def test_a_daemon_that_refuses_forever_still_counts_as_answering(wine):
    # The probe only asks for a session header; the RPC requests judge the replies themselves.
    with HostilePeer(refuses_with_409) as peer:
        lines, _ = probe(wine, "probe", str(peer.port), "session")
    assert lines == ["true", "X-Transmission-Session-Id: forever"]


# --- the host itself against hostile peers: one run, exit 0, at most one frame, the executable
# whole --------------------------------------------------------------------------------------

from daemon_support import settings_file  # noqa: E402,F401 (fixture)
from update_support import MANIFEST_PATH, UpdateServer  # noqa: E402

UPDATE = '{"text":"UpdateNativeHost"}'
MAGNET = "magnet:?xt=urn:btih:c12fe1c06bba254a9dc9f519b335aa7c1367a88a"


@pytest.fixture
def host(host_copy, tmp_path):
    return host_copy("ZendroWebHost.exe", tmp_path / "host")


def assert_untouched(host, original: bytes):
    assert host.read_bytes() == original
    assert sorted(p.name for p in host.parent.iterdir()) == ["ZendroWebHost.exe"]


@pytest.mark.parametrize("behaviour", [never_answers, drips_headers, refuses_with_409],
                         ids=["silent", "drip", "409"])
def test_an_update_from_a_hostile_server_ends_and_changes_nothing(wine, host, behaviour):
    original = host.read_bytes()
    with HostilePeer(behaviour) as peer:
        run = wine.send(UPDATE, exe=host, env={"ZENDRO_DOWNLOAD_SERVER": peer.url}, timeout=120)
    assert (run.returncode, run.reply, len(run.frames)) == (0, "", 1)
    assert run.seconds <= REQUEST_LIMIT + 15
    assert_untouched(host, original)


@pytest.mark.parametrize("behaviour", [closes_mid_body, drips_headers, redirects_to_itself],
                         ids=["broken-off", "stalled", "redirect"])
def test_a_package_that_never_arrives_whole_changes_nothing(wine, host, behaviour):
    original = host.read_bytes()
    server = UpdateServer()
    try:
        with HostilePeer(behaviour) as peer:
            server.serve_update("9.9.9.9", url=peer.url + "/package.zip")
            run = wine.send(UPDATE, exe=host, env={"ZENDRO_DOWNLOAD_SERVER": server.url},
                            timeout=150)
    finally:
        server.close()
    assert server.requests == [MANIFEST_PATH]
    assert (run.returncode, run.reply, len(run.frames)) == (0, "", 1)
    assert_untouched(host, original)


@pytest.mark.parametrize("behaviour", [never_answers, drips_headers, refuses_with_409],
                         ids=["silent", "drip", "409"])
def test_a_hand_off_to_a_hostile_daemon_ends_quietly(wine, settings_file, behaviour):
    with HostilePeer(behaviour) as peer:
        settings_file(b"tessui.port=%d\r\n" % peer.port)
        run = wine.run([MAGNET], timeout=120)
        connections = peer.connections
    assert (run.returncode, run.stdout) == (0, b"")
    # session-get, then (only when it passed) one torrent-add: no retries.
    assert connections <= 2
    assert run.seconds <= 2 * REQUEST_LIMIT + 15
