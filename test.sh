#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh             the normal build (build/)
#   ./test.sh --sanitize  the same tests under ASan + UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

mode=normal
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
esac

tarvo_need "${TARVO_BUILD_PACKAGES[@]}"

if [ "$mode" = sanitize ]; then
  dir=build-asan
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  cmake -S . -B "$dir" -G Ninja >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
