#!/usr/bin/python3
"""Writes route/asn.bin, the network-owner table, from the IPFire location
database as Debian packages it (libloc-database, location.db), read with
python3-location (Debian's /usr/bin/python3, not a virtual environment's).

Every network of the database is walked flattened (no overlaps), networks
without an AS are dropped, neighbouring ranges of one AS are merged, and the
AS names are stored once each.

Layout, all numbers little endian:
  header   "TarvoAS1", then u32 N4, N6, NA, P, S
  S bytes  ASCII text naming the package and version the table came from
  N4 x u32 IPv4 range starts, ascending, the first 0
  N4 x u24 AS index of each IPv4 range (0xFFFFFF: no AS)
  N6 x u64 IPv6 range starts (the upper 64 bits), ascending, the first 0
  N6 x u24 AS index of each IPv6 range
  NA x u32 AS numbers, ascending
  NA x u24 offset of the AS's name in the pool
  P bytes  the name pool: per name a length byte and its UTF-8 bytes
A range runs from its start up to the next range's start (exclusive), the
last one to the end of the address space. IPv6 starts are /64 boundaries:
a smaller network says nothing about who routes it.

Usage: tools/make_asn.py [libloc-database_VERSION_all.deb | location.db] [OUT]
Without an argument the installed package is read.
"""
import os
import socket
import struct
import subprocess
import sys
import tempfile

import location

HERE = os.path.dirname(os.path.abspath(__file__))
INSTALLED = "/usr/share/libloc-location/location.db"
PACKAGE = "libloc-database"
MAGIC = b"TarvoAS1"
NONE = 0xFFFFFF


def package_version(source):
    if source.endswith(".deb"):
        out = subprocess.run(["dpkg-deb", "-f", source, "Package", "Version"],
                             check=True, capture_output=True, text=True).stdout
        fields = dict(line.split(": ", 1) for line in out.splitlines())
        if fields["Package"] != PACKAGE:
            sys.exit(f"{source} is {fields['Package']}, not {PACKAGE}")
        return fields["Version"]
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", PACKAGE],
                         capture_output=True, text=True)
    if out.returncode != 0 or not out.stdout:
        sys.exit(f"{PACKAGE} is not installed: pass its .deb instead")
    return out.stdout


def read_networks(db):
    """(family, first, last, asn) of every network that has an AS."""
    out = []
    for n in db.networks_flattened:
        if not n.asn:
            continue
        family = 4 if n.family == socket.AF_INET else 6
        first = int.from_bytes(socket.inet_pton(n.family, n.first_address), "big")
        last = int.from_bytes(socket.inet_pton(n.family, n.last_address), "big")
        out.append((family, first, last, n.asn))
    return out


def ranges(networks, bits):
    """Merged (first, last, asn) ranges of one family, with the gaps as
    asn 0, covering the whole address space from 0."""
    merged = []
    for first, last, asn in sorted(networks):
        if merged and first <= merged[-1][1]:
            sys.exit(f"overlapping networks at {first:x}")
        if merged and merged[-1][2] == asn and merged[-1][1] + 1 == first:
            merged[-1][1] = last
        else:
            if (merged[-1][1] + 1 if merged else 0) != first:
                merged.append([merged[-1][1] + 1 if merged else 0, first - 1, 0])
            merged.append([first, last, asn])
    end = (1 << bits) - 1
    if not merged:
        merged.append([0, end, 0])
    elif merged[-1][1] != end:
        merged.append([merged[-1][1] + 1, end, 0])
    return merged


def v6_starts(merged):
    for first, _, _ in merged:
        if first & ((1 << 64) - 1):
            sys.exit(f"IPv6 range start {first:x} is not on a /64 boundary")
    return [first >> 64 for first, _, _ in merged]


def name_bytes(name):
    b = (name or "").strip().encode("utf-8")
    if len(b) > 255:
        b = b[:255]
        while b and (b[-1] & 0xC0) == 0x80:
            b = b[:-1]
        if b and b[-1] >= 0xC0:
            b = b[:-1]
    return b


def u24(v):
    return struct.pack("<I", v)[:3]


def build(db, version):
    networks = read_networks(db)
    v4 = ranges([(f, l, a) for fam, f, l, a in networks if fam == 4], 32)
    v6 = ranges([(f, l, a) for fam, f, l, a in networks if fam == 6], 128)

    asns = sorted({a for _, _, a in v4 + v6 if a})
    index = {a: i for i, a in enumerate(asns)}
    pool, offsets, name_offsets = bytearray(), {}, []
    for a in asns:
        record = db.get_as(a)
        name = name_bytes(record.name if record else "")
        if name not in offsets:
            offsets[name] = len(pool)
            pool += bytes([len(name)]) + name
        name_offsets.append(offsets[name])
    if len(pool) > NONE or len(asns) >= NONE:
        sys.exit("too many names for 24-bit offsets")

    source = f"{PACKAGE} {version} (IPFire location database, CC BY-SA 4.0)".encode("ascii")
    out = bytearray(MAGIC)
    out += struct.pack("<5I", len(v4), len(v6), len(asns), len(pool), len(source))
    out += source
    out += b"".join(struct.pack("<I", f) for f, _, _ in v4)
    out += b"".join(u24(index[a] if a else NONE) for _, _, a in v4)
    out += b"".join(struct.pack("<Q", s) for s in v6_starts(v6))
    out += b"".join(u24(index[a] if a else NONE) for _, _, a in v6)
    out += b"".join(struct.pack("<I", a) for a in asns)
    out += b"".join(u24(o) for o in name_offsets)
    out += pool
    print(f"{source.decode()}: {len(v4)} IPv4 and {len(v6)} IPv6 ranges, {len(asns)} ASes, "
          f"{len(offsets)} names, {len(out)} bytes", file=sys.stderr)
    return bytes(out)


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else INSTALLED
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "route", "asn.bin")
    version = package_version(source)
    with tempfile.TemporaryDirectory() as tmp:
        path = source
        if source.endswith(".deb"):
            subprocess.run(["dpkg-deb", "-x", source, tmp], check=True)
            path = os.path.join(tmp, INSTALLED.lstrip("/"))
        table = build(location.Database(path), version)
    with open(out, "wb") as f:
        f.write(table)


if __name__ == "__main__":
    main()
