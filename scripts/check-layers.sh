#!/usr/bin/env bash
# Checks that the subsystems of src/ include each other one way only.
#
#   scripts/check-layers.sh [--edges] [SRC_DIR]
#
# Every `#include "<subsystem>/..."` in SRC_DIR (default: the repository's src/)
# must name the including file's own subsystem or one below it in the order
# below; nothing includes app, the composition root, and only app reaches the
# window object (gui/Gui.h): the others post screen updates through the queue. Windows code lives only in
# the win32/ folders of platform, gui and simlink (the simulator's client library). A subsystem folder missing from the
# order, an include the order forbids or a cycle between subsystems fails the
# check with the file and line that cause it.
#
# With --edges it prints the include graph instead, one "from to count" line per
# pair of different subsystems (what scripts/layer-graph.sh draws).
set -euo pipefail

# Bottom first. Keep docs/ARCHITECTURE.md in step.
readonly ORDER="platform core simlink gui update liveries airports traffic ground feed app"
readonly WIN32_HOMES="platform gui simlink"

mode=check
if [[ "${1:-}" == "--edges" ]]; then
  mode=edges
  shift
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
src="${1:-$root/src}"
if [[ ! -d "$src" ]]; then
  echo "check-layers: no source folder '$src'" >&2
  exit 2
fi
src="$(cd "$src" && pwd)"

failed=0

# True when subsystem $1 lies below subsystem $2 in the order.
lf_below() {
  local name seen=""
  for name in $ORDER; do
    [[ "$name" == "$2" ]] && { [[ "$seen" == yes ]]; return; }
    [[ "$name" == "$1" ]] && seen=yes
  done
  return 1
}

# Subsystem folders the order does not place: their includes could not be judged.
for dir in "$src"/*/; do
  name="$(basename "$dir")"
  if [[ " $ORDER " != *" $name "* ]]; then
    echo "src/$name: subsystem folder not in the layer order ($ORDER)" >&2
    failed=1
  fi
done

# Windows code only where a portable header hides it.
while IFS= read -r dir; do
  rel="${dir#"$src"/}"
  sub="${rel%%/*}"
  if [[ " $WIN32_HOMES " != *" $sub "* ]]; then
    echo "src/$rel: win32/ folders belong in src/platform, src/gui or src/simlink only" >&2
    failed=1
  fi
done < <(find "$src" -mindepth 2 -type d -name win32 | sort)

# "file:line:text" of every quoted include whose first path part is a folder of src/.
includes="$(cd "$src" && grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.in' \
  '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' . | sed 's#^\./##' | sort -t: -k1,1 -k2,2n || true)"

report="$(awk -v order="$ORDER" -v mode="$mode" -v srcdirs="$(cd "$src" && ls -d */ 2>/dev/null | tr -d / | tr '\n' ' ')" '
BEGIN {
  n = split(order, names, " ")
  for (i = 1; i <= n; ++i) rank[names[i]] = i
  split(srcdirs, dirs, " ")
  for (d in dirs) isDir[dirs[d]] = 1
  bad = 0
}
{
  file = $0; sub(/:.*/, "", file)
  rest = substr($0, length(file) + 2)
  line = rest; sub(/:.*/, "", line)
  text = substr(rest, length(line) + 2)
  target = text; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
  to = target; sub(/\/.*/, "", to)
  from = file; sub(/\/.*/, "", from)
  if (!(to in isDir) || from == file) next
  if (from == to) next
  edges[from " " to]++
  if (!((from " " to) in firstSeen)) firstSeen[from " " to] = "src/" file ":" line
  if (file ~ /\.(h|hpp|in)$/) fromHeader[from " " to] = 1
  if (mode != "check") next
  if (!(from in rank) || !(to in rank)) next   # reported above as a folder outside the order
  if (target == "gui/Gui.h" && from != "app") {
    printf "src/%s:%s: %s includes \"%s\": only app reaches the window object; post screen updates through gui/GuiUpdate.h\n", \
           file, line, from, target
    bad = 1
  }
  if (to == "app") {
    printf "src/%s:%s: %s includes \"%s\": nothing includes app, the composition root\n", file, line, from, target
    bad = 1
  } else if (rank[to] > rank[from]) {
    printf "src/%s:%s: %s includes \"%s\": %s lies above %s in the order %s\n", \
           file, line, from, target, to, from, order
    bad = 1
  }
}
END {
  if (mode == "edges") {
    for (e in edges) print e, edges[e]
  } else {
    for (e in edges) print "EDGE", e, firstSeen[e], ((e in fromHeader) ? "PUBLIC" : "PRIVATE")
  }
  exit bad
}' <<<"$includes")" || failed=1

