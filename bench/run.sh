#!/usr/bin/env bash
# Runs the benchmark on synthetic networks of 25k to 400k pairs and on the
# real sets in ../shared/data (when present), and writes BENCHMARKS.md.
#   bench/run.sh [SOLVER_LIMIT_S]     (default 120)
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-120}
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

{
  echo "# Benchmarks"
  echo
  echo "Made by \`bench/run.sh $limit\` on $(date -u +%Y-%m-%d): $(nproc) cores,"
  echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/{print $2}') GiB,"
  echo "$(glpsol --version | head -1), $(clp -quit 2>/dev/null | head -1 | sed 's/,.*//'). Ratio 0.1 throughout."
  echo
  echo "Times in seconds, one run each (the machine is shared: expect some noise)."
  echo "\"own\" is the tool's own stages together (read, candidates, LP write,"
  echo "report read, result write); \"peak MB\" the process's peak resident memory"
  echo "after them. Solvers run under a limit of $limit s; a report read marked * read"
  echo "a stand-in report with every x at 1, since glpsol did not finish. The last"
  echo "three columns are the opt-in clp path: MPS write, clp itself, its report."
  echo
  echo "| input | pairs | proteins | domains | candidates | read | candidates | LP write | report read | result write | own | peak MB | glpsol | own / glpsol | MPS write | clp | clp report |"
  echo "| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"
  printf '%s\n' "${rows[@]}"
} > BENCHMARKS.md
echo "wrote BENCHMARKS.md" >&2
