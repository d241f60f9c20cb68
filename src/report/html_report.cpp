#include "report/html_report.h"
#include "report/report_charts.h"
#include "report/report_page.h"
#include "report/report_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <sstream>
#include <unordered_set>

#include "evidence/association.h"
#include "core/atomic_file.h"
#include "cli/cli.h"
#include "cli/interrupt.h"
#include "core/dint.h"
#include "core/error.h"
#include "core/lines.h"
#include "evidence/evaluate.h"
#include "core/input_file.h"
#include "evidence/rank.h"
#include "core/readers.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-report [--rank RANK_TSV] [--robust ROBUST_TSV] [--null NULL_TSV] [--gold GOLD] [--names NAMES]... "
    "[--top N] [--title NAME] [-o FILE] [--outdir DIR] [-q] PAIRS DOMAINS\n";
const char* const help_text =
    "  Writes PAIRS.report.html: one self-contained page (no network needed to\n"
    "  open it) with the inputs and their check, the settings the tables\n"
    "  record, charts of the evidence and, with a gold list, precision and\n"
    "  recall down the ranking, and the top pairs in a table that sorts and\n"
    "  filters; a click on a row shows the protein pairs its domain pair can\n"
    "  explain (the text and tables read without JavaScript too).\n"
    "  --rank FILE     the table of ddinfer-rank or ddinfer-pool (else: the\n"
    "                  association alone)\n"
    "  --robust FILE   the table of ddinfer-robust: a histogram of freq\n"
    "  --null FILE     the table of ddinfer-null: a histogram of p values\n"
    "  --gold FILE     known domain pairs: precision and recall down the ranking\n"
    "  --names FILE    domain or protein names: ID<TAB>NAME[<TAB>DESCRIPTION] a\n"
    "                  line (repeatable)\n"
    "  --top N         pairs in the table, default 200\n"
    "  --title NAME    the data set's name in the title (default: the name of\n"
    "                  the folder that holds PAIRS); the ratio follows it\n"
    "  -o FILE, --outdir DIR   where to write the page\n"
    "  -q, --quiet     only warnings and errors on standard error\n"
    "  -h, --help, -V, --version\n"
    "  Example:\n"
    "    ddinfer-report --rank pairs.txt.rank.tsv --gold gold.tsv pairs.txt domains.txt\n"
    "  Exit status: 0 done, 1 bad input or a page that cannot be written, 2 a\n"
    "  mistake in the call.\n";

}  // namespace

