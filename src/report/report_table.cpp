#include "report/report_table.h"

#include <algorithm>

#include "core/error.h"
#include "core/input_file.h"
#include "core/lines.h"
#include "evidence/explain.h"
#include "evidence/rank.h"
#include "report/report_charts.h"

namespace ddinfer {
namespace {

// The columns shown first, in this order, when the table has them.
const char* const first_columns[] = {"domain_a", "domain_b", "p_gold", "gold list", "freq", "support", "score"};

std::string pair_key(const std::string& a, const std::string& b) { return a < b ? a + "\t" + b : b + "\t" + a; }

std::string domain_link(const std::string& id) {
    std::string kind;
    if (id.rfind("PF", 0) == 0) kind = "pfam";
    if (id.rfind("IPR", 0) == 0) kind = "InterPro";
    if (kind.empty()) return escaped(id);
    // A plain link: nothing is fetched unless it is followed.
    return "<a href=\"https://www.ebi.ac.uk/interpro/entry/" + kind + "/" + escaped(id) + "/\">" + escaped(id) +
           "</a>";
}

// A protein id with its gene name, when known.
std::string protein_text(const TopTable& t, const std::string& id) {
    const auto it = t.protein_names.find(id);
    return escaped(id) + (it == t.protein_names.end() ? "" : " (" + escaped(it->second) + ")");
}

std::string behind_cell(const TopTable& t, const RowPairs& row) {
    std::string html = "<details><summary>" + std::to_string(row.total) + "</summary><ul>";
    for (std::size_t i = 0; i < row.proteins.size(); ++i) {
        html += "<li>" + protein_text(t, row.proteins[i].first) + " &ndash; " + protein_text(t, row.proteins[i].second) +
                " <small>" +
                (row.candidates[i] == 1 ? std::string("its only candidate")
                                        : "one of " + std::to_string(row.candidates[i]) + " candidates") +
                "</small></li>";
    }
    if (row.total > static_cast<long>(row.proteins.size())) {
        html += "<li>and " + std::to_string(row.total - static_cast<long>(row.proteins.size())) +
                " more (ddinfer-explain --domain-pair lists them all)</li>";
    }
    return html + "</ul></details>";
}

}  // namespace

void add_protein_pairs(TopTable& t, const protdom& network, const inter_table& pint, const inter_table& dint,
                       std::size_t shown) {
    const auto at = [&](const char* name) {
        return static_cast<std::size_t>(std::find(t.header.begin(), t.header.end(), name) - t.header.begin());
    };
    const std::size_t a_at = at("domain_a"), b_at = at("domain_b");
    const CandidateRecords records(network, dint);
    std::vector<int> asked, first;
    std::vector<std::size_t> row_of;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const int r = records.find(t.rows[i][a_at], t.rows[i][b_at]);
        if (r < 0) continue;
        asked.push_back(r);
        first.push_back(network.dom[dint.list[r].a].name == t.rows[i][a_at] ? dint.list[r].a : dint.list[r].b);
        row_of.push_back(i);
    }
    CandidateEvidence unranked;  // only the counts and the order of the pairs are shown
    unranked.rank.assign(static_cast<std::size_t>(dint.n), 0.0);
    const auto behind = pairs_behind(network, pint, dint, listed_pairs(pint, {}), asked, unranked);
    t.behind.assign(t.rows.size(), RowPairs());
    for (std::size_t k = 0; k < asked.size(); ++k) {
        RowPairs& row = t.behind[row_of[k]];
        row.total = static_cast<long>(behind[k].size());
        for (std::size_t j = 0; j < behind[k].size() && j < shown; ++j) {
            const auto [pa, pb] = oriented_proteins(pint.list[behind[k][j].pair], behind[k][j], dint.list[asked[k]], first[k]);
            row.proteins.emplace_back(network.prot[pa].name, network.prot[pb].name);
            row.candidates.push_back(behind[k][j].candidates);
        }
    }
}

