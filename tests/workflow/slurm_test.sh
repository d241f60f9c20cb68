#!/usr/bin/env bash
# The workflow on a real single-node Slurm cluster started for the test:
# robust and null runs sharded 3 ways on a slice of the human example (its
# interaction list prepared from a raw table); the merged tables must equal
# local unsharded runs byte for byte; a shard whose solver is made to fail
# must stop the workflow with that shard named, and a rerun must redo only
# what is missing, leaving a report, a ranking with p_gold, a log per job
# and no shard part. A changed setting or raw file plans again just what
# depends on it; a dry run of 2 data sets x 2 ratios lists the expected
# jobs. The cluster is stopped whatever happens.
#   tests/workflow/slurm_test.sh SOURCE_DIR BIN_DIR     (exit 77: skipped)
set -uo pipefail
src=$(cd "$1" && pwd)
bin=$(cd "$2" && pwd)
if [ "$(id -u)" -ne 0 ] || ! command -v sbatch > /dev/null || ! command -v snakemake > /dev/null; then
  echo "skipped: needs root, slurm-wlm, munge and snakemake (scripts/setup installs them)"
  exit 77
fi
work=$(mktemp -d)
cluster=$work/cluster
cleanup() {
  "$src/scripts/slurm-local" stop "$cluster"
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

ex=$src/examples/human_pipe_2016
sed -n '2,1501p' "$ex/pairs.txt" > "$work/pairs.tsv"
cp "$ex/domains.txt" "$ex/gold_ddi.tsv" "$work/"
# The commands, with ddinfer-null made to fail on shard 2 while a marker exists.
mkdir -p "$work/bin"
for command in "$bin"/ddinfer*; do ln -s "$command" "$work/bin/"; done
rm "$work/bin/ddinfer-null"
cat > "$work/bin/ddinfer-null" <<SCRIPT
#!/bin/sh
case " \$* " in *" --shard 2/3 "*) [ -e "$work/fail" ] && { echo "the solver failed (made to)" >&2; exit 1; } ;; esac
exec "$bin/ddinfer-null" "\$@"
SCRIPT
chmod +x "$work/bin/ddinfer-null"
cat > "$work/config.yaml" <<CONFIG
bin: $work/bin
datasets:
  slice:
    raw_pairs: $work/pairs.tsv
    pairs_prep: --format tsv
    domains: $work/domains.txt
    gold: $work/gold_ddi.tsv
ratios: [0.1]
solver: clp
seed: 1
robust_runs: 6
null_models: [2]
null_runs: 6
shards: 3
threads: 1
runtime: 10
CONFIG
mkdir -p "$work/run"
ln -s "$src/workflow" "$work/run/workflow"
cd "$work/run"

if ! env_line=$("$src/scripts/slurm-local" start "$cluster"); then
  echo "FAILED: the local Slurm cluster did not start"
  exit 1
fi
eval "$env_line"
# The README's call, from the top of a checkout (workflow/ found there).
flow() { snakemake --profile workflow/profiles/slurm --configfile "$work/config.yaml" "$@"; }
jobs_planned() {  # the "Job stats" table of a dry run with these words
  snakemake --configfile "$work/config.yaml" -n "$@" 2>&1 | sed -n '/^Job stats:/,/^total/p'
}

touch "$work/fail"
flow > first.log 2>&1
check "a failing shard stops the workflow" test $? -ne 0
check "the failed shard is named" grep -q "Error in rule null_shard" first.log
check "its output is named" grep -q "m2.null.parts/job-2" first.log
rm "$work/fail"
flow > second.log 2>&1
check "the rerun completes" test $? -eq 0
stats=$(sed -n '/^Job stats:/,/^total/p' second.log)
check "the rerun redoes the failed shard" grep -Eq '^null_shard +1 ' <<< "$stats"
check "the rerun redoes no robust shard" bash -c "! grep -q robust_shard <<< \"\$0\"" "$stats"
check "the rerun does not solve again" bash -c "! grep -Eq '^solve ' <<< \"\$0\"" "$stats"
check "a report is left" grep -q '<section id="summary">' results/slice/0.1/report.html
check "every protein pair is explained" bash -c "[ \$(cut -f1,2 results/slice/0.1/pairs.txt.explain.tsv | sed 1,2d | sort -u | wc -l) -eq \$(sed 1d results/slice/pairs.txt | sort -u | wc -l) ]"
check "the ranking has p_gold" bash -c "sed -n 2p results/slice/0.1/pairs.txt.rank.tsv | grep -q p_gold"
parts=$(find results -name '*shard*' -o -name '*.parts' | head -3)
check "no shard part is left ($parts)" test -z "$parts"
for log in prep_pairs given_domains 0.1/solve.0.100000 0.1/robust.job-1 0.1/robust_merge.0.100000 0.1/m2.null.job-3 \
  0.1/rank 0.1/eval 0.1/report 0.1/explain; do
  check "a log of $log" test -f "logs/slice/$log.log"
