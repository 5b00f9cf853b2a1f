#!/usr/bin/env bash
# The README's first command, without a display: it must type a sample
# number into the real program under Xvfb, the stand-in service must receive
# the two requests for it, and the screenshot must show the window.
# Arguments: the built program, the source folder.
set -euo pipefail
program=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

env -u DISPLAY \
  PARCELTRACE_PROGRAM="$program" \
  PARCELTRACE_SCREENSHOT="$work/screenshot.png" \
  PARCELTRACE_SERVICE_LOG="$work/requests.log" \
  XDG_DATA_HOME="$work/data" \
  bash "$source_dir/scripts/run.sh" >"$work/run.out"

sample=$(sed -n 's/^typed \([^ ]*\) and clicked Query.*/\1/p' "$work/run.out")
[ -n "$sample" ] || { echo "no sample number typed"; cat "$work/run.out"; exit 1; }

expected_detection="GET http://track.parceltrace.example/autonumber/auto?num=$sample HTTP/1.1"
if ! grep -qxF "$expected_detection" "$work/requests.log" ||
   ! grep -q "^GET http://track.parceltrace.example/query?type=[a-z]*&postid=$sample&" "$work/requests.log"; then
  echo "the stand-in service did not receive both requests for $sample:"
  cat "$work/requests.log"
  exit 1
fi
[ "$(grep -c . "$work/requests.log")" -eq 2 ] || { echo "expected exactly two requests"; exit 1; }

# A blank or black capture has a handful of colours; the listed events many.
colours=$(identify -format '%k' "$work/screenshot.png")
size=$(identify -format '%wx%h' "$work/screenshot.png")
echo "screenshot $size with $colours colours"
[ "$colours" -gt 64 ] || { echo "the screenshot looks blank"; exit 1; }
