#!/usr/bin/env python3
"""Soak of the real Tarnwick.exe under Wine: rotation at the fastest tick with
every role on and the mouse moving the whole time.

Two runs, each in a fresh prefix on a private X display (tests/e2e/winehost):

1. copies: a short window (--relay-seconds) with Wine's relay log of
   CopyIcon, SetSystemCursor, DestroyIcon and friends.  Every copy the
   program makes is followed from its CopyIcon to the call that ends it, and
   the copies still held at the end of the window are counted.  The program
   is then closed with its Exit label, so the restores show up too.
2. memory and CPU: --minutes of rotation without the relay (which slows
   everything down), sampling VmRSS of the process running Tarnwick.exe and
   utime+stime of it and of its wineserver every --sample-seconds.

Goals: at the end of the window no more copies alive than the three saved
user pointers and the one in flight; at most --rss-goal-kib of resident
memory growth after the warm-up.  CPU is reported; --cpu-goal judges it.

Not part of CI: a full run takes over ten minutes.
"""

import argparse
import json
import math
import os
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

import tarnwick_folder as tf  # noqa: E402
import winehost  # noqa: E402

OCR_NAMES = {tf.OCR_NORMAL: "normal", tf.OCR_APPSTARTING: "app-starting",
             tf.OCR_WAIT: "wait"}
ROLES = [tf.OCR_NORMAL, tf.OCR_APPSTARTING, tf.OCR_WAIT]

# What the copy ledger needs: every call that makes, hands over or ends a
# pointer handle, plus GetCursor (which says a copy is a capture) and
# GetCursorPos (one per tick).  LoadCursorFromFileW names the slice handles,
# so a destroy of one of those is told apart from a destroy of a copy.
RELAY = ("user32.CopyIcon", "user32.SetSystemCursor", "user32.DestroyIcon",
         "user32.DestroyCursor", "user32.GetCursor", "user32.GetCursorPos",
         "user32.LoadCursorFromFileW")

SAVED_ROLES = 3      # the user's pointers kept for the restore
IN_FLIGHT = 1        # one install between its CopyIcon and its DestroyIcon

SET_NAME = "Soak"
SET_COLOUR = (255, 160, 0)


def log(msg):
    print("soak: " + msg, flush=True)


