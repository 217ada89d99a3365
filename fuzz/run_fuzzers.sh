#!/usr/bin/env bash
# Runs each fuzz target of a sanitizer build for a number of executions, in parallel jobs that
# share one corpus, and prints per target: executions, executions per second, new inputs and
# findings. A finding (crash, leak, undefined behaviour, broken invariant) is saved as
# crash-*/leak-*/timeout-* in the target's output folder, and the script exits non-zero.
#
# Usage: fuzz/run_fuzzers.sh BUILD_DIR [RUNS] [MAX_SECONDS] [JOBS]
#   RUNS         executions per target, over all jobs (default 10000000)
#   MAX_SECONDS  stop each target after this many seconds even if RUNS is not reached (0: none)
#   JOBS         parallel jobs per target (default: the number of cores)
# TARGETS="export_fuzzer ..." in the environment runs only the targets named.
set -uo pipefail

build=${1:?usage: run_fuzzers.sh BUILD_DIR [RUNS] [MAX_SECONDS] [JOBS]}
runs=${2:-10000000}
max_seconds=${3:-0}
jobs=${4:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$build/fuzz" 2>/dev/null && pwd) || { echo "no $build/fuzz: build with RX_FUZZ=ON" >&2; exit 2; }

# Each target's own options: the unit table reader is fed smaller files, which still reach
# more than 301 pairs (an empty line is a field), so it runs at a useful rate.
declare -A options=([unit_table_fuzzer]="-max_len=1024")

status=0
printf '%-20s %12s %10s %8s %9s %s\n' target executions exec/s seconds new findings
for target in ${TARGETS:-download_fuzzer data_file_fuzzer unit_table_fuzzer export_fuzzer}; do
  [ -x "$bin/$target" ] || { echo "$target: not built" >&2; status=1; continue; }
  out=$bin/run/$target
  mkdir -p "$out/corpus"
  rm -f "$out"/fuzz-*.log
  start=$(date +%s)
  # shellcheck disable=SC2086
  (cd "$out" && "$bin/$target" -jobs="$jobs" -workers="$jobs" -runs=$((runs / jobs)) \
    -max_total_time="$max_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/" ${options[$target]:-} corpus "$here/corpus/$target" \
    >"$out/driver.log" 2>&1)
  seconds=$(( $(date +%s) - start ))
  executions=$(cat "$out"/fuzz-*.log | sed -n 's/^stat::number_of_executed_units: *//p' \
    | awk '{s += $1} END {print s + 0}')
  added=$(cat "$out"/fuzz-*.log | sed -n 's/^stat::new_units_added: *//p' \
    | awk '{s += $1} END {print s + 0}')
  artifacts=$(find "$out" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' \
    -o -maxdepth 1 -name 'timeout-*' -o -maxdepth 1 -name 'oom-*' | wc -l)
  problems=$(grep -l -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|invariant broken' \
    "$out"/fuzz-*.log 2>/dev/null | wc -l)
  findings=$(( artifacts > 0 ? artifacts : problems ))
  [ "$findings" -gt 0 ] && status=1
  printf '%-20s %12d %10d %8d %9d %d\n' "$target" "$executions" \
    $(( executions / (seconds > 0 ? seconds : 1) )) "$seconds" "$added" "$findings"
done
[ $status -eq 0 ] || echo "findings: see the crash-*/leak-* files and fuzz-*.log in $bin/run/" >&2
exit $status
