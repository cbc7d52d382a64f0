#!/usr/bin/env bash
# Runs every benchmark once, one after another, and prints each one's last
# line (its key=value summary) after its name, with the load average before
# and after. Usage: bench.sh [BUILD_DIR]   (default build/)
# Full outputs, which name each peer's exact command, go to BUILD_DIR/bench-logs/.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
logs="$build/bench-logs"
mkdir -p "$logs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
for b in cgi_roundtrip emulator_load upgrade live_first_frame live_cpu discovery_scale hosts_scale page_open; do
  args=()
  [ "$b" = discovery_scale ] && args=(--cameras 1000)
  if QT_QPA_PLATFORM=offscreen "$build/bin/bench_$b" "${args[@]}" >"$logs/$b.log" 2>&1; then
    echo "$b: $(tail -n 1 "$logs/$b.log")"
  else
    echo "$b: FAILED (see $logs/$b.log)"; status=1
  fi
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
