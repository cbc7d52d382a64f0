#!/usr/bin/env bash
# Configures and builds one build tree. Usage: build.sh DIR [cmake options...]
# KY_TARGET=name builds only that target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
jobs="${KY_JOBS:-$(nproc)}"
# Paths relative to the tree in ccache's hash, so every clone and worktree of
# the project shares one cache.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$dir" -j "$jobs" ${KY_TARGET:+--target "$KY_TARGET"}
