#!/usr/bin/env bash
# The clp path with one build or another: the classic solve, ddinfer-robust
# and ddinfer-null (--solver clp) at K runs, on yeast and human BioGRID (or
# the data sets named in SETS, looked for in ../shared/data and examples/).
# Prints one Markdown row a command: data set, command, wall seconds, CPU
# seconds (user + system), peak memory (MB), and whether it succeeded; to
# compare two builds, run it once with each BIN and put the rows side by
# side. JOBS sets --jobs (default 2).
#   bench/speed.sh [BIN] [K...]     (defaults build, 20 100)
set -uo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build}" && pwd)
shift || true
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(20 100)
sets=${SETS:-yeast_biogrid_3.5.174 human_biogrid_3.5.174}
jobs=${JOBS:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # label, command...: one row
  local label=$1
  shift
  if /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > "$work/out" 2> "$work/err"; then ok=ok; else ok="failed ($(tail -n 1 "$work/err"))"; fi
  read -r wall user sys kb < <(tail -n 1 "$work/time")
  printf '| %s | %s | %.1f | %s | %d | %s |\n' "$set" "$label" "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", u + s }')" \
    $((kb / 1024)) "$ok"
}

echo "| data set | command | wall s | CPU s | peak MB | result |"
echo "| --- | --- | ---: | ---: | ---: | --- |"
for set in $sets; do
  data=../shared/data
  [ -f "$data/$set/pairs.txt" ] || data=examples
  [ -f "$data/$set/pairs.txt" ] || continue
  cp "$data/$set/pairs.txt" "$data/$set/domains.txt" "$work/"
  p=$work/pairs.txt d=$work/domains.txt
  measure "ddinfer --solver clp" "$bin/ddinfer" --solver clp "$p" "$d" 0.1
  for k in "${runs[@]}"; do
    measure "ddinfer-robust --runs $k" "$bin/ddinfer-robust" --solver clp --runs "$k" --jobs "$jobs" "$p" "$d" 0.1
    measure "ddinfer-null --runs $k" "$bin/ddinfer-null" --solver clp --runs "$k" --jobs "$jobs" "$p" "$d" 0.1
  done
done
