"""Wine itself and its prefixes: finding the loader and the server, booting a
template prefix once and cloning it cheaply for each test, and writing
registry values straight into a clone before Wine starts.
"""

import fcntl
import os
import re
import shutil
import subprocess
import tempfile

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
    """Set values under HKCU\\<key> by editing user.reg directly: strings,
    or whole numbers as DWORDs.

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
    body += ["%s=%s" % (_reg_quote(n), "dword:%08x" % v if isinstance(v, int)
                        else _reg_quote(v))
             for n, v in values.items()]
    lines[start + 1:end] = body
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write("\n".join(lines))
