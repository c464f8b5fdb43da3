"""Run a Windows program under Wine on a private X server and watch it.

What a test gets from here:

* ``WineHost``: a context manager owning a throw-away Wine prefix, a private
  Xvfb display and everything Wine starts on it.  Leaving the ``with`` block
  (normally or by an exception) kills the program, the wineserver and Xvfb
  and deletes the prefix.
* ``RelayLog``: a parser for Wine's ``+relay`` trace, so a test can assert
  which Win32 calls the program made, with which arguments, in which order,
  and what they returned.

Only the standard library is used; the X side is driven with xdotool and
ImageMagick's ``import``.  Every wait has a timeout, so a hung program makes
a test fail instead of hanging CI.
"""

import contextlib
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time

from . import E2E

# Wine's own DLLs (and the helper processes it starts): calls made *from*
# these are left out of the relay log, so what remains is the program's own
# calls.  Without this, a single MessageBoxW shows up as hundreds of lines
# from comctl32 and user32 talking to each other.

DEFAULT_FROM_EXCLUDE = (
    "comctl32", "shell32", "user32", "gdi32", "kernel32", "kernelbase",
    "ntdll", "win32u", "uxtheme", "winex11.drv", "advapi32", "msvcrt",
    "ucrtbase", "combase", "ole32", "oleaut32", "imm32", "shlwapi", "rpcrt4",
    "sechost", "shcore", "comdlg32", "winspool.drv", "explorer.exe",
    "services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe",
    "rpcss.exe", "wineboot.exe", "conhost.exe",
)

# The calls the cursor program is judged on; tests may pass their own list.
DEFAULT_RELAY_INCLUDE = (
    "user32.CopyIcon", "user32.CopyImage", "user32.SetSystemCursor",
    "user32.DestroyIcon", "kernel32.CreateProcessW",
    "user32.GetCursor", "user32.LoadCursorW", "user32.SetCursorPos",
    "user32.GetCursorPos",
    "user32.LoadCursorFromFileW", "user32.LoadImageW",
    "shell32.Shell_NotifyIconW",
    "user32.MessageBoxW", "shell32.ShellExecuteW",
    "user32.SystemParametersInfoW",
)

# Root without the capabilities that let it read and write past file
# permissions, for WineHost.start(wrapper=...): a file of mode 000 is then as
# unreadable to the program as it is to a user on Windows.
NO_DAC_OVERRIDE = (
    "setpriv", "--bounding-set", "-dac_override,-dac_read_search",
    "--inh-caps", "-dac_override,-dac_read_search",
)

# Wine and its prefixes, the relay log and the X side live in modules of their
# own; their names are kept here too, so a test needs only this module.
from .wine_prefix import (HarnessError, WINE_ENV, _base_env,  # noqa: E402,F401
                          boot_prefix, clone_prefix, find_wine,
                          find_wineserver, missing_tools, set_user_reg_values,
                          template_prefix, wine_version, windows_path)
from .relay_log import (Arg, Call, RelayLog, WndProcCall,  # noqa: E402,F401
                        decode_wine_string, is_subsequence, split_args)


# --------------------------------------------------------------------------
# X display and the program
from .xdisplay import Window, XDisplay, wait_until  # noqa: E402,F401


def nudge_exe():
    """tests/e2e/build/nudge.exe and the shim.dll beside it, built here if
    run.sh has not built them."""
    build = os.path.join(E2E, "build")
    exe = os.path.join(build, "nudge.exe")
    for out, source, flags, libs in (
            (exe, "nudge.c", ["-municode", "-static"],
             ["-loleacc", "-lole32", "-loleaut32"]),
            (os.path.join(build, "shim.dll"), "shim.c", ["-shared"],
             ["-lgdi32"])):
        if not os.path.exists(out):
            os.makedirs(build, exist_ok=True)
            subprocess.run(["x86_64-w64-mingw32-gcc", "-O1", *flags, "-o", out,
                            os.path.join(E2E, "probe", source), "-luser32",
                            "-ladvapi32", *libs],
                           check=True, timeout=120)
    return exe


