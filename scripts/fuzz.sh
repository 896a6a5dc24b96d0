#!/usr/bin/env bash
# Builds the parser fuzz targets (cmake --preset fuzz) and runs each for
# SECONDS, two at a time, from the seed corpus (fuzz/seeds.txt and
# fuzz/corpus/<target>/) and the kept findings (tests/data/fuzz-regressions/)
# with its dictionary. A run fails on a crash, a hang over 5 s, more than
# 1 GiB or an uncaught exception; its input is then minimised into
# FINDINGS/<target>/, a folder outside the checkout, so that the builds tested
# after this run replay only the inputs the repository holds; the input is
# also printed (base64) for the run's log, and the script ends with 1. Adding
# it to tests/data/fuzz-regressions/<target>/ with the mend makes every
# build's fuzz.Replay.<target> test replay it.
#
#   scripts/fuzz.sh SECONDS [TARGET...]
#   ZELK_FUZZ_FINDINGS: the findings folder (a new temporary folder if unset)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}"
shift
build="$root/build-fuzz"
jobs="${ZELK_FUZZ_JOBS:-2}"
findings="$(realpath -m "${ZELK_FUZZ_FINDINGS:-$(mktemp -d "${TMPDIR:-/tmp}/zelk-fuzz-findings.XXXXXX")}")"
case "$findings/" in
  "$(realpath "$root")"/*) echo "fuzz: the findings folder $findings lies inside the tested tree $root" >&2; exit 2 ;;
esac
mkdir -p "$findings"
echo "fuzz: new findings go to $findings"

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for source in "$root"/fuzz/fuzz_*.cpp; do
    name="$(basename "$source" .cpp)"
    targets+=("${name#fuzz_}")
  done
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The dictionaries a target's inputs speak.
lf_dictionary() {
  case "$1" in
    liveries | rtapp) cat "$root/fuzz/dict/cfg.dict" "$root/fuzz/dict/xml.dict" ;;
    update | rtapi) cat "$root/fuzz/dict/json.dict" ;;
    airports | roundtrips) cat "$root/fuzz/dict/xml.dict" "$root/fuzz/dict/json.dict" ;;
    *) cat "$root/fuzz/dict/xml.dict" "$root/fuzz/dict/json.dict" ;;
  esac
}

# One target: its corpus assembled, run, and a finding minimised.
lf_run() {
  local name="$1" corpus="$work/$1/corpus" artifacts="$work/$1/artifacts/"
  mkdir -p "$corpus" "$artifacts"
  while read -r target selector seed; do
    [[ "$target" == "$name" ]] || continue
    { printf "\\x$(printf %02x "$selector")"; cat "$root/$seed"; } >"$corpus/seed-$(basename "$seed")-$selector"
  done < <(grep -v '^#' "$root/fuzz/seeds.txt")
  [[ -d "$root/fuzz/corpus/$name" ]] && cp "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  [[ -d "$root/tests/data/fuzz-regressions/$name" ]] && cp "$root/tests/data/fuzz-regressions/$name/"* "$corpus/" 2>/dev/null || true
  lf_dictionary "$name" >"$work/$name/dict"
  local program="$build/fuzz/fuzz_$name"
  local started=$SECONDS
  if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$program" "$corpus" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=1048576 \
       -dict="$work/$name/dict" -artifact_prefix="$artifacts" -print_final_stats=1 >"$work/$name/log" 2>&1; then
    echo "fuzz $name: no finding in $((SECONDS - started)) s ($(ls "$corpus" | wc -l) corpus inputs)"
    return 0
  fi
  echo "fuzz $name: FINDING" >&2
  tail -n 40 "$work/$name/log" >&2
  local finding
  finding="$(ls "$artifacts" | head -n1)"
  if [[ -n "$finding" ]]; then
    local target_dir="$findings/$name"
    mkdir -p "$target_dir"
    "$program" "$artifacts/$finding" -minimize_crash=1 -runs=20000 -timeout=5 -rss_limit_mb=1024 \
      -exact_artifact_path="$target_dir/$finding" >/dev/null 2>&1 || cp "$artifacts/$finding" "$target_dir/$finding"
    # The run's findings folder may not outlive the machine: the log keeps the input.
    echo "fuzz $name: minimised input in $target_dir/$finding ($(wc -c <"$target_dir/$finding") bytes), base64:" >&2
    head -c 65536 "$target_dir/$finding" | base64 >&2
  fi
  return 1
}

failed=0
running=0
for name in "${targets[@]}"; do
  [[ -x "$build/fuzz/fuzz_$name" ]] || { echo "fuzz: no target $name" >&2; failed=1; continue; }
  lf_run "$name" &
  running=$((running + 1))
  if ((running >= jobs)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
