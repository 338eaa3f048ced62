#!/usr/bin/env bash
# Fuzz campaign: runs every libFuzzer target of a build for a given time each.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET_NAME_REGEX]
# Default: 120 s per target, every target. Needs the asan preset's fuzz targets:
#   cmake --preset asan && cmake --build --preset asan --target <name>_fuzz ...
# FUZZ_BUILD=dir selects another build folder (default build/asan).
#
# Each target starts from its checked-in seeds plus what earlier campaigns found; new
# corpus entries are kept in $FUZZ_BUILD/fuzz-corpus/<target> (to fold them into the
# checked-in seeds, run the target with -merge=1 <seed dir> <kept dir>). Crashes, leaks
# and time-outs go to $FUZZ_BUILD/fuzz-findings/<target>/; after a finding the target
# starts again for the rest of its time, so one run can report several. A time-out that
# does not recur when its unit runs alone is listed as unconfirmed, not as a finding.
# Not part of CI: it runs for as long as it is told to.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-120}"
filter="${2:-.}"
build="${FUZZ_BUILD:-build/asan}"
manifest="$build/fuzz_targets"

if [ ! -d "$manifest" ]; then
  echo "no fuzz targets in $build: configure and build the asan preset's *_fuzz targets" >&2
  exit 2
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

summary=()
total_findings=0
for entry in "$manifest"/*.txt; do
  IFS=$'\t' read -r name exe seeds <"$entry"
  [[ "$name" =~ $filter ]] || continue
  if [ ! -x "$exe" ]; then
    echo "== $name: not built ($exe), skipped"
    summary+=("$(printf '%-34s %14s %9s' "$name" "not built" "-")")
    continue
  fi
  corpus="$build/fuzz-corpus/$name"
  findings="$build/fuzz-findings/$name"
  logs="$build/fuzz-logs/$name"
  mkdir -p "$corpus" "$findings" "$logs"
  before_entries=$(find "$corpus" -type f | wc -l)
  seed_args=()
  if [ -n "$seeds" ] && [ -d "$seeds" ]; then
    seed_args=("$seeds")
  fi

  echo "== $name: ${seconds}s"
  execs=0
  found=0
  unconfirmed=0
  runs=0
  deadline=$((SECONDS + seconds))
  while [ $SECONDS -lt $deadline ]; do
    left=$((deadline - SECONDS))
    runs=$((runs + 1))
    log="$logs/run$runs.log"
    # New entries land in the first folder, the kept corpus; the seeds are only read.
    "$exe" -max_total_time="$left" -max_len=4096 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" "${seed_args[@]}" >"$log" 2>&1
    rc=$?
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    # A crash may end the run before the final statistics: take the last status line.
    [ -n "$n" ] || n=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -1)
    execs=$((execs + ${n:-0}))
    if [ $rc -ne 0 ]; then
      unit=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
      # On a busy machine a unit can overrun the time-out only because the fuzzer was not
      # scheduled: such a unit is run once more on its own and counted only if it overruns
      # again.
      if [[ "$(basename "${unit:-x}")" == timeout-* ]] &&
        "$exe" -timeout=10 -runs=1 "$unit" >"$log.recheck" 2>&1; then
        unconfirmed=$((unconfirmed + 1))
        echo "   time-out that did not recur when run alone: $unit"
        continue
      fi
      found=$((found + 1))
      echo "   finding (exit $rc), log $log:"
      grep -m3 -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | sed 's/^/     /'
      # A target that fails at once would spin; give up on it.
      [ "${n:-0}" -gt 0 ] || break
    fi
  done
  after_entries=$(find "$corpus" -type f | wc -l)
  new_entries=$((after_entries - before_entries))
  total_findings=$((total_findings + found))
  summary+=("$(printf '%-34s %14d %9d %12d %10d' "$name" "$execs" "$found" "$new_entries" \
    "$unconfirmed")")
done

echo
printf '%-34s %14s %9s %12s %10s\n' target executions findings new-entries unconfirmed
for line in "${summary[@]}"; do
  echo "$line"
done
[ "$total_findings" -eq 0 ]
