#!/usr/bin/env bash
# Installs the Debian packages the build, the tests or the benchmarks need, when they are missing.
# Usage: scripts/setup.sh [build|demo|test|fuzz|bench|windows]...
set -euo pipefail

packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev python3)
for need in "$@"; do
  case "$need" in
    build) ;;
    demo) packages+=(dovecot-pop3d) ;;
    test) packages+=(dovecot-pop3d desktop-file-utils) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(libbenchmark-dev ripmime mpack dovecot-pop3d time) ;;
    # The cross compiler with POSIX threads (std::thread), Wine to run the result, googletest's sources to cross-build it.
    windows) packages+=(g++-mingw-w64-x86-64-posix wine64 googletest) ;;
    *) echo "setup: unknown need '$need'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

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
