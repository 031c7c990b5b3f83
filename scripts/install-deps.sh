#!/usr/bin/env bash
# Installs every Debian package that building, testing, fuzzing and benchmarking need.
# Idempotent: packages already present are left alone, and apt is only asked when
# something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # test framework
  googletest libgtest-dev libgmock-dev
  # libraries the product links
  libssl-dev libbz2-dev lzma-dev libwavpack-dev libidn2-dev
  # the Public Suffix List, compiled into the cookie store at build time
  publicsuffix
  # peers used by tests and benchmarks
  zip unzip 7zip p7zip-full python3 python3-ppmd curl nginx-light tinyproxy apache2 gettext locales liblnk-utils
  # authenticating peers: lighttpd (Digest SHA-256), squid (a proxy with its basic and digest
  # helpers), impacket's NTLM functions verifying our messages
  lighttpd squid python3-impacket
  zlib1g-dev libdeflate-dev libdeflate-tools wavpack
  tar gzip bzip2 libarchive-tools openssl
  # unpacking Debian source packages (scripts/fetch-sources.sh)
  dpkg-dev
  # the Windows programs: cross compilers, Wine for the 64-bit tests, zlib as the tests' oracle
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 libz-mingw-w64-dev
  # Authenticode signatures on the Windows programs
  osslsigncode
  # the window toolkit and the fonts the wizard asks for where Tahoma is absent
  qt6-base-dev fonts-noto-core fonts-dejavu-core
  # the Windows program's demo: a virtual display for its window under Wine
  xvfb xauth
  # Tahoma (the window definition's font) and the other fonts Windows programs expect, for Wine
  fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The LZMA SDK (LZMA and PPMd decoders) from Debian's 7zip source package, into the cache
# outside the tree where the build looks for it. Without it the build still succeeds: LZMA
# then uses lzma-dev's older decoder and PPMd (method 98) is unsupported.
bash "$(dirname "$0")/fetch-sources.sh" 7zip >/dev/null || echo "install-deps: 7zip source not fetched; PPMd will not be built" >&2

# nginx, tinyproxy, apache2, lighttpd and squid are started by the tests with private configurations;
# the packaged system services must not hold ports or pid files.
for svc in nginx tinyproxy apache2 lighttpd squid; do
  if command -v systemctl >/dev/null 2>&1; then
    systemctl disable --now "$svc" >/dev/null 2>&1 || true
  fi
  if [ -x "/etc/init.d/$svc" ]; then "/etc/init.d/$svc" stop >/dev/null 2>&1 || true; fi
done
exit 0
