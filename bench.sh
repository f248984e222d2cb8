#!/usr/bin/env bash
# Times tarvo against Python's email package on generated messages of 1, 10
# and 50 MB, all in one run on the same files, and prints the ratios the
# project aims at: the window (offscreen, until every memo has painted once)
# against Python, --dump against Python, and peak memory against file size;
# then a mailbox of 10,000 messages (MAILBOX=N for another count).
#   ./bench.sh [SIZES...]    (default: 1 10 50)
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
tarvo_need "${TARVO_BUILD_PACKAGES[@]}" python3 time
# BUILD=dir picks the build folder (default: build).
b=${BUILD:-build}
cmake -S . -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$b" -j "$(nproc)" --target tarvo pipeline_bench window_bench >/dev/null

sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1 10 50)
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

# Peak RSS in KiB of one run.
peak() {
  /usr/bin/time -f '%M' -o bench/out/rss.txt "$@" >/dev/null 2>&1
  cat bench/out/rss.txt
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-5s %8s %8s %8s %8s %8s %8s %9s %9s\n' \
  size_MB dump_s pipe_s window_s python_s py/dump win/py dumpmem/sz winmem/sz
for mb in "${sizes[@]}"; do
  f=bench/out/mail-${mb}MB.eml
  [ -f "$f" ] || python3 bench/gen_mail.py "$mb" "$f"
  bytes=$(stat -c %s "$f")
  read -r dump dumprss < <(measure "$b"/app/tarvo --dump "$f")
  # The pipeline alone: the time it reports, each run in a fresh process.
  pipe=$(for _ in 1 2 3; do "$b"/bench/pipeline_bench "$f" 1 | cut -d' ' -f1; done | sort -n | head -1)
  # The window: the time it reports itself (best of 3 in one process).
  win=$("$b"/bench/window_bench "$f" 3 | tail -1 | awk '{print $NF}')
  winrss=$(peak "$b"/bench/window_bench "$f" 1)
  read -r py _ < <(measure python3 bench/py_email.py "$f")
  awk -v mb="$mb" -v d="$dump" -v p="$pipe" -v w="$win" -v y="$py" -v dr="$dumprss" -v wr="$winrss" -v b="$bytes" 'BEGIN{
    printf "%-7s %8.3f %8.3f %8.3f %8.3f %8.1f %8.2f %9.2f %9.2f\n",
      mb, d, p, w, y, y/d, w/y, dr*1024/b, wr*1024/b }'
done
echo "targets: py/dump >= 8, win/py <= 0.25, dumpmem/sz <= 2.5, winmem/sz <= 4"

# The window on a text of 2.5 million short lines: at most 0.2 s.
f=bench/out/lines-2500k.eml
[ -f "$f" ] || python3 -c '
import sys
with open(sys.argv[1], "w") as out:
    out.write("Subject: lines\r\n\r\n")
    out.writelines(f"line {i}\r\n" for i in range(2500000))' "$f"
echo "window (offscreen), 2.5 million lines: $("$b"/bench/window_bench "$f" 3) s"
# A mailbox of MAILBOX messages (default 10,000; bench/gen_mailbox.py) as one
# mbox and as a Maildir: --dump on one and two threads against Python's email
# in one process (bench/py_mailbox.py), and the peak memory of --dump.
n=${MAILBOX:-10000}
box=bench/out/box-$n.mbox
dir=bench/out/maildir-$n
[ -f "$box" ] && [ -d "$dir" ] || python3 bench/gen_mailbox.py "$n" "$box" "$dir"
printf '%-8s %8s %8s %8s %8s %8s %8s\n' mailbox jobs1_s jobs2_s python_s py/jobs1 j2/j1 mem_MB
for kind in mbox maildir; do
  p=$box
  [ "$kind" = maildir ] && p=$dir
  read -r one rss1 < <(measure "$b"/app/tarvo --dump --jobs 1 "$p")
  read -r two rss2 < <(measure "$b"/app/tarvo --dump --jobs 2 "$p")
  read -r py _ < <(measure python3 bench/py_mailbox.py "$p" "$kind")
  awk -v k="$kind" -v a="$one" -v c="$two" -v y="$py" -v r1="$rss1" -v r2="$rss2" 'BEGIN{
    printf "%-8s %8.2f %8.2f %8.2f %8.1f %8.2f %8.1f\n", k, a, c, y, y/a, a/c, (r1 > r2 ? r1 : r2) / 1024 }'
done
echo "targets: py/jobs1 >= 20, j2/j1 >= 1.7, mem_MB < 100"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
