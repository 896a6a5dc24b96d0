#!/usr/bin/env bash
# The layer check passes on the real tree and fails, naming file and line, on a
# copy with an include of app/ planted in traffic/.
set -euo pipefail
root="$1"
check="$root/scripts/check-layers.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$check" "$root/src" >/dev/null

cp -r "$root/src" "$work/src"
target="$work/src/traffic/TrafficHooks.cpp"
printf '#include "app/Startup.h"\n' >>"$target"
line="$(wc -l <"$target")"
if "$check" "$work/src" 2>"$work/err"; then
  echo "a planted include of app/ in traffic/ passed the check" >&2
  exit 1
fi
grep -q "^src/traffic/TrafficHooks.cpp:$line: traffic includes \"app/Startup.h\"" "$work/err" || {
  echo "the failure does not name the planted include:" >&2
  cat "$work/err" >&2
  exit 1
}
echo "planted include refused as expected"

# A third-party library a subsystem includes without linking it is refused too.
rm -rf "$work/src"
cp -r "$root/src" "$work/src"
printf '#include <curl/curl.h>\n' >>"$work/src/gui/Gui.cpp"
if "$check" "$work/src" 2>"$work/err"; then
  echo "an include of curl in gui, which does not link it, passed the check" >&2
  exit 1
fi
grep -q "gui does not use curl, which src/gui/Gui.cpp:[0-9]* includes" "$work/err" || {
  echo "the failure does not name the unlinked library:" >&2
  cat "$work/err" >&2
  exit 1
}
echo "unlinked third-party include refused as expected"
