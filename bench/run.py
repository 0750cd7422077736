"""Measures the host and writes bench/RESULTS.md. Run through scripts/bench."""

import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from conftest import EXE, frame, start_prefix, stop_prefix  # noqa: E402
from handoff_support import TransmissionDaemon, make_torrent  # noqa: E402
from update_support import UpdateServer, make_zip, with_file_version  # noqa: E402

TRIVIAL = ROOT / "build" / "windows" / "bench" / "trivial_host.exe"
ROUNDS = int(os.environ.get("ZENDRO_BENCH_ROUNDS", "40"))


def machine() -> str:
    cpu = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    return f"{platform.node()}: {cpu}, {os.cpu_count()} cores, Linux {platform.release()}, Wine 8"


def round_trips(prefix) -> dict:
    """Alternates the two programs so that load on the machine touches both alike."""
    request = frame('{"text":"CheckNativeMessagingHost"}')
    times = {"host": [], "trivial": []}
    for _ in range(3):  # warm the file cache and the wineserver
        prefix.run(stdin=request, exe=EXE)
        prefix.run(stdin=request, exe=TRIVIAL)
    for _ in range(ROUNDS):
        for name, exe in (("host", EXE), ("trivial", TRIVIAL)):
            run = prefix.run(stdin=request, exe=exe)
            assert run.reply == "1", (name, run.stdout)
            times[name].append(run.seconds)
    return times


def direct_imports(exe: Path) -> list:
    """The DLLs the loader binds before the program's first instruction (delay-loaded ones are
    bound at their first call and not listed)."""
    output = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], capture_output=True,
                            text=True, timeout=60, check=True).stdout
    return [line.split(":", 1)[1].strip() for line in output.splitlines()
            if line.strip().startswith("DLL Name:")]