# --------------------------------------------------------------------------
# The mouse: a circle, round and round, for as long as the run lasts

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
        env = dict(os.environ, DISPLAY=display)
        self.proc = subprocess.Popen(
            ["sh", "-c", 'while :; do xdotool "$@" || exit 1; done', "mover",
             *points], env=env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self.steps = steps

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait(timeout=10)


# --------------------------------------------------------------------------
# /proc readers

CLK_TCK = os.sysconf("SC_CLK_TCK")


def proc_status(pid):
    """VmRSS, VmHWM, RssAnon, RssFile (KiB), Threads and context switches
    of ``pid``."""
    out = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            value = value.split()
            if key in ("VmRSS", "VmHWM", "VmSize", "RssAnon", "RssFile"):
                out[key] = int(value[0])
            elif key in ("Threads", "voluntary_ctxt_switches",
                         "nonvoluntary_ctxt_switches"):
                out[key] = int(value[0])
    return out


def proc_cpu(pid):
    """utime + stime of ``pid`` in seconds (its own threads, no children)."""
    with open("/proc/%d/stat" % pid) as f:
        stat = f.read()
    # The command name is in parentheses and may hold spaces.
    fields = stat[stat.rindex(")") + 2:].split()
    utime, stime = int(fields[11]), int(fields[12])
    return (utime + stime) / CLK_TCK


def proc_environ(pid):
    try:
        with open("/proc/%d/environ" % pid, "rb") as f:
            raw = f.read()
    except OSError:
        return {}
    env = {}
    for item in raw.split(b"\0"):
        k, sep, v = item.partition(b"=")
        if sep:
            env[k.decode(errors="replace")] = v.decode(errors="replace")
    return env


def proc_cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def wineserver_of(prefix):
    """Pid of the wineserver serving ``prefix``: the one whose environment
    names it.  Other prefixes on the machine have wineservers of their own."""
    want = os.path.realpath(prefix)
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        pid = int(name)
        try:
            with open("/proc/%d/comm" % pid) as f:
                comm = f.read().strip()
        except OSError:
            continue
        if not comm.startswith("wineserver"):
            continue
        env = proc_environ(pid)
        if os.path.realpath(env.get("WINEPREFIX", "")) == want:
            return pid
    return None


def program_pid(host, exe_name="Tarnwick.exe"):
    """Pid of the process running the program.  The wine loader we start
    becomes the Windows process itself (it rewrites its command line to the
    exe's path), so this is normally ``host.proc.pid``."""
    pid = host.proc.pid
    if exe_name.lower() in proc_cmdline(pid).lower():
        return pid
    want = os.path.realpath(host.prefix)
    for name in os.listdir("/proc"):
        if name.isdigit() and exe_name.lower() in proc_cmdline(int(name)).lower() \
                and os.path.realpath(proc_environ(int(name))
                                     .get("WINEPREFIX", "")) == want:
            return int(name)
    raise winehost.HarnessError("no process runs %s" % exe_name)


# --------------------------------------------------------------------------
# The copy ledger

class Ledger:
    """Every copy CopyIcon made in the program's process, and what ended it.

    How copies are counted:

    * made: a CopyIcon that returned a non-null handle.  Its kind is
      ``capture`` when the call just before was the GetCursor whose result
      it copies (a saved user pointer), ``install`` when the next call is a
      SetSystemCursor of it (a tick's fresh copy), else ``other``.
    * destroyed: a DestroyIcon or DestroyCursor of it that returned TRUE.
    * handed over: passed to SetSystemCursor.  On Windows the system takes
      the handle and destroys it; Wine's SetSystemCursor is a stub that keeps
      nothing and destroys nothing, so there the handle still exists.
    * held (what Wine still keeps in memory) = made - destroyed.
    * owned (what the program still has to release, by Windows' rules) =
      made - destroyed - handed over.

    A CopyIcon still waiting for its Ret at the end of the log made nothing
    yet.  Handles are matched by value; a value is only reused by Wine after
    its handle was destroyed, and ``reused_live`` counts any that were not.
    """

    def __init__(self, calls):
        self.copies = {}            # handle -> record of the copy alive now
        self.done = []              # records of copies that ended
        self.slices = set()         # handles LoadCursorFromFileW returned
        self.counts = dict(made=0, capture=0, install=0, other=0,
                           destroyed=0, handed=0, destroy_failed=0,
                           destroy_after_handover=0, destroy_unknown=0,
                           destroy_slice=0, set_unknown=0, reused_live=0,
                           copy_failed=0)
        for i, c in enumerate(calls):
            f = c.func
            if f == "LoadCursorFromFileW" and c.returned and c.retval:
                self.slices.add(c.retval)
            elif f == "CopyIcon":
                if not c.returned:
                    continue
                if not c.retval:
                    self.counts["copy_failed"] += 1
                    continue
                prev = calls[i - 1] if i else None
                nxt = calls[i + 1] if i + 1 < len(calls) else None
                if prev is not None and prev.func == "GetCursor" and \
                        prev.retval == c.args[0].value:
                    kind = "capture"
                elif nxt is not None and nxt.func == "SetSystemCursor" and \
                        nxt.args[0].value == c.retval:
                    kind = "install"
                else:
                    kind = "other"
                if c.retval in self.copies:
                    self.counts["reused_live"] += 1
                self.copies[c.retval] = dict(handle=c.retval, kind=kind,
                                             made=c.index, handed=None,
                                             role=None, time=c.time)
                self.counts["made"] += 1
                self.counts[kind] += 1
            elif f == "SetSystemCursor":
                h = c.args[0].value
                rec = self.copies.get(h)
                if rec is None:
                    if h:
                        self.counts["set_unknown"] += 1
                    continue
                if rec["handed"] is None:
                    rec["handed"] = c.index
                    rec["role"] = c.args[1].value
                    self.counts["handed"] += 1
            elif f in ("DestroyIcon", "DestroyCursor"):
                if not c.returned:
                    continue
                h = c.args[0].value
                rec = self.copies.get(h)
                if rec is None:
                    if h in self.slices:
                        self.counts["destroy_slice"] += 1
                    else:
                        self.counts["destroy_unknown"] += 1
                    continue
                if not c.retval:
                    self.counts["destroy_failed"] += 1
                    continue
                if rec["handed"] is not None:
                    self.counts["destroy_after_handover"] += 1
                del self.copies[h]
                self.done.append(rec)
                self.counts["destroyed"] += 1

    def held(self, kind=None):
        return [r for r in self.copies.values()
                if kind is None or r["kind"] == kind]

    def owned(self, kind=None):
        return [r for r in self.held(kind) if r["handed"] is None]


# A capture, a tick that destroys its copy, a tick cut off after the
# install, and a restore of the saved copy (pid and thread left out).
LEDGER_EXAMPLE = """\
0024:Call user32.GetCursor() ret=1
0024:Ret  user32.GetCursor() retval=000100b4 ret=1
0024:Call user32.CopyIcon(000100b4) ret=2
0024:Ret  user32.CopyIcon() retval=000100b6 ret=2
0024:Call user32.CopyIcon(0005008a) ret=2
0024:Ret  user32.CopyIcon() retval=00f100a8 ret=2
0024:Call user32.SetSystemCursor(00f100a8,00007f00) ret=4
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=4
0024:Call user32.DestroyIcon(00f100a8) ret=5
0024:Ret  user32.DestroyIcon() retval=00000001 ret=5
0024:Call user32.CopyIcon(0005008a) ret=2
0024:Ret  user32.CopyIcon() retval=00f200a8 ret=2
0024:Call user32.SetSystemCursor(00f200a8,00007f00) ret=4
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=4
0024:Call user32.SetSystemCursor(000100b6,00007f00) ret=4
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=4
0024:Call user32.CopyIcon(0005008a) ret=2
"""


def self_test():
    """The ledger's counts on LEDGER_EXAMPLE, checked by hand."""
    ledger = Ledger(winehost.RelayLog(LEDGER_EXAMPLE).calls())
    c = ledger.counts
    got = (c["made"], c["capture"], c["install"], c["destroyed"],
           c["handed"], c["destroy_after_handover"], len(ledger.held()),
           len(ledger.held("capture")), len(ledger.owned()))
    want = (3, 1, 2, 1, 3, 1, 2, 1, 0)
    assert got == want, (got, want)
    log("self-test passed: %s" % (dict(zip(
        ("made", "capture", "install", "destroyed", "handed",
         "destroyed_after_handover", "held", "held_capture", "owned"),
        got)),))


def tick_figures(calls):
    """Installs per role, ticks and their spacing, from the first install on.

    A tick is one GetCursorPos followed by installs; the rate is taken
    between the first and the last normal-role install (Wine's +timestamp
    clock, ms resolution)."""
    ins = tf.installs(calls)
    by_role = {r: [i for i in ins if i.role == r] for r in ROLES}
    times = {c.index: c.time for c in calls}
    normal = [times[i.index] for i in by_role[tf.OCR_NORMAL]]
    out = dict(installs=len(ins),
               installs_by_role={OCR_NAMES[r]: len(v) for r, v in by_role.items()},
               ticks=len(normal), not_destroyed_straight_after=sum(
                   1 for i in ins if not i.destroyed))
    if len(normal) >= 2:
        span = normal[-1] - normal[0]
        gaps = sorted(b - a for a, b in zip(normal, normal[1:]))
        out.update(span_s=span,
                   ticks_per_s=(len(normal) - 1) / span if span else None,
                   installs_per_s=len(ins) / span if span else None,
                   gap_median_ms=1000 * statistics.median(gaps),
                   gap_p95_ms=1000 * gaps[int(0.95 * (len(gaps) - 1))],
                   gap_max_ms=1000 * gaps[-1])
    return out


def relay_text_upto(path, size):
    """The first ``size`` bytes of the log, cut back to a whole line."""
    with open(path, "rb") as f:
        data = f.read(size)
    end = data.rfind(b"\n")
    return data[:end + 1].decode("utf-8", errors="replace")


def program_calls(text, exe_name="Tarnwick.exe"):
    relay = winehost.RelayLog(text)
    return relay.calls(pids=relay.pids_of(exe_name))


# --------------------------------------------------------------------------
# Running the program

ROLE_CHOICES = {"all": (1, 1), "normal": (1, 0), "busy": (0, 1),
                "none": (0, 0)}


def make_folder(host, args):
    folder = tf.ProgramFolder(host.tmp, args.exe)
    folder.add_set(SET_NAME, SET_COLOUR)
    # Automatic start with a 1 ms tick; by default the normal and the busy
    # pointers both rotate.
    normal, busy = ROLE_CHOICES[args.roles]
    folder.write_settings(auto=1, normal=normal, busy=busy, interval=1,
                          slider=128, set_file=SET_NAME + ".TWC")
    return folder


def exit_by_label(host, timeout=30):
    """Bring the window back from the tray and press Exit, as a user would;
    returns the exit code, or None when the program had to be killed."""
    try:
        host.click_tray_icon(button=1)
        main = host.wait_window(timeout=timeout, name=tf.TITLE,
                                pid=host.proc.pid)
        host.click(*tf.screen_centre(main, tf.EXIT_LABEL))
        return host.wait_exit(timeout=timeout)
    except (TimeoutError, winehost.HarnessError) as e:
        log("clean exit failed (%s); killing the program" % e)
        host.kill()
        return None


def run_copies(args):
    """The relay window: copies made, ended and still held."""
    with winehost.WineHost(relay_include=RELAY, unmanaged_exes=["Tarnwick.exe"],
                           keep=args.keep) as host:
        folder = make_folder(host, args)
        mover = Mover(host.display)
        try:
            host.start(folder.exe, timestamps=True)
            host.wait_call("user32.SetSystemCursor", 1, timeout=60)
            pid = program_pid(host)
            log("copies: rotating; relay window of %gs" % args.relay_seconds)
            load0, cpu0, t0 = load_average(), proc_cpu(pid), time.monotonic()
            time.sleep(args.relay_seconds)
            cut = os.path.getsize(host.log_path)
            cpu = (proc_cpu(pid) - cpu0) / (time.monotonic() - t0)
            load1 = load_average()
            mover_ok = mover.alive()
        finally:
            mover.stop()
        code = exit_by_label(host)
        window_calls = program_calls(relay_text_upto(host.log_path, cut))
        all_calls = host.program_calls()
        if args.keep:
            log("copies: kept %s" % host.tmp)

    at_end = Ledger(window_calls)
    after = Ledger(all_calls)
    restores = tf.restores(all_calls)
    saved = [r for r in after.done + list(after.copies.values())
             if r["kind"] == "capture"]
    restored_saved = [r for r in restores
                      if any(s["handle"] == r[1] for s in saved)]
    return dict(
        window_s=args.relay_seconds, mover_ran_throughout=mover_ok,
        cpu_s_per_s_with_relay=cpu, load=(load0, load1),
        exit_code=code, ticks=tick_figures(window_calls),
        at_end=dict(counts=at_end.counts,
                    held=len(at_end.held()),
                    held_capture=len(at_end.held("capture")),
                    held_install=len(at_end.held("install")),
                    held_other=len(at_end.held("other")),
                    owned=len(at_end.owned())),
        after_exit=dict(counts=after.counts, held=len(after.held()),
                        held_capture=len(after.held("capture")),
                        held_install=len(after.held("install")),
                        held_other=len(after.held("other")),
                        owned=len(after.owned()),
                        restores=[(OCR_NAMES.get(r[0], hex(r[0])), r[1])
                                  for r in restores],
                        restores_of_saved=len(restored_saved)))


def run_memory(args):
    """Rotation without the relay: resident memory and CPU over time."""
    samples = []
    with winehost.WineHost(unmanaged_exes=["Tarnwick.exe"],
                           keep=args.keep) as host:
        folder = make_folder(host, args)
        mover = Mover(host.display)
        try:
            host.start(folder.exe, relay=False)
            pid = program_pid(host)
            # Nothing is logged without the relay; the tray icon says start-up
            # got as far as Form_Load, and the automatic start follows 100 ms
            # after it.  The settle time covers that and the first captures.
            host.tray_window(timeout=60)
            time.sleep(args.settle)
            server = wineserver_of(host.prefix)
            log("memory: Tarnwick.exe is pid %d, wineserver pid %s; %g min, "
                "a sample every %gs" % (pid, server, args.minutes,
                                        args.sample_seconds))
            t0 = time.monotonic()
            duration = args.minutes * 60
            n = 0
            log("  %6s %9s %9s %7s %7s %7s %8s %5s" % (
                "t s", "VmRSS", "RssAnon", "cpu/s", "srv/s", "ctxsw/s",
                "srv RSS", "load"))
            while True:
                now = time.monotonic() - t0
                st = proc_status(pid)
                srv = proc_status(server) if server else {}
                s = dict(t=now, rss=st["VmRSS"], anon=st.get("RssAnon"),
                         hwm=st["VmHWM"], vsz=st["VmSize"],
                         threads=st["Threads"],
                         vcsw=st["voluntary_ctxt_switches"],
                         cpu=proc_cpu(pid),
                         server_cpu=proc_cpu(server) if server else None,
                         server_rss=srv.get("VmRSS"),
                         load=load_average(), mover=mover.alive())
                samples.append(s)
                prev = samples[-2] if len(samples) > 1 else None
                dt = now - prev["t"] if prev else 0

                def rate(key):
                    if not dt or s[key] is None:
                        return "-"
                    return "%.3f" % ((s[key] - prev[key]) / dt)
                log("  %6.1f %9d %9s %7s %7s %7s %8s %5.2f" % (
                    now, s["rss"], s["anon"], rate("cpu"), rate("server_cpu"),
                    "%.0f" % ((s["vcsw"] - prev["vcsw"]) / dt) if dt else "-",
                    s["server_rss"], s["load"]))
                if now >= duration - 1e-6:
                    break
                n += 1
                next_at = min(n * args.sample_seconds, duration)
                time.sleep(max(0.0, next_at - (time.monotonic() - t0)))
            mover_ok = mover.alive()
        finally:
            mover.stop()
        code = exit_by_label(host)
        if args.keep:
            log("memory: kept %s" % host.tmp)

    warm = next((s for s in samples if s["t"] >= args.warmup - 1e-6),
                samples[-1])
    last, first = samples[-1], samples[0]
    after = [s for s in samples if s["t"] >= warm["t"]]
    wall = last["t"] - first["t"]

    def per_s(key, a=first, b=last):
        if b[key] is None or b["t"] == a["t"]:
            return None
        return (b[key] - a[key]) / (b["t"] - a["t"])
    intervals = [per_s("cpu", a, b) for a, b in zip(samples, samples[1:])]
    return dict(
        minutes=args.minutes, sample_s=args.sample_seconds,
        warmup_s=warm["t"], exit_code=code, mover_ran_throughout=mover_ok,
        rss_first_kib=first["rss"], rss_warm_kib=warm["rss"],
        rss_final_kib=last["rss"], rss_growth_kib=last["rss"] - warm["rss"],
        rss_min_after_warm_kib=min(s["rss"] for s in after),
        rss_max_after_warm_kib=max(s["rss"] for s in after),
        rss_trend_kib_per_min=trend(after, "rss"),
        anon_warm_kib=warm["anon"], anon_final_kib=last["anon"],
        server_rss_warm_kib=warm["server_rss"],
        server_rss_final_kib=last["server_rss"],
        hwm_final_kib=last["hwm"], threads=last["threads"], wall_s=wall,
        cpu_s_per_s=per_s("cpu"), server_cpu_s_per_s=per_s("server_cpu"),
        cpu_interval_min=min(intervals) if intervals else None,
        cpu_interval_max=max(intervals) if intervals else None,
        ctxsw_per_s=per_s("vcsw"),
        load_min=min(s["load"] for s in samples),
        load_max=max(s["load"] for s in samples),
        samples=samples)


def trend(samples, key):
    """Least-squares slope of ``key`` over time, in units per minute."""
    pts = [(s["t"], s[key]) for s in samples if s[key] is not None]
    if len(pts) < 2:
        return None
    mx = statistics.fmean(x for x, _ in pts)
    my = statistics.fmean(y for _, y in pts)
    den = sum((x - mx) ** 2 for x, _ in pts)
    return sum((x - mx) * (y - my) for x, y in pts) / den * 60 if den else None


def load_average():
    """The machine's 1-minute load average: the soak shares two cores with
    whatever else runs, and CPU figures mean little without it."""
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


# --------------------------------------------------------------------------
# The report

def verdict(ok):
    return "PASS" if ok else "FAIL"


def report(copies, memory, args):
    print()
    print("=" * 72)
    print("Tarnwick soak: %s under %s, tick 1 ms asked, roles: %s"
          % (os.path.relpath(args.exe, REPO) if args.exe.startswith(REPO)
             else args.exe, winehost.wine_version(),
             {"all": "normal, app-starting, wait", "normal": "normal",
              "busy": "app-starting, wait", "none": "none (ticks only)"}
             [args.roles]))
    print("=" * 72)
    results = []
    if copies:
        t, e, a = copies["ticks"], copies["at_end"], copies["after_exit"]
        c = e["counts"]
        print("Copies (relay window of %gs, mouse moving: %s)"
              % (copies["window_s"], "yes" if copies["mover_ran_throughout"]
                 else "NO, the mover stopped"))
        print("  ticks                       %d (%.1f per s; asked 1000 per s)"
              % (t["ticks"], t.get("ticks_per_s") or 0))
        print("  CPU Tarnwick.exe, relayed   %.3f s per s; machine load %.2f "
              "then %.2f" % (copies["cpu_s_per_s_with_relay"],
                            *copies["load"]))
        print("  tick spacing                median %.1f ms, 95%% %.1f ms, "
              "max %.1f ms" % (t.get("gap_median_ms", 0),
                               t.get("gap_p95_ms", 0), t.get("gap_max_ms", 0)))
        print("  installs                    %d (%.1f per s): %s"
              % (t["installs"], t.get("installs_per_s") or 0,
                 ", ".join("%s %d" % kv for kv in
                           t["installs_by_role"].items())))
        print("  copies made                 %d (captures %d, installs %d, "
              "other %d)" % (c["made"], c["capture"], c["install"],
                             c["other"]))
        print("  copies destroyed            %d (of them after SetSystemCursor"
              " had them: %d)" % (c["destroyed"], c["destroy_after_handover"]))
        print("  copies handed to SetSystemCursor  %d" % c["handed"])
        print("  held at window end          %d (saved user pointers %d, "
              "install in flight %d, other %d); made - destroyed = %d"
              % (e["held"], e["held_capture"], e["held_install"],
                 e["held_other"], c["made"] - c["destroyed"]))
        print("  owned at window end         %d (held and never handed to "
              "SetSystemCursor)" % e["owned"])
        print("  other handles destroyed     %d slices of replaced sets, %d "
              "others (list pictures)" % (c["destroy_slice"],
                                          c["destroy_unknown"]))
        odd = {k: c[k] for k in ("copy_failed", "destroy_failed",
                                 "set_unknown", "reused_live") if c[k]}
        print("  anomalies                   %s" % (odd or "none"))
        ok = (e["held_capture"] <= SAVED_ROLES and
              e["held_install"] + e["held_other"] <= IN_FLIGHT and
              not c["destroy_failed"] and not c["reused_live"] and
              t["not_destroyed_straight_after"] <= IN_FLIGHT)
        results.append(("copies held at window end <= %d saved + %d in flight"
                        % (SAVED_ROLES, IN_FLIGHT), ok))
        print("  after Exit (exit code %s): restores %s; held %d (saved %d, "
              "installs %d, other %d), owned %d"
              % (copies["exit_code"], a["restores"], a["held"],
                 a["held_capture"], a["held_install"], a["held_other"],
                 a["owned"]))
        if copies["exit_code"] is not None:
            results.append(("Exit hands the %d saved copies back and keeps "
                            "no install" % SAVED_ROLES,
                            a["restores_of_saved"] == SAVED_ROLES and
                            a["held_install"] == 0 and a["owned"] == 0))
        print()
    if memory:
        m = memory
        print("Memory and CPU (no relay, %g min, a sample every %gs, mouse "
              "moving: %s, exit code %s)"
              % (m["minutes"], m["sample_s"],
                 "yes" if m["mover_ran_throughout"] else "NO",
                 m["exit_code"]))
        print("  VmRSS first sample          %d KiB" % m["rss_first_kib"])
        print("  VmRSS warm-up (t=%3.0fs)     %d KiB" % (m["warmup_s"],
                                                      m["rss_warm_kib"]))
        print("  VmRSS final (t=%3.0fs)       %d KiB" % (m["wall_s"],
                                                      m["rss_final_kib"]))
        print("  growth after warm-up        %+d KiB (min %d, max %d KiB "
              "after warm-up)" % (m["rss_growth_kib"],
                                  m["rss_min_after_warm_kib"],
                                  m["rss_max_after_warm_kib"]))
        if m["rss_trend_kib_per_min"] is not None:
            print("  trend after warm-up         %+.1f KiB per min (%+.0f KiB "
                  "per 10 min)" % (m["rss_trend_kib_per_min"],
                                   m["rss_trend_kib_per_min"] * 10))
        print("  RssAnon warm-up / final     %s / %s KiB" % (
            m["anon_warm_kib"], m["anon_final_kib"]))
        print("  wineserver VmRSS warm/final %s / %s KiB" % (
            m["server_rss_warm_kib"], m["server_rss_final_kib"]))
        print("  VmHWM final                 %d KiB; threads %d"
              % (m["hwm_final_kib"], m["threads"]))
        print("  CPU Tarnwick.exe            %.3f s per s (intervals %.3f to "
              "%.3f)" % (m["cpu_s_per_s"], m["cpu_interval_min"],
                         m["cpu_interval_max"]))
        if m["server_cpu_s_per_s"] is not None:
            print("  CPU wineserver              %.3f s per s"
                  % m["server_cpu_s_per_s"])
            print("  CPU both                    %.3f s per s"
                  % (m["cpu_s_per_s"] + m["server_cpu_s_per_s"]))
        print("  voluntary context switches  %.0f per s (Tarnwick.exe)"
              % m["ctxsw_per_s"])
        print("  machine load (1 min avg)    %.2f to %.2f on %d cores"
              % (m["load_min"], m["load_max"], os.cpu_count()))
        results.append(("VmRSS growth after warm-up <= %d KiB"
                        % args.rss_goal_kib,
                        m["rss_growth_kib"] <= args.rss_goal_kib))
        if args.cpu_goal is not None:
            total = m["cpu_s_per_s"] + (m["server_cpu_s_per_s"] or 0)
            results.append(("CPU (Tarnwick.exe + wineserver) <= %g s per s"
                            % args.cpu_goal, total <= args.cpu_goal))
        print()
    for what, ok in results:
        print("  %s  %s" % (verdict(ok), what))
    print("=" * 72)
    return all(ok for _, ok in results)


def main(argv=None):
    p = argparse.ArgumentParser(
        description="Soak the real Tarnwick.exe under Wine at a 1 ms tick "
                    "with every role on and the mouse moving.")
    p.add_argument("--exe", default=tf.tarnwick_exe(),
                   help="program under test (default: $TARNWICK_EXE or "
                        "build/mingw/Tarnwick.exe)")
    p.add_argument("--relay-seconds", type=float, default=25,
                   help="length of the relay window for counting copies "
                        "(default 25)")
    p.add_argument("--minutes", type=float, default=10,
                   help="length of the memory run without the relay "
                        "(default 10)")
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
    p.add_argument("--roles", choices=sorted(ROLE_CHOICES), default="all",
                   help="pointers that rotate (default all three; 'none' "
                        "still ticks, for the cost of a tick alone)")
    p.add_argument("--skip-copies", action="store_true",
                   help="leave out the relay window")
    p.add_argument("--skip-memory", action="store_true",
                   help="leave out the memory run")
    p.add_argument("--json", help="also write every figure (and the "
                                  "samples) to this file")
    p.add_argument("--self-test", action="store_true",
                   help="check the copy ledger on a written example and stop")
    p.add_argument("--keep", action="store_true",
                   help="keep each run's prefix, logs and program folder")
    args = p.parse_args(argv)
    args.exe = os.path.abspath(args.exe)
    if args.self_test:
        self_test()
        return 0

    missing = winehost.missing_tools()
    if missing:
        log("missing tools: " + ", ".join(missing))
        return 2
    if not os.path.isfile(args.exe):
        log("no program at %s: build it with `cmake --preset mingw && "
            "cmake --build --preset mingw -j2`" % args.exe)
        return 2
    if args.warmup >= args.minutes * 60 and not args.skip_memory:
        log("--warmup must be shorter than the memory run")
        return 2

    started = time.monotonic()
    copies = None if args.skip_copies else run_copies(args)
    memory = None if args.skip_memory else run_memory(args)
    ok = report(copies, memory, args)
    log("finished in %.0fs" % (time.monotonic() - started))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(dict(exe=args.exe, wine=winehost.wine_version(),
                           copies=copies, memory=memory, passed=ok), f,
                      indent=1)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
