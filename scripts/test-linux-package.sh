#!/usr/bin/env bash
# Installs the Debian package as a user would (apt-get install ./FILE.deb from a folder of its own), checks that the
# program runs and the package's entries are sound, lets lintian judge it, and removes it again.
# Usage: scripts/test-linux-package.sh PACKAGE.deb   (as root: it installs into the system)
set -euo pipefail
deb=$(realpath "$1")
metainfo=usr/share/metainfo/example.zendrel.Zendrel.metainfo.xml
# Software centres read the AppStream file; a Wayland session without XWayland needs Qt's Wayland plugin.
[[ "$(dpkg-deb -f "$deb" Recommends)" == *qt6-wayland* ]] ||
  { echo "the package does not recommend qt6-wayland" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
  echo "test-linux-package: installing needs root; only the AppStream file and lintian are checked" >&2
  unpacked=$(mktemp -d)
  trap 'rm -rf "$unpacked"' EXIT
  dpkg-deb -x "$deb" "$unpacked"
  appstreamcli validate --no-net "$unpacked/$metainfo"
  lintian --fail-on error "$deb"
  exit 0
fi
if dpkg-query -W -f='${Status}' zendrel 2>/dev/null | grep -q 'install ok installed'; then
  echo "test-linux-package: zendrel is already installed here; not touching it" >&2
  exit 1
fi

folder=$(mktemp -d)
trap 'apt-get remove -y -qq --purge zendrel >/dev/null 2>&1 || true; rm -rf "$folder"' EXIT
cp "$deb" "$folder/"
# Without the recommended packages: what the test checks needs none of them, and the system keeps none afterwards.
(cd "$folder" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "./$(basename "$deb")" >/dev/null)

version=$(/usr/bin/zendrel --version)
# The program's version is the package's, less the Debian revision.
expected="Zendrel V$(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')"
[ "$version" = "$expected" ] || { echo "unexpected version: $version (expected $expected)" >&2; exit 1; }
# The window mode finds its module in /usr/lib/zendrel/ (and with it Qt): without a display it says it needs one.
window=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/zendrel 2>&1) && status=0 || status=$?
[ "$status" -eq 2 ] && [[ "$window" == *"needs a display"* ]] ||
  { echo "the installed window did not start as it should (exit $status): $window" >&2; exit 1; }
desktop-file-validate /usr/share/applications/zendrel.desktop
appstreamcli validate --no-net "/$metainfo" >/dev/null
man -l /usr/share/man/man1/zendrel.1.gz >/dev/null
lintian --fail-on error "$deb"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq --purge zendrel >/dev/null
left=$(ls -d /usr/bin/zendrel /usr/lib/zendrel /usr/share/applications/zendrel.desktop /usr/share/doc/zendrel \
  "/$metainfo" 2>/dev/null || true)
[ -z "$left" ] || { echo "left after removal: $left" >&2; exit 1; }
echo "package $(basename "$deb"): installed, ran ($version), validated and removed"
