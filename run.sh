#!/usr/bin/env bash
# Installs what is missing, builds incrementally, and opens Tarvo on FILE
# (or, without FILE, on a sample message). FILE is taken from where the
# caller stands, not from the repository.
set -euo pipefail
file=
if [ $# -gt 0 ]; then
  case "$1" in
    /* | -*) file="$1" ;;
    *) file="$PWD/$1" ;;
  esac
fi
cd "$(dirname "$0")"
. tools/deps.sh
tarvo_need "${TARVO_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target tarvo
exec build/app/tarvo "${file:-samples/multipart-alternative.eml}"
