#!/usr/bin/env bash
# How the cost of each command grows with the network: human BioGRID scaled
# to 0.25x .. 4x its size by bench/scaled_network.py (proteins cloned with
# their domains and degrees, interactions drawn anew), and on each the CPU
# seconds (user + system) and peak memory of ddinfer --solver clp,
# ddinfer-robust --runs 5, ddinfer-null --runs 2, ddinfer-rank --dint and
# ddinfer-report --rank, one job each; then the exponent of a least-squares
# fit of log CPU on log size. Each command runs REPEAT times (the machines
# are shared): the median CPU and the largest peak are shown.
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
declare -A cpu mem
measure() {  # factor, name, command...
  local factor=$1 name=$2
  shift 2
  : > "$work/times"
  for ((i = 0; i < repeat; i++)); do
    /usr/bin/time -f '%U %S %M' -a -o "$work/times" "$@" > /dev/null 2> "$work/err" ||
      { echo "$name at ${factor}x failed:" >&2; tail -3 "$work/err" >&2; exit 1; }
  done
  cpu[$factor,$name]=$(awk '{ print $1 + $2 }' "$work/times" | sort -g |
    awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  mem[$factor,$name]=$(awk '$3 > m { m = $3 } END { printf "%d", m / 1024 }' "$work/times")
}

declare -A pairs
for f in $factors; do
  net=$work/$f
  python3 bench/scaled_network.py "$data/pairs.txt" "$data/domains.txt" "$f" 1 "$net"
  pairs[$f]=$(head -n 1 "$net/pairs.txt")
  measure "$f" ddinfer "$bin/ddinfer" -q --solver clp --outdir "$net" "$net/pairs.txt" "$net/domains.txt" 0.1
  measure "$f" robust "$bin/ddinfer-robust" -q --runs 5 --jobs 1 --outdir "$net" "$net/pairs.txt" "$net/domains.txt" 0.1
  measure "$f" null "$bin/ddinfer-null" -q --runs 2 --jobs 1 --outdir "$net" "$net/pairs.txt" "$net/domains.txt" 0.1
  measure "$f" rank "$bin/ddinfer-rank" --dint "$net/pairs.txt.0.100000.dint" --outdir "$net" "$net/pairs.txt" \
    "$net/domains.txt"
  measure "$f" report "$bin/ddinfer-report" --rank "$net/pairs.txt.rank.tsv" -o "$net/report.html" "$net/pairs.txt" \
    "$net/domains.txt"
  echo "${f}x done" >&2
done

echo "## Growth with the network's size"
echo
echo "Made by \`bench/growth.sh\`: human BioGRID scaled by \`bench/scaled_network.py\`"
echo "(seed 1), ratio 0.1, clp, one job each (\`--jobs 1\`); CPU seconds (user +"
echo "system, the median of $repeat runs) / peak MB. The exponent fits CPU ~ pairs^k"
echo "over all sizes."
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
