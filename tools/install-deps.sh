#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when they are missing, then
# checks that every command the project's scripts call is there.
#   --bench    adds what the benchmarks compare against
#   --release  adds the installer compiler and the zip tool of the release command
set -euo pipefail

# Each package with the commands of it that our scripts call (none: a library, fonts, sources).
packages=(
  cmake:cmake ninja-build:ninja
  g++-mingw-w64-x86-64-posix:x86_64-w64-mingw32-g++ binutils-mingw-w64-x86-64:x86_64-w64-mingw32-windres
  googletest: wine:wine,wineserver,wineboot wine64: xvfb:Xvfb fonts-wqy-microhei: python3:python3
  python3-cryptography: mount:mount,umount util-linux:mountpoint
)
for option in "$@"; do
  case "$option" in
    --bench) packages+=(rsync:rsync hyperfine:hyperfine time:/usr/bin/time) ;;
    --release) packages+=(nsis:makensis zip:zip unzip:unzip coreutils:sha256sum) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for entry in "${packages[@]}"; do
  p=${entry%%:*}
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    as_root=()
  elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "install-deps.sh: these Debian packages are missing and installing them needs root:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    echo "Run that as root (su -c '…'), then this command again." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
fi

# A package can be installed and still not give a command (a broken install, a PATH without /usr/bin):
# say which one is missing here rather than half-way through a build or a test run.
absent=()
for entry in "${packages[@]}"; do
  commands=${entry#*:}
  [ -n "$commands" ] || continue
  IFS=, read -r -a names <<<"$commands"
  for name in "${names[@]}"; do
    command -v "$name" >/dev/null 2>&1 || absent+=("$name (Debian package ${entry%%:*})")
  done
done
if [ ${#absent[@]} -gt 0 ]; then
  printf 'install-deps.sh: a command the scripts need is not on PATH: %s\n' "${absent[@]}" >&2
  exit 1
fi
