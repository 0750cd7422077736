"""The HTTP transfers against peers that stall, drip, break off, flood or loop: every transfer
ends within its limits (10 s to connect, 20 s per request; a download that stops moving is
abandoned) and reports failure instead of hanging."""

import pytest

from conftest import HELPERS
from hostile_support import (HostilePeer, closes_mid_body, drips_headers, huge_body,
                             never_answers, redirects_to_itself, refuses_with_409)

PROBE = HELPERS / "http_probe.exe"
REQUEST_LIMIT = 20


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


def test_a_body_broken_off_is_a_failure_and_writes_no_file(wine, tmp_path):
    target = tmp_path / "broken.bin"
    with HostilePeer(closes_mid_body) as peer:
        lines, _ = probe(wine, "get", peer.url + "/", "download", peer.url + "/",
                         wine.windows_path(target))
    assert lines == ["false", "false"]
    assert not target.exists()


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


def test_a_redirect_loop_is_not_followed(wine):
    with HostilePeer(redirects_to_itself) as peer:
        lines, _ = probe(wine, "get", peer.url + "/")
        assert peer.connections == 1
    assert lines == ["true 5", "moved"]


def test_a_daemon_that_refuses_forever_still_counts_as_answering(wine):
    # The probe only asks for a session header; the RPC requests judge the replies themselves.
    with HostilePeer(refuses_with_409) as peer:
        lines, _ = probe(wine, "probe", str(peer.port), "session")
    assert lines == ["true", "X-Transmission-Session-Id: forever"]
