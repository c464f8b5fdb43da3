#!/usr/bin/env python3
"""Soak of the real Tarnwick.exe under Wine: rotation at the fastest tick
(1 ms asked) with every role on and the mouse moving the whole time.

    bench/soak.sh                     # 25 s of copies, 20 s of rate, 10 min of memory
    bench/soak.sh --minutes 2         # a quick run
    bench/soak.sh --self-test         # the copy ledger on a written relay example

Three runs, each in a fresh prefix on a private X display (soak_run.py):

1. copies: a relay window of every call that makes, hands over or ends a
   pointer copy (the saved user pointers' CopyImage and DestroyCursor, each
   tick's CopyIcon, SetSystemCursor and DestroyIcon), then Exit, so the
   restores and the pointer watcher's end show up too (soak_ledger.py).
2. rate: only SetSystemCursor relayed, for the install rate actually reached.
3. memory: --minutes without any relay, sampling resident memory and CPU
   time of Tarnwick.exe and, apart from it, of its watcher (TarnwickWatch.exe),
   its wineserver and the prefix's other processes, with the machine's load.

Goals: at the end of the copies window no more copies alive than the three
saved user pointers and the one install in flight; at most --rss-goal-kib
of VmRSS growth after the warm-up.  CPU is reported; --cpu-goal judges it.
Not part of CI: a full run takes about eleven minutes.
"""

import argparse
import json
import os
import sys
import time

from harness import tarnwick_folder as tf
from harness import winehost

import soak_ledger
import soak_report
import soak_run

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

log = soak_run.log


def parse(argv):
    p = argparse.ArgumentParser(
        description="Soak the real Tarnwick.exe under Wine at a 1 ms tick "
                    "with every role on and the mouse moving.")
    p.add_argument("--exe", default=tf.tarnwick_exe(),
                   help="program under test (default: $TARNWICK_EXE or "
                        "build/mingw/Tarnwick.exe); TarnwickWatch.exe is "
                        "taken from beside it")
    p.add_argument("--relay-seconds", type=float, default=25,
                   help="length of the relay window for counting copies "
                        "(default 25; 0 leaves the run out)")
    p.add_argument("--rate-seconds", type=float, default=20,
                   help="length of the install-rate window (default 20; 0 "
                        "leaves the run out)")
    p.add_argument("--minutes", type=float, default=10,
                   help="length of the memory run without the relay "
                        "(default 10; 0 leaves the run out)")
    p.add_argument("--sample-seconds", type=float, default=10,
                   help="memory sampling period (default 10)")
    p.add_argument("--warmup", type=float, default=60,
                   help="seconds into the memory run taken as the warm-up "
                        "value (default 60)")
    p.add_argument("--settle", type=float, default=3,
                   help="seconds after the tray icon shows before sampling "
                        "starts (default 3)")
    p.add_argument("--rss-goal-kib", type=int, default=1024,
                   help="allowed VmRSS growth after warm-up (default 1024)")
    p.add_argument("--cpu-goal", type=float, default=None,
                   help="judge CPU s per s (Tarnwick.exe + wineserver) "
                        "against this; reported only when absent")
    p.add_argument("--roles", choices=sorted(soak_run.ROLE_CHOICES),
                   default="all",
                   help="pointers that rotate (default all three; 'none' "
                        "still ticks, for the cost of a tick alone)")
    p.add_argument("--json", help="also write every figure (and the "
                                  "samples) to this file")
    p.add_argument("--self-test", action="store_true",
                   help="check the copy ledger on a written example and stop")
    p.add_argument("--keep", action="store_true",
                   help="keep each run's prefix, logs and program folder")
    args = p.parse_args(argv)
    args.exe = os.path.abspath(args.exe)
    return args


def usable(args):
    """None when the soak can run, else why not."""
    missing = winehost.missing_tools()
    if missing:
        return "missing tools: " + ", ".join(missing)
    if not os.path.isfile(args.exe):
        return ("no program at %s: build it with `cmake --preset mingw && "
                "cmake --build --preset mingw -j2`" % args.exe)
    if args.minutes and args.warmup >= args.minutes * 60:
        return "--warmup must be shorter than the memory run"
    return None


def main(argv=None):
    args = parse(argv)
    if args.self_test:
        return soak_ledger.self_test(log)
    why = usable(args)
    if why:
        log(why)
        return 2
    started = time.monotonic()
    log("machine load %.2f on %d cores at the start"
        % (soak_run.sp.load_average(), os.cpu_count()))
    runs = {}
    if args.relay_seconds:
        runs["copies"] = soak_run.run_copies(args)
    if args.rate_seconds and args.roles != "none":
        runs["rate"] = soak_run.run_rate(args)
    if args.minutes:
        runs["memory"] = soak_run.run_memory(args)
    ok = soak_report.report(runs, args, REPO)
    log("finished in %.0fs" % (time.monotonic() - started))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(dict(exe=args.exe, wine=winehost.wine_version(),
                           roles=args.roles, passed=ok, **runs), f, indent=1)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
