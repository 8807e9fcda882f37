#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build needs and this machine lacks.
# Usage: scripts/install-deps.sh [extra-package...]
set -euo pipefail

packages=(
  g++ clang cmake make pkg-config python3
  libxerces-c-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
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
