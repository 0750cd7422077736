"""StartDaemon end to end: installing the daemon from a stand-in download server, starting a fake
Java runtime hidden and outside the browser's job, and waiting for a stand-in daemon."""

import json
import os
import re
import shutil
import subprocess
import time
from contextlib import contextmanager
from pathlib import Path

import pytest

from conftest import EXE, HELPERS, WINE64, frame
from hostile_support import HostilePeer, drips_body, never_answers
from http_support import Answer, StandInServer, unused_port
from trust_support import SIGNATURE_FORMS, signing  # noqa: F401 (a fixture)

INSTALLER_PATH = "/files/ferl/ZendroWebDaemonSetup.exe"
SESSION_HEADER = "X-Transmission-Session-Id"


class DaemonStandIn(StandInServer):
    """Answers probes like the daemon's web plug-in. `mode`: "header" sends the session header,
    "no-header" leaves it out, "lowercase" writes its name in lower case; before the probe
    numbered `answer_from` the header is left out. `probes` holds the probes' arrival times."""

    def __init__(self, mode="header", answer_from=1):
        super().__init__()
        self.probes = []
        outer = self

        class ProbeAnswers:
            @staticmethod
            def get(path, default):
                outer.probes.append(time.monotonic())
                name = {"header": SESSION_HEADER, "lowercase": SESSION_HEADER.lower()}.get(mode)
                if name and len(outer.probes) >= answer_from:
                    return Answer(409, b"", [(name, "abc123")])
                return Answer(409)

        self.answers = ProbeAnswers()
        self.port = str(self.port)


class Launch:
    """The daemon's home and the temporary folder of the shared prefix, emptied of everything
    these tests make before and after each test."""

    def __init__(self, wine, tmp_path, download_server):
        self.wine = wine
        self.home = wine.appdata / "ZendroWebDaemon"
        self.java = self.home / "Java" / "bin" / "java.exe"
        self.installer = wine.temp / "ZendroWebDaemonSetup.exe"  # where earlier hosts kept it
        self.host_temp = wine.temp / "ZendroWebHost"  # where each run works in a folder of its own
        self.installer_log = tmp_path / "installer.log"
        self.server = download_server
        self.env = {
            "ZENDRO_DOWNLOAD_SERVER": download_server.url,
            "ZENDRO_FAKE_JAVA": wine.windows_path(HELPERS / "fake_java.exe"),
            "ZENDRO_FAKE_INSTALLER_LOG": wine.windows_path(self.installer_log),
        }

    def clean(self):
        stop = Path(str(self.java) + ".stop")
        if Path(str(self.java) + ".stay").exists():
            stop.touch()
            self.wait_until_stopped()
        shutil.rmtree(self.home, ignore_errors=True)
        shutil.rmtree(self.wine.log_folder, ignore_errors=True)
        shutil.rmtree(self.host_temp, ignore_errors=True)
        self.installer.unlink(missing_ok=True)

    def left_nothing(self):
        return not self.installer.exists() and not self.host_temp.exists()

    def ran_privately(self, path):
        """Whether `path` names the installer in a run's own folder."""
        folder = re.escape(self.wine.to_windows(self.host_temp))
        return re.fullmatch(folder + r"\\run-[0-9a-f]+-[0-9a-f]+\\ZendroWebDaemonSetup\.exe",
                            path) is not None

    def install_fake_java(self, stay=False):
        self.java.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(HELPERS / "fake_java.exe", self.java)
        (self.home / "Zendro").mkdir(exist_ok=True)
        (self.home / "Zendro" / "zendrolite.jar").write_bytes(b"")
        if stay:
            Path(str(self.java) + ".stay").touch()

    def start(self, port, exit_code=0, timeout=90, exe=EXE, env=None):
        env = {**self.env, "ZENDRO_FAKE_INSTALLER_EXIT": str(exit_code), **(env or {})}
        message = json.dumps({"text": "StartDaemon", "port": port})
        return self.wine.send(message, env=env, timeout=timeout, exe=exe)

    def java_command_lines(self):
        recorded = Path(str(self.java) + ".cmdline")
        return recorded.read_text(encoding="utf-8").splitlines() if recorded.exists() else []

    def installer_runs(self):
        return self.installer_log.read_text(encoding="utf-8").splitlines() if self.installer_log.exists() else []

    def downloads(self):
        return [r.path for r in self.server.requests]

    def heartbeat(self):
        try:
            return int(Path(str(self.java) + ".heartbeat").read_text() or 0)
        except (FileNotFoundError, ValueError):
            return 0

    def is_beating(self, seconds=1.0):
        before = self.heartbeat()
        time.sleep(seconds)
        return self.heartbeat() > before

    def wait_until_stopped(self, limit=20):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline and self.is_beating(0.5):
            pass

    def expected_command_line(self, port):
        windows = self.wine.to_windows
        program = windows(self.home / "Zendro")
        downloads = windows(self.wine.profile) + "\\Downloads\\Zendro Downloads"
        return (
            f'"{windows(self.java)}" -Xmx128m -Djava.library.path="{program}" -Duser.dir="{program}"'
            f' -Dorlath.config.path="{program}" -Dorlath.low.resource.mode=true'
            " -Dorlath.pairing.enable.default=false -Dorlath.portable.enable=true"
            f' -Dorlath.folder.download="{downloads}" -Dorlath.tessui.port={port}'
            f' -Dorlath.folder.torrent="{windows(self.home / "Torrents")}"'
            f' -classpath "{windows(self.home / "Zendro" / "zendrolite.jar")}"'
            " com.zendro.lite.ZendroLite"
        )


