#!/usr/bin/env bash
# Renders desktop/io.github.tarvo.svg into the PNG sizes of the hicolor icon
# theme (desktop/icons/NxN.png), with rsvg-convert from Debian's librsvg2-bin.
# The PNGs are committed, so a build needs neither the tool nor the package.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
version=$(dpkg-query -W -f='${Version}' librsvg2-bin 2>/dev/null || echo unknown)
for n in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$n" -h "$n" desktop/io.github.tarvo.svg -o "desktop/icons/${n}x${n}.png"
done
echo "rendered with librsvg2-bin $version" > desktop/icons/SOURCE
