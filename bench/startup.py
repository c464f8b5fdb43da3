"""Start-up time of the real Tarnwick.exe under Wine, by the size of its library.

Each run gets a fresh Wine prefix and X display (tests/e2e/harness/winehost.py)
and a program folder (tests/e2e/harness/tarnwick_folder.py) holding N cursor
sets, the first of them remembered in Tarnwick.ini; the time runs from
starting the program to its main window showing.  Runs with 1 and with --sets sets alternate, so both
see the same machine, and the medians are compared.

    bench/startup.sh [--runs 5] [--sets 200] [--relay] [EXE ...]

With several programs (say, the build of main and this one) each is measured
the same way, one after the other in every round.

    bench/startup.sh --companions [--runs 5] [--sets 200] [EXE ...]

compares instead --sets copies of the bundled sets (sets/*.TWC) with their
large pictures (sets/*.png, 1024 x 1024) beside them and without, at 100 %
and at 200 % display scaling, all four alternating in every round: start-up
reads no companion for the list, only the remembered set's for its preview
(and only above 100 %).
"""

import argparse
import glob
import os
import shutil
import statistics
import sys
import time

from harness import tarnwick_folder as tf
from harness import winehost


def colour(i):
    return (40 + (i * 37) % 200, 40 + (i * 71) % 200, 40 + (i * 113) % 200)


def bundled(folder, sets, companions):
    """``sets`` copies of the bundled sets, with their companions or without."""
    designs = sorted(glob.glob(os.path.join(tf.REPO, "sets", "*.TWC")))
    for i in range(sets):
        design = designs[i % len(designs)]
        shutil.copy(design, folder.file("Set%03d.TWC" % i))
        if companions:
            shutil.copy(design[:-4] + ".png", folder.file("Set%03d.png" % i))


def start_up(exe, sets, relay, companions=None, dpi=None):
    """Seconds from starting the program to its visible main window; with
    ``companions`` (True or False) the sets are the bundled ones."""
    screen = "1600x1200x24" if dpi else "1024x768x24"  # room for 200 %
    with winehost.WineHost(unmanaged_exes=["Tarnwick.exe"], dpi=dpi,
                           screen=screen) as host:
        folder = tf.ProgramFolder(host.tmp, exe)
        if companions is None:
            for i in range(sets):
                folder.add_set("Set%03d" % i, colour(i))
        else:
            bundled(folder, sets, companions)
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
    parser.add_argument("--companions", action="store_true",
                        help="the bundled sets with and without their large "
                        "pictures, at 100 %% and 200 %%")
    args = parser.parse_args()
    missing = winehost.missing_tools()
    if missing:
        sys.exit("startup.sh needs: " + ", ".join(missing))

    if args.companions:
        compare_companions(args)
        return
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


def compare_companions(args):
    cases = [(exe, dpi, companions) for exe in args.exes for dpi in (96, 192)
             for companions in (False, True)]
    times = {case: [] for case in cases}
    for r in range(args.runs):
        for exe, dpi, companions in cases:
            t = start_up(os.path.abspath(exe), args.sets, args.relay,
                         companions, dpi)
            times[exe, dpi, companions].append(t)
            print("run %d  %-40s %3d %%  %4d sets %s companions  %.2f s"
                  % (r + 1, exe, dpi * 100 // 96, args.sets,
                     "with   " if companions else "without", t), flush=True)
    print()
    for exe in args.exes:
        for dpi in (96, 192):
            without = statistics.median(times[exe, dpi, False])
            with_ = statistics.median(times[exe, dpi, True])
            print("%s at %d %%: median %.2f s without companions, %.2f s "
                  "with, ratio %.2f" % (exe, dpi * 100 // 96, without, with_,
                                        with_ / without))


if __name__ == "__main__":
    main()
