// The ddinfer-pool command: reads the tables, pools them and writes one
// ranked table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <tuple>
#include <ostream>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "core/atomic_file.h"
#include "core/error.h"
#include "core/readers.h"
#include "core/text_out.h"
#include "evidence/calibrate.h"
#include "evidence/evaluate.h"
#include "evidence/pool.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-pool -o FILE [--only TABLE] [--map MAP [--max-fan-out N]] [--calibrate GOLD] [--same-network] [-q] "
    "TABLE TABLE...\n";
const char* const help_text =
    "  Pools the ranked tables of ddinfer-rank of several networks (sources,\n"
    "  species) into one ranking, best first. Each network scores a pair by its\n"
    "  normalised rank there, ln(n / rank), n the network's candidates and\n"
    "  equal scores at their mid-rank; the pooled score is the sum over the\n"
    "  networks, and a network where the pair is no candidate adds 0.\n"
    "  Columns: domain_a, domain_b, n_networks, score, then for each network\n"
    "  (named by its table) its support, freq or lp_value, p_dc,\n"
    "  shared_proteins, partner_cosine and score; empty where the pair is no\n"
    "  candidate there (partner_cosine also for a table of an earlier version).\n"
    "  -o FILE           the pooled table (- for standard output)\n"
    "  --only TABLE      rank exactly the candidates of TABLE, one of the tables\n"
    "  --map MAP         two ids a line: an id of one system and one of another\n"
    "                    (an InterPro entry and a Pfam family it integrates, as\n"
    "                    ddinfer-prep map writes); tables mostly of the first\n"
    "                    system are translated before pooling\n"
    "  --max-fan-out N   the pairs one row may stand for once translated,\n"
    "                    default 100\n"
    "  --calibrate GOLD  add p_gold: the estimated chance that the pair is in\n"
    "                    GOLD, never fitted on the pair's own label\n"
    "  --same-network    pool tables of one network all the same (two ratios,\n"
    "                    say); refused by default, since it would count twice\n"
    "  -q, --quiet       only warnings and errors on standard error\n"
    "  -h, --help, -V, --version\n"
    "  Tables that share no domain id are refused: most often their ids are of\n"
    "  two systems (give --map).\n"
    "  Example:\n"
    "    ddinfer-pool --only human/pairs.txt.rank.tsv -o pooled.tsv other/pairs.txt.rank.tsv "
    "human/pairs.txt.rank.tsv\n"
    "  Exit status: 0 done, 1 bad input or a file that cannot be written, 2 a\n"
    "  mistake in the call.\n";

// 10 to the power x, also where a double would underflow (p values of
// hubs reach 1e-1000): the mantissa and exponent written out.
std::string power_of_ten(double x) {
    if (x >= -300) return format_g(std::pow(10.0, x));
    const double exponent = std::floor(x);
    double mantissa = std::pow(10.0, x - exponent);
    char text[48];
    std::snprintf(text, sizeof text, "%.6ge%.0f", mantissa, exponent);
    return text;
}

// Two tables of one network (the same candidates with the same support,
// whatever the programme's evidence): a table given twice, a copy, or one
// network at two ratios or evidences. Pooled, that network would count
// twice. Throws Error naming both.
void refuse_one_network_twice(const std::vector<PoolTable>& tables) {
    std::vector<std::vector<std::tuple<int, int, std::int64_t>>> rows(tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        for (const PoolTable::Row& row : tables[t].rows) rows[t].emplace_back(row.a, row.b, row.support);
        std::sort(rows[t].begin(), rows[t].end());
        for (std::size_t u = 0; u < t; ++u) {
            if (!rows[u].empty() && rows[u] == rows[t]) {
                throw Error(tables[u].path + " and " + tables[t].path +
                            " rank one network (the same candidates with the same support): a table given twice, or "
                            "one network at two settings, which would count twice; give --same-network to pool them "
                            "all the same");
            }
        }
    }
}

bool write_pooled(std::FILE* file, const std::string& first_line, const std::vector<PoolTable>& tables,
                  const DomainIds& ids, const Pooled& pooled, const std::vector<double>& p_gold) {
    TextOut out(file);
    out << first_line << "domain_a\tdomain_b\tn_networks\tscore";
    for (const PoolTable& table : tables) {
        for (const std::string column :
             {"support", table.evidence.c_str(), "p_dc", "shared_proteins", "partner_cosine", "score"}) {
            out << '\t' << table.name << ':' << column;
        }
    }
    out << (p_gold.empty() ? "" : "\tp_gold") << '\n';
    out.count_rows();
    for (std::size_t i = 0; i < pooled.order.size(); ++i) {
        const auto u = static_cast<std::size_t>(pooled.order[i]);
        out << ids.name(pooled.pairs[u].first) << '\t' << ids.name(pooled.pairs[u].second) << '\t'
            << static_cast<long long>(pooled.networks[u]) << '\t' << format_g(pooled.score[u]);
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const int r = pooled.row[t][u];
            if (r < 0) {
                out << "\t\t\t\t\t\t";
                continue;
            }
            const PoolTable::Row& row = tables[t].rows[static_cast<std::size_t>(r)];
            out << '\t' << static_cast<long long>(row.support) << '\t'
                << (row.has_evidence ? format_g(row.evidence) : std::string()) << '\t'
                << power_of_ten(row.log10_p_dc) << '\t' << static_cast<long long>(row.shared) << '\t'
                << (row.partner_cosine < 0 ? std::string() : format_g(row.partner_cosine)) << '\t'
                << format_g(pooled.network_score[pooled.offset[t] + static_cast<std::size_t>(r)]);
        }
        if (!p_gold.empty()) out << '\t' << (std::isnan(p_gold[i]) ? std::string() : format_g(p_gold[i]));
        out << '\n';
    }
    out.end_table();
    return out.flush();
}

}  // namespace

