#!/usr/bin/env bash
# Set up, build and start ZELK from its working folder build/run/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja
cmake --build "$root/build"
cd "$root/build/run"
exec ./zelk "$@"
