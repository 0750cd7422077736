"""The .torrent and magnet association in Wine's real per-user registry, inspected with Wine's
own `reg` and with a helper that reads and writes value bytes directly."""

import contextlib
import re
import shutil
import time

import pytest

from conftest import EXE, HELPERS, WinePrefix
from daemon_support import settings_file  # noqa: F401 (fixture)
from handoff_support import TransmissionDaemon, make_torrent

CLASSES = "Software\\Classes"
TREES = (".torrent", "Zendro Web", "Magnet")
REG_SZ, REG_EXPAND_SZ, REG_DWORD = 1, 2, 4
BUFFER_UNITS = 1024

TORRENT = CLASSES + "\\.torrent"
CLASS_COMMAND = CLASSES + "\\Zendro Web\\shell\\open\\command"
MAGNET = CLASSES + "\\Magnet"
MAGNET_COMMAND = MAGNET + "\\shell\\open\\command"

# The registration for Windows' Default apps, and the user's choice that Windows asks first.
HOST_MAGNET = CLASSES + "\\ZendroWebHost.Magnet"
HOST_KEY = "Software\\ZendroWebHost"
REGISTERED = "Software\\RegisteredApplications"
FILE_CHOICE = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.torrent"
URL_CHOICE = "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\magnet"
CHOICES = {"torrent": FILE_CHOICE, "magnet": URL_CHOICE}
PAGE = "ms-settings:defaultapps?registeredAppUser=Zendro%20Web%20Host"


def sz(text: str) -> bytes:
    """REG_SZ data as stored with its terminating NUL."""
    return (text + "\0").encode("utf-16-le")


def expected_keys(path: str) -> dict:
    """Every key below HKCU a registration for `path` leaves, with its values' exact bytes."""
    icon = sz(f'"{path}",0')
    command = sz(f'"{path}" "%1"')
    return {
        TORRENT: {"": (REG_SZ, sz("Zendro Web")), "Content Type": (REG_SZ, sz("application/x-bittorrent"))},
        TORRENT + "\\OpenWithProgids": {"Zendro Web": (REG_SZ, sz(""))},
        CLASSES + "\\Zendro Web": {},
        CLASSES + "\\Zendro Web\\Content Type": {"": (REG_SZ, sz("application/x-bittorrent"))},
        CLASSES + "\\Zendro Web\\DefaultIcon": {"": (REG_SZ, icon)},
        CLASSES + "\\Zendro Web\\shell": {},
        CLASSES + "\\Zendro Web\\shell\\open": {},
        CLASS_COMMAND: {"": (REG_SZ, command)},
        MAGNET: {
            "": (REG_SZ, sz("Magnet URI")),
            "Content Type": (REG_SZ, sz("application/x-magnet")),
            "URL Protocol": (REG_SZ, b"\0\0"),
        },
        MAGNET + "\\DefaultIcon": {"": (REG_SZ, icon)},
        MAGNET + "\\shell": {},
        MAGNET + "\\shell\\open": {},
        MAGNET_COMMAND: {"": (REG_SZ, command)},
    }


class Registry:
    """HKEY_CURRENT_USER of the session prefix, through the reg_bytes helper."""

    def __init__(self, wine):
        self.wine = wine

    def _helper(self, *args):
        run = self.wine.run(args, exe=HELPERS / "reg_bytes.exe", timeout=60)
        return run.returncode, run.stdout.decode("utf-8")

    def keys(self, *roots: str) -> dict:
        """Every key from the roots down: {path: {value name: (type, bytes)}}."""
        code, out = self._helper("dump", *roots)
        assert code == 0, out
        keys = {}
        for line in out.splitlines():
            kind, rest = line.split("\t", 1)
            if kind == "key":
                values = keys[rest] = {}
            else:
                name, kind_number, data = rest.split("\t")
                values[name] = (int(kind_number), bytes.fromhex(data))
        return keys

    def delete_keys(self, *keys: str):
        code, _ = self._helper("delete", *keys)
        assert code == 0, keys

    def set(self, key: str, name: str, kind: int, data: bytes):
        code, _ = self._helper("set", key, name, str(kind), data.hex())
        assert code == 0, (key, name)

    def set_text(self, key: str, name: str, text: str, kind: int = REG_SZ):
        self.set(key, name, kind, sz(text))

    def delete_value(self, key: str, name: str):
        self.wine.wine("reg", "delete", "HKCU\\" + key, "/v", name, "/f")

    def exists(self, key: str) -> bool:
        """Asked of Wine's own reg tool."""
        return self.wine.wine("reg", "query", "HKCU\\" + key, check=False).returncode == 0