std::string column_meaning(const std::string& column) {
    static const std::map<std::string, std::string> meanings{
        {"rank", "the place of the pair in the ranking, best first"},
        {"domain_a", "a domain of the pair, with its name when a names file was given"},
        {"domain_b", "the other domain of the pair"},
        {"p_gold", "the estimated chance that the gold list holds the pair (a lower bound on the chance that the "
                   "domains interact, the list being incomplete): the share of gold pairs among pairs of like score, "
                   "fitted apart for homotypic and heterotypic pairs on the other half of the domains, never on the "
                   "pair's own label; so it need not fall monotonically down the ranking"},
        {"gold list", "whether the gold list given holds the pair"},
        {"n_networks", "how many of the pooled networks have the pair as a candidate"},
        {"p_dc", "the chance of this much support given the domains' degrees (Poisson)"},
        {"freq", "the share of sampled optimal solutions of the programme that infer the pair"},
        {"support", "protein pairs of the network whose proteins carry the two domains"},
        {"score", "the score the table is ranked by; higher is better in every table (ddinfer-rank: minus the "
                  "natural log of the product of the pair's ranks, 0 at best and negative below; ddinfer-pool: the sum "
                  "over the networks of ln(n / rank), positive)"},
        {"homotypic", "1 when both domains are the same domain"},
        {"possible", "protein pairs that could carry the pair: proteins with one domain times proteins with the other"},
        {"ratio", "support over what chance alone gives"},
        {"p_assoc", "the chance of this much support or more by chance alone (binomial)"},
        {"log10_p", "log10 of p_assoc"},
        {"lp_value", "the pair's value in the classic solution of the programme"},
        {"class_size", "how many candidates stand in exactly the same protein pairs: no solution can tell them apart"},
        {"expected", "support expected from the domains' degrees alone"},
        {"log10_p_dc", "log10 of the chance of this much support given the domains' degrees (Poisson)"},
        {"shared_proteins", "proteins that carry both domains"},
        {"partner_cosine", "how alike the interaction partners of the two domains' proteins are: the cosine of the "
                           "domains' partner profiles (1 for a domain with itself)"},
        {"networks", "networks whose tables rank the pair"},
        {"protein pairs", "interacting protein pairs that the domain pair can explain (click a row to see them): "
                          "those it alone explains first"},
    };
    const auto it = meanings.find(column);
    if (it != meanings.end()) return it->second;
    // A pooled table's columns of one network.
    const std::size_t colon = column.rfind(':');
    if (colon == std::string::npos || colon == 0) return "";
    const std::string own = column_meaning(column.substr(colon + 1));
    return own.empty() ? "" : "in network " + column.substr(0, colon) + ": " + own;
}

std::string p_gold_text(const std::string& cell) {
    double value = 0;
    if (!number_field(cell, value)) return cell;
    return value > 0.99 ? "> 0.99" : number(value, "%.2g");
}

std::map<std::string, long> read_classes(const std::string& path) {
    InputFile in(path);
    std::map<std::string, long> classes;
    std::string line;
    for (long line_no = 1; getline_bounded(in, line, path, line_no); ++line_no) {
        if (line_no == 1) {
            if (line != "class\tdomain_a\tdomain_b") throw input_error(path, 1, "expected the header class, domain_a, domain_b");
            continue;
        }
        const std::size_t first = line.find('\t'), second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos || line.find('\t', second + 1) != std::string::npos) {
            throw input_error(path, line_no, "expected a class and two domains, tab-separated");
        }
        char* end = nullptr;
        const long id = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str() + first || id < 1) throw input_error(path, line_no, "expected a class number first");
        classes[pair_key(line.substr(first + 1, second - first - 1), line.substr(second + 1))] = id;
    }
    if (in.bad()) throw Error(read_failure(path, in));
    return classes;
}

