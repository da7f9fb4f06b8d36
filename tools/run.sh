#!/usr/bin/env bash
# Builds Vaultwren and shows what it does so far under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw

source tools/wine-env.sh
trap vw_wine_down EXIT
vw_wine_up build/mingw
tools/wine-exec.sh build/mingw/tests/test_win.exe
