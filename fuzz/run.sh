#!/usr/bin/env bash
# Runs every fuzz target for a while, at most three at once, each over a working copy of its
# seed corpus (new inputs it finds stay in the working copy, not in the repository).
#   fuzz/run.sh [seconds per target, default 600] [targets ...]
# Environment: BUILD_DIR (default build-fuzz, configured with -DZEPHOR_FUZZ=ON), JOBS (default 3),
# WORK (default $BUILD_DIR/fuzz-work). Crash inputs land in $WORK/<target>/; minimize one with
#   $BUILD_DIR/fuzz/<target>_fuzzer -minimize_crash=1 -runs=100000 <input>
# and keep it in fuzz/regressions/<target>/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-600}
shift || true
build=${BUILD_DIR:-build-fuzz}
work=${WORK:-$build/fuzz-work}
jobs=${JOBS:-3}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in "$here"/corpus/*/; do targets+=("$(basename "$d")"); done
fi
mkdir -p "$work"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan-suppressions.txt}

run_one() {
  local t=$1 dir="$work/$1"
  # A build without the GUI libraries has no view_ops target.
  if [ ! -x "$build/fuzz/${t}_fuzzer" ]; then
    echo "$t: not built in $build, skipped"
    return
  fi
  mkdir -p "$dir/corpus"
  cp -n "$here/corpus/$t"/* "$dir/corpus/" 2>/dev/null || true
  local extra=()
  [ -d "$here/regressions/$t" ] && extra+=("$here/regressions/$t")
  (cd "$dir" && "$build/fuzz/${t}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 \
      -timeout=10 -max_len=16384 -print_final_stats=1 "$dir/corpus" "${extra[@]}" > "$dir/log.txt" 2>&1) || true
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/log.txt" | grep -o '[0-9]*$' || echo '?')
  local found
  found=$(ls "$dir" | grep -cE '^(crash|leak|timeout|oom|slow-unit)-' || true)
  echo "$t: $runs executions, $found findings (log: $dir/log.txt)"
}

case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
case "$work" in /*) ;; *) work="$PWD/$work" ;; esac
running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