ASSOCIATION_TREES = [f"{CLASSES}\\{tree}" for tree in TREES]
EVERYTHING = [*ASSOCIATION_TREES, HOST_MAGNET, HOST_KEY, REGISTERED, FILE_CHOICE, URL_CHOICE]


@pytest.fixture
def registry(wine):
    registry = Registry(wine)
    registry.delete_keys(*EVERYTHING)
    yield registry
    registry.delete_keys(*EVERYTHING)


def command(wine, text, exe=EXE):
    run = wine.send('{"text":"%s"}' % text, exe=exe)
    assert run.returncode == 0
    return run.reply


def test_set_writes_exactly_the_seven_keys_and_unset_removes_them(wine, registry):
    logged = len(wine.log_text().splitlines())
    assert command(wine, "setDefaultApplication") == "success"
    assert registry.keys(*ASSOCIATION_TREES) == expected_keys(wine.to_windows(EXE))
    assert command(wine, "checkDefaultApplication") == "set"

    assert command(wine, "unsetDefaultApplication") == "success"
    for tree in TREES:
        assert not registry.exists(f"{CLASSES}\\{tree}")
    assert registry.exists(CLASSES), "only the host's own trees go"
    assert command(wine, "checkDefaultApplication") == "unset"
    assert command(wine, "unsetDefaultApplication") == "success", "nothing there is no failure"
    # One line for each change, none for the checks.
    assert [line.split(" pid ")[1].split(" ", 1)[1] for line in
            wine.log_text().splitlines()[logged:]] == [
        "setDefaultApplication: the .torrent and magnet association was set",
        "unsetDefaultApplication: the .torrent and magnet association was removed",
        "unsetDefaultApplication: the .torrent and magnet association was removed"]


def test_a_system_without_shell32_keeps_its_association_and_hears_failed(wine, registry):
    """The line that reports a change finds the log through shell32: bound before anything is
    written, so the run fails cleanly instead of ending at that line with the change made."""
    env = {"WINEDLLOVERRIDES": f"{wine.env['WINEDLLOVERRIDES']};shell32=d"}
    run = wine.send('{"text":"setDefaultApplication"}', env=env)
    assert run.reply == "failed" and run.returncode == 0
    assert not any(registry.exists(tree) for tree in ASSOCIATION_TREES)


@pytest.mark.parametrize("changes, end", [
    (["setDefaultApplication"] * 4, "set"),
    (["setDefaultApplication", "unsetDefaultApplication"] * 2, None),
], ids=["four-sets", "sets-and-unsets"])
def test_changes_at_the_same_moment_take_turns_and_never_fail(wine, registry, changes, end):
    for _ in range(8):  # the old race showed in one round of three or four
        runs = wine.send_at_once([f'{{"text":"{change}"}}' for change in changes])
        assert [run.reply for run in runs] == ["success"] * len(changes)
        keys = registry.keys(*ASSOCIATION_TREES)
        # Whole turns: the registration is complete, or gone, never half of one.
        assert keys in ({}, expected_keys(wine.to_windows(EXE)))
        if end:
            assert command(wine, "checkDefaultApplication") == end


