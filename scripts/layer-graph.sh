#!/usr/bin/env bash
# Prints today's include graph between the subsystems of src/ as a Mermaid
# diagram: an arrow from each subsystem to each one it includes, labelled with
# the number of includes. docs/ARCHITECTURE.md shows its output.
#
#   scripts/layer-graph.sh [SRC_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
edges="$("$root/scripts/check-layers.sh" --edges "${1:-$root/src}")"
order="$(sed -n 's/^readonly ORDER="\(.*\)"$/\1/p' "$root/scripts/check-layers.sh")"

echo '```mermaid'
echo 'graph BT'
for name in $order; do
  echo "  $name"
done
# Upper subsystems first, each one's arrows from the lowest target up.
for from in $(tr ' ' '\n' <<<"$order" | tac); do
  for to in $order; do
    count="$(awk -v f="$from" -v t="$to" '$1 == f && $2 == t { print $3 }' <<<"$edges")"
    [[ -n "$count" ]] && echo "  $from -->|$count| $to"
  done
done
echo '```'
