#!/usr/bin/env bash
# Runs the tool: installs what is missing, builds, creates db.dat when there is
# none, starts kycam-emulator on loopback and opens the GUI ready to log in to
# it. Without a display the GUI runs under Xvfb. Ctrl+C stops everything.
#
#   scripts/run.sh [--lang zh]
#     --lang zh: the tool in Simplified Chinese (data/lang_chn.dat beside the
#     program). Without it the tool is English: a lang_chn.dat placed by an
#     earlier --lang zh is taken away again.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
lang=""
while [ $# -gt 0 ]; do
  case "$1" in
    --lang) lang="${2:-}"; shift 2 || { echo "--lang: zh" >&2; exit 2; } ;;
    *) echo "usage: $0 [--lang zh]" >&2; exit 2 ;;
  esac
done
case "$lang" in
  ""|en|zh) ;;
  *) echo "--lang: zh (Simplified Chinese) or en" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
bash scripts/build.sh build
bin="$root/build/bin"

# The language follows from the file beside the program.
if [ "$lang" = zh ]; then
  cp data/lang_chn.dat "$bin/lang_chn.dat"
elif [ -f "$bin/lang_chn.dat" ] && cmp -s data/lang_chn.dat "$bin/lang_chn.dat"; then
  rm -f "$bin/lang_chn.dat"
fi

if [ ! -f "$bin/db.dat" ]; then
  "$bin/kycam-db" create --db "$bin/db.dat" --def-user admin --def-password tovel --def-stream 0
  # The built-in tool user; change it with: kycam-db user admin NEWPASSWORD
  "$bin/kycam-db" user --db "$bin/db.dat" admin '580247!K'
fi

# The emulated camera takes the tool's default credentials (admin / tovel) on
# the default web port, so the play panel only needs the address 127.0.0.1.
port="${KYCAM_EMULATOR_PORT:-80}"
if (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then port=8080; fi
rtsp="${KYCAM_EMULATOR_RTSP_PORT:-8554}"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT INT TERM

if [ -x "$bin/kycam-emulator" ]; then
  log="$bin/emulator.log"
  "$bin/kycam-emulator" --bind 127.0.0.1 --http-port "$port" --rtsp-port "$rtsp" \
      --user admin --password tovel --state "$bin/emulator-state.txt" >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q '^READY' "$log" && break; sleep 0.1; done
  echo "emulator: $(grep -m1 '^READY' "$log" || echo 'not ready, see '"$log")"
  echo "In the tool's Preview panel enter IP address 127.0.0.1 and port $port (user admin,"
  echo "password tovel are the defaults) and press Preview. Tool login: admin / 580247!K"
fi

if [ -x "$bin/KyCameraTool" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$bin/KyCameraTool"
  fi
  "$bin/KyCameraTool"
else
  # Until the GUI is built the command-line client shows the same camera.
  "$bin/kycamctl" --help
  echo
  echo "\$ kycamctl -P $port -p tovel get serverinfo"
  "$bin/kycamctl" -P "$port" -p tovel get serverinfo || true
fi
