#!/usr/bin/env bash
# Times `zendrel --extract` side by side with ripmime, munpack and Python's email package on the same inputs: one
# message with a 50 MiB base64 attachment, and 2,000 messages with two 100 KiB attachments each. Prints every tool's
# wall time and CPU time (medians of EXTRACT_REPEAT rounds, the tools taking turns), its ratio to the fastest other
# tool, its peak memory (for one process per message: the largest of those processes), and whether it saved the right
# bytes. The machine may be shared: the CPU time (user + system) is the steadier figure when wall times scatter.
# Usage: benchmarks/extract/run.sh BUILD_DIR   (BUILD_DIR holds a Release build of zendrel)
# Inputs are generated once into benchmarks/out/extract/inputs/ (git-ignored) and reused while their sizes fit.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
zendrel="$build_dir/zendrel"
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out="$repo/benchmarks/out/extract"
repeat=${EXTRACT_REPEAT:-3}
big_bytes=${EXTRACT_BIG_BYTES:-$((50 * 1024 * 1024))}
count=${EXTRACT_COUNT:-2000}
attachment_bytes=${EXTRACT_ATTACHMENT_BYTES:-$((100 * 1024))}

missing=()
[ -x "$zendrel" ] || { echo "extract benchmark: no zendrel in $build_dir" >&2; exit 2; }
command -v ripmime >/dev/null || missing+=(ripmime)
command -v munpack >/dev/null || missing+=(mpack)
[ -x /usr/bin/time ] || missing+=(time)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  echo "extract benchmark: missing ${missing[*]}; run scripts/setup.sh bench as root, or apt-get install ${missing[*]}" >&2
  exit 2
fi

# --- inputs -------------------------------------------------------------------------------------------------------
inputs="$out/inputs"
stamp="big=$big_bytes count=$count attachment=$attachment_bytes"
if [ "$(cat "$inputs/complete" 2>/dev/null)" != "$stamp" ]; then
  echo "Generating the inputs in $inputs ..."
  rm -rf "$inputs"
  python3 "$here/make_messages.py" "$inputs" --big-bytes "$big_bytes" --count "$count" \
    --attachment-bytes "$attachment_bytes"
  echo "$stamp" > "$inputs/complete"
fi
big_file="$inputs/big/big.eml"
many_list="$out/many.list"
find "$inputs/many" -name '*.eml' | sort > "$many_list"
mapfile -t many_files < "$many_list"
grep '  big-' "$inputs/expected.sha256" > "$out/expected-big.sha256"
grep '  msg-' "$inputs/expected.sha256" > "$out/expected-many.sha256"

largest_size() { stat -c %s "$@" | sort -n | tail -n 1; }
big_largest=$(largest_size "$big_file")
many_largest=$(largest_size "${many_files[@]}")

# --- the runs -----------------------------------------------------------------------------------------------------
# Each run is "scenario|tool|command": the command saves into $dest. One process per message goes through xargs,
# under a single /usr/bin/time, whose %M is then the largest resident set of any one of those processes and whose
# %U and %S add up all of them. A single process for all messages gets them in one command line (xargs -s).
python_extract="$here/python_extract.py"
runs=(
  "big|zendrel|\"$zendrel\" --extract --to \"\$dest/\" \"$big_file\""
  "big|ripmime|ripmime --no-nameless -i \"$big_file\" -d \"\$dest\""
  "big|munpack|munpack -q -C \"\$dest\" \"$big_file\""
  "big|python|python3 \"$python_extract\" \"\$dest\" \"$big_file\""
  "many|zendrel|xargs -a \"$many_list\" -d '\\n' -s 2000000 \"$zendrel\" --extract --to \"\$dest/\""
  "many|zendrel 1/msg|xargs -a \"$many_list\" -d '\\n' -n 1 \"$zendrel\" --extract --to \"\$dest/\""
  "many|ripmime 1/msg|xargs -a \"$many_list\" -d '\\n' -n 1 ripmime --no-nameless -d \"\$dest\" -i"
  "many|munpack 1/msg|xargs -a \"$many_list\" -d '\\n' -n 1 munpack -q -C \"\$dest\""
  "many|python|xargs -a \"$many_list\" -d '\\n' -s 2000000 python3 \"$python_extract\" \"\$dest\""
)

