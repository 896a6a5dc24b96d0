#!/usr/bin/env bash
# The CI scripts' own checks:
#   slowest: scripts/slowest-tests.sh lists a ctest run's slowest tests, slowest
#     first, whatever their result;
#   findings: scripts/fuzz.sh refuses a findings folder inside the tested tree,
#     where the replays of the builds after it would pick a finding up;
#   emptyhome: scripts/in-empty-home.sh fails a command that writes into the
#     user's folders it was given, and passes on the status of one that does not;
#   zelkfolders: scripts/no-new-zelk-folder.sh (the wine test stage's guard)
#     fails a command that leaves a new ZELK folder or anything new in one in the
#     folders it watches, and passes on the status of one that does not.
#   ci-scripts-test.sh <source root> slowest|findings|emptyhome|zelkfolders
set -euo pipefail
root="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

case "$2" in
slowest)
  cat >"$work/ctest.txt" <<'OUT'
Test project /tmp/build
      Start  1: core.Quick.One
  1/6 Test  #1: core.Quick.One ...........................   Passed    0.05 sec
  2/6 Test  #4: traffic.Grid.Heavy .......................   Passed   91.20 sec
  3/6 Test  #2: core.Broken.Case .........................***Failed    2.00 sec
  4/6 Test  #3: app.Stuck.Case ...........................***Timeout  600.01 sec
  5/6 Test  #5: feed.Crash.Case ..........................***Exception: SegFault  7.30 sec
  6/6 Test  #6: feed.Cases.Run/Slow  # GetParam() = Slow .......   Passed   50.00 sec

50% tests passed, 3 tests failed out of 6
Total Test time (real) = 700.00 sec
OUT
  bash "$root/scripts/slowest-tests.sh" "$work/ctest.txt" sample 4 >"$work/out"
  expected='== sample: the 4 slowest tests
    600.01 s  app.Stuck.Case  Timeout
     91.20 s  traffic.Grid.Heavy  Passed
     50.00 s  feed.Cases.Run/Slow  Passed
      7.30 s  feed.Crash.Case  Exception: SegFault'
  [[ "$(<"$work/out")" == "$expected" ]] || {
    echo "slowest-tests.sh listed:" >&2
    cat "$work/out" >&2
    exit 1
  }
  # A whole suite's list is larger than a pipe holds: listed, and no failure.
  for i in $(seq 1000 3999); do
    printf '%4d/3000 Test #%d: core.Many.Case%d .......................   Passed    %d.%02d sec\n' \
      "$((i - 999))" "$i" "$i" "$((i / 100))" "$((i % 100))"
  done >"$work/many.txt"
  bash "$root/scripts/slowest-tests.sh" "$work/many.txt" many >"$work/out"
  [[ "$(sed -n 2p "$work/out")" == "     39.99 s  core.Many.Case3999  Passed" && "$(wc -l <"$work/out")" == 11 ]] || {
    echo "slowest-tests.sh on 3,000 results listed:" >&2
    cat "$work/out" >&2
    exit 1
  }
  echo "the four slowest tests listed, slowest first; 3,000 results listed too"
  ;;
findings)
  inside="$root/tests/data/fuzz-regressions/planted-$$"
  # Should the check let it through, the fuzz build it would start ends at once.
  mkdir "$work/bin"
  printf '#!/bin/sh\nexit 3\n' >"$work/bin/cmake"
  chmod +x "$work/bin/cmake"
  status=0
  PATH="$work/bin:$PATH" ZELK_FUZZ_FINDINGS="$inside" bash "$root/scripts/fuzz.sh" 1 >"$work/out" 2>&1 || status=$?
  if ((status != 2)) || [[ -e "$inside" ]]; then
    echo "fuzz.sh with findings inside the tree ended with $status (not 2) or made $inside:" >&2
    cat "$work/out" >&2
    rm -rf "$inside"
    exit 1
  fi
  grep -q "lies inside the tested tree" "$work/out" || { cat "$work/out" >&2; exit 1; }
  echo "a findings folder inside the tree is refused before anything is built"
  ;;
