#!/usr/bin/env bash
# Runs the Windows setup program silently under Wine, checks what it installed, uninstalls silently and checks that
# nothing of the program is left but the user's data folder. Run inside scripts/with-wine-prefix.sh (a fresh prefix).
# Usage: scripts/test-windows-installer.sh zendrel-VERSION-setup.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
setup=$(realpath "$1")
: "${WINEPREFIX:?run this inside scripts/with-wine-prefix.sh}"
wine() { "$here/wine-run.sh" "$@"; }
fail() { echo "test-windows-installer: $*" >&2; exit 1; }
drive="$WINEPREFIX/drive_c"
folder="$drive/Program Files/Zendrel"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zendrel'

wine "$setup" /S
[ -f "$folder/zendrel.exe" ] || fail "no zendrel.exe in Program Files"
[ -f "$folder/uninstall.exe" ] || fail "no uninstaller"
find "$drive/ProgramData" -path '*Start Menu/Programs/Zendrel/Zendrel.lnk' | grep -q . || fail "no Start-menu entry"
wine reg query "$key" /v UninstallString | grep -q 'uninstall.exe' || fail "no uninstall entry"
version=$(wine 'C:\Program Files\Zendrel\zendrel.exe' --version | tr -d '\r')
# The program's version is the one the installer registered.
expected="Zendrel V$(wine reg query "$key" /v DisplayVersion | tr -d '\r' | awk '$1 == "DisplayVersion" {print $3}')"
[ "$version" = "$expected" ] || fail "the installed program answered '$version', the installer registered '$expected'"

# What the program leaves when its boxes were ticked: a service, an autostart shortcut, and the user's settings.
services='HKLM\System\CurrentControlSet\Services'
wine sc create Zendrel_Service binPath= 'C:\Program Files\Zendrel\zendrel.exe' >/dev/null
wine reg query "$services\Zendrel_Service" >/dev/null 2>&1 || fail "no service to remove was created"
startup=$(find "$drive/ProgramData" -type d -path '*Start Menu/Programs/StartUp' | head -1)
[ -n "$startup" ] || fail "no common Startup folder in the prefix"
cp "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Zendrel/Zendrel.lnk" "$startup/Zendrel.lnk"
mkdir -p "$drive/ProgramData/Korvath/Tessaly"
printf '[Main]\r\nServer=pop.example\r\n' > "$drive/ProgramData/Korvath/Tessaly/Reader.prefs"

# The uninstaller copies itself away and returns at once, so that the copy can delete the original and its folder;
# waiting for the prefix's processes to end waits for the copy. (Its _?= switch, which would keep it in place, must
# stand unquoted, and Wine quotes an argument with a blank in it.)
wine "$folder/uninstall.exe" /S
"$(command -v wineserver || echo /usr/lib/wine/wineserver)" -w
[ ! -e "$folder" ] || fail "the program's folder is left: $(ls "$folder")"
! find "$drive/ProgramData" -name 'Zendrel.lnk' | grep -q . || fail "a shortcut is left"
! wine reg query "$key" >/dev/null 2>&1 || fail "the uninstall entry is left"
! wine reg query "$services\Zendrel_Service" >/dev/null 2>&1 || fail "the service is left"
[ -f "$drive/ProgramData/Korvath/Tessaly/Reader.prefs" ] || fail "the user's settings went with the program"
echo "installer $(basename "$setup"): installed, ran ($version), uninstalled; the data folder stays"