# What the download server answers, given the fake installer's bytes (200 with them by default).
# An error page whose body is a working installer is still no installer.
INSTALLER_ANSWERS = {
    "not-found": lambda installer: Answer(404, installer),
    "empty": lambda installer: Answer(200, b""),
    "redirect": lambda installer: Answer(302, installer, [("Location", "/elsewhere")]),
}


# The download server over HTTPS, with a certificate the prefix trusts or one it must refuse.
HTTPS_SERVERS = {"https": "good", "https-self-signed": "self_signed"}


@pytest.fixture
def launch(wine, tmp_path, request):
    kind = getattr(request, "param", "ok")
    answer = INSTALLER_ANSWERS.get(kind, lambda installer: Answer(200, installer))(
        (HELPERS / "fake_installer.exe").read_bytes())
    tls = getattr(request.getfixturevalue("tls"), HTTPS_SERVERS[kind]) if kind in HTTPS_SERVERS else None
    with StandInServer({INSTALLER_PATH: answer}, tls=tls) as server:
        launch = Launch(wine, tmp_path, server)
        launch.clean()
        yield launch
        launch.clean()


def test_java_gets_exactly_the_daemons_parameters(launch):
    launch.install_fake_java()
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "started"
    assert launch.java_command_lines() == [launch.expected_command_line(daemon.port)]
    assert launch.downloads() == [] and launch.installer_runs() == []


@pytest.mark.parametrize("launch", ["ok", "https"], indirect=True)
def test_missing_runtime_is_installed_from_the_download_server(launch):
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "started"
    assert launch.downloads() == [INSTALLER_PATH]
    assert [launch.ran_privately(path) for path in launch.installer_runs()] == [True]
    assert launch.left_nothing()  # deleted after the run
    assert launch.java_command_lines() == [launch.expected_command_line(daemon.port)]
    assert re.search(r"StartDaemon: the daemon installer ran\n.* StartDaemon: the daemon started\n",
                     launch.wine.log_text())


def test_installer_already_in_temp_is_run_without_a_download(launch):
    launch.installer.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy2(HELPERS / "fake_installer.exe", launch.installer)
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "started"
    assert launch.downloads() == []
    assert len(launch.installer_runs()) == 1
    assert launch.left_nothing()


def test_failed_installer_is_deleted_and_no_java_starts(launch):
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port, exit_code=1603)
    assert run.reply == "failed"
    assert "StartDaemon: the installer: exited with 1603\n" in launch.wine.log_text()
    assert len(launch.installer_runs()) == 1
    assert launch.left_nothing()
    assert launch.java_command_lines() == [] and daemon.probes == []


