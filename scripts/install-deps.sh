#!/usr/bin/env bash
# Installs what Varneth needs to build and test on Debian 12: the compiler,
# CMake and pkg-config, wxWidgets 3.2 (base library), isa-l (the zip step's
# deflate), libewf (Expert Witness images), GoogleTest, and the independent
# NTFS readers and tools that the end-to-end tests compare against, with the
# partitioning and EWF tools that make their disk images; jsonschema, pandas
# and jq, which read the JSON Lines back in the end-to-end tests; valgrind, and
# clang with its libFuzzer runtime for the fuzz targets.
set -euo pipefail
packages=(
  g++ cmake make pkg-config libwxgtk3.2-dev libisal-dev libgtest-dev
  python3 python3-libfsntfs libfsntfs-utils sleuthkit ntfs-3g fuse3 fdisk ewf-tools libewf-dev
  python3-jsonschema python3-pandas jq
  unzip time groff-base man-db dpkg-dev file
  valgrind clang-14 libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
run=()
[ "$(id -u)" -ne 0 ] && run=(sudo)
"${run[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
