#!/usr/bin/env bash
# Runs every benchmark against one build folder. Usage: benchmarks/run.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
status=0
"$here/startup/run.sh" "$1" || status=1
echo
"$here/pop3/run.sh" "$1" || status=1
echo
"$here/run_once/run.sh" "$1" || status=1
echo
"$here/run_once/run.sh" "$1" --tls 1 || status=1
echo
"$here/run_once/run.sh" "$1" --delay-ms 5 || status=1
echo
"$here/attachments/run.sh" "$1" || status=1
if [ -x "$here/extract/run.sh" ]; then
  echo
  "$here/extract/run.sh" "$1" || status=1
fi
exit $status
