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
# The slice as STRING would ship it: links under STRING's ids, and the
# aliases file that maps them to UniProt accessions, an input of its own.
string_links() { awk 'BEGIN { print "protein1 protein2 combined_score" } { print "9606.S_" $1, "9606.S_" $2, 900 }' "$@"; }
string_links "$work/pairs.tsv" > "$work/links.txt"
awk '{ print "9606.S_" $1 "\t" $1 "\tUniProt_AC"; print "9606.S_" $2 "\t" $2 "\tUniProt_AC" }' "$work/pairs.tsv" |
  sort -u > "$work/aliases.txt"
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
    raw_pairs: $work/links.txt
    pairs_prep: --format string
    raw_aliases: $work/aliases.txt
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
mkdir -p "$work/run/config"
ln -s "$src/workflow" "$work/run/workflow"
# The default study beside it, whose data set a study given with
# --configfile leaves out.
cp "$src/config/config.yaml" "$work/run/config/"
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
# A fresh checkout: no logs/ folder yet, and no second try for any job.
check "no logs/ folder before the first run" test ! -e logs
flow --restart-times 0 > first.log 2>&1
check "a failing shard stops the workflow" test $? -ne 0
check "the failed shard is named" grep -q "Error in rule null_shard" first.log
failed_rules=$(grep -o 'Error in rule [a-z_]*' first.log | sort -u | tr '\n' ' ')
check "no other job failed on a fresh checkout ($failed_rules)" test "$failed_rules" = "Error in rule null_shard "
check "the default study's data set is left out" bash -c "! grep -q human_example first.log"
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
check "the prep log keeps its report" grep -q '^ddinfer-prep: wrote 1500 pairs to results/slice/pairs.txt' logs/slice/prep_pairs.log
check "the report's log is not silenced" grep -q '^ddinfer-report: wrote results/slice/0.1/report.html' logs/slice/0.1/report.log
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
cp "$work/links.txt" "$work/links.txt.kept"
sed -n '1502,1503p' "$ex/pairs.txt" | string_links | sed 1d >> "$work/links.txt"
planned=$(jobs_planned)
check "a changed raw file is prepared again" grep -Eq '^prep_pairs +1 ' <<< "$planned"
mv "$work/links.txt.kept" "$work/links.txt"
# A newer aliases file (Snakemake compares a small file's checksum too: a
# file touched but unchanged plans nothing).
cp "$work/aliases.txt" "$work/aliases.txt.kept"
printf '9606.S_NEW\tP99999\tUniProt_AC\n' >> "$work/aliases.txt"
planned=$(jobs_planned)
check "a newer aliases file prepares the pairs again" grep -Eq '^prep_pairs +1 ' <<< "$planned"
mv "$work/aliases.txt.kept" "$work/aliases.txt"
sed "s|$work/links.txt|$work/gone.txt|" "$work/config.yaml" > "$work/gone.yaml"
gone=$(snakemake --configfile "$work/gone.yaml" -n 2>&1)
check "a raw file that is not there stops the workflow, named" \
  grep -q "data set slice: raw_pairs $work/gone.txt does not exist" <<< "$gone"
check "and plans no job" bash -c "! grep -q '^Job stats' <<< \"\$0\"" "$gone"

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
# and the two pooled with their evals and reports; not the default study's
# data set
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
  "null_merge 4" "rank 4" "eval 4" "report 4" "explain 4" "pool 2" "pool_eval 2" "pool_report 2" "total 55"; do
  check "dry run: $expected" grep -Eq "^${expected% *} +${expected#* } " <<< "$dry"
done

# A second study in a folder of its own, run on this machine: its data sets
# alone (the settings it leaves out from the default study), its pool judged
# and shown, the logs keeping what the commands report, and the first
# study's results untouched.
before=$(md5sum < results/slice/0.1/pairs.txt.rank.tsv)
{ echo 300; sed -n '2,301p' "$ex/pairs.txt"; } > "$work/c.txt"
{ echo 300; sed -n '302,601p' "$ex/pairs.txt"; } > "$work/d.txt"
cat > "$work/study2.yaml" <<CONFIG
bin: $work/bin
datasets:
  c: {pairs: $work/c.txt, domains: $work/domains.txt, gold: $work/gold_ddi.tsv}
  d: {pairs: $work/d.txt, domains: $work/domains.txt}
pool:
  cd: {datasets: [c, d], only: c, gold: $work/gold_ddi.tsv}
ratios: [0.1]
robust_runs: 2
null_runs: 2
shards: 1
CONFIG
mkdir -p "$work/run2"
snakemake --cores 2 -s "$work/run/workflow/Snakefile" --directory "$work/run2" --configfile "$work/study2.yaml" \
  > second-study.log 2>&1
check "the second study runs in its own folder" test $? -eq 0
check "it made only its own data sets" bash -c "[ \"\$(ls $work/run2/results | tr '\n' ' ')\" = 'c d pooled ' ]"
check "its pooled ranking is judged" grep -q '^heterotypic' "$work/run2/results/pooled/cd/0.1/eval.txt"
check "and shown, naming its networks" grep -q '<li>Network results/c/0.1/pairs.txt: the inputs' \
  "$work/run2/results/pooled/cd/0.1/report.html"
check "the pool's log keeps its calibration table" \
  grep -q '^calibration against the gold list' "$work/run2/logs/pooled/cd/0.1/pool.log"
check "the first study's results are untouched" test "$(md5sum < results/slice/0.1/pairs.txt.rank.tsv)" = "$before"

"$src/scripts/slurm-local" stop "$cluster"
left=$(pgrep -af "$cluster" || true)
check "no daemon of the test's cluster is left" test -z "$left"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
