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

# ctest in DIR with ARGS, its output kept in FILE; then the ten slowest tests
# of the run, shown whether it passed or not. ctest runs under the command
# words of ctest_runner when set (none but ctest by default).
#   lf_ctest STAGE FILE DIR ARGS...
ctest_runner=()
lf_ctest() {
  local stage="$1" file="$2" dir="$3"
  shift 3
  local rc=0
  (cd "$dir" && "${ctest_runner[@]}" ctest "$@") | tee "$file" || rc=$?
  bash "$root/scripts/slowest-tests.sh" "$file" "$stage"
  return "$rc"
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
# The tests see an empty folder as the user's (HOME and the XDG folders) and
# the stage fails when anything lands there: each test program keeps to
# per-user folders of its own (tests/support/TestMain.cpp). The build before
# it keeps the real ones for its tools' caches.
ctest_runner=(bash "$root/scripts/in-empty-home.sh")
lf_ctest native "$root/build/ctest-native.txt" "$root/build" --no-tests=error --output-on-failure -j "$jobs" \
  --timeout 300
ctest_runner=()
bash "$root/scripts/check-test-count.sh" "$root/build/ctest-native.txt" "${ZELK_NATIVE_MIN_TESTS:-880}" native
bash "$root/scripts/test-unprivileged.sh" "$root/build/tests/test_core" 'FileUtils.*'
bash "$root/scripts/test-unprivileged.sh" "$root/build/tests/test_core" \
  'ParametersFile.ReadOnlyFileKeepsEverySave:ParametersFile.UnreadableFileIsSetAsideAndItsBackupTaken:ParametersFile.ReadOnlyDamagedFileIsKeptAsideEveryTime:ParametersFile.UnreadableFileAndUnreadableBackupAreBothKeptAside:ParametersFile.ProgramsOwnReadOnlyCopiesAreReplaced:ParametersFile.KeptCopyThatCannotBeWrittenWholeStaysAsItWas'
lf_stage native

cmake -S "$root" -B "$root/build-asan" -G Ninja -DZELK_WERROR=OFF -DZELK_SANITIZE=ON \
      -DZELK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build "$root/build-asan" -j "$jobs"
# The tests' own time-out in a sanitizer build is 600 s too (tests/CMakeLists.txt).
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  lf_ctest asan "$root/build-asan/ctest-asan.txt" "$root/build-asan" --no-tests=error --output-on-failure \
  -j "$jobs" --timeout 600
bash "$root/scripts/check-test-count.sh" "$root/build-asan/ctest-asan.txt" "${ZELK_NATIVE_MIN_TESTS:-880}" asan
lf_stage asan

# The threaded suites, the program's own processes and a whole demo run under
# ThreadSanitizer; the preset builds only the programs these run, each test
# program from the files that hold its threaded suites (tests/CMakeLists.txt).
(cd "$root" && cmake --preset tsan -DZELK_WERROR=$werror)
(cd "$root" && cmake --build --preset tsan -j "$jobs")
lf_ctest tsan "$root/build-tsan/ctest-tsan.txt" "$root" --preset tsan --no-tests=error -j "$jobs"
bash "$root/scripts/check-test-count.sh" "$root/build-tsan/ctest-tsan.txt" 11 tsan
lf_stage tsan

# Every parser's fuzz target, 20 s each, two at a time. Random mutation finds
# different inputs on each run, so a finding is reported without making the
# run red: its minimised input goes to a folder outside the tested tree
# (ZELK_FUZZ_FINDINGS, or a new temporary one) and into the log, so that the
# builds after this stage replay only the inputs the repository holds under
# tests/data/fuzz-regressions/; those replays in every build's tests gate.
fuzz_findings="${ZELK_FUZZ_FINDINGS:-$(mktemp -d "${TMPDIR:-/tmp}/zelk-fuzz-findings.XXXXXX")}"
if ! ZELK_FUZZ_FINDINGS="$fuzz_findings" bash "$root/scripts/fuzz.sh" 20; then
  echo "== fuzz: a new finding above, kept in $fuzz_findings; add its input to" \
       "tests/data/fuzz-regressions/<target>/ with the mend of the reader"
fi
if [[ -n "$(find "$fuzz_findings" -type f 2>/dev/null)" ]]; then
  echo "== fuzz: findings in $fuzz_findings (the tests that follow do not replay them):"
  (cd "$fuzz_findings" && find . -type f | sort | sed 's|^\./|     |')
fi
lf_stage fuzz


# The Windows program, cross-compiled with mingw-w64, and every test under wine.
bash "$root/scripts/build-windows.sh"
lf_stage windows