if [[ "$mode" == "edges" ]]; then
  sort <<<"$report"
  exit 0
fi

grep -v '^EDGE ' <<<"$report" >&2 || true

# A cycle between subsystems: each edge of the loop named by its first include.
edges="$(grep '^EDGE ' <<<"$report" || true)"
if [[ -n "$edges" ]]; then
  if ! loop="$(awk '{print $2, $3}' <<<"$edges" | tsort 2>&1 >/dev/null)" || [[ -n "$loop" ]]; then
    members="$(grep -v 'input contains a loop' <<<"$loop" | sed 's/^tsort: //' | sort -u | tr '\n' ' ' | sed 's/ $//')"
    echo "include cycle between subsystems: $members; the includes that close it:" >&2
    while read -r _ from to where _; do
      if [[ " $members " == *" $from "* && " $members " == *" $to "* ]] && ! lf_below "$to" "$from"; then
        echo "  $where: $from -> $to" >&2
      fi
    done <<<"$edges"
    failed=1
  fi
fi

# The third-party includes of a subsystem, as "file:line:library" (the names
# zelk_add_subsystem takes after USES).
lf_thirdPartyIncludes() {
  (cd "$src" && grep -rnoE --include='*.h' --include='*.hpp' --include='*.cpp' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(fmt/|pugixml\.hpp|curl/|nlohmann/|sodium|zip\.h|gsl/)' "$1" || true) |
    sed -E 's#<fmt/.*#fmt#; s#<pugixml.*#pugixml#; s#<curl/.*#curl#; s#<nlohmann/.*#json#; s#<sodium.*#sodium#;
            s#<zip\.h.*#zip#; s#<gsl/.*#gsl#; s#:[^:]*include[[:space:]]*#:#'
}
lf_thirdPartyUsed() { lf_thirdPartyIncludes "$1" | awk -F: '{print $3}' | sort -u; }
lf_thirdPartyWhere() { lf_thirdPartyIncludes "$1" | awk -F: -v l="$2" '$3 == l {print "src/" $1 ":" $2; exit}'; }

# Each library links exactly what its includes use: PUBLIC what its headers
# include, PRIVATE what only its sources do (zelk_add_subsystem in CMakeLists.txt).
cmake_file="$src/CMakeLists.txt"
if [[ -f "$cmake_file" ]]; then
  while IFS= read -r call; do
    lineNo="${call%%:*}"
    args="$(sed -E 's/^[0-9]+:[[:space:]]*zelk_add_subsystem\(([^)]*)\).*/\1/' <<<"$call")"
    read -r name rest <<<"$args"
    declare -A linked=() uses=()
    kind=""
    for word in $rest; do
      case "$word" in
        PUBLIC | PRIVATE | USES) kind="$word" ;;
        *) if [[ "$kind" == USES ]]; then uses[$word]=1; else linked[$word]="$kind"; fi ;;
      esac
    done
    # The third-party libraries named after USES are exactly those the files include.
    while IFS= read -r library; do
      [[ -n "$library" ]] || continue
      if [[ -z "${uses[$library]:-}" ]]; then
        echo "src/CMakeLists.txt:$lineNo: $name does not use $library, which $(lf_thirdPartyWhere "$name" "$library") includes" >&2
        failed=1
      fi
      unset "uses[$library]"
    done < <(lf_thirdPartyUsed "$name")
    for library in "${!uses[@]}"; do
      echo "src/CMakeLists.txt:$lineNo: $name uses $library but includes nothing of it" >&2
      failed=1
    done
    while read -r _ from to where visibility; do
      [[ "$from" == "$name" ]] || continue
      if [[ -z "${linked[$to]:-}" ]]; then
        echo "src/CMakeLists.txt:$lineNo: $name does not link $to, which $where includes" >&2
        failed=1
      elif [[ "${linked[$to]}" != "$visibility" ]]; then
        echo "src/CMakeLists.txt:$lineNo: $name links $to ${linked[$to]}, but needs it $visibility ($where)" >&2
        failed=1
      fi
      unset "linked[$to]"
    done <<<"$edges"
    for to in "${!linked[@]}"; do
      echo "src/CMakeLists.txt:$lineNo: $name links $to but includes nothing of it" >&2
      failed=1
    done
    unset linked uses
  done < <(grep -nE '^[[:space:]]*zelk_add_subsystem\(' "$cmake_file")
fi

if ((failed)); then
  echo "check-layers: FAILED (order, bottom first: $ORDER)" >&2
  exit 1
fi
echo "check-layers: every include of src/ keeps the order $ORDER"
