#!/usr/bin/env bash
# Builds the benchmarks in Release and runs each against its floor, taking
# turns several times on this machine, then prints every figure beside its
# floor with the best ratio of the runs and whether the target is met.
# Starts nginx (as the local origin and as the tracking service reached
# through http_proxy) and Xvfb on free ports and stops both again.
#
#   bash scripts/bench.sh            # BENCH_RUNS=5 rounds by default
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

RUNS=${BENCH_RUNS:-5}
BUILD=${BENCH_BUILD_DIR:-build/bench}
PARCEL=SF1999000000050
COMPANY=shunfeng
QUERY_TAIL='&id=1&valicode=&temp=0.8168420690247891'

bash scripts/setup.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 >/dev/null
BENCH=$BUILD/bench

WORK=$(mktemp -d /tmp/parceltrace-bench.XXXXXX)
PIDS=()
stop_all() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap stop_all EXIT

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for_port() {
  for _ in $(seq 100); do
    if python3 -c "import socket, sys; socket.create_connection(('127.0.0.1', $1), 0.2)" 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  echo "bench: nothing listens on port $1" >&2
  return 1
}

# ---- The answers: saved from the stand-in service, served by nginx ----------
mkdir -p "$WORK/www"
STANDIN_PORT=$(free_port)
python3 tools/standin_service.py --port "$STANDIN_PORT" >"$WORK/standin.out" 2>&1 &
PIDS+=($!)
wait_for_port "$STANDIN_PORT"
STANDIN=http://127.0.0.1:$STANDIN_PORT
python3 - "$STANDIN" "$PARCEL" "$COMPANY" "$QUERY_TAIL" "$WORK/www" <<'PY'
import sys, urllib.request
service, parcel, company, tail, folder = sys.argv[1:]
def save(path, name):
    with urllib.request.urlopen(service + path) as answer, open(f"{folder}/{name}", "wb") as out:
        out.write(answer.read())
save(f"/autonumber/auto?num={parcel}", "auto.json")
save(f"/query?type={company}&postid={parcel}{tail}", "query.json")
# A 2 KB answer of plain ASCII for the single request.
line = '{"time":"2024-05-01 12:00:00","context":"parcel scanned at the depot"},'
body = ('{"message":"ok","data":[' + line * 40)[:2046] + "]}"
open(f"{folder}/small.json", "w").write(body)
PY
kill "${PIDS[-1]}"; wait "${PIDS[-1]}" 2>/dev/null || true; unset 'PIDS[-1]'

NGINX_PORT=$(free_port)
mkdir -p "$WORK/nginx"
cat >"$WORK/nginx/nginx.conf" <<CONF
daemon off;
user root;
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $WORK/nginx/body;
  proxy_temp_path $WORK/nginx/proxy;
  fastcgi_temp_path $WORK/nginx/fastcgi;
  uwsgi_temp_path $WORK/nginx/uwsgi;
  scgi_temp_path $WORK/nginx/scgi;
  default_type application/json;
  # Absolute-form request lines (through http_proxy) are served by path too.
  server {
    listen 127.0.0.1:$NGINX_PORT;
    location = /autonumber/auto { alias $WORK/www/auto.json; }
    location = /query { alias $WORK/www/query.json; }
    location = /small.json { alias $WORK/www/small.json; }
  }
}
CONF
nginx -c "$WORK/nginx/nginx.conf" -p "$WORK/nginx" &
PIDS+=($!)
wait_for_port "$NGINX_PORT"
ORIGIN=http://127.0.0.1:$NGINX_PORT

# ---- Google Benchmark programs, each run RUNS times ------------------------
run_rounds() {  # name, then environment assignments for it
  local name=$1; shift
  for round in $(seq "$RUNS"); do
    env "$@" "$BENCH/$name" --benchmark_format=json --benchmark_out_format=json \
      --benchmark_out="$WORK/$name.$round.json" >/dev/null 2>"$WORK/$name.err" ||
      { cat "$WORK/$name.err" >&2; return 1; }
  done
}

