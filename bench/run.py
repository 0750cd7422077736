"""Measures the host and writes bench/RESULTS.md. Run through scripts/bench."""

import datetime
import os
import platform
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from conftest import EXE, frame, start_prefix, stop_prefix  # noqa: E402

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


def main():
    extra_sections = []
    with tempfile.TemporaryDirectory(prefix="zendro-bench-") as scratch:
        prefix = start_prefix(Path(scratch) / "prefix")
        try:
            times = round_trips(prefix)
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
        "program only reads one frame and writes a fixed reply (aim: ratio at most 1.15).",
        "",
        "| program | median | min | max |",
        "|---|---|---|---|",
        f"| ZendroWebHost.exe | {host * 1000:.1f} ms | {min(times['host']) * 1000:.1f} ms | {max(times['host']) * 1000:.1f} ms |",
        f"| trivial_host.exe | {trivial * 1000:.1f} ms | {min(times['trivial']) * 1000:.1f} ms | {max(times['trivial']) * 1000:.1f} ms |",
        "",
        f"Ratio: **{host / trivial:.3f}**",
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
