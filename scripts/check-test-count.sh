#!/usr/bin/env bash
# Fails unless a ctest run (its output saved in FILE) ran at least MIN tests:
# a test stage that quietly runs fewer tests than it has must not pass.
#   check-test-count.sh FILE MIN STAGE
set -euo pipefail
file="$1" min="$2" stage="$3"
ran="$(sed -n 's/.* tests passed, [0-9]* tests failed out of \([0-9]*\).*/\1/p' "$file" | tail -n1)"
if [[ -z "$ran" ]] || ((ran < min)); then
  echo "== $stage: ${ran:-no} tests ran; at least $min expected" >&2
  exit 1
fi
echo "== $stage: $ran tests ran (at least $min expected)"