def test_installer_that_installs_nothing_fails_at_the_java_start(launch):
    launch.env.pop("ZENDRO_FAKE_JAVA")  # exits 0 without laying out the daemon
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "failed"
    assert len(launch.installer_runs()) == 1 and launch.left_nothing()
    assert daemon.probes == []
    assert re.search(r"StartDaemon: starting the Java runtime C:\\.+java\.exe: .+ \(error \d+\)\n",
                     launch.wine.log_text())


@pytest.mark.parametrize("launch, cause", [
    ("not-found", "the server answered with status 404"),
    ("empty", "an empty body"),
    ("redirect", "the server answered with status 302"),
], indirect=["launch"])
def test_installer_downloads_that_give_no_installer_fail(launch, cause):
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port, timeout=60)
    assert run.reply == "failed"
    assert launch.downloads() == [INSTALLER_PATH]  # the redirect is not followed
    assert launch.installer_runs() == []
    assert launch.left_nothing()
    assert launch.java_command_lines() == [] and daemon.probes == []
    assert (f"StartDaemon: the installer download: fetching {launch.server.url}{INSTALLER_PATH}: "
            f"{cause}\n") in launch.wine.log_text()


@pytest.mark.parametrize("launch", ["https-self-signed"], indirect=True)
def test_a_download_server_without_a_trusted_certificate_gets_no_request(launch):
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "failed"
    assert launch.downloads() == [] and launch.installer_runs() == []
    assert launch.java_command_lines() == [] and daemon.probes == []


def test_a_broken_off_installer_is_not_kept_and_the_next_start_fetches_it_afresh(launch):
    installer = (HELPERS / "fake_installer.exe").read_bytes()
    launch.server.answers[INSTALLER_PATH] = Answer(200, installer, cut_after=len(installer) // 2)
    with DaemonStandIn() as daemon:
        assert launch.start(daemon.port).reply == "failed"
        assert launch.installer_runs() == [] and launch.left_nothing()
        launch.server.answers[INSTALLER_PATH] = Answer(200, installer)
        assert launch.start(daemon.port).reply == "started"
    assert launch.downloads() == [INSTALLER_PATH, INSTALLER_PATH]
    assert len(launch.installer_runs()) == 1


@pytest.mark.parametrize("form", [*SIGNATURE_FORMS, "found-in-temp-with-the-server-down"])
def test_with_trusted_keys_only_a_signed_installer_runs(launch, signing, form):
    installer = (HELPERS / "fake_installer.exe").read_bytes()
    offer = signing.offer(form if form in SIGNATURE_FORMS else "signed", installer,
                          "ZendroWebDaemonSetup.exe")
    launch.server.answers[INSTALLER_PATH] = Answer(200, offer.file)
    launch.server.answers[INSTALLER_PATH + ".minisig"] = (
        Answer(404, b"<html>no such file</html>") if offer.signature is None
        else Answer(200, offer.signature))
    # The signature comes first; without a good one the installer is never asked for.
    expected_downloads = ([INSTALLER_PATH + ".minisig"] if offer.signature_fetched else []) + (
        [INSTALLER_PATH] if offer.body_fetched else [])
    if form == "found-in-temp-with-the-server-down":  # no signature to be had: refused
        launch.installer.parent.mkdir(parents=True, exist_ok=True)
        launch.installer.write_bytes(installer)
        launch.env["ZENDRO_DOWNLOAD_SERVER"] = f"http://127.0.0.1:{unused_port()}"
        offer.trusted, expected_downloads = False, []
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port, exe=offer.exe)
    assert run.reply == ("started" if offer.trusted else "failed")
    refusal = "StartDaemon: the installer download, refused: "
    assert (refusal in launch.wine.log_text()) == (not offer.trusted)
    assert launch.downloads() == expected_downloads
    assert len(launch.installer_runs()) == len(launch.java_command_lines()) == offer.trusted
    assert launch.left_nothing()


