#include "report/report_page.h"

#include <algorithm>
#include <ostream>

#include "core/error.h"
#include "core/input_file.h"
#include "report/report_charts.h"

namespace ddinfer {

// Columns from `required` on may be missing: their numbers stay empty.
ReadTable read_columns(std::ostream& info, const std::string& path, const NamePairs& candidates,
                       const std::vector<std::string>& columns, std::size_t keep,
                       const std::function<void(const std::vector<std::string>&)>& each, std::size_t required) {
    ReadTable read;
    read.numbers.resize(columns.size());
    constexpr std::size_t absent = static_cast<std::size_t>(-1);
    std::vector<std::size_t> at;
    auto find_columns = [&] {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto it = std::find(read.head.header.begin(), read.head.header.end(), columns[c]);
            if (it == read.head.header.end() && c < required) throw input_error(path, 1, "expected a column " + columns[c]);
            at.push_back(it == read.head.header.end() ? absent : static_cast<std::size_t>(it - read.head.header.begin()));
        }
    };
    InputFile in(path);
    stream_table(in, path, candidates, read.head, [&](std::vector<std::string>& fields, long line_no) {
        if (at.size() != columns.size()) find_columns();
        for (std::size_t c = 0; c < at.size(); ++c) {
            // An empty cell is no value (no robust runs, no fit).
            if (at[c] == absent || fields[at[c]].empty()) continue;
            double value = 0;
            if (!number_field(fields[at[c]], value)) {
                throw input_error(path, line_no, "expected a number in the column " + columns[c] + ", found \"" +
                                                     quoted_input(fields[at[c]], 40) + "\"");
            }
            read.numbers[c].push_back(value);
        }
        if (each) each(fields);
        if (read.top.size() < keep) read.top.push_back(std::move(fields));
    });
    if (at.size() != columns.size()) find_columns();
    if (read.head.unchecked) info << unchecked_warning(path);
    return read;
}

const char* const page_style =
    "body{font-family:sans-serif;margin:1.5em 2em;max-width:1300px;color:#222}h1{font-size:1.4em;margin:.2em 0}"
    "h2{font-size:1.2em;margin:.8em 0 .3em}#summary ul{margin:.3em 0;padding-left:1.2em}#summary li{margin:.15em 0}"
    "table{border-collapse:collapse;font-size:.85em}td,th{border:1px solid #ccc;padding:2px 6px;text-align:left}"
    "th{background:#eee;cursor:pointer}th[title]{text-decoration:underline dotted}td.known{color:#1a6b1a;"
    "font-weight:bold}td.new{color:#444}.twin{font-size:.8em;color:#8a5a00}body.js #pairs:not(.all) .extra"
    "{display:none}figure{display:inline-block;margin:1em}svg.chart{width:620px;height:250px}"
    "rect{fill:#4a7ab5}.axis{stroke:#444}polyline{fill:none;stroke-width:2}polyline.all{stroke:#4a7ab5}"
    "polyline.hetero{stroke:#c0504d}line.base{stroke-dasharray:4 3;stroke-width:1}line.base.all{stroke:#4a7ab5}"
    "line.base.hetero{stroke:#c0504d}text.all{fill:#4a7ab5}text.hetero{fill:#c0504d}text{font-size:12px}"
    "dl{display:grid;grid-template-columns:max-content auto;gap:2px 12px}dt{font-weight:bold}"
    "#filter{margin:.3em 0;padding:3px;width:20em}p.note{max-width:620px;font-size:.9em;color:#444}"
    "td.behind details ul{margin:.2em 0;padding-left:1.1em;white-space:nowrap}#pairs tbody tr{cursor:pointer}";

// Sorting by a click on a column head, filtering by text and the button
// that shows the further columns: the table is whole without them.
const char* const page_script =
    "document.body.classList.add('js');"
    "document.getElementById('columns').addEventListener('click',function(){var t=document.getElementById('pairs');"
    "t.classList.toggle('all');this.textContent=t.classList.contains('all')?'show the first columns only':"
    "'show every column';});"
    "document.getElementById('filter').addEventListener('input',function(){var q=this.value.toLowerCase();"
    "document.querySelectorAll('#pairs tbody tr').forEach(function(r){r.style.display=r.textContent.toLowerCase()"
    ".indexOf(q)<0?'none':'';});});"
    "document.querySelectorAll('#pairs th').forEach(function(th,i){th.addEventListener('click',function(){"
    "var body=document.querySelector('#pairs tbody'),rows=Array.from(body.rows),up=th.dataset.up!=='1';"
    "th.dataset.up=up?'1':'0';rows.sort(function(a,b){var x=a.cells[i].textContent,y=b.cells[i].textContent,"
    "p=parseFloat(x),q=parseFloat(y);var c=(!isNaN(p)&&!isNaN(q))?p-q:x.localeCompare(y);return up?c:-c;});"
    "rows.forEach(function(r){body.appendChild(r);});});});"
    // A click anywhere on a row (but a link) opens its protein pairs.
    "document.querySelectorAll('#pairs tbody tr').forEach(function(r){r.addEventListener('click',function(e){"
    "if(e.target.closest('a,summary'))return;var d=r.querySelector('details');if(d)d.open=!d.open;});});";

// "12,345"
std::string thousands(long value) {
    std::string digits = std::to_string(value), text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[0] != '-') text += ',';
        text += digits[i];
    }
    return text;
}

// "35 at 0.5 or more, 120 at 0.2 or more, ..." of `values`.
std::string counts_at(const std::vector<double>& values, std::initializer_list<double> cuts, bool equal_first) {
    std::string text;
    bool first = true;
    for (const double cut : cuts) {
        const long n = std::count_if(values.begin(), values.end(), [&](double v) { return first && equal_first ? v == cut : v >= cut; });
        text += (text.empty() ? "" : ", ") + thousands(n) + (first && equal_first ? " at " : " at or above ") + number(cut);
        first = false;
    }
    return text;
}


}  // namespace ddinfer
