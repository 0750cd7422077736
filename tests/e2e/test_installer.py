"""The per-user setup program (dist/ZendroWebHostSetup.exe), run silently under Wine in a prefix
of its own: installing, upgrading over a running host, and uninstalling."""

import json
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import EXE, ROOT, start_prefix, stop_prefix
from installer_support import (BROWSER_VENDOR_KEYS, SETUP, UNINSTALL_KEY, build_settings,
                               file_snapshot, make_setup, marked_copy, processes_with,
                               product_version, reg_value, registry_snapshot, running_host,
                               wait_until)
from pe_support import ICON, first_icon_images, ico_images

CHECK = '{"text":"CheckNativeMessagingHost"}'
KEY = "RWQH900o54exVj26eh6zW+dfGwRjOul22V2w/UeqUqCipmm/mXPJCWIF"  # a minisign public key line


@pytest.fixture(scope="module")
def fresh(tmp_path_factory):
    """A prefix the setup may change, with snapshots taken before anything was installed."""
    assert SETUP.exists(), "dist/ZendroWebHostSetup.exe is missing: run scripts/build"
    prefix = start_prefix(tmp_path_factory.mktemp("setup") / "prefix")
    prefix.scratch.mkdir()
    # Windows always has the per-user classes key; a fresh Wine prefix makes it on first use.
    prefix.wine("reg", "add", r"HKCU\Software\Classes", "/f")
    prefix.before = (registry_snapshot(prefix, prefix.scratch), file_snapshot(prefix))
    prefix.install_dir = prefix.profile / "AppData" / "Local" / "Programs" / "ZendroWebHost"
    prefix.exe = prefix.install_dir / "ZendroWebHost.exe"
    yield prefix
    stop_prefix(prefix)


def install(prefix, setup=SETUP):
    run = prefix.run(["/S"], exe=setup, timeout=120)
    assert run.returncode == 0
    assert prefix.exe.is_file()


def check_registration(prefix):
    """Every browser key names a manifest beside the installed executable that starts it."""
    settings = build_settings()
    exe = prefix.to_windows(prefix.exe)
    for vendor, family in BROWSER_VENDOR_KEYS.items():
        manifest = reg_value(prefix, rf"{vendor}\NativeMessagingHosts\{settings['host_name']}")
        assert manifest, vendor
        manifest_path = prefix.drive_c / Path(*manifest.split("\\")[1:])
        assert manifest.startswith("C:\\") and manifest_path.parent == prefix.install_dir
        data = json.loads(manifest_path.read_bytes().decode("utf-8"))
        allowed = (
            {"allowed_origins": [f"chrome-extension://{i}/" for i in settings["chromium_ids"]]}
            if family == "chromium" else {"allowed_extensions": settings["firefox_ids"]})
        assert data == {"name": settings["host_name"], "description": settings["description"],
                        "path": exe, "type": "stdio", **allowed}, vendor
    assert prefix.send(CHECK, exe=prefix.exe).reply == "1"


def test_silent_install_registers_the_host_with_every_browser(fresh):
    install(fresh)
    assert fresh.exe.read_bytes() == EXE.read_bytes()
    assert {p.name for p in fresh.install_dir.iterdir()} == {
        "ZendroWebHost.exe", "Uninstall.exe", f"{build_settings()['host_name']}.json",
        f"{build_settings()['host_name']}.firefox.json"}
    check_registration(fresh)

    folder = fresh.to_windows(fresh.install_dir)
    uninstaller = f'"{folder}\\Uninstall.exe"'
    assert {name: reg_value(fresh, UNINSTALL_KEY, name) for name in (
        "DisplayName", "DisplayVersion", "DisplayIcon", "Publisher", "InstallLocation",
        "UninstallString", "QuietUninstallString", "NoModify", "NoRepair")} == {
        "DisplayName": "Zendro Web Host", "DisplayVersion": product_version(),
        "DisplayIcon": folder + "\\ZendroWebHost.exe,0",
        "Publisher": build_settings()["publisher"], "InstallLocation": folder,
        "UninstallString": uninstaller, "QuietUninstallString": uninstaller + " /S",
        "NoModify": 1, "NoRepair": 1}
    assert first_icon_images(fresh.install_dir / "Uninstall.exe") == ico_images(ICON)
    # Nothing machine-wide: no elevation, no HKLM.
    assert reg_value(fresh, r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZendroWebHost",
                     "DisplayName") is None


POLICIES = r"HKCU\Software\Policies"
CHROME_POLICIES = POLICIES + r"\Google\Chrome"


