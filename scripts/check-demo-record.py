#!/usr/bin/env python3
"""Checks the simulator stand-in's record (JSON lines) of a demo run.

  check-demo-record.py RECORD [--min-created N] [--min-moved N] [--event NAME]
                       [--plans | --no-plans] [--client NAME]

Every object created must have been removed by the end. Exits 1 naming each
fault, 0 with a one-line summary."""
import argparse, json, sys

p = argparse.ArgumentParser()
p.add_argument("record")
p.add_argument("--min-created", type=int, default=1)
p.add_argument("--min-moved", type=int, default=1)
p.add_argument("--event", action="append", default=[])
p.add_argument("--plans", dest="plans", action="store_true", default=None)
p.add_argument("--no-plans", dest="plans", action="store_false")
p.add_argument("--client", default="ZELK")
a = p.parse_args()

opens, created, removed, events, plans, poses = [], set(), set(), set(), 0, {}
try:
    for line in open(a.record, encoding="utf-8"):
        r = json.loads(line)
        k = r["kind"]
        if k == "open":
            opens.append(r["client"])
        elif k == "created":
            created.add(r["object"])
        elif k == "removed":
            removed.add(r["object"])
        elif k == "event":
            events.add(r["name"])
        elif k == "plan":
            plans += 1
        elif k == "poses":
            for o in r["objects"]:
                poses.setdefault(o["object"], set()).add((o["lat"], o["lon"], o["alt"], o["hdg"]))
except (OSError, ValueError, KeyError) as e:
    sys.exit(f"record {a.record}: {e}")
moved = sum(1 for v in poses.values() if len(v) >= 2)
faults = []
if a.client not in opens:
    faults.append(f"no open as \"{a.client}\" (opens: {opens})")
if len(created) < a.min_created:
    faults.append(f"{len(created)} answered creates, fewer than {a.min_created}")
if moved < a.min_moved:
    faults.append(f"{moved} objects moved, fewer than {a.min_moved}")
for e in a.event:
    if e not in events:
        faults.append(f"no {e} event")
if a.plans is True and plans == 0:
    faults.append("no flight plans")
if a.plans is False and plans:
    faults.append(f"{plans} flight plans")
if created - removed:
    faults.append(f"not removed: {sorted(created - removed)}")
if faults:
    print("; ".join(faults), file=sys.stderr)
    sys.exit(1)
print(f"record: {len(created)} created, {moved} moved, {len(removed)} removed, {plans} flight plans, "
      f"events {sorted(events)}")
