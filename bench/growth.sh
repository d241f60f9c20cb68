#!/usr/bin/env bash
# How the cost of each command grows with the network: human BioGRID scaled
# to 0.25x .. 4x its size by bench/scaled_network.py (proteins cloned with
# their domains and degrees, interactions drawn anew), and on each the CPU
# seconds (user + system) and peak memory of ddinfer --solver clp,
# ddinfer-robust --runs 5, ddinfer-null --runs 2, ddinfer-rank --dint and
# ddinfer-report --rank, one job each; then the exponent of a least-squares
# fit of log CPU on log size. The machines are shared: every size is
# measured in each of REPEAT rounds, and the median CPU and the largest peak
# are shown.
# Prints a Markdown section on standard output.
#   bench/growth.sh [DATA_DIR] [FACTORS] [REPEAT]   (../shared/data; "0.25 0.5 1 2 4"; 3)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/data}/human_biogrid_3.5.174
factors=${2:-0.25 0.5 1 2 4}
repeat=${3:-3}
bin=$PWD/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

commands=(ddinfer robust null rank report)
measure() {  # factor, name, command...: one run, its CPU and peak added to the cell's list
  local factor=$1 name=$2
  shift 2
  /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" > /dev/null 2> "$work/err" ||
    { echo "$name at ${factor}x failed:" >&2; tail -3 "$work/err" >&2; exit 1; }
  awk '{ print $1 + $2, $3 }' "$work/time" >> "$work/cell.$factor.$name"
}
median_cpu() { sort -g "$1" | awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak_mb() { awk '$2 > m { m = $2 } END { printf "%d", m / 1024 }' "$1"; }

declare -A pairs
for f in $factors; do
  python3 bench/scaled_network.py "$data/pairs.txt" "$data/domains.txt" "$f" 1 "$work/$f"
  pairs[$f]=$(head -n 1 "$work/$f/pairs.txt")
done
# The sizes take turns, round after round, so that a busy spell of the
# machine falls on all of them rather than on one.
for ((round = 1; round <= repeat; round++)); do
  for f in $factors; do
    net=$work/$f
    measure "$f" ddinfer "$bin/ddinfer" -q --solver clp --outdir "$net" "$net/pairs.txt" "$net/domains.txt" 0.1
    measure "$f" robust "$bin/ddinfer-robust" -q --runs 5 --jobs 1 --outdir "$net" "$net/pairs.txt" "$net/domains.txt" 0.1
    measure "$f" null "$bin/ddinfer-null" -q --runs 2 --jobs 1 --outdir "$net" "$net/pairs.txt" "$net/domains.txt" 0.1
    measure "$f" rank "$bin/ddinfer-rank" --dint "$net/pairs.txt.0.100000.dint" --outdir "$net" "$net/pairs.txt" \
      "$net/domains.txt"
    measure "$f" report "$bin/ddinfer-report" --rank "$net/pairs.txt.rank.tsv" -o "$net/report.html" "$net/pairs.txt" \
      "$net/domains.txt"
  done
  echo "round $round of $repeat done" >&2
done
declare -A cpu mem
for f in $factors; do
  for c in "${commands[@]}"; do
    cpu[$f,$c]=$(median_cpu "$work/cell.$f.$c")
    mem[$f,$c]=$(peak_mb "$work/cell.$f.$c")
  done
done

echo "## Growth with the network's size"
echo
echo "Made by \`bench/growth.sh\`: human BioGRID scaled by \`bench/scaled_network.py\`"
echo "(seed 1), ratio 0.1, clp, one job each (\`--jobs 1\`); CPU seconds (user +"
echo "system, the median of $repeat rounds over all sizes) / peak MB. The exponent"
echo "fits CPU ~ pairs^k over all sizes."
echo
header="| size | pairs |"
rule="| --- | ---: |"
for c in "${commands[@]}"; do header+=" $c |"; rule+=" ---: |"; done
echo "$header"
echo "$rule"
for f in $factors; do
  line="| ${f}x | ${pairs[$f]} |"
  for c in "${commands[@]}"; do line+=" ${cpu[$f,$c]} s / ${mem[$f,$c]} MB |"; done
  echo "$line"
done
line="| exponent | |"
for c in "${commands[@]}"; do
  points=""
  for f in $factors; do points+="${pairs[$f]} ${cpu[$f,$c]}\n"; done
  line+=" $(printf "$points" | awk '{ x = log($1); y = log($2 > 0.01 ? $2 : 0.01); n++; sx += x; sy += y;
    sxx += x * x; sxy += x * y } END { printf "%.2f", (n * sxy - sx * sy) / (n * sxx - sx * sx) }') |"
done
echo "$line"
