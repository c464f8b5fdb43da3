#!/usr/bin/env bash
# Builds the Windows program with its bundled cursor sets and starts it: under Wine on
# Linux (on your X display, or a virtual one when there is none), directly on Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)"
folder=build/mingw
exe=$folder/Tarnwick.exe
echo "Program folder: $folder ($(ls "$folder"/*.TWC 2>/dev/null | wc -l) cursor sets)"

case "$(uname -s)" in
  MINGW*|MSYS*|CYGWIN*) exec "$exe" ;;
esac

export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/tarnwick-wine}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEDEBUG=${WINEDEBUG:--all}

if [ -z "${DISPLAY:-}" ]; then
  # No desktop here: give Wine a virtual screen, and show what it displays.
  Xvfb :57 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  export DISPLAY=:57
  sleep 1
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  (cd "$folder" && wine Tarnwick.exe) &
  sleep 8
  import -window root "$folder/screen.png"
  echo "No X display: Tarnwick runs on a virtual screen (:57); a picture of it is at $folder/screen.png."
  echo "Press Ctrl-C to end it."
  wait
else
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  cd "$folder" && exec wine Tarnwick.exe
fi
