#!/usr/bin/env python3
"""Writes the demo's five-minute Zurich (LSZH) morning: the RealTraffic app's
scenario for zelk_rtapp_emu (data/demo/lszh.scenario) and the simulator
stand-in's scripts with the airport's name, reference point, altitude,
stands, runways and helipad
(data/demo/simstandin-lszh.json for MSFS 2024, ...-2020.json for MSFS 2020).

Traffic: a pushback and departure off runway 28, an arrival on runway 14 that
taxis to a stand, two overflights, a Rega helicopter, parked aircraft on the
stands and the airport's METAR. Every aircraft reports once a second."""
import json, math, pathlib

REF = (47.4647, 8.5492)  # airport reference point
ELEV = 1416.0             # ft
LOOP = 300                # s
OUT = pathlib.Path(__file__).resolve().parent.parent / "data/demo"


def at(north_m, east_m):
    lat = REF[0] + north_m / 111120.0
    lon = REF[1] + east_m / (111120.0 * math.cos(math.radians(REF[0])))
    return lat, lon


def track(points, speeds, alts, dt=1.0):
    """Samples along a polyline of (north, east) metres; speeds (kt) and
    altitudes (ft) per point, interpolated along the way."""
    legs, total = [], 0.0
    for i in range(len(points) - 1):
        d = math.dist(points[i], points[i + 1])
        legs.append((i, total, d))
        total += d
    out, s = [], 0.0
    while True:
        for i, start, d in legs:
            if s <= start + d or i == len(legs) - 1:
                f = min(1.0, (s - start) / d) if d else 1.0
                a, b = points[i], points[i + 1]
                n, e = a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1])
                v = speeds[i] + f * (speeds[i + 1] - speeds[i])
                alt = alts[i] + f * (alts[i + 1] - alts[i])
                vs = (alts[i + 1] - alts[i]) / (d / max(v * 0.5144, 0.5)) * 60 if d else 0.0
                hdg = math.degrees(math.atan2(b[1] - a[1], b[0] - a[0])) % 360
                break
        out.append((n, e, alt, v, hdg, vs))
        if s >= total:
            return out
        s += max(v, 2.0) * 0.5144 * dt


def rttfc(hexid, sample, callsign, actype, reg, orig, dest, airline):
    n, e, alt, gs, hdg, vs = sample
    lat, lon = at(n, e)
    # As the real feed does: an aircraft on the ground reports altitude 0 with
    # the on-ground flag (field 6) set; in flight the flag is 0.
    ground = alt <= ELEV + 50
    if ground:
        alt, vs = 0.0, 0.0
    fields = ["RTTFC", str(hexid), f"{lat:.6f}", f"{lon:.6f}", f"{alt:.0f}", f"{vs:.0f}", "1" if ground else "0",
              f"{hdg:.1f}", f"{gs:.0f}", callsign, actype, reg, orig, dest, "{t}", "adsb", "null", "adsb_icao",
              f"{alt:.0f}",
              f"{gs:.0f}", f"{gs:.0f}", "", "", "0", "", f"{hdg:.1f}", "", "", "A3"] + [""] * 14 + [airline]
    return ",".join(fields)


# Stands on the apron south-east of the reference point, heading 220 degrees,
# and two on the east apron beside runway 14, where the arrival parks.
STANDS = [(f"GATE A{n}", at(-420 - 45 * i, 640 + 38 * i)) for i, n in enumerate(range(12, 20))]
STANDS += [("GATE E62", at(1140, 40)), ("GATE E63", at(1185, 81))]
# Which way a parked aircraft's nose points: the A stands face south-west, the
# E stands north-east, the way the arrival rolls in from runway 14.
HEADINGS = {"GATE E62": 47, "GATE E63": 47}
RUNWAYS = [  # primary, secondary, centre (n, e), heading, length m, width m, thresholds m
    ("10", "28", (-780, -360), 95.6, 2500, 60, 0, 300),
    ("14", "32", (740, 80), 137.6, 3300, 60, 0, 0),
    ("16", "34", (-520, -420), 155.9, 3700, 60, 0, 150),
]
HELIPAD = at(-300, 900)


def rwy_end(centre, hdg, length, sign):
    r = math.radians(hdg)
    return (centre[0] + sign * math.cos(r) * length / 2, centre[1] + sign * math.sin(r) * length / 2)


