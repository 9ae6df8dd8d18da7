#!/usr/bin/env bash
# Pictures of the window for the README: the program started on a virtual display (Xvfb) with sample settings in a
# data folder of its own, the main window saved as OUT_DIR/screenshot-linux.png and, after a click on the advanced
# settings button, the advanced window as OUT_DIR/screenshot-linux-advanced.png; then, started again with a Microsoft
# sign-in chosen, the main window as OUT_DIR/screenshot-linux-oauth.png and, after a click on the OAuth settings
# button, that window as OUT_DIR/screenshot-linux-oauth-settings.png.
# Usage: scripts/screenshot.sh PROGRAM OUT_DIR
# ZENDREL_SHOT_LANGUAGE=german shows the German texts; QT_SCALE_FACTOR=2 draws at twice the size; the pictures' names
# then end in ZENDREL_SHOT_SUFFIX (for example "-de-200").
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PROGRAM OUT_DIR" >&2; exit 2; }
program=$(realpath "$1")
out=$(realpath "$2")
language=${ZENDREL_SHOT_LANGUAGE:-english}
scale=${QT_SCALE_FACTOR:-1}
suffix=${ZENDREL_SHOT_SUFFIX:-}

# A folder of a fixed name, so that the save folder in the picture does not change from one run to the next.
work=${TMPDIR:-/tmp}/zendrel-screenshot
[ -L "$work" ] && { echo "screenshot: $work is a symbolic link" >&2; exit 1; }
rm -rf "$work" && mkdir -m 0700 "$work"
display_pid=""
program_pid=""
finish() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

export ZENDREL_DATA_DIR=$work/data
# The picture shows the window as a desktop session has it: the user's own configuration folder out of the way, and a
# stand-in systemctl that answers as a user's service manager does (a container has none, and its box is disabled).
export XDG_CONFIG_HOME=$work/config
mkdir -p "$work/data" "$work/Attachments" "$work/bin"
printf '#!/bin/sh\n[ "$2" = show-environment ] && exit 0\nexit 1\n' > "$work/bin/systemctl"
chmod +x "$work/bin/systemctl"
export PATH=$work/bin:$PATH
"$program" --set "Language=$language" Server=pop.example.org Port=110 Username=invoices TimeOUT=900 StartAtHour=6 \
  SaveDir="$work/Attachments/" FileExtensions=pdf,csv SearchString=Invoice "SubFolder={domain}/{year}-{month}" \
  >/dev/null
printf 'secret\n' | "$program" --set-password >/dev/null 2>&1
"$program" --allow billing@example.org >/dev/null
"$program" --allow accounts@example.com >/dev/null
"$program" --block newsletter@example.net >/dev/null
# Rows as the service leaves them for the window to take over at start-up.
printf '%s\r\n' "06:00:01 Successfully logged into account! (2 messages)." "06:00:02 File 'invoice-0815.pdf' saved!" \
  "06:00:02 Successfully signed out!" > "$work/data/log.txt"

number=$((100 + RANDOM % 800))
# Room for the window at twice the size.
Xvfb ":$number" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
display_pid=$!
export DISPLAY=:$number
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done

"$program" >"$work/program.log" 2>&1 &
program_pid=$!

# The first window whose title holds $1, waited for.
window_named() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && break
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; return 1; }
    sleep 0.2
  done
  [ -n "$id" ] || { echo "screenshot: no window titled '$1' came up" >&2; cat "$work/program.log" >&2; return 1; }
  echo "$id"
}

main=$(window_named "Zendrel V")
sleep 2  # the first take-over of log.txt (every 1.5 s)
import -window "$main" "$out/screenshot-linux$suffix.png"
# The advanced settings button, at its place in the settings frame.
xdotool mousemove --window "$main" "$((80 * scale))" "$((208 * scale))" click 1
advanced=$(window_named "Advanced Settings|Erweiterte Einstellungen")
sleep 0.5
import -window "$advanced" "$out/screenshot-linux$suffix-advanced.png"
echo "saved $out/screenshot-linux$suffix.png and $out/screenshot-linux$suffix-advanced.png"

kill "$program_pid" && wait "$program_pid" 2>/dev/null || true
"$program" --set Authentication=1 OAuthProvider=microsoft OAuthClientId=00000000-1111-2222-3333-444444444444 \
  Server=outlook.office365.com Port=995 Security=2 Username=invoices@outlook.com >/dev/null
"$program" >"$work/program.log" 2>&1 &
program_pid=$!
main=$(window_named "Zendrel V")
sleep 2
import -window "$main" "$out/screenshot-linux$suffix-oauth.png"
# The OAuth settings button, beside the advanced one.
xdotool mousemove --window "$main" "$((230 * scale))" "$((208 * scale))" click 1
oauth=$(window_named "OAuth settings|OAuth-Einstellungen")
sleep 0.5
import -window "$oauth" "$out/screenshot-linux$suffix-oauth-settings.png"
echo "saved $out/screenshot-linux$suffix-oauth.png and $out/screenshot-linux$suffix-oauth-settings.png"