def peak_resident_mib(prefix, args, stdin: bytes, env: dict) -> float:
    """Runs a Windows program and samples the Linux process's peak resident set (VmHWM)."""
    stdin_path = prefix.path / "bench-stdin.bin"
    stdin_path.write_bytes(stdin)
    peak_kib = 0
    with open(stdin_path, "rb") as stdin_file:
        process = subprocess.Popen(args, env={**prefix.env, **env}, stdin=stdin_file,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while process.poll() is None:
            try:
                for line in Path(f"/proc/{process.pid}/status").read_text().splitlines():
                    if line.startswith("VmHWM:"):
                        peak_kib = max(peak_kib, int(line.split()[1]))
            except (FileNotFoundError, ProcessLookupError):
                break
            time.sleep(0.02)
        process.wait(timeout=300)
    return peak_kib / 1024


def update_memory(prefix, scratch: Path) -> list:
    """Peak memory of an update that downloads a 64 MiB package from a loopback server."""
    package_mib = 64
    payload = os.urandom(package_mib * 2**20 - 2 * EXE.stat().st_size)
    newer = with_file_version(EXE.read_bytes(), "9, 9, 9, 9") + b"\0bench"
    package = make_zip([("ZendroWebHost.exe", newer),
                        ("payload.bin", payload)], compression=zipfile.ZIP_STORED)
    host = scratch / "update-host" / "ZendroWebHost.exe"
    host.parent.mkdir()
    shutil.copy2(EXE, host)
    server = UpdateServer()
    try:
        server.serve_update("9.9.9.9", package)
        peak = peak_resident_mib(prefix, ["/usr/lib/wine/wine64", str(host)],
                                 frame('{"text":"UpdateNativeHost"}'),
                                 {"ZENDRO_DOWNLOAD_SERVER": server.url})
    finally:
        server.close()
    swapped = host.read_bytes().endswith(b"\0bench")
    size_mib = len(package) / 2**20
    return [
        "## Peak memory of an update",
        "",
        f"Package of {size_mib:.1f} MiB (stored) from a loopback server; peak resident set of the",
        "host's process, sampled from /proc every 20 ms (aim: at most 1.5 x package + 16 MiB =",
        f"{1.5 * size_mib + 16:.0f} MiB).",
        "",
        f"Peak: **{peak:.0f} MiB** (the update {'completed' if swapped else 'DID NOT complete'}).",
        "",
    ]


def hand_off_time(prefix, scratch: Path) -> list:
    """From the shell's start of the host to the torrent being present in a real daemon."""
    daemon = TransmissionDaemon(scratch / "daemon")
    settings = prefix.appdata / "ZendroWebDaemon" / "Zendro" / "exported_params.properties"
    settings.parent.mkdir(parents=True, exist_ok=True)
    settings.write_bytes(b"tessui.port=%d\r\n" % daemon.rpc_port)
    durations, baseline = [], []
    try:
        for index in range(5):
            metainfo, info_hash = make_torrent(f"bench-{index}.bin", os.urandom(64 * 1024))
            torrent = scratch / f"bench-{index}.torrent"
            torrent.write_bytes(metainfo)
            started = time.monotonic()
            prefix.run([prefix.windows_path(torrent)], timeout=60)
            while info_hash not in daemon.info_hashes():
                assert time.monotonic() - started < 30, "the torrent never arrived"
                time.sleep(0.01)
            durations.append(time.monotonic() - started)
            baseline.append(prefix.run(stdin=frame("{}"), exe=TRIVIAL).seconds)
    finally:
        daemon.stop()
        settings.unlink()
    return [
        "## Shell hand-off to a real transmission-daemon",
        "",
        "From starting the host with a .torrent file to the torrent being listed by the daemon",
        "(5 runs, no browser registered), against the trivial program's start and exit.",
        "",
        f"Hand-off: median **{statistics.median(durations) * 1000:.0f} ms**; trivial program: "
        f"median {statistics.median(baseline) * 1000:.0f} ms.",
        "",
    ]


def main():
    extra_sections = []
    with tempfile.TemporaryDirectory(prefix="zendro-bench-") as scratch:
        prefix = start_prefix(Path(scratch) / "prefix")
        try:
            times = round_trips(prefix)
            extra_sections.append(update_memory(prefix, Path(scratch)))
            extra_sections.append(hand_off_time(prefix, Path(scratch)))
        finally:
            stop_prefix(prefix)

    host = statistics.median(times["host"])
    trivial = statistics.median(times["trivial"])
    size = EXE.stat().st_size
    lines = [
        "# Benchmark results",
        "",
        f"Measured {datetime.date.today().isoformat()} by `scripts/bench` on {machine()}.",
        "",
        "## Round trip of \"CheckNativeMessagingHost\" under Wine",
        "",
        f"Median of {ROUNDS} runs each, alternating, with a persistent wineserver; the trivial",
        "program only reads one frame and writes a fixed reply (aim: ratio at most 1.10).",
        "",
        "| program | median | min | max |",
        "|---|---|---|---|",
        f"| ZendroWebHost.exe | {host * 1000:.1f} ms | {min(times['host']) * 1000:.1f} ms | {max(times['host']) * 1000:.1f} ms |",
        f"| trivial_host.exe | {trivial * 1000:.1f} ms | {min(times['trivial']) * 1000:.1f} ms | {max(times['trivial']) * 1000:.1f} ms |",
        "",
        f"Ratio: **{host / trivial:.3f}**",
        "",
        f"Direct imports of ZendroWebHost.exe: {', '.join(direct_imports(EXE))}; of",
        f"trivial_host.exe: {', '.join(direct_imports(TRIVIAL))}.",
        "",
        "## Size of dist/ZendroWebHost.exe",
        "",
        f"{size} bytes = **{size / 2**20:.2f} MiB** (aim: at most 2 MiB)",
        "",
    ]
    for section in extra_sections:
        lines += section
    (ROOT / "bench" / "RESULTS.md").write_text("\n".join(lines))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
