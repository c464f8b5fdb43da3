#!/usr/bin/env python3
"""Tick spacing and CPU of the real Tarnwick.exe under Wine, at several tick
intervals, for two builds side by side in one run (say, main's and this one).

    bench/ticks.sh --baseline /path/to/main/Tarnwick.exe [--exe NEW.exe]
    bench/ticks.sh --intervals 1,5 --seconds 3      # a quick run

For every interval (from the settings file, automatic start, the arrow alone
rotating, so each tick is one install) and each build, in turn, so both see
the same machine:

1. spacing: a run relaying SetSystemCursor alone with Wine's +timestamp
   (ms resolution), the mouse going round a circle: the median and the 90th
   percentile of the time between installs over --seconds.  Then a posted
   session lock (WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK): the installs in the
   --seconds from 0.2 s after it (a build that pauses makes none).
2. cpu: a run without the relay: Tarnwick.exe's CPU seconds per second (and
   its wineserver's) over --seconds with the mouse moving, then still, then
   after a posted lock.

Not part of CI: the default run takes about eight minutes.
"""

import argparse
import json
import os
import statistics
import sys
import time

from harness import tarnwick_folder as tf
from harness import winehost

import soak_ledger as sl
import soak_proc as sp
import soak_run

EXE = "Tarnwick.exe"
WTS_SESSION_LOCK = "7"


def log(msg):
    print("ticks: " + msg, flush=True)


def folder_for(host, exe, interval):
    folder = tf.ProgramFolder(host.tmp, exe)
    folder.add_set("Soak", soak_run.SET_COLOUR)
    # The slider's place is only what Exit would write; the interval is the file's.
    folder.write_settings(auto=1, normal=1, busy=0, interval=interval,
                          slider=128, set_file="Soak.TWC")
    return folder


def lock(host):
    host.nudge("session", EXE, WTS_SESSION_LOCK, "class=TarnwickForm")


def install_times(host, start, end):
    """Wine's times of the arrow's installs logged between two cuts."""
    def arrows(cut):
        calls = sl.calls_of(winehost.RelayLog(
            sl.relay_text_upto(host.log_path, cut)), EXE)
        return [c.time for c in calls if c.func == "SetSystemCursor"
                and c.args[1].value == tf.OCR_NORMAL]
    return arrows(end)[len(arrows(start)):]


def spacing(exe, interval, seconds, settle):
    with winehost.WineHost(relay_include=("user32.SetSystemCursor",),
                           unmanaged_exes=[EXE]) as host:
        mover = soak_run.Mover(host.display)
        try:
            host.start(folder_for(host, exe, interval).exe, timestamps=True)
            host.wait_call("user32.SetSystemCursor", 1, timeout=60)
            time.sleep(settle)
            start = os.path.getsize(host.log_path)
            time.sleep(seconds)
            end = os.path.getsize(host.log_path)
            lock(host)
            time.sleep(0.2)             # the lock on its way through the queue
            paused = os.path.getsize(host.log_path)
            time.sleep(seconds)
            locked = os.path.getsize(host.log_path)
        finally:
            mover.stop()
        times = install_times(host, start, end)
        gaps = sorted(1000 * (b - a) for a, b in zip(times, times[1:]))
        return dict(ticks=len(times),
                    gap_median_ms=statistics.median(gaps) if gaps else None,
                    gap_p90_ms=gaps[int(0.9 * (len(gaps) - 1))] if gaps else None,
                    installs_locked=len(install_times(host, paused, locked)))


def cpu(exe, interval, seconds, settle):
    with winehost.WineHost(unmanaged_exes=[EXE]) as host:
        mover = soak_run.Mover(host.display)
        host.start(folder_for(host, exe, interval).exe, relay=False)
        try:
            host.tray_window(timeout=60)
            time.sleep(settle)          # the automatic start, the watcher
            pid = soak_run.the_program(host)
            server = sp.pids_named(host.prefix, "wineserver")

            def used():
                return (sp.cpu_seconds(pid),
                        sum(sp.cpu_seconds(s) or 0 for s in server))

            def window():
                (p0, s0), t0 = used(), time.monotonic()
                time.sleep(seconds)
                (p1, s1), dt = used(), time.monotonic() - t0
                return (p1 - p0) / dt, (s1 - s0) / dt
            moving = window()
        finally:
            mover.stop()
        still = window()
        lock(host)
        time.sleep(0.2)
        locked = window()
    return dict(cpu_moving=moving[0], server_moving=moving[1],
                cpu_still=still[0], server_still=still[1],
                cpu_locked=locked[0], server_locked=locked[1])


