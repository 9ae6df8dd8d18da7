#!/usr/bin/env bash
# Times `zendrel --extract` of one message with 5,000, 10,000 and 20,000 one-line attachments (medians of
# ATTACHMENTS_REPEAT rounds) and prints how the time grows when the attachments double. Goal: 20,000 in at most twice
# the time of 10,000, judged on the program's own (user) CPU time: every file is flushed to disk before it gets its
# name, so the wall time is mostly the disk's, and the file system's own cost per new file in a crowded folder
# (system time) grows with the folder, whoever writes into it.
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
declare -A wall user system saved
for ((round = 1; round <= repeat; round++)); do
  for count in "${counts[@]}"; do
    dest="$out/saved"
    rm -rf "$dest" && mkdir -p "$dest"
    start=$(date +%s%N)
    /usr/bin/time -f "%U %S" -o "$out/usage" "$zendrel" --extract --to "$dest/" "$out/many-$count.eml" >/dev/null
    end=$(date +%s%N)
    wall[$count]+="$(( (end - start) / 1000000 )) "
    read -r u s < <(tail -n 1 "$out/usage")
    user[$count]+="$(awk -v u="$u" 'BEGIN { printf "%d", u * 1000 }') "
    system[$count]+="$(awk -v s="$s" 'BEGIN { printf "%d", s * 1000 }') "
    saved[$count]=$(find "$dest" -type f | wc -l)
  done
done
rm -rf "$out/saved"

echo "zendrel --extract of one message with many one-line attachments (medians of $repeat rounds)"
printf '%12s %10s %9s %9s %9s %9s\n' attachments "size MB" "wall s" "user s" "system s" saved
for count in "${counts[@]}"; do
  printf '%12s %10s %9.2f %9.2f %9.2f %9s\n' "$count" \
    "$(awk -v b="$(stat -c %s "$out/many-$count.eml")" 'BEGIN { printf "%.1f", b / 1048576 }')" \
    "$(awk -v m="$(median "${wall[$count]}")" 'BEGIN { print m / 1000 }')" \
    "$(awk -v m="$(median "${user[$count]}")" 'BEGIN { print m / 1000 }')" \
    "$(awk -v m="$(median "${system[$count]}")" 'BEGIN { print m / 1000 }')" "${saved[$count]}"
done
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
mine=$(ratio "${user[20000]}" "${user[10000]}")
verdict=$(awk -v r="$mine" 'BEGIN { print (r <= 2 ? "met" : "not met") }')
echo "20,000 against 10,000: wall $(ratio "${wall[20000]}" "${wall[10000]}") x, user $mine x," \
  "system $(ratio "${system[20000]}" "${system[10000]}") x"
echo "Goal: 20,000 attachments within 2 x the time of 10,000 (user CPU): ${mine} x, $verdict"
