"""The shell hand-off: ZendroWebHost.exe started with one .torrent file or magnet link gives it to
the daemon over Transmission RPC, then starts the browser that goes with it."""

import base64
import json
import re
import subprocess

import pytest

from conftest import EXE, HELPERS, WINE64
from daemon_support import settings_file  # noqa: F401 (fixture)
from handoff_support import (SESSION_HEADER, START_MENU_INTERNET, USER_START_MENU_INTERNET,
                             Browsers, RpcStandIn, TransmissionDaemon, make_torrent)
from http_support import Answer, unused_port

RECORDER = HELPERS / "record_launch.exe"
SUCCESS = Answer(200, b'{"arguments":{},"result":"success"}')
MAGNET = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Ubuntu+Image"


@pytest.fixture(scope="module")
def transmission(tmp_path_factory):
    daemon = TransmissionDaemon(tmp_path_factory.mktemp("transmission"))
    yield daemon
    daemon.stop()


@pytest.fixture
def browsers(wine, tmp_path):
    lists = [START_MENU_INTERNET, USER_START_MENU_INTERNET]
    existed = {key: wine.wine("reg", "query", key, check=False).returncode == 0 for key in lists}
    registry = Browsers(wine, tmp_path, RECORDER)
    yield registry
    registry.clean_up()
    for key in lists:
        if not existed[key]:
            wine.wine("reg", "delete", key, "/f", check=False)


@pytest.fixture
def both_browsers(browsers):
    browsers.register("Google Chrome", "Google Chrome")
    browsers.register("FIREFOX.EXE", "Mozilla Firefox")
    return browsers


def started(launches, subkey):
    """Whether the one recorded launch is the recorder registered under `subkey`."""
    folder = subkey.replace(" ", "_")
    return len(launches) == 1 and f"\\{folder}\\record_launch.exe" in launches[0]


def hand_off(wine, item, browsers=None, exe=EXE, timeout=60):
    run = wine.run([item], exe=exe, env=browsers.env if browsers else None, timeout=timeout)
    assert run.returncode == 0
    assert run.stdout == b""
    return run


def test_magnet_link_reaches_the_real_daemon_and_chrome_starts_once(
        wine, transmission, settings_file, both_browsers):
    settings_file(b"tessui.port=%d\r\n" % transmission.rpc_port)
    info_hash = "89abcdef0123456789abcdef0123456789abcdef"
    hand_off(wine, f"magnet:?xt=urn:btih:{info_hash}&dn=zendro+test", both_browsers)
    assert info_hash in transmission.info_hashes()
    assert started(both_browsers.wait_for_launches(1), "Google Chrome")
    assert wine.log_text().splitlines()[-1].endswith(
        f" hand-off of magnet link {info_hash}: the item was handed over to the daemon on port "
        f"{transmission.rpc_port}")


def test_torrent_file_reaches_the_real_daemon_and_a_renamed_host_starts_firefox(
        wine, transmission, settings_file, both_browsers, host_copy, tmp_path):
    settings_file(b"tessui.port=%d\r\n" % transmission.rpc_port)
    metainfo, info_hash = make_torrent("zendro-test.bin", bytes(range(256)) * 300)
    torrent = tmp_path / "zendro test.torrent"
    torrent.write_bytes(metainfo)
    host = host_copy("host_copy.exe")
    hand_off(wine, wine.to_windows(torrent), both_browsers, exe=host)
    assert info_hash in transmission.info_hashes()
    # The renamed host wants "Mozilla Firefox", registered here under another subkey name.
    assert started(both_browsers.wait_for_launches(1), "FIREFOX.EXE")


