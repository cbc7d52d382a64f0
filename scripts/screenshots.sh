#!/usr/bin/env bash
# Pictures of the tool under Xvfb, for a look at its layout.
#
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR] [--lang FILE] [--width W]
#     The three layouts, the default-settings page, the tool login and the
#     about box, in a private network namespace with a kycam-emulator whose
#     discovery answers there: the device list during and after a search, the
#     camera live (with its status bar), recording, and paused behind the
#     settings. --lang FILE (or KYCAM_LANG_FILE=FILE): the tool in that
#     language. --width W: a W x (W*9/16) screen (default 1920).
#
#   scripts/screenshots.sh pages OUT_DIR [--width W] [--lang FILE] [--build BUILD_DIR]
#     Every settings page that is built, read from a kycam-emulator on
#     loopback, as OUT_DIR/page-NN.png (NN: the settings tree's number): the
#     whole main window in the Parameter setting layout with that node
#     selected. Prints "page-NN shot" or "page-NN not built" for 1..38.
#     --width W: a W x (W*9/16) screen (default 1920, so 1920x1080;
#     1366 gives 1366x768). --lang FILE: the tool runs in that language.
#
#   scripts/screenshots.sh safety OUT_DIR [--width W] [--lang FILE] [--build BUILD_DIR]
#     The device information page asking before a format, a configuration
#     save under way and its result, and the network page after reads the
#     camera refused (safety-*.png).
#
#   scripts/screenshots.sh upgrade OUT_DIR [--width W] [--lang FILE] [--build BUILD_DIR]
#     The maintenance page during a firmware upload to the emulator and
#     after it (upgrade-running.png, upgrade-done.png). Runs itself in a
#     private network namespace: the page searches the LAN for the camera's
#     return.
#
# A language FILE is named lang_xxx.dat (the name chooses the language); zh
# stands for data/lang_chn.dat.
# BUILD_DIR defaults to build/ (kycam-shots, kycam-db, kycam-emulator).
# Chinese texts need a CJK font (fonts-wqy-microhei).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/shots-lib.sh"

if [ "${1:-}" = pages ] || [ "${1:-}" = upgrade ] || [ "${1:-}" = safety ]; then
  mode="$1"; shift
  [ $# -ge 1 ] || { echo "usage: $0 $mode OUT_DIR [--width W] [--lang FILE] [--build BUILD_DIR]" >&2; exit 2; }
  # The upgrade waits for the camera's return with a LAN search: it runs
  # only in a private network namespace, with the emulator's responder.
  if [ "$mode" = upgrade ] && [ -z "${KY_SHOTS_NETNS:-}" ]; then
    KY_SHOTS_NETNS=1 exec "$root/tests/support/run-in-netns.sh" bash "$0" upgrade "$@"
  fi
  out="$1"; shift
  width=1920 lang="" build="$root/build"
  while [ $# -gt 0 ]; do
    case "$1" in
      --width) width="$2"; shift 2 ;;
      --lang) lang="$2"; shift 2 ;;
      --build) build="$2"; shift 2 ;;
      *) echo "unknown option $1" >&2; exit 2 ;;
    esac
  done
  [[ "$width" =~ ^[0-9]+$ ]] && [ "$width" -ge 640 ] || { echo "--width: a number of pixels, 640 or more" >&2; exit 2; }
  height=$((width * 9 / 16))
  build="$(cd "$build" && pwd)"
  mkdir -p "$out"
  out="$(cd "$out" && pwd)"
  shots_workdir "$build" tovel
  if [ -n "$lang" ]; then shots_lang "$lang"; fi
  if [ "$mode" = pages ]; then
    rm -f "$out"/page-??.png
    shots_emulator "$build"
    # One privacy mask on, so the cover editor shows a drawn region.
    for kv in show_1=1 x_1=640 y_1=120 w_1=400 h_1=300; do
      curl -sf -u admin:tovel -o /dev/null "http://127.0.0.1:$emu_port/emu/set?key=cover.${kv%%=*}&value=${kv#*=}" ||
        echo "emulator: cannot set cover.${kv%%=*}" >&2
    done
  elif [ "$mode" = safety ]; then
    shots_emulator "$build"
  else
    shots_emulator "$build" --restart-ms 800
  fi
  # Camera 0's device ID, as the emulator names it.
  timeout 900 xvfb-run -a -s "-screen 0 ${width}x${height}x24" \
      "$work/kycam-shots" "$mode" "$out" "127.0.0.1:$emu_port" KY7200-EMU-000001
  exit 0
fi

if [ -z "${KY_SHOTS_NETNS:-}" ]; then
  KY_SHOTS_NETNS=1 exec "$root/tests/support/run-in-netns.sh" bash "$0" "$@"
fi
lang="${KYCAM_LANG_FILE:-}" width=1920 args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --lang) lang="$2"; shift 2 ;;
    --width) width="$2"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
[[ "$width" =~ ^[0-9]+$ ]] && [ "$width" -ge 640 ] || { echo "--width: a number of pixels, 640 or more" >&2; exit 2; }
build="$(cd "${args[0]:-$root/build}" && pwd)"
out="${args[1]:-$(mktemp -d /tmp/kycam-shots.XXXXXX)}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
shots_workdir "$build" tovel
if [ -n "$lang" ]; then shots_lang "$lang"; fi
shots_emulator "$build"
timeout 120 xvfb-run -a -s "-screen 0 ${width}x$((width * 9 / 16))x24" \
    "$work/kycam-shots" layouts "$out" "127.0.0.1:$emu_port"
ls -1 "$out"/*.png
