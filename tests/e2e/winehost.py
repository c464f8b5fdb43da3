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
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

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
    "user32.CopyIcon", "user32.SetSystemCursor", "user32.DestroyIcon",
    "user32.GetCursor", "user32.SetCursorPos", "user32.GetCursorPos",
    "user32.LoadCursorFromFileW", "shell32.Shell_NotifyIconW",
    "user32.MessageBoxW", "shell32.ShellExecuteW",
    "user32.SystemParametersInfoW",
)

# Files under C:\windows that Wine only ever reads; a per-test prefix
# hard-links these from the template instead of copying ~700 MB.
_SHARED_SUFFIXES = (".dll", ".exe", ".nls", ".sys", ".drv", ".ocx", ".cpl",
                    ".acm", ".tlb", ".ds", ".msstyles", ".ax", ".mui")

WINE_ENV = {"WINEARCH": "win64", "WINEDLLOVERRIDES": "mscoree,mshtml="}


class HarnessError(RuntimeError):
    pass


def find_wine():
    """The wine loader to use, or None when Wine is not installed.

    Debian's /usr/bin/wine is a shell wrapper that nags about wine32 on
    every start; the 64-bit loader behind it is used directly when present.
    """
    for cand in ("/usr/lib/wine/wine64", shutil.which("wine64"),
                 shutil.which("wine")):
        if cand and os.access(cand, os.X_OK):
            return cand
    return None


def find_wineserver():
    for cand in (shutil.which("wineserver"), "/usr/lib/wine/wineserver64",
                 "/usr/lib/wine/wineserver"):
        if cand and os.access(cand, os.X_OK):
            return cand
    return None


def missing_tools():
    """Names of the external tools a live run needs that are not installed."""
    need = {"wine": find_wine(), "wineserver": find_wineserver(),
            "Xvfb": shutil.which("Xvfb"), "xdotool": shutil.which("xdotool"),
            "import": shutil.which("import")}
    return sorted(k for k, v in need.items() if not v)


def wine_version():
    out = subprocess.run([find_wine(), "--version"], capture_output=True,
                         text=True, timeout=30)
    return out.stdout.strip() or "unknown"


# --------------------------------------------------------------------------
# Wine prefixes

def windows_path(path):
    """The path a Windows program sees for a Linux file.

    Wine passes command-line arguments through untouched, so a file given
    to the program must be spelled through drive Z:, which maps to /.
    """
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _base_env(prefix):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = prefix
    env["WINEDEBUG"] = "-all"
    env.pop("DISPLAY", None)
    return env