def test_handshake_with_a_daemon_that_demands_a_session_id(wine, settings_file, both_browsers):
    with RpcStandIn(SUCCESS) as daemon:
        settings_file(b"tessui.port=%d\r\n" % daemon.port)
        hand_off(wine, MAGNET, both_browsers)
    requests = daemon.requests
    # One attempt each: the refused session-get captures the id, the torrent-add sends it.
    assert [r.body for r in requests] == [
        b'{"method":"session-get"}',
        b'{"arguments":{"filename":"' + MAGNET.encode() + b'"},"method":"torrent-add"}',
    ]
    assert SESSION_HEADER not in requests[0].headers
    assert requests[1].headers[SESSION_HEADER] == RpcStandIn.SESSION_ID
    assert {r.path for r in requests} == {"/transmission/rpc"}
    assert {r.method for r in requests} == {"POST"}
    assert {r.headers["User-Agent"] for r in requests} == {"Zendro core"}
    assert started(both_browsers.wait_for_launches(1), "Google Chrome")


def test_a_daemon_that_answers_session_get_at_once_gets_no_session_header(wine, settings_file):
    with RpcStandIn(SUCCESS, demand_session=False) as daemon:
        settings_file(b"tessui.port=%d\r\n" % daemon.port)
        hand_off(wine, MAGNET)
    assert len(daemon.requests) == 2
    assert all(SESSION_HEADER.lower() not in map(str.lower, r.headers) for r in daemon.requests)


@pytest.mark.parametrize(
    "answer",
    [
        pytest.param(Answer(200, b"<html>not json</html>"), id="not-json"),
        pytest.param(Answer(200, b'{"result":"duplicate torrent"}'), id="other-result"),
        pytest.param(Answer(200, b'{"result":1}'), id="number-result"),
        pytest.param(Answer(200, b'{"arguments":{}}'), id="no-result"),
        pytest.param(Answer(200, b""), id="empty"),
    ],
)
def test_a_refused_torrent_add_starts_no_browser(wine, settings_file, both_browsers, answer):
    with RpcStandIn(answer) as daemon:
        settings_file(b"tessui.port=%d\r\n" % daemon.port)
        hand_off(wine, MAGNET, both_browsers)
    # The refused session-get, then the one torrent-add: no retry.
    assert len(daemon.requests) == 2
    assert both_browsers.launches() == []


def test_a_link_with_quotes_and_backslashes_stays_one_json_string(wine, settings_file):
    link = MAGNET + r'&dn=a","download-dir":"C:\\Windows\\x'
    with RpcStandIn(SUCCESS, demand_session=False) as daemon:
        settings_file(b"tessui.port=%d\r\n" % daemon.port)
        hand_off(wine, link)
    sent = json.loads(daemon.requests[1].body)
    assert sent == {"arguments": {"filename": link}, "method": "torrent-add"}


def test_a_multi_megabyte_file_arrives_whole_in_base64(wine, settings_file, tmp_path):
    payload = bytes((i * 31 + (i >> 12)) & 0xFF for i in range(3 * 1024 * 1024 + 2))
    item = tmp_path / "big.torrent"
    item.write_bytes(payload)
    with RpcStandIn(SUCCESS) as daemon:
        settings_file(b"tessui.port=%d\r\n" % daemon.port)
        hand_off(wine, wine.to_windows(item))
    body = daemon.requests[1].body
    prefix, suffix = b'{"arguments":{"metainfo":"', b'"},"method":"torrent-add"}'
    assert body.startswith(prefix) and body.endswith(suffix)
    assert base64.b64decode(body[len(prefix) : -len(suffix)], validate=True) == payload


@pytest.fixture
def stand_in_daemon(settings_file):
    with RpcStandIn(SUCCESS) as daemon:
        settings_file(b"tessui.port=%d\r\n" % daemon.port)
        yield daemon


def test_nothing_is_sent_without_a_port(wine, both_browsers, tmp_path):
    with RpcStandIn(SUCCESS) as daemon:
        torrent = tmp_path / "a.torrent"
        torrent.write_bytes(make_torrent("a", b"x" * 100)[0])
        hand_off(wine, wine.to_windows(torrent), both_browsers)
        hand_off(wine, MAGNET, both_browsers)
    assert daemon.requests == []
    assert both_browsers.launches() == []


