#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build needs and this machine lacks.
# Usage: scripts/install-deps.sh [extra-package...]
set -euo pipefail

# The Python package is built for Debian's own python3 with pybind11, tested with pytest and
# installed with pip into a venv in the consumer test; dpkg-dev's dpkg-shlibdeps gives the Debian
# packages of `make package` their dependencies; Doxygen builds the API reference (`make docs`),
# which a test keeps free of warnings.
packages=(
  g++ clang cmake make pkg-config python3 dpkg-dev
  libxerces-c-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  python3-dev pybind11-dev python3-pybind11 python3-pytest python3-venv python3-pip
  python3-setuptools doxygen
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# Another install (a parallel build, a package manager) may hold the lock for a while: wait for it.
lock=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${lock[@]}" update -qq
$sudo apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
