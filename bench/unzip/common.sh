# Sourced by the unzip benchmarks: builds vmunzip optimised (tests off) in BUILD_DIR and sets
# root, vmunzip and sevenzip (7zz or 7z, empty when neither is installed).
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
root=$(pwd)
build=${BUILD_DIR:-build-bench-unzip}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVO_TESTS=OFF \
  -DTARVO_COMPONENTS="core;platform;inflate;unzip" >/dev/null
cmake --build "$build" --target vmunzip >/dev/null
vmunzip="$root/$build/tools/vmunzip/vmunzip"
sevenzip=$(command -v 7zz || command -v 7z || true)