def test_set_replaces_whatever_an_earlier_registration_left(wine, registry):
    registry.set_text(TORRENT, "", "OtherApp.torrent")
    registry.set_text(TORRENT, "PerceivedType", "document")
    registry.set_text(TORRENT + "\\OpenWithProgids", "OtherApp.torrent", "")
    registry.set_text(TORRENT + "\\ShellEx\\{deep}\\deeper", "", "x")
    registry.set_text(MAGNET + "\\shell\\play\\command", "", "player.exe %1")
    name_of_255 = "n" * 255
    registry.set_text(MAGNET + "\\" + name_of_255, "", "longest key name")

    assert command(wine, "setDefaultApplication") == "success"
    assert registry.keys(*ASSOCIATION_TREES) == expected_keys(wine.to_windows(EXE))
    assert command(wine, "checkDefaultApplication") == "set"


# Each case changes one thing of a fresh registration made by dist/ZendroWebHost.exe.
def upper_case_default(registry, path):
    registry.set_text(TORRENT, "", "ZENDRO WEB")


def path_in_other_case(registry, path):
    registry.set_text(MAGNET_COMMAND, "", f'"{path.upper()}" "%1"')


def missing_content_type(registry, path):
    registry.delete_value(TORRENT, "Content Type")


def number_instead_of_text(registry, path):
    registry.set(TORRENT, "", REG_DWORD, (7).to_bytes(4, "little"))


def expandable_text(registry, path):
    registry.set_text(CLASS_COMMAND, "", f'"{path}" "%1"', kind=REG_EXPAND_SZ)


def any_text_as_url_protocol(registry, path):
    registry.set_text(MAGNET, "URL Protocol", "yes")


def text_too_long_for_the_buffer(registry, path):
    # Not read, so skipped, and never written past the buffer.
    registry.set_text(TORRENT, "", "x" * BUFFER_UNITS)
    registry.set_text(MAGNET_COMMAND, "", "y" * 5000)  # as much as a command line carries


def text_missing_its_nul(registry, path):
    registry.set(TORRENT, "", REG_SZ, "Other".encode("utf-16-le"))


def other_mime_type(registry, path):
    registry.set_text(TORRENT, "Content Type", "application/octet-stream")


def longest_readable_text_that_differs(registry, path):
    registry.set_text(TORRENT, "", "x" * (BUFFER_UNITS - 1))


def missing_url_protocol(registry, path):
    registry.delete_value(MAGNET, "URL Protocol")


def number_as_url_protocol(registry, path):
    registry.set(MAGNET, "URL Protocol", REG_DWORD, (1).to_bytes(4, "little"))


def command_without_quotes(registry, path):
    registry.set_text(CLASS_COMMAND, "", f"{path} %1")


def command_without_item(registry, path):
    registry.set_text(MAGNET_COMMAND, "", f'"{path}"')


def missing_icon_key(registry, path):
    registry.delete_keys(MAGNET + "\\DefaultIcon")


def other_class(registry, path):
    registry.set_text(TORRENT, "", "Zendro Web2")


@pytest.mark.parametrize(
    "change, reply",
    [
        (upper_case_default, "set"),
        (path_in_other_case, "set"),
        (missing_content_type, "set"),
        (number_instead_of_text, "set"),
        (expandable_text, "set"),
        (any_text_as_url_protocol, "set"),
        (text_too_long_for_the_buffer, "set"),
        (text_missing_its_nul, "set"),
        (other_mime_type, "unset"),
        (longest_readable_text_that_differs, "unset"),
        (missing_url_protocol, "unset"),
        (number_as_url_protocol, "unset"),
        (command_without_quotes, "unset"),
        (command_without_item, "unset"),
        (missing_icon_key, "unset"),
        (other_class, "unset"),
    ],
    ids=lambda value: value.__name__ if callable(value) else value,
)
def test_check_rules(wine, registry, change, reply):
    assert command(wine, "setDefaultApplication") == "success"
    change(registry, wine.to_windows(EXE))
    assert command(wine, "checkDefaultApplication") == reply


