#!/usr/bin/env bash
# Builds the Debian package kycameratool_<version>_<arch>.deb with CPack.
#
#   scripts/package.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR defaults to build-release, made here when it is missing: the
# project's optimised build type (RelWithDebInfo: -O2 as Debian builds, the
# debug info stripped from the package), so it shares ccache's objects with
# build/; without tests. An existing build tree (build/) is reused as it is.
# Only the programs and the package's files are built. The package lands in
# OUT_DIR (default BUILD_DIR); its path is the last line printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-release}"
KY_TARGET=package_files bash "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKY_BUILD_TESTS=OFF
dir="$(cd "$dir" && pwd)"
out="${2:-$dir}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
log="$(cpack --config "$dir/CPackConfig.cmake" -B "$out")" || { echo "$log" >&2; exit 1; }
deb="$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$log" | tail -1)"
[ -f "$deb" ] || { echo "$log" >&2; echo "package.sh: no package was made" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
echo "$deb"
