#!/usr/bin/env bash
# Runs a command with a fresh Wine prefix in a temporary folder as WINEPREFIX, set up before and removed after, so that
# every Windows program the command starts through scripts/wine-run.sh shares it and no earlier run's state counts.
# Usage: scripts/with-wine-prefix.sh COMMAND ARGUMENTS...
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

prefix=$(mktemp -d "${TMPDIR:-/tmp}/zendrel-wine.XXXXXX") || exit 1
export WINEPREFIX="$prefix"
cleanup() {
  WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1
  WINEPREFIX="$prefix" "$wineserver" -w >/dev/null 2>&1
  rm -rf "$prefix"
}
trap cleanup EXIT
# Wine sets the prefix up on its first start; done here once, quietly, instead of inside the first test.
"$here/wine-run.sh" wineboot --init >/dev/null 2>&1
"$@"
