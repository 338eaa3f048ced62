#!/usr/bin/env bash
# Time from process start to the first painted window, for the viewer and for a bare wx
# dialog, taken in turns on the same display so that both see the same machine load.
#   first_paint.sh [runs]      (DISPLAY must name a running X server; default 5 runs)
# Prints min / median / max in milliseconds for each and the ratio of the medians.
set -euo pipefail
runs="${1:-5}"
bin="$(cd "$(dirname "$0")" && pwd)"
[ -n "${DISPLAY:-}" ] || { echo "first_paint.sh: no DISPLAY" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The viewer reads its settings from the working directory; an empty one is enough.
cd "$work"

measure() {  # program -> milliseconds from exec to first paint
  local start out painted
  start=$(date +%s%3N)
  out=$(PELORIN_FIRST_PAINT_PROBE=1 timeout 60 "$1" 2>/dev/null || true)
  painted=$(printf '%s\n' "$out" | sed -n 's/^first-paint //p' | head -n1)
  [ -n "$painted" ] || { echo "first_paint.sh: $1 did not paint" >&2; exit 1; }
  echo $((painted - start))
}

stats() {  # numbers -> "min median max"
  sort -n | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; print v[1], m, v[NR]}'
}

viewer=() baseline=()
for ((i = 0; i < runs; i++)); do
  viewer+=("$(measure "$bin/pelorin")")
  baseline+=("$(measure "$bin/first_paint_baseline")")
done
read -r vmin vmed vmax < <(printf '%s\n' "${viewer[@]}" | stats)
read -r bmin bmed bmax < <(printf '%s\n' "${baseline[@]}" | stats)
echo "runs: $runs"
echo "viewer   ms: min $vmin median $vmed max $vmax   (${viewer[*]})"
echo "baseline ms: min $bmin median $bmed max $bmax   (${baseline[*]})"
awk -v v="$vmed" -v b="$bmed" 'BEGIN {printf "viewer / baseline (medians): %.2f\n", v / b}'
