#!/usr/bin/env bash
# Pictures of the live view against kycam-emulator, taken under Xvfb on a
# 1920x1080 screen: the Preview layout playing, with the recording, talk and
# listen marks and a detection box, full screen, the SD-card browser and the
# playback window playing a recording.
#   scripts/live-screenshots.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/ (it needs KyCameraTool, kycam-db,
# kycam-emulator and music.g711); OUT_DIR to a new folder under /tmp. The
# emulator listens on loopback only, on ports the system picks, and takes the
# play panel's default user and password (admin / tovel).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$(mktemp -d /tmp/kycam-live-shots.XXXXXX)}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

work="$(mktemp -d /tmp/kycam-live-app.XXXXXX)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp "$build/bin/KyCameraTool" "$work/"
if [ -f "$build/bin/music.g711" ]; then cp "$build/bin/music.g711" "$work/"; fi
"$build/bin/kycam-db" create --db "$work/db.dat" --def-user admin --def-password tovel --def-stream 0 >/dev/null

"$build/bin/kycam-emulator" --bind 127.0.0.1 --http-port 0 --rtsp-port 0 --no-discovery \
    --user admin --password tovel >"$work/emulator.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do grep -q '^READY' "$work/emulator.log" && break; sleep 0.1; done
ready="$(grep -m1 '^READY' "$work/emulator.log" || true)"
if [ -z "$ready" ]; then echo "emulator did not start:" >&2; cat "$work/emulator.log" >&2; exit 1; fi
port="$(sed -E 's/.*http=([0-9]+).*/\1/' <<<"$ready")"
echo "emulator: $ready"

# Once the live picture is up, the camera reports two motion boxes now and
# then (the drawn boxes stay until replaced).
(
  for _ in $(seq 600); do [ -f "$out/preview-live.png" ] && break; sleep 0.1; done
  while :; do
    curl -s --anyauth -u admin:tovel -o /dev/null \
        "http://127.0.0.1:$port/sdk/emit-boxes?type=0&boxes=3,300,180,260,300;7,800,240,240,360" || true
    sleep 0.5
  done
) &
pids+=($!)

rm -f "$out"/*.png
KYCAM_SCREENSHOT="$out" KYCAM_SCREENSHOT_CAMERA="127.0.0.1:$port" \
    timeout 120 xvfb-run -a -s "-screen 0 1920x1080x24" "$work/KyCameraTool"
ls -1 "$out"/*.png
