#!/usr/bin/env bash
# Pictures of the Windows program's two windows for the README: build-windows/zendrel.exe under Wine on a virtual
# display (Xvfb), with sample settings in a data folder of its own; the advanced window opened by a click.
# Usage: scripts/windows-screenshots.sh [OUTPUT_FOLDER]   (default docs/). Needs xvfb, xdotool and imagemagick.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-docs}
program="$here/../build-windows/zendrel.exe"
[ -f "$program" ] || { echo "build it first: make windows" >&2; exit 1; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, xdotool, imagemagick)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zendrel-shots.XXXXXX")
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 10 display <&"$display_fd"
export DISPLAY=":$display" WINEPREFIX="$work/prefix"
mkdir -p "$work/data" "$work/save"
export ZENDREL_DATA_DIR="Z:$work/data"
finish() {
  "$here/wine-run.sh" wineboot --end-session >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

"$here/wine-run.sh" wineboot --init >/dev/null 2>&1
"$here/wine-run.sh" "$program" --set Language=english Server=pop.example.org Port=110 Username=office \
  "SaveDir=Z:${work//\//\\}\\save\\" FileExtensions=pdf,csv "SubFolder={domain}/{year}-{month}" >/dev/null 2>&1
"$here/wine-run.sh" "$program" --allow invoices@example.org >/dev/null 2>&1
"$here/wine-run.sh" "$program" >/dev/null 2>&1 &

wait_for() {
  for _ in $(seq 120); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}
main=$(wait_for "^Zendrel V[0-9]") || { echo "the main window did not come up" >&2; exit 1; }
sleep 2
import -window "$main" "$out/screenshot-windows.png"
# The advanced button, in the window's client area below the menu bar.
xdotool mousemove --window "$main" 100 170 click 1
advanced=$(wait_for "Advanced Settings") || { echo "the advanced window did not come up" >&2; exit 1; }
sleep 1
import -window "$advanced" "$out/screenshot-windows-advanced.png"
echo "saved $out/screenshot-windows.png and $out/screenshot-windows-advanced.png"
