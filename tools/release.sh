#!/usr/bin/env bash
# Builds a release: the shipped programs in the Release configuration, then under
# build/release/dist/ the setup program, the portable zip, a SHA-256 list of both and the folder
# the update server offers (update/).
# Installs what is missing first. Fails when any shipped program cannot be built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/install-deps.sh --release

# The update manifest is signed with the release's private key, which never enters the repository:
# VW_UPDATE_SIGNING_KEY names its file (PEM). The programs trust the public half in
# VW_UPDATE_PUBLIC_KEY (by default resources/update-public-key.pem); the two must belong together.
public_key=$(realpath "${VW_UPDATE_PUBLIC_KEY:-resources/update-public-key.pem}")
if [ -z "${VW_UPDATE_SIGNING_KEY:-}" ]; then
  echo "release.sh: set VW_UPDATE_SIGNING_KEY to the file of the release's private key" >&2
  exit 2
fi
cmake --preset mingw-release -DVW_UPDATE_PUBLIC_KEY="$public_key" >/dev/null
cmake --build --preset mingw-release

version=$(sed -n 's/^project(Vaultwren VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build/release
dist=$build/dist
programs=$build/stage/Vaultwren
rm -rf "$dist" "$build/stage"
mkdir -p "$dist"
cmake --install "$build" --strip --prefix "$programs" >/dev/null

setup=Vaultwren-$version-setup.exe
zip=Vaultwren-$version-portable.zip
tools/make-installer.sh "$build" "$version" "$programs" "$dist/$setup"
(cd "$build/stage" && zip -q -X -r "$root/$dist/$zip" Vaultwren)
(cd "$dist" && sha256sum "$setup" "$zip" > "Vaultwren-$version-SHA256SUMS.txt")

# What the update server offers for this version: the manifest (also as "Update.zip", the name at the
# end of the address installed programs ask) and the files, for any web server that serves the folder
# at the base address (VW_UPDATE_BASE_URL).
update_base=${VW_UPDATE_BASE_URL:-http://update.vaultwren.example/Registry/Vaultwren/download/v$version/}
tools/make-update.py --version "$version" --base-url "$update_base" --manifest-name Update.zip \
  --trusted-key "$public_key" \
  "$programs" "$dist/update" >/dev/null

echo "Release $version in $dist:"
ls -l "$dist"
