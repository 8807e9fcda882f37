#!/usr/bin/env bash
# Builds the Windows (x86_64-w64-mingw32) dependencies of the cross build into a cache folder
# outside the source tree, and prints the prefix that holds them on its last line of output:
#   Xerces-C 3.2 from Debian's source package xerces-c (Windows transcoder, no network accessor),
#   GoogleTest from Debian's /usr/src/googletest (package libgtest-dev).
# The prefix is named after a key over this script, the toolchain file, the compiler and the two
# source versions, so a changed recipe builds anew while an unchanged one is reused.
# Usage: scripts/build-windows-deps.sh   (VELXMLN_CACHE_DIR overrides ~/.cache/velxmln)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$root/cmake/toolchain-mingw64.cmake
cache=${VELXMLN_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velxmln}
jobs=${JOBS:-2}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
lock=(-o DPkg::Lock::Timeout=600)

# apt-get source needs a deb-src entry; add one for the archive the machine already uses.
ensure_deb_src() {
  if apt-cache showsrc xerces-c 2>/dev/null | grep -q '^Package: xerces-c'; then
    return
  fi
  echo "build-windows-deps: adding deb-src entries for the configured Debian archive" >&2
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee /etc/apt/sources.list.d/velxmln-deb-src.sources >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' |
      $sudo tee /etc/apt/sources.list.d/velxmln-deb-src.list >/dev/null
  fi
  $sudo apt-get "${lock[@]}" update -qq
}

ensure_deb_src
xerces_version=$(apt-cache showsrc xerces-c | sed -n 's/^Version: //p' | sort -V | tail -n 1)
gtest_version=$(dpkg-query -W -f='${Version}' libgtest-dev)
compiler_version=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
key=$( { cat "$0" "$toolchain"; echo "$xerces_version $gtest_version $compiler_version"; } |
  sha256sum | cut -c1-16)
prefix=$cache/windows-deps-$key

if [ -f "$prefix/.complete" ]; then
  echo "build-windows-deps: reusing $prefix" >&2
  echo "$prefix"
  exit 0
fi

echo "build-windows-deps: building Xerces-C $xerces_version and GoogleTest $gtest_version into $prefix" >&2
work=$cache/work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# Xerces-C: the Debian source with Debian's patches applied. Only the library is built and
# installed; its samples and tests are of no use here and would double the build time.
(cd "$work" && apt-get source -qq --only-source "xerces-c=$xerces_version" >&2)
xerces_source=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'xerces-c-*' | head -n 1)
cmake -S "$xerces_source" -B "$work/xerces-build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
  -Dnetwork=OFF -Dtranscoder=windows -Dmessage-loader=inmemory -Dxmlch-type=char16_t >&2
cmake --build "$work/xerces-build" --target xerces-c -j "$jobs" >&2
cmake --install "$work/xerces-build/src" >&2

# GoogleTest and GoogleMock, static, from the sources Debian ships for exactly this use.
cmake -S /usr/src/googletest -B "$work/gtest-build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON >&2
cmake --build "$work/gtest-build" -j "$jobs" >&2
cmake --install "$work/gtest-build" >&2

touch "$prefix/.complete"
echo "$prefix"
