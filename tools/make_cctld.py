#!/usr/bin/env python3
"""Writes the IP-range tables of route/ from Tor's geoip files (Debian's
tor-geoipdb; lines "low,high,CC"):

  ccTLD.bin   IPv4, from geoip (addresses as decimal numbers). 12-byte
              records: first and last address (unsigned 32-bit, little
              endian), a length byte 2, the two code letters and a 0.
  ccTLD6.bin  IPv6, from geoip6 (addresses as text). 36-byte records: first
              and last address (128-bit, big endian, so that bytes compare
              as numbers), a length byte 2, the two code letters and a 0.
  ccTLD.txt   the package version both came from, and their record counts.

Each table is sorted, its ranges never overlap, neighbouring ranges of one
code are merged, and no range touches a private, loopback or link-local
block. Only codes that the country table has are kept; successor codes are
mapped onto the row of the country they came from.

Usage: tools/make_cctld.py [--geoip-dir DIR] [--out DIR]
       (defaults: /usr/share/tor and route/ beside this folder)
"""
import argparse
import ipaddress
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE = "tor-geoipdb"

SUCCESSORS = {
    "RS": "CS", "ME": "CS",
    "CW": "AN", "SX": "AN", "BQ": "AN",
    "SS": "SD", "TL": "TP", "AX": "FI",
    "GG": "GB", "JE": "GB", "IM": "GB",
    "BL": "GP", "MF": "GP",
}


def v4_block(a, b, c, d, bits):
    first = (a << 24) | (b << 16) | (c << 8) | d
    return first, first + (1 << (32 - bits)) - 1


def v6_block(text):
    net = ipaddress.IPv6Network(text)
    return int(net.network_address), int(net.broadcast_address)


RESERVED_V4 = [v4_block(10, 0, 0, 0, 8), v4_block(127, 0, 0, 0, 8), v4_block(169, 254, 0, 0, 16),
               v4_block(172, 16, 0, 0, 12), v4_block(192, 168, 0, 0, 16)]
# Loopback, IPv4-mapped (looked up in the IPv4 table), unique local, link-local.
RESERVED_V6 = [v6_block("::1/128"), v6_block("::ffff:0:0/96"), v6_block("fc00::/7"), v6_block("fe80::/10")]


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


def read_ranges(path, codes, to_number):
    ranges, dropped = [], {}
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            low, high, cc = line.split(",")
            cc = SUCCESSORS.get(cc, cc)
            if cc not in codes:
                dropped[cc] = dropped.get(cc, 0) + 1
                continue
            ranges.append((to_number(low), to_number(high), cc))
    for cc, n in sorted(dropped.items()):
        print(f"{os.path.basename(path)}: dropped {cc}: {n} ranges", file=sys.stderr)
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


def cut_reserved(ranges, reserved):
    out = []
    for low, high, cc in ranges:
        pieces = [(low, high)]
        for r_low, r_high in reserved:
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


def package_version():
    try:
        return subprocess.run(["dpkg-query", "-W", "-f=${Version}", PACKAGE], capture_output=True,
                              text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        sys.exit(f"{PACKAGE} is not installed: apt-get install {PACKAGE}")


def write_table(path, ranges, pack):
    with open(path, "wb") as f:
        for low, high, cc in ranges:
            f.write(pack(low, high, cc.encode("ascii")))
    return len(ranges), len({r[2] for r in ranges})


def pack_v4(low, high, cc):
    return struct.pack("<IIB2sB", low, high, 2, cc, 0)


def pack_v6(low, high, cc):
    return low.to_bytes(16, "big") + high.to_bytes(16, "big") + struct.pack("B2sB", 2, cc, 0)


def main():
    ap = argparse.ArgumentParser(description="Writes ccTLD.bin, ccTLD6.bin and ccTLD.txt.")
    ap.add_argument("--geoip-dir", default="/usr/share/tor")
    ap.add_argument("--out", default=os.path.join(HERE, "..", "route"))
    args = ap.parse_args()

    version = package_version()
    codes = country_codes()
    v4 = cut_reserved(merge(read_ranges(os.path.join(args.geoip_dir, "geoip"), codes, int)), RESERVED_V4)
    v6 = cut_reserved(merge(read_ranges(os.path.join(args.geoip_dir, "geoip6"), codes,
                                        lambda t: int(ipaddress.IPv6Address(t)))), RESERVED_V6)
    n4, c4 = write_table(os.path.join(args.out, "ccTLD.bin"), v4, pack_v4)
    n6, c6 = write_table(os.path.join(args.out, "ccTLD6.bin"), v6, pack_v6)
    with open(os.path.join(args.out, "ccTLD.txt"), "w", encoding="ascii") as f:
        f.write("# Made by tools/make_cctld.py from Debian's package below; do not edit.\n")
        f.write(f"package {PACKAGE} {version}\n")
        f.write(f"ccTLD.bin geoip {n4} records {c4} codes\n")
        f.write(f"ccTLD6.bin geoip6 {n6} records {c6} codes\n")
    print(f"{PACKAGE} {version}: IPv4 {n4} records, {c4} codes; IPv6 {n6} records, {c6} codes", file=sys.stderr)


if __name__ == "__main__":
    main()