emptyhome)
  # The command notes the user's folders it was given, writes the file named
  # (relative to its XDG_CONFIG_HOME) if any, and ends with the status named.
  cat >"$work/writer" <<'SH'
#!/bin/sh
echo "$HOME $XDG_CONFIG_HOME $XDG_DATA_HOME" >"$1/given"
# Never outside this test's folder, whatever the script under test gave.
case "$XDG_CONFIG_HOME" in "$1"/*) ;; *) exit 9 ;; esac
[ -z "$2" ] || { mkdir -p "$(dirname "$XDG_CONFIG_HOME/$2")" && echo x >"$XDG_CONFIG_HOME/$2"; }
exit "$3"
SH
  status=0
  TMPDIR="$work" bash "$root/scripts/in-empty-home.sh" sh "$work/writer" "$work" ZELK/parameters.xml 0 \
    >"$work/out" 2>&1 || status=$?
  read -r given_home given_config given_data <"$work/given"
  if ((status != 1)) || ! grep -q "ZELK/parameters.xml" "$work/out" || [[ -e "$given_home" ]] ||
     [[ "$given_home" != "$work"/* || "$given_config" != "$given_home" || "$given_data" != "$given_home" ]]; then
    echo "a command writing into the folders it was given ($given_home) ended with $status (not 1):" >&2
    cat "$work/out" >&2
    exit 1
  fi
  for rc in 0 3; do
    status=0
    TMPDIR="$work" bash "$root/scripts/in-empty-home.sh" sh "$work/writer" "$work" "" "$rc" >"$work/out" 2>&1 ||
      status=$?
    ((status == rc)) || { echo "a command ending with $rc and writing nothing: $status" >&2; cat "$work/out" >&2; exit 1; }
  done
  echo "what a command writes into the user's folders fails it, and goes; its own status otherwise"
  ;;
zelkfolders)
  # A prefix user's roaming folder that already holds a ZELK folder (the build
  # may run a program there) and a local one without; the command writes the
  # path named (relative to the test's folder) if any, and ends with the status named.
  mkdir -p "$work/roaming/ZELK" "$work/local"
  echo old >"$work/roaming/ZELK/parameters.xml"
  cat >"$work/writer" <<'SH'
#!/bin/sh
[ -z "$2" ] || { mkdir -p "$(dirname "$1/$2")" && echo x >"$1/$2"; }
exit "$3"
SH
  # guard PATH STATUS: the guard's status over a command writing PATH and ending with STATUS.
  guard() {
    local status=0
    bash "$root/scripts/no-new-zelk-folder.sh" "$work/roaming" "$work/local" -- sh "$work/writer" "$work" "$1" "$2"       >"$work/out" 2>&1 || status=$?
    echo "$status"
  }
  for written in local/ZELK/parameters.xml local/zelk/x roaming/ZELK/Log.txt roaming/ZELK/sub/parameters.xml; do
    status="$(guard "$written" 0)"
    if [[ "$status" != 1 ]] || ! grep -qF "$work/$written" "$work/out"; then
      echo "a command writing $written ended with $status (not 1) or was not named:" >&2
      cat "$work/out" >&2
      exit 1
    fi
    rm -rf "$work/local"/* "$work/roaming/ZELK/Log.txt" "$work/roaming/ZELK/sub"
  done
  for rc in 0 3; do
    for written in "" roaming/Other/parameters.xml local/Packages/UserCfg.opt; do
      status="$(guard "$written" "$rc")"
      [[ "$status" == "$rc" ]] || {
        echo "a command ending with $rc and writing ${written:-nothing} outside the ZELK folders: $status" >&2
        cat "$work/out" >&2
        exit 1
      }
    done
  done
  [[ "$(<"$work/roaming/ZELK/parameters.xml")" == old ]] || { echo "the guard changed what was there" >&2; exit 1; }
  echo "a new ZELK folder or a new file in one fails the command; elsewhere its own status"
  ;;
*)
  echo "usage: ci-scripts-test.sh <source root> slowest|findings|emptyhome|zelkfolders" >&2
  exit 2
  ;;
esac
