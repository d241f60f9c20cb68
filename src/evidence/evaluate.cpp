#include "evidence/evaluate.h"

#include <cstdio>
#include <cstdlib>
#include <istream>
#include <string_view>

#include "core/error.h"
#include "core/lines.h"
#include "core/input_file.h"

namespace ddinfer {

std::vector<std::string_view> tab_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t pos = 0;;) {
        const std::size_t tab = line.find('\t', pos);
        fields.push_back(line.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
        if (tab == std::string_view::npos) return fields;
        pos = tab + 1;
    }
}

NamePairs read_gold(std::istream& in, const std::string& file) {
    NamePairs gold;
    read_two_names(in, file, [&](const std::string& a, const std::string& b) { gold.add(a, b); });
    return gold;
}

std::string no_gold_candidate(const std::string& gold_path, const NamePairs& gold, const std::string& pairs_path,
                              const std::string& domains_path, const std::string& candidate) {
    return "no pair of " + gold_path + " is a candidate pair of " + pairs_path + " and " + domains_path + " (" +
           gold_path + " has \"" + quoted_input(gold.example()) + "\", the candidates such as \"" +
           quoted_input(candidate) + "\"); are the domain ids of one kind?";
}

void read_two_names(std::istream& in, const std::string& file,
                    const std::function<void(const std::string&, const std::string&)>& take) {
    std::string line;
    long line_no = 0;
    while (getline_bounded(in, line, file, line_no + 1)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::vector<std::string> fields;
        for (std::size_t pos = first; pos != std::string::npos;) {
            const std::size_t end = line.find_first_of(" \t", pos);
            fields.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
            pos = line.find_first_not_of(" \t", end == std::string::npos ? line.size() : end);
        }
        if (fields.size() != 2) {
            throw input_error(file, line_no, "expected two domain names, found " + std::to_string(fields.size()));
        }
        take(fields[0], fields[1]);
    }
    if (in.bad()) throw Error(read_failure(file, in));
}

std::vector<std::pair<std::string, std::string>> read_inferred(std::istream& in, const std::string& file,
                                                               const NamePairs& candidates) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string line;
    long line_no = 0;
    while (getline_bounded(in, line, file, line_no + 1)) {
        ++line_no;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) {
            throw input_error(file, line_no, "expected two domain names separated by one tab");
        }
        std::string a = line.substr(0, tab), b = line.substr(tab + 1);
        if (!candidates.contains(a, b)) {
            throw input_error(file, line_no, "\"" + quoted_input(a) + "\" with \"" + quoted_input(b) + "\" is no candidate pair of these inputs");
        }
        pairs.emplace_back(std::move(a), std::move(b));
    }
    return pairs;
}

