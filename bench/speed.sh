#!/usr/bin/env bash
# The clp path at proteome scale with one build or another: the classic
# solve, ddinfer-robust and ddinfer-null (--solver clp --jobs 2) at K runs,
# on yeast and human BioGRID. Prints one Markdown row a command: data set,
# command, wall seconds, peak memory (MB), and whether it succeeded; to
# compare two builds, run it once with each BIN and put the rows side by side.
#   bench/speed.sh [BIN] [K...]     (defaults build, 20 100)
set -uo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build}" && pwd)
shift || true
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(20 100)
data=../shared/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # label, command...: one row
  local label=$1
  shift
  if /usr/bin/time -f '%e %M' -o "$work/time" "$@" > "$work/out" 2> "$work/err"; then ok=ok; else ok="failed ($(tail -n 1 "$work/err"))"; fi
  read -r wall kb < <(tail -n 1 "$work/time")
  printf '| %s | %s | %.1f | %d | %s |\n' "$set" "$label" "$wall" $((kb / 1024)) "$ok"
}

echo "| data set | command | wall s | peak MB | result |"
echo "| --- | --- | ---: | ---: | --- |"
for set in yeast_biogrid_3.5.174 human_biogrid_3.5.174; do
  [ -f "$data/$set/pairs.txt" ] || continue
  cp "$data/$set/pairs.txt" "$data/$set/domains.txt" "$work/"
  p=$work/pairs.txt d=$work/domains.txt
  measure "ddinfer --solver clp" "$bin/ddinfer" --solver clp "$p" "$d" 0.1
  for k in "${runs[@]}"; do
    measure "ddinfer-robust --runs $k" "$bin/ddinfer-robust" --solver clp --runs "$k" --jobs 2 "$p" "$d" 0.1
    measure "ddinfer-null --runs $k" "$bin/ddinfer-null" --solver clp --runs "$k" --jobs 2 "$p" "$d" 0.1
  done
done
