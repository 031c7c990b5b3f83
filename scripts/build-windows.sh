#!/usr/bin/env bash
# Cross-builds the Windows engines and tools with Debian's mingw-w64 (posix threads):
#   bash scripts/build-windows.sh [i686|x86_64] [TARGET...]
# (default x86_64, which Wine runs; i686 is the product's own target and is only built).
# The libraries the engines call (libbz2, libwavpack, GoogleTest) are cross-built once per
# toolchain from Debian's sources into ~/.cache/tarvo-deps/mingw-ARCH; the LZMA SDK files
# come from the unpacked 7zip source. The tree is build-win-ARCH/, warnings are errors,
# everything is linked statically and stripped. The tests of the x86_64 tree run under wine64:
#   ctest --test-dir build-win-x86_64
# Every program is then signed (Authenticode, osslsigncode): with the vendor's certificate
# when TARVO_SIGN_PFX names its PKCS#12 file (password in TARVO_SIGN_PASSWORD), otherwise
# with a throwaway test certificate made once per tree in build-win-ARCH/signing/.
set -euo pipefail

arch=${1:-x86_64}
shift || true
case $arch in
  i686 | x86_64) ;;
  *) echo "usage: $0 [i686|x86_64] [TARGET...]" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${TARVO_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvo-deps}
deps=$cache/mingw-$arch
triple=$arch-w64-mingw32
toolchain=$root/cmake/toolchain-mingw-$arch.cmake
jobs=${TARVO_JOBS:-2}

mapfile -t sources < <(bash "$root/scripts/fetch-sources.sh" bzip2 wavpack 7zip)
bzip2_src=${sources[0]} wavpack_src=${sources[1]} sevenzip_src=${sources[2]}

