"""What the setup-program tests need: the build's settings, a second setup with another version,
a prefix of their own (the setup changes HKCU and the profile), and snapshots of that prefix."""

import os
import re
import shutil
import subprocess
import time
from contextlib import contextmanager
from pathlib import Path

from conftest import ROOT, WINE64, WinePrefix

BUILD = ROOT / "build" / "windows"
SETUP = ROOT / "dist" / "ZendroWebHostSetup.exe"
NSI = ROOT / "installer" / "ZendroWebHost.nsi"
SETTINGS_NSH = BUILD / "installer" / "settings.nsh"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZendroWebHost"
BROWSER_VENDOR_KEYS = {
    r"HKCU\Software\Google\Chrome": "chromium",
    r"HKCU\Software\Chromium": "chromium",
    r"HKCU\Software\Microsoft\Edge": "chromium",
    r"HKCU\Software\Mozilla": "firefox",
}


def product_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(ZendroWebHost VERSION ([0-9.]+)", text).group(1)


def build_settings() -> dict:
    """The installer settings the Windows build was configured with (its CMake cache)."""
    cache = (BUILD / "CMakeCache.txt").read_text()
    values = dict(re.findall(r"^(ZENDRO_[A-Z_]+):STRING=(.*)$", cache, re.M))
    return {
        "host_name": values["ZENDRO_HOST_NAME"],
        "description": values["ZENDRO_HOST_DESCRIPTION"],
        "chromium_ids": values["ZENDRO_CHROMIUM_EXTENSION_IDS"].split(";"),
        "firefox_ids": values["ZENDRO_FIREFOX_EXTENSION_IDS"].split(";"),
        "publisher": values["ZENDRO_PUBLISHER"],
        "download_server": values["ZENDRO_BUILTIN_DOWNLOAD_SERVER"],
    }


def make_setup(output: Path, version: str, host_exe: Path, settings_nsh: Path = SETTINGS_NSH):
    """Builds a setup program from the real script with another version or executable."""
    result = subprocess.run(
        ["makensis", "-V2", "-WX", f"-DZENDRO_VERSION={version}", f"-DZENDRO_HOST_EXE={host_exe}",
         f"-DZENDRO_SETTINGS={settings_nsh}", f"-DZENDRO_SETUP_OUT={output}", str(NSI)],
        timeout=120, capture_output=True, text=True,
    )
    assert result.returncode == 0, result.stdout + result.stderr
    return output


def reg_value(prefix: WinePrefix, key: str, name=None):
    """A registry value (the default value when name is None): text for REG_SZ, a number for
    REG_DWORD, None when the key or the value is missing. Read from an export, which is UTF-16;
    `reg query` prints in the OEM code page and loses letters."""
    export = prefix.scratch / "value.reg"
    if prefix.wine("reg", "export", key, prefix.to_windows(export), "/y", check=False).returncode:
        return None
    wanted = "@=" if name is None else f'"{name}"='
    for line in export.read_bytes().decode("utf-16").splitlines()[3:]:
        if line.startswith("["):
            break  # the first subkey: the key's own values come before it
        if line.startswith(wanted):
            data = line[len(wanted):]
            if data.startswith('"'):
                return re.sub(r"\\(.)", r"\1", data[1:-1])
            return int(data[len("dword:"):], 16) if data.startswith("dword:") else data
    return None


def registry_snapshot(prefix: WinePrefix, scratch: Path) -> dict:
    """HKCU\\Software as {key: sorted value lines}."""
    export = scratch / "hkcu.reg"
    prefix.wine("reg", "export", r"HKCU\Software", prefix.to_windows(export), "/y")
    keys, current = {}, None
    for line in export.read_bytes().decode("utf-16").splitlines():
        if line.startswith("["):
            current = line
            keys[current] = []
        elif current and line.strip():
            keys[current].append(line)
    return {key: sorted(values) for key, values in keys.items()}


def file_snapshot(prefix: WinePrefix) -> set:
    """Every file and folder of the user's profile except the temporary folder, where setup
    programs unpack and leave their own scratch copies."""
    root = prefix.profile
    return {str(p.relative_to(root)) for p in root.rglob("*")
            if p.relative_to(root).parts[:1] != ("Temp",)}


def processes_with(needle: str, proc_file: str = "cmdline") -> list:
    """Ids of the processes whose /proc/<id>/<proc_file> mentions `needle`: "maps" finds those
    that have an executable's image mapped, "cmdline" those started with an argument."""
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                text = (entry / proc_file).read_bytes()
            except OSError:
                continue
            if needle.encode() in text:
                found.append(int(entry.name))
    return found


def wait_until(predicate, timeout: float, what: str):
    deadline = time.monotonic() + timeout
    while not predicate():
        assert time.monotonic() < deadline, f"timed out waiting for {what}"
        time.sleep(0.2)


@contextmanager
def running_host(prefix: WinePrefix, exe: Path):
    """The executable running as the browser starts it, waiting for a message that never comes,
    with its image mapped (which is what makes Windows refuse to overwrite or delete it)."""
    process = subprocess.Popen([WINE64, str(exe)], env=prefix.env, stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until(lambda: processes_with(str(exe), "maps"), 30, f"{exe.name} to start")
        yield process
    finally:
        process.stdin.close()
        process.wait(timeout=30)


def marked_copy(source: Path, target: Path, marker: bytes) -> Path:
    """A copy of an executable that still runs but differs in its bytes (data after the image)."""
    shutil.copy2(source, target)
    with open(target, "ab") as file:
        file.write(marker)
    os.chmod(target, 0o755)
    return target
