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
# Windows need a display: without one, a virtual one (Xvfb) for the time of the command, when it is installed.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null 2>&1; then
  exec {display_fd}<> <(:)
  Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 10 display_number <&"$display_fd" && export DISPLAY=":$display_number"
fi
cleanup() {
  WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1
  WINEPREFIX="$prefix" "$wineserver" -w >/dev/null 2>&1
  rm -rf "$prefix"
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
# Wine sets the prefix up on its first start; done here once, quietly, instead of inside the first test.
"$here/wine-run.sh" wineboot --init >/dev/null 2>&1
# The set-up leaves Wine's own processes winding down for some seconds, the service manager among them; a program
# starting meanwhile can meet two service managers at once. Ended here, the first program starts them once, afresh.
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w >/dev/null 2>&1
"$@"
