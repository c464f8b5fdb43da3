#!/usr/bin/env bash
# Runs the README's first command, as the README writes it, the way a new user would:
# in a clean clone of this checkout's commit, with an empty HOME and no X display (as
# root, since setup.sh installs packages). It passes when start.sh says Tarnwick's main
# window is up, the window is there on start.sh's virtual screen and the picture shows
# more than an empty screen, and Ctrl-C then ends everything start.sh started.
#
#   FIRST_RUN_TIMEOUT=seconds   how long the window may take from the start (180)
#
# start.sh's output and its picture of the screen are kept in build/first-run/.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
timeout=${FIRST_RUN_TIMEOUT:-180}
out=$repo/build/first-run
mkdir -p "$out"
rm -f "$out/start.log" "$out/screen.png"

fail() { echo "check-first-run: FAIL: $*"; exit 1; }

# The first indented line of the README is the command for a fresh machine.
command=$(sed -n 's/^    //p' "$repo/README.md" | head -n 1)
[ -n "$command" ] || fail "README.md has no indented command"

work=$(mktemp -d /tmp/tarnwick-first-run.XXXXXX)
home=$work/home
mkdir "$home"
commit=$(git -C "$repo" rev-parse HEAD)
git clone -q --no-checkout "$repo" "$work/clone"
git -C "$work/clone" checkout -q --detach "$commit"
[ -z "$(git -C "$repo" status --porcelain)" ] ||
  echo "check-first-run: note: uncommitted changes in $repo are not part of the clone"

run= left=
stop() {
  [ -n "$run" ] || return 0
  # Ctrl-C as a terminal sends it: SIGINT to the whole process group.
  kill -INT -- "-$run" 2>/dev/null || true
  for _ in $(seq 30); do
    kill -0 "$run" 2>/dev/null || break
    sleep 1
  done
  # Anything still in the group (an exited process waiting for init to reap it is
  # not), or a Wine server still up for the prefix (Wine's helpers leave the group),
  # is something start.sh failed to end.
  for _ in $(seq 5); do
    left=$(ps -e -o pid=,pgid=,stat=,args= | awk -v g="$run" '$2 == g && $3 !~ /^Z/')
    [ -n "$left" ] || break
    sleep 1
  done
  kill -KILL -- "-$run" 2>/dev/null || true
  if WINEPREFIX=$home/.local/share/tarnwick-wine wineserver -k 2>/dev/null; then
    left+=${left:+$'\n'}"a wineserver for $home/.local/share/tarnwick-wine"
  fi
  run=
}
trap 'stop; rm -rf "$work"' EXIT

echo "check-first-run: running '$command' in a clean clone of ${commit:0:12} (HOME=$home, no DISPLAY)"
started=$(date +%s)
set -m  # its own process group, with SIGINT not ignored, as in a terminal
(cd "$work/clone" &&
  exec env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" \
    bash -c "$command") >"$out/start.log" 2>&1 &
run=$!
set +m

up=
while [ $(($(date +%s) - started)) -lt "$timeout" ]; do
  up=$(grep -m1 "start.sh: Tarnwick's main window is up" "$out/start.log" || true)
  [ -n "$up" ] && break
  kill -0 "$run" 2>/dev/null || break
  sleep 1
done
seconds=$(($(date +%s) - started))

if [ -z "$up" ]; then
  echo "check-first-run: the end of start.sh's output ($out/start.log):"
  tail -n 25 "$out/start.log" | sed 's/^/    /'
  if kill -0 "$run" 2>/dev/null; then
    fail "no main window within $timeout s"
  fi
  status=0
  wait "$run" || status=$?
  fail "'$command' ended (exit code $status) after $seconds s without the main window"
fi

display=$(sed -n 's/.* on the virtual screen \(:[0-9]*\);.*/\1/p' <<<"$up")
picture=$(sed -n 's/.*a picture of it is at \(.*\)$/\1/p' <<<"$up")
[ -n "$display" ] && [ -n "$picture" ] || fail "start.sh's line names no virtual screen and picture: $up"
DISPLAY=$display xdotool search --all --onlyvisible --name '^Tarnwick$' >/dev/null ||
  fail "start.sh said the window is up, but there is no visible Tarnwick window on $display"
cp "$picture" "$out/screen.png" || fail "start.sh's picture $picture is missing"
colours=$(identify -format '%k' "$out/screen.png")
[ "$colours" -gt 100 ] || fail "the picture of $display shows an empty screen ($colours colours): $out/screen.png"

stop
[ -z "$left" ] || fail "Ctrl-C left these running:"$'\n'"$left"
echo "check-first-run: PASS: Tarnwick's main window was up on $display after $seconds s; Ctrl-C ended it all (picture: $out/screen.png)"