def boot_prefix(prefix, timeout=180):
    """Create a prefix with ``wineboot -i`` and wait for it to settle."""
    env = _base_env(prefix)
    subprocess.run([find_wine(), "wineboot", "-i"], env=env, timeout=timeout,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    # The registry is only flushed to *.reg when the wineserver exits.
    subprocess.run([find_wineserver(), "-w"], env=env, timeout=timeout,
                   check=False)


def template_prefix(cache_dir=None):
    """Path of a booted prefix kept between runs, created on first use.

    Booting costs ~10 s; cloning the result costs a few milliseconds, so
    tests clone this template rather than boot their own.  The template is
    keyed by the Wine version and guarded by a lock file so parallel test
    processes build it once.
    """
    cache_dir = cache_dir or os.environ.get("TARNWICK_E2E_CACHE") or \
        os.path.join(os.path.expanduser("~"), ".cache", "tarnwick-e2e")
    os.makedirs(cache_dir, exist_ok=True)
    tag = re.sub(r"[^A-Za-z0-9.]+", "_", wine_version())
    final = os.path.join(cache_dir, "prefix-" + tag)
    with open(os.path.join(cache_dir, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.isfile(os.path.join(final, "system.reg")):
            return final
        work = tempfile.mkdtemp(prefix="building-", dir=cache_dir)
        try:
            boot_prefix(os.path.join(work, "pfx"))
            os.rename(os.path.join(work, "pfx"), final)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    return final


def clone_prefix(template, dest):
    """Make ``dest`` an independent prefix equal to ``template``.

    Registry files and everything outside C:\\windows are copied, so a test
    may change them freely; Wine's read-only binaries are hard-linked.
    """
    windir = os.path.join(template, "drive_c", "windows")
    for root, dirs, files in os.walk(template):
        rel = os.path.relpath(root, template)
        out = os.path.join(dest, rel) if rel != "." else dest
        os.makedirs(out, exist_ok=True)
        shutil.copystat(root, out)
        for d in list(dirs):
            src = os.path.join(root, d)
            if os.path.islink(src):
                os.symlink(os.readlink(src), os.path.join(out, d))
                dirs.remove(d)
        under_windows = root == windir or root.startswith(windir + os.sep)
        for f in files:
            src, dst = os.path.join(root, f), os.path.join(out, f)
            if os.path.islink(src):
                os.symlink(os.readlink(src), dst)
            elif under_windows and f.lower().endswith(_SHARED_SUFFIXES):
                os.link(src, dst)
            else:
                shutil.copy2(src, dst)
    return dest


def _reg_quote(value):
    return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')


def set_user_reg_values(prefix, key, values):
    """Set string values under HKCU\\<key> by editing user.reg directly.

    Must be called while no wineserver runs for the prefix.  Editing the
    file is ~1 s faster per test than starting ``wine reg add``.
    """
    path = os.path.join(prefix, "user.reg")
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    header = "[%s]" % key.replace("\\", "\\\\")
    lines = text.split("\n")
    start = next((i for i, l in enumerate(lines)
                  if l.split(" ")[0] == header), None)
    if start is None:
        lines += [header + " 0", ""]
        start = len(lines) - 2
    end = start + 1
    while end < len(lines) and lines[end].strip() and \
            not lines[end].startswith("["):
        end += 1
    body = [l for l in lines[start + 1:end]
            if not any(l.startswith(_reg_quote(n) + "=") for n in values)]
    body += ["%s=%s" % (_reg_quote(n), _reg_quote(v))
             for n, v in values.items()]
    lines[start + 1:end] = body
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write("\n".join(lines))


# --------------------------------------------------------------------------
# Relay log parsing

# With +timestamp every line starts with Wine's tick count in seconds,
# "  12.345:", before the pid and thread id.
_STAMP = r"^\s*(?:(?P<ts>\d+\.\d{3}):)?"
_LINE = re.compile(
    _STAMP + r"(?:(?P<pid>[0-9a-f]{4,8}):)?(?P<tid>[0-9a-f]{4,8}):"
    r"(?P<kind>Call|Ret) {1,2}(?P<rest>.*)$")
_API = re.compile(r"^(?P<dll>[\w.\-]+)\.(?P<func>[\w@?$]+)\((?P<args>.*)$")
_TAIL_CALL = re.compile(r"^(?P<args>.*)\) ret=(?P<ret>[0-9a-f]+)$")
_TAIL_RET = re.compile(
    r"^(?P<args>.*)\) retval=(?P<retval>[0-9a-f]+) ret=(?P<ret>[0-9a-f]+)$")
_WNDPROC = re.compile(
    r"^window proc (?P<proc>[0-9A-Fa-f]+) \(hwnd=(?P<hwnd>[0-9A-Fa-f]+),"
    r"msg=(?P<msg>[^,]+),wp=(?P<wp>[0-9a-f]+),lp=(?P<lp>[0-9a-f]+)\)"
    r"(?: retval=(?P<retval>[0-9a-f]+))?$")
_LOADED = re.compile(
    _STAMP + r"(?:(?P<pid>[0-9a-f]{4,8}):)?(?P<tid>[0-9a-f]{4,8}):"
    r"trace:loaddll:"
    r"\w+ Loaded (?P<path>L?\".*\") at")

_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def decode_wine_string(token):
    """Decode a string the way Wine's debugstr_w/debugstr_a printed it.

    ``L"C:\\\\x"`` -> ``C:\\x``; ``\\n \\r \\t \\" \\\\`` are escapes and any
    other character outside printable ASCII is ``\\hhhh`` (four lowercase
    hex digits, no ``x``; UTF-16 units, so surrogate pairs are two of them).
    A trailing ``...`` means Wine cut the string short; the part shown is
    returned.  Returns None for tokens that are not quoted strings
    (``(null)``, ``#7f00`` resource ids, bare numbers).
    """
    token = token.strip()
    if token.startswith('L"'):
        body = token[2:]
    elif token.startswith('"'):
        body = token[1:]
    else:
        return None
    if body.endswith("..."):
        body = body[:-3]
    if not body.endswith('"'):
        raise ValueError("unterminated string: %r" % token)
    body = body[:-1]
    units, i = [], 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            units.append(ord(c))
            i += 1
            continue
        nxt = body[i + 1:i + 2]
        if nxt in _ESCAPES:
            units.append(ord(_ESCAPES[nxt]))
            i += 2
        elif re.fullmatch(r"[0-9a-fA-F]{4}", body[i + 1:i + 5]):
            units.append(int(body[i + 1:i + 5], 16))
            i += 5
        else:
            raise ValueError("bad escape at %d in %r" % (i, token))
    raw = b"".join(u.to_bytes(2, "little") for u in units)
    return raw.decode("utf-16-le", errors="surrogatepass")


def split_args(text):
    """Split a relay argument list on the commas outside quoted strings."""
    args, cur, quoted, i = [], [], False, 0
    while i < len(text):
        c = text[i]
        if quoted and c == "\\":
            cur.append(text[i:i + 2])
            i += 2
            continue
        if c == '"':
            quoted = not quoted
        if c == "," and not quoted:
            args.append("".join(cur))
            cur = []
        else:
            cur.append(c)
        i += 1
    if cur or args:
        args.append("".join(cur))
    return args


class Arg(str):
    """One relayed argument as printed: ``0002004e`` or ``14000a110 L"x"``.

    ``.value`` is the number, ``.string`` the decoded text when Wine printed
    one (string pointer arguments), else None.
    """

    @property
    def value(self):
        head = self.split(" ", 1)[0]
        if head.startswith("#"):
            return int(head[1:], 16)
        return int(head, 16)

    @property
    def string(self):
        parts = self.split(" ", 1)
        return decode_wine_string(parts[1]) if len(parts) == 2 else None


class Call:
    """One relayed API call, with its return once the Ret line is seen."""

    __slots__ = ("index", "pid", "tid", "dll", "func", "args", "retval",
                 "ret_addr", "returned", "depth", "time")

    def __init__(self, index, pid, tid, dll, func, args, ret_addr, depth,
                 time=None):
        self.index, self.pid, self.tid = index, pid, tid
        self.time = time        # seconds, with WINEDEBUG +timestamp only
        self.dll, self.func = dll.lower(), func
        self.args = [Arg(a) for a in args]
        self.ret_addr, self.depth = ret_addr, depth
        self.retval, self.returned = None, False

    @property
    def name(self):
        return "%s.%s" % (self.dll, self.func)

    def __repr__(self):
        ret = " -> %x" % self.retval if self.returned else " (no Ret)"
        return "<%04x %s(%s)%s>" % (self.tid, self.name, ",".join(self.args),
                                    ret)


class WndProcCall:
    """A message the program's window procedure received (relayed)."""

    __slots__ = ("index", "pid", "tid", "proc", "hwnd", "msg", "wp", "lp")

    def __init__(self, index, pid, tid, m):
        self.index, self.pid, self.tid = index, pid, tid
        self.proc, self.hwnd = int(m["proc"], 16), int(m["hwnd"], 16)
        self.msg = m["msg"]
        self.wp, self.lp = int(m["wp"], 16), int(m["lp"], 16)

    def __repr__(self):
        return "<%04x wndproc %x %s wp=%x lp=%x>" % (
            self.tid, self.hwnd, self.msg, self.wp, self.lp)


class RelayLog:
    """Parsed ``WINEDEBUG=+relay`` output.

    Call lines become ``Call`` records in log order; each Ret line is
    paired with the innermost open call of the same name on the same
    thread (calls nest: a MessageBoxW is open while window procedures run
    inside it).  A call with no Ret, because the program is still inside it
    or died there, keeps ``returned == False``.
    """

    def __init__(self, text):
        self.records = []
        self.modules = []          # (pid, tid, windows path) from +loaddll
        self.unpaired_rets = []    # Ret lines with no open Call
        open_calls = {}            # tid -> stack of open Calls
        for lineno, line in enumerate(text.splitlines()):
            m = _LINE.match(line)
            if not m:
                lm = _LOADED.match(line)
                if lm:
                    self.modules.append((_hex(lm["pid"]), int(lm["tid"], 16),
                                         decode_wine_string(lm["path"])))
                continue
            pid, tid = _hex(m["pid"]), int(m["tid"], 16)
            rest = m["rest"]
            if rest.startswith("window proc "):
                wm = _WNDPROC.match(rest)
                if wm and m["kind"] == "Call":
                    self.records.append(WndProcCall(lineno, pid, tid, wm))
                continue
            api = _API.match(rest)
            if not api:
                continue        # PE DLL entry, TLS callback, dialog proc ...
            stack = open_calls.setdefault(tid, [])
            if m["kind"] == "Call":
                tail = _TAIL_CALL.match(api["args"])
                if not tail:
                    continue
                call = Call(lineno, pid, tid, api["dll"], api["func"],
                            split_args(tail["args"]), int(tail["ret"], 16),
                            len(stack), float(m["ts"]) if m["ts"] else None)
                stack.append(call)
                self.records.append(call)
            else:
                tail = _TAIL_RET.match(api["args"])
                if not tail:
                    continue
                name = "%s.%s" % (api["dll"].lower(), api["func"])
                for pos in range(len(stack) - 1, -1, -1):
                    if stack[pos].name == name:
                        call = stack[pos]
                        call.retval = int(tail["retval"], 16)
                        call.returned = True
                        del stack[pos:]
                        break
                else:
                    self.unpaired_rets.append((lineno, tid, name))

    @classmethod
    def from_file(cls, path):
        with open(path, encoding="utf-8", errors="replace") as f:
            return cls(f.read())

    def pids_of(self, exe_name):
        """Process ids (needs WINEDEBUG +pid,+loaddll) that loaded exe_name."""
        exe_name = exe_name.lower()
        return {pid for pid, _, path in self.modules
                if path and path.lower().replace("/", "\\")
                .rsplit("\\", 1)[-1] == exe_name}

    def calls(self, name=None, pid=None, pids=None):
        """API calls in order, optionally only ``dll.Func`` / one process."""
        if name:
            dll, _, func = name.partition(".")
            name = dll.lower() + "." + func
        return [r for r in self.records if isinstance(r, Call)
                and (name is None or r.name == name)
                and (pid is None or r.pid == pid)
                and (pids is None or r.pid in pids)]

    def names(self, **kw):
        return [c.name for c in self.calls(**kw)]

    def window_messages(self, msg=None, pid=None):
        return [r for r in self.records if isinstance(r, WndProcCall)
                and (msg is None or r.msg == msg)
                and (pid is None or r.pid == pid)]

    def tray_callbacks(self, callback_msg="WM_MOUSEMOVE", pid=None,
                       hwnd=None):
        """(uID, notification) pairs the tray delivered to the program.

        The program's callback message shares its number with WM_MOUSEMOVE,
        so relay lines cannot tell a tray notification from a real mouse
        move over one of its windows.  A real move packs the cursor
        position into lParam; a notification carries a bare mouse message
        (0x200-0x20e) or a NIN_ code (0x400-0x407) there, so anything else
        is dropped.  Pass ``hwnd`` to be exact.
        """
        out = []
        for r in self.window_messages(callback_msg, pid):
            if hwnd is not None and r.hwnd != hwnd:
                continue
            if 0x200 <= r.lp <= 0x20E or 0x400 <= r.lp <= 0x407:
                out.append((r.wp, r.lp))
        return out


def _hex(s):
    return int(s, 16) if s else None


def is_subsequence(wanted, seen):
    """True when the items of ``wanted`` occur in ``seen`` in this order."""
    it = iter(seen)
    return all(any(w == s for s in it) for w in wanted)


# --------------------------------------------------------------------------
# X display and the program

class Window:
    __slots__ = ("id", "name", "pid", "wm_class", "x", "y", "width", "height")

    def __repr__(self):
        return "<Window %d %r pid=%s class=%s %dx%d+%d+%d>" % (
            self.id, self.name, self.pid, self.wm_class, self.width,
            self.height, self.x, self.y)

    @property
    def center(self):
        return (self.x + self.width // 2, self.y + self.height // 2)


def wait_until(predicate, timeout, interval=0.1, what="condition"):
    """Poll ``predicate`` until it returns something truthy; return that."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.1fs waiting for %s"
                               % (timeout, what))
        time.sleep(interval)


class WineHost:
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
                 unmanaged_exes=()):
        if missing_tools():
            raise HarnessError("missing tools: " + ", ".join(missing_tools()))
        self.relay_include = list(relay_include)
        self.relay_from_exclude = list(relay_from_exclude)
        self.screen = screen
        self.template = template
        self.unmanaged_exes = list(unmanaged_exes)
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
    def _spawn(self, exe, args, relay, timestamps, cwd, extra_env):
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
            [find_wine(), exe, *args], env=env, stdout=out, stderr=err,
            stdin=subprocess.DEVNULL, cwd=cwd or os.path.dirname(exe) or None,
            start_new_session=True)
        return proc, log_path, stdout_path

    def start(self, exe, *args, relay=True, timestamps=False, cwd=None,
              extra_env=None):
        """Start ``exe`` (a Linux path) under Wine; returns the Popen.

        The relay trace and Wine's other stderr go to ``self.log_path``;
        the program's stdout to ``self.stdout_path``.  ``+pid,+loaddll``
        come along so lines from Wine's helper processes can be told apart;
        ``timestamps`` adds ``+timestamp`` so each call has a ``time``.
        """
        if self.proc and self.proc.poll() is None:
            raise HarnessError("a program is already running")
        self.proc, self.log_path, self.stdout_path = self._spawn(
            exe, args, relay, timestamps, cwd, extra_env)
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

    def running(self):
        return self.proc is not None and self.proc.poll() is None

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

    # -- X side ------------------------------------------------------------
    def x(self, *args, check=True, timeout=10):
        env = dict(os.environ, DISPLAY=self.display)
        r = subprocess.run(list(args), env=env, capture_output=True,
                           text=True, timeout=timeout)
        if check and r.returncode != 0:
            raise HarnessError("%s failed: %s" % (" ".join(args),
                                                  r.stderr.strip()))
        return r

    _TREE_LINE = re.compile(
        r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((.*)\)\s+'
        r'(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+?(-?\d+)\+?(-?\d+)')

    def windows(self, name=None, pid=None, wm_class=None, visible=True):
        """Top-level windows, filtered; ``name`` is an exact title.

        Two X round trips in all (xwininfo for names, classes and
        geometry, xdotool for visibility) plus one per window whose pid is
        asked for, so polling for a window stays cheap.
        """
        tree = self.x("xwininfo", "-root", "-children", check=False).stdout
        shown = None
        if visible:
            r = self.x("xdotool", "search", "--maxdepth", "1",
                       "--onlyvisible", "--name", "", check=False)
            shown = {int(w) for w in r.stdout.split()}
        found = []
        for line in tree.splitlines():
            m = self._TREE_LINE.match(line)
            if not m:
                continue
            w = Window()
            w.id = int(m[1], 16)
            w.name = m[2] if m[2] is not None else ""
            w.wm_class = tuple(re.findall(r'"([^"]*)"', m[3]))
            w.width, w.height = int(m[4]), int(m[5])
            w.x, w.y = int(m[6]), int(m[7])
            w.pid = None
            if shown is not None and w.id not in shown:
                continue
            if name is not None and w.name != name:
                continue
            if wm_class is not None and wm_class not in w.wm_class:
                continue
            if pid is not None:
                p = self.x("xdotool", "getwindowpid", str(w.id), check=False)
                w.pid = int(p.stdout) if p.stdout.strip().isdigit() else None
                if w.pid != pid:
                    continue
            found.append(w)
        return found

    def wait_window(self, timeout=20, **filters):
        """The first window matching ``filters`` (see ``windows``)."""
        return wait_until(lambda: (self.windows(**filters) or [None])[0],
                          timeout, 0.2, "window %r" % filters)

    def wait_no_window(self, timeout=10, **filters):
        wait_until(lambda: not self.windows(**filters), timeout, 0.2,
                   "window %r to go" % filters)

    def mouse_move(self, x, y):
        # Not --sync: it waits forever when the pointer is already there.
        self.x("xdotool", "mousemove", str(x), str(y))
        time.sleep(0.05)

    def mouse_path(self, points, step_delay=0.02):
        """Move through ``points`` one by one, as a hand would."""
        for x, y in points:
            self.x("xdotool", "mousemove", str(x), str(y))
            time.sleep(step_delay)

    def mouse_pos(self):
        out = self.x("xdotool", "getmouselocation", "--shell").stdout
        vals = dict(l.split("=", 1) for l in out.split() if "=" in l)
        return int(vals["X"]), int(vals["Y"])

    def click(self, x=None, y=None, button=1, repeat=1):
        if x is not None:
            self.mouse_move(x, y)
        self.x("xdotool", "click", "--repeat", str(repeat), "--delay", "80",
               str(button))

    def double_click(self, x=None, y=None, button=1):
        self.click(x, y, button, repeat=2)

    def key(self, *keys, window=None):
        if window is not None:
            # No window manager: focus has to be handed over by hand.
            self.x("xdotool", "windowfocus", "--sync", str(window.id),
                   check=False)
        self.x("xdotool", "key", *keys)

    def screenshot(self, path):
        self.x("import", "-window", "root", path, timeout=30)
        return path

    # -- Wine specifics ----------------------------------------------------
    def tray_window(self, timeout=15):
        """Wine's stand-in tray, shown when the X server has none.

        Explorer creates it on the first NIM_ADD and hides it again when the
        last icon is deleted.
        """
        return self.wait_window(timeout=timeout, name=self.TRAY_TITLE)

    def tray_icon_position(self, index=0, timeout=15):
        """Screen point at the centre of the index-th tray icon.

        Icons sit left to right in square cells as high as the window
        (small icon + border: 20 px at the default 96 dpi).
        """
        tray = self.tray_window(timeout)
        cell = tray.height
        if (index + 1) * cell > tray.width:
            raise HarnessError("no tray cell %d in %r" % (index, tray))
        return tray.x + index * cell + cell // 2, tray.y + cell // 2

    def click_tray_icon(self, button=1, index=0, repeat=1):
        x, y = self.tray_icon_position(index)
        self.click(x, y, button, repeat)
        return x, y

    def dismiss_message_box(self, title, key="Return", timeout=20):
        """Wait for a message box titled ``title``, answer it with ``key``
        and wait for it to close."""
        pid = self.proc.pid if self.proc else None
        box = self.wait_window(timeout=timeout, name=title, pid=pid)
        self.key(key, window=box)
        self.wait_no_window(timeout=timeout, name=title, pid=pid)
        return box
