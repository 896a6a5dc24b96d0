#!/usr/bin/env bash
# The README's demo job on a ThreadSanitizer build: zelk against the RealTraffic
# app's stand-in and the simulator stand-in for ZELK_TSAN_DEMO_SECONDS (default
# 45), every thread of a real run at work. Fails on any report of the sanitizer
# (from zelk or the app's stand-in) and when the run did not reach its summary.
#   tsan-run-test.sh <source root> <build dir>
set -euo pipefail
root="$1"
build="$2"
out="$build/tsan-run-test.txt"
status=0
# A summary left by an earlier run must not pass for this one's.
rm -f "$build/run/Log.txt"
# exitcode: a run whose only fault is a report still ends apart from the demo's own codes.
TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}exitcode=66" ZELK_RUN_SKIP_BUILD=1 ZELK_BUILD_DIR="$build" \
  ZELK_DEMO_SECONDS="${ZELK_TSAN_DEMO_SECONDS:-45}" bash "$root/scripts/run.sh" --demo >"$out" 2>&1 || status=$?
faults=()
reports="$(cat "$out" "$build/run/rtapp-emu.txt" 2>/dev/null | grep -c 'WARNING: ThreadSanitizer' || true)"
if ((reports > 0)); then faults+=("$reports ThreadSanitizer reports"); fi
if ((status == 66)); then faults+=("zelk ended with the sanitizer's exit code"); fi
if ! grep -q '^Demo summary:' "$build/run/Log.txt" 2>/dev/null; then
  faults+=("the run ended without its demo summary (exit $status)")
fi
if ((${#faults[@]} > 0)); then
  grep -h -A40 'WARNING: ThreadSanitizer' "$out" "$build/run/rtapp-emu.txt" 2>/dev/null | head -n 200 || true
  tail -n 20 "$out"
  printf 'tsan-run-test: %s\n' "${faults[@]}"
  exit 1
fi
grep -h '^Demo summary:' "$build/run/Log.txt" | tail -n 1
echo "tsan-run-test: no report in a ${ZELK_TSAN_DEMO_SECONDS:-45}-s run (zelk ended with $status)"
