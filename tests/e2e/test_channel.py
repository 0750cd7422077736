"""The native messaging channel end to end: raw bytes in, raw bytes out, exit code 0."""

import re
import struct
import subprocess

import pytest

from conftest import EXE, ROOT, frame

PARSE_FAILED = "parse message failed"
TRIVIAL = ROOT / "build" / "windows" / "bench" / "trivial_host.exe"


def test_health_check_reply_bytes(wine):
    run = wine.send('{"text":"CheckNativeMessagingHost"}')
    assert run.returncode == 0
    assert run.stdout == b'\x0d\x00\x00\x00{"text": "1"}'


@pytest.mark.parametrize(
    "stdin",
    [
        pytest.param(b"", id="stdin-closed-at-once"),
        pytest.param(b"\x00\x00\x00\x00" + b'{"text":"CheckNativeMessagingHost"}', id="zero-length"),
        pytest.param(b"\x10\x00", id="short-length"),
        pytest.param(frame(b"not json"), id="not-json"),
        pytest.param(frame(b'{"text":"CheckNativeMessagingHost"'), id="json-cut-short"),
        pytest.param(struct.pack("<I", 500) + b'{"text":', id="short-body"),
        pytest.param(frame(b'{"text":"Check\x00NativeMessagingHost"}'), id="zero-byte-in-body"),
        pytest.param(b"\xff\xff\xff\xff" + b'{"text":"x"}', id="length-4-gib"),
        pytest.param(frame(b"[" * 100000), id="deep-nesting"),
        pytest.param(frame(b'["CheckNativeMessagingHost"]'), id="root-is-array"),
        pytest.param(frame(b'{"text":42}'), id="text-is-number"),
        pytest.param(frame(b'{"text":{"a":1}}'), id="text-is-object"),
        pytest.param(frame(b'{"text":null}'), id="text-is-null"),
        pytest.param(frame(b'{"other":"CheckNativeMessagingHost"}'), id="no-text"),
    ],
)
def test_bad_frames_get_parse_failure(wine, stdin):
    run = wine.run(stdin=stdin)
    assert run.returncode == 0
    assert run.reply == PARSE_FAILED
    assert len(run.frames) == 1


def test_length_near_four_gib_with_a_short_body_is_read_as_far_as_it_came(wine):
    run = wine.run(stdin=b"\xfe\xff\xff\xff" + b'{"text":"CheckNativeMessagingHost"}')
    assert run.returncode == 0
    assert run.reply == "1"


@pytest.mark.parametrize(
    "text",
    ["checkNativeMessagingHost", "CHECKNATIVEMESSAGINGHOST", "NoSuchCommand", "", "true"],
)
def test_unknown_names_get_no_reply(wine, text):
    run = wine.send('{"text":"%s"}' % text)
    assert run.returncode == 0
    assert run.stdout == b""


def test_true_reads_as_text_and_matches_nothing(wine):
    run = wine.send('{"text":true}')
    assert (run.returncode, run.stdout) == (0, b"")


@pytest.mark.parametrize(
    "args",
    [
        pytest.param([], id="no-argument"),
        pytest.param(["chrome-extension://abc/", "--parent-window=0"], id="chrome-on-windows"),
        pytest.param(["C:\\manifest.json", "zendro@example.org", "third"], id="three-arguments"),
    ],
)
def test_every_other_argument_count_is_native_messaging(wine, args):
    run = wine.send('{"text":"CheckNativeMessagingHost"}', args=args)
    assert (run.returncode, run.reply) == (0, "1")


@pytest.mark.parametrize("item", ["", "chrome-extension://abc/", "C:\\no\\such.torrent"])
def test_one_argument_is_the_shell_hand_off(wine, item):
    # A message on stdin is not read in this mode.
    run = wine.send('{"text":"CheckNativeMessagingHost"}', args=[item])
    assert (run.returncode, run.stdout) == (0, b"")


SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "crypt32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll",
    "ws2_32.dll", "iphlpapi.dll", "secur32.dll", "normaliz.dll", "wldap32.dll", "userenv.dll",
    "comdlg32.dll", "wintrust.dll",
}


def test_executable_is_a_gui_program_importing_only_windows_system_dlls():
    output = subprocess.run(
        ["x86_64-w64-mingw32-objdump", "-p", str(EXE)], capture_output=True, text=True,
        timeout=60, check=True,
    ).stdout
    assert "pe-x86-64" in output or "PE32+" in output
    # No console window when the shell starts it with a .torrent file or magnet link.
    assert re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)$", output, re.M), output
    imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", output)}
    assert imported, output
    assert imported <= SYSTEM_DLLS, imported - SYSTEM_DLLS


def test_the_health_check_loads_no_dll_beyond_what_a_trivial_host_loads(wine, tmp_path):
    """The browser pays for every DLL at every start: those only some commands need are bound
    at their first use. Counted from Wine's loader trace of the program's own thread."""

    def loaded(exe):
        trace = tmp_path / f"{exe.stem}.trace"
        with open(trace, "wb") as trace_file:
            run = wine.send('{"text":"CheckNativeMessagingHost"}', exe=exe,
                            env={"WINEDEBUG": "+loaddll"}, stderr=trace_file)
        assert run.reply == "1"
        loads = re.findall(r'^(\w+):trace:loaddll:\w+ Loaded L"[^"]*\\([^"\\]+)"',
                           trace.read_text(errors="replace"), re.M)
        own = next(thread for thread, name in loads if name == exe.name)
        return {name.lower() for thread, name in loads if thread == own} - {exe.name.lower()}

    trivial = loaded(TRIVIAL)
    assert {"kernel32.dll", "msvcrt.dll"} <= trivial
    assert loaded(EXE) == trivial


def test_diagnose_names_a_library_it_cannot_load_and_exits_1(wine):
    env = {"WINEDLLOVERRIDES": f"{wine.env['WINEDLLOVERRIDES']};version=d"}
    run = wine.run(["--diagnose"], env=env, timeout=60)
    lines = run.stdout.decode("utf-8").splitlines()
    assert run.returncode == 1
    # Wine's shell32 and others import version.dll, and are named too.
    assert "problem: version.dll cannot be loaded, so nothing was checked" in lines, lines
    assert all(line.startswith("problem: ") for line in lines), lines


def test_file_version_comes_from_the_one_project_version():
    version = re.search(r"project\(ZendroWebHost VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    expected = ", ".join(version.group(1).split("."))
    data = EXE.read_bytes()
    key = "FileVersion\0".encode("utf-16-le")
    at = data.find(key)
    assert at > 0, "no FileVersion string in the version resource"
    value_start = data.find(expected.encode("utf-16-le"), at)
    assert 0 < value_start - at <= 28, "FileVersion does not hold " + expected
