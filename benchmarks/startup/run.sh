#!/usr/bin/env bash
# Runs the start-time benchmark: `zendrel --version` of BUILD_DIR (with the window module) beside the same of
# NO_WINDOW_BUILD_DIR (configured with -DZENDREL_GUI=OFF; by default BUILD_DIR-nowindow, which `make bench` builds).
# Builds nothing.
# Usage: benchmarks/startup/run.sh BUILD_DIR [NO_WINDOW_BUILD_DIR] [STARTS]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [NO_WINDOW_BUILD_DIR] [STARTS]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
no_window_dir=${2:-$build_dir-nowindow}
binary="$build_dir/benchmarks/startup/startup_benchmark"
for needed in "$binary" "$build_dir/zendrel" "$build_dir/zendrel-window.so" "$no_window_dir/zendrel"; do
  if [ ! -e "$needed" ]; then
    echo "startup benchmark: no $needed; build with the window and -DZENDREL_BENCHMARKS=ON, and without the window" >&2
    exit 2
  fi
done
exec "$binary" "$build_dir/zendrel" "$no_window_dir/zendrel" "${3:-200}"
