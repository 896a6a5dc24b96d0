#!/usr/bin/env python3
"""Writes the scripted ground tracks of tests/data/ground: samples every few
seconds along made-up routes on the test airport, in metres north and east of
its reference point (ft, kt, ft/min, degrees)."""
import json, math, pathlib

def route(points, speed_at, t0, dt, alt_at=lambda d: 0.0, air_at=lambda d: 0, vs_at=lambda d: 0.0, s0=0.0):
    """Samples every dt seconds from s0 metres into the polyline; returns them,
    the time and the distance the next sample lies beyond the polyline's end,
    so that a following route keeps the pace."""
    legs = []
    total = 0.0
    for a, b in zip(points, points[1:]):
        d = math.hypot(b[0] - a[0], b[1] - a[1])
        legs.append((a, b, total, d))
        total += d
    out, t, s = [], t0, s0
    while s <= total + 1e-6:
        for a, b, start, d in legs:
            if start <= s <= start + d + 1e-9:
                f = (s - start) / d if d else 0.0
                n, e = a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1])
                hdg = math.degrees(math.atan2(b[1] - a[1], b[0] - a[0])) % 360
                break
        v = speed_at(s)
        out.append({"t": round(t, 2), "n": round(n, 2), "e": round(e, 2), "alt": round(alt_at(s), 1),
                    "gs": round(v, 1), "hdg": round(hdg, 1), "vs": round(vs_at(s), 0), "air": air_at(s)})
        s += max(v, 3.0) * 0.5144444 * dt
        t += dt
    return out, t, s - total

def write(name, track):
    p = pathlib.Path(__file__).resolve().parent.parent / "tests/data/ground" / name
    p.write_text(json.dumps(track, indent=1) + "\n")

def departure(mode):
    # From gate G6 (pushback) or G8 (pull-out north), both facing north, round
    # the apron to runway 09's threshold, take-off east.
    stand = (400, -255, 6) if mode == 0 else (400, -165, 8)
    samples = [{"t": 0, "n": stand[0], "e": stand[1], "alt": 0, "gs": 0, "hdg": 0, "vs": 0, "air": 0, "rep": 1}]
    events = [{"t": 5, "do": "depart", "mode": mode}]
    to_runway = [(150, -600), (150, -1600), (0, -1600), (0, -1500)]
    if mode == 0:
        # The sample that marks the departure lies behind and east: the tail swings east.
        samples.append({"t": 40, "n": stand[0] - 30, "e": stand[1] + 10, "alt": 0, "gs": 2, "hdg": 0, "vs": 0,
                        "air": 0})
        taxi, t, _ = route([(310, -219), (310, -600)] + to_runway, lambda d: 12.0, 190, 4)
    else:
        taxi, t, _ = route([stand[:2], (560, -165), (560, -600)] + to_runway, lambda d: 12.0, 45, 4)
        taxi = taxi[1:]
    samples += taxi
    events.append({"t": t, "do": "takeoffRoll"})
    roll, t, _ = route([(0, -1500), (0, 500)], lambda d: min(150.0, math.sqrt(2 * 1.8 * d / 0.5144444) + 5),
                       t, 3, air_at=lambda d: 1 if d > 1450 else 0,
                       alt_at=lambda d: max(0.0, (d - 1450) * 0.2), vs_at=lambda d: 2000.0 if d > 1450 else 0.0)
    climb, t, _ = route([(0, 500), (0, 7700)], lambda d: 160.0, t, 5, air_at=lambda d: 1,
                        alt_at=lambda d: 110 + d * 0.25, vs_at=lambda d: 2000.0)
    samples += roll + climb[1:]
    phases = ["parked", "pushing_back", "pushed_back", "taxi", "takeoff_roll", "takeoff", "flying"]
    if mode == 1:
        phases = ["parked", "taxi", "takeoff_roll", "takeoff", "flying"]
    return {"category": "Large", "spanM": 36, "stand": {"n": stand[0], "e": stand[1], "hdg": 0, "id": stand[2]},
            "parked": 1, "samples": samples, "events": events, "phases": phases, "endT": t + 10}

def arrival():
    # Runway 09 of the test airport: threshold 1500 m west of the reference
    # point, touch-down 300 m past it on a 3 degree glide; vacated north to
    # stand G10 (400 m north, 75 m west), the stream ending 50 m before it.
    glide = math.tan(math.radians(3.0))
    final, t, over = route([(0, -6000), (0, -1200)], lambda d: 140.0, 0, 5, air_at=lambda d: 1,
                           alt_at=lambda d: (4800 - d) * glide * 3.28084, vs_at=lambda d: -140 * 101.27 * glide)
    v0, a = 140.0, 5.0
    roll, t, _ = route([(0, -1200), (0, -75), (350, -75)],
                       lambda d: max(12.0, math.sqrt(max(0.0, v0 * v0 - 2 * a * d / 0.5144444))), t, 3, s0=over)
    events = [{"t": t + 20, "do": "claimStand"}]
    return {"category": "Large", "spanM": 36, "stand": {"n": 400, "e": -75, "hdg": 0, "id": 10}, "parked": 0,
            "samples": final + roll, "events": events, "endT": t + 110,
            "phases": ["flying", "landing", "landing_roll", "taxi", "parking", "parked"]}

def helicopter():
    # A circuit from helipad H1 (300 m north, 1300 m west) back to it, the
    # final from the south; the stream ends 6 m before the pad.
    pad = (300, -1300)
    samples = [{"t": 0, "n": pad[0], "e": pad[1], "alt": 0, "gs": 0, "hdg": 0, "vs": 0, "air": 0, "rep": 1}]
    events = [{"t": 10, "do": "depart", "mode": 1}, {"t": 28, "do": "takeoffRoll"}]
    circuit = [pad, (500, -1300), (500, -800), (100, -800), (100, -1300), (285, -1300)]
    total = 200 + 500 + 400 + 500 + 185
    alt = lambda d: min(250.0, 50 + d * 0.8, max(2.0, (total - d) * 0.6 - 5))
    vs = lambda d: 300.0 if d < 250 else (-700.0 if d > total - 420 else 0.0)
    # Slowing down over the last 200 m to a hover-taxi at the pad.
    hop, t, _ = route(circuit, lambda d: min(60.0, max(5.0, (total - d) * 0.3)), 40, 5, air_at=lambda d: 1,
                      alt_at=alt, vs_at=vs)
    down, t, _ = route([(285, -1300), (294, -1300)], lambda d: 3.0, t, 5)
    events.append({"t": t + 6, "do": "claimStand"})
    return {"category": "Rotorcraft", "spanM": 11, "stand": {"n": pad[0], "e": pad[1], "hdg": 0, "id": 23}, "parked": 1,
            "samples": samples + hop[1:] + down, "events": events, "endT": t + 60,
            "phases": ["parked", "taxi", "takeoff_roll", "takeoff", "flying", "landing", "landing_roll", "taxi",
                       "parking", "parked"]}

write("departure-pushback.json", departure(0))
write("departure-pullout.json", departure(1))
write("arrival.json", arrival())
write("helicopter.json", helicopter())