def test_a_moved_executable_is_no_longer_the_handler(wine, registry, host_copy, tmp_path):
    first = host_copy(folder=tmp_path / "first")
    assert command(wine, "setDefaultApplication", exe=first) == "success"
    assert command(wine, "checkDefaultApplication", exe=first) == "set"

    moved = host_copy(folder=tmp_path / "moved")
    first.unlink()
    assert command(wine, "checkDefaultApplication", exe=moved) == "unset"
    assert command(wine, "checkDefaultApplication") == "unset"

    assert command(wine, "setDefaultApplication", exe=moved) == "success"
    assert command(wine, "checkDefaultApplication", exe=moved) == "set"
    assert registry.keys(*ASSOCIATION_TREES) == expected_keys(wine.to_windows(moved))


def test_letter_case_folds_beyond_ascii(wine, registry, host_copy, tmp_path):
    host = host_copy(folder=tmp_path / "J\u00fcrgen \u0416")
    assert command(wine, "setDefaultApplication", exe=host) == "success"
    path = wine.to_windows(host)
    assert registry.keys(*ASSOCIATION_TREES) == expected_keys(path)
    registry.set_text(CLASS_COMMAND, "", f'"{path.upper()}" "%1"')
    assert "\u00dc" in path.upper() and "\u0416" in path.upper()
    assert command(wine, "checkDefaultApplication", exe=host) == "set"


def folder_for_path_length(root, units: int, name: str):
    """A folder below `root` in which `name` has a Windows path of exactly `units` units."""
    extra = units - len(WinePrefix.windows_path(root / name))
    assert extra >= 0 and extra != 1, "a component takes at least two units with its backslash"
    parts = []
    while extra > 0:
        size = min(200, extra - 1)
        if extra - (size + 1) == 1:
            size -= 1  # leave room for one more component instead of a single unit
        parts.append("p" * size)
        extra -= size + 1
    return root.joinpath(*parts)


@pytest.mark.parametrize("units, reply", [(1022, "success"), (1023, "failed"), (1100, "failed")])
def test_a_path_that_fills_the_loaders_request_is_not_registered(
    wine, registry, host_copy, tmp_path, units, reply
):
    name = "ZendroWebHost.exe"
    host = host_copy(name, folder_for_path_length(tmp_path, units, name))
    assert len(wine.to_windows(host)) == units
    assert command(wine, "setDefaultApplication", exe=host) == reply
    if reply == "success":
        assert registry.keys(*ASSOCIATION_TREES) == expected_keys(wine.to_windows(host))
        assert command(wine, "checkDefaultApplication", exe=host) == "set"
    else:
        # A path cut short would start nothing; the old registration is gone all the same.
        assert registry.keys(*ASSOCIATION_TREES) == {}
        assert command(wine, "checkDefaultApplication", exe=host) == "unset"



@contextlib.contextmanager
def machine_wide_copy(wine, tmp_path):
    """The per-user keys copied to HKLM\\Software\\Classes while the block runs: Wine's shell
    does not merge the per-user classes into HKEY_CLASSES_ROOT."""
    machine = [key.replace(CLASSES, "HKLM\\" + CLASSES) for key in ASSOCIATION_TREES]
    for key in machine:
        assert wine.wine("reg", "query", key, check=False).returncode != 0, f"{key} exists already"
    try:
        for index, key in enumerate(ASSOCIATION_TREES):
            exported = tmp_path / f"classes{index}.reg"
            wine.wine("reg", "export", "HKCU\\" + key, wine.to_windows(exported), "/y")
            text = exported.read_bytes().decode("utf-16")
            exported.write_bytes(
                text.replace("[HKEY_CURRENT_USER\\", "[HKEY_LOCAL_MACHINE\\").encode("utf-16")
            )
            wine.wine("reg", "import", wine.to_windows(exported))
        yield
    finally:
        for key in machine:
            wine.wine("reg", "delete", key, "/f", check=False)


MAGNET_LINK = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=a%20b&tr=x"


