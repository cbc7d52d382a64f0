#!/usr/bin/env bash
# Checks a language file against the tool: every key the tool looks up, as its
# windows are built or as its sources name them, needs an entry; and with no
# language file beside the program no window may show a Chinese character.
#
#   scripts/lang-check.sh [LANG_FILE] [--build BUILD_DIR]
#     LANG_FILE defaults to data/lang_chn.dat. Prints "missing [SECTION] KEY"
#     and "chinese WINDOW: TEXT" lines and exits 1 when there is any. With an
#     empty file (/dev/null) it lists every key.
#
# Needs kycam-shots and kycam-db in BUILD_DIR (default build/). Runs offscreen
# in a private network namespace, since the device list view is shown.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${KY_LANG_CHECK_NETNS:-}" ]; then
  KY_LANG_CHECK_NETNS=1 exec sh "$root/tests/support/run-in-netns.sh" bash "$0" "$@"
fi
. "$root/scripts/shots-lib.sh"

lang="$root/data/lang_chn.dat" build="$root/build"
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) lang="$1"; shift ;;
  esac
done
lang="$(realpath "$lang")"
build="$(cd "$build" && pwd)"
shots_workdir "$build" tovel
status=0
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" timeout 300 "$work/kycam-shots" lang "$root" "$lang" || status=$?
exit "$status"
