#!/usr/bin/env bash
# Prints the lines of the tests (tests/ and fuzz/ sources) over the lines of
# the program (src/ and tools/ sources), blank lines left out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lf_lines() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.in' \) -print0 |
    xargs -0 cat | grep -cv '^[[:space:]]*$' || true
}
tests="$(lf_lines "$root/tests" "$root/fuzz")"
code="$(lf_lines "$root/src" "$root/tools")"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "test lines %d / code lines %d = %.2f\n", t, c, (c ? t / c : 0) }'