def test_an_installer_signed_before_the_one_accepted_last_is_not_run(launch, signing):
    """Rollback: a genuine signature older than one accepted before (say, last year's installer
    with its own .minisig) is refused before the installer is asked for."""
    name, signature = "ZendroWebDaemonSetup.exe", INSTALLER_PATH + ".minisig"
    installer = (HELPERS / "fake_installer.exe").read_bytes()
    newer = signing.offer("signed", installer, name)
    launch.server.answers[signature] = Answer(200, newer.signature)
    with DaemonStandIn() as daemon:
        assert launch.start(daemon.port, exe=newer.exe).reply == "started"
    accepted = int(re.search(rb"timestamp:(\d+)", newer.signature)[1])
    launch.clean()
    older = signing.publisher.sign(installer, name, "-t", f"timestamp:1000000000\tfile:{name}\thashed")
    launch.server.answers[signature] = Answer(200, older)
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port, exe=newer.exe)
    assert run.reply == "failed"
    assert launch.downloads() == [signature, INSTALLER_PATH, signature]
    assert len(launch.installer_runs()) == 1 and launch.left_nothing()
    made = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(accepted))
    assert ("StartDaemon: the installer download, refused: its signature, made "
            "2001-09-09T01:46:40Z (timestamp 1000000000), is older than the one accepted before, "
            f"made {made} (timestamp {accepted})\n") in launch.wine.log_text()


@pytest.mark.parametrize("command, denied, owed", [
    ("UpdateNativeHost", "version", ""),
    ("StartDaemon", "ws2_32", "failed"),
    ("StartDaemon", "shell32", "failed"),
])
def test_a_dll_that_cannot_be_bound_fails_the_command_with_its_reply(launch, command, denied, owed):
    """The DLLs bound at first use: one denied (as a broken system would) fails the command that
    needs it before it starts, with the reply it owes on failure, and exit code 0."""
    env = {**launch.env, "WINEDLLOVERRIDES": f"{launch.wine.env['WINEDLLOVERRIDES']};{denied}=d"}
    run = launch.wine.send(json.dumps({"text": command, "port": "9091"}), env=env, timeout=60)
    assert run.reply == owed and run.returncode == 0
    assert launch.downloads() == [] and launch.installer_runs() == []
    assert launch.java_command_lines() == []


@pytest.mark.parametrize("port", ["9091 -Dx=y", "0", "65536", "", "abc", " 9091", "-1", "1e3"])
def test_bad_ports_start_and_install_nothing(launch, port):
    run = launch.start(port)
    assert run.reply == "failed"
    assert run.seconds < 5
    assert launch.downloads() == [] and launch.installer_runs() == []
    assert launch.java_command_lines() == []


def test_started_when_the_daemon_answers_on_the_third_probe(launch):
    launch.install_fake_java()
    with DaemonStandIn(answer_from=3) as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "started"
    assert len(daemon.probes) == 3
    gaps = [b - a for a, b in zip(daemon.probes, daemon.probes[1:])]
    assert all(0.45 <= gap < 1.5 for gap in gaps), gaps
    assert 0.9 <= run.seconds < 4, run.seconds


def test_failed_after_twenty_probes_when_nothing_listens(launch):
    launch.install_fake_java()
    port = str(unused_port())
    run = launch.start(port)
    assert run.reply == "failed"
    assert 9.9 <= run.seconds < 16, run.seconds
    assert len(launch.java_command_lines()) == 1
    assert (f"StartDaemon: the daemon answering on 127.0.0.1:{port} within 30 s: Failed to connect "
            f"to 127.0.0.1 port {port} ") in launch.wine.log_text()


def test_a_port_that_never_answers_fails_within_the_waits_deadline(launch):
    launch.install_fake_java()
    with HostilePeer(never_answers) as peer:
        run = launch.start(str(peer.port), timeout=90)
    # 20 probes of up to 20 s each would take minutes; together they have 30 s.
    assert run.reply == "failed"
    assert 29 <= run.seconds < 36, run.seconds
    assert peer.connections >= 1


