#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh             the normal build (build/)
#   ./test.sh --sanitize  the same tests under ASan + UBSan (build-asan/)
#   ./test.sh --fuzz SECONDS   builds the libFuzzer targets (clang, ASan + UBSan)
#                         and runs each for SECONDS on a seed corpus (build-fuzz/)
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

mode=normal
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  --fuzz) mode=fuzz; seconds="${2:?usage: $0 --fuzz SECONDS}" ;;
  *) echo "usage: $0 [--sanitize | --fuzz SECONDS]" >&2; exit 2 ;;
esac

if [ "$mode" = fuzz ]; then
  tarvo_need cmake ninja-build clang libclang-rt-14-dev libssl-dev
  dir=build-fuzz
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DTARVO_FUZZ=ON -DTARVO_GUI=OFF >/dev/null
  cmake --build "$dir" -j "$(nproc)"
  # Seeds: the samples, the hostile set and every message the tests carry.
  seeds="$dir/seeds"
  rm -rf "$seeds" && mkdir -p "$seeds"
  cp samples/*.eml tests/data/hostile/*.eml tests/data/auth/*.eml "$seeds"/ 2>/dev/null || true
  export ASAN_OPTIONS=detect_leaks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  failed=0
  for target in "$dir"/fuzz/*_fuzz; do
    name=$(basename "$target")
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    echo "== $name: ${seconds}s"
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=16384 \
         -print_final_stats=1 -artifact_prefix="$dir/$name-" "$corpus" "$seeds" >"$dir/$name.log" 2>&1; then
      grep -E 'stat::number_of_executed_units' "$dir/$name.log" | sed "s/^/   $name /"
    else
      echo "   $name FAILED (log: $dir/$name.log)"
      tail -30 "$dir/$name.log"
      failed=1
    fi
  done
  [ "$failed" -eq 0 ] && echo "fuzz: all targets clean" || { echo "fuzz: failures"; exit 1; }
  exit 0
fi

tarvo_need "${TARVO_BUILD_PACKAGES[@]}" "${TARVO_TEST_PACKAGES[@]}"

if [ "$mode" = sanitize ]; then
  dir=build-asan
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  cmake -S . -B "$dir" -G Ninja >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
# The installed files and the .deb, from the normal build only.
if [ "$mode" = normal ]; then tools/check_install.sh "$dir"; fi
