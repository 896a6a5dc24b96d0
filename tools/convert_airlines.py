#!/usr/bin/env python3
"""Adds the airlines of a standing-data airline list to the ICAO airline table
of the aircraft database (data/dbase.xml).

Usage: convert_airlines.py <airlines.csv> <dbase.xml>

The table keeps every code it holds, in its hand-kept groups. Each airline of
the list whose ICAO code the table does not hold yet is added below them, one
element per airline with the list's name. The added block sits between two
marker comments and is written anew by every run, so the converter can be run
again when the list changes. Standard library only.
"""

import csv
import html
import re
import sys
from pathlib import Path

ICAO = re.compile(r"[A-Z]{3}")
BEGIN = "    <!-- Airlines from the standing-data airline list (CC0), see docs/DATA-SOURCES.md -->\n"
END = "    <!-- End of the airlines from the standing-data airline list -->\n"
SECTION = re.compile(r"(  <ICAO_airlines>\n)(.*?)(  </ICAO_airlines>\n)", re.S)
CODES = re.compile(r'<ICAO codes="([^"]*)"')


def table_codes(block):
    """The codes the hand-kept part of the table holds."""
    codes = set()
    for value in CODES.findall(block):
        codes.update(piece.strip() for piece in value.split(",") if piece.strip())
    return codes


def attribute(text):
    return (text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;"))


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8-sig", newline="") as f:
        rows = list(csv.DictReader(f))
    dbase = Path(argv[2])
    text = dbase.read_text(encoding="utf-8")

    section = SECTION.search(text)
    if section is None:
        print(f"{dbase}: no <ICAO_airlines> section", file=sys.stderr)
        return 1
    body = section.group(2)
    # A block of an earlier run is replaced, not kept as hand-kept codes.
    if BEGIN in body:
        body = body[:body.index(BEGIN)] + body[body.index(END) + len(END):]
    known = table_codes(body)

    added = {}
    refused = 0
    for row in rows:
        code = (row.get("ICAO") or "").strip()
        if not code:
            continue
        if not ICAO.fullmatch(code):
            refused += 1
            continue
        if code in known or code in added:
            continue
        # The list writes some ampersands as HTML entities.
        added[code] = " ".join(html.unescape(row.get("Name") or "").split())

    lines = [f'    <ICAO codes="{code}" name="{attribute(added[code])}"/>\n' for code in sorted(added)]
    new_body = body + (BEGIN + "".join(lines) + END if lines else "")
    text = text[:section.start(2)] + new_body + text[section.end(2):]
    dbase.write_text(text, encoding="utf-8", newline="\n")

    print(f"{len(known)} codes kept, {len(added)} added, {len(known) + len(added)} in the table"
          + (f", {refused} malformed codes refused" if refused else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
