#!/usr/bin/env bash
# Saving a large SoundFont through the module against copying its bytes with
# cp, best of three runs each, and the tool's peak resident memory. Prints
# figures; asserts nothing.
#   convert_bench.sh TOOL [SF2]
set -euo pipefail
tool=$1
src=${2:-/usr/share/sounds/sf2/FluidR3_GM.sf2}
[ -f "$src" ] || { echo "$src not found: nothing to measure"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src" "$work/in.sf2"
bytes=$(stat -c %s "$work/in.sf2")
best() { sort -n | head -1; }
conv=(); copy=(); rss=0
for i in 1 2 3; do
  rm -f "$work/out.sf2" "$work/cp.sf2"
  # Wall time from the shell's microsecond clock; /usr/bin/time gives the peak memory.
  t0=$EPOCHREALTIME
  r=$( { /usr/bin/time -f "%M" "$tool" convert --quiet "$work/in.sf2" "$work/out.sf2" ; } 2>&1 | tail -1)
  t1=$EPOCHREALTIME
  conv+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')"); [ "$r" -gt "$rss" ] && rss=$r
  t0=$EPOCHREALTIME
  cp "$work/in.sf2" "$work/cp.sf2"
  t1=$EPOCHREALTIME
  copy+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')")
done
c=$(printf '%s\n' "${conv[@]}" | best); p=$(printf '%s\n' "${copy[@]}" | best)
awk -v b="$bytes" -v c="$c" -v p="$p" -v r="$rss" 'BEGIN {
  cr = (c > 0) ? b / c / 1e6 : 0; pr = (p > 0) ? b / p / 1e6 : 0;
  printf "convert: %.3f s = %.0f MB/s; cp: %.3f s = %.0f MB/s; ratio %.2f (target at least 0.5)\n", c, cr, p, pr, (pr > 0) ? cr / pr : 0;
  printf "peak resident memory of the convert: %.1f MB (target below 32 MB)\n", r / 1024 }'
