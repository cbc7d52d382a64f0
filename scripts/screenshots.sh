#!/usr/bin/env bash
# Pictures of the main window's three layouts, the default-settings page, the
# tool login and the about box, taken under Xvfb on a 1920x1080 screen.
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/ (it needs KyCameraTool and kycam-db); OUT_DIR
# to a new folder under /tmp. Set KYCAM_LANG_FILE=path/lang_xxx.dat to see a
# translation. The tool runs from a scratch folder with its own db.dat.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$(mktemp -d /tmp/kycam-shots.XXXXXX)}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

work="$(mktemp -d /tmp/kycam-shot-app.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$build/bin/KyCameraTool" "$work/"
"$build/bin/kycam-db" create --db "$work/db.dat" --def-user admin --def-password admin --def-stream 0 >/dev/null
if [ -n "${KYCAM_LANG_FILE:-}" ]; then cp "$KYCAM_LANG_FILE" "$work/"; fi

KYCAM_SCREENSHOT="$out" timeout 60 xvfb-run -a -s "-screen 0 1920x1080x24" "$work/KyCameraTool"
ls -1 "$out"/*.png