int report_main(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const CommandLine command{"ddinfer-report",
                              usage_line,
                              help_text,
                              {{"rank", true},
                               {"robust", true},
                               {"null", true},
                               {"gold", true},
                               {"names", true, 0, true},
                               {"top", true},
                               {"title", true},
                               {"output", true, 'o'},
                               {"outdir", true}},
                              2};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    std::string path;
    long top = 200;
    try {
        top = args.get_long("top", 200, 1, 100000);
        path = args.has("output") ? args.get("output", "") : output_stem(args, args.positional[0]) + ".report.html";
        refuse_output_over_input({path}, given_values(args, args.positional, {"rank", "robust", "null", "gold", "names"}));
    } catch (const UsageError& e) {
        err << "ddinfer-report: " << e.what() << "; " << usage_line;
        return 2;
    }
    try {
        InterruptGuard interrupts("ddinfer-report");
        protdom network;
        inter_table pint, dint;
        std::ostringstream counts, checks;
        readdata(network, pint, args.positional[0], args.positional[1], Streams{counts, checks}, true);
        construct_dint(network, pint, dint, counts);
        InfoStream info(err, args.has("quiet"));
        info << checks.str() << std::flush;
        const NamePairs candidates = candidate_names(network, dint);
        const Association assoc = count_association(network, pint, dint);

        long carriers = 0;
        for (const node& protein : network.prot) carriers += protein.n > 0;
        // Details, at the foot of the page: the inputs and their check.
        std::string details = "<h2>Inputs</h2>\n<dl>";
        const auto item = [&](const std::string& term, const std::string& value) {
            details += "<dt>" + escaped(term) + "</dt><dd>" + escaped(value) + "</dd>";
        };
        item("interaction list", args.positional[0] + ": " + std::to_string(pint.n) + " protein pairs, " +
                                     std::to_string(network.nprot) + " proteins");
        item("domain file", args.positional[1] + ": " + std::to_string(network.ndom) + " domains with a member");
        item("proteins with a domain", std::to_string(carriers) + " of " + std::to_string(network.nprot));
        item("modelled protein pairs", std::to_string(assoc.modelled) + " (distinct, both proteins with a domain)");
        item("candidate domain pairs", std::to_string(dint.n));
        std::istringstream check_lines(checks.str());
        for (std::string line; std::getline(check_lines, line);) item("input check", line);
        details += "</dl>\n";

        // Gold pairs first: the ranking is judged as it is read.
        NamePairs gold;
        std::size_t relevant = 0, relevant_hetero = 0, hetero_candidates = 0;
        const std::string gold_path = args.get("gold", "");
        const std::string gold_name = std::filesystem::path(gold_path).filename().string();
        if (args.has("gold")) gold = read_gold(*open_input(gold_path), gold_path);
        for (int r = 0; r < dint.n; ++r) {
            const std::string& a = network.dom[dint.list[r].a].name;
            const std::string& b = network.dom[dint.list[r].b].name;
            const bool in = args.has("gold") && gold.contains(a, b);
            relevant += in;
            relevant_hetero += in && a != b;
            hetero_candidates += a != b;
        }
        if (args.has("gold") && relevant == 0) {
            throw Error(no_gold_candidate(gold_path, gold, args.positional[0], args.positional[1],
                                          candidates.example()));
        }
        // The ranking: the rank table's order, or the association alone;
        // of every pair whether the gold list holds it and whether it is
        // heterotypic, of the first `top` every column.
        std::vector<char> in_gold, hetero;
        const auto judge = [&](const std::string& a, const std::string& b) {
            in_gold.push_back(gold.contains(a, b));
            hetero.push_back(a != b);
        };
        TopTable table;
        std::vector<double> scores, p_gold, freq_ranked;
        std::vector<std::string> settings, summary;
        std::string calibrated_on;  // the gold list p_gold was fitted on
        std::vector<std::string> network_calls;  // of a pooled table's networks: they tell the ratio
        summary.push_back("Inputs: " + thousands(pint.n) + " protein pairs of " + thousands(network.nprot) +
                          " proteins (" + args.positional[0] + "), " + thousands(carriers) + " of them with a domain of " +
                          args.positional[1] + "; " + thousands(dint.n) + " candidate domain pairs.");
        if (args.has("rank")) {
            const std::string rank_path = args.get("rank", "");
            ReadTable rank = read_columns(info, rank_path, candidates, {"score", "p_gold", "freq"}, static_cast<std::size_t>(top),
                                          [&](const std::vector<std::string>& row) { judge(row[0], row[1]); }, 1);
            settings.push_back(rank.head.provenance);
            const std::vector<std::string> networks =
                pooled_networks(rank.head.provenance, args.has("gold") ? &gold : nullptr, gold_name, network_calls);
            const std::string by = words_of(rank.head.provenance).empty() ? "" : words_of(rank.head.provenance)[0];
            summary.push_back("Ranking: " + rank_path +
                              (networks.empty() ? by.empty() ? "." : ", by " + by + " (its call under Settings)."
                                                : ", pooled by " + by + " from " + std::to_string(networks.size()) +
                                                      " networks (its call under Settings):"));
            summary.insert(summary.end(), networks.begin(), networks.end());
            calibrated_on = option_in(rank.head.provenance, "--calibrate");
            if (rank.head.passed_over > 0) {
                settings.push_back(std::to_string(rank.head.passed_over) +
                                   " pairs of the pooled table are no candidates of these inputs: not shown");
            }
            table.header = rank.head.header;
            table.rows = std::move(rank.top);
            scores = std::move(rank.numbers[0]);
            p_gold = std::move(rank.numbers[1]);
            freq_ranked = std::move(rank.numbers[2]);
            // The classes of the rank table, beside it.
            const std::size_t suffix = rank_path.rfind(".rank.tsv");
            const std::string classes_path =
                suffix != std::string::npos && suffix + 9 == rank_path.size() ? rank_path.substr(0, suffix) + ".classes.tsv" : "";
            if (!classes_path.empty() && std::filesystem::is_regular_file(classes_path)) {
                table.class_of = read_classes(classes_path);
                settings.push_back("classes of candidates no solution tells apart: " + classes_path);
            }
        } else {
            RankOptions association_alone;
            association_alone.network_only = true;
            const RankedTable ranked = rank_candidates(dint, assoc, {}, association_alone);
            table.header = {"domain_a", "domain_b", "support", "expected", "log10_p_dc", "score"};
            for (int r : ranked.order) {
                const inter& pair = dint.list[r];
                judge(network.dom[pair.a].name, network.dom[pair.b].name);
                scores.push_back(ranked.score[r]);
                if (table.rows.size() >= static_cast<std::size_t>(top)) continue;
                table.rows.push_back({network.dom[pair.a].name, network.dom[pair.b].name,
                                      std::to_string(assoc.support[r]), number(assoc.expected[r]),
                                      number(ranked.log_p_dc[r] / std::log(10.0)), number(ranked.score[r])});
            }
            settings.push_back("no rank table given: ranked by the degree-corrected association alone");
            summary.push_back("Ranked by the degree-corrected association alone (no rank table given).");
        }
        if (!p_gold.empty()) {
            const std::string list = calibrated_on.empty() ? "the gold list it was fitted on" : calibrated_on;
            summary.push_back("p_gold, the estimated chance that a pair is in " + list +
                              " (a lower bound on the chance that its domains interact, the list being incomplete): " +
                              counts_at(p_gold, {0.5, 0.2, 0.1}, false) + " of " +
                              thousands(static_cast<long>(p_gold.size())) +
                              " pairs. It is fitted apart for homotypic and heterotypic pairs, each pair on the other "
                              "half of the domains, so it need not fall monotonically down the ranking.");
        }
        if (!freq_ranked.empty()) {
            summary.push_back("freq, the share of optimal solutions that infer a pair: " +
                              counts_at(freq_ranked, {1.0, 0.5}, true) + ".");
        }

        std::string charts;
        if (args.has("robust")) {
            const ReadTable robust = read_columns(info, args.get("robust", ""), candidates, {"classic", "freq"}, 0);
            settings.push_back(robust.head.provenance);
            const std::vector<double>&freq = robust.numbers[1], &values = robust.numbers[0];
            const long classic = std::count_if(values.begin(), values.end(), [](double v) { return v >= 0.5; });
            charts += histogram("freq-chart", "How often each pair is inferred across the sampled optima (freq)",
                                freq, 0, 1.0000001, 20, "freq");
            settings.push_back("classic list: " + std::to_string(classic) + " pairs; pairs inferred in any run: " +
                               std::to_string(freq.size()));
            const std::string runs = option_in(robust.head.provenance, "--runs");
            summary.push_back("Optimal solutions sampled: " + (runs.empty() ? std::string("some") : runs) + " (" +
                              args.get("robust", "") + "): " + thousands(classic) + " pairs in the classic solution, " +
                              thousands(static_cast<long>(freq.size())) + " in any of them.");
        }
        if (!scores.empty()) {
            const auto [low, high] = std::minmax_element(scores.begin(), scores.end());
            charts += histogram("score-chart", "The score of every candidate pair", scores, *low, *high + 1e-9, 30,
                                "score (higher is better)");
        }
        if (args.has("null")) {
            const ReadTable null = read_columns(info, args.get("null", ""), candidates, {"p_value", "runs"}, 0);
            settings.push_back(null.head.provenance);
            const std::vector<double>&p = null.numbers[0], &runs = null.numbers[1];
            const double smallest = runs.empty() ? 1.0 : 1.0 / (runs.front() + 1);
            // The table prints p to 6 significant digits.
            const long at_smallest = std::count_if(p.begin(), p.end(), [&](double v) { return v <= smallest * 1.00001; });
            charts += histogram("null-chart",
                                "p values against the randomised networks (" + std::to_string(at_smallest) +
                                    " tied at the smallest possible, 1/(runs+1) = " + number(smallest) + ")",
                                p, 0, 1.0000001, 20, "p value");
            if (!p.empty() && at_smallest * 2 > static_cast<long>(p.size())) {
                charts += "<p class=\"note\" id=\"null-note\">" + std::to_string(at_smallest) + " of " +
                          std::to_string(p.size()) + " tested pairs sit at the smallest p that " +
                          number(runs.front()) + " runs allow (" + number(smallest) +
                          "): no randomised network reached them, so the runs cannot order them. More --runs "
                          "would tell them apart.</p>\n";
            }
            const std::string model = option_in(null.head.provenance, "--model");
            summary.push_back("Randomised networks: " + option_in(null.head.provenance, "--runs") +
                              (model.empty() ? "" : " of model " + model) + " (" + args.get("null", "") + "): " +
                              thousands(at_smallest) + " of " +
                              thousands(static_cast<long>(p.size())) + " tested pairs at the smallest p, " +
                              number(smallest) + ".");
        }
        std::string cutoffs;
        if (args.has("gold")) {
            const Curves c = curves(in_gold, hetero, relevant, relevant_hetero);
            const double base_all = dint.n > 0 ? static_cast<double>(relevant) / dint.n : 0;
            const double base_hetero =
                hetero_candidates > 0 ? static_cast<double>(relevant_hetero) / static_cast<double>(hetero_candidates) : 0;
            charts += line_chart("precision-chart", "Precision down the ranking against " + gold_path, c, 0,
                                 static_cast<double>(in_gold.size()), {base_all, base_hetero});
            charts += line_chart("recall-chart", "Recall down the ranking against " + gold_path, c, 1,
                                 static_cast<double>(in_gold.size()));
            cutoffs = "<h3>Precision at the top</h3>\n" + c.cutoffs;
            const std::size_t head = std::min<std::size_t>(100, in_gold.size());
            const long known_at_top = std::count(in_gold.begin(), in_gold.begin() + static_cast<long>(head), 1);
            summary.push_back("Pairs in " + gold_name + ": " + thousands(static_cast<long>(relevant)) +
                              " among the candidates, a base rate of " + number(100.0 * base_all, "%.2f") + "%; " +
                              thousands(known_at_top) + " of the top " + std::to_string(head) + ".");
            table.gold = &gold;
            table.gold_name = gold_name;
        }

        // Names of the domains and proteins these inputs have, and no
        // others: a names file of a whole database is far larger than one
        // network needs.
        std::unordered_set<std::string_view> domain_ids, protein_ids;
        for (const node& domain : network.dom) domain_ids.insert(domain.name);
        for (const node& protein : network.prot) protein_ids.insert(protein.name);
        for (const std::string& names_path : args.all("names")) {
            const auto in = open_input(names_path);
            std::string line;
            for (long line_no = 1; getline_bounded(*in, line, names_path, line_no); ++line_no) {
                const std::vector<std::string_view> f = tab_fields(line);
                if (f.size() < 2) continue;
                if (domain_ids.count(f[0])) {
                    table.names[std::string(f[0])] = {std::string(f[1]), f.size() >= 3 ? std::string(f[2]) : ""};
                } else if (protein_ids.count(f[0])) {
                    table.protein_names[std::string(f[0])] = std::string(f[1]);
                }
            }
            if (in->bad()) throw Error(read_failure(names_path, *in));
        }

        // Top down: what this is, the pairs, the charts, the details.
        settings.insert(settings.end(), network_calls.begin(), network_calls.end());
        const std::string title = report_title(args.get("title", ""), args.positional[0], settings);
        std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>ddinfer report: " +
                           escaped(title) + "</title><style>" + page_style + "</style></head><body>\n";
        html += "<h1>ddinfer report: " + escaped(title) + "</h1>\n<section id=\"summary\"><ul>";
        for (const std::string& line : summary) html += "<li>" + escaped(line) + "</li>";
        html += "</ul></section>\n";
        const std::size_t shown = std::min(table.rows.size(), static_cast<std::size_t>(top));
        table.rows.resize(shown);
        add_protein_pairs(table, network, pint, dint);
        html += "<h2>The top " + std::to_string(shown) + " pairs</h2>\n<input id=\"filter\" type=\"search\" "
                "placeholder=\"filter rows\">\n" + top_table_html(table);
        html += "<h2>Charts</h2>\n" + charts + cutoffs + details;
        html += "<h2>Settings</h2>\n<ul>";
        for (const std::string& s : settings) {
            if (!s.empty()) html += "<li><code>" + escaped(s) + "</code></li>";
        }
        html += "</ul>\n<script>" + std::string(page_script) + "</script>\n</body></html>\n";
        write_whole(path, html);
        info << "ddinfer-report: wrote " << path << " (" << html.size() / 1024 << " KB)\n";
    } catch (const Error& e) {
        err << "ddinfer-report: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
