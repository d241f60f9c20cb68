#!/usr/bin/env bash
# ddinfer-explain figures: on the human example (the classic clp list, the
# default rank table) how often the best candidate of a protein pair is a
# 3did pair against a candidate picked at random, and whether the table
# holds every protein pair in the input's orientation with the chosen
# column as the .dint says; on human BioGRID the time and peak memory of the
# whole table, of one protein's and of one domain pair's query. Prints a
# Markdown section on standard output.
# Usage: bench/explain.sh [DATA_DIR]   (DATA_DIR defaults to ../shared/data)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/data}
bin=$PWD/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every protein pair of PAIRS once, as its first line orients it, and the
# chosen column equal to membership in DINT on every row.
check() {  # pairs, dint, explain table
  python3 - "$@" <<'PY'
import sys
pairs_path, dint_path, table_path = sys.argv[1:]
first, seen = [], set()
with open(pairs_path) as f:
    next(f)
    for line in f:
        a, b = line.split()[:2]
        if frozenset((a, b)) not in seen:
            seen.add(frozenset((a, b)))
            first.append((a, b))
chosen = set()
with open(dint_path) as f:
    for line in f:
        a, b = line.rstrip("\n").split("\t")
        chosen.add(frozenset((a, b)))
listed, rows, wrong = [], 0, 0
with open(table_path) as f:
    next(f)
    next(f)
    for line in f:
        c = line.rstrip("\n").split("\t")
        rows += 1
        if not listed or listed[-1] != (c[0], c[1]):
            listed.append((c[0], c[1]))
        if c[6]:
            wrong += (c[12] == "1") != (frozenset((c[6], c[7])) in chosen)
print(f"{len(first)} protein pairs in the input, {len(listed)} in the table, "
      f"{'in the same order and orientation' if listed == first else 'NOT THE SAME'}; "
      f"{rows} rows, chosen disagreeing with the .dint on {wrong}")
PY
}

measure() {  # label, then the command; prints a table row
  local label=$1
  shift
  /usr/bin/time -f "%e %U %M" -o "$work/time" "$@" > /dev/null 2>&1
  read -r wall cpu kb < "$work/time"
  printf '| %s | %s | %s | %d |\n' "$label" "$wall" "$cpu" $((kb / 1024))
}

echo "## Explaining protein pairs: ddinfer-explain"
echo
echo "Made by \`bench/explain.sh\` on $(date -u +%Y-%m-%d), build $(git rev-parse --short HEAD)."
echo
ex=$work/example
mkdir -p "$ex"
cp examples/human_pipe_2016/{pairs.txt,domains.txt,gold_ddi.tsv} "$ex/"
(
  cd "$ex"
  "$bin/ddinfer" -q --solver clp pairs.txt domains.txt 0.1 > /dev/null
  "$bin/ddinfer-rank" -q --dint pairs.txt.0.100000.dint pairs.txt domains.txt > /dev/null
  "$bin/ddinfer-explain" --rank pairs.txt.rank.tsv --dint pairs.txt.0.100000.dint --gold gold_ddi.tsv \
    pairs.txt domains.txt 2> explain.err
)
echo "Human example, ratio 0.1, classic clp list, default \`ddinfer-rank --dint\` table, 3did:"
echo
echo "- $(grep -o 'of [0-9]* protein pairs with 2 or more.*' "$ex/explain.err")"
echo "- $(check "$ex/pairs.txt" "$ex/pairs.txt.0.100000.dint" "$ex/pairs.txt.explain.tsv")"
echo

bio=$work/biogrid
mkdir -p "$bio"
cp "$data/human_biogrid_3.5.174"/{pairs.txt,domains.txt,gold_ddi.tsv} "$bio/"
cd "$bio"
"$bin/ddinfer" -q --solver clp pairs.txt domains.txt 0.1 > /dev/null
"$bin/ddinfer-rank" -q --dint pairs.txt.0.100000.dint pairs.txt domains.txt > /dev/null
echo "Human BioGRID 3.5.174 (329,197 protein pairs, 515,194 candidates), ratio 0.1, one job:"
echo
echo "| ddinfer-explain | wall s | CPU s | peak MB |"
echo "| --- | ---: | ---: | ---: |"
common=(--rank pairs.txt.rank.tsv --dint pairs.txt.0.100000.dint --gold gold_ddi.tsv)
measure "the whole table, K = 3" "$bin/ddinfer-explain" "${common[@]}" -o whole.tsv pairs.txt domains.txt
measure "\`--protein 7157\` (TP53)" "$bin/ddinfer-explain" "${common[@]}" --protein 7157 -o - pairs.txt domains.txt
measure "\`--domain-pair PF00017 PF07714\`" "$bin/ddinfer-explain" "${common[@]}" --domain-pair PF00017 PF07714 \
  -o - pairs.txt domains.txt
measure "ranked here (no --rank)" "$bin/ddinfer-explain" --dint pairs.txt.0.100000.dint --gold gold_ddi.tsv \
  -o here.tsv pairs.txt domains.txt
echo
echo "- $(check pairs.txt pairs.txt.0.100000.dint whole.tsv)"