def test_wines_shell_starts_the_registered_host_with_the_item(wine, registry, host_copy, tmp_path):
    host = host_copy(folder=tmp_path / "installed here")
    assert command(wine, "setDefaultApplication", exe=host) == "success"
    # A recorder takes the host's place, to show what the shell starts and with which argument.
    shutil.copyfile(HELPERS / "record_open.exe", host)
    record = host.with_name(host.name + ".log")
    torrent = tmp_path / "a file.torrent"
    torrent.write_bytes(b"d4:infod4:name1:xee")

    with machine_wide_copy(wine, tmp_path):
        wine.wine("start", "/wait", "/unix", torrent, timeout=60)
        wine.wine("start", "/wait", MAGNET_LINK, timeout=60)

    assert record.read_text(encoding="utf-8").splitlines() == [
        wine.to_windows(torrent),
        MAGNET_LINK,
    ]


def test_files_and_links_the_shell_opens_reach_a_real_daemon(wine, registry, settings_file, tmp_path):
    daemon = TransmissionDaemon(tmp_path / "transmission")
    try:
        settings_file(b"tessui.port=%d\r\n" % daemon.rpc_port)
        assert command(wine, "setDefaultApplication") == "success"
        metainfo, file_hash = make_torrent("round-trip.bin", bytes(range(256)) * 100)
        torrent = tmp_path / "round trip.torrent"
        torrent.write_bytes(metainfo)
        link_hash = "fedcba9876543210fedcba9876543210fedcba98"

        with machine_wide_copy(wine, tmp_path):
            wine.wine("start", "/wait", "/unix", torrent, timeout=90)
            wine.wine("start", "/wait", f"magnet:?xt=urn:btih:{link_hash}&dn=round+trip", timeout=90)

        assert daemon.info_hashes() == {file_hash, link_hash}
    finally:
        daemon.stop()


def text_of(keys: dict, key: str, name: str = "") -> str:
    kind, data = keys[key][name]
    assert kind == REG_SZ and data.endswith(b"\0\0")
    return data[:-2].decode("utf-16-le")


def test_set_registers_a_candidate_for_default_apps_and_unset_removes_only_its_own(wine, registry):
    other = {"Other Torrent App": (REG_SZ, sz("Software\\Other\\Capabilities"))}
    registry.set(REGISTERED, "Other Torrent App", *other["Other Torrent App"])
    assert command(wine, "setDefaultApplication") == "success"

    # Followed as Windows follows it: the value names Capabilities, which name the classes.
    keys = registry.keys(CLASSES, HOST_KEY, REGISTERED)
    path = wine.to_windows(EXE)
    capabilities = text_of(keys, REGISTERED, "Zendro Web Host")
    assert text_of(keys, capabilities, "ApplicationIcon") == f'"{path}",0'
    assert text_of(keys, capabilities, "ApplicationName") == "Zendro Web Host"
    assert text_of(keys, capabilities, "ApplicationDescription")
    torrent_class = text_of(keys, capabilities + "\\FileAssociations", ".torrent")
    magnet_class = text_of(keys, capabilities + "\\URLAssociations", "magnet")
    assert magnet_class.lower() != "magnet", "the common key is other programs' to overwrite"
    for cls in (torrent_class, magnet_class):
        assert text_of(keys, f"{CLASSES}\\{cls}\\shell\\open\\command") == f'"{path}" "%1"'
    assert torrent_class in keys[TORRENT + "\\OpenWithProgids"]
    assert {k: v for k, v in keys[REGISTERED].items() if k != "Zendro Web Host"} == other

    # Another torrent program takes the common Magnet key over: the host's own class stays.
    registry.set_text(MAGNET_COMMAND, "", r'"C:\Other\other.exe" "%1"')
    assert text_of(registry.keys(HOST_MAGNET), HOST_MAGNET + "\\shell\\open\\command") == \
        f'"{path}" "%1"'

    assert command(wine, "unsetDefaultApplication") == "success"
    assert not registry.exists(HOST_MAGNET) and not registry.exists(HOST_KEY)
    assert registry.keys(REGISTERED)[REGISTERED] == other


def choose(registry, kind: str, prog_id: str, key: str = "UserChoice"):
    """Stands in for a choice made in Windows' Default apps (Windows adds a hash, not read here)."""
    registry.set_text(CHOICES[kind] + "\\" + key, "ProgId", prog_id)
    registry.set_text(CHOICES[kind] + "\\" + key, "Hash", "stand-in")