declare -A times cpu rss verified status
dest="$out/saved"
for ((round = 1; round <= repeat; round++)); do
  echo "Round $round of $repeat ..."
  for run in "${runs[@]}"; do
    IFS='|' read -r scenario tool command <<< "$run"
    key="$scenario|$tool"
    rm -rf "$dest" && mkdir -p "$dest"
    sync
    start=$(date +%s%N)
    set +e
    /usr/bin/time -f "%U %S %M" -o "$out/usage" bash -c "dest=\"$dest\"; $command" >/dev/null 2>"$out/stderr"
    code=$?
    set -e
    end=$(date +%s%N)
    if [ "$code" -ne 0 ]; then
      status[$key]="exit $code"
      echo "  $key exited with status $code:" >&2
      grep -v '^Command exited' "$out/stderr" | head -n 5 >&2 || true
    fi
    times[$key]+="$(( (end - start) / 1000000 )) "
    read -r user system kb < <(tail -n 1 "$out/usage")
    cpu[$key]+="$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }') "
    [ "${rss[$key]:-0}" -ge "$kb" ] || rss[$key]=$kb
    if [ "$round" -eq 1 ]; then
      expected="$out/expected-$scenario.sha256"
      ok=$(cd "$dest" && sha256sum -c "$expected" 2>/dev/null | grep -c ': OK$' || true)
      verified[$key]="$ok/$(wc -l < "$expected")"
    fi
  done
done
rm -rf "$dest"

# --- the table ----------------------------------------------------------------------------------------------------
median_ms() { tr ' ' '\n' <<< "$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
family() { echo "${1%% *}"; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

baseline_kb=$( { /usr/bin/time -f %M "$zendrel" --version >/dev/null; } 2>&1 | tail -n 1)
echo
echo "zendrel --extract against its peers ($(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'))"
echo "big:  1 message of $(mb "$big_largest") MB, one base64 attachment of $(mb "$big_bytes") MB of random bytes"
echo "many: $count messages of up to $(mb "$many_largest") MB, two base64 attachments of $((attachment_bytes / 1024)) KiB each;" \
  "\"1/msg\" = one process per message"
echo "wall, cpu (user + system) = medians of $repeat rounds; x other = wall / wall of the fastest other tool;"
echo "peak = max RSS of one process (of any round);"
echo "bytes = saved attachments whose sha256 matches the generated data"
echo
printf '%-8s %-17s %9s %9s %9s %10s %11s  %s\n' scenario tool "wall s" "x other" "cpu s" "peak MB" bytes status
for scenario in big many; do
  declare -A medians=()
  for run in "${runs[@]}"; do
    IFS='|' read -r s tool _ <<< "$run"
    [ "$s" = "$scenario" ] && medians[$tool]=$(median_ms "${times[$s|$tool]}")
  done
  for run in "${runs[@]}"; do
    IFS='|' read -r s tool _ <<< "$run"
    [ "$s" = "$scenario" ] || continue
    fastest_other=
    for other in "${!medians[@]}"; do
      [ "$(family "$other")" = "$(family "$tool")" ] && continue
      if [ -z "$fastest_other" ] || [ "${medians[$other]}" -lt "$fastest_other" ]; then fastest_other=${medians[$other]}; fi
    done
    key="$s|$tool"
    printf '%-8s %-17s %9.2f %9.2f %9.2f %10s %11s  %s\n' "$s" "$tool" \
      "$(awk -v m="${medians[$tool]}" 'BEGIN { print m / 1000 }')" \
      "$(awk -v m="${medians[$tool]}" -v f="$fastest_other" 'BEGIN { print (f > 0 ? m / f : 0) }')" \
      "$(awk -v m="$(median_ms "${cpu[$key]}")" 'BEGIN { print m / 1000 }')" \
      "$(mb $(( rss[$key] * 1024 )))" "${verified[$key]}" "${status[$key]:-ok}"
  done
  unset medians
done

echo
echo "Memory goal: peak <= 3 x the largest message (zendrel, one process for all messages; an idle zendrel takes $(mb $((baseline_kb * 1024))) MB)"
for scenario in big many; do
  largest=$([ "$scenario" = big ] && echo "$big_largest" || echo "$many_largest")
  peak=$(( rss[$scenario|zendrel] * 1024 ))
  verdict=$([ "$peak" -le $((3 * largest)) ] && echo met || echo "not met")
  above=$(( peak - baseline_kb * 1024 ))
  printf '  %-5s largest message %8s MB, goal %8s MB, zendrel peak %8s MB (%s MB above idle): %s\n' "$scenario" \
    "$(mb "$largest")" "$(mb $((3 * largest)))" "$(mb "$peak")" "$(mb "$above")" "$verdict"
done
