#!/usr/bin/env bash
# Set up, build and run every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded suites and a
# demo run under ThreadSanitizer, the parser fuzz targets for 20 s each
# (reported, not gating), then the Windows build with its tests under wine.
# Each stage prints its time, its processor time and the time so far.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# The processor time of all finished child processes (user + system), in
# whole seconds, into cpu_seconds: a stage's share tells what it would take on
# a machine with fewer cores. `times` runs in this shell, as a subshell would
# count only its own children.
cpu_times="$(mktemp)"
trap 'rm -f "$cpu_times"' EXIT
lf_cpu_seconds() {
  times >"$cpu_times"
  cpu_seconds="$(tail -n 1 "$cpu_times" | awk 'function sec(t,  m) { m = t; sub(/m.*/, "", m); sub(/^[0-9]+m/, "", t); sub(/s$/, "", t); return m * 60 + t }
    { printf "%d", sec($1) + sec($2) }')"
}

run_started=$SECONDS
stage_started=$SECONDS
lf_cpu_seconds
stage_cpu=$cpu_seconds
lf_stage() {
  lf_cpu_seconds
  echo "== stage '$1' took $((SECONDS - stage_started)) s (processor time $((cpu_seconds - stage_cpu)) s; $((SECONDS - run_started)) s so far)"
  stage_started=$SECONDS
  stage_cpu=$cpu_seconds
}

"$root/scripts/setup.sh"
bash "$root/scripts/check-layers.sh"
bash "$root/scripts/line-ratio.sh"
lf_stage setup


jobs="$(nproc)"
werror=OFF
if [[ "${CI:-}" == "true" ]]; then werror=ON; fi

cmake -S "$root" -B "$root/build" -G Ninja -DZELK_WERROR=$werror
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 300) \
  | tee "$root/build/ctest-native.txt"
bash "$root/scripts/check-test-count.sh" "$root/build/ctest-native.txt" "${ZELK_NATIVE_MIN_TESTS:-880}" native
bash "$root/scripts/test-unprivileged.sh" "$root/build/tests/test_core" 'FileUtils.*'
lf_stage native

cmake -S "$root" -B "$root/build-asan" -G Ninja -DZELK_WERROR=OFF -DZELK_SANITIZE=ON \
      -DZELK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 600) | tee "$root/build-asan/ctest-asan.txt"
bash "$root/scripts/check-test-count.sh" "$root/build-asan/ctest-asan.txt" "${ZELK_NATIVE_MIN_TESTS:-880}" asan
lf_stage asan

# The threaded suites, the program's own processes and a whole demo run under
# ThreadSanitizer; the preset builds only the programs these run.
(cd "$root" && cmake --preset tsan -DZELK_WERROR=$werror)
(cd "$root" && cmake --build --preset tsan -j "$jobs")
(cd "$root" && ctest --preset tsan --no-tests=error -j "$jobs") | tee "$root/build-tsan/ctest-tsan.txt"
bash "$root/scripts/check-test-count.sh" "$root/build-tsan/ctest-tsan.txt" 11 tsan
lf_stage tsan

# Every parser's fuzz target, 20 s each, two at a time. Random mutation finds
# different inputs on each run, so a finding is reported (its minimised input
# is kept under tests/data/fuzz-regressions/) without making the run red; the
# replays of the kept inputs in every build's tests are what gate.
if ! bash "$root/scripts/fuzz.sh" 20; then
  echo "== fuzz: a new finding above; add its input to the repository and mend the reader"
fi
lf_stage fuzz


# The Windows program, cross-compiled with mingw-w64, and every test under wine.
bash "$root/scripts/build-windows.sh"
lf_stage windows
