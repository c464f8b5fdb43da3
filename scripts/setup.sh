#!/usr/bin/env bash
# Installs every Debian package the build, the tests and running Tarnwick under Wine need.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
apt-get update
xargs -a scripts/packages.txt apt-get install -y
