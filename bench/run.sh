#!/usr/bin/env bash
# Runs the benchmark on synthetic networks of 25k to 400k pairs and on the
# real sets in ../shared/data (when present), then the companion commands
# and the two solvers end to end at proteome scale, and writes BENCHMARKS.md.
#   bench/run.sh [SOLVER_LIMIT_S] [PROTEOME_LIMIT_S]     (default 120, 900)
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-120}
proteome_limit=${2:-900}
scripts/setup
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rows=()
for n in 25000 50000 100000 200000 400000; do
  build/ddinfer-bench gen $n 1 "$work/synthetic_${n}"
  rows+=("$(build/ddinfer-bench run "$work/synthetic_${n}/pairs.txt" "$work/synthetic_${n}/domains.txt" 0.1 "$limit")")
  echo "${rows[-1]}" >&2
done
for set in human_pipe_2016 yeast_vonmering_2002 yeast_biogrid_3.5.174 human_biogrid_3.5.174; do
  src=../shared/data/$set
  [ -d "$src" ] || continue
  mkdir -p "$work/$set"
  cp "$src/pairs.txt" "$src/domains.txt" "$work/$set/"
  rows+=("$(build/ddinfer-bench run "$work/$set/pairs.txt" "$work/$set/domains.txt" 0.1 "$limit")")
  echo "${rows[-1]}" >&2
done

# Wall time of a command, in seconds; its output goes to $work/last.log.
wall() {
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/last.log" 2>&1 || echo "(exit status $?)" >> "$work/last.log"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f\n", e - s }'
}

# Companion commands on the shipped examples.
yeast=examples/yeast_vonmering_2002
human=examples/human_pipe_2016
null1=$(wall build/ddinfer-null --runs 20 --jobs 1 $yeast/pairs.txt $yeast/domains.txt 0.1)
null2=$(wall build/ddinfer-null --runs 20 --jobs 2 $yeast/pairs.txt $yeast/domains.txt 0.1)
echo "null: $null1 / $null2" >&2
robust=$(wall build/ddinfer-robust --solver clp --runs 20 --jobs 2 $human/pairs.txt $human/domains.txt 0.1)
robust_eval=$(build/ddinfer-eval $human/pairs.txt $human/domains.txt $human/pairs.txt.0.100000.robust.tsv $human/gold_ddi.tsv)
robust_glpsol=$(wall build/ddinfer-robust --runs 20 --jobs 2 $human/pairs.txt $human/domains.txt 0.1)
robust_glpsol_eval=$(build/ddinfer-eval $human/pairs.txt $human/domains.txt $human/pairs.txt.0.100000.robust.tsv $human/gold_ddi.tsv)
echo "robust: $robust (clp) $robust_glpsol (glpsol)" >&2

# Both solvers end to end on yeast BioGRID.
proteome=()
src=../shared/data/yeast_biogrid_3.5.174
if [ -d "$src" ]; then
  mkdir -p "$work/yb"
  cp "$src/pairs.txt" "$src/domains.txt" "$work/yb/"
  for solver in clp glpsol; do
    t=$(wall timeout "$proteome_limit" build/ddinfer --solver $solver "$work/yb/pairs.txt" "$work/yb/domains.txt" 0.1)
    objective=$(grep -m1 -o -E '(obj = |objective value) *[-0-9.e+]+' "$work/yb/pairs.txt.0.100000.out" 2>/dev/null | grep -o -E '[-0-9.e+]+$' || echo "none")
    inferred=$(wc -l < "$work/yb/pairs.txt.0.100000.dint")
    proteome+=("| $solver | $t | $objective | $inferred |")
    echo "${proteome[-1]}" >&2
  done
fi

{
  echo "# Benchmarks"
  echo
  echo "Made by \`bench/run.sh $limit $proteome_limit\` on $(date -u +%Y-%m-%d): $(nproc) cores,"
  echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/{print $2}') GiB,"
  echo "$(glpsol --version | head -1), $(clp -quit 2>/dev/null | head -1 | sed 's/,.*//'). Ratio 0.1 throughout."
  echo
  echo "Times in seconds, one run each (the machine is shared: expect some noise)."
  echo "\"own\" is the tool's own stages together (read, candidates, LP write,"
  echo "report read, result write); \"peak MB\" the process's peak resident memory"
  echo "after them. Solvers run under a limit of $limit s; a report read marked * read"
  echo "a stand-in report with every x at 1, since glpsol did not finish. The last"
  echo "three columns are clp: the MPS file, the clp program on it, and the linked-in path (presolve, solve, check)."
  echo
  echo "| input | pairs | proteins | domains | candidates | read | candidates | LP write | report read | result write | own | peak MB | glpsol | own / glpsol | MPS write | clp program | clp linked in |"
  echo "| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"
  printf '%s\n' "${rows[@]}"
  echo
  echo "## Companion commands"
  echo
  echo "Wall times in seconds on the shipped examples, ratio 0.1."
  echo
  echo "| command | seconds |"
  echo "| --- | ---: |"
  echo "| \`ddinfer-null --runs 20 --jobs 1\` on yeast_vonmering_2002 (glpsol) | $null1 |"
  echo "| \`ddinfer-null --runs 20 --jobs 2\` on yeast_vonmering_2002 (glpsol) | $null2 |"
  echo "| \`ddinfer-robust --solver clp --runs 20 --jobs 2\` on human_pipe_2016 | $robust |"
  echo "| \`ddinfer-robust --runs 20 --jobs 2\` on human_pipe_2016 (glpsol) | $robust_glpsol |"
  echo
  echo "\`ddinfer-eval\` of the robust table against 3did, with clp:"
  echo
  echo '```'
  echo "$robust_eval"
  echo '```'
  echo
  echo "and with glpsol:"
  echo
  echo '```'
  echo "$robust_glpsol_eval"
  echo '```'
  if [ ${#proteome[@]} -gt 0 ]; then
    echo
    echo "## The two solvers at proteome scale"
    echo
    echo "\`ddinfer --solver S\` end to end on yeast_biogrid_3.5.174, ratio 0.1, under a"
    echo "limit of $proteome_limit s (wall seconds, the optimum from the report, inferred pairs)."
    echo
    echo "| solver | seconds | objective | inferred pairs |"
    echo "| --- | ---: | ---: | ---: |"
    printf '%s\n' "${proteome[@]}"
  fi
  echo
  bench/rank.sh
  echo
  bench/clp.sh ../shared/data "$proteome_limit"
} > BENCHMARKS.md
echo "wrote BENCHMARKS.md" >&2
