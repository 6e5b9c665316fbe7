# Sourced by the comparison scripts of the benchmark folders.
# best_ms command...: the best of five wall-clock runs of the command, in milliseconds.
best_ms() {
  local best=999999999 t0 t1 ms
  for _ in 1 2 3 4 5; do
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
