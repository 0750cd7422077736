"""Debian's Chromium and Firefox, headless, drive the host under Wine through native messaging:
the test extension sends the commands below and reports each reply or error to a loopback
listener. Each browser runs once, alone, for all the cases (its time shows in the output)."""

import contextlib
import fcntl
from dataclasses import dataclass

import pytest

import browser_support
from conftest import start_prefix, stop_prefix
from http_support import StandInServer
from test_daemon_launch import DaemonStandIn, Launch
from test_folders import folder_association  # noqa: F401 (a fixture, used by name)

HOST = "com.zendro.webhost"
# A second host name whose wrapper runs the host in a prefix with a non-ASCII user profile.
ACCENTED_HOST = "com.zendro.webhost.accented"
ACCENTED_USER = "Zoë Ñandú 山"

ACCENTED_FOLDER = "Café Ñandú 山"
DOWNLOADS_TAIL = "\\Downloads\\Zendro Downloads"


def cases(shown_folder: str, daemon_port: str) -> dict:
    """Case name -> (host name, message)."""
    return {
        "health": (HOST, {"text": "CheckNativeMessagingHost"}),
        "unknown": (HOST, {"text": "NoSuchCommand"}),
        "no-such-host": ("com.zendro.nosuchhost", {"text": "CheckNativeMessagingHost"}),
        "downloads": (HOST, {"text": "getDefaultDownloadsDirectory"}),
        "listening-port": (HOST, {"text": "GetListeningPort"}),
        "start-daemon": (HOST, {"text": "StartDaemon", "port": daemon_port}),
        "open-accented-folder": (HOST, {"text": "openContainingFolder", "directory": shown_folder}),
        "accented-health": (ACCENTED_HOST, {"text": "CheckNativeMessagingHost"}),
        "accented-downloads": (ACCENTED_HOST, {"text": "getDefaultDownloadsDirectory"}),
    }


# What each browser says when the host ends without sending a reply.
HOST_CLOSED = {"chromium": "Native host has exited.", "firefox": "An unexpected error occurred"}
LISTENING_PORT_LOCK = "/tmp/zendro-listening-port-tests.lock"
RUNNERS = {"chromium": browser_support.run_chromium, "firefox": browser_support.run_firefox}


@contextlib.contextmanager
def listening_port_turn():
    """Takes the turn that the GetListeningPort tests of every worktree on this machine share."""
    with open(LISTENING_PORT_LOCK, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


@pytest.fixture(scope="module")
def accented_wine(tmp_path_factory):
    # Wine names the profile after USER, when it makes the prefix and on every start after.
    prefix = start_prefix(tmp_path_factory.mktemp("accented") / "prefix",
                          env={"USER": ACCENTED_USER, "LOGNAME": ACCENTED_USER, "LC_ALL": "C.UTF-8"})
    try:
        yield prefix
    finally:
        stop_prefix(prefix)


@dataclass
class BrowserOutcomes:
    name: str
    outcomes: dict  # case name -> {"reply": ...} or {"error": "..."}
    shown_folder: str  # the folder "open-accented-folder" asks for, as Windows names it
    opened: list  # the folders the shell was asked to open during the run
    java_started: list  # the fake Java runtime's command lines during the run
    java_expected: str  # the command line StartDaemon gives the runtime
    installer_downloads: list  # requests that reached the download server


@pytest.fixture(scope="module", params=list(RUNNERS))
def browser(request, wine, accented_wine, folder_association, tmp_path_factory):
    """One run of the browser with every case. The shared prefix gets a fake Java runtime for
    StartDaemon for the run, and its folder association records what the shell opens."""
    name = request.param
    folder = tmp_path_factory.mktemp(name)
    shown_folder = folder / ACCENTED_FOLDER
    shown_folder.mkdir()
    hosts = {HOST: wine, ACCENTED_HOST: accented_wine}
    with contextlib.ExitStack() as stack:
        download_server = stack.enter_context(StandInServer())
        launch = Launch(wine, folder, download_server)
        launch.clean()
        stack.callback(launch.clean)
        launch.install_fake_java()
        daemon = stack.enter_context(DaemonStandIn())
        viewer_log = folder_association.log
        viewer_log.unlink(missing_ok=True)
        all_cases = cases(wine.windows_path(shown_folder), daemon.port)
        commands = [{"host": host, "message": message} for host, message in all_cases.values()]
        # GetListeningPort probes a fixed range that test runs in other worktrees hold on purpose.
        stack.enter_context(listening_port_turn())
        run = RUNNERS[name](hosts, commands, folder / "run")
        opened = viewer_log.read_text(encoding="utf-8").splitlines() if viewer_log.exists() else []
        result = BrowserOutcomes(
            name,
            {case: run.outcome(index) for index, case in enumerate(all_cases)},
            wine.windows_path(shown_folder),
            opened,
            launch.java_command_lines(),
            launch.expected_command_line(daemon.port),
            launch.downloads(),
        )
    capture = request.config.pluginmanager.get_plugin("capturemanager")
    with capture.global_and_fixture_disabled():
        print(f"\n{name}: browser run took {run.seconds:.1f} s", flush=True)
    return result


def test_health_check_replies_1(browser):
    assert browser.outcomes["health"].get("reply") == {"text": "1"}, browser.outcomes["health"]


def test_unknown_command_gets_the_error_for_a_host_that_closed_without_reply(browser):
    unknown = browser.outcomes["unknown"]
    assert unknown.get("error") == HOST_CLOSED[browser.name], unknown
    # The host ends at once; a hang would show as a wait of the browser's own time limit.
    assert unknown["milliseconds"] < 30000
    # A missing host is a different error: the one above really comes from the host closing.
    missing = browser.outcomes["no-such-host"].get("error")
    assert missing and missing != HOST_CLOSED[browser.name], browser.outcomes["no-such-host"]


def test_downloads_folder_arrives_with_single_backslashes(browser, wine):
    expected = wine.to_windows(wine.profile) + DOWNLOADS_TAIL
    assert browser.outcomes["downloads"].get("reply") == {"text": expected}, browser.outcomes["downloads"]


def test_listening_port_is_a_port_of_the_daemons_range(browser):
    reply = browser.outcomes["listening-port"].get("reply")
    assert reply and reply["text"].isdigit(), browser.outcomes["listening-port"]
    assert 9091 <= int(reply["text"]) <= 9102


def test_daemon_starts_with_the_fake_runtime(browser):
    assert browser.outcomes["start-daemon"].get("reply") == {"text": "started"}, browser.outcomes["start-daemon"]
    assert browser.java_started == [browser.java_expected]
    assert browser.installer_downloads == []  # the runtime was in place: nothing to install


def test_non_ascii_folder_name_reaches_the_host_intact(browser):
    assert browser.outcomes["open-accented-folder"].get("reply") == {"text": "success"}
    assert browser.opened == [browser.shown_folder]


def test_non_ascii_user_profile_reaches_the_extension_intact(browser, accented_wine):
    assert accented_wine.profile.name == ACCENTED_USER
    assert browser.outcomes["accented-health"].get("reply") == {"text": "1"}
    expected = f"C:\\users\\{ACCENTED_USER}" + DOWNLOADS_TAIL
    assert browser.outcomes["accented-downloads"].get("reply") == {"text": expected}
