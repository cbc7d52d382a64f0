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
log="$(mktemp)"
KY_JOBS="${KY_JOBS:-2}" bash scripts/fuzz.sh --seconds "${KY_FUZZ_SECONDS:-4}" 2>&1 | tee "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
passed=$((passed + $(grep -c '^fuzz .*: ok' "$log")))
failed=$((failed + $(grep -cE '^fuzz .*: FAILED|^fuzz: build failed' "$log")))
rm -f "$log"

echo
echo "suite: $passed passed, $failed failed"
exit $status