@pytest.mark.parametrize("breakage, problem", [
    (None, None),
    ("delete the manifest", "problem: Chrome: the manifest "),
    ("forbid per-user hosts",
     rf"problem: {CHROME_POLICIES}: policy NativeMessagingUserLevelHosts is 0"),
])
def test_diagnose_passes_the_setup_and_names_what_breaks_it(fresh, breakage, problem):
    install(fresh)
    had_policies = fresh.wine("reg", "query", POLICIES, check=False).returncode == 0
    if breakage == "delete the manifest":
        (fresh.install_dir / f"{build_settings()['host_name']}.json").unlink()
    elif breakage:
        fresh.wine("reg", "add", CHROME_POLICIES, "/v", "NativeMessagingUserLevelHosts", "/t",
                   "REG_DWORD", "/d", "0", "/f")
    try:
        run = fresh.run(["--diagnose"], exe=fresh.exe)
    finally:
        fresh.wine("reg", "delete", CHROME_POLICIES if had_policies else POLICIES, "/f",
                   check=False)
    lines = run.stdout.decode("utf-8").splitlines()
    assert lines and all(re.match(r"(ok|warning|problem): ", line) for line in lines), lines
    if problem is None:
        assert run.returncode == 0, lines
        assert any(line.startswith("warning: this program carries no Authenticode signature")
                   for line in lines), lines
        for browser in ("Chrome", "Chromium", "Edge", "Mozilla"):
            assert any(re.fullmatch(rf"ok: {browser} manifest C:\\.+ is valid", line)
                       for line in lines), (browser, lines)
    else:
        assert run.returncode == 1
        assert any(line.startswith(problem) for line in lines), lines


@pytest.mark.parametrize("busy", ["ZendroWebHost.exe", "ZendroWebHost.exe.old"])
def test_upgrade_in_place_while_a_host_runs(fresh, tmp_path, busy):
    """The installed host, or the .old one an earlier update left, is running during the upgrade."""
    install(fresh)
    busy_path = fresh.install_dir / busy
    if busy.endswith(".old"):
        marked_copy(EXE, busy_path, b"older build")
    busy_bytes = busy_path.read_bytes()
    fields = product_version().split(".")
    newer_version = ".".join(fields[:-1] + [str(int(fields[-1]) + 1)])
    newer_exe = marked_copy(EXE, tmp_path / "ZendroWebHost.exe", b"newer build")
    newer_setup = make_setup(tmp_path / "NewerSetup.exe", newer_version, newer_exe)

    with running_host(fresh, busy_path):
        install(fresh, newer_setup)
        assert fresh.exe.read_bytes() == newer_exe.read_bytes()
        # Still there because it still runs; the next update or the uninstaller removes it.
        assert (fresh.install_dir / "ZendroWebHost.exe.old").read_bytes() == busy_bytes
        assert reg_value(fresh, UNINSTALL_KEY, "DisplayVersion") == newer_version
        check_registration(fresh)


