"""Debian's Chromium and Firefox, headless, drive the host under Wine through native messaging:
the test extension sends the commands below and reports each reply or error to a loopback
listener. Each browser runs once, alone, for all the cases (its time shows in the output)."""

import pytest

import browser_support
from conftest import WinePrefix

HOST = "com.zendro.webhost"
# A second host name whose wrapper runs the host in a prefix with a non-ASCII user profile.
ACCENTED_HOST = "com.zendro.webhost.accented"
ACCENTED_USER = "Zoë Ñandú 山"

# Case name -> (host name, message).
CASES = {
    "health": (HOST, {"text": "CheckNativeMessagingHost"}),
    "unknown": (HOST, {"text": "NoSuchCommand"}),
    "no-such-host": ("com.zendro.nosuchhost", {"text": "CheckNativeMessagingHost"}),
    "accented-health": (ACCENTED_HOST, {"text": "CheckNativeMessagingHost"}),
}

# What each browser says when the host ends without sending a reply.
HOST_CLOSED = {"chromium": "Native host has exited.", "firefox": "An unexpected error occurred"}
RUNNERS = {"chromium": browser_support.run_chromium, "firefox": browser_support.run_firefox}


@pytest.fixture(scope="module")
def accented_wine(tmp_path_factory):
    prefix = WinePrefix(tmp_path_factory.mktemp("accented") / "prefix")
    try:
        browser_support.make_prefix(prefix, ACCENTED_USER)
        yield prefix
    finally:
        browser_support.stop_prefix(prefix)


@pytest.fixture(scope="module", params=list(RUNNERS))
def browser(request, wine, accented_wine, tmp_path_factory):
    """One run of the browser with every case; gives {case name: outcome}."""
    name = request.param
    hosts = {HOST: wine, ACCENTED_HOST: accented_wine}
    commands = [{"host": host, "message": message} for host, message in CASES.values()]
    run = RUNNERS[name](hosts, commands, tmp_path_factory.mktemp(name) / "run")
    capture = request.config.pluginmanager.get_plugin("capturemanager")
    with capture.global_and_fixture_disabled():
        print(f"\n{name}: browser run took {run.seconds:.1f} s", flush=True)
    return name, {case: run.outcome(index) for index, case in enumerate(CASES)}


def test_health_check_replies_1(browser):
    _, outcomes = browser
    assert outcomes["health"].get("reply") == {"text": "1"}, outcomes["health"]


def test_unknown_command_gets_the_error_for_a_host_that_closed_without_reply(browser):
    name, outcomes = browser
    assert outcomes["unknown"].get("error") == HOST_CLOSED[name], outcomes["unknown"]
    # The host ends at once; a hang would show as a wait of the browser's own time limit.
    assert outcomes["unknown"]["milliseconds"] < 30000
    # A missing host is a different error: the one above really comes from the host closing.
    missing = outcomes["no-such-host"].get("error")
    assert missing and missing != HOST_CLOSED[name], outcomes["no-such-host"]


def test_host_runs_in_a_prefix_with_a_non_ascii_user_profile(browser, accented_wine):
    _, outcomes = browser
    assert accented_wine.profile.name == ACCENTED_USER
    assert outcomes["accented-health"].get("reply") == {"text": "1"}, outcomes["accented-health"]
