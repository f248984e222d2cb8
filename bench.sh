#!/usr/bin/env bash
# Times the headless pipeline against Python's email package and `wc -l` on
# generated messages of 1, 10 and 100 MB, all in one run on the same files.
#   ./bench.sh [SIZES...]    (default: 1 10 100)
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
tarvo_need "${TARVO_BUILD_PACKAGES[@]}" python3 time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target tarvo pipeline_bench window_bench >/dev/null

sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1 10 100)
mkdir -p bench/out

# Wall seconds (best of 3 runs) and peak RSS in KiB (largest seen) of a command.
measure() {
  local best=999999 rss=0 t0 t1 t r
  for _ in 1 2 3; do
    t0=$(date +%s%N)
    /usr/bin/time -f '%M' -o bench/out/rss.txt "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.4f", (b - a) / 1e9}')
    r=$(cat bench/out/rss.txt)
    if awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    [ "$r" -gt "$rss" ] && rss=$r
  done
  echo "$best $rss"
}

printf '%-6s %10s %10s %10s %10s %8s %10s %10s %9s\n' size_MB dump_s pipe_s python_s wc_s py/pipe pipe/wc peak_MB peak/size
for mb in "${sizes[@]}"; do
  f=bench/out/mail-${mb}MB.eml
  [ -f "$f" ] || python3 bench/gen_mail.py "$mb" "$f"
  bytes=$(stat -c %s "$f")
  read -r dump _ < <(measure build/app/tarvo --dump "$f")
  # The pipeline alone: the time it reports from the file's name to filled
  # views, each run in a fresh process; best of 3.
  pipe=$(for _ in 1 2 3; do build/bench/pipeline_bench "$f" 1 | cut -d' ' -f1; done | sort -n | head -1)
  read -r _ rss < <(measure build/bench/pipeline_bench "$f" 1)
  read -r py _ < <(measure python3 bench/py_email.py "$f")
  read -r wc _ < <(measure wc -l "$f")
  awk -v mb="$mb" -v d="$dump" -v p="$pipe" -v y="$py" -v w="$wc" -v r="$rss" -v b="$bytes" 'BEGIN{
    wcf = (w > 0.0001 ? w : 0.0001)
    printf "%-6s %10.3f %10.3f %10.3f %10.3f %8.1f %10.1f %10.1f %9.2f\n", mb, d, p, y, w, y/p, p/wcf, r/1024, r*1024/b }'
done

# The window, offscreen, on a 50 MB message: the time until every view is filled.
f=bench/out/mail-50MB.eml
[ -f "$f" ] || python3 bench/gen_mail.py 50 "$f"
echo "window (offscreen), 50 MB: $(build/bench/window_bench "$f" 3) s"
