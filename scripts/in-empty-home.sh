#!/usr/bin/env bash
# Runs a command with HOME, XDG_CONFIG_HOME and XDG_DATA_HOME pointing at a
# fresh empty folder, and fails when anything appears in it: the tests must
# keep out of the user's own folders, each test program in folders of its own.
# The command's status otherwise.
#   in-empty-home.sh COMMAND [ARGS...]
set -euo pipefail
home="$(mktemp -d "${TMPDIR:-/tmp}/zelk-empty-home.XXXXXX")"
trap 'rm -rf "$home"' EXIT
rc=0
HOME="$home" XDG_CONFIG_HOME="$home" XDG_DATA_HOME="$home" "$@" || rc=$?
left="$(cd "$home" && find . -mindepth 1 | sort | sed 's|^\./|     |')"
if [[ -n "$left" ]]; then
  echo "== the command wrote into the user's folders (HOME, XDG_CONFIG_HOME, XDG_DATA_HOME):" >&2
  echo "$left" >&2
  exit 1
fi
exit "$rc"
