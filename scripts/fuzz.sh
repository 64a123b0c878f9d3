#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) into build-fuzz/ (or
# $FUZZ_BUILD_DIR) and runs each for SECONDS (default 60) from its seeds in
# fuzz/corpus/<target>. New inputs go to a scratch corpus, not the repository.
# A crash leaves its input in build-fuzz/crashes/<target>/ and fails the run.
# Prints each target's executions per second. Targets come from fuzz/CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
scripts/setup-debian.sh

CC=${FUZZ_CC:-clang-14} CXX=${FUZZ_CXX:-clang++-14} cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVROCAM_FUZZ=ON -DTAVROCAM_WITH_GUI=OFF -DTAVROCAM_BUILD_TESTS=OFF -DTAVROCAM_BUILD_BENCH=OFF >/dev/null
mapfile -t targets <"$build_dir/fuzz/targets.txt"
cmake --build "$build_dir" -j2 --target "${targets[@]/%/_fuzz}"

# The transport target claims its fake camera like the program does: in a folder of its own.
claims=$(mktemp -d)
trap 'rm -rf "$claims"' EXIT
export TAVROCAM_CLAIM_DIR=$claims
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
rates=()
for target in "${targets[@]}"; do
  work="$build_dir/corpus/$target"
  crashes="$build_dir/crashes/$target"
  mkdir -p "$work" "$crashes"
  log="$build_dir/$target.log"
  echo "=== fuzzing $target for ${seconds} s"
  status=0
  "$build_dir/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  tail -n 3 "$log"
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    grep -m1 -A30 -E 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error' "$log" || tail -n 30 "$log"
    rates+=("$(printf '%-20s %8s runs  %6s exec/s  FAILED (inputs in %s)' "$target" "${runs:-?}" "${rate:-?}" "$crashes")")
  else
    rates+=("$(printf '%-20s %8s runs  %6s exec/s  passed' "$target" "$runs" "$rate")")
  fi
done
echo "=== fuzz summary (${seconds} s a target)"
printf '%s\n' "${rates[@]}"
[ ${#failed[@]} -eq 0 ] || { echo "=== crashes in: ${failed[*]}"; exit 1; }
