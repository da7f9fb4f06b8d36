#!/usr/bin/env bash
# Builds Vaultwren and runs every test under Wine. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw

source tools/wine-env.sh
trap vw_wine_down EXIT
vw_wine_up build/mingw --fresh
ctest --preset mingw "$@"
tools/screenshots.sh build/mingw
