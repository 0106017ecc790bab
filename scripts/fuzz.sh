#!/usr/bin/env bash
# Runs every fuzz target of the sanitizer build for a given time each, from its seed corpus in
# the repository (copied: the repository is not written), and prints one line per target
# with libFuzzer's coverage (cov, ft) and inputs per second.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target name pattern]
#
# The asan preset must be built (cmake --preset asan && cmake --build --preset asan).
# A crash leaves its input under build-asan/fuzz/artifacts/<target>/; add it to the target's
# corpus folder once the fault is mended. New inputs found are kept in
# build-asan/fuzz/work/<target>/ for the next run.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
pattern=${2:-}
fuzz=build-asan/fuzz
if ! ls "$fuzz"/*.corpus >/dev/null 2>&1; then
  echo "no fuzz targets in $fuzz: build the asan preset first" >&2
  exit 2
fi
export LSAN_OPTIONS=suppressions=$PWD/cmake/lsan.supp
failed=0
for listing in "$fuzz"/*.corpus; do
  name=$(basename "$listing" .corpus)
  [[ -n "$pattern" && "$name" != *$pattern* ]] && continue
  [[ -x "$fuzz/$name" ]] || { echo "$name: not built"; failed=1; continue; }
  corpus=$(cat "$listing")
  work=$fuzz/work/$name
  artifacts=$fuzz/artifacts/$name/
  mkdir -p "$work" "$artifacts"
  [[ -d "$corpus" ]] && cp -n "$corpus"/* "$work"/ 2>/dev/null
  log=$fuzz/work/$name.log
  "$fuzz/$name" "$work" -max_total_time="$seconds" -max_len=4096 -seed=1 \
    -artifact_prefix="$artifacts" -print_final_stats=1 >"$log" 2>&1
  rc=$?
  done_line=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  rate=$(sed -n 's/.*average_exec_per_sec: *\([0-9]*\).*/\1/p' "$log")
  runs=$(sed -n 's/.*number_of_executed_units: *\([0-9]*\).*/\1/p' "$log")
  if [[ $rc -ne 0 ]]; then
    echo "$name: FAILED (exit $rc), see $log and $artifacts"
    failed=1
  else
    printf '%-28s cov %6s  ft %6s  exec/s %7s  runs %9s\n' "$name" "$cov" "$ft" "$rate" "$runs"
  fi
done
exit $failed
