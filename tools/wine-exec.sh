#!/usr/bin/env bash
# Runs one Windows executable under Wine in the project's prefix (ctest's emulator).
: "${WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/mingw/wineprefix}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
exec wine "$@"
