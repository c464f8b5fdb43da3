"""What the soak reads from /proc: the Wine processes of one prefix, their
resident memory and CPU time, and the machine's load.

A Windows program under Wine is one Unix process whose command line starts
with the program's path, so Tarnwick.exe, the pointer watcher it starts
(TarnwickWatch.exe) and Wine's own helpers (explorer, services, ...) are
told apart by that first word.  The wineserver serving the prefix is found
by the WINEPREFIX in its environment; other prefixes on the machine have
servers of their own.
"""

import os
import statistics

from harness import winehost

CLK_TCK = os.sysconf("SC_CLK_TCK")


def status(pid):
    """VmRSS, VmHWM, VmSize, RssAnon, RssFile (KiB), Threads and voluntary
    context switches of ``pid``; empty when the process is gone."""
    out = {}
    try:
        with open("/proc/%d/status" % pid) as f:
            lines = f.read().splitlines()
    except OSError:
        return out
    for line in lines:
        key, _, value = line.partition(":")
        if key in ("VmRSS", "VmHWM", "VmSize", "RssAnon", "RssFile",
                   "Threads", "voluntary_ctxt_switches"):
            out[key] = int(value.split()[0])
    return out


def cpu_seconds(pid):
    """utime + stime of ``pid`` (all its threads, no children), or None
    when the process is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            stat = f.read()
    except OSError:
        return None
    # The command name is in parentheses and may hold spaces.
    fields = stat[stat.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def program_name(words):
    """The bare file name a Wine process runs: the last part of its first
    word (``C:\\windows\\system32\\explorer.exe`` -> ``explorer.exe``);
    the prefix's server is ``wineserver``."""
    name = (words[0] if words else "").replace("\\", "/").rsplit("/", 1)[-1]
    return "wineserver" if name.startswith("wineserver") else name


def prefix_processes(prefix):
    """{pid: program name} of the live processes running in ``prefix``,
    the wineserver included."""
    return {pid: program_name(words) for pid, words in
            winehost.prefix_processes(prefix).items()}


def pids_named(prefix, name):
    """Pids in ``prefix`` running exactly ``name`` (case-insensitive)."""
    return sorted(pid for pid, n in prefix_processes(prefix).items()
                  if n.lower() == name.lower())


def load_average():
    """The machine's 1-minute load average: the soak shares its cores with
    whatever else runs, and CPU figures mean little without it."""
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def trend(points):
    """Least-squares slope of (seconds, value) points, per minute."""
    pts = [(t, v) for t, v in points if v is not None]
    if len(pts) < 2:
        return None
    mx = statistics.fmean(x for x, _ in pts)
    my = statistics.fmean(y for _, y in pts)
    den = sum((x - mx) ** 2 for x, _ in pts)
    return sum((x - mx) * (y - my) for x, y in pts) / den * 60 if den else None
