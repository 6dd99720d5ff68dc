#!/usr/bin/env bash
# Runs every fuzz target of a build for its share of the given seconds, starting from its seed
# corpus; what the run finds stays in a scratch folder, crashes and slow inputs in the build's
# fuzz/artifacts/. Usage: fuzz/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
total=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t targets < "$build/fuzz/targets.txt"
each=$(( (total + ${#targets[@]} - 1) / ${#targets[@]} ))
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/fuzz/artifacts"
for line in "${targets[@]}"; do
  name=${line%% *}
  exe=${line#* }
  mkdir -p "$scratch/$name"
  echo "== fuzzing $name for ${each} s"
  "$exe" -max_total_time="$each" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz/artifacts/$name-" \
    "$scratch/$name" "$here/corpus/$name"
done
