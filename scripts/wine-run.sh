#!/bin/sh
# Runs one Windows program under wine for the cross build (the build's data-set
# step, test discovery and ctest use it as their emulator).
#
# The first wine program of a session starts wine's background services, and
# they inherit its standard streams. Were those the caller's pipes (ninja,
# ctest), the services would hold them open after the program ended and the
# caller would wait forever. So the program writes to files, which are passed
# on when it ends.
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
: "${WINEDEBUG:=-all}"
export WINEDEBUG
rc=0
wine "$@" >"$out" 2>"$err" </dev/null || rc=$?
cat "$out"
cat "$err" >&2
exit "$rc"
