#!/usr/bin/env bash
# Installs the Debian packages the build, the tests or the benchmarks need, when they are missing.
# Usage: scripts/setup.sh [build|gui|demo|test|fuzz|bench|screenshot|windows|package|windows-installer]...
set -euo pipefail

# The charsets of attachment names need nothing more: iconv and all its gconv modules, the East Asian ones (CP932,
# EUC-JP, ISO-2022-JP, GBK, BIG5, CP949) included, come with Debian's libc6.
# The sign-in's HTTPS requests go through libcurl on Linux (WinHTTP on Windows); its JSON is read by nlohmann-json, a
# header-only library that the cross build takes from the same package.
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev python3 libssl-dev libcurl4-openssl-dev nlohmann-json3-dev)
for need in "$@"; do
  case "$need" in
    build) ;;
    # Qt 6 Widgets for the window (its display plugins and QtTest come with it).
    gui) packages+=(qt6-base-dev) ;;
    demo) packages+=(dovecot-pop3d) ;;
    test) packages+=(dovecot-pop3d desktop-file-utils openssl) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    # mpop, with ripmime taking its mail apart, is a peer of the run-once benchmark.
    bench) packages+=(libbenchmark-dev ripmime mpack dovecot-pop3d time mpop) ;;
    # A virtual display, a click on a button, the capture, and a font to draw the texts with.
    screenshot) packages+=(xvfb xdotool imagemagick x11-utils fonts-dejavu-core) ;;
    # The cross compiler with POSIX threads (std::thread), Wine to run the result, googletest's sources to cross-build
    # it, a virtual display for the window's tests under Wine, and the Russian locale whose code page (1251) they run
    # under.
    windows) packages+=(g++-mingw-w64-x86-64-posix wine64 googletest xvfb locales) ;;
    # CPack's Debian generator finds the libraries the program needs with dpkg-shlibdeps, and `file`; appstreamcli
    # validates the AppStream file.
    package) packages+=(dpkg-dev file lintian desktop-file-utils man-db appstream) ;;
    windows-installer) packages+=(nsis) ;;
    *) echo "setup: unknown need '$need'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Wine takes a program's code page from the locale it starts in; the locale must exist for that.
generate_locale() {
  [[ " $* " == *" windows "* ]] || return 0
  locale -a 2>/dev/null | grep -qx 'ru_RU.utf8' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing locale ru_RU.UTF-8: enable it in /etc/locale.gen and run locale-gen as root" >&2
    return 1
  fi
  sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
}
if [ ${#missing[@]} -eq 0 ]; then
  generate_locale "$@"
  exit
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# The packaged dovecot must not start a system-wide server; the tests start their own.
if [[ " ${missing[*]} " == *" dovecot-pop3d "* ]] && [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
  chmod +x /usr/sbin/policy-rc.d
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
fi
apt-get install -y -qq --no-install-recommends "${missing[@]}"
generate_locale "$@"
