"""The soak's three runs of the real Tarnwick.exe, each in a fresh Wine prefix
on a private X display, with the mouse going round a circle the whole time:

* copies: a window with the relay log of every call that makes, hands over
  or ends a pointer copy, then Exit; see soak_ledger.Ledger.
* rate: a window relaying only SetSystemCursor, so the ticks come about as
  fast as without the relay, for the install rate actually reached.
* memory: no relay at all; resident memory and CPU time of Tarnwick.exe,
  and apart from it of its pointer watcher, its wineserver and the rest of
  the prefix's processes, sampled over minutes.
"""

import math
import os
import signal
import subprocess
import time

from harness import tarnwick_folder as tf
from harness import winehost

import soak_ledger as sl
import soak_proc as sp

EXE = "Tarnwick.exe"
SET_NAME = "Soak"
SET_COLOUR = (255, 160, 0)
SPI_SETCURSORS = tf.SPI_SETCURSORS
ROLE_CHOICES = {"all": (1, 1), "normal": (1, 0), "busy": (0, 1),
                "none": (0, 0)}


def log(msg):
    print("soak: " + msg, flush=True)


class Mover:
    """Moves the pointer round a circle in a background process group.

    One xdotool process draws a whole circle (``steps`` absolute moves with
    ``pause`` seconds between them) and a shell loop starts the next, so the
    pointer never rests longer than the gap between two xdotool runs.  Kept
    well away from the tray's cells in the top left corner.
    """

    def __init__(self, display, centre=(600, 420), radius=150, steps=72,
                 pause=0.005):
        points = []
        for i in range(steps):
            a = 2 * math.pi * i / steps
            points += ["mousemove", str(round(centre[0] + radius * math.cos(a))),
                       str(round(centre[1] + radius * math.sin(a))),
                       "sleep", "%g" % pause]
        self.proc = subprocess.Popen(
            ["sh", "-c", 'while :; do xdotool "$@" || exit 1; done', "mover",
             *points], env=dict(os.environ, DISPLAY=display),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait(timeout=10)


def make_folder(host, args):
    """The program, its watcher and one set; automatic start with a 1 ms
    tick and, by default, the normal and the busy pointers rotating."""
    folder = tf.ProgramFolder(host.tmp, args.exe)
    folder.add_set(SET_NAME, SET_COLOUR)
    normal, busy = ROLE_CHOICES[args.roles]
    folder.write_settings(auto=1, normal=normal, busy=busy, interval=1,
                          slider=128, set_file=SET_NAME + ".TWC")
    return folder


def the_program(host):
    """Unix pid of Tarnwick.exe: the wine loader started becomes it."""
    pids = sp.pids_named(host.prefix, EXE)
    if host.proc.pid in pids:
        return host.proc.pid
    if len(pids) != 1:
        raise winehost.HarnessError("%d processes run %s" % (len(pids), EXE))
    return pids[0]


def the_watcher(host, timeout=10):
    """Unix pid of TarnwickWatch.exe once it runs, or None."""
    try:
        return winehost.wait_until(
            lambda: sp.pids_named(host.prefix, tf.WATCHER), timeout, 0.05,
            "the watcher")[0]
    except TimeoutError:
        return None


def exit_by_label(host, timeout=30):
    """Bring the window back from the tray and press Exit, as a user would.
    Returns (exit code, or None when the program had to be killed; seconds
    until the watcher was gone after, or None if it stayed)."""
    try:
        host.click_tray_icon(button=1)
        main = host.wait_window(timeout=timeout, name=tf.TITLE,
                                pid=host.proc.pid)
        host.click(*tf.screen_centre(main, tf.EXIT_LABEL))
        code = host.wait_exit(timeout=timeout)
    except (TimeoutError, winehost.HarnessError) as e:
        log("clean exit failed (%s); killing the program" % e)
        host.kill()
        return None, None
    t0 = time.monotonic()
    try:
        winehost.wait_until(lambda: not sp.pids_named(host.prefix, tf.WATCHER),
                            10, 0.02, "the watcher to end")
        return code, time.monotonic() - t0
    except TimeoutError:
        return code, None


def watcher_figures(calls, watcher_calls, seen, gone_s):
    """Started once, before the first capture; after Exit it ended without
    reloading the pointer scheme (its relay lines are in the program's log,
    under a pid of its own: ``seen`` says that pid was found)."""
    started = [c for c in calls if c.func == "CreateProcessW" and
               c.args[0].string and c.args[0].string.endswith(tf.WATCHER)]
    captures = tf.captures(calls)
    reloads = [c for c in watcher_calls if c.func == "SystemParametersInfoW"
               and c.args[0].value == SPI_SETCURSORS]
    return dict(started=len(started),
                started_ok=bool(started) and all(c.retval for c in started),
                before_first_capture=bool(started and captures and
                                          started[0].index < captures[0][2]),
                seen_in_log=seen, gone_after_exit_s=gone_s,
                scheme_reloads=len(reloads))


def relayed_window(host, args, first_call, count, seconds, label):
    """Starts the program with the mouse moving, waits for its first
    ``count`` calls of ``first_call``, then lets it rotate for ``seconds``.
    Returns the relay log's size at the window's end (the cut), CPU seconds
    per second over the window, the load before and after, and whether the
    mouse kept moving throughout."""
    mover = Mover(host.display)
    try:
        host.start(make_folder(host, args).exe, timestamps=True)
        host.wait_call(first_call, count, timeout=60)
        pid = the_program(host)
        log("%s: rotating; relay window of %gs" % (label, seconds))
        load0, cpu0, t0 = sp.load_average(), sp.cpu_seconds(pid), \
            time.monotonic()
        time.sleep(seconds)
        cut = os.path.getsize(host.log_path)
        cpu = (sp.cpu_seconds(pid) - cpu0) / (time.monotonic() - t0)
        return cut, cpu, load0, sp.load_average(), mover.alive()
    finally:
        mover.stop()


def run_copies(args):
    """The relay window: copies made, ended and still held, then Exit."""
    with winehost.WineHost(relay_include=sl.RELAY, unmanaged_exes=[EXE],
                           keep=args.keep) as host:
        # The automatic start saves the three user pointers, then ticks.
        cut, cpu, load0, load1, mover_ok = relayed_window(
            host, args, "user32.CopyImage", 3, args.relay_seconds, "copies")
        code, gone_s = exit_by_label(host)
        relay = host.relay()
        window = sl.calls_of(winehost.RelayLog(
            sl.relay_text_upto(host.log_path, cut)), EXE)
        calls = sl.calls_of(relay, EXE)
        watcher = watcher_figures(calls, sl.calls_of(relay, tf.WATCHER),
                                  bool(relay.pids_of(tf.WATCHER)), gone_s)
        if args.keep:
            log("copies: kept %s" % host.tmp)

    after = sl.Ledger(calls)
    saved = after.saved_handles()
    restores = tf.restores(calls)
    installs = tf.installs(window)
    times = {c.index: c.time for c in window}
    ticks = sl.tick_figures([(i.role, times[i.index]) for i in installs])
    ticks["not_destroyed_straight_after"] = sum(1 for i in installs
                                                if not i.destroyed)
    return dict(
        window_s=args.relay_seconds, mover_ran_throughout=mover_ok,
        cpu_s_per_s_with_relay=cpu, load=(load0, load1), exit_code=code,
        ticks=ticks, at_end=sl.Ledger(window).summary(),
        after_exit=dict(after.summary(),
                        restores=[(sl.OCR_NAMES.get(r[0], hex(r[0])), r[1])
                                  for r in restores],
                        restores_of_saved=sum(1 for r in restores
                                              if r[1] in saved)),
        watcher=watcher)


def run_rate(args):
    """Installs relayed alone: the tick rate reached at a 1 ms interval."""
    with winehost.WineHost(relay_include=sl.RATE_RELAY, unmanaged_exes=[EXE],
                           keep=args.keep) as host:
        cut, cpu, load0, load1, mover_ok = relayed_window(
            host, args, "user32.SetSystemCursor", 1, args.rate_seconds,
            "rate")
        calls = sl.calls_of(winehost.RelayLog(
            sl.relay_text_upto(host.log_path, cut)), EXE)
        if args.keep:
            log("rate: kept %s" % host.tmp)
    out = sl.tick_figures([(c.args[1].value, c.time) for c in calls
                           if c.func == "SetSystemCursor"])
    return dict(out, window_s=args.rate_seconds, cpu_s_per_s=cpu,
                load=(load0, load1), mover_ran_throughout=mover_ok)


def sample(t, pids, rest, mover):
    """One sample of the processes being watched."""
    def status(name):
        return sp.status(pids[name]) if pids[name] else {}

    def cpu(name):
        return sp.cpu_seconds(pids[name]) if pids[name] else None
    prog, watch, server = status("program"), status("watcher"), \
        status("server")
    rest_cpu = [sp.cpu_seconds(p) for p in rest]
    return dict(t=t, rss=prog.get("VmRSS"), anon=prog.get("RssAnon"),
                hwm=prog.get("VmHWM"), threads=prog.get("Threads"),
                vcsw=prog.get("voluntary_ctxt_switches"), cpu=cpu("program"),
                watcher_rss=watch.get("VmRSS"), watcher_cpu=cpu("watcher"),
                server_rss=server.get("VmRSS"), server_cpu=cpu("server"),
                rest_cpu=sum(c for c in rest_cpu if c is not None),
                load=sp.load_average(), mover=mover.alive())


def print_sample(s, prev):
    dt = s["t"] - prev["t"] if prev else 0

    def rate(key, fmt="%.3f"):
        if not dt or s[key] is None or prev[key] is None:
            return "-"
        return fmt % ((s[key] - prev[key]) / dt)
    log("  %6.1f %8s %8s %7s %7s %7s %7s %8s %8s %5.2f" % (
        s["t"], s["rss"], s["anon"], rate("cpu"), rate("server_cpu"),
        rate("rest_cpu"), rate("vcsw", "%.0f"), s["server_rss"],
        s["watcher_rss"], s["load"]))


def run_memory(args):
    """Rotation without the relay: resident memory and CPU over time."""
    samples = []
    with winehost.WineHost(unmanaged_exes=[EXE], keep=args.keep) as host:
        mover = Mover(host.display)
        try:
            host.start(make_folder(host, args).exe, relay=False)
            # Nothing is logged without the relay: the tray icon says
            # start-up got as far as Form_Load, the automatic start follows
            # 100 ms later and starts the watcher at its first capture.
            host.tray_window(timeout=60)
            pids = dict(program=the_program(host), watcher=the_watcher(host),
                        server=(sp.pids_named(host.prefix, "wineserver")
                                or [None])[0])
            time.sleep(args.settle)
            rest = [p for p in sp.prefix_processes(host.prefix)
                    if p not in pids.values()]
            log("memory: Tarnwick.exe pid %d, watcher %s, wineserver %s, %d "
                "other Wine processes; %g min, a sample every %gs"
                % (pids["program"], pids["watcher"], pids["server"],
                   len(rest), args.minutes, args.sample_seconds))
            log("  %6s %8s %8s %7s %7s %7s %7s %8s %8s %5s" % (
                "t s", "VmRSS", "RssAnon", "cpu/s", "srv/s", "rest/s",
                "ctxsw/s", "srv RSS", "wat RSS", "load"))
            t0, duration, n = time.monotonic(), args.minutes * 60, 0
            while True:
                samples.append(sample(time.monotonic() - t0, pids, rest,
                                      mover))
                print_sample(samples[-1], samples[-2] if n else None)
                if samples[-1]["t"] >= duration - 1e-6:
                    break
                n += 1
                next_at = min(n * args.sample_seconds, duration)
                time.sleep(max(0.0, next_at - (time.monotonic() - t0)))
            mover_ok = mover.alive()
        finally:
            mover.stop()
        code, gone_s = exit_by_label(host)
        if args.keep:
            log("memory: kept %s" % host.tmp)
    return memory_figures(samples, args, dict(
        exit_code=code, watcher_gone_after_exit_s=gone_s,
        watcher_found=pids["watcher"] is not None,
        mover_ran_throughout=mover_ok))


def memory_figures(samples, args, extra):
    warm = next((s for s in samples if s["t"] >= args.warmup - 1e-6),
                samples[-1])
    first, last = samples[0], samples[-1]
    after = [s for s in samples if s["t"] >= warm["t"]]

    def per_s(key, a=first, b=last):
        if b[key] is None or a[key] is None or b["t"] == a["t"]:
            return None
        return (b[key] - a[key]) / (b["t"] - a["t"])
    steps = [per_s("cpu", a, b) for a, b in zip(samples, samples[1:])]
    steps = [v for v in steps if v is not None]
    return dict(
        extra, minutes=args.minutes, sample_s=args.sample_seconds,
        warmup_s=warm["t"], wall_s=last["t"] - first["t"],
        rss_first_kib=first["rss"], rss_warm_kib=warm["rss"],
        rss_final_kib=last["rss"], rss_growth_kib=last["rss"] - warm["rss"],
        rss_min_after_warm_kib=min(s["rss"] for s in after),
        rss_max_after_warm_kib=max(s["rss"] for s in after),
        rss_trend_kib_per_min=sp.trend([(s["t"], s["rss"]) for s in after]),
        anon_warm_kib=warm["anon"], anon_final_kib=last["anon"],
        watcher_rss_warm_kib=warm["watcher_rss"],
        watcher_rss_final_kib=last["watcher_rss"],
        server_rss_warm_kib=warm["server_rss"],
        server_rss_final_kib=last["server_rss"],
        hwm_final_kib=last["hwm"], threads=last["threads"],
        cpu_s_per_s=per_s("cpu"), server_cpu_s_per_s=per_s("server_cpu"),
        watcher_cpu_s_per_s=per_s("watcher_cpu"),
        rest_cpu_s_per_s=per_s("rest_cpu"),
        cpu_interval_min=min(steps) if steps else None,
        cpu_interval_max=max(steps) if steps else None,
        ctxsw_per_s=per_s("vcsw"),
        load_min=min(s["load"] for s in samples),
        load_max=max(s["load"] for s in samples), samples=samples)
