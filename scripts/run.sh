#!/usr/bin/env bash
# Sets up, builds and shows the tool at work without the internet: starts the
# local stand-in tracking service and runs the program with the proxy
# environment pointed at it.
#
# With a display (DISPLAY set) the window opens there and the sample tracking
# numbers are printed to try. Without one, the program runs under Xvfb: a
# sample number is typed and Query clicked with xdotool, a screenshot is saved
# to out/screenshot.png, and everything started is stopped again.
#
# PARCELTRACE_PROGRAM=path skips set-up and build and runs that binary.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${PARCELTRACE_PROGRAM:-}
if [ -z "$program" ]; then
  bash scripts/setup.sh
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/release --target parceltrace jedata
  program=build/release/src/app/parceltrace
fi
mkdir -p out
screenshot=${PARCELTRACE_SCREENSHOT:-out/screenshot.png}
service_log=${PARCELTRACE_SERVICE_LOG:-out/standin-requests.log}

started=()
cleanup() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# The stand-in service prints its address first, then the sample numbers.
service_out=$(mktemp)
: >"$service_log"
python3 -u tools/standin_service.py --port 0 --log "$service_log" >"$service_out" &
started+=($!)
for _ in $(seq 100); do
  grep -q '^listening on ' "$service_out" && break
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$service_out" | head -n 1)
[ -n "$address" ] || { echo "run: the stand-in service did not start" >&2; exit 1; }
sample=$(sed -n 's/^sample: \([^ ]*\).*/\1/p' "$service_out" | head -n 1)
export http_proxy=$address no_proxy=
echo "stand-in tracking service at $address (proxy for the program)"

if [ -n "${DISPLAY:-}" ]; then
  echo "sample tracking numbers to try:"
  sed -n 's/^sample: /  /p' "$service_out"
  "$program"
  exit 0
fi

# No display: show the main job under a virtual one and take a screenshot.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -noreset -nolisten tcp >/dev/null 2>&1 &
started+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$program" &
started+=($!)
window=$(xdotool search --sync --onlyvisible --name 'parceltrace' | head -n 1)
sleep 0.5
# A click in the input box clears the hint; type the number, then Query.
xdotool mousemove --window "$window" 100 24 click 1
xdotool type --delay 20 "$sample"
xdotool mousemove --window "$window" 132 72 click 1
for _ in $(seq 50); do
  [ "$(grep -c . "$service_log")" -ge 2 ] && break
  sleep 0.1
done
sleep 1
import -window "$window" "$screenshot"
echo "typed $sample and clicked Query; screenshot: $screenshot"