echo "== bench: $RUNS alternating rounds each (floor and subject in every round)"
run_rounds extraction_bench
run_rounds decoding_bench
run_rounds request_bench -u http_proxy -u no_proxy PARCELTRACE_BENCH_ORIGIN="$ORIGIN"
run_rounds lookup_bench -u no_proxy PARCELTRACE_BENCH_ORIGIN="$ORIGIN" http_proxy="$ORIGIN"

# ---- Start-up under Xvfb ---------------------------------------------------
DISPLAY_NUMBER=$(python3 -c '
import os
n = 90
while os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
    n += 1
print(n)')
Xvfb ":$DISPLAY_NUMBER" -noreset -nolisten tcp -screen 0 1280x1024x24 >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] && break; sleep 0.1; done
mkdir -p -m 700 "$WORK/xdg"
# Both probes alike: no session bus for the accessibility bridge to find.
env -u WAYLAND_DISPLAY DISPLAY=":$DISPLAY_NUMBER" QT_QPA_PLATFORM=xcb \
  DBUS_SESSION_BUS_ADDRESS=disabled: XDG_DATA_HOME="$WORK/xdg" XDG_RUNTIME_DIR="$WORK/xdg" \
  "$BENCH/startup_probe" "$((RUNS * 4))" "$BENCH/bare_qt_first_paint" \
  "$BENCH/parceltrace_first_paint" >"$WORK/startup.txt"

# ---- Summary ---------------------------------------------------------------
status=0
summarise() {  # program, comparisons...
  local program=$1; shift
  python3 bench/summarise.py "$@" -- "$WORK/$program".*.json || status=1
}
echo
echo "figure                                            subject            floor            ratio"
summarise extraction_bench \
  "extraction: CollectAllBetween times, 100 KB|BM_CollectTimes/102400|BM_FloorMemmemTimes/102400|throughput|-" \
  "extraction: CollectAllBetween times, 1 MB|BM_CollectTimes/1048576|BM_FloorMemmemTimes/1048576|throughput|-" \
  "extraction: CollectAllBetween times, 10 MB|BM_CollectTimes/10485760|BM_FloorMemmemTimes/10485760|throughput|-" \
  "extraction: descriptions, 100 KB|BM_CollectDescriptions/102400|BM_FloorMemmemDescriptions/102400|throughput|-" \
  "extraction: descriptions, 1 MB|BM_CollectDescriptions/1048576|BM_FloorMemmemDescriptions/1048576|throughput|-" \
  "extraction: descriptions, 10 MB|BM_CollectDescriptions/10485760|BM_FloorMemmemDescriptions/10485760|throughput|-"
summarise decoding_bench \
  "decoding: 1 MB answer vs iconv (fresh output)|BM_FetchDecoding|BM_FloorIconv|throughput|0.6" \
  "decoding: 1 MB answer vs iconv (kept buffers)|BM_FetchDecoding|BM_FloorIconvKeptBuffers|throughput|-"
summarise request_bench \
  "request: HttpRequest as fetched, 2 KB|BM_HttpRequestAsFetched|BM_FloorBareCurl|time|1.3" \
  "request: FetchPage, 2 KB|BM_FetchPage|BM_FloorBareCurl|time|1.3"
summarise lookup_bench \
  "lookup: LookupTracking, 50 events|BM_LookupTracking|BM_FloorTwoBareGets|time|1.3"
python3 - "$WORK/startup.txt" <<'PY' || status=1
import sys
met = True
for line in open(sys.argv[1]):
    words = line.split()
    if words[0] not in ("startup_ms", "peak_rss_kb"):
        continue
    floor, subject, ratio = float(words[1]), float(words[2]), float(words[3])
    label = "start-up: exec to first paint" if words[0] == "startup_ms" else "start-up: peak resident memory"
    unit = "ms" if words[0] == "startup_ms" else "KB"
    ok = ratio <= 1.15
    met = met and ok
    print(f"{label:44} {subject:10.1f} {unit:5} floor {floor:10.1f} {unit:5} ratio {ratio:6.3f}"
          f"  target <= 1.15: {'met' if ok else 'NOT MET'}")
sys.exit(0 if met else 1)
PY
exit $status
