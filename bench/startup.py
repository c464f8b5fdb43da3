"""Start-up time of the real Tarnwick.exe under Wine, by the size of its library.

Each run gets a fresh Wine prefix and X display (tests/e2e/harness/winehost.py)
and a program folder (tests/e2e/harness/tarnwick_folder.py) holding N cursor
sets, the first of them remembered in Tarnwick.ini; the time runs from
starting the program to its main window showing.  Runs with 1 and with --sets sets alternate, so both
see the same machine, and the medians are compared.

    bench/startup.sh [--runs 5] [--sets 200] [--relay] [EXE ...]

With several programs (say, the build of main and this one) each is measured
the same way, one after the other in every round.
"""

import argparse
import os
import statistics
import sys
import time

from harness import tarnwick_folder as tf
from harness import winehost


def colour(i):
    return (40 + (i * 37) % 200, 40 + (i * 71) % 200, 40 + (i * 113) % 200)


def start_up(exe, sets, relay):
    """Seconds from starting the program to its visible main window."""
    with winehost.WineHost(unmanaged_exes=["Tarnwick.exe"]) as host:
        folder = tf.ProgramFolder(host.tmp, exe)
        for i in range(sets):
            folder.add_set("Set%03d" % i, colour(i))
        folder.write_settings(set_file="Set000.TWC")
        t0 = time.monotonic()
        host.start(folder.exe, relay=relay)
        winehost.wait_until(lambda: host.windows(name=tf.TITLE), 60, 0.02,
                            "the main window")
        return time.monotonic() - t0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("exes", nargs="*", default=[tf.tarnwick_exe()])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sets", type=int, default=200)
    parser.add_argument("--relay", action="store_true",
                        help="with Wine's relay log on, as the e2e tests run")
    args = parser.parse_args()
    missing = winehost.missing_tools()
    if missing:
        sys.exit("startup.sh needs: " + ", ".join(missing))

    times = {(exe, n): [] for exe in args.exes for n in (1, args.sets)}
    for r in range(args.runs):
        for exe in args.exes:
            for n in (1, args.sets):
                t = start_up(os.path.abspath(exe), n, args.relay)
                times[(exe, n)].append(t)
                print("run %d  %-40s %4d sets  %.2f s" % (r + 1, exe, n, t),
                      flush=True)
    print()
    for exe in args.exes:
        one = statistics.median(times[(exe, 1)])
        many = statistics.median(times[(exe, args.sets)])
        print("%s: median %.2f s with 1 set, %.2f s with %d sets, "
              "ratio %.2f" % (exe, one, many, args.sets, many / one))


if __name__ == "__main__":
    main()
