#!/usr/bin/env bash
# Ranking figures: ddinfer-rank on the human example (association alone, with
# the classic .dint, with a 20-run robust table, each also homotypic-first),
# with the degree-corrected association (the default) and the binomial one,
# each with all evidence (the default) and the network's alone, and on human
# BioGRID with its classic .dint, alone and pooled with the human example
# (ddinfer-pool --only), judged against 3did by
# ddinfer-eval (all pairs, heterotypic, heterotypic without a shared
# protein), then the calibration tables of --calibrate. Prints a Markdown
# section on standard output.
# Usage: bench/rank.sh [DATA_DIR]   (DATA_DIR defaults to ../shared/data)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/data}
bin=$PWD/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rows() {  # label, result file, inputs folder
  "$bin/ddinfer-eval" "$3/pairs.txt" "$3/domains.txt" "$2" "$3/gold_ddi.tsv" 2> /dev/null |
    awk -v label="$1" '$1 == "all" || $1 == "heterotypic" {
      printf "| %s, %s | %s | %s | %s | %s | %s | %s | %s |\n", label, $1, $2, $3, $4, $5, $6, $7, $8 }
      $1 == "no" && $2 == "shared" {
      printf "| %s, no shared | %s | %s | %s | %s | %s | %s | %s |\n", label, $3, $4, $5, $6, $7, $8, $9 }'
}

ex=$work/human_pipe_2016
mkdir -p "$ex"
cp examples/human_pipe_2016/{pairs.txt,domains.txt,gold_ddi.tsv} "$ex/"
"$bin/ddinfer" "$ex/pairs.txt" "$ex/domains.txt" 0.1 > /dev/null 2>&1
"$bin/ddinfer-robust" --runs 20 --jobs 2 "$ex/pairs.txt" "$ex/domains.txt" 0.1 > /dev/null 2>&1
dint=$ex/pairs.txt.0.100000.dint
robust=$ex/pairs.txt.0.100000.robust.tsv

echo "## Ranking: ddinfer-rank"
echo
echo "Made by \`bench/rank.sh\`. Human example (human_pipe_2016), ratio 0.1, the"
echo "classic .dint from glpsol, the robust table from \`ddinfer-robust --runs 20"
echo "--jobs 2\` (clp); every ranking covers all candidates, judged against 3did (AP"
echo "over the whole ranking, denominator the gold pairs among the candidates), with"
echo "the degree-corrected association (the default) and the binomial one. \"no"
echo "shared\": heterotypic pairs whose two domains no protein carries together."
echo
echo "| ranking | pairs | P@250 | P@500 | P@1000 | P@2000 | P@5000 | AP |"
echo "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: |"
for model in degree "degree --evidence network" "binomial --evidence network"; do
  for spec in "association alone|" "classic .dint|--dint $dint" "robust table|--robust $robust" \
    "classic .dint, homotypic first|--homotypic-first --dint $dint" \
    "robust table, homotypic first|--homotypic-first --robust $robust"; do
    label="${spec%%|*} ($model)"
    # shellcheck disable=SC2086
    "$bin/ddinfer-rank" --association $model ${spec#*|} "$ex/pairs.txt" "$ex/domains.txt" > /dev/null 2>&1
    rows "$label" "$ex/pairs.txt.rank.tsv" "$ex"
  done
done
"$bin/ddinfer-rank" --robust "$robust" "$ex/pairs.txt" "$ex/domains.txt" > /dev/null 2>&1
cp "$ex/pairs.txt.rank.tsv" "$work/example.rank.tsv"
echo "| robust table in its own order, all | $("$bin/ddinfer-eval" "$ex/pairs.txt" "$ex/domains.txt" "$robust" \
  "$ex/gold_ddi.tsv" 2> /dev/null | awk '$1 == "all" { printf "%s | %s | %s | %s | %s | %s | %s", $2, $3, $4, $5, $6, $7, $8 }') |"

hb=$data/human_biogrid_3.5.174
if [ -f "$hb/pairs.txt" ]; then
  big=$work/human_biogrid
  mkdir -p "$big"
  cp "$hb"/{pairs.txt,domains.txt,gold_ddi.tsv} "$big/"
  "$bin/ddinfer" --solver clp "$big/pairs.txt" "$big/domains.txt" 0.1 > /dev/null 2>&1
  /usr/bin/time -f '%e %M' -o "$work/time" "$bin/ddinfer-rank" --dint "$big/pairs.txt.0.100000.dint" \
    "$big/pairs.txt" "$big/domains.txt" > /dev/null 2>&1
  read -r seconds kb < "$work/time"
  echo
  echo "Human BioGRID (329,197 pairs, 515,194 candidates), classic .dint from clp:"
  echo "\`ddinfer-rank --dint\` took $seconds s wall, peak $((kb / 1024)) MB."
  echo
  echo "| ranking | pairs | P@250 | P@500 | P@1000 | P@2000 | P@5000 | AP |"
  echo "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: |"
  rows "classic .dint (degree)" "$big/pairs.txt.rank.tsv" "$big"
  /usr/bin/time -f '%e %M' -o "$work/time" "$bin/ddinfer-pool" -q --only "$big/pairs.txt.rank.tsv" \
    -o "$work/pooled.tsv" "$work/example.rank.tsv" "$big/pairs.txt.rank.tsv"
  read -r pool_seconds pool_kb < "$work/time"
  rows "pooled with the human example (ddinfer-pool --only)" "$work/pooled.tsv" "$big"
  for spec in "classic .dint (degree --evidence network)|--evidence network" \
    "classic .dint (binomial --evidence network)|--association binomial --evidence network" \
    "classic .dint, homotypic first (degree)|--homotypic-first" \
    "classic .dint, homotypic first (binomial --evidence network)|--homotypic-first --association binomial --evidence network"; do
    # shellcheck disable=SC2086
    "$bin/ddinfer-rank" --dint "$big/pairs.txt.0.100000.dint" ${spec#*|} "$big/pairs.txt" "$big/domains.txt" > /dev/null 2>&1
    rows "${spec%%|*}" "$big/pairs.txt.rank.tsv" "$big"
  done
  echo
  echo "Pooling the two tables took $pool_seconds s wall, peak $((pool_kb / 1024)) MB."
  echo
  echo "The classic list alone: $("$bin/ddinfer-eval" "$big/pairs.txt" "$big/domains.txt" \
    "$big/pairs.txt.0.100000.dint" "$big/gold_ddi.tsv" 2> /dev/null |
    awk '$1 == "inferred" { printf "%s pairs, %s in 3did (%s)", $2, $3, $4 }')."
fi

echo
echo "Calibration (\`--calibrate\` against the same 3did list; no pair is predicted"
echo "from its own label), human example with the robust table:"
echo
echo '```'
"$bin/ddinfer-rank" --robust "$robust" --calibrate "$ex/gold_ddi.tsv" "$ex/pairs.txt" "$ex/domains.txt" 2>&1 > /dev/null |
  grep '^  '
echo '```'
if [ -f "$hb/pairs.txt" ]; then
  echo
  echo "and human BioGRID with its classic .dint:"
  echo
  echo '```'
  "$bin/ddinfer-rank" --dint "$big/pairs.txt.0.100000.dint" --calibrate "$big/gold_ddi.tsv" "$big/pairs.txt" \
    "$big/domains.txt" 2>&1 > /dev/null | grep '^  '
  echo '```'
fi
