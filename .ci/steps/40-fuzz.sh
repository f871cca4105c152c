# Fuzz smoke run: every libFuzzer target for a bounded time over a copy of
# its checked-in corpus, under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer, two at a time. Any report fails the step;
# the input that caused it is kept in build-fuzz/artifacts/.
set -euo pipefail
seconds=${FUZZ_SECONDS:-30}
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPCLXL_BUILD_FUZZ=ON -DPCLXL_BUILD_TESTS=OFF \
  -DPCLXL_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build build-fuzz -j2 --target fuzz_all

mapfile -t targets < build-fuzz/fuzz/targets.txt
work=build-fuzz/smoke
rm -rf "$work"
mkdir -p "$work" build-fuzz/artifacts

run() {
  local t=$1 extra=()
  # libcups sizes its line buffer from the raster header before the filter
  # can check it, so a hostile header makes it ask for gigabytes that it
  # never touches: allow the allocation, keep the RSS limit.
  [ "$t" = raster_filter ] && extra=(-malloc_limit_mb=8192)
  mkdir -p "$work/$t"
  cp -r "fuzz/corpus/$t/." "$work/$t/" 2>/dev/null || true
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
      -rss_limit_mb=2048 -timeout=25 -artifact_prefix="build-fuzz/artifacts/$t-" \
      "${extra[@]}" "$work/$t" >"$work/$t.log" 2>&1
}

failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do
    run "$t" & pids+=($!)
  done
  for p in "${pids[@]}"; do
    wait "$p" || failed=1
  done
done

report='^==[0-9]+== ?ERROR: |^SUMMARY: |: runtime error: '
for t in "${targets[@]}"; do
  echo "--- fuzz_$t"
  grep -E '^#[0-9]+.*DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
    "$work/$t.log" || true
  # Reports only: the mutation lines quote the inputs' bytes, which may
  # read "ERROR: " too.
  if grep -qE "$report" "$work/$t.log"; then
    failed=1
    grep -E -A30 "$report" "$work/$t.log" | head -60
  fi
done
exit "$failed"
