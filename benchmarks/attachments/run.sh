#!/usr/bin/env bash
# Times `zendrel --extract` of one message with 5,000, 10,000 and 20,000 one-line attachments (medians of
# ATTACHMENTS_REPEAT rounds) and prints how the time grows when the attachments double. Goal: 20,000 in at most twice
# the time of 10,000.
# Usage: benchmarks/attachments/run.sh BUILD_DIR   (BUILD_DIR holds a Release build of zendrel)
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
zendrel="$(cd "$1" && pwd)/zendrel"
here=$(cd "$(dirname "$0")" && pwd)
out="$(cd "$here/../.." && pwd)/benchmarks/out/attachments"
repeat=${ATTACHMENTS_REPEAT:-3}
counts=(5000 10000 20000)
[ -x "$zendrel" ] || { echo "attachments benchmark: no zendrel in $1" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "attachments benchmark: missing time; run scripts/setup.sh bench as root" >&2; exit 2; }

mkdir -p "$out"
for count in "${counts[@]}"; do
  [ -s "$out/many-$count.eml" ] || python3 "$here/make_message.py" "$count" "$out/many-$count.eml"
done

median() { tr ' ' '\n' <<< "$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A wall cpu saved
for ((round = 1; round <= repeat; round++)); do
  for count in "${counts[@]}"; do
    dest="$out/saved"
    rm -rf "$dest" && mkdir -p "$dest"
    start=$(date +%s%N)
    /usr/bin/time -f "%U %S" -o "$out/usage" "$zendrel" --extract --to "$dest/" "$out/many-$count.eml" >/dev/null
    end=$(date +%s%N)
    wall[$count]+="$(( (end - start) / 1000000 )) "
    read -r user system < <(tail -n 1 "$out/usage")
    cpu[$count]+="$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }') "
    saved[$count]=$(find "$dest" -type f | wc -l)
  done
done
rm -rf "$out/saved"

echo "zendrel --extract of one message with many one-line attachments (medians of $repeat rounds)"
printf '%12s %10s %9s %9s %9s\n' attachments "size MB" "wall s" "cpu s" saved
for count in "${counts[@]}"; do
  printf '%12s %10s %9.2f %9.2f %9s\n' "$count" \
    "$(awk -v b="$(stat -c %s "$out/many-$count.eml")" 'BEGIN { printf "%.1f", b / 1048576 }')" \
    "$(awk -v m="$(median "${wall[$count]}")" 'BEGIN { print m / 1000 }')" \
    "$(awk -v m="$(median "${cpu[$count]}")" 'BEGIN { print m / 1000 }')" "${saved[$count]}"
done
ratio=$(awk -v a="$(median "${wall[20000]}")" -v b="$(median "${wall[10000]}")" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 2 ? "met" : "not met") }')
echo "Goal: 20,000 attachments within 2 x the time of 10,000: ${ratio} x, $verdict"
