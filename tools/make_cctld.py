#!/usr/bin/env python3
"""Writes route/ccTLD.bin, the IP-range table, from Tor's geoip file
(lines "low,high,CC", addresses as decimal numbers).

Records are 12 bytes: first and last address (unsigned 32-bit, little
endian), a length byte 2, the two code letters and a 0. The table is sorted,
its ranges never overlap, and no range touches a private or loopback block.
Only codes that the country table has are kept; successor codes are mapped
onto the row of the country they came from.

Usage: tools/make_cctld.py [GEOIP] [OUT]
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
GEOIP = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/tor/geoip"
OUT = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "route", "ccTLD.bin")

SUCCESSORS = {
    "RS": "CS", "ME": "CS",
    "CW": "AN", "SX": "AN", "BQ": "AN",
    "SS": "SD", "TL": "TP", "AX": "FI",
    "GG": "GB", "JE": "GB", "IM": "GB",
    "BL": "GP", "MF": "GP",
    "CD": "CG",
}


def block(a, b, c, d, bits):
    first = (a << 24) | (b << 16) | (c << 8) | d
    return first, first + (1 << (32 - bits)) - 1


RESERVED = [block(10, 0, 0, 0, 8), block(127, 0, 0, 0, 8), block(169, 254, 0, 0, 16),
            block(172, 16, 0, 0, 12), block(192, 168, 0, 0, 16)]


def country_codes():
    codes = set()
    with open(os.path.join(HERE, "country_rows.tsv"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            code = line.split("\t")[1]
            if code != "-":
                codes.add(code)
    return codes


def read_ranges(codes):
    ranges, dropped = [], {}
    with open(GEOIP, encoding="ascii") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            low, high, cc = line.split(",")
            cc = SUCCESSORS.get(cc, cc)
            if cc not in codes:
                dropped[cc] = dropped.get(cc, 0) + 1
                continue
            ranges.append((int(low), int(high), cc))
    for cc, n in sorted(dropped.items()):
        print(f"dropped {cc}: {n} ranges", file=sys.stderr)
    return ranges


def merge(ranges):
    out = []
    for low, high, cc in sorted(ranges):
        if low > high:
            sys.exit(f"bad range {low},{high}")
        if out and low <= out[-1][1]:
            sys.exit(f"overlapping ranges at {low}")
        if out and out[-1][2] == cc and low == out[-1][1] + 1:
            out[-1] = (out[-1][0], high, cc)
        else:
            out.append((low, high, cc))
    return out


def cut_reserved(ranges):
    out = []
    for low, high, cc in ranges:
        pieces = [(low, high)]
        for r_low, r_high in RESERVED:
            next_pieces = []
            for a, b in pieces:
                if b < r_low or a > r_high:
                    next_pieces.append((a, b))
                    continue
                if a < r_low:
                    next_pieces.append((a, r_low - 1))
                if b > r_high:
                    next_pieces.append((r_high + 1, b))
            pieces = next_pieces
        out.extend((a, b, cc) for a, b in pieces)
    return out


def main():
    ranges = cut_reserved(merge(read_ranges(country_codes())))
    with open(OUT, "wb") as f:
        for low, high, cc in ranges:
            f.write(struct.pack("<IIB2sB", low, high, 2, cc.encode("ascii"), 0))
    print(f"{len(ranges)} records, {len({r[2] for r in ranges})} codes", file=sys.stderr)


if __name__ == "__main__":
    main()
