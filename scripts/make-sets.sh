#!/usr/bin/env bash
# Makes the bundled cursor sets (sets/*.TWC) with twcmake, their large pictures
# (sets/*.png, 4 by 4 cells of 256 pixels), and their contact sheets: docs/NAME.png,
# the 32-pixel slices enlarged with their hot spots, and docs/NAME-sizes.png, the
# pointers made of the large pictures at 32, 48, 64, 96 and 128 pixels.
# Run from anywhere: scripts/make-sets.sh
#
#   TWCMAKE=path/to/twcmake   use that program instead of building it (linux preset)
#   SETS_OUT=folder           write the sets and their large pictures there instead of
#                             sets/, and no sheets
#
# The sets are the designs drawn by the program, so they are exactly reproducible; a
# test compares the committed files with what this script makes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [[ -z "${TWCMAKE:-}" ]]; then
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target twcmake -j 2 >/dev/null
  TWCMAKE="$root/build/linux/twcmake"
fi
out="${SETS_OUT:-$root/sets}"
mkdir -p "$out"

# White with a black rim, orange with a black rim, sky blue with a navy rim: a light
# body for dark ground and a dark rim for light ground.
"$TWCMAKE" make --design classic --fill white   --outline black -o "$out/Classic.TWC"
"$TWCMAKE" make --design dart    --fill orange  --outline black -o "$out/Dart.TWC"
"$TWCMAKE" make --design round   --fill '#3fa9f5' --outline navy -o "$out/Round.TWC"

if [[ -z "${SETS_OUT:-}" ]]; then
  sheets="$(mktemp -d)"
  trap 'rm -rf "$sheets"' EXIT
  mkdir -p "$root/docs"
  for set in Classic Dart Round; do
    "$TWCMAKE" explode "$out/$set.TWC" "$sheets/$set" >/dev/null
    cp "$sheets/$set/$set.png" "$sheets/$set/$set-sizes.png" "$root/docs/"
  done
fi
