#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks the layer rules,
# builds the project, runs every test, then the core again under ASan+UBSan,
# then each fuzz target briefly.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
export QT_QPA_PLATFORM=offscreen
bash scripts/install-deps.sh || { echo "dependency install failed"; exit 1; }

passed=0; failed=0; status=0
# Runs ctest in DIR and adds its counts to the totals.
run_ctest() {
  local dir="$1" log
  log="$(mktemp)"
  ctest --test-dir "$dir" --output-on-failure -j "${KY_JOBS:-2}" --timeout 300 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line total fails
  line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)"
  total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
  fails="$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")"
  if [ -n "$line" ]; then
    passed=$((passed + total - fails)); failed=$((failed + fails))
  fi
  [ "$rc" -eq 0 ] || status=1
  rm -f "$log"
}

echo "== layer check"
if bash scripts/check-layers.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

echo "== build (all targets)"
bash scripts/build.sh build || exit 1
echo "== tests"
run_ctest build

echo "== core under AddressSanitizer + UndefinedBehaviorSanitizer"
if bash scripts/build.sh build-asan -DKY_CORE_ONLY=ON -DKY_SANITIZE=ON; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan
else
  status=1; failed=$((failed + 1))
fi

echo "== fuzz targets (bounded)"
if CC=clang CXX=clang++ KY_TARGET=fuzzers bash scripts/build.sh build-fuzz -DKY_CORE_ONLY=ON -DKY_FUZZ=ON -DKY_BUILD_TESTS=OFF; then
  for f in build-fuzz/bin/fuzz_*; do
    [ -x "$f" ] || continue
    work="$(mktemp -d)"
    [ -d "fuzz/corpus/$(basename "$f")" ] && cp -r "fuzz/corpus/$(basename "$f")/." "$work/"
    mkdir -p /tmp/ky-fuzz-work
    if "$f" -max_total_time="${KY_FUZZ_SECONDS:-8}" -rss_limit_mb=2048 -print_final_stats=0 \
         -artifact_prefix=/tmp/ky-fuzz-work/ "$work" >/tmp/ky-fuzz-work/$(basename "$f").log 2>&1; then
      echo "fuzz $(basename "$f"): ok"; passed=$((passed + 1))
    else
      echo "fuzz $(basename "$f"): FAILED"; tail -40 /tmp/ky-fuzz-work/$(basename "$f").log
      failed=$((failed + 1)); status=1
    fi
    rm -rf "$work"
  done
else
  status=1; failed=$((failed + 1))
fi

echo
echo "suite: $passed passed, $failed failed"
exit $status