@pytest.mark.parametrize("kind, choices, reply", [
    ("torrent", {"UserChoice": "Other.torrent"}, "unset"),
    ("magnet", {"UserChoice": "Other.magnet"}, "unset"),
    ("torrent", {"UserChoice": "Zendro Web"}, "set"),
    ("magnet", {"UserChoice": "ZendroWebHost.Magnet"}, "set"),
    ("torrent", {"UserChoiceLatest": "Zendro Web", "UserChoice": "Other.torrent"}, "set"),
], ids=["other-torrent", "other-magnet", "own-torrent", "own-magnet", "latest-first"])
def test_the_users_choice_decides_the_check(wine, registry, kind, choices, reply):
    assert command(wine, "setDefaultApplication") == "success"
    for key, prog_id in choices.items():
        choose(registry, kind, prog_id, key)
    assert command(wine, "checkDefaultApplication") == reply


@pytest.fixture
def settings_page(wine, host_copy, tmp_path):
    """A stand-in for Windows' Settings that records the ms-settings: URLs the shell hands it
    (Wine's shell finds URL handlers only machine-wide); its recording's path."""
    recorder = host_copy("settings.exe", folder=tmp_path / "settings", source=HELPERS / "record_open.exe")
    key = r"HKLM\Software\Classes\ms-settings"
    wine.wine("reg", "add", key, "/v", "URL Protocol", "/d", "", "/f")
    wine.wine("reg", "add", key + r"\shell\open\command", "/ve", "/d",
              f'"{wine.to_windows(recorder)}" "%1"', "/f")
    yield recorder.with_name(recorder.name + ".log")
    wine.wine("reg", "delete", key, "/f")


def recorded(record, count: int, timeout: float = 20) -> list:
    """The recording once it holds `count` lines (the shell starts the stand-in on its own)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if record.exists() and len(lines := record.read_text(encoding="utf-8").splitlines()) >= count:
            return lines
        time.sleep(0.1)
    return record.read_text(encoding="utf-8").splitlines() if record.exists() else []


def test_set_sends_the_user_to_default_apps_only_when_another_program_holds_the_choice(
    wine, registry, settings_page
):
    assert command(wine, "setDefaultApplication") == "success"  # nobody chose: no page
    choose(registry, "torrent", "Zendro Web")
    assert command(wine, "setDefaultApplication") == "success"  # the host chosen: no page
    choose(registry, "magnet", "Other.magnet")
    assert command(wine, "setDefaultApplication") == "success"
    # One line: the two runs before it opened nothing.
    assert recorded(settings_page, 1) == [PAGE]
    name = re.search(r"registeredAppUser=([^&]*)", PAGE).group(1).replace("%20", " ")
    assert name in registry.keys(REGISTERED)[REGISTERED]
    assert command(wine, "checkDefaultApplication") == "unset", "until the user chooses"


def test_set_fails_when_the_default_apps_page_cannot_be_opened(wine, registry):
    choose(registry, "torrent", "Other.torrent")
    logged = len(wine.log_text().splitlines())
    assert command(wine, "setDefaultApplication") == "failed"
    new = wine.log_text().splitlines()[logged:]
    assert any("opening Windows' Default apps page " + PAGE in line for line in new), new
    # The registration is in place all the same, for the user to choose in Settings.
    assert registry.exists(HOST_MAGNET)


def test_diagnose_names_another_programs_choice(wine, registry):
    assert command(wine, "setDefaultApplication") == "success"
    choose(registry, "magnet", "Other.magnet", "UserChoiceLatest")
    lines = wine.run(["--diagnose"], timeout=60).stdout.decode("utf-8").splitlines()
    assert any(line.startswith("warning: magnet links: the user's choice in Windows "
                               "(UserChoiceLatest) names the class Other.magnet of another program")
               and "Default apps" in line for line in lines), lines
    assert "ok: .torrent files: the user has made no choice in Windows' Default apps, so the " \
           "classes above decide" in lines
    assert any(line.startswith("ok: registered with Windows' Default apps") for line in lines), lines
