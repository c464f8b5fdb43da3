"""The soak's reading of a relay log: every pointer copy the program made and
what ended it, and how fast the ticks came.

The program copies pointers two ways: the user's own pointers are saved with
CopyImage (which keeps an animated pointer's frames) and released with
DestroyCursor; each tick installs a CopyIcon of a direction image with
SetSystemCursor and releases it with DestroyIcon.  The ledger follows every
copy of either kind from the call that made it to the call that ended it.
"""

import statistics
import sys

from harness import tarnwick_folder as tf
from harness import winehost

COPY_CALLS = ("CopyIcon", "CopyImage")
RELEASE_CALLS = ("DestroyIcon", "DestroyCursor")
# The call each kind of copy is meant to be released with.
RELEASE_OF = {"CopyIcon": "DestroyIcon", "CopyImage": "DestroyCursor"}
SAVED_KINDS = ("capture", "resave")
KINDS = SAVED_KINDS + ("install", "other")

OCR_NAMES = {tf.OCR_NORMAL: "normal", tf.OCR_APPSTARTING: "app-starting",
             tf.OCR_WAIT: "wait"}
ROLES = [tf.OCR_NORMAL, tf.OCR_APPSTARTING, tf.OCR_WAIT]

# What the ledger needs relayed: every call that makes, hands over or ends a
# pointer handle, plus LoadCursorW (which says a copy is a capture) and
# LoadImageW (which names the slice handles, so a destroy of one of
# those is told apart from a destroy of a copy).  CreateProcessW and
# SystemParametersInfoW show the watcher starting and what it did.
RELAY = ("user32.CopyIcon", "user32.CopyImage", "user32.SetSystemCursor",
         "user32.DestroyIcon", "user32.DestroyCursor", "user32.LoadCursorW",
         "user32.LoadImageW", "kernel32.CreateProcessW",
         "user32.SystemParametersInfoW")
# The rate window relays only the installs: a few lines a tick.
RATE_RELAY = ("user32.SetSystemCursor",)


class Ledger:
    """Every copy made in the program's process, and what ended it.

    * made: a CopyIcon or CopyImage that returned a non-null handle.  Its
      kind is ``capture`` when the call just before was the LoadCursorW whose
      result it copies (a saved user pointer), ``resave`` when it copies a
      saved copy still alive (the fresh copy kept when a role is switched
      off), ``install`` when the next call is a SetSystemCursor of it (a
      tick's copy), else ``other``.
    * destroyed: a DestroyIcon or DestroyCursor of it that returned TRUE;
      ``other_way`` counts copies ended by the call not meant for their kind
      (a CopyImage copy by DestroyIcon, or a CopyIcon copy by DestroyCursor).
    * handed over: passed to SetSystemCursor.  On Windows the system takes
      the handle and destroys it; Wine's SetSystemCursor is a stub that keeps
      nothing and destroys nothing, so there the handle still exists.
    * held (what Wine still keeps) = made - destroyed; owned (what the
      program still has to release, by Windows' rules) = held and never
      handed over.

    A copy call still waiting for its Ret at the end of the log made nothing
    yet.  Handles are matched by value; Wine reuses a value only after its
    handle was destroyed, and ``reused_live`` counts any that were not.
    """

    COUNTS = ("made",) + KINDS + (
        "by_CopyIcon", "by_CopyImage", "destroyed", "by_DestroyIcon",
        "by_DestroyCursor", "other_way", "handed", "destroy_after_handover",
        "destroy_failed", "destroy_slice", "destroy_unknown", "set_unknown",
        "reused_live", "copy_failed")

    def __init__(self, calls):
        self.copies = {}            # handle -> record of the copy alive now
        self.done = []              # records of copies that ended
        self.slices = set()         # pointers LoadImageW made of a file
        self.counts = dict.fromkeys(self.COUNTS, 0)
        for i, c in enumerate(calls):
            if tf.pointer_loads([c]) and c.returned and c.retval:
                self.slices.add(c.retval)
            elif c.func in COPY_CALLS:
                self._copy(c, calls[i - 1] if i else None,
                           calls[i + 1] if i + 1 < len(calls) else None)
            elif c.func == "SetSystemCursor":
                self._hand(c)
            elif c.func in RELEASE_CALLS:
                self._release(c)

    def _copy(self, c, prev, nxt):
        if not c.returned:
            return
        if not c.retval:
            self.counts["copy_failed"] += 1
            return
        source = self.copies.get(c.args[0].value)
        if prev is not None and prev.func == "LoadCursorW" and \
                prev.retval == c.args[0].value:
            kind = "capture"
        elif source is not None and source["kind"] in SAVED_KINDS:
            kind = "resave"
        elif nxt is not None and nxt.func == "SetSystemCursor" and \
                nxt.args[0].value == c.retval:
            kind = "install"
        else:
            kind = "other"
        if c.retval in self.copies:
            self.counts["reused_live"] += 1
        self.copies[c.retval] = dict(handle=c.retval, kind=kind, by=c.func,
                                     made=c.index, handed=None, role=None,
                                     ended_by=None)
        self.counts["made"] += 1
        self.counts[kind] += 1
        self.counts["by_" + c.func] += 1

    def _hand(self, c):
        h = c.args[0].value
        rec = self.copies.get(h)
        if rec is None:
            if h:
                self.counts["set_unknown"] += 1
        elif rec["handed"] is None:
            rec["handed"], rec["role"] = c.index, c.args[1].value
            self.counts["handed"] += 1

    def _release(self, c):
        if not c.returned:
            return
        h = c.args[0].value
        rec = self.copies.get(h)
        if rec is None:
            self.counts["destroy_slice" if h in self.slices
                        else "destroy_unknown"] += 1
            return
        if not c.retval:
            self.counts["destroy_failed"] += 1
            return
        if rec["handed"] is not None:
            self.counts["destroy_after_handover"] += 1
        if RELEASE_OF[rec["by"]] != c.func:
            self.counts["other_way"] += 1
        rec["ended_by"] = c.func
        del self.copies[h]
        self.done.append(rec)
        self.counts["destroyed"] += 1
        self.counts["by_" + c.func] += 1

    def held(self, kinds=KINDS):
        return [r for r in self.copies.values() if r["kind"] in kinds]

    def owned(self, kinds=KINDS):
        return [r for r in self.held(kinds) if r["handed"] is None]

    def summary(self):
        return dict(counts=self.counts, held=len(self.held()),
                    held_saved=len(self.held(SAVED_KINDS)),
                    held_install=len(self.held(("install",))),
                    held_other=len(self.held(("other",))),
                    owned=len(self.owned()))

    def saved_handles(self):
        """Every saved copy made in the log, ended or not."""
        return {r["handle"] for r in self.done + list(self.copies.values())
                if r["kind"] in SAVED_KINDS}


