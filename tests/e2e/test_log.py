"""The host's log, %LOCALAPPDATA%\\ZendroWebHost\\host.log: what a run leaves there, its rotation
past 1 MiB, and hosts writing it at the same moment. The lines of particular failures are checked
where those failures are made (test_daemon_launch, test_handoff)."""

import re
import shutil
import subprocess
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import EXE, WINE64, Run, frame

LIMIT = 1024 * 1024
LINE = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z pid \d+ [^\n]*")
# A request that writes one line and changes nothing: StartDaemon without a port.
NO_PORT = '{"text":"StartDaemon"}'
NO_PORT_LINE = re.compile(r"\d{4}-\S+Z pid \d+ StartDaemon: the request could not be read")


def remove(path):
    if path.is_dir():
        shutil.rmtree(path)
    path.unlink(missing_ok=True)


@pytest.fixture
def log(wine):
    remove(wine.log_folder)
    yield wine.log_folder
    remove(wine.log_folder)


def test_a_health_check_leaves_no_log_not_even_its_folder(wine, log):
    assert wine.send('{"text":"CheckNativeMessagingHost"}').reply == "1"
    assert not log.exists()


def test_a_failure_goes_to_the_log_and_standard_error_never_standard_output(wine, log, tmp_path):
    stderr_path = tmp_path / "stderr.txt"
    with open(stderr_path, "wb") as stderr:
        run = wine.send(NO_PORT, stderr=stderr)
    assert run.reply == "parse message failed" and len(run.frames) == 1
    line = (log / "host.log").read_text(encoding="utf-8")
    assert NO_PORT_LINE.fullmatch(line.rstrip("\n"))
    assert line in stderr_path.read_text(encoding="utf-8")


def test_a_log_that_cannot_be_written_changes_no_reply(wine, log):
    log.parent.mkdir(parents=True, exist_ok=True)
    log.write_bytes(b"")  # a file where the folder belongs
    run = wine.send(NO_PORT)
    assert run.reply == "parse message failed" and run.returncode == 0


def test_past_its_size_the_log_moves_to_host_log_1_replacing_it(wine, log):
    log.mkdir(parents=True)
    (log / "host.log.1").write_text("older\n")
    full = ("x" * 1023 + "\n") * 1024  # 1 MiB: the next line would carry it past
    (log / "host.log").write_text(full)
    wine.send(NO_PORT)
    assert (log / "host.log.1").read_text() == full
    assert NO_PORT_LINE.fullmatch(wine.log_text().rstrip("\n"))


def test_a_log_that_cannot_move_aside_is_cut_back_to_its_newest_lines(wine, log):
    """host.log.1 a folder: no rotation can succeed, so the log keeps its newest whole lines and
    stays under twice the limit; the runs are as quick as ever."""
    log.mkdir(parents=True)
    (log / "host.log.1").mkdir()
    filler = "2026-01-01T00:00:00.000Z pid 1 filler: " + "f" * 60 + "\n"
    (log / "host.log").write_text(filler * ((2 * LIMIT - 200) // len(filler)))
    runs = [wine.send(NO_PORT) for _ in range(3)]
    assert [run.reply for run in runs] == ["parse message failed"] * 3
    assert max(run.seconds for run in runs) < 3, [run.seconds for run in runs]
    assert (log / "host.log.1").is_dir()
    lines = wine.log_text().splitlines()
    assert len(wine.log_text().encode()) <= LIMIT // 2 + 3 * len(lines[-1]) + 3
    assert all(LINE.fullmatch(line) for line in lines)
    assert [bool(NO_PORT_LINE.fullmatch(line)) for line in lines[-4:]] == [False, True, True, True]


def test_four_hosts_logging_at_once_leave_only_whole_lines(wine, log, tmp_path):
    """Started just under the limit, so that a rotation falls among the runs: a line cut in two,
    two lines run together, or a second rotation (which would drop the full log) all show."""
    log.mkdir(parents=True)
    filler = "2026-01-01T00:00:00.000Z pid 1 filler: " + "f" * 60 + "\n"
    (log / "host.log").write_text(filler * ((LIMIT - 300) // len(filler)))
    (tmp_path / "request").write_bytes(frame(NO_PORT))

    def runs(worker):
        replies = []
        for _ in range(5):  # each host with files of its own: wine.run shares them
            output = tmp_path / f"reply-{worker}"
            with open(tmp_path / "request", "rb") as stdin, open(output, "wb") as stdout:
                subprocess.run([WINE64, str(EXE)], env=wine.env, stdin=stdin, stdout=stdout,
                               stderr=subprocess.DEVNULL, timeout=60, check=True)
            replies.append(Run(output.read_bytes(), 0, 0).reply)
        return replies

    with ThreadPoolExecutor(4) as pool:
        replies = [reply for batch in pool.map(runs, range(4)) for reply in batch]
    assert replies == ["parse message failed"] * 20
    lines = ((log / "host.log.1").read_text(encoding="utf-8") + wine.log_text()).splitlines()
    assert all(LINE.fullmatch(line) for line in lines)
    assert sum(bool(NO_PORT_LINE.fullmatch(line)) for line in lines) == 20
    assert sum(line.endswith(" filler: " + "f" * 60) for line in lines) == (LIMIT - 300) // len(filler)
