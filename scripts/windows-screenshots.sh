#!/usr/bin/env bash
# Pictures of the Windows program's windows for the README: build-windows/zendrel.exe under Wine on a virtual display
# (Xvfb), with sample settings in a data folder of its own; the advanced window opened by a click; then, started again
# with a Microsoft sign-in chosen, the main window and the OAuth settings window opened by a click.
# Usage: scripts/windows-screenshots.sh [OUTPUT_FOLDER]   (default docs/). Needs xvfb, xdotool and imagemagick.
# ZENDREL_SHOT_LANGUAGE=german shows the German texts; ZENDREL_SHOT_DPI=192 a screen at 200 % (Wine's LogPixels); the
# pictures' names then end in ZENDREL_SHOT_SUFFIX (for example "-de-200"). Started with LANG=ru_RU.UTF-8 (the locale
# generated), Wine runs the program under the Russian code page, 1251.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-docs}
language=${ZENDREL_SHOT_LANGUAGE:-english}
dpi=${ZENDREL_SHOT_DPI:-96}
suffix=${ZENDREL_SHOT_SUFFIX:-}
program="$here/../build-windows/zendrel.exe"
[ -f "$program" ] || { echo "build it first: make windows" >&2; exit 1; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, xdotool, imagemagick)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zendrel-shots.XXXXXX")
exec {display_fd}<> <(:)
# Room for the window at twice the size.
Xvfb -displayfd "$display_fd" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 10 display <&"$display_fd"
export DISPLAY=":$display" WINEPREFIX="$work/prefix"
# A folder with an umlaut in its name, and the log's rows as the service leaves them (Windows-1252).
mkdir -p "$work/data" "$work/Anhänge"
printf '06:00:01 Successfully logged into account! (2 messages).\r\n06:00:02 File \047R\374ckerstattung.pdf\047 saved!\r\n' \
  > "$work/data/log.txt"
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
if [ "$dpi" != 96 ]; then
  "$here/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$here/wine-run.sh" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
fi
"$here/wine-run.sh" "$program" --set "Language=$language" Server=pop.example.org Port=110 Username=office \
  "SaveDir=Z:${work//\//\\}\\Anhänge\\" FileExtensions=pdf,csv "SubFolder={domain}/{year}-{month}" >/dev/null 2>&1
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
import -window "$main" "$out/screenshot-windows$suffix.png"
# The advanced button, in the window's client area below the menu bar.
xdotool mousemove --window "$main" $((100 * dpi / 96)) $((198 * dpi / 96)) click 1
advanced=$(wait_for "Advanced Settings|Erweiterte Einstellungen") || { echo "the advanced window did not come up" >&2; exit 1; }
sleep 1
import -window "$advanced" "$out/screenshot-windows$suffix-advanced.png"
echo "saved $out/screenshot-windows$suffix.png and $out/screenshot-windows$suffix-advanced.png"

# The first program goes with the Wine session; a second one beside it would only bring it forward.
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
"$here/wine-run.sh" "$program" --set Authentication=1 OAuthProvider=microsoft \
  OAuthClientId=00000000-1111-2222-3333-444444444444 Server=outlook.office365.com Port=995 Security=2 \
  Username=office@outlook.com >/dev/null 2>&1
"$here/wine-run.sh" "$program" >/dev/null 2>&1 &
main=$(wait_for "^Zendrel V[0-9]") || { echo "the main window did not come up again" >&2; exit 1; }
sleep 2
import -window "$main" "$out/screenshot-windows$suffix-oauth.png"
# The OAuth settings button, beside the advanced one.
xdotool mousemove --window "$main" $((280 * dpi / 96)) $((198 * dpi / 96)) click 1
oauth=$(wait_for "OAuth settings|OAuth-Einstellungen") || { echo "the OAuth settings window did not come up" >&2; exit 1; }
sleep 1
import -window "$oauth" "$out/screenshot-windows$suffix-oauth-settings.png"
echo "saved $out/screenshot-windows$suffix-oauth.png and $out/screenshot-windows$suffix-oauth-settings.png"
