#!/usr/bin/env bash
# Builds the Windows program with its bundled cursor sets and starts it: under Wine on
# Linux (on your X display, or a virtual one when there is none), directly on Windows.
#
# Under Wine it waits for the main window and says so ("start.sh: Tarnwick's main window
# is up ..."), then stays until the program ends or Ctrl-C; either way it ends Wine and
# the virtual screen it started. Every step that can fail says which one did; the logs
# are in build/start/.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "start.sh: $1" >&2
  if [ -n "${2:-}" ] && [ -s "$2" ]; then
    echo "start.sh: the end of $2:" >&2
    tail -n 20 "$2" | sed 's/^/    /' >&2
  fi
  exit 1
}
# Anything without a message of its own still names what stopped the script.
trap 'echo "start.sh: stopped because this failed (line $LINENO): $BASH_COMMAND" >&2' ERR

need() {
  for tool; do
    command -v "$tool" >/dev/null || fail "$tool is missing; scripts/setup.sh (as root) installs it"
  done
}
need cmake ninja

cmake --preset mingw >/dev/null || fail "configuring the Windows build failed (cmake --preset mingw)"
cmake --build --preset mingw -j "$(nproc)" || fail "the Windows build failed; its errors are above"
folder=build/mingw
echo "Program folder: $folder ($(ls "$folder"/*.TWC 2>/dev/null | wc -l) cursor sets)"

case "$(uname -s)" in
  MINGW*|MSYS*|CYGWIN*) exec "$folder/Tarnwick.exe" ;;
esac

need wine wineboot wineserver xdotool flock
[ -n "${DISPLAY:-}" ] || need Xvfb import

logs=$PWD/build/start
mkdir -p "$logs"
export WINEPREFIX=${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick-wine}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEDEBUG=${WINEDEBUG:--all}

mkdir -p "$(dirname "$WINEPREFIX")" 2>"$logs/wineboot.log" ||
  fail "could not make the folder for the Wine prefix $WINEPREFIX (set WINEPREFIX to put it elsewhere)" \
       "$logs/wineboot.log"
# One start.sh per prefix: a second Tarnwick ends at once (it is single-instance), and
# this script's clean-up would then end the first one's Wine too. Wine inherits the
# lock, so it stays taken for as long as anything started here still runs.
exec 9>"$WINEPREFIX.lock" || fail "could not make the lock file $WINEPREFIX.lock (set WINEPREFIX to put the prefix elsewhere)"
flock -n 9 || fail "Tarnwick is already running in $WINEPREFIX (from another start.sh); end that one first"

xvfb= program=
cleanup() {
  [ -z "$program" ] || kill "$program" 2>/dev/null || true
  # Ends every Wine process of the prefix: explorer (the tray), services, the server.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -z "${DISPLAY:-}" ]; then
  # No desktop here: give Wine a virtual screen on the first free display number. Xvfb
  # writes that number to a file, which, unlike a pipe, needs nobody to keep reading it.
  : >"$logs/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$logs/display" 2>"$logs/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do
    [ "$(wc -l <"$logs/display")" -ge 1 ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  read -r number <"$logs/display" || true
  [ -n "${number:-}" ] || fail "Xvfb could not start a virtual screen" "$logs/xvfb.log"
  export DISPLAY=:$number
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (the first time takes about 15 s)"
  wineboot -i >"$logs/wineboot.log" 2>&1 ||
    fail "wineboot could not create the Wine prefix at $WINEPREFIX; see $logs/wineboot.log" \
         "$logs/wineboot.log"
fi

cd "$folder"
wine Tarnwick.exe >"$logs/wine.log" 2>&1 &
program=$!
timeout=${TARNWICK_START_TIMEOUT:-60}
for ((waited = 0; waited < timeout * 2; waited++)); do
  xdotool search --all --onlyvisible --pid "$program" --name '^Tarnwick$' >/dev/null 2>&1 && break
  if ! kill -0 "$program" 2>/dev/null; then
    status=0
    wait "$program" || status=$?
    program=
    fail "Tarnwick.exe ended (exit code $status) before its main window showed; see $logs/wine.log" \
         "$logs/wine.log"
  fi
  sleep 0.5
done
((waited < timeout * 2)) ||
  fail "Tarnwick's main window did not show within $timeout s; see $logs/wine.log" "$logs/wine.log"

if [ -n "$xvfb" ]; then
  sleep 1  # the window is mapped before its list has painted its pictures
  import -window root "$logs/screen.png" || fail "import could not take a picture of display $DISPLAY"
  echo "start.sh: Tarnwick's main window is up on the virtual screen $DISPLAY; a picture of it is at $logs/screen.png"
else
  echo "start.sh: Tarnwick's main window is up on display $DISPLAY"
fi
echo "Press Ctrl-C to end it."

status=0
wait "$program" || status=$?
program=
echo "start.sh: Tarnwick.exe ended (exit code $status)"
exit "$status"