@pytest.mark.parametrize("mode", ["no-header", "lowercase"])
def test_an_answer_without_the_session_header_is_not_the_daemon(launch, mode):
    launch.install_fake_java()
    with DaemonStandIn(mode) as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "failed"
    assert len(daemon.probes) == 20
    assert 9.9 <= run.seconds < 16, run.seconds


def browser_job(launch, port, *flags):
    run = launch.wine.run(
        [launch.wine.windows_path(EXE), port, *flags], exe=HELPERS / "fake_browser_job.exe",
        env=launch.env, timeout=90,
    )
    assert run.returncode == 0, run.stdout
    return run.stdout.decode("utf-8").strip()


def test_daemon_outlives_the_browsers_job(launch):
    launch.install_fake_java(stay=True)
    with DaemonStandIn(answer_from=3) as daemon:
        reply = browser_job(launch, daemon.port)
    assert json.loads(reply) == {"text": "started"}
    # The job is closed and every process in it killed; the daemon broke away and lives on.
    assert len(launch.java_command_lines()) == 1
    assert launch.is_beating()


def test_daemon_starts_inside_a_job_that_forbids_breaking_away(launch):
    launch.install_fake_java(stay=True)
    with DaemonStandIn(answer_from=3) as daemon:  # a second for the runtime to get going
        reply = browser_job(launch, daemon.port, "--no-breakaway")
    assert json.loads(reply) == {"text": "started"}
    assert len(launch.java_command_lines()) == 1
    # It was started in the job, so closing the job took it along.
    assert not launch.is_beating()


def test_hosts_started_at_once_download_and_run_the_installer_once(launch):
    launch.env["ZENDRO_FAKE_INSTALLER_SLEEP_MS"] = "2000"  # the others wait for it meanwhile
    with DaemonStandIn() as daemon:
        message = json.dumps({"text": "StartDaemon", "port": daemon.port})
        runs = launch.wine.send_at_once([message] * 3, env=launch.env, timeout=120)
    assert [run.reply for run in runs] == ["started"] * 3
    assert launch.downloads() == [INSTALLER_PATH]
    assert len(launch.installer_runs()) == 1
    assert len(launch.java_command_lines()) == 3  # each host starts the daemon, as one alone does
    assert launch.left_nothing()


def test_an_installer_that_installed_nothing_is_not_run_again_by_the_hosts_that_waited(launch):
    launch.env["ZENDRO_FAKE_INSTALLER_SLEEP_MS"] = "2000"
    launch.env["ZENDRO_FAKE_INSTALLER_EXIT"] = "1"  # the user cancelled it
    message = json.dumps({"text": "StartDaemon", "port": str(unused_port())})
    runs = launch.wine.send_at_once([message] * 3, env=launch.env, timeout=120)
    assert [run.reply for run in runs] == ["failed"] * 3
    assert len(launch.installer_runs()) == 1 and launch.left_nothing()