done

# What a changed setting or input plans again: just what depends on it.
planned=$(jobs_planned --config robust_runs=7)
check "robust_runs plans the robust shards again" grep -Eq '^robust_shard +3 ' <<< "$planned"
check "robust_runs plans the ranking and report again" grep -Eq '^report +1 ' <<< "$planned"
check "robust_runs plans no solve and no null shard" bash -c "! grep -Eq '^(solve|null_shard) ' <<< \"\$0\"" "$planned"
planned=$(jobs_planned --config null_runs=40)
check "null_runs=40 plans the null shards again" grep -Eq '^null_shard +3 ' <<< "$planned"
check "null_runs plans no robust shard" bash -c "! grep -Eq '^robust_shard ' <<< \"\$0\"" "$planned"
cp "$work/pairs.tsv" "$work/pairs.tsv.kept"
sed -n '1502,1503p' "$ex/pairs.txt" >> "$work/pairs.tsv"
planned=$(jobs_planned)
check "a changed raw file is prepared again" grep -Eq '^prep_pairs +1 ' <<< "$planned"
mv "$work/pairs.tsv.kept" "$work/pairs.tsv"

# Local unsharded runs with the same settings give the same tables.
"$bin/ddinfer-robust" -q --solver clp --runs 6 --seed 1 --outdir local results/slice/pairs.txt \
  results/slice/domains.txt 0.1 > /dev/null 2>&1
"$bin/ddinfer-null" -q --model 2 --solver clp --runs 6 --seed 1 --outdir local results/slice/pairs.txt \
  results/slice/domains.txt 0.1 > /dev/null 2>&1
for table in pairs.txt.0.100000.robust.tsv pairs.txt.0.100000.m2.null.tsv; do
  check "$table is the unsharded one" cmp "local/$table" "results/slice/0.1/$table"
done
check "the ranking is judged" grep -q '^heterotypic' results/slice/0.1/eval.txt

# 2 data sets x 2 ratios, 3 shards in jobs of 2: 2 inputs each, 4 solves,
# 16 shard jobs, 8 merges, 4 ranks, 4 evals, 4 reports, 4 explain tables,
# and the two pooled
# per ratio.
cat > "$work/two.yaml" <<CONFIG
bin: $work/bin
datasets:
  a: {pairs: $work/run/results/slice/pairs.txt, domains: $work/domains.txt, gold: $work/gold_ddi.tsv}
  b: {pairs: $work/run/results/slice/pairs.txt, domains: $work/domains.txt, gold: $work/gold_ddi.tsv}
pool:
  ab: {datasets: [a, b], only: b, gold: $work/gold_ddi.tsv}
ratios: [0.1, 0.3]
solver: clp
seed: 1
robust_runs: 6
null_models: [2]
null_runs: 6
shards: 3
shards_per_job: 2
CONFIG
dry=$(snakemake --configfile "$work/two.yaml" -n 2>&1 | sed -n '/^Job stats:/,/^total/p')
for expected in "given_pairs 2" "given_domains 2" "solve 4" "robust_shard 8" "robust_merge 4" "null_shard 8" \
  "null_merge 4" "rank 4" "eval 4" "report 4" "explain 4" "pool 2" "total 51"; do
  check "dry run: $expected" grep -Eq "^${expected% *} +${expected#* } " <<< "$dry"
done

"$src/scripts/slurm-local" stop "$cluster"
left=$(pgrep -af "$cluster" || true)
check "no daemon of the test's cluster is left" test -z "$left"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
