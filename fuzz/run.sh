#!/usr/bin/env bash
# Runs every fuzz target of a build for its share of a time budget, on a scratch copy of fuzz/corpus (the committed
# corpus never grows). Exits non-zero when any target crashes, leaks, hangs (10 s on one input) or runs out of memory;
# the failing input is kept under BUILD_DIR/fuzz-artifacts/.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
set -uo pipefail

if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]] || [ "$2" -lt 1 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd) || exit 2
budget=$2
fuzz_dir=$(cd "$(dirname "$0")" && pwd)

shopt -s nullglob
targets=("$build_dir"/fuzz/*_fuzzer)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets in $build_dir/fuzz (configure with CXX=clang++ -DZENDREL_FUZZ=ON)" >&2
  exit 2
fi
share=$(( budget / ${#targets[@]} ))
[ "$share" -lt 1 ] && share=1

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zendrel-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$artifacts"

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus="$scratch/$name"
  mkdir -p "$corpus" "$artifacts/$name"
  cp "$fuzz_dir"/corpus/* "$corpus"/
  log="$scratch/$name.log"
  echo "fuzz: $name for ${share}s"
  "$target" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -dict="$fuzz_dir/mime.dict" -artifact_prefix="$artifacts/$name/" -print_final_stats=1 \
    "$corpus" >"$log" 2>&1
  status=$?
  if [ "$status" -eq 0 ]; then
    grep -E '^(Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" | sed 's/^/  /'
  else
    echo "fuzz: $name FAILED (exit status $status); the end of its log:" >&2
    tail -n 60 "$log" >&2
    echo "fuzz: the failing input is in $artifacts/$name/" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran ${share}s each without a finding"