def test_uninstall_removes_everything_it_made_and_spares_a_foreign_association(fresh):
    install(fresh)
    (fresh.install_dir / "ZendroWebHost.exe.old").write_bytes(EXE.read_bytes())
    # The association as the host writes it (letter case of the path differs, as it may when a
    # shell or user typed it), and a magnet handler that belongs to another program.
    ours = f'"{fresh.to_windows(fresh.exe).upper()}" "%1"'
    foreign = r'"C:\Program Files\Other\other.exe" "%1"'
    classes = r"HKCU\Software\Classes"
    software = r"HKCU\Software"
    for key, name, data in [
        (classes + r"\.torrent", None, "Zendro Web"),
        (classes + r"\.torrent", "Content Type", "application/x-bittorrent"),
        (classes + r"\Zendro Web\DefaultIcon", None, f'"{fresh.to_windows(fresh.exe)}",0'),
        (classes + r"\Zendro Web\shell\open\command", None, ours),
        (classes + r"\Magnet", "URL Protocol", ""),
        (classes + r"\Magnet\shell\open\command", None, foreign),
        # The registration for Windows' Default apps; another program's stays.
        (classes + r"\ZendroWebHost.Magnet\shell\open\command", None, ours),
        (software + r"\ZendroWebHost\Capabilities\URLAssociations", "magnet", "ZendroWebHost.Magnet"),
        (software + r"\RegisteredApplications", "Zendro Web Host", r"Software\ZendroWebHost\Capabilities"),
        (software + r"\RegisteredApplications", "Other App", r"Software\Other\Capabilities"),
    ]:
        target = ("/ve",) if name is None else ("/v", name)
        fresh.wine("reg", "add", key, *target, "/d", data, "/f")

    # Another copy of the host has since taken Edge's key over: that registration stays.
    edge = r"HKCU\Software\Microsoft\Edge"
    edge_host = rf"{edge}\NativeMessagingHosts\{build_settings()['host_name']}"
    other_manifest = r"C:\Other\ZendroWebHost\host.json"
    fresh.wine("reg", "add", edge_host, "/ve", "/d", other_manifest, "/f")

    command = re.fullmatch(r'"([^"]+)" /S', reg_value(fresh, UNINSTALL_KEY, "QuietUninstallString"))
    assert fresh.run(["/S"], exe=command.group(1), timeout=60).returncode == 0
    # The uninstaller goes on from a copy of itself in the temporary folder, told where to work.
    wait_until(lambda: not processes_with("_?=" + fresh.to_windows(fresh.install_dir)), 60,
               "the uninstaller's copy to finish")

    assert reg_value(fresh, classes + r"\Zendro Web\DefaultIcon") is None
    assert reg_value(fresh, classes + r"\.torrent") is None
    assert reg_value(fresh, classes + r"\Magnet\shell\open\command") == foreign
    assert reg_value(fresh, edge_host) == other_manifest
    registered = software + r"\RegisteredApplications"
    assert reg_value(fresh, registered, "Zendro Web Host") is None
    assert reg_value(fresh, registered, "Other App") == r"Software\Other\Capabilities"
    fresh.wine("reg", "delete", registered, "/f")
    fresh.wine("reg", "delete", classes + r"\Magnet", "/f")
    fresh.wine("reg", "delete", edge, "/f")
    registry, files = registry_snapshot(fresh, fresh.scratch), file_snapshot(fresh)
    # Windows' trust library keeps its own per-user state, which Wine makes at its first use (the
    # report's signature check): Windows' setting, not the host's.
    registry = {k: v for k, v in registry.items() if "CurrentVersion\\Wintrust" not in k}
    before_registry, before_files = fresh.before
    assert {k: v for k, v in registry.items() if before_registry.get(k) != v} == {}
    assert {k: v for k, v in before_registry.items() if registry.get(k) != v} == {}
    assert files == before_files


@pytest.mark.parametrize("setting, value, complaint", [
    ("ZENDRO_HOST_NAME", "Com.Zendro.WebHost", "ZENDRO_HOST_NAME"),
    ("ZENDRO_HOST_NAME", "com.zendro-webhost", "ZENDRO_HOST_NAME"),
    ("ZENDRO_HOST_NAME", "com..zendro", "ZENDRO_HOST_NAME"),
    ("ZENDRO_HOST_NAME", ".com.zendro", "ZENDRO_HOST_NAME"),
    ("ZENDRO_CHROMIUM_EXTENSION_IDS", "aaaabbbbccccddddeeeeffffgggghhhq", "32 letters a-p"),
    ("ZENDRO_CHROMIUM_EXTENSION_IDS", "aaaabbbbccccddddeeeeffffgggghhh", "32 letters a-p"),
    ("ZENDRO_CHROMIUM_EXTENSION_IDS", "", "at least one"),
    ("ZENDRO_FIREFOX_EXTENSION_IDS", 'x"@zendro.com', "name@domain"),
    ("ZENDRO_FIREFOX_EXTENSION_IDS", "zendroweb", "name@domain"),
    ("ZENDRO_HOST_DESCRIPTION", "costs $5", "plain text"),
    ("ZENDRO_TRUSTED_KEYS", KEY, "no longer read"),  # a setting of older builds
    ("ZENDRO_MAX_PACKAGE_BYTES", "1023", "whole number of bytes"),
    ("ZENDRO_MAX_INSTALLER_BYTES", "1 GiB", "whole number of bytes"),
    ("ZENDRO_MAX_INSTALLER_BYTES", "1000000000000", "whole number of bytes"),
])
def test_build_refuses_settings_a_browser_or_the_manifest_would_not_take(
        tmp_path, setting, value, complaint):
    output = tmp_path / "settings.nsh"
    result = subprocess.run(
        ["cmake", f"-D{setting}={value}", f"-DZENDRO_SETTINGS_NSH={output}", "-P",
         str(ROOT / "cmake" / "installer.cmake")], capture_output=True, text=True, timeout=60)
    assert result.returncode != 0 and complaint in " ".join(result.stderr.split())
    assert not output.exists()