def schedule():
    lines = []

    def fly(t0, samples, *ident):
        for i, s in enumerate(samples):
            if t0 + i < LOOP:
                lines.append((t0 + i, rttfc(ident[0], s, *ident[1:])))

    # Departure: push back from GATE A14, taxi to the end of runway 28, take
    # off half-way down it and climb out west.
    gate = STANDS[2][1]
    gn = (gate[0] - REF[0]) * 111120.0
    ge = (gate[1] - REF[1]) * 111120.0 * math.cos(math.radians(REF[0]))
    r28 = rwy_end(RUNWAYS[0][2], 95.6, 2500, 1)
    w = math.radians(275.6)
    lift = (r28[0] + math.cos(w) * 1500, r28[1] + math.sin(w) * 1500)
    climb = (r28[0] + math.cos(w) * 8000, r28[1] + math.sin(w) * 8000)
    push = (gn + 25, ge + 21)
    out = (push[0] - 30, push[1] + 27)
    pts = [(gn, ge), push, out, (r28[0] + 20, r28[1] + 60), r28, lift, climb]
    fly(2, track(pts, [3, 2, 15, 15, 10, 150, 200], [ELEV] * 6 + [ELEV + 2500]),
        5001281, "SWR12", "A320", "HB-JLT", "ZRH", "JFK", "SWR")
    # Arrival: a short final to runway 14, roll out, vacate to the east apron
    # and taxi to GATE E62.
    r14 = rwy_end(RUNWAYS[1][2], 137.6, 3300, -1)
    stand = STANDS[8][1]
    sn = (stand[0] - REF[0]) * 111120.0
    se = (stand[1] - REF[1]) * 111120.0 * math.cos(math.radians(REF[0]))
    r = math.radians(137.6)
    final = (r14[0] - math.cos(r) * 3500, r14[1] - math.sin(r) * 3500)
    touch = (r14[0] + math.cos(r) * 300, r14[1] + math.sin(r) * 300)
    roll = (r14[0] + math.cos(r) * 1300, r14[1] + math.sin(r) * 1300)
    pts = [final, touch, roll, (sn - 40, se - 44), (sn, se)]
    arrival = track(pts, [145, 130, 20, 10, 2], [ELEV + 1000, ELEV, ELEV, ELEV, ELEV])
    # At the stand it goes on reporting, at rest, as the feed does.
    n, e, alt, _, hdg, _ = arrival[-1]
    arrival += [(n, e, alt, 0.0, hdg, 0.0)] * 120
    fly(20, arrival, 4007033, "DLH5LK", "A320", "D-AIZC", "FRA", "ZRH", "DLH")
    # Overflights, high and higher.
    fly(0, track([(-40000, -40000), (40000, 40000)], [450, 450], [35000, 35000], dt=1.0)[:LOOP],
        4736281, "KLM1841", "B738", "PH-BXO", "AMS", "BEY", "KLM")
    fly(60, track([(30000, -30000), (-30000, 30000)], [380, 380], [21000, 21000], dt=1.0)[:LOOP],
        3950215, "EZY45TM", "A320", "G-EZWX", "LGW", "VCE", "EZY")
    # The Rega helicopter in from the north to the helipad.
    hn = (HELIPAD[0] - REF[0]) * 111120.0
    he = (HELIPAD[1] - REF[1]) * 111120.0 * math.cos(math.radians(REF[0]))
    fly(30, track([(12000, 3000), (hn + 300, he), (hn, he)], [120, 40, 0], [ELEV + 1500, ELEV + 200, ELEV]),
        5001300, "HBZRM", "EC35", "HB-ZRM", "", "", "")
    lines.sort(key=lambda x: x[0])
    out = []
    for t in sorted({t for t, _ in lines}):
        out += [f"at {t} traffic {l}" for tt, l in lines if tt == t]
        out.append(f"at {t} traffic RTTFC_EOT")
    metar = {"ICAO": "LSZH", "NAME": "Zurich", "IATA": "ZRH", "DISTNM": 0.5, "QNH": "1021",
             "METAR": "LSZH 070920Z 24008KT 9999 FEW035 06/01 Q1021 NOSIG"}
    for t in range(0, LOOP, 30):
        out.append(f"at {t}.5 weather {json.dumps(metar, separators=(',', ':'))}")
    return out


def write_scenario():
    parked = []
    # Airlines the demo's AI package has liveries for: Swiss A320s (registrations
    # the database does not list, so the callsign names the airline) and KLM 737s.
    fleet = [("SWR200", "A320", "HB-JLP"), ("SWR201", "A320", "HB-JLQ"), ("KLM1273", "B738", "PH-BXA"),
             ("SWR203", "A320", "HB-JLR"), ("KLM1275", "B738", "PH-BXB"), ("SWR206", "A320", "HB-JLS")]
    free = [s for i, s in enumerate(STANDS[:8]) if i not in (2, 5)]  # the departure's stand stays free
    for i, ((name, (lat, lon)), (callsign, actype, reg)) in enumerate(zip(free, fleet)):
        parked.append(f"RTPARK,{0x4B1900 + i:x},{lat:.6f},{lon:.6f},{callsign},{actype},{reg},"
                      f"{name.replace('GATE ', '').replace(' ', '')},{{t-900}}")
    text = ["# The demo's Zurich morning, written by tools/make_demo_scenario.py.",
            'version {"level":2,"version":"9.0.1"}', "buffer", "end", "parked", *parked, "end",
            *schedule(), f"loop {LOOP}"]
    (OUT / "lszh.scenario").write_text("\n".join(text) + "\n")


