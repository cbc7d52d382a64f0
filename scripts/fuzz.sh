#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan fatal) into build-fuzz and
# runs them one after another at the lowest priority, each from its seed
# corpus fuzz/corpus/TARGET.
# Usage: fuzz.sh [--minutes N | --seconds N] [--runs N] [TARGET...]
#   time per target (default 4 s); --runs N ends a target after N executions.
# Runs of a minute or more keep what they learn in build-fuzz/corpus/TARGET
# for the next long run; shorter ones work in a temporary copy. Logs go to
# build-fuzz/logs/TARGET.log, crashing inputs to build-fuzz/artifacts/.
# Each target ends with one line, e.g.
#   fuzz fuzz_ini: ok execs=10000000 cov=164 ft=1051 seconds=212
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds=4 runs=-1 targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) seconds=$(($2 * 60)); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
out=build-fuzz
build_log="$(mktemp)"
CC=clang CXX=clang++ KY_TARGET=fuzzers bash scripts/build.sh "$out" -DKY_CORE_ONLY=ON -DKY_FUZZ=ON \
  -DKY_BUILD_TESTS=OFF >"$build_log" 2>&1 || { tail -40 "$build_log"; echo "fuzz: build failed"; exit 1; }
rm -f "$build_log"
[ ${#targets[@]} -gt 0 ] || for f in "$out"/bin/fuzz_*; do targets+=("$(basename "$f")"); done
mkdir -p "$out/logs" "$out/artifacts"
status=0
for t in "${targets[@]}"; do
  if [ "$seconds" -ge 60 ]; then work="$out/corpus/$t"; mkdir -p "$work"; else work="$(mktemp -d)"; fi
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$work/"
  log="$out/logs/$t.log" start=$SECONDS
  nice -n 19 "$out/bin/$t" -max_total_time="$seconds" -runs="$runs" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$t-" "$work" >"$log" 2>&1
  rc=$?
  stats="execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  stats+=" $(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | sed -E 's/cov: ([0-9]+) ft: /cov=\1 ft=/')"
  if [ $rc -eq 0 ]; then
    echo "fuzz $t: ok $stats seconds=$((SECONDS - start))"
  else
    echo "fuzz $t: FAILED $stats"; tail -40 "$log"; status=1
  fi
  [ "$seconds" -ge 60 ] || rm -rf "$work"
done
exit $status
