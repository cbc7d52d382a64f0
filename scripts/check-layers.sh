#!/usr/bin/env bash
# The layer rules the tree is built on: nothing under core/ includes Qt or
# gui/, and only the shell includes the main window; features reach it
# through gui/kit/ShellHost.h. Prints each breach and exits 1 when any.
set -uo pipefail
cd "$(dirname "$0")/.."
bad=0
report() { [ -n "$2" ] && { echo "layer check: $1"; echo "$2"; bad=1; }; }
report "core/ must not use Qt or gui/:" \
  "$(git grep -nE '#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]|gui/)' -- core)"
report "only gui/shell includes the main window (tests and kycam-shots may drive it whole):" \
  "$(git grep -nE '#[[:space:]]*include[[:space:]]*"gui/shell/KyCamToolDlg\.h"' -- . ':!gui/shell' ':!tests' ':!tools/kycam-shots')"
report "g_pMainWnd is the shell's own:" \
  "$(git grep -n 'g_pMainWnd' -- . ':!gui/shell' ':!tests' ':!scripts/check-layers.sh')"
[ $bad -eq 0 ] && echo "layer check: ok"
exit $bad