def test_what_a_killed_host_left_goes_with_the_next_run_but_a_live_hosts_folder_stays(launch):
    with HostilePeer(drips_body) as peer:
        env = {**launch.env, "ZENDRO_DOWNLOAD_SERVER": peer.url}
        stdin = launch.wine.scratch / "killed-stdin.bin"
        stdin.write_bytes(frame(json.dumps({"text": "StartDaemon", "port": "9091"})))
        with open(stdin, "rb") as input_file:
            downloading = subprocess.Popen([WINE64, str(EXE)], env={**launch.wine.env, **env},
                                           stdin=input_file, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 60
            while not list(launch.host_temp.glob("run-*/*.part")):
                assert time.monotonic() < deadline and downloading.poll() is None
                time.sleep(0.2)
            live = sorted(launch.host_temp.iterdir())
            launch.install_fake_java()
            with DaemonStandIn() as daemon:  # another host, which cleans up as it starts
                assert launch.start(daemon.port).reply == "started"
            assert sorted(launch.host_temp.iterdir()) == live  # the live host's folder stays
            assert list(launch.host_temp.glob("run-*/*.part"))
        finally:
            downloading.kill()
            downloading.wait(timeout=30)
    run = launch.wine.send('{"text":"UpdateNativeHost"}', timeout=60,
                           env={"ZENDRO_DOWNLOAD_SERVER": f"http://127.0.0.1:{unused_port()}"})
    assert run.reply == ""
    assert not launch.host_temp.exists()  # the killed host's download and folder are gone


@contextmanager
def user_temp_folder(wine, folder):
    """The user's temporary folder set to `folder` for the time of the block (Wine takes it from
    the user's environment in the registry, not from the Unix one)."""
    def point_to(windows_path):
        for name in ("TEMP", "TMP"):
            wine.wine("reg", "add", r"HKCU\Environment", "/v", name, "/t", "REG_SZ", "/d",
                      windows_path, "/f")

    folder.mkdir(parents=True, exist_ok=True)
    point_to(wine.to_windows(folder))
    try:
        yield wine.to_windows(folder)
    finally:
        point_to(wine.to_windows(wine.temp))


def deep_folder(root):
    """A folder whose Windows path has about 255 characters."""
    for index in range(11):
        root = root / (f"{index:02d}" + "x" * 18)
    return root / ("t" * 11)


def test_a_temporary_folder_deeper_than_260_characters_works(launch):
    deep = deep_folder(launch.wine.drive_c / "deep-temp")
    try:
        with user_temp_folder(launch.wine, deep) as temp, DaemonStandIn() as daemon:
            assert 250 <= len(temp) <= 260, len(temp)
            run = launch.start(daemon.port)
        assert run.reply == "started"
        assert launch.downloads() == [INSTALLER_PATH]
        assert len(launch.installer_runs()) == 1
        # The installer could not be started from there: it ran from Windows' default temporary
        # folder, and the host's folders in both went with the run.
        assert list(deep.iterdir()) == []
        assert not (launch.wine.profile / "AppData" / "Local" / "Temp" / "ZendroWebHost").exists()
    finally:
        shutil.rmtree(launch.wine.drive_c / "deep-temp", ignore_errors=True)


def test_a_host_folder_that_another_user_owns_is_left_for_one_of_the_users_own(launch):
    """Made first by someone else (in a shared temporary folder), with whatever access list they
    chose: the run works in Windows' default temporary folder of the user instead."""
    launch.host_temp.mkdir(parents=True)
    os.chown(launch.host_temp, 4242, 4242)  # to Wine, a user other than the one running the host
    own = launch.wine.profile / "AppData" / "Local" / "Temp" / "ZendroWebHost"
    with DaemonStandIn() as daemon:
        run = launch.start(daemon.port)
    assert run.reply == "started"
    assert list(launch.host_temp.iterdir()) == []
    [ran] = launch.installer_runs()
    assert launch.wine.to_windows(own) + "\\run-" in ran, ran
    assert not own.exists()  # and it went with the run


def test_leftovers_go_but_links_and_what_is_not_a_run_folder_stay(launch, tmp_path):
    outside = tmp_path / "outside"
    outside.mkdir()
    (outside / "precious.txt").write_bytes(b"keep")
    launch.host_temp.mkdir(parents=True)
    (launch.host_temp / "run-1-2").symlink_to(outside, target_is_directory=True)
    (launch.host_temp / "run-3-4" / "sub").mkdir(parents=True)  # left without its lock
    (launch.host_temp / "run-3-4" / "sub" / "ZendroWebDaemonSetup.exe.1c.part").write_bytes(b"p")
    (launch.host_temp / "not-a-run").mkdir()
    run = launch.wine.send('{"text":"UpdateNativeHost"}', timeout=60,
                           env={"ZENDRO_DOWNLOAD_SERVER": f"http://127.0.0.1:{unused_port()}"})
    assert run.reply == ""
    assert sorted(p.name for p in launch.host_temp.iterdir()) == ["not-a-run", "run-1-2"]
    assert (outside / "precious.txt").read_bytes() == b"keep"