def process_alive(pid):
    """True while ``pid`` exists and is not a zombie."""
    try:
        with open("/proc/%d/stat" % pid, "rb") as f:
            return f.read().rsplit(b") ", 1)[1][:1] != b"Z"
    except OSError:
        return False


def prefix_processes(prefix):
    """{pid: command line words} of the live processes running in
    ``prefix`` (their WINEPREFIX), the wineserver serving it included.  A
    Windows program under Wine is one Unix process whose first word is the
    program's path."""
    want = os.path.realpath(prefix)
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                env = f.read().split(b"\0")
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read()
        except OSError:
            continue
        values = [e[len(b"WINEPREFIX="):] for e in env
                  if e.startswith(b"WINEPREFIX=")]
        if not values or os.path.realpath(
                values[0].decode(errors="replace")) != want:
            continue
        if process_alive(int(entry)):
            found[int(entry)] = command.decode(
                errors="replace").rstrip("\0").split("\0")
    return found


class WineHost(XDisplay):
    """A private Xvfb display plus a fresh Wine prefix, cleaned up on exit.

    ::

        with WineHost(relay_include=[...]) as host:
            host.start("probe.exe")
            host.dismiss_message_box("Probe")
            host.click_tray_icon(button=3)
            log = host.relay()
    """

    TRAY_TITLE = "Wine System Tray"

    def __init__(self, relay_include=DEFAULT_RELAY_INCLUDE,
                 relay_from_exclude=DEFAULT_FROM_EXCLUDE,
                 screen="1024x768x24", template=None, keep=None,
                 unmanaged_exes=(), dpi=None):
        if missing_tools():
            raise HarnessError("missing tools: " + ", ".join(missing_tools()))
        self.relay_include = list(relay_include)
        self.relay_from_exclude = list(relay_from_exclude)
        self.screen = screen
        self.template = template
        self.unmanaged_exes = list(unmanaged_exes)
        self.dpi = dpi
        self.keep = keep if keep is not None else \
            os.environ.get("TARNWICK_E2E_KEEP") == "1"
        self.tmp = None
        self.prefix = None
        self.display = None
        self.proc = None
        self.log_path = None
        self.stdout_path = None
        self._xvfb = None
        self._xvfb_rfd = None
        self._files = []
        self._runs = 0
        self.timings = {}

    # -- lifetime ----------------------------------------------------------
    def __enter__(self):
        try:
            self.setup()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def setup(self):
        self.tmp = tempfile.mkdtemp(prefix="tarnwick-e2e-")
        t0 = time.monotonic()
        template = self.template or template_prefix()
        t1 = time.monotonic()
        self.prefix = clone_prefix(template, os.path.join(self.tmp, "pfx"))
        t2 = time.monotonic()
        self.timings.update(template=t1 - t0, clone=t2 - t1)
        set_user_reg_values(self.prefix, r"Software\Wine\Debug", {
            "RelayInclude": ";".join(self.relay_include),
            "RelayFromExclude": ";".join(self.relay_from_exclude),
        })
        for exe in self.unmanaged_exes:
            # Wine then draws these programs' frames itself and never waits
            # for a window manager: with none running, every window of
            # theirs that goes away (a message box after its answer) would
            # hold the program ~2 s waiting to be withdrawn.  Only for
            # them: explorer's tray keeps its place and size.
            set_user_reg_values(
                self.prefix,
                r"Software\Wine\AppDefaults\%s\X11 Driver" % exe,
                {"Managed": "N"})
        if self.dpi:
            # The display scaling programs see (96 is 100 %, 192 is 200 %).
            set_user_reg_values(self.prefix, r"Control Panel\Desktop",
                                {"LogPixels": self.dpi})
        self._start_xvfb()

    def _start_xvfb(self, timeout=15):
        rfd, wfd = os.pipe()
        xlog = open(os.path.join(self.tmp, "xvfb.log"), "wb")
        self._files.append(xlog)
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(wfd), "-screen", "0", self.screen,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(wfd,), stdout=subprocess.DEVNULL,
                stderr=xlog,
                start_new_session=True)
            os.close(wfd)
            wfd = None
            # Read up to the newline: Xvfb may write the number and the
            # newline separately, and dies ("Cannot write display number")
            # if the pipe is closed in between.
            buf, deadline = b"", time.monotonic() + timeout
            while not buf.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([rfd], [], [], max(left, 0))
                chunk = os.read(rfd, 64) if ready else b""
                if not chunk:
                    raise HarnessError("Xvfb did not report a display; see "
                                       "%s/xvfb.log" % self.tmp)
                buf += chunk
            num = buf.decode().strip()
            if not num.isdigit():
                raise HarnessError("Xvfb failed: see %s/xvfb.log" % self.tmp)
            self.display = ":" + num
        finally:
            # Xvfb writes the number again as it shuts down and logs a fatal
            # error if nobody listens, so the read end lives as long as it.
            self._xvfb_rfd = rfd
            if wfd is not None:
                os.close(wfd)

    def env(self, debug="-all"):
        env = _base_env(self.prefix)
        env["DISPLAY"] = self.display
        env["WINEDEBUG"] = debug
        return env

    def close(self):
        """Kill everything this host started; safe to call twice."""
        if self.proc and self.proc.poll() is None:
            self._kill_group(self.proc)
        if self.prefix and os.path.isdir(self.prefix):
            with contextlib.suppress(Exception):
                subprocess.run([find_wineserver(), "-k"], env=self.env(),
                               timeout=15, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
            with contextlib.suppress(Exception):
                subprocess.run([find_wineserver(), "-w"], env=self.env(),
                               timeout=15)
        if self.proc:
            with contextlib.suppress(Exception):
                self.proc.wait(timeout=5)
        if self._xvfb and self._xvfb.poll() is None:
            self._kill_group(self._xvfb, sig=signal.SIGTERM)
        if self._xvfb_rfd is not None:
            os.close(self._xvfb_rfd)
            self._xvfb_rfd = None
        for f in self._files:
            f.close()
        self._files = []
        if self.tmp and not self.keep:
            shutil.rmtree(self.tmp, ignore_errors=True)

    @staticmethod
    def _kill_group(p, sig=signal.SIGKILL):
        with contextlib.suppress(ProcessLookupError):
            os.killpg(p.pid, sig)
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(p.pid, signal.SIGKILL)
            p.wait(timeout=5)

    # -- the program -------------------------------------------------------
    def _spawn(self, exe, args, relay, timestamps, cwd, extra_env, wrapper=()):
        n = self._runs
        self._runs += 1
        log_path = os.path.join(self.tmp, "wine-%d.log" % n)
        stdout_path = os.path.join(self.tmp, "stdout-%d.txt" % n)
        err = open(log_path, "wb")
        out = open(stdout_path, "wb")
        self._files += [err, out]
        debug = "fixme-all"
        if relay:
            debug += ",+pid,+loaddll,+relay"
        if timestamps:
            debug += ",+timestamp"
        env = self.env(debug)
        env.update(extra_env or {})
        proc = subprocess.Popen(
            [*wrapper, find_wine(), exe, *args], env=env, stdout=out, stderr=err,
            stdin=subprocess.DEVNULL, cwd=cwd or os.path.dirname(exe) or None,
            start_new_session=True)
        return proc, log_path, stdout_path

    def start(self, exe, *args, relay=True, timestamps=False, cwd=None,
              extra_env=None, wrapper=()):
        """Start ``exe`` (a Linux path) under Wine; returns the Popen.

        The relay trace and Wine's other stderr go to ``self.log_path``;
        the program's stdout to ``self.stdout_path``.  ``+pid,+loaddll``
        come along so lines from Wine's helper processes can be told apart;
        ``timestamps`` adds ``+timestamp`` so each call has a ``time``.
        ``wrapper`` runs Wine under another command (``NO_DAC_OVERRIDE``:
        root that obeys file permissions, the prefix's first Wine process,
        so its wineserver, which opens the files, does too).
        """
        if self.proc and self.proc.poll() is None:
            raise HarnessError("a program is already running")
        self.proc, self.log_path, self.stdout_path = self._spawn(
            exe, args, relay, timestamps, cwd, extra_env, wrapper)
        self.exe_name = os.path.basename(exe)
        return self.proc

    def run_other(self, exe, *args, timeout=20, relay=True, timestamps=False,
                  cwd=None):
        """Run another program (or a second copy of the running one) in
        the same prefix and display, to its end, while the started one
        keeps running.  Returns (exit code, seconds, RelayLog of that
        run); its lines go to a log of their own.  TimeoutError (after
        killing it) if it is still running after ``timeout``.
        """
        proc, log_path, _ = self._spawn(exe, args, relay, timestamps, cwd,
                                        None)
        t0 = time.monotonic()
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self._kill_group(proc)
            raise TimeoutError("%s still running after %.1fs"
                               % (os.path.basename(exe), timeout))
        return code, time.monotonic() - t0, RelayLog.from_file(log_path)

    def nudge(self, *args, timeout=30):
        """Run tests/e2e/probe/nudge.c (built by run.sh, or here) with
        ``args``: do to the running program what the desktop does (a close
        request, a setting change, the end of the session) or list the
        processes.  Returns (exit code, its stdout)."""
        exe = nudge_exe()
        proc, _, stdout_path = self._spawn(exe, args, False, False, None,
                                           None)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self._kill_group(proc)
            raise TimeoutError("nudge %s still running after %.1fs"
                               % (" ".join(args), timeout))
        with open(stdout_path, encoding="utf-8", errors="replace") as f:
            return code, f.read()

    def processes(self):
        """{Windows pid: (parent pid, exe name)} of the prefix's processes."""
        _, out = self.nudge("processes")
        table = {}
        for line in out.splitlines():
            pid, ppid, name = line.split(" ", 2)
            table[int(pid)] = (int(ppid), name)
        return table

    def wait_exit(self, timeout=20):
        """Exit code of the program; TimeoutError if it is still running."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("program still running after %.1fs" % timeout)

    def kill(self):
        """End the program abruptly, like a crash: no clean-up code runs."""
        self._kill_group(self.proc)
        return self.proc.returncode

    def kill_process(self, pid=None):
        """``kill -9`` of one Wine process (the started program's, unless
        ``pid`` names another): nothing else of its group goes with it."""
        with contextlib.suppress(ProcessLookupError):
            os.kill(pid or self.proc.pid, signal.SIGKILL)
        if pid is None or pid == self.proc.pid:
            self.proc.wait(timeout=5)
            return
        wait_until(lambda: not process_alive(pid), 5, 0.005,
                   "process %d to die" % pid)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def unix_processes(self, name):
        """Unix pids of this prefix's live processes whose command line
        names ``name`` (a Windows program started in this prefix by
        anyone, the started one or a program it started)."""
        return sorted(pid for pid, words in
                      prefix_processes(self.prefix).items()
                      if name in "\0".join(words))

    def stdout(self):
        with open(self.stdout_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def relay(self):
        """The relay log so far, parsed."""
        return RelayLog.from_file(self.log_path)

    def program_calls(self, name=None):
        """Relayed calls made by the started exe's process only."""
        log = self.relay()
        return log.calls(name, pids=log.pids_of(self.exe_name))

    def wait_relay(self, predicate, timeout=15, what="relay lines"):
        """Re-parse the log until predicate(log) is truthy; returns the log."""
        def check():
            log = self.relay()
            return log if predicate(log) else None
        return wait_until(check, timeout, 0.2, what)

    def wait_call(self, name, count=1, returned=True, timeout=15):
        """Wait for the program to have made ``count`` calls to ``name``."""
        def enough(log):
            done = [c for c in log.calls(name, pids=log.pids_of(self.exe_name))
                    if c.returned or not returned]
            return len(done) >= count
        return self.wait_relay(enough, timeout, "%d x %s" % (count, name))
