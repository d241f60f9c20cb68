#!/usr/bin/env bash
# The clp path before and after, side by side, on the four data sets:
# "before" is the clp program on the whole programme in MPS (as the tool ran
# it until clp was linked in); "after" is `ddinfer --solver clp` end to end
# (the exact presolve, the linked-in solve, the check), then
# `ddinfer-robust --solver clp --runs 20` and `ddinfer-null --solver clp
# --runs 20` with --jobs 2. Prints a Markdown section on standard output;
# wall seconds, one run each.
# Usage: bench/clp.sh [DATA_DIR] [LIMIT_S]   (defaults ../shared/data, 900)
set -uo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/data}
limit=${2:-900}
bin=$PWD/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # runs the command under the limit; prints its wall seconds or "> limit"
  local start end
  start=$(date +%s.%N)
  if timeout "$limit" "$@" > "$work/out" 2> "$work/err"; then
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }'
  else
    printf '> %s' "$limit"
  fi
}

echo "## The clp path, before and after"
echo
echo "Made by \`bench/clp.sh\` on $(date -u +%Y-%m-%d), $(nproc) cores; wall seconds, one run each,"
echo "ratio 0.1, limit $limit s. Before: the clp program on the MPS file of the whole"
echo "programme. After: \`ddinfer --solver clp\` end to end, its optimum, and the two"
echo "companion commands with --runs 20 --jobs 2."
echo
echo "| data set | before: clp program | after: ddinfer --solver clp | optimum | ddinfer-robust | ddinfer-null |"
echo "| --- | ---: | ---: | ---: | ---: | ---: |"
for set in human_pipe_2016 yeast_vonmering_2002 yeast_biogrid_3.5.174 human_biogrid_3.5.174; do
  [ -f "$data/$set/pairs.txt" ] || continue
  dir=$work/$set
  mkdir -p "$dir"
  cp "$data/$set/pairs.txt" "$data/$set/domains.txt" "$dir/"
  p=$dir/pairs.txt d=$dir/domains.txt
  "$bin/ddinfer" --solver clp --write-mps "$p" "$d" 0.1 > /dev/null 2>&1
  rm -f "$work/before.out"
  before=$(seconds clp "$p.0.100000.mps" -primalsimplex -solution "$work/before.out")
  # clp exits 0 on some failures: only an optimal solution file counts.
  head -c 7 "$work/before.out" 2> /dev/null | grep -q Optimal || before="failed"
  after=$(seconds "$bin/ddinfer" --solver clp "$p" "$d" 0.1)
  optimum=$(sed -n 's/.*optimum \([0-9.e+-]*\)$/\1/p' "$work/err" | tail -n 1)
  robust=$(seconds "$bin/ddinfer-robust" --solver clp --runs 20 --jobs 2 "$p" "$d" 0.1)
  null=$(seconds "$bin/ddinfer-null" --solver clp --runs 20 --jobs 2 "$p" "$d" 0.1)
  echo "| $set | $before | $after | $optimum | $robust | $null |"
  rm -rf "$dir"
done
