#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev qt6-svg-dev libgl1-mesa-dev
          libqt6svg6 qt6-qpa-plugins fonts-dejavu-core python3 libicu-dev
          libzip-dev zlib1g-dev libpugixml-dev wordnet-base acl attr
          python3-docx python3-odf)
# CI's extra checks also need the formatter, the desktop-file and metadata validators, and
# man for the manual pages' warnings, dpkg-shlibdeps and file for the package.
[ "${1:-}" = "--ci" ] && packages+=(clang-format desktop-file-utils appstream man-db dpkg-dev file)
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
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
