#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: `scripts/wine-run.sh PROGRAM.exe ARGUMENTS...`.
# With WINEPREFIX set (make test-windows sets one for the whole suite) the program runs in that prefix; otherwise in a
# fresh prefix in a temporary folder that goes when the program ends, so no earlier run's files or settings count.
# Wine is quiet (WINEDEBUG=-all) and its Mono and Gecko installers are switched off, so no prompt can block a run
# without a display.
set -uo pipefail

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  echo "wine-run: no wine64; install it with scripts/setup.sh windows" >&2
  exit 127
fi
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
export WINEARCH=win64

if [ -n "${WINEPREFIX:-}" ]; then
  exec "$wine" "$@"
fi


prefix=$(mktemp -d "${TMPDIR:-/tmp}/zendrel-wine.XXXXXX") || exit 1
export WINEPREFIX="$prefix"
# Wine sets a new prefix up on its first start and reports on that to the console; done here apart, the program's own
# output stays its own.
"$wine" wineboot --init >/dev/null 2>&1
"$wine" "$@"
status=$?
# The prefix's wineserver outlives the program for a few seconds; it must be gone before its folder is.
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w >/dev/null 2>&1
rm -rf "$prefix"
exit $status
