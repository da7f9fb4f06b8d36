#!/usr/bin/env bash
# Compiles the setup program from a folder of shipped programs (tools/release.sh, and the
# installer test for the older build it installs first).
#   tools/make-installer.sh RELEASE_BUILD_DIR VERSION PROGRAM_DIR OUTFILE
# RELEASE_BUILD_DIR is a configured release build (its installer/ShippedFiles.nsh lists the files).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 4 ] || { echo "usage: $0 RELEASE_BUILD_DIR VERSION PROGRAM_DIR OUTFILE" >&2; exit 2; }
build=$(cd "$1" && pwd)
programs=$(cd "$3" && pwd)
mkdir -p "$(dirname "$4")"
out="$(cd "$(dirname "$4")" && pwd)/$(basename "$4")"

makensis -V2 -INPUTCHARSET UTF8 -WX \
  "-DVERSION=$2" "-DPROGRAM_DIR=$programs" "-DOUTFILE=$out" \
  "-X!addincludedir $build/installer" \
  "$root/installer/Vaultwren.nsi"
