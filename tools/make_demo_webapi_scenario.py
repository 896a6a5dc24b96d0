#!/usr/bin/env python3
"""The demo's morning as the RealTraffic web API would serve it.

Reads a scenario of the app's stand-in (data/demo/lszh.scenario) and writes one
of the web API's stand-in (zelk_rtapi_emu): the app's traffic datagrams become
one /traffic answer per PACE seconds (each aircraft's latest report of that
window, as a traffic array), the parked lines one parked answer, the weather
datagram the nearest-METAR answer, the version the licence type of the login.
The answers of /traffic start over after the scenario's loop, as the app's
schedule does.

    make_demo_webapi_scenario.py <app scenario> <web-API scenario>

The web API reports barometric altitude on 1013.25 hPa where the app reports it
on the local QNH, so altitudes are moved by (QNH - 1013.25) x 30 ft, the same
correction the program applies the other way; aircraft on the ground stay at 0.
"""
import json
import sys

PACE = 2  # seconds between two traffic requests (the reply's "rrl")
STANDARD_HPA = 1013.25


def fields_of(line):
    return ["" if f == "null" else f for f in line.split(",")]


def number(text):
    return float(text) if text not in ("", None) else None


def traffic_array(f, qnh):
    """An RTTFC line's fields as the web API's traffic array of 49 items."""
    a = [None] * 49
    altitude = number(f[4]) or 0.0
    on_ground = f[6] == "1" or altitude <= 0.0
    a[0] = format(int(f[1]), "06x")
    a[1], a[2] = number(f[2]), number(f[3])
    a[3] = number(f[7])
    a[4] = 0 if on_ground else round(altitude - (qnh - STANDARD_HPA) * 30.0)
    a[5] = number(f[8])
    a[6] = "1000"
    a[8], a[9] = f[10] or None, f[11] or None
    a[10] = f[14]  # "{t}": the answer's own time, a quoted number
    a[11], a[12], a[13] = f[12] or None, f[13] or None, f[9] or None
    a[14] = 1 if on_ground else 0
    a[15] = number(f[5])
    a[17] = f[17] or None
    a[20] = number(f[20])
    a[23] = number(f[23])
    a[25] = number(f[25])
    a[28] = f[28] or None
    a[48] = f[43] if len(f) > 43 and f[43] else None
    return a


def parked_array(f):
    """An RTPARK line as the web API's parked array (7 items) under its hex id."""
    return f[1], [number(f[2]), number(f[3]), f[7], f[5], f[6], f[8], f[4]]


def main(source, target):
    version, parked, timed, loop = {}, {}, [], 0.0
    weather = None
    block = None
    for raw in open(source, encoding="utf-8"):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        if block is not None:
            if line == "end":
                block = None
            elif block == "parked":
                hex_id, item = parked_array(fields_of(line))
                parked[hex_id] = item
            continue
        word, _, rest = line.partition(" ")
        if word == "version":
            version = json.loads(rest)
        elif word in ("buffer", "parked"):
            block = word
        elif word == "loop":
            loop = float(rest)
        elif word == "at":
            when, port, text = rest.split(" ", 2)
            if port == "weather":
                weather = weather or json.loads(text)
            elif text.startswith("RTTFC,"):
                timed.append((float(when), fields_of(text)))
    qnh = float(weather["QNH"]) if weather and weather.get("QNH") else STANDARD_HPA
    end = loop or (max(t for t, _ in timed) + PACE if timed else PACE)

    answers = []
    latest = {}
    events = sorted(timed, key=lambda e: e[0])
    at = 0
    for k in range(int(end // PACE)):
        window_end = (k + 1) * PACE
        seen = {}
        while at < len(events) and events[at][0] < window_end:
            f = events[at][1]
            seen[f[1]] = f
            at += 1
        # An aircraft the window did not report keeps its last report for one more window.
        data = {}
        for hex_id, f in seen.items():
            latest[hex_id] = (k, f)
        for hex_id, (when, f) in latest.items():
            if k - when <= 1:
                item = traffic_array(f, qnh)
                data[item[0]] = item
        answers.append({"status": 200, "rrl": PACE * 1000, "full_count": len(data), "dataepoch": "{t}",
                        "data": data})

    login = {"status": 200, "GUID": "demo-0000-4000-8000-5a1c", "type": 2 if version.get("level") == 2 else 1,
             "rrl": PACE * 1000, "wrrl": 10000, "server": "demo"}
    metar = {"status": 200, "wrrl": 10000,
             "data": [{"ICAO": weather.get("ICAO"), "Dist": weather.get("DISTNM"), "BrgTo": 0,
                       "QNH": weather.get("QNH"), "METAR": weather.get("METAR")}] if weather else []}
    dump = lambda x: json.dumps(x, separators=(",", ":"))
    with open(target, "w", encoding="utf-8") as out:
        out.write("# Written by tools/make_demo_webapi_scenario.py from " + source.split("/")[-1] + ".\n")
        out.write("/auth 200 " + dump(login) + "\n")
        out.write('/deauth 200 {"status":200}\n')
        out.write("/nearestmetar 200 " + dump(metar) + "\n")
        out.write("/traffic#parkedtraffic 200 " + dump({"status": 200, "rrl": PACE * 1000, "data": parked}) + "\n")
        for i, answer in enumerate(answers):
            again = " again" if i == len(answers) - 1 and loop else ""
            out.write("/traffic 200" + again + " " + dump(answer) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
