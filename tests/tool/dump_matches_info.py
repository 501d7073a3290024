#!/usr/bin/env python3
"""Checks that zuinstr's `info --json` lists the instruments, banks, programs,
regions (key ranges) and the wave each region plays that libgig's dlsdump or
gigdump prints for the same file.
   dump_matches_info.py DUMP.txt INFO.json"""
import json
import re
import sys


def from_dump(text):
    instruments = []
    for line in text.splitlines():
        m = re.search(r'Instrument \d+\) "([^"]*)",\s*MIDIBank=(\d+), MIDIProgram=(\d+)', line)
        if m:
            instruments.append({"name": m.group(1), "bank": int(m.group(2)), "program": int(m.group(3)), "regions": []})
            continue
        m = re.search(r'^\s*Region \d+\) Sample: "([^"]*)"', line)
        if m and instruments:
            instruments[-1]["regions"].append({"wave": m.group(1), "keys": None})
        m = re.search(r"KeyRange=(\d+)-(\d+)", line)
        if m and instruments and instruments[-1]["regions"] and instruments[-1]["regions"][-1]["keys"] is None:
            instruments[-1]["regions"][-1]["keys"] = (int(m.group(1)), int(m.group(2)))
    return instruments


def from_info(info):
    out = []
    for inst in info["instruments"]:
        regions = [{"wave": r["layers"][0]["waveName"] if r["layers"] else "", "keys": (r["keyLow"], r["keyHigh"])}
                   for r in inst["regions"]]
        out.append({"name": inst["name"], "bank": inst["bankMsb"] * 128 + inst["bankLsb"], "program": inst["program"],
                    "regions": regions})
    return out


def main():
    dump = from_dump(open(sys.argv[1], encoding="utf-8", errors="replace").read())
    info = from_info(json.load(open(sys.argv[2], encoding="utf-8")))
    if not dump:
        print("the dump lists no instruments")
        return 1
    if dump != info:
        print("dump:", dump)
        print("info:", info)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
