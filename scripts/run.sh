#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrocam against the simulated
# camera, paced like a USB 2.0 high-speed link.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
exec build/app/tavrocam --camera=sim --sim-paced "$@"
