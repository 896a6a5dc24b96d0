#!/usr/bin/env bash
# Runs a command and fails when a ZELK folder, or anything in one, appears in
# the given per-user folders (a wine prefix's roaming and local AppData) that
# was not there before: the tests under wine must keep out of the prefix
# user's own folders, each test program in folders of its own, as
# scripts/in-empty-home.sh checks natively. The command's status otherwise.
#   no-new-zelk-folder.sh FOLDER... -- COMMAND [ARGS...]
set -euo pipefail
usage() {
  echo "usage: no-new-zelk-folder.sh FOLDER... -- COMMAND [ARGS...]" >&2
  exit 2
}
folders=()
while (($#)) && [[ "$1" != "--" ]]; do
  folders+=("$1")
  shift
done
((${#folders[@]} > 0 && $# >= 2)) || usage
shift

# What the ZELK folders hold, themselves included; Windows names them in any
# letter case.
zelk_entries() {
  local folder
  for folder in "${folders[@]}"; do
    [[ -d "$folder" ]] || continue
    find "$folder" -mindepth 1 -maxdepth 1 -iname zelk -exec find {} \;
  done | LC_ALL=C sort
}

before="$(zelk_entries)"
rc=0
"$@" || rc=$?
new="$(LC_ALL=C comm -13 <(printf '%s\n' "$before") <(zelk_entries) | sed '/^$/d; s/^/     /')"
if [[ -n "$new" ]]; then
  echo "== the command wrote into the user's ZELK folders (${folders[*]}):" >&2
  echo "$new" >&2
  exit 1
fi
exit "$rc"