NamePairs candidate_names(const protdom& network, const inter_table& dint) {
    NamePairs names;
    for (int r = 0; r < dint.n; ++r) names.add(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
    return names;
}

Share share(const std::vector<std::pair<std::string, std::string>>& pairs, const NamePairs& gold) {
    Share s;
    NamePairs seen;
    for (const auto& [a, b] : pairs) {
        if (!seen.add(a, b)) continue;
        ++s.pairs;
        s.in_gold += gold.contains(a, b);
    }
    return s;
}

std::string format_evaluation(const Share& candidates, const Share& inferred) {
    char text[512];
    const double recall =
        candidates.in_gold == 0 ? 0.0 : static_cast<double>(inferred.in_gold) / static_cast<double>(candidates.in_gold);
    const double enrichment = candidates.rate() == 0.0 ? 0.0 : inferred.rate() / candidates.rate();
    std::snprintf(text, sizeof text,
                  "                pairs  in gold  share\n"
                  "candidates  %9zu %8zu  %5.1f%%  (base rate)\n"
                  "inferred    %9zu %8zu  %5.1f%%  (precision)\n"
                  "recall      %5.1f%% of the gold pairs among the candidates\n"
                  "enrichment  %.2f (precision / base rate)\n",
                  candidates.pairs, candidates.in_gold, 100.0 * candidates.rate(), inferred.pairs, inferred.in_gold,
                  100.0 * inferred.rate(), 100.0 * recall, enrichment);
    return text;
}

namespace {

std::vector<std::string> split_tabs(const std::string& line) {
    const std::vector<std::string_view> fields = tab_fields(line);
    return {fields.begin(), fields.end()};
}

// The whole field as a number; false for an empty field or trailing text.

// Hands every row after the header to `take` (its fields and line number):
// every row ends with a line feed, has the header's number of fields and
// names a candidate, or (a pooled table) is passed over and counted. An end
// line, where there is one, must match the rows; `end_required` (a table of
// a version that writes one) refuses a table without. `ended` tells
// whether there was one.
std::size_t visit_rows(std::istream& in, const std::string& file, const NamePairs& candidates, std::size_t fields_per_row,
                       long line_no, bool pass_over_others, const TableRow& take, bool end_required = false,
                       bool* ended = nullptr) {
    std::size_t passed_over = 0;
    std::string line;
    TableEnd end;
    while (getline_bounded(in, line, file, line_no + 1)) {
        ++line_no;
        if (in.eof()) throw input_error(file, line_no, "the line has no line end: the table was cut short");
        if (end.comment(line)) continue;
        if (end.take(line, file, line_no)) continue;
        std::vector<std::string> fields = split_tabs(line);
        if (fields.size() != fields_per_row) {
            throw input_error(file, line_no,
                              "expected " + std::to_string(fields_per_row) + " tab-separated fields, found " +
                                  std::to_string(fields.size()));
        }
        if (!candidates.contains(fields[0], fields[1])) {
            if (pass_over_others) {
                ++passed_over;
                continue;
            }
            throw input_error(file, line_no,
                              "\"" + quoted_input(fields[0]) + "\" with \"" + quoted_input(fields[1]) + "\" is no candidate pair of these inputs");
        }
        take(fields, line_no);
    }
    if (in.bad()) throw Error(read_failure(file, in));
    end.finish(end_required, file);
    if (ended != nullptr) *ended = end.ended();
    return passed_over;
}

}  // namespace

std::vector<std::string> table_header(const std::string& line) {
    if (line.rfind("domain_a\tdomain_b\t", 0) != 0) return {};
    return split_tabs(line);
}

std::string first_table_line(std::istream& in, const std::string& file, long& line_no) {
    std::string line;
    line_no = 0;
    while (getline_bounded(in, line, file, line_no + 1)) {
        ++line_no;
        if (line.empty() || line[0] != '#') return line;
    }
    return "";
}

void stream_table(std::istream& in, const std::string& file, const NamePairs& candidates, TableHead& head,
                  const TableRow& take) {
    head = TableHead();
    long line_no = 0;
    std::string line;
    while (getline_bounded(in, line, file, line_no + 1)) {
        ++line_no;
        if (line_no == 1 && line.rfind("# ", 0) == 0) head.provenance = line.substr(2);
        if (line.empty() || line[0] != '#') break;
        line.clear();
    }
    head.header = table_header(line);
    if (head.header.empty()) {
        throw input_error(file, std::max(1L, line_no), "expected a header line beginning domain_a<TAB>domain_b");
    }
    // A pooled table ranks the pairs of several networks, most of them no
    // candidates of any one.
    const bool pooled = head.provenance.rfind("ddinfer-pool ", 0) == 0;
    const bool required = table_has_end(head.provenance);
    bool ended = false;
    head.passed_over = visit_rows(in, file, candidates, head.header.size(), line_no, pooled, take, required, &ended);
    head.unchecked = !ended && head.provenance.rfind("ddinfer", 0) == 0;
}

Table read_table(std::istream& in, const std::string& file, const NamePairs& candidates) {
    Table table;
    TableHead head;
    stream_table(in, file, candidates, head, [&](std::vector<std::string>& fields, long at) {
        table.rows.push_back(std::move(fields));
        table.line_numbers.push_back(at);
    });
    table.header = head.header;
    table.provenance = head.provenance;
    table.passed_over = head.passed_over;
    table.unchecked = head.unchecked;
    return table;
}

std::string unchecked_warning(const std::string& file) {
    return "warning: " + file + " has no end line (written by a version before tables ended with a row count and a "
           "checksum): read as it is, unchecked\n";
}

bool number_field(const std::string& field, double& value) {
    if (field.empty()) return false;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    // The whole field: a stray byte (a NUL among them) is no number.
    return end == field.c_str() + field.size();
}

std::vector<RankedPair> ranked_pairs(const Table& table, const std::string& file) {
    std::vector<RankedPair> ranked;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const std::vector<std::string>& fields = table.rows[i];
        RankedPair pair;
        if (fields.size() != 4 || !number_field(fields[2], pair.classic) || !number_field(fields[3], pair.freq)) {
            throw input_error(file, table.line_numbers[i],
                              "expected two domain names, the classic value and the frequency");
        }
        pair.a = fields[0];
        pair.b = fields[1];
        ranked.push_back(std::move(pair));
    }
    return ranked;
}

