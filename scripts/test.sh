#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a plain build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

run_suite() {
  local dir=$1; shift
  echo "== build $dir"
  cmake -S . -B "$dir" -G Ninja -DPARCELTRACE_WERROR=ON "$@" >/dev/null
  cmake --build "$dir"
  echo "== test $dir"
  ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2
}

run_suite build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp} \
  run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPARCELTRACE_SANITIZE=ON

# A brief run of every fuzz target (its own clang build); any crash fails.
bash scripts/fuzz.sh 20