def fmt(value, spec):
    return "-" if value is None else spec % value


def report(results, builds, intervals):
    log("")
    log("%-5s %-8s %8s %8s %6s %9s %9s %9s %9s" % (
        "ms", "build", "median", "p90", "ticks", "cpu move", "cpu still",
        "srv move", "srv still"))
    for interval in intervals:
        for name in builds:
            r = results[name][interval]
            log("%-5d %-8s %8s %8s %6d %9s %9s %9s %9s" % (
                interval, name, fmt(r["gap_median_ms"], "%.1f ms"),
                fmt(r["gap_p90_ms"], "%.1f ms"), r["ticks"],
                fmt(r["cpu_moving"], "%.4f"), fmt(r["cpu_still"], "%.4f"),
                fmt(r["server_moving"], "%.4f"), fmt(r["server_still"], "%.4f")))
    log("")
    log("locked (WTS_SESSION_LOCK posted): installs in the window after it, "
        "CPU s/s of the program and of its wineserver")
    for interval in intervals:
        for name in builds:
            r = results[name][interval]
            log("%-5d %-8s %6d installs  cpu %.4f  srv %.4f" % (
                interval, name, r["installs_locked"], r["cpu_locked"],
                r["server_locked"]))
    if len(builds) == 2:
        old, new = builds
        log("")
        log("ratios %s / %s (ticks a second, program CPU with the mouse "
            "moving):" % (new, old))
        for interval in intervals:
            a, b = results[old][interval], results[new][interval]
            log("%-5d ticks x%.2f  cpu x%s" % (
                interval, b["ticks"] / max(a["ticks"], 1),
                fmt(b["cpu_moving"] / a["cpu_moving"] if a["cpu_moving"]
                    else None, "%.2f")))


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--exe", default=tf.tarnwick_exe(),
                   help="the build under test (default: $TARNWICK_EXE or "
                        "build/mingw/Tarnwick.exe)")
    p.add_argument("--baseline", help="the build to compare with, measured "
                                      "in the same run (e.g. main's)")
    p.add_argument("--intervals", default="1,2,5,10,26")
    p.add_argument("--seconds", type=float, default=5)
    p.add_argument("--settle", type=float, default=2)
    p.add_argument("--json", help="also write every figure to this file")
    args = p.parse_args(argv)
    missing = winehost.missing_tools()
    if missing:
        log("missing tools: " + ", ".join(missing))
        return 2
    builds = {}
    if args.baseline:
        builds["baseline"] = os.path.abspath(args.baseline)
    builds["this"] = os.path.abspath(args.exe)
    for exe in builds.values():
        if not os.path.isfile(exe):
            log("no program at %s" % exe)
            return 2
    intervals = [int(v) for v in args.intervals.split(",")]
    log("machine load %.2f on %d cores; %s" % (
        sp.load_average(), os.cpu_count(),
        ", ".join("%s = %s" % kv for kv in builds.items())))
    results = {name: {} for name in builds}
    started = time.monotonic()
    for interval in intervals:
        for name, exe in builds.items():
            r = spacing(exe, interval, args.seconds, args.settle)
            r.update(cpu(exe, interval, args.seconds, args.settle))
            results[name][interval] = r
            log("%d ms %s: %s" % (interval, name, json.dumps(
                {k: round(v, 4) if isinstance(v, float) else v
                 for k, v in r.items()})))
    report(results, list(builds), intervals)
    log("finished in %.0fs, machine load %.2f" % (time.monotonic() - started,
                                                  sp.load_average()))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(dict(builds=builds, wine=winehost.wine_version(),
                           results=results), f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
