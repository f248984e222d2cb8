#!/usr/bin/env bash
# Installs what is missing, builds incrementally, and opens Tarvo on FILE
# (or, without FILE, on a sample message).
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
tarvo_need "${TARVO_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target tarvo
file="${1:-samples/multipart-alternative.eml}"
exec build/app/tarvo "$file"