def test_nothing_is_sent_for_an_empty_file_or_an_unknown_item(wine, stand_in_daemon, tmp_path):
    empty = tmp_path / "empty.torrent"
    empty.write_bytes(b"")
    hand_off(wine, wine.to_windows(empty))
    hand_off(wine, wine.to_windows(tmp_path / "missing.torrent"))
    hand_off(wine, "Magnet:?xt=urn:btih:0123")  # only the lower-case word counts
    assert stand_in_daemon.requests == []


def test_a_missing_path_through_a_magnet_folder_goes_as_a_link(wine, stand_in_daemon, tmp_path):
    item = wine.to_windows(tmp_path / "magnets" / "missing.torrent")
    hand_off(wine, item)
    sent = json.loads(stand_in_daemon.requests[1].body)
    assert sent == {"arguments": {"filename": item}, "method": "torrent-add"}


def test_a_daemon_that_is_down_ends_the_run_at_once(wine, settings_file, both_browsers):
    port = unused_port()
    settings_file(b"tessui.port=%d\r\n" % port)
    run = hand_off(wine, MAGNET, both_browsers)
    assert run.seconds < 8
    assert both_browsers.launches() == []
    # The log names the step and libcurl's reason, and of the link only its info hash.
    last = wine.log_text().splitlines()[-1]
    assert re.search(rf"hand-off of magnet link 0123456789abcdef0123456789abcdef01234567: "
                     rf"session-get to 127\.0\.0\.1:{port}: .*Couldn't connect", last), last
    assert "Ubuntu" not in last


def test_one_registered_browser_is_not_started(wine, stand_in_daemon, browsers):
    browsers.register("Google Chrome", "Google Chrome")
    hand_off(wine, MAGNET, browsers)
    assert len(stand_in_daemon.requests) == 2
    assert browsers.launches() == []


def test_chrome_installed_for_the_user_alone_is_started(wine, stand_in_daemon, browsers):
    browsers.register("Google Chrome", "Google Chrome", USER_START_MENU_INTERNET)
    browsers.register("FIREFOX.EXE", "Mozilla Firefox")
    hand_off(wine, MAGNET, browsers)
    assert started(browsers.wait_for_launches(1), "Google Chrome")
    # --diagnose says so, and names neither the icon nor the manifest, which the program has.
    report = wine.run(["--diagnose"]).stdout.decode("utf-8").splitlines()
    assert ('ok: a hand-off brings up "Google Chrome" unless it runs, registered in '
            rf"{USER_START_MENU_INTERNET}") in report, report
    assert not [line for line in report if re.search("has no (icon|application manifest)", line)]


def test_the_wanted_browser_needs_its_exact_display_name(wine, stand_in_daemon, browsers):
    browsers.register("Google Chrome", "google chrome")
    browsers.register("FIREFOX.EXE", "Mozilla Firefox")
    hand_off(wine, MAGNET, browsers)
    assert browsers.launches() == []


def test_a_browser_that_already_runs_is_not_started_again(
        wine, stand_in_daemon, both_browsers, tmp_path):
    chrome = tmp_path / "running" / "chrome.exe"
    chrome.parent.mkdir()
    chrome.write_bytes(RECORDER.read_bytes())
    running = subprocess.Popen([WINE64, str(chrome), "--stay", "60"], env={**wine.env, **both_browsers.env},
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        assert len(both_browsers.wait_for_launches(1)) == 1  # the running "chrome.exe"
        hand_off(wine, MAGNET, both_browsers)
        assert len(stand_in_daemon.requests) == 2
        launches = both_browsers.launches()
    finally:
        running.kill()
        running.wait(timeout=15)
    assert len(launches) == 1 and "chrome.exe" in launches[0]
