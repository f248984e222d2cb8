#!/usr/bin/env python3
"""Checks that the committed tables are what the generators make from the
package versions they record, by making them again in a temporary folder.
A table whose package is missing, or installed at another version, is
skipped; exit code 77 when every table was skipped (ctest's SKIP)."""
import filecmp
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
ROUTE = os.path.join(ROOT, "route")


def installed(package):
    try:
        return subprocess.run(["dpkg-query", "-W", "-f=${Status} ${Version}", package], capture_output=True,
                              text=True, check=True).stdout.replace("install ok installed ", "", 1).strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def recorded(path, pattern):
    with open(path, encoding="utf-8") as f:
        m = re.search(pattern, f.read())
    if not m:
        sys.exit(f"{path}: no package version recorded")
    return m.group(1)


def check(package, version, make, files):
    have = installed(package)
    if have != version:
        print(f"skipped: {package} {version} recorded, {have or 'not installed'} here")
        return None
    with tempfile.TemporaryDirectory() as tmp:
        make(tmp)
        bad = [f for f in files if not filecmp.cmp(os.path.join(tmp, f), os.path.join(ROUTE, f), shallow=False)]
    for f in bad:
        print(f"route/{f} differs from what {package} {version} makes")
    if not bad:
        print(f"{package} {version}: {', '.join(files)} made again byte for byte")
    return not bad


def make_ranges(tmp):
    subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make_cctld.py"), "--out", tmp], check=True)


def make_countries(tmp):
    with open(os.path.join(tmp, "CountryNames.cpp"), "w", encoding="utf-8") as out:
        subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make_country_names.py")], stdout=out, check=True)


def main():
    results = [
        check("tor-geoipdb", recorded(os.path.join(ROUTE, "ccTLD.txt"), r"package tor-geoipdb (\S+)"), make_ranges,
              ["ccTLD.bin", "ccTLD6.bin", "ccTLD.txt"]),
        check("iso-codes", recorded(os.path.join(ROUTE, "CountryNames.cpp"), r"iso-codes (\S+?)\.\n"), make_countries,
              ["CountryNames.cpp"]),
    ]
    if False in results:
        sys.exit(1)
    if all(r is None for r in results):
        sys.exit(77)


if __name__ == "__main__":
    main()
