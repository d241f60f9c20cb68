#!/usr/bin/env bash
# The report of the human example opened in a real browser (headless
# Chromium): every chart and the expected rows are in the page as the
# browser builds it, no script fails, and nothing is fetched from the
# network (every host name resolves to nothing, and the browser's own log of
# requests holds none but the file). The screenshot is kept in BIN_DIR as a
# test artifact.
#   tests/report/browser_test.sh SOURCE_DIR BIN_DIR     (exit 77: skipped)
set -uo pipefail
src=$(cd "$1" && pwd)
bin=$(cd "$2" && pwd)
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "skipped: needs chromium (scripts/setup installs it)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

cd "$work"
cp "$src/examples/human_pipe_2016/pairs.txt" "$src/examples/human_pipe_2016/domains.txt" \
  "$src/examples/human_pipe_2016/gold_ddi.tsv" .
printf 'PF00017\tSH2: Src homology 2 domain\nPF07714\tPK_Tyr_Ser-Thr: Protein tyrosine kinase\n' > names.tsv
"$bin/ddinfer-robust" -q --runs 5 pairs.txt domains.txt 0.1 > /dev/null 2>&1
"$bin/ddinfer-null" -q --runs 5 pairs.txt domains.txt 0.1 > /dev/null 2>&1
"$bin/ddinfer-rank" --robust pairs.txt.0.100000.robust.tsv pairs.txt domains.txt > /dev/null 2>&1
"$bin/ddinfer-report" --rank pairs.txt.rank.tsv --robust pairs.txt.0.100000.robust.tsv \
  --null pairs.txt.0.100000.m2.null.tsv --gold gold_ddi.tsv --names names.tsv pairs.txt domains.txt 2> report.err
check "the report is written" test -s pairs.txt.report.html
check "nothing in the page loads from elsewhere" \
  bash -c "! grep -Eiq '<(script|img|iframe)[^>]* src=|<link |@import|url\\(' pairs.txt.report.html"

flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking
  --disable-component-update --disable-sync --user-data-dir="$work/profile" --host-resolver-rules="MAP * ~NOTFOUND"
  --enable-logging=stderr --v=0)
timeout 120 "$browser" "${flags[@]}" --log-net-log="$work/net.json" --dump-dom "file://$work/pairs.txt.report.html" \
  > dom.html 2> browser.log
check "the browser built the page" grep -q '</html>' dom.html
for chart in freq-chart score-chart null-chart precision-chart recall-chart; do
  check "the page holds $chart" grep -q "<svg id=\"$chart\"" dom.html
done
rows=$(sed -n '/<table id="pairs">/,/<\/table>/p' dom.html | grep -c '<tr><td>')
check "the table holds 200 rows (found $rows)" test "$rows" -eq 200
check "domain names are shown" grep -q 'SH2: Src homology 2 domain' dom.html
check "no script failed" bash -c "! grep -Eq 'Uncaught|CONSOLE.*(ERROR|Error)' browser.log"
requests=$(python3 "$src/tests/report/page_requests.py" net.json)
check "no request left the page ($requests)" test -z "$requests"
timeout 120 "$browser" "${flags[@]}" --window-size=1300,2400 --screenshot="$bin/report-screenshot.png" \
  "file://$work/pairs.txt.report.html" > /dev/null 2>&1
check "the screenshot is kept" test -s "$bin/report-screenshot.png"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