NamePairs shared_domain_pairs(const protdom& network) {
    NamePairs shared;
    for (const node& protein : network.prot) {
        for (int u = 0; u < protein.n; ++u) {
            for (int w = u + 1; w < protein.n; ++w) {
                const int a = protein.links[u], b = protein.links[w];
                if (a != b) shared.add(network.dom[a].name, network.dom[b].name);
            }
        }
    }
    return shared;
}

std::string format_ranking(const std::vector<std::pair<std::string, std::string>>& ranking,
                           const std::vector<std::pair<std::string, std::string>>& candidates, const NamePairs& gold,
                           const NamePairs& shared) {
    constexpr std::size_t tops[] = {250, 500, 1000, 2000, 5000};
    std::string text = "ranking          pairs   P@250   P@500  P@1000  P@2000  P@5000      AP\n";
    for (const char* view : {"all", "heterotypic", "no shared"}) {
        const std::string_view name = view;
        auto counted = [&](const std::pair<std::string, std::string>& p) {
            if (name == "all") return true;
            if (p.first == p.second) return false;
            return name == "heterotypic" || !shared.contains(p.first, p.second);
        };
        std::size_t relevant = 0;
        NamePairs seen;
        for (const auto& [a, b] : candidates) {
            if (counted({a, b}) && seen.add(a, b)) relevant += gold.contains(a, b);
        }
        seen = NamePairs();
        std::size_t listed = 0, hits = 0;
        double precision_sum = 0.0;
        std::string columns;
        char cell[16];
        const std::size_t* next_top = std::begin(tops);
        for (const auto& pair : ranking) {
            if (!counted(pair) || !seen.add(pair.first, pair.second)) continue;
            ++listed;
            if (gold.contains(pair.first, pair.second)) {
                ++hits;
                precision_sum += static_cast<double>(hits) / static_cast<double>(listed);
            }
            if (next_top != std::end(tops) && listed == *next_top) {
                std::snprintf(cell, sizeof cell, "  %5.1f%%", 100.0 * static_cast<double>(hits) / static_cast<double>(listed));
                columns += cell;
                ++next_top;
            }
        }
        for (; next_top != std::end(tops); ++next_top) columns += "       -";
        std::snprintf(cell, sizeof cell, "  %5.1f%%", relevant == 0 ? 0.0 : 100.0 * precision_sum / static_cast<double>(relevant));
        char head[40];
        std::snprintf(head, sizeof head, "%-12s%10zu", view, listed);
        text += head + columns + cell + "\n";
    }
    return text;
}

std::string format_ranked_evaluation(const Share& candidates, const std::vector<RankedPair>& ranked,
                                     const NamePairs& gold) {
    struct Row {
        const char* label;
        bool (*keep)(const RankedPair&);
    };
    const Row rows[] = {
        {"classic", [](const RankedPair& p) { return p.classic >= 0.5; }},
        {"freq = 1", [](const RankedPair& p) { return p.freq >= 1.0; }},
        {"freq >= 0.75", [](const RankedPair& p) { return p.freq >= 0.75; }},
        {"freq >= 0.5", [](const RankedPair& p) { return p.freq >= 0.5; }},
        {"freq >= 0.25", [](const RankedPair& p) { return p.freq >= 0.25; }},
        {"freq > 0", [](const RankedPair& p) { return p.freq > 0.0; }},
    };
    std::string text = "                pairs  in gold  share  enrichment\n";
    char line[160];
    std::snprintf(line, sizeof line, "%-12s%9zu %8zu  %5.1f%%  (base rate)\n", "candidates", candidates.pairs,
                  candidates.in_gold, 100.0 * candidates.rate());
    text += line;
    for (const Row& row : rows) {
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const RankedPair& p : ranked) {
            if (row.keep(p)) pairs.emplace_back(p.a, p.b);
        }
        const Share s = share(pairs, gold);
        const double enrichment = candidates.rate() == 0.0 ? 0.0 : s.rate() / candidates.rate();
        std::snprintf(line, sizeof line, "%-12s%9zu %8zu  %5.1f%%  %.2f\n", row.label, s.pairs, s.in_gold,
                      100.0 * s.rate(), enrichment);
        text += line;
    }
    return text;
}

}  // namespace ddinfer