@pytest.mark.parametrize("keys, complaint", [
    ("", None),
    (f"\ufeff# ours; [see README\r\nuntrusted comment: minisign public key\r\n {KEY}\t\n\n", None),
    (f"{KEY}\nRWQH900o\n", "line 2: \"RWQH900o\" is not a minisign public key"),
    (f"{KEY};{KEY}\n", "is not a minisign public key"),
    ("RU" + KEY[2:], "is not a minisign public key"),  # a signature's algorithm
    ("untrusted comment\n", "line 1"),
], ids=["empty", "pub-file-with-comments", "truncated", "two-on-a-line", "not-a-key", "stray-text"])
def test_build_takes_the_keys_file_only_when_every_line_is_read(tmp_path, keys, complaint):
    """installer/trusted-keys.pub, checked in a copy of the build scripts."""
    for folder in ("cmake", "installer"):
        shutil.copytree(ROOT / folder, tmp_path / folder)
    (tmp_path / "installer" / "trusted-keys.pub").write_bytes(keys.encode())
    output = tmp_path / "settings.nsh"
    result = subprocess.run(
        ["cmake", f"-DZENDRO_SETTINGS_NSH={output}", "-P", str(tmp_path / "cmake" / "installer.cmake")],
        capture_output=True, text=True, timeout=60)
    if complaint is None:
        assert result.returncode == 0, result.stderr
    else:
        assert result.returncode != 0 and complaint in " ".join(result.stderr.split())
        assert not output.exists()


def test_other_settings_and_folder_from_install_to_uninstall(tmp_path, fresh):
    """Several extension IDs, another host name, and a folder name outside the ANSI code page."""
    settings_nsh = tmp_path / "settings.nsh"
    ids = ["a" * 32, "p" * 32]
    addons = ["zendroweb@zendro.com", "{12345678-9abc-def0-1234-56789abcdef0}"]
    subprocess.run(
        ["cmake", f"-DZENDRO_CHROMIUM_EXTENSION_IDS={';'.join(ids)}",
         f"-DZENDRO_FIREFOX_EXTENSION_IDS={';'.join(addons)}", "-DZENDRO_HOST_NAME=org.example_2.host",
         f"-DZENDRO_SETTINGS_NSH={settings_nsh}", "-P", str(ROOT / "cmake" / "installer.cmake")],
        check=True, capture_output=True, timeout=60)
    setup = make_setup(tmp_path / "ExampleSetup.exe", product_version(), EXE, settings_nsh)
    # Into a folder of its own whose name a manifest must carry as UTF-8, not the ANSI code page.
    folder = fresh.drive_c / "Zéndro_Ünïcode€"  # /D= takes no quotes, so no blanks
    run = fresh.run(["/S", "/D=" + fresh.to_windows(folder)], exe=setup, timeout=120,
                    env={"LANG": "C.UTF-8"})
    assert run.returncode == 0
    chromium = json.loads((folder / "org.example_2.host.json").read_bytes().decode("utf-8"))
    firefox = json.loads((folder / "org.example_2.host.firefox.json").read_bytes().decode("utf-8"))
    assert chromium["allowed_origins"] == [f"chrome-extension://{i}/" for i in ids]
    assert firefox["allowed_extensions"] == addons
    assert chromium["path"] == firefox["path"] == fresh.to_windows(folder / "ZendroWebHost.exe")
    assert reg_value(fresh, r"HKCU\Software\Mozilla\NativeMessagingHosts\org.example_2.host") == \
        fresh.to_windows(folder / "org.example_2.host.firefox.json")

    # The class is ours (the path in other letter case), but .torrent names another program's.
    classes = r"HKCU\Software\Classes"
    ours = f'"{fresh.to_windows(folder / "ZendroWebHost.exe").upper()}" "%1"'
    fresh.wine("reg", "add", classes + r"\Zendro Web\shell\open\command", "/ve", "/d", ours, "/f",
               env={"LANG": "C.UTF-8"})
    fresh.wine("reg", "add", classes + r"\.torrent", "/ve", "/d", "Other.Torrent", "/f")
    candidates = classes + r"\.torrent\OpenWithProgids"
    for candidate in ("Zendro Web", "Other.Torrent"):
        fresh.wine("reg", "add", candidates, "/v", candidate, "/d", "", "/f")

    # With _?= the uninstaller works in place and returns when done (it cannot delete itself).
    assert fresh.run(["/S", "_?=" + fresh.to_windows(folder)], exe=folder / "Uninstall.exe",
                     timeout=60).returncode == 0
    assert reg_value(fresh, r"HKCU\Software\Mozilla\NativeMessagingHosts\org.example_2.host") is None
    assert reg_value(fresh, classes + r"\Zendro Web\shell\open\command") is None
    assert reg_value(fresh, classes + r"\.torrent") == "Other.Torrent"
    assert reg_value(fresh, candidates, "Zendro Web") is None
    assert reg_value(fresh, candidates, "Other.Torrent") == ""
    fresh.wine("reg", "delete", classes + r"\.torrent", "/f")
    assert [p.name for p in folder.iterdir()] == ["Uninstall.exe"]
    (folder / "Uninstall.exe").unlink()
    folder.rmdir()
