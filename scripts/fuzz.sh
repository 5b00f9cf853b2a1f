#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, -fsanitize=fuzzer,address,undefined)
# and runs each for a while on a copy of its seed corpus, so that the
# committed corpus never grows. Prints each target's executions and whether
# it crashed; exits non-zero when any target crashed or broke an invariant.
#
#   bash scripts/fuzz.sh                 # 20 seconds per target
#   bash scripts/fuzz.sh 300             # five minutes per target
#   bash scripts/fuzz.sh 60 url cookies  # only these targets
#
# A crashing input is kept in build/fuzz-artifacts/<target>/; replay it with
# build/fuzz/fuzz_<target> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(text_primitives markers url cookies percent_decode code_page raw_response)
fi

build=build/fuzz
artifacts=build/fuzz-artifacts
echo "== build $build (clang, fuzzer + ASan + UBSan)"
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
summary=()
for target in "${targets[@]}"; do
  echo "== fuzz $target for ${seconds}s"
  corpus=$work/$target
  mkdir -p "$corpus" "$artifacts/$target"
  cp fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  log=$work/$target.log
  status=0
  # -timeout: no single input may take this long; -max_len keeps inputs near
  # the size of the answers and headers the program reads.
  "$build/fuzz_$target" "$corpus" -max_total_time="$seconds" -timeout=20 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$target/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-?}
  if [ "$status" -ne 0 ]; then
    failed=1
    result="CRASHED (exit $status)"
    grep -E 'invariant broken|ERROR: |SUMMARY: ' "$log" | head -n 5 || true
    ls "$artifacts/$target"/ 2>/dev/null | sed 's/^/  artifact: /' | tail -n 3
  else
    result="ok"
  fi
  line=$(printf '%-16s %10s executions  %s' "$target" "$runs" "$result")
  echo "$line"
  summary+=("$line")
done

echo "== fuzz summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: FAILED, a target crashed or broke an invariant"
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran ${seconds}s each without a crash"
