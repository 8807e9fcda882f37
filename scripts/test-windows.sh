#!/usr/bin/env bash
# The Windows build, tested: cross-compiles the library (velxmln.dll and its import library), the
# velxmln command, the examples and the tests with MinGW-w64, then runs the whole ctest suite under
# Wine. The Windows builds of Xerces-C and GoogleTest come from scripts/build-windows-deps.sh
# (cached outside the source tree). Called by `make test-windows`, after the packages are in.
# Usage: scripts/test-windows.sh [BUILD-FOLDER]   (default build/windows)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/windows}")
jobs=${JOBS:-2}

prefix=$(bash "$root/scripts/build-windows-deps.sh" | tail -n 1)

# CLI11 is header-only: the command uses Debian's copy through a folder that holds nothing else,
# so that the rest of /usr/include stays out of the Windows build.
mkdir -p "$build/host-headers"
ln -sfn /usr/include/CLI "$build/host-headers/CLI"

# The emulator is one program, a wrapper that names the dependencies' DLL folder, so that it
# passes unchanged wherever the build hands it on (the consumer test, the command's tests).
mkdir -p "$build"
cat > "$build/wine-run" <<WRAPPER
#!/bin/sh
exec "$root/scripts/wine-run.sh" "$prefix/bin" "\$@"
WRAPPER
chmod +x "$build/wine-run"

# The Python package would need a Python for Windows to build against and to run.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELXMLN_BUILD_PYTHON=OFF \
  -DVELXMLN_CLI11_INCLUDE_DIR="$build/host-headers" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$build/wine-run"

# One Wine server for the whole run instead of one per test program; it is stopped on the way out.
cache=${VELXMLN_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velxmln}
export WINEPREFIX=${VELXMLN_WINE_PREFIX:-$cache/wine-prefix}
wineserver=/usr/lib/wine/wineserver
"$root/scripts/wine-run.sh" "$prefix/bin" cmd /c exit 0
"$wineserver" -p 2>/dev/null || true  # already running for this prefix: that one serves
trap '"$wineserver" -k 2>/dev/null || true' EXIT

cmake --build "$build" -j "$jobs"
cd "$build"
# Wine's own server now and then refuses a connection when the machine is busy ("a wine server
# seems to be running, but I cannot connect to it"): the program never starts. A test that fails
# is run once more; one that fails again is a failure of the library, not of Wine.
ctest --output-on-failure -j "$jobs" --timeout 900 --repeat until-pass:2
