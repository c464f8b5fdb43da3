#!/usr/bin/env bash
# Installs every Debian package the build, the tests and running Tarnwick under Wine need.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "setup.sh: $1" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "run it as root: it installs packages with apt-get"
export DEBIAN_FRONTEND=noninteractive
apt-get update || fail "apt-get update failed (its errors are above)"
xargs -a scripts/packages.txt apt-get install -y ||
  fail "installing the packages in scripts/packages.txt failed (apt-get's errors are above)"