def tick_figures(installs):
    """Installs per role and tick spacing, from ``(role, seconds)`` pairs
    of the installs in log order.  Every tick installs into each role that
    rotates, so the normal role's installs are the ticks; the rates are
    taken between its first and last install (Wine's +timestamp clock, ms
    resolution)."""
    normal = [t for role, t in installs if role == tf.OCR_NORMAL]
    out = dict(installs=len(installs), ticks=len(normal),
               installs_by_role={OCR_NAMES[r]: sum(1 for role, _ in installs
                                                   if role == r)
                                 for r in ROLES})
    if len(normal) >= 2 and normal[-1] > normal[0]:
        span = normal[-1] - normal[0]
        gaps = sorted(b - a for a, b in zip(normal, normal[1:]))
        out.update(span_s=span, ticks_per_s=(len(normal) - 1) / span,
                   installs_per_s=sum(1 for _, t in installs
                                      if normal[0] < t <= normal[-1]) / span,
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


def calls_of(relay, exe_name):
    return relay.calls(pids=relay.pids_of(exe_name))


# Two captures (the first released the wrong way when the second replaces
# it), a resave and a restore of the second, a slice of a replaced set, a
# tick that destroys its copy, a tick whose copy is still installed and a
# copy cut off before its Ret (pid left out).
LEDGER_EXAMPLE = """\
0024:Call user32.LoadCursorW(00000000,00007f00) ret=1
0024:Ret  user32.LoadCursorW() retval=000100b4 ret=1
0024:Call user32.CopyImage(000100b4,00000002,00000000,00000000,00000000) ret=2
0024:Ret  user32.CopyImage() retval=000100b6 ret=2
0024:Call user32.LoadImageW(00000000,00c94cf0 L"Z:\\\\mw.tmp",00000002,00000030,00000030,00000010) ret=3
0024:Ret  user32.LoadImageW() retval=0005008a ret=3
0024:Call user32.CopyIcon(0005008a) ret=4
0024:Ret  user32.CopyIcon() retval=00f100a8 ret=4
0024:Call user32.SetSystemCursor(00f100a8,00007f00) ret=5
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=5
0024:Call user32.DestroyIcon(00f100a8) ret=6
0024:Ret  user32.DestroyIcon() retval=00000001 ret=6
0024:Call user32.LoadCursorW(00000000,00007f00) ret=1
0024:Ret  user32.LoadCursorW() retval=000100b4 ret=1
0024:Call user32.CopyImage(000100b4,00000002,00000000,00000000,00000000) ret=2
0024:Ret  user32.CopyImage() retval=000100b8 ret=2
0024:Call user32.DestroyIcon(000100b6) ret=7
0024:Ret  user32.DestroyIcon() retval=00000001 ret=7
0024:Call user32.CopyImage(000100b8,00000002,00000000,00000000,00000000) ret=2
0024:Ret  user32.CopyImage() retval=000100ba ret=2
0024:Call user32.SetSystemCursor(000100b8,00007f00) ret=5
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=5
0024:Call user32.CopyIcon(0005008a) ret=4
0024:Ret  user32.CopyIcon() retval=00f200a8 ret=4
0024:Call user32.SetSystemCursor(00f200a8,00007f00) ret=5
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=5
0024:Call user32.DestroyCursor(0005008a) ret=8
0024:Ret  user32.DestroyCursor() retval=00000001 ret=8
0024:Call user32.CopyIcon(0005008c) ret=4
"""


def self_test(log):
    """The ledger's counts on LEDGER_EXAMPLE, worked out by hand."""
    ledger = Ledger(winehost.RelayLog(LEDGER_EXAMPLE).calls())
    c, s = ledger.counts, ledger.summary()
    names = ("made", "capture", "resave", "install", "by_CopyImage",
             "destroyed", "by_DestroyIcon", "other_way", "handed",
             "destroy_after_handover", "destroy_slice")
    got = tuple(c[n] for n in names) + (s["held"], s["held_saved"],
                                        s["held_install"], s["owned"])
    want = (5, 2, 1, 2, 3, 2, 2, 1, 3, 1, 1, 3, 2, 1, 1)
    if got != want:
        log("self-test FAILED: got %s, want %s" % (got, want))
        return 1
    log("self-test passed: %s" % dict(zip(
        names + ("held", "held_saved", "held_install", "owned"), got)))
    return 0


if __name__ == "__main__":
    sys.exit(self_test(print))
