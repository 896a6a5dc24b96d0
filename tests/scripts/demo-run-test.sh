#!/usr/bin/env bash
# The README's main job for 60 s on an already built tree: the demo summary must
# show aircraft created, moved, parked and removed with none left, and agree with
# the simulator stand-in's record of what the program did. Further arguments go
# to run.sh (--demo-webapi: the same through the web API's stand-in).
#   demo-run-test.sh <source root> <build dir> [run.sh option]
set -euo pipefail
root="$1"
build="$2"
shift 2
status=0
ZELK_RUN_SKIP_BUILD=1 ZELK_BUILD_DIR="$build" ZELK_DEMO_SECONDS=60 bash "$root/scripts/run.sh" "$@" \
  >"$build/demo-run-test.txt" 2>&1 || status=$?
tail -n 5 "$build/demo-run-test.txt"
python3 - "$build/run/Log.txt" "$build/run/simstandin-record.jsonl" "$status" "$build/demo-run-test.txt" \
  "$build/run/display-list.txt" "$root/tests/data/gui/panel-demo-lszh.txt" <<'PY'
import json, re, sys
log, record, status, output = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
shown_list, golden_list = sys.argv[5], sys.argv[6]
lines = [l for l in open(log, encoding="utf-8", errors="replace") if l.startswith("Demo summary:")]
if not lines:
    sys.exit("no demo summary in Log.txt")
m = re.match(r"Demo summary: (\d+) live and (\d+) parked aircraft created, (\d+) moved, (\d+) parked at stands, "
             r"(\d+) removed, (\d+) left in the simulator", lines[-1])
if not m:
    sys.exit(f"unreadable summary: {lines[-1]}")
live, parked, moved, stands, removed, left = map(int, m.groups())
created_ids, removed_ids, poses = set(), set(), {}
for line in open(record, encoding="utf-8"):
    r = json.loads(line)
    if r["kind"] == "created":
        created_ids.add(r["object"])
    elif r["kind"] == "removed":
        removed_ids.add(r["object"])
    elif r["kind"] == "poses":
        for o in r["objects"]:
            poses.setdefault(o["object"], set()).add((o["lat"], o["lon"], o["alt"], o["hdg"]))
faults = []
if live + parked == 0 or moved == 0 or stands == 0 or removed == 0 or left != 0:
    faults.append("the summary lacks created, moved, parked or removed aircraft, or leaves some behind")
if len(created_ids) < live + parked:
    faults.append(f"{live + parked} created by the summary, {len(created_ids)} answered creates in the record")
if len(removed_ids) != removed:
    faults.append(f"{removed} removed by the summary, {len(removed_ids)} in the record")
if sum(1 for p in poses.values() if len(p) >= 2) != moved:
    faults.append(f"{moved} moved by the summary, {sum(1 for p in poses.values() if len(p) >= 2)} in the record")
hints = sum(1 for l in open(output, encoding="utf-8", errors="replace") if l.startswith("Push the tblo button"))
if hints > 1:
    faults.append(f"the tblo hint printed {hints} times, not once")
text = open(log, encoding="utf-8", errors="replace").read()
if "Exiting: DEMO ENDED" not in text or "demo run over, closing ZELK" not in text:
    faults.append("the demo's end is not logged as such")
if "USER CLOSED SIM" in text or "close window button clicked" in text:
    faults.append("the demo's end is logged as the user's close")
# The window as it was closed: its parking band op by op against the golden
# list, each op's kind, place and colour exact, its text with the run's
# numbers (counts, minutes, fit hours) left open.
def parking_band(path):
    try:
        ops = [l.rstrip("\n") for l in open(path, encoding="utf-8")]
    except OSError:
        return None
    start = next((i for i, l in enumerate(ops) if l.endswith("'airport: LSZH'")), None)
    if start is None:
        return []
    end = next((i for i in range(start, len(ops)) if not ops[i].startswith("text ")), len(ops))
    # A number is N whatever its form: the static fit, an average age in
    # hours, is 0.5 until the clock passes a half hour during the run and 1
    # after it.
    return [re.sub(r"'.*'", lambda t: re.sub(r"\d+(?:\.\d+)?", "N", t.group(0)), l) for l in ops[start:end]]
shown_band, golden_band = parking_band(shown_list), parking_band(golden_list)
if shown_band != golden_band:
    faults.append(f"the window's parking band {shown_band} is not the golden one {golden_band}")
if created_ids - removed_ids:
    faults.append(f"objects left in the simulator by the record: {sorted(created_ids - removed_ids)}")
if (status == 0) != (not faults):
    faults.append(f"zelk ended with {status}")
if faults:
    sys.exit("; ".join(faults))
print(lines[-1].strip(), "- matches the record")
PY