def write_scripts():
    stands = [{"name": n, "latitude": round(lat, 7), "longitude": round(lon, 7), "heading": HEADINGS.get(n, 220),
               "radius_m": 24, "type": 9} for n, (lat, lon) in STANDS]
    runways = []
    for p, s, c, hdg, length, width, tp, ts in RUNWAYS:
        lat, lon = at(*c)
        runways.append({"primary": p, "secondary": s, "latitude": round(lat, 7), "longitude": round(lon, 7),
                        "heading": hdg, "length_m": length, "width_m": width, "altitude_ft": ELEV,
                        "primary_threshold_m": tp, "secondary_threshold_m": ts})
    gate = STANDS[0][1]
    for product, name in (("MSFS 2024", "simstandin-lszh.json"), ("MSFS 2020", "simstandin-lszh-2020.json")):
        script = {
            "product": product,
            "application": "KittyHawk" if product == "MSFS 2020" else "SunRise",
            "frame_dispatches": 16, "frames_per_second": 60, "start_after_ms": 1000,
            "user": {"title": "ZELK Demo B738 KLM", "model": "B738", "latitude": round(gate[0] - 0.0012, 7),
                     "longitude": round(gate[1] - 0.0030, 7), "altitude_ft": ELEV, "heading_deg": 220,
                     "on_ground": True},
            "ground_altitude_ft": ELEV,
            "airports": [{"icao": "LSZH", "name": "Zurich", "latitude": REF[0], "longitude": REF[1],
                          "altitude_ft": ELEV, "stands": stands, "runways": runways,
                          "helipads": [{"latitude": round(HELIPAD[0], 7), "longitude": round(HELIPAD[1], 7),
                                        "heading": 0, "length_m": 25, "width_m": 25}]}],
        }
        (OUT / name).write_text(json.dumps(script, indent=2) + "\n")


def write_streamed_package():
    """The simulator's streamed package of the airport, as MSFS 2024 keeps it: the
    scenery scan knows it by its folder name and reads the airport's stands
    from the simulator's facility data."""
    package = OUT / "MSFS2024/StreamedPackages/fs24-asobo-airport-lszh-zurich"
    package.mkdir(parents=True, exist_ok=True)
    manifest = {"dependencies": [], "content_type": "SCENERY", "title": "Zurich Airport", "manufacturer": "",
                "creator": "Asobo Studio", "package_version": "1.0.4", "minimum_game_version": "1.0.0",
                "release_notes": {"neutral": {"LastUpdate": "", "OlderHistory": ""}}}
    (package / "manifest.json").write_text(json.dumps(manifest, indent=2) + "\n")
    (package / "layout.json").write_text(json.dumps({"content": []}, indent=2) + "\n")


def write_official_scenery():
    """The airport as MSFS 2020 installs it, in the Official folder: a scenery
    file whose section table names an airport section. The scan finds it there
    and, as with the real simulator, reads the stands from the simulator's
    facility data; its records are never read."""
    folder = OUT / "MSFS2024/Official/OneStore/asobo-airport-lszh-zurich/scenery/0601"
    folder.mkdir(parents=True, exist_ok=True)
    header = bytearray(56)
    header[0:4] = (0x19920201).to_bytes(4, "little")
    header[4:8] = (56).to_bytes(4, "little")
    header[20:24] = (1).to_bytes(4, "little")    # one section
    section = bytearray(20)
    section[0:4] = (3).to_bytes(4, "little")     # the airport section
    section[8:12] = (1).to_bytes(4, "little")    # one subsection
    section[12:16] = (76).to_bytes(4, "little")  # its table right after this entry
    section[16:20] = (16).to_bytes(4, "little")
    subsection = bytearray(16)                   # an empty airport subsection
    subsection[12:16] = (92).to_bytes(4, "little")
    (folder / "APX47100.bgl").write_bytes(bytes(header + section + subsection))


def write_learned_file():
    """What an earlier visit left in the program's learned folder: at this
    airport the user switched parked aircraft from the feed (RT parked traffic)
    on, so the park airport's parking follows the feed's parked list."""
    learned = OUT / "airports/learned/my_simaddon"
    learned.mkdir(parents=True, exist_ok=True)
    (learned / "LSZH.xml").write_text("""<?xml version="1.0" encoding="UTF-8"?>
<root>
  <meta>
    <info name="author" value="ZELK" />
    <info name="version" value="1.0.0" />
    <info name="date" value="7 Dec 2026" />
    <info name="copyright" value="Copyright (c) 2026 ZELK Software. All rights reserved." />
    <info name="sim" value="2" />
  </meta>
  <parameters>
    <parameter name="icao" value="LSZH" />
    <parameter name="iata" value="ZRH" />
    <parameter name="airport_name" value="Zurich" />
    <parameter name="publisher" value="simaddon" />
    <parameter name="RT_PARKTRAFFIC_ONLY" value="true" />
    <parameter name="AUTO_PARK" value="false" />
    <parameter name="parking_percentage" value="30" />
  </parameters>
  <parkpositions />
</root>
""")


if __name__ == "__main__":
    write_scenario()
    write_scripts()
    write_streamed_package()
    write_official_scenery()
    write_learned_file()
