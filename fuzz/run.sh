#!/usr/bin/env bash
# Runs every fuzz target of a build for its share of the given seconds, starting from its seed
# corpus; what the run finds stays in a scratch folder, crashes and slow inputs in the build's
# fuzz/artifacts/, each target's whole report in fuzz/logs/. The targets run side by side, one per
# core; as each ends it prints its closing figures, or its whole report if it failed. The run fails
# if any target does. Usage: fuzz/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
total=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t targets < "$build/fuzz/targets.txt"
each=$(( (total + ${#targets[@]} - 1) / ${#targets[@]} ))
cores=$(nproc)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
logs="$build/fuzz/logs"
mkdir -p "$build/fuzz/artifacts" "$logs"

# fuzz NAME EXE: one target's run, its report in the logs folder.
fuzz() {
  mkdir -p "$scratch/$1"
  "$2" -max_total_time="$each" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz/artifacts/$1-" \
    "$scratch/$1" "$here/corpus/$1" > "$logs/$1.log" 2>&1
}

declare -A running=()  # pid -> target name
failed=()
# finish: waits for one run to end, prints its report and notes a failure.
finish() {
  local pid rc=0
  wait -n -p pid "${!running[@]}" || rc=$?
  local name=${running[$pid]}
  unset "running[$pid]"
  if [ "$rc" -eq 0 ]; then
    # libFuzzer's closing line: runs, coverage, corpus, speed and memory.
    echo "fuzzed $name for ${each} s: $(sed -nE 's/^#([0-9]+)[[:space:]]+DONE +/\1 runs, /p' "$logs/$name.log")"
  else
    echo "== fuzzing $name failed ($rc):"
    cat "$logs/$name.log"
    failed+=("$name")
  fi
}
for line in "${targets[@]}"; do
  [ "${#running[@]}" -lt "$cores" ] || finish
  name=${line%% *}
  fuzz "$name" "${line#* }" &
  running[$!]=$name
done
while [ "${#running[@]}" -gt 0 ]; do finish; done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "fuzzing passed: ${#targets[@]} targets for ${each} s each (reports in $logs)"
