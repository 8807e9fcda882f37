#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine; CMake's CMAKE_CROSSCOMPILING_EMULATOR for
# the tests (set by scripts/test-windows.sh).
# Usage: scripts/wine-run.sh DLL-FOLDER PROGRAM [ARGUMENT...]
#   DLL-FOLDER  where the dependencies' DLLs are (Xerces-C); the MinGW runtime DLLs (libstdc++,
#               libgcc, winpthread) are found from the compiler.
# The Wine prefix is VELXMLN_WINE_PREFIX (default ~/.cache/velxmln/wine-prefix), created quietly on
# first use: without Wine's Mono and Gecko installers, and without its debug output.
set -euo pipefail

dlls=${1:?usage: scripts/wine-run.sh DLL-FOLDER PROGRAM [ARGUMENT...]}
shift
cache=${VELXMLN_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velxmln}
export WINEPREFIX=${VELXMLN_WINE_PREFIX:-$cache/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# Wine takes the ANSI code page from the locale: a Western UTF-8 locale gives Windows-1252, the
# code page the tests of the System code page expect, and UTF-8 names in the Unix file system.
export LC_ALL=C.UTF-8
wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  wine=$(command -v wine64 || command -v wine || true)
fi
if [ -z "$wine" ]; then
  echo "wine-run: Wine is not installed (apt-get install wine64)" >&2
  exit 127
fi

windows_path() {
  # Z: is Wine's drive for the whole Unix file tree.
  printf 'Z:%s' "${1//\//\\}"
}
runtime=()
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  found=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
  if [ "$found" != "$dll" ]; then
    runtime+=("$(windows_path "$(dirname "$(realpath "$found")")")")
  fi
done
path="$(windows_path "$(realpath "$dlls")")"
for folder in "${runtime[@]}"; do
  path="$path;$folder"
done
export WINEPATH=$path

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