# The archive is the mark that the library is there: the header goes first, and the archive
# gets its name only once it is whole.
if [ ! -f "$deps/lib/libbz2.a" ]; then
  echo "== libbz2 for $triple"
  rm -rf "$deps/obj-bz2"
  mkdir -p "$deps/lib" "$deps/include" "$deps/obj-bz2"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    "$triple-gcc-posix" -O2 -w -c "$bzip2_src/$f.c" -o "$deps/obj-bz2/$f.o"
  done
  cp "$bzip2_src/bzlib.h" "$deps/include/"
  "$triple-ar" rcs "$deps/obj-bz2/libbz2.a" "$deps"/obj-bz2/*.o
  mv -f "$deps/obj-bz2/libbz2.a" "$deps/lib/libbz2.a"
  rm -rf "$deps/obj-bz2"
fi

if [ ! -f "$deps/lib/libwavpack.a" ]; then
  echo "== libwavpack for $triple"
  cmake -S "$wavpack_src" -B "$deps/build-wavpack" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
    -DWAVPACK_BUILD_PROGRAMS=OFF -DWAVPACK_BUILD_DOCS=OFF -DBUILD_TESTING=OFF -DWAVPACK_ENABLE_ASM=OFF \
    -DWAVPACK_INSTALL_CMAKE_MODULE=OFF -DWAVPACK_BUILD_COOLEDIT_PLUGIN=OFF -DWAVPACK_BUILD_WINAMP_PLUGIN=OFF >/dev/null
  cmake --build "$deps/build-wavpack" -j"$jobs" >/dev/null
  cmake --install "$deps/build-wavpack" >/dev/null
  rm -rf "$deps/build-wavpack"
fi

if [ ! -f "$deps/lib/libgtest.a" ]; then
  echo "== GoogleTest for $triple"
  cmake -S /usr/src/googletest -B "$deps/build-gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/build-gtest" -j"$jobs" >/dev/null
  cmake --install "$deps/build-gtest" >/dev/null
  rm -rf "$deps/build-gtest"
fi

# The engines, the tools, the window toolkit (Win32), the wizard and their suites.
components=${TARVO_WINDOWS_COMPONENTS:-core;platform;net;http;inflate;unzip;i18n;ui;setup}
build=$root/build-win-$arch
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# tarvo-setup.exe carries its catalogs: the tool that appends them runs here, so it comes
# from a native tree of its own (core and i18n only).
embed=()
if [[ ";$components;" == *";setup;"* ]]; then
  tools=$root/build-native-tools
  cmake -S "$root" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVO_TESTS=OFF -DTARVO_WERROR=ON \
    -DTARVO_COMPONENTS="core;i18n" "${launcher[@]}" >/dev/null
  nice cmake --build "$tools" -j"$jobs" --target tarvo-embed-catalogs >/dev/null
  embed=(-DTARVO_EMBED_CATALOGS="$tools/tools/embed-catalogs/tarvo-embed-catalogs")
fi
# Configured every time: a tree that an interrupted or failed configure left without its
# build.ninja is made whole again, and the suites are on whatever an older cache says.
# Stripped by the linker (-s): a strip afterwards would drop the catalogs appended to
# tarvo-setup.exe and void the signatures.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DTARVO_TESTS=ON -DTARVO_WERROR=ON -DTARVO_WIN_DEPS_DIR="$deps" -DTARVO_7ZIP_SOURCE_DIR="$sevenzip_src" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s \
  -DTARVO_COMPONENTS="$components" "${embed[@]}" "${launcher[@]}" >/dev/null
nice cmake --build "$build" -j"$jobs" ${1:+--target "$@"}

# Signing comes last: the catalogs are appended by the link step's POST_BUILD, and the
# signature's certificate table has to be the file's final part. The CheckSum field is
# recomputed by osslsigncode. There is no timestamp: the signatures stop verifying when the
# certificate expires.
command -v osslsigncode >/dev/null || { echo "build-windows: osslsigncode is missing (scripts/install-deps.sh)" >&2; exit 1; }
signing=$build/signing
mkdir -p "$signing"
sign=(osslsigncode sign -h sha256 -n "T.Arvo Setup")
if [ -n "${TARVO_SIGN_PFX:-}" ]; then
  [ -r "$TARVO_SIGN_PFX" ] || { echo "build-windows: TARVO_SIGN_PFX: cannot read $TARVO_SIGN_PFX" >&2; exit 1; }
  identity=$(sha256sum <"$TARVO_SIGN_PFX")
  # The password goes through a pipe, not the command line that every process can read.
  sign+=(-pkcs12 "$TARVO_SIGN_PFX" -readpass /dev/stdin)
  password() { printf '%s' "${TARVO_SIGN_PASSWORD:-}"; }
  rm -f "$signing/test-ca"
else
  key=$signing/test-key.pem cert=$signing/test-cert.pem
  # Made again when gone or about to expire: an expired one no longer verifies.
  if [ ! -s "$key" ] || [ ! -s "$cert" ] || ! openssl x509 -in "$cert" -noout -checkend 86400 >/dev/null; then
    rm -f "$key" "$cert"
    (umask 077 && openssl req -x509 -newkey rsa:3072 -nodes -days 3650 -keyout "$key" -out "$cert" \
      -subj "/CN=T.Arvo Setup test signing (not for release)" \
      -addext extendedKeyUsage=codeSigning -addext keyUsage=critical,digitalSignature >/dev/null 2>&1)
  fi
  chmod 600 "$key"
  identity=$(sha256sum <"$cert")
  sign+=(-certs "$cert" -key "$key")
  password() { :; }
  # test-windows.sh verifies against it.
  printf '%s\n' "$cert" >"$signing/test-ca"
  echo "build-windows: signed with a throwaway test certificate; set TARVO_SIGN_PFX for a release" >&2
fi
# A program already carrying a signature of this identity is left as it is (ninja did not
# touch it); one signed by another identity is signed again.
resign=0
[ "$(cat "$signing/identity" 2>/dev/null)" = "$identity" ] || resign=1
mapfile -d '' programs < <(find "$build" \( -name CMakeFiles -o -name 'wineprefix*' -o -name signing \) -prune \
  -o -type f -name '*.exe' -print0)
signed=0
for exe in "${programs[@]}"; do
  rm -f "$signing/probe" "$exe.signing"
  if [ $resign = 0 ] && osslsigncode extract-signature -in "$exe" -out "$signing/probe" >/dev/null 2>&1; then
    continue
  fi
  if ! password | "${sign[@]}" -in "$exe" -out "$exe.signing" >"$signing/last.log" 2>&1; then
    cat "$signing/last.log" >&2
    rm -f "$exe.signing"
    echo "build-windows: cannot sign $exe" >&2
    exit 1
  fi
  chmod --reference="$exe" "$exe.signing"
  mv -f "$exe.signing" "$exe"
  signed=$((signed + 1))
done
rm -f "$signing/probe"
printf '%s\n' "$identity" >"$signing/identity"
echo "build-windows: $signed of ${#programs[@]} program(s) signed now" >&2
echo "$build"
