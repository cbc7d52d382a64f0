#!/usr/bin/env bash
# Pictures of the live view against kycam-emulator, taken under Xvfb on a
# 1920x1080 screen: the Preview layout playing, with the recording, talk and
# listen marks and a detection box, full screen, the SD-card browser and the
# playback window playing a recording.
#   scripts/live-screenshots.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/ (it needs kycam-shots, kycam-db,
# kycam-emulator and music.g711); OUT_DIR to a new folder under /tmp. The
# emulator listens on loopback only, on ports the system picks, and takes the
# play panel's default user and password (admin / tovel).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/shots-lib.sh"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$(mktemp -d /tmp/kycam-live-shots.XXXXXX)}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
shots_workdir "$build" tovel
shots_emulator "$build"

# Once the live picture is up, the camera reports two motion boxes now and
# then (the drawn boxes stay until replaced).
(
  for _ in $(seq 600); do [ -f "$out/preview-live.png" ] && break; sleep 0.1; done
  while :; do
    curl -s --anyauth -u admin:tovel -o /dev/null \
        "http://127.0.0.1:$emu_port/sdk/emit-boxes?type=0&boxes=3,300,180,260,300;7,800,240,240,360" || true
    sleep 0.5
  done
) &
shots_pids+=($!)

rm -f "$out"/*.png
timeout 120 xvfb-run -a -s "-screen 0 1920x1080x24" "$work/kycam-shots" live "$out" "127.0.0.1:$emu_port"
ls -1 "$out"/*.png
