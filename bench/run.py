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
from trust_support import Publisher, trusting_copy  # noqa: E402
from update_support import PACKAGE_PATH, UpdateServer, make_zip, with_file_version  # noqa: E402

TRIVIAL = ROOT / "build" / "windows" / "bench" / "trivial_host.exe"
# The same program with the host's application manifest, whose activation context each start builds.
TRIVIAL_MANIFEST = ROOT / "build" / "windows" / "bench" / "trivial_host_manifest.exe"
PROGRAMS = (("host", EXE), ("trivial", TRIVIAL), ("trivial_manifest", TRIVIAL_MANIFEST))
ROUNDS = int(os.environ.get("ZENDRO_BENCH_ROUNDS", "40"))


def machine() -> str:
    cpu = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    return f"{platform.node()}: {cpu}, {os.cpu_count()} cores, Linux {platform.release()}, Wine 8"


def round_trips(prefix) -> dict:
    """Alternates the programs so that load on the machine touches all alike."""
    request = frame('{"text":"CheckNativeMessagingHost"}')
    times = {name: [] for name, _ in PROGRAMS}
    for _ in range(3):  # warm the file cache and the wineserver
        for _, exe in PROGRAMS:
            prefix.run(stdin=request, exe=exe)
    for _ in range(ROUNDS):
        for name, exe in PROGRAMS:
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
    """Runs a Windows program and reports its peak resident set as the kernel records it, through
    GNU time. The kernel's figure includes the process's image before its exec: started from time,
    that is small; started from here, it would be a copy of the benchmark's own memory."""
    stdin_path = prefix.path / "bench-stdin.bin"
    report = prefix.path / "bench-rss.txt"
    stdin_path.write_bytes(stdin)
    with open(stdin_path, "rb") as stdin_file:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(report), *args],
                       env={**prefix.env, **env}, stdin=stdin_file, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)
    return int(report.read_text().split()[-1]) / 1024


def update_run(prefix, scratch: Path, host_exe: Path, package: bytes, signature: bytes = None,
               version: str = "9.9.9.9"):
    """One update of a fresh copy of `host_exe` from a loopback server: (peak MiB, seconds, whether
    the packaged program was swapped in)."""
    folder = Path(tempfile.mkdtemp(prefix="update-host-", dir=scratch))
    host = folder / "ZendroWebHost.exe"
    shutil.copy2(host_exe, host)
    server = UpdateServer()
    try:
        server.serve_update(version, package)
        if signature is not None:
            server.bodies[PACKAGE_PATH + ".minisig"] = signature
        started = time.monotonic()
        peak = peak_resident_mib(prefix, ["/usr/lib/wine/wine64", str(host)],
                                 frame('{"text":"UpdateNativeHost"}'),
                                 {"ZENDRO_DOWNLOAD_SERVER": server.url})
        seconds = time.monotonic() - started
    finally:
        server.close()
    swapped = host.read_bytes().endswith(b"\0bench")
    shutil.rmtree(folder)
    return peak, seconds, swapped


def update_memory(prefix, scratch: Path) -> list:
    """Peak memory of updates with 64 MiB and 256 MiB packages against a "CheckNativeMessagingHost"
    run, and the time that verifying the 256 MiB package's signature adds."""
    check = peak_resident_mib(prefix, ["/usr/lib/wine/wine64", str(EXE)],
                              frame('{"text":"CheckNativeMessagingHost"}'), {})
    newer = with_file_version(EXE.read_bytes(), "9, 9, 9, 9") + b"\0bench"
    publisher = Publisher(scratch / "publisher")
    keyed = trusting_copy(prefix, scratch / "keyed" / "ZendroWebHost.exe",
                          publisher.pub.read_bytes())
    # Fetching and reading the manifest (MSXML through COM) costs the same for every update.
    manifest_only = update_run(prefix, scratch, EXE, b"", version="1.0.0.1")[0]
    lines = [
        "## Peak memory of an update",
        "",
        "Stored packages from a loopback server; peak resident set of the host's process. For",
        f"comparison: a \"CheckNativeMessagingHost\" run, {check:.1f} MiB (aim: at most",
        f"{check + 8:.1f} MiB, whatever the package's size), and an update that finds no newer",
        f"version in the manifest, {manifest_only:.1f} MiB.",
        "",
        "| package | unverified | verified |",
        "|---|---|---|",
    ]
    for package_mib in (64, 256):
        payload = os.urandom(package_mib * 2**20 - 2 * len(newer))
        package = make_zip([("ZendroWebHost.exe", newer), ("payload.bin", payload)],
                           compression=zipfile.ZIP_STORED)
        del payload
        signature = publisher.sign(package, "ZendroWebHost.zip")
        plain = update_run(prefix, scratch, EXE, package)
        verified = update_run(prefix, scratch, keyed, package, signature)
        done = plain[2] and verified[2]
        lines.append(f"| {len(package) / 2**20:.1f} MiB | {plain[0]:.1f} MiB | "
                     f"{verified[0]:.1f} MiB{'' if done else ' (an update DID NOT complete)'} |")

    # Both stop before unpacking: one finds no signature and so never fetches the package, the
    # other fetches it, hashes it whole and checks a signature that no longer matches. Alternated,
    # so that load touches both alike.
    changed = package[:-1] + bytes([package[-1] ^ 1])
    unsigned, checked = [], []
    for _ in range(5):
        unsigned.append(update_run(prefix, scratch, keyed, changed)[1])
        checked.append(update_run(prefix, scratch, keyed, changed, signature)[1])
    added = statistics.median(checked) - statistics.median(unsigned)
    lines += [
        "",
        "## Time that a signed package adds to an update",
        "",
        f"The {len(package) / 2**20:.1f} MiB package with its last byte changed, 5 updates each,",
        "alternating: without a signature (refused before the package is asked for) and with the",
        "original signature (the package is fetched from loopback, hashed, BLAKE2b-512, and the",
        "signature checked, which refuses it).",
        "",
        f"Median {statistics.median(unsigned):.2f} s and {statistics.median(checked):.2f} s: "
        f"fetching and verifying add **{added:.2f} s**.",
        "",
    ]
    return lines


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

    medians = {name: statistics.median(times[name]) for name, _ in PROGRAMS}
    rows = [f"| {exe.name} | {medians[name] * 1000:.1f} ms | {min(times[name]) * 1000:.1f} ms | "
            f"{max(times[name]) * 1000:.1f} ms |" for name, exe in PROGRAMS]
    size = EXE.stat().st_size
    lines = [
        "# Benchmark results",
        "",
        f"Measured {datetime.date.today().isoformat()} by `scripts/bench` on {machine()}.",
        "",
        "## Round trip of \"CheckNativeMessagingHost\" under Wine",
        "",
        f"Median of {ROUNDS} runs each, alternating, with a persistent wineserver. The trivial",
        "program only reads one frame and writes a fixed reply; trivial_host_manifest.exe is the",
        "same program with the host's application manifest, from which Wine, like Windows, builds",
        "an activation context at every start.",
        "",
        "| program | median | min | max |",
        "|---|---|---|---|",
        *rows,
        "",
        f"Host against the trivial program with the manifest: **{medians['host'] / medians['trivial_manifest']:.3f}**"
        " (aim: at most 1.05)",
        "",
        f"Host against the trivial program without it: **{medians['host'] / medians['trivial']:.3f}**"
        " (aim: at most 1.10)",
        "",
        f"The manifest alone: {medians['trivial_manifest'] / medians['trivial']:.3f} times the "
        "trivial program without it.",
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
