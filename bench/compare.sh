#!/usr/bin/env bash
# Alternated runs of bench/map_vs_std_bench.cpp against the library of other revisions, so that
# their figures come from the same minutes of a machine:
#
#   bench/compare.sh [-r ROUNDS] [-f FILTER] [-c CPU] [-m MIN_TIME] [-o DIR] REV...
#
# Every REV (a commit, or "." for this checkout as it is) gets the benchmark source of this
# checkout (bench/map_vs_std_bench.cpp and bench_support.*) in a detached worktree DIR/<rev>, and
# is built optimised in DIR/build-<rev>. Then each round runs every binary once, in turn, pinned
# to CPU, and the median per row and revision is printed with the load average before and after.
# Defaults: 5 rounds, every row, CPU 2, 0.2 s a row, DIR build/compare. Each round's rows stay in
# DIR/runs/<revision's place>.<round>.txt and .json (the JSON as bench_summary reads it).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)

rounds=5 filter=. cpu=2 min_time=0.2 dir="$here/build/compare"
while getopts "r:f:c:m:o:" opt; do
  case $opt in
    r) rounds=$OPTARG ;;
    f) filter=$OPTARG ;;
    c) cpu=$OPTARG ;;
    m) min_time=$OPTARG ;;
    o) dir=$OPTARG ;;
    *) sed -n '2,11p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || { sed -n '2,11p' "$0"; exit 2; }
mkdir -p "$dir/runs"

# Builds the benchmark for one revision; prints the binary's path.
build() {
  local rev=$1 src name
  if [ "$rev" = . ]; then
    src=$here name=current
  else
    name=$(git rev-parse --short "$rev")
    src=$dir/$name
    [ -d "$src" ] || git worktree add --detach "$src" "$rev" >&2
    cp bench/map_vs_std_bench.cpp bench/bench_support.cpp bench/bench_support.hpp "$src/bench/"
  fi
  cmake --preset release -S "$src" -B "$dir/build-$name" -DDT_BUILD_TESTS=OFF \
    >"$dir/runs/configure.log" 2>&1
  cmake --build "$dir/build-$name" -j3 --target map_vs_std_bench >"$dir/runs/build.log" 2>&1 ||
    { cat "$dir/runs/build.log" >&2; exit 1; }
  echo "$dir/build-$name/bench/map_vs_std_bench"
}

revs=("$@")
bins=()
for r in "${revs[@]}"; do bins+=("$(build "$r")"); done

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((i = 1; i <= rounds; i++)); do
  for j in "${!bins[@]}"; do
    taskset -c "$cpu" "${bins[$j]}" --benchmark_filter="$filter" --benchmark_min_time="$min_time" \
      --benchmark_out="$dir/runs/$j.$i.json" --benchmark_out_format=json >"$dir/runs/$j.$i.txt" 2>/dev/null
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Row name, then per revision the median of its ns_per_entry over the rounds.
for j in "${!bins[@]}"; do
  cat "$dir/runs/$j".*.txt | awk -v j="$j" '
    match($0, /ns_per_entry=[0-9.e+]+[a-z]*/) {
      v = substr($0, RSTART + 13, RLENGTH - 13)
      unit = v; sub(/^[0-9.e+]+/, "", unit); sub(/[a-z]+$/, "", v)
      if (unit == "us") v *= 1000; else if (unit == "ms") v *= 1e6; else if (unit == "s") v *= 1e9
      row = $0; sub(/  .*/, "", row); gsub(/ /, "_", row)
      print j, row, v
    }'
done | awk -v revs="${revs[*]}" '
  BEGIN { n = split(revs, name, " ") }
  {
    if (!($2 in seen)) { seen[$2] = 1; order[++rows] = $2 }
    k = $1 SUBSEP $2; c[k]++; val[k, c[k]] = $3
  }
  END {
    printf "%-48s", "row (ns per entry, median; _ for a space)"
    for (j = 1; j <= n; j++) printf " %12s", substr(name[j], 1, 12)
    printf "\n"
    for (r = 1; r <= rows; r++) {
      printf "%-48s", order[r]
      for (j = 0; j < n; j++) {
        k = j SUBSEP order[r]; m = c[k]
        if (m == 0) { printf " %12s", "-"; continue }
        for (a = 1; a <= m; a++) s[a] = val[k, a]
        for (a = 1; a <= m; a++) for (b = a + 1; b <= m; b++) if (s[b] < s[a]) { t = s[a]; s[a] = s[b]; s[b] = t }
        printf " %12.3g", (m % 2) ? s[(m + 1) / 2] : (s[m / 2] + s[m / 2 + 1]) / 2
      }
      printf "\n"
    }
  }'
