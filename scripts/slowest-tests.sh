#!/usr/bin/env bash
# Prints the slowest tests of a ctest run from its saved output, slowest
# first, so that a test creeping toward its time-out shows before it fails.
#   slowest-tests.sh FILE STAGE [COUNT]
set -euo pipefail
file="$1" stage="$2" count="${3:-10}"
echo "== $stage: the $count slowest tests"
# A result line: "  12/905 Test  #34: core.Suite.Case ....   Passed    1.23 sec"
# (or ***Failed, ***Timeout, ***Exception: ...): the name follows "#N:" (a
# parameterised case's "# GetParam() = ..." left out), the result follows the
# dots, the time comes before the closing "sec".
awk '$NF == "sec" && / Test +#[0-9]+: / {
       name = $0; sub(/.* Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
       result = $0; sub(/ +[0-9.]+ sec$/, "", result); sub(/.* \.+ */, "", result); sub(/^\*+/, "", result)
       printf "%10.2f s  %s  %s\n", $(NF - 1), name, result
     }' "$file" | sort -rn | awk -v n="$count" 'NR <= n'
# The last filter reads to the end: `head` would stop reading after its lines
# and, a whole suite's list being larger than a pipe holds, end sort by SIGPIPE,
# which pipefail turns into a failed stage.
