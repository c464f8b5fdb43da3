"""Wine's +relay trace, parsed: which Win32 calls a program made, with which
arguments, in which order, and what they returned.  Only the standard library
is used.  See README.md for the format.
"""

import re


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
