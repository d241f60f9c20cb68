#include "report/report_page.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <fstream>
#include <sstream>
#include <utility>

#include "core/error.h"
#include "core/input_file.h"
#include "core/lines.h"
#include "core/table_end.h"
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
    "th{background:#eee;cursor:pointer}th[title]{text-decoration:underline dotted}td.in-gold{color:#1a6b1a;"
    "font-weight:bold}td.not-in-gold{color:#444}.why{font-size:.8em;color:#8a5a00}.twin{font-size:.8em;color:#8a5a00}body.js #pairs:not(.all) .extra"
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
    "th.dataset.up=up?'1':'0';rows.sort(function(a,b){var x=a.cells[i].dataset.v||a.cells[i].textContent,"
    "y=b.cells[i].dataset.v||b.cells[i].textContent,p=parseFloat(x),q=parseFloat(y);var c=(!isNaN(p)&&!isNaN(q))?p-q:x.localeCompare(y);return up?c:-c;});"
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



std::string ratio_in(const std::vector<std::string>& provenances) {
    for (const std::string& provenance : provenances) {
        const std::vector<std::string> words = words_of(provenance);
        // A robust or null table's call ends with its RATIO; a rank table's
        // names a table of one (PAIRS.RATIO.robust.tsv, PAIRS.RATIO.dint).
        std::vector<std::string> texts;
        if (!words.empty() && (words[0] == "ddinfer-robust" || words[0] == "ddinfer-null")) texts.push_back(words.back());
        for (const auto& [option, suffix] : {std::pair{"--robust", ".robust.tsv"}, std::pair{"--dint", ".dint"}}) {
            std::string file = option_in(provenance, option);
            const std::size_t cut = file.rfind(suffix);
            if (file.empty() || cut == std::string::npos || cut + std::string(suffix).size() != file.size()) continue;
            file.resize(cut);  // PAIRS.0.100000
            const std::size_t last = file.rfind('.');
            const std::size_t before = last == std::string::npos || last == 0 ? std::string::npos : file.rfind('.', last - 1);
            if (before != std::string::npos) texts.push_back(file.substr(before + 1));
        }
        for (const std::string& text : texts) {
            char* end = nullptr;
            const double ratio = std::strtod(text.c_str(), &end);
            if (!text.empty() && end == text.c_str() + text.size() && ratio >= 0) return number(ratio, "%g");
        }
    }
    return "";
}

std::string report_title(const std::string& given, const std::string& pairs_path,
                         const std::vector<std::string>& provenances) {
    std::string name = given;
    if (name.empty() && pairs_path == "-") name = "standard input";
    if (name.empty()) {
        namespace fs = std::filesystem;
        // The folder's own name, also for PAIRS in the current folder or "..".
        std::error_code error;
        const fs::path parent = fs::path(pairs_path).parent_path();
        const fs::path folder = fs::weakly_canonical(parent.empty() ? fs::current_path(error) : parent, error).filename();
        name = folder.empty() ? pairs_path : folder.string();
    }
    const std::string ratio = ratio_in(provenances);
    return ratio.empty() ? name : name + ", ratio " + ratio;
}

std::vector<std::string> pooled_networks(const std::string& provenance, const NamePairs* gold,
                                         const std::string& gold_name, std::vector<std::string>& calls) {
    std::vector<std::string> words = words_of(provenance), lines;
    if (words.size() < 2 || words[0] != "ddinfer-pool") return lines;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--same-network") continue;
        if (word.rfind("--", 0) == 0) {
            ++i;  // an option's value
            continue;
        }
        std::string name = word;
        if (name.size() > 9 && name.compare(name.size() - 9, 9, ".rank.tsv") == 0) name.resize(name.size() - 9);
        std::string line = "Network " + name + ": ";
        // Its own table, where it can be read: its inputs, its candidates
        // and its own average precision.
        std::ifstream in(word, std::ios::binary);
        std::string text, inputs;
        long rows = 0, hits = 0, relevant = 0;
        double precision_sum = 0;
        NamePairs seen;
        bool readable = static_cast<bool>(in) && std::getline(in, text) && text.rfind("# ddinfer-rank ", 0) == 0;
        if (readable) {
            calls.push_back(text.substr(2));
            const std::vector<std::string> first = words_of(text);
            inputs = first.size() >= 2 ? first[first.size() - 2] + " and " + first.back() : "";
            std::getline(in, text);  // the header
            while (std::getline(in, text)) {
                if (TableEnd::is_end(text) || text.empty()) continue;
                const std::size_t tab = text.find('\t'), tab2 = text.find('\t', tab + 1);
                if (tab == std::string::npos || tab2 == std::string::npos) continue;
                ++rows;
                if (gold == nullptr) continue;
                const std::string a = text.substr(0, tab), b = text.substr(tab + 1, tab2 - tab - 1);
                if (gold->contains(a, b) && seen.add(a, b)) {
                    ++hits;
                    precision_sum += static_cast<double>(hits) / static_cast<double>(rows);
                }
            }
            relevant = hits;
        }
        if (!readable) {
            line += word + " (its table is not at hand here)";
        } else {
            line += "the inputs " + inputs + ", " + thousands(rows) + " candidate pairs";
            if (gold != nullptr && relevant > 0) {
                line += ", its own AP " + number(100.0 * precision_sum / static_cast<double>(relevant), "%.1f") +
                        "% against " + gold_name;
            }
        }
        lines.push_back(line + ".");
    }
    return lines;
}

}  // namespace ddinfer
