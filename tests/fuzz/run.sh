#!/bin/bash
# Runs libFuzzer targets of the sanitizer build (build/linux-sanitize):
#
#     tests/fuzz/run.sh SECONDS TARGET...
#
# Each target grows its working corpus in build/fuzz/<target>, starting from
# its kept inputs (tests/fuzz/corpus/<target>/) and, for model files, every
# model in build/models. An input that finds a fault (crash, sanitizer
# report, leak, timeout, allocation over 512 MiB) is written to
# tests/fuzz/corpus/<target>/, where the ordinary tests replay it, and the
# run fails. Exit status: 0 when every target ran clean. FUZZ_SEED fixes
# libFuzzer's seed and FUZZ_MAX_RUNS caps the runs, so that the short runs of
# `make test` repeat the same inputs on any machine.
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=$1
shift
bin=build/linux-sanitize/bin
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitize/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1
status=0
for target in "$@"; do
  work=build/fuzz/$target
  kept=tests/fuzz/corpus/$target
  log=build/fuzz/$target.log
  mkdir -p "$work" "$kept"
  dirs=("$work" "$kept")
  max_len=4096
  if [ "$target" = model_file ]; then
    seeds=build/fuzz/seeds-model_file
    mkdir -p "$seeds"
    for m in build/models/*.tesk build/models/test/*.tesk; do
      [ -s "$m" ] && ln -sf "$PWD/$m" "$seeds/$(basename "$m")"
    done
    dirs+=("$seeds")
    max_len=600000
  fi
  before=$(ls "$kept" | wc -l)
  "$bin/fuzz_$target" "${dirs[@]}" ${FUZZ_SEED:+-seed=$FUZZ_SEED} ${FUZZ_MAX_RUNS:+-runs=$FUZZ_MAX_RUNS} -max_total_time="$seconds" -timeout=30 -malloc_limit_mb=512 \
    -rss_limit_mb=4096 -report_slow_units=30 -max_len=$max_len -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$kept/" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  if [ $rc -ne 0 ] || [ "$(ls "$kept" | wc -l)" != "$before" ]; then
    echo "fuzz $target: FAULT after ${runs:-?} runs; input kept in $kept/, log in $log" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)|^    #[0-9] ' "$log" | head -n 20 >&2
    status=1
  else
    echo "fuzz $target: ${seconds} s, ${runs:-?} runs, no fault" >&2
  fi
done
exit $status
