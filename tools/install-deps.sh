#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when they are missing.
#   --bench    adds what the benchmarks compare against
#   --release  adds the installer compiler and the zip tool of the release command
set -euo pipefail

packages=(
  cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
  wine wine64 xvfb x11-utils fonts-wqy-microhei python3 python3-cryptography
)
for option in "$@"; do
  case "$option" in
    --bench) packages+=(rsync hyperfine time) ;;
    --release) packages+=(nsis zip unzip) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
