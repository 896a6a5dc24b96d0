#!/usr/bin/env bash
# Runs a gtest program's cases as an unprivileged user. Root ignores
# permission bits, so tests of refused file access only mean something for
# another user; they skip themselves under root. Run as another user, a skip
# is a failure. Usage: test-unprivileged.sh <test program> <gtest filter>
set -euo pipefail
program="$1"
filter="$2"
user="zelk-test"

if [[ "$(id -u)" != 0 ]]; then
  exit 0 # the ordinary test run has already run them as this user
fi
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
fi

# A copy in a folder of its own, as the build folder may not be open to others.
scratch="$(mktemp -d /tmp/zelk-unprivileged.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cp "$program" "$scratch/tests"
mkdir "$scratch/tmp"
chown "$user" "$scratch/tmp"
chmod 755 "$scratch" "$scratch/tests"

status=0
output="$(cd "$scratch" && runuser -u "$user" -- env HOME="$scratch/tmp" TMPDIR="$scratch/tmp" ./tests --gtest_filter="$filter" 2>&1)" ||
  status=$?
if ((status != 0)) || grep -q '^\[  SKIPPED \]' <<<"$output" || ! grep -q '^\[  PASSED  \] [1-9]' <<<"$output"; then
  printf '%s\n' "$output"
  echo "$filter as user $user: failed or skipped" >&2
  exit 1
fi
grep '^\[  PASSED  \]' <<<"$output" | sed "s/\$/ ($filter as user $user)/"