std::string top_table_html(const TopTable& t) {
    // The columns to show: index into a row, -1 for "known", -2 for the
    // protein pairs.
    std::vector<std::pair<std::string, int>> shown;
    const auto at = [&](const std::string& name) {
        const auto it = std::find(t.header.begin(), t.header.end(), name);
        return it == t.header.end() ? -1 : static_cast<int>(it - t.header.begin());
    };
    std::size_t first = 0;
    for (const char* name : first_columns) {
        if (std::string(name) == "gold list") {
            if (t.gold != nullptr) shown.emplace_back(name, -1);
        } else if (at(name) >= 0) {
            shown.emplace_back(name, at(name));
        }
    }
    // The protein pairs behind each row, right after the two domains.
    if (!t.behind.empty()) {
        const auto after = std::find_if(shown.begin(), shown.end(), [](const auto& s) { return s.first == "domain_b"; });
        shown.insert(after == shown.end() ? shown.end() : after + 1, {"protein pairs", -2});
    }
    first = shown.size();
    for (std::size_t c = 0; c < t.header.size(); ++c) {
        const std::string& name = t.header[c];
        // The table's own rank is the row's place, shown first already.
        if (name == "rank" || std::find_if(shown.begin(), shown.end(), [&](const auto& s) { return s.first == name; }) !=
                                  shown.end()) {
            continue;
        }
        shown.emplace_back(name, static_cast<int>(c));
    }

    // Rows of one class among those shown, by class.
    const int a_at = at("domain_a"), b_at = at("domain_b"), size_at = at("class_size"), p_gold_at = at("p_gold"),
              freq_at = at("freq");
    std::map<long, std::vector<std::size_t>> members;
    std::vector<long> class_of(t.rows.size(), 0);
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const auto it = t.class_of.find(pair_key(t.rows[i][a_at], t.rows[i][b_at]));
        if (it == t.class_of.end()) continue;
        class_of[i] = it->second;
        members[it->second].push_back(i);
    }

    std::string html = "<p><button id=\"columns\" type=\"button\">show every column</button> Hover over a column "
                       "head for what it means; click it to sort.</p>\n<table id=\"pairs\"><thead><tr>"
                       "<th title=\"" + escaped(column_meaning("rank")) + "\">rank</th>";
    for (std::size_t s = 0; s < shown.size(); ++s) {
        const std::string meaning = column_meaning(shown[s].first);
        html += std::string("<th") + (s >= first ? " class=\"extra\"" : "") +
                (meaning.empty() ? "" : " title=\"" + escaped(meaning) + "\"") + ">" + escaped(shown[s].first) + "</th>";
    }
    html += "</tr></thead><tbody>\n";
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const std::vector<std::string>& row = t.rows[i];
        std::string twins;
        if (class_of[i] != 0 && members[class_of[i]].size() > 1) {
            std::string others;
            for (std::size_t j : members[class_of[i]]) {
                if (j != i) others += (others.empty() ? "" : ", ") + std::to_string(j + 1);
            }
            twins = " <span class=\"twin\" title=\"no solution tells this pair from the pairs at rank " + others +
                    ": they stand in exactly the same protein pairs\">twin of " + others + "</span>";
        } else if (size_at >= 0 && std::atol(row[size_at].c_str()) > 1) {
            twins = " <span class=\"twin\" title=\"one of " + escaped(row[size_at]) +
                    " pairs that stand in exactly the same protein pairs: no solution tells them apart\">one of " +
                    escaped(row[size_at]) + " alike</span>";
        }
        html += "<tr><td>" + std::to_string(i + 1) + twins + "</td>";
        for (std::size_t s = 0; s < shown.size(); ++s) {
            const std::string open = s >= first ? "<td class=\"extra\">" : "<td>";
            const int c = shown[s].second;
            if (c == -2) {
                html += "<td class=\"behind\">" + behind_cell(t, t.behind[i]) + "</td>";
            } else if (c < 0) {
                const bool known = t.gold->contains(row[a_at], row[b_at]);
                html += std::string(known ? "<td class=\"in-gold\">in " : "<td class=\"not-in-gold\">not in ") +
                        escaped(t.gold_name) + "</td>";
            } else if (c == p_gold_at && !row[c].empty()) {
                // The full value for sorting; two digits to read.
                html += "<td data-v=\"" + escaped(row[c]) + "\"" + (s >= first ? " class=\"extra\">" : ">") +
                        escaped(p_gold_text(row[c])) + "</td>";
            } else if (c == freq_at && row[c] == "0") {
                html += open + "0 <span class=\"why\" title=\"no sampled optimal solution chose the pair: it ranks "
                               "this high by its association and the proteins that carry both domains\">never "
                               "chosen</span></td>";
            } else if (c == a_at || c == b_at) {
                const auto it = t.names.find(row[c]);
                html += open + domain_link(row[c]) +
                        (it == t.names.end()
                             ? std::string()
                             : "<br><small>" + escaped(it->second.first) +
                                   (it->second.second.empty() ? "" : ": " + escaped(it->second.second)) + "</small>") +
                        "</td>";
            } else {
                html += open + escaped(row[c]) + "</td>";
            }
        }
        html += "</tr>\n";
    }
    return html + "</tbody></table>\n";
}

}  // namespace ddinfer
