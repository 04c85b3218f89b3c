#!/usr/bin/env bash
# ctest's check of scripts/demo, with the programs already built:
# - options it cannot use are refused with status 2 before anything starts;
# - a short run under its own Xvfb leaves a screenshot that is not black,
#   and the saver ends on the key the demo presses.
#   demo_smoke.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
top=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

refused() { # what, then the command
  local what=$1 rc=0
  shift
  "$@" >"$work/log" 2>&1 || rc=$?
  if [ "$rc" != 2 ]; then
    echo "FAIL: $what gave status $rc, not 2:"; cat "$work/log"; exit 1
  fi
}
refused "--seconds 0" "$top/scripts/demo" --seconds 0
refused "--seconds without a number" "$top/scripts/demo" --seconds
refused "--seconds 1.5" "$top/scripts/demo" --seconds 1.5
refused "--look 5" "$top/scripts/demo" --look 5
refused "an unknown option" "$top/scripts/demo" --fast
refused "--out without a folder" "$top/scripts/demo" --out
refused "bench/run --seconds 3" "$top/bench/run" --seconds 3
refused "bench/run with an unknown option" "$top/bench/run" --quick

rc=0
WENDEL_BUILD_DIR=$build "$top/scripts/demo" --headless --no-build --seconds 6 --out "$work/shots" \
  >"$work/log" 2>&1 || rc=$?
if [ "$rc" != 0 ]; then echo "FAIL: the demo ended with status $rc:"; cat "$work/log"; exit 1; fi
if grep -q "ignored the key" "$work/log"; then echo "FAIL: the saver did not end on a key:"; cat "$work/log"; exit 1; fi
shot=$work/shots/demo-05s.png
[ -s "$shot" ] || { echo "FAIL: no screenshot at 5 s:"; cat "$work/log"; ls -la "$work/shots" || true; exit 1; }
"$build/tools/screen-grab/screen-grab" --lit "$shot" || { echo "FAIL: the screenshot is black"; exit 1; }
grep -q "time\[" "$work/shots/plx-sim.log" || { echo "FAIL: the jukebox sent no time"; exit 1; }
echo "demo smoke: ok"