int pool_main(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const CommandLine command{"ddinfer-pool",
                              usage_line,
                              help_text,
                              {{"output", true, 'o'},
                               {"only", true},
                               {"map", true},
                               {"calibrate", true},
                               {"same-network", false},
                               {"max-fan-out", true}},
                              2,
                              true};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    int only = -1;
    long max_fan_out = 100;
    try {
        max_fan_out = args.get_long("max-fan-out", 100, 1, 1000000);
        if (!args.has("output")) throw UsageError("-o FILE is needed");
        for (std::size_t t = 0; t < args.positional.size(); ++t) {
            const std::string& path = args.positional[t];
            for (std::size_t u = 0; u < t; ++u) {
                if (args.positional[u] == path || same_file(args.positional[u], path)) {
                    throw UsageError(path + " is given twice" +
                                     (args.positional[u] == path ? "" : " (as " + args.positional[u] + ")"));
                }
            }
            if (args.has("only") && args.get("only", "") == path) only = static_cast<int>(t);
        }
        if (args.has("only") && only < 0) {
            throw UsageError("--only " + args.get("only", "") + " is none of the tables");
        }
        refuse_output_over_input({args.get("output", "")}, given_values(args, args.positional, {"map", "calibrate"}));
    } catch (const UsageError& e) {
        err << "ddinfer-pool: " << e.what() << "; " << usage_line;
        return 2;
    }
    const bool quiet = args.has("quiet");
    std::vector<std::string> call;
    for (const char* option : {"only", "map", "max-fan-out", "calibrate"}) {
        if (args.has(option)) call.insert(call.end(), {std::string("--") + option, args.get(option, "")});
    }
    if (args.has("same-network")) call.push_back("--same-network");
    call.insert(call.end(), args.positional.begin(), args.positional.end());
    try {
        InterruptGuard interrupts("ddinfer-pool");
        DomainMap map;
        if (args.has("map")) map = read_domain_map(*open_input(args.get("map", "")), args.get("map", ""));
        map.max_fan_out = static_cast<std::size_t>(max_fan_out);
        DomainIds ids;
        std::vector<PoolTable> tables;
        for (const std::string& path : args.positional) {
            tables.push_back(read_pool_table(*open_input(path), path, ids, args.has("map") ? &map : nullptr));
            const PoolTable& table = tables.back();
            if (table.unchecked) err << "ddinfer-pool: " << unchecked_warning(path);
            if (!quiet && table.translated > 0) {
                err << table.path << ": " << table.translated << " domain ids translated by " << args.get("map", "")
                    << (table.collapsed > 0 ? ", " + std::to_string(table.collapsed) +
                                                  " pairs that another row stood for already passed over"
                                            : std::string())
                    << "\n";
            }
        }
        if (!args.has("same-network")) refuse_one_network_twice(tables);
        const Pooled pooled = pool_tables(tables, ids, only);
        std::vector<double> p_gold;
        if (args.has("calibrate")) {
            const std::string gold_path = args.get("calibrate", "");
            std::vector<std::pair<int, int>> pairs;
            std::vector<double> score;
            for (const int u : pooled.order) {
                pairs.push_back(pooled.pairs[static_cast<std::size_t>(u)]);
                score.push_back(pooled.score[static_cast<std::size_t>(u)]);
            }
            const NamePairs gold = read_gold(*open_input(gold_path), gold_path);
            // Fitted on no gold pair at all, every p_gold would read 0.
            bool any = false;
            for (std::size_t i = 0; i < pairs.size() && !any; ++i) {
                any = gold.contains(ids.name(pairs[i].first), ids.name(pairs[i].second));
            }
            if (!any) {
                throw Error("no pair of " + gold_path + " is a pair of the pooled tables (" + gold_path + " has \"" +
                            quoted_input(gold.example()) + "\", the tables such as \"" +
                            (pairs.empty() ? std::string()
                                           : quoted_input(ids.name(pairs[0].first) + "-" + ids.name(pairs[0].second))) +
                            "\"); are the domain ids of one kind?");
            }
            Calibration calibration = calibrate(ids.names(), pairs, score, gold);
            p_gold = std::move(calibration.p_gold);
            if (!quiet) err << calibration.reliability;
        }
        const std::string path = args.get("output", "");
        AtomicFile file(path);
        file.commit(write_pooled(file.file(), provenance("ddinfer-pool", call), tables, ids, pooled, p_gold));
        if (!quiet) {
            long long in_several = 0;
            for (const int u : pooled.order) in_several += pooled.networks[static_cast<std::size_t>(u)] > 1;
            err << "wrote " << path << ": " << pooled.order.size() << " pairs, " << in_several
                << " of them candidates in more than one of the " << tables.size() << " networks\n";
        }
    } catch (const Error& e) {
        err << "ddinfer-pool: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
