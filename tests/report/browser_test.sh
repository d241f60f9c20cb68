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
"$bin/ddinfer-rank" --robust pairs.txt.0.100000.robust.tsv --calibrate gold_ddi.tsv pairs.txt domains.txt > /dev/null 2>&1
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
# The first screen (1400 x 900) shows the summary, the first five rows of
# the table, its p_gold column and the gold list's mark: measured by the
# browser itself in a copy of the page with a script that says what is in
# view.
measure="<script>(function(){var h=innerHeight,w=innerWidth;function seen(e){if(!e)return false;"
measure+="var r=e.getBoundingClientRect();return r.width>0&&r.top>=0&&r.bottom<=h&&r.right<=w;}"
measure+="var rows=document.querySelectorAll('#pairs tbody tr'),heads=Array.from(document.querySelectorAll('#pairs th'));"
measure+="var p=heads.find(function(t){return t.textContent==='p_gold';});"
measure+="document.body.setAttribute('data-in-view',[seen(document.getElementById('summary')),seen(rows[0]),"
measure+="seen(rows[4]),seen(p),seen(rows[0]&&rows[0].querySelector('td.in-gold,td.not-in-gold'))].join(' '));})();</script>"
MEASURE=$measure python3 -c 'import os, sys; sys.stdout.write(open("pairs.txt.report.html").read().replace("</body>", os.environ["MEASURE"] + "</body>"))' > measured.html
timeout 120 "$browser" "${flags[@]}" --window-size=1400,900 --dump-dom "file://$work/measured.html" > measured-dom.html 2> /dev/null
in_view=$(grep -o 'data-in-view="[^"]*"' measured-dom.html)
check "summary, rows 1 and 5, p_gold and the gold mark in the first screen ($in_view)" \
  test "$in_view" = 'data-in-view="true true true true true"'
# A click on the first row (not on a link) opens the protein pairs behind
# it, written into the page by the tool.
click="<script>(function(){var r=document.querySelector('#pairs tbody tr');r.cells[0].click();"
click+="var d=r.querySelector('details'),li=d&&d.querySelector('li');document.body.setAttribute('data-opened',"
click+="[!!d&&d.open,!!li&&li.getBoundingClientRect().height>0,li?li.textContent:''].join('|'));})();</script>"
CLICK=$click python3 -c 'import os, sys; sys.stdout.write(open("pairs.txt.report.html").read().replace("</body>", os.environ["CLICK"] + "</body>"))' > clicked.html
timeout 120 "$browser" "${flags[@]}" --window-size=1400,900 --dump-dom "file://$work/clicked.html" > clicked-dom.html 2> /dev/null
opened=$(grep -o 'data-opened="[^"]*"' clicked-dom.html)
check "a click on row 1 shows its protein pairs ($opened)" \
  grep -Eq 'data-opened="true\|true\|[A-Z0-9]+ . [A-Z0-9]+ (its only candidate|one of [0-9]+ candidates)"' <<< "$opened"
size=$(stat -c %s pairs.txt.report.html)
check "the page stays under 2 MB ($size bytes)" test "$size" -lt 2000000
check "pairs no solution tells apart are marked" grep -q 'class="twin"' dom.html
check "the precision chart has its base-rate line" grep -q 'class="base all"' dom.html
timeout 120 "$browser" "${flags[@]}" --window-size=1400,900 --screenshot="$bin/report-screenshot.png" \
  "file://$work/pairs.txt.report.html" > /dev/null 2>&1
check "the screenshot is kept" test -s "$bin/report-screenshot.png"

# The example's page and a pooled one (the example with a second network
# made of half its pairs), at 1000 and 1600 pixels: the title holds the data
# set and the ratio, every chart text lies inside its chart, no cell says
# "new", and the pooled page names its networks.
half=$work/half
mkdir -p "$half"
{ echo 6919; sed -n '2,6920p' pairs.txt; } > "$half/pairs.txt"
cp domains.txt "$half/"
"$bin/ddinfer-rank" -q "$half/pairs.txt" "$half/domains.txt" > /dev/null 2>&1
"$bin/ddinfer-pool" -q --only pairs.txt.rank.tsv --calibrate gold_ddi.tsv -o pooled.tsv pairs.txt.rank.tsv \
  "$half/pairs.txt.rank.tsv" 2> pool.err
"$bin/ddinfer-report" -q --rank pooled.tsv --gold gold_ddi.tsv --title "two halves" -o pooled.html pairs.txt domains.txt
check "the pooled page names both networks" \
  bash -c "grep -q '<li>Network pairs.txt: the inputs pairs.txt and domains.txt, 31,456 candidate pairs, its own AP' pooled.html &&
           grep -q '<li>Network $half/pairs.txt: the inputs' pooled.html"
look="<script>(function(){var cut=0;document.querySelectorAll('svg.chart text').forEach(function(t){var b=t.getBBox();"
look+="if(b.x<0||b.x+b.width>620)cut++;});var cells=Array.from(document.querySelectorAll('#pairs td'));"
look+="var nw=cells.filter(function(c){return /^new\$/.test(c.textContent.trim());}).length;"
look+="document.body.setAttribute('data-look',[document.querySelector('h1').textContent,cut,nw].join(';'));})();</script>"
for page in pairs.txt.report.html pooled.html; do
  LOOK=$look python3 -c 'import os, sys; sys.stdout.write(open(sys.argv[1]).read().replace("</body>", os.environ["LOOK"] + "</body>"))' "$page" > look.html
  for width in 1000 1600; do
    timeout 120 "$browser" "${flags[@]}" --window-size=$width,900 --dump-dom "file://$work/look.html" > look-dom.html 2> /dev/null
    seen=$(grep -o 'data-look="[^"]*"' look-dom.html)
    expected="ddinfer report: $(basename "$work"), ratio 0.1;0;0"
    [ "$page" = pooled.html ] && expected='ddinfer report: two halves, ratio 0.1;0;0'
    check "$page at $width px: title, whole chart texts, no \"new\" ($seen)" test "$seen" = "data-look=\"$expected\""
    timeout 120 "$browser" "${flags[@]}" --window-size=$width,900 --screenshot="$bin/${page%%.*}-$width.png" \
      "file://$work/$page" > /dev/null 2>&1
  done
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
