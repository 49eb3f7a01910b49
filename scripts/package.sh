#!/usr/bin/env bash
# Builds the Debian package from build/ (scripts/build.sh first) and lists what it holds:
# build/vexlopro_<version>_<arch>.deb, its dependencies found by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j"$(nproc)" --target vexlopro vexlopro-cli compressed_docs
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/vexlopro_*.deb)
echo "$deb"
dpkg-deb --field "$deb"
dpkg-deb -c "$deb"
