#!/usr/bin/env bash
# Sharded companion runs through the workflow on the single-node Slurm
# cluster of scripts/slurm-local, against one unsharded run: human BioGRID,
# ratio 0.1, clp, ddinfer-robust --runs R and ddinfer-null --runs N with 1,
# 2 and 4 shards (one solver thread a job). Prints a Markdown table of wall
# seconds on standard output. Needs root, slurm-wlm, munge and snakemake.
#   bench/shards.sh [ROBUST_RUNS] [NULL_RUNS] [DATA_DIR]    (defaults 20, 100)
set -uo pipefail
cd "$(dirname "$0")/.."
robust_runs=${1:-20}
null_runs=${2:-100}
data=${3:-../shared/data}/human_biogrid_3.5.174
src=$PWD
bin=$PWD/build
work=$(mktemp -d)
cleanup() { scripts/slurm-local stop "$work/cluster"; rm -rf "$work"; }
trap cleanup EXIT
cp "$data/pairs.txt" "$data/domains.txt" "$work/"
env_line=$(scripts/slurm-local start "$work/cluster") || exit 1
eval "$env_line"

seconds() {  # wall seconds of a command
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/last.log" 2>&1 || echo "(failed: $(tail -n 3 "$work/last.log"))" >&2
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }'
}

echo "| command | unsharded (--jobs 2) | 1 shard | 2 shards | 4 shards |"
echo "| --- | ---: | ---: | ---: | ---: |"
for what in robust null; do
  runs=$robust_runs
  [ "$what" = null ] && runs=$null_runs
  row="| ddinfer-$what --runs $runs | $(seconds "$bin/ddinfer-$what" -q --runs "$runs" --jobs 2 --outdir "$work/plain" \
    "$work/pairs.txt" "$work/domains.txt" 0.1)"
  for shards in 1 2 4; do
    run=$work/run-$what-$shards
    mkdir -p "$run"
    ln -s "$src/workflow" "$run/workflow"
    robust=$robust_runs nulls=$null_runs
    # Only the command measured has runs worth timing: the other gets 1.
    [ "$what" = robust ] && nulls=1
    [ "$what" = null ] && robust=1
    cat > "$run/config.yaml" <<CONFIG
bin: $bin
datasets:
  human_biogrid: {pairs: $work/pairs.txt, domains: $work/domains.txt}
ratios: [0.1]
solver: clp
seed: 1
robust_runs: $robust
null_models: [2]
null_runs: $nulls
shards: $shards
threads: 1
runtime: 600
CONFIG
    (cd "$run" && snakemake -s workflow/Snakefile --profile workflow/profiles/slurm --configfile config.yaml \
      -q --until given_pairs given_domains > /dev/null 2>&1)
    rule=${what}_merge
    row="$row | $(cd "$run" && seconds snakemake -s workflow/Snakefile --profile workflow/profiles/slurm \
      --configfile config.yaml --until "$rule")"
  done
  echo "$row |"
done
