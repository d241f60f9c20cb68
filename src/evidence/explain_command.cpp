// The ddinfer-explain command: reads the network, the ranking and the
// classic solution, and writes the candidates of each protein pair (or the
// protein pairs behind each domain pair asked for).
#include <cmath>
#include <limits>
#include <ostream>
#include <sstream>
#include <unordered_map>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "core/atomic_file.h"
#include "core/dint.h"
#include "core/error.h"
#include "core/input_file.h"
#include "core/lines.h"
#include "core/readers.h"
#include "core/text_out.h"
#include "evidence/association.h"
#include "evidence/calibrate.h"
#include "evidence/evaluate.h"
#include "evidence/explain.h"
#include "evidence/rank.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-explain [--rank RANK_TSV] [--dint DINT] [--gold GOLD] [--top K] [--protein ID]... "
    "[--proteins FILE] [--domain-pair A B]... [--names NAMES]... [-o FILE|-] [--outdir DIR] [-q] PAIRS DOMAINS\n";
const char* const help_text =
    "  Through which domains does each interacting protein pair interact?\n"
    "  Writes PAIRS.explain.tsv: for every protein pair of PAIRS (each pair once,\n"
    "  as its first line gives it), its candidate domain pairs best first by the\n"
    "  ranking, at most K a pair; domain_a is carried by protein_a. Columns:\n"
    "  protein_a, protein_b, name_a, name_b (with --names), candidates (how many\n"
    "  the pair has), place (1 = best), domain_a, domain_b, rank (in the\n"
    "  ranking), p_gold and freq (where the table has them), known (with\n"
    "  --gold), chosen (1: the classic solution infers the domain pair) and a\n"
    "  note: a pair without candidates, a pair no chosen candidate explains\n"
    "  (left to the error budget), or one whose chosen candidate is below\n"
    "  the rows shown.\n"
    "  --rank FILE      a table of ddinfer-rank or ddinfer-pool for these inputs\n"
    "                   (default: ranked here as ddinfer-rank does, with --dint)\n"
    "  --dint FILE      the classic inferred list of ddinfer: the chosen column\n"
    "                   (default: the rank table's lp_value of 0.5 or more)\n"
    "  --gold FILE      known domain pairs: the known column (and p_gold when\n"
    "                   ranked here)\n"
    "  --top K          candidates shown a protein pair, default 3\n"
    "  --protein ID     only the pairs with this protein (repeatable)\n"
    "  --proteins FILE  only the pairs with a protein of FILE (one id a line)\n"
    "  --domain-pair A B  instead: every protein pair that domains A and B can\n"
    "                   explain (protein_a carries A), the pairs they alone\n"
    "                   explain first, with the pair's best other candidate\n"
    "                   (repeatable)\n"
    "  --names FILE     protein names, ID<TAB>NAME a line, as ddinfer-prep names\n"
    "                   --format uniprot writes them (repeatable)\n"
    "  -o FILE          where to write the table (- for standard output)\n"
    "  --outdir DIR     write PAIRS.explain.tsv in DIR\n"
    "  -q, --quiet      only warnings and errors on standard error\n"
    "  -h, --help, -V, --version\n"
    "  Examples:\n"
    "    ddinfer-explain --rank pairs.txt.rank.tsv --dint pairs.txt.0.100000.dint pairs.txt domains.txt\n"
    "    ddinfer-explain --rank pairs.txt.rank.tsv --protein P04637 -o - pairs.txt domains.txt\n"
    "    ddinfer-explain --rank pairs.txt.rank.tsv --domain-pair PF00017 PF07714 -o - pairs.txt domains.txt\n"
    "  Exit status: 0 done, 1 bad input or a file that cannot be written, 2 a\n"
    "  mistake in the call.\n";

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The rank, p_gold, freq and lp_value columns of a ranked table, by record.
// The rank is the table's rank column, or the row's place among the pairs
// of these inputs (a pooled table has no such column). Every row is
// checked (its fields, its line end, a candidate of these inputs unless
// the table is pooled); the numbers are read only where `needed` says so
// (all when it is empty), since a query needs a few rows of a proteome's
// table. True for a table of an earlier version, read unchecked.
bool read_rank_evidence(const std::string& path, const CandidateRecords& records, const std::vector<char>& needed,
                        CandidateEvidence& evidence, std::vector<double>& lp_value) {
    InputFile in(path);
    Lines lines(in, path);
    std::string_view line;
    bool ended = false, pooled = false, end_required = false, ours = false;
    while (lines.next(line, &ended) && !line.empty() && line[0] == '#') {
        if (lines.number() != 1) continue;
        pooled = line.rfind("# ddinfer-pool ", 0) == 0;
        ours = line.rfind("# ddinfer", 0) == 0;
        end_required = table_has_end(line.substr(2));
    }
    const std::vector<std::string_view> header = tab_fields(line);
    if (lines.number() == 0 || header.size() < 2 || header[0] != "domain_a" || header[1] != "domain_b") {
        throw input_error(path, std::max(1L, lines.number()), "expected a header line beginning domain_a<TAB>domain_b");
    }
    auto column = [&](std::string_view name) {
        for (std::size_t c = 0; c < header.size(); ++c) {
            if (header[c] == name) return static_cast<int>(c);
        }
        return -1;
    };
    // A table of ddinfer-robust calls the classic value "classic".
    const int rank_at = column("rank"), p_gold_at = column("p_gold"), freq_at = column("freq"),
              lp_at = column("lp_value") >= 0 ? column("lp_value") : column("classic");
    const std::string lp_name = lp_at < 0 ? "" : std::string(header[lp_at]);  // the views end with the line
    evidence.has_p_gold = p_gold_at >= 0;
    evidence.has_freq = freq_at >= 0;
    const std::size_t width = header.size();
    long place = 0;
    std::string a, b;
    std::vector<std::string_view> fields;
    TableEnd end;
    while (lines.next(line, &ended)) {
        const long line_no = lines.number();
        if (!ended) throw input_error(path, line_no, "the line has no line end: the table was cut short");
        if (end.comment(line)) continue;
        if (end.take(line, path, line_no)) continue;
        fields = tab_fields(line);
        if (fields.size() != width) {
            throw input_error(path, line_no, "expected " + std::to_string(width) + " tab-separated fields, found " +
                                                 std::to_string(fields.size()));
        }
        a.assign(fields[0]);
        b.assign(fields[1]);
        const int first = records.find(a, b);
        if (first < 0) {
            if (pooled) continue;
            throw input_error(path, line_no, "\"" + quoted_input(a) + "\" with \"" + quoted_input(b) +
                                                 "\" is no candidate pair of these inputs");
        }
        ++place;
        if (!needed.empty() && !needed[first]) continue;
        auto read = [&](int at, const char* name, double fallback) {
            if (at < 0 || fields[at].empty()) return fallback;
            double value = 0;
            if (!number_field(std::string(fields[at]), value)) {
                throw input_error(path, line_no, std::string("expected a number in the column ") + name +
                                                     ", found \"" + quoted_input(fields[at], 40) + "\"");
            }
            return value;
        };
        const double rank = read(rank_at, "rank", static_cast<double>(place));
        const double p_gold = read(p_gold_at, "p_gold", nan), freq = read(freq_at, "freq", nan);
        const double lp = read(lp_at, lp_name.c_str(), nan);
        records.each(a, b, [&](int r) {
            // A pair listed twice keeps its first, better place.
            if (!std::isinf(evidence.rank[r])) return;
            evidence.rank[r] = rank;
            evidence.p_gold[r] = p_gold;
            evidence.freq[r] = freq;
            lp_value[r] = lp;
        });
    }
    if (lines.bad()) throw Error(read_failure(path, in));
    end.finish(end_required, path);
    return !end.ended() && ours;
}

// Protein ids asked for, from --protein and --proteins; an id that names
// no protein of PAIRS is reported.
std::vector<char> asked_proteins(const ParsedArgs& args, const protdom& network, std::ostream& info) {
    std::vector<std::string> ids = args.all("protein");
    if (args.has("proteins")) {
        const std::string path = args.get("proteins", "");
        const auto in = open_input(path);
        std::string line;
        for (long line_no = 1; getline_bounded(*in, line, path, line_no); ++line_no) {
            std::istringstream words(line);
            std::string id;
            if (words >> id && id[0] != '#') ids.push_back(id);
        }
        if (in->bad()) throw Error(read_failure(path, *in));
        if (ids.empty()) throw Error(path + ": no protein id in the file");
    }
    if (ids.empty()) return {};
    std::unordered_map<std::string, int> index;
    for (int p = 0; p < network.nprot; ++p) index.emplace(network.prot[p].name, p);
    std::vector<char> wanted(static_cast<std::size_t>(network.nprot), 0);
    std::size_t found = 0;
    for (const std::string& id : ids) {
        const auto it = index.find(id);
        if (it == index.end()) {
            info << "warning: no interacting protein pair of the input names \"" << quoted_input(id, 60) << "\"\n";
            continue;
        }
        found += !wanted[it->second];
        wanted[it->second] = 1;
    }
    if (found == 0) throw Error("none of the proteins asked for is in an interacting pair of " + args.positional[0]);
    return wanted;
}

// The records whose evidence a query needs: the candidates of its protein
// pairs; empty (all) for the whole table.
std::vector<char> needed_records(const protdom& network, const inter_table& pint, const inter_table& dint,
                                 const std::vector<int>& pairs, const std::vector<int>& asked) {
    if (asked.empty() && pairs.size() == static_cast<std::size_t>(pint.n)) return {};
    std::vector<char> needed(static_cast<std::size_t>(dint.n), 0);
    CandidateWalker walker(network, dint);
    for (const int k : pairs) {
        for (const PairCandidate& c : walker.of(pint.list[k])) needed[c.record] = 1;
    }
    return needed;
}

ProteinNames read_protein_names(const std::vector<std::string>& paths, const protdom& network) {
    std::unordered_map<std::string_view, int> proteins;
    for (const node& protein : network.prot) proteins.emplace(protein.name, 0);
    ProteinNames names;
    for (const std::string& path : paths) {
        const auto in = open_input(path);
        std::string line;
        for (long line_no = 1; getline_bounded(*in, line, path, line_no); ++line_no) {
            const std::vector<std::string_view> f = tab_fields(line);
            if (f.size() >= 2 && proteins.count(f[0])) names.emplace(std::string(f[0]), std::string(f[1]));
        }
        if (in->bad()) throw Error(read_failure(path, *in));
    }
    return names;
}

}  // namespace

int explain_main(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const CommandLine command{"ddinfer-explain",
                              usage_line,
                              help_text,
                              {{"rank", true},
                               {"dint", true},
                               {"gold", true},
                               {"top", true},
                               {"protein", true, 0, true},
                               {"proteins", true},
                               {"domain-pair", true, 0, true, 2},
                               {"names", true, 0, true},
                               {"output", true, 'o'},
                               {"outdir", true}},
                              2};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    const std::string& pairs_path = args.positional[0];
    std::string path;
    ExplainOptions options;
    try {
        options.top = static_cast<std::size_t>(args.get_long("top", 3, 1, 1000000));
        path = args.has("output") ? args.get("output", "") : output_stem(args, pairs_path) + ".explain.tsv";
        refuse_output_over_input({path}, given_values(args, args.positional, {"rank", "dint", "gold", "proteins", "names"}));
    } catch (const UsageError& e) {
        err << "ddinfer-explain: " << e.what() << "; " << usage_line;
        return 2;
    }
    std::vector<std::string> call;
    for (const char* option : {"rank", "dint", "gold", "top", "proteins"}) {
        if (args.has(option)) call.insert(call.end(), {std::string("--") + option, args.get(option, "")});
    }
    for (const char* option : {"protein", "domain-pair"}) {
        for (std::string value : args.all(option)) {
            if (const auto tab = value.find('\t'); tab != std::string::npos) value[tab] = ' ';
            call.insert(call.end(), {std::string("--") + option, value});
        }
    }
    call.insert(call.end(), {pairs_path, args.positional[1]});
    try {
        InterruptGuard interrupts("ddinfer-explain");
        InfoStream info(err, args.has("quiet"));
        protdom network;
        inter_table pint, dint;
        // The count lines go with the other notes: the table may be on
        // standard output.
        readdata(network, pint, pairs_path, args.positional[1], Streams{info, info}, true);
        construct_dint(network, pint, dint, info);
        const CandidateRecords records(network, dint);
        const auto n = static_cast<std::size_t>(dint.n);

        // The domain pairs asked for, each as a record and its first domain.
        std::vector<int> asked, first;
        for (const std::string& value : args.all("domain-pair")) {
            const std::string a = value.substr(0, value.find('\t')), b = value.substr(value.find('\t') + 1);
            const int r = records.find(a, b);
            if (r < 0) {
                const std::string missing = records.domains(a) == nullptr ? a : records.domains(b) == nullptr ? b : "";
                throw Error(missing.empty() ? "\"" + quoted_input(a, 60) + "\" with \"" + quoted_input(b, 60) +
                                                  "\" is no candidate pair: no interacting protein pair joins them"
                                            : "no protein of " + pairs_path + " carries a domain \"" +
                                                  quoted_input(missing, 60) + "\" of " + args.positional[1]);
            }
            asked.push_back(r);
            first.push_back(network.dom[dint.list[r].a].name == a ? dint.list[r].a : dint.list[r].b);
        }
        const std::vector<char> wanted = asked_proteins(args, network, info);
        const std::vector<int> pairs = listed_pairs(pint, wanted);

        CandidateEvidence evidence;
        evidence.rank.assign(n, std::numeric_limits<double>::infinity());
        evidence.p_gold.assign(n, nan);
        evidence.freq.assign(n, nan);
        NamePairs gold;
        const std::string gold_path = args.get("gold", "");
        if (args.has("gold")) {
            gold = read_gold(*open_input(gold_path), gold_path);
            evidence.known.assign(n, 0);
            for (std::size_t r = 0; r < n; ++r) {
                evidence.known[r] = gold.contains(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
            }
        }
        std::vector<double> lp_value(n, nan);
        if (args.has("dint")) {
            const std::string dint_path = args.get("dint", "");
            const auto in = open_input(dint_path);
            evidence.chosen.assign(n, 0);
            for (const auto& [a, b] : read_inferred(*in, dint_path, candidate_names(network, dint))) {
                records.each(a, b, [&](int r) { evidence.chosen[r] = 1; });
            }
        }
        if (args.has("rank")) {
            if (read_rank_evidence(args.get("rank", ""), records, needed_records(network, pint, dint, pairs, asked),
                                   evidence, lp_value)) {
                info << unchecked_warning(args.get("rank", ""));
            }
            bool any_lp = false;
            for (const double v : lp_value) any_lp = any_lp || !std::isnan(v);
            if (evidence.chosen.empty() && any_lp) {
                evidence.chosen.assign(n, 0);
                for (std::size_t r = 0; r < n; ++r) evidence.chosen[r] = lp_value[r] >= 0.5;
            }
        } else {
            // Ranked here, as ddinfer-rank ranks with the same evidence.
            Association assoc = count_association(network, pint, dint);
            assoc.partner_cosine = partner_cosine(network, pint, dint);
            LpEvidence lp;
            if (!evidence.chosen.empty()) lp.lp_value.assign(evidence.chosen.begin(), evidence.chosen.end());
            const RankedTable ranked = rank_candidates(dint, assoc, lp, RankOptions{});
            for (std::size_t i = 0; i < ranked.order.size(); ++i) evidence.rank[ranked.order[i]] = static_cast<double>(i + 1);
            bool any_known = false;
            for (const signed char k : evidence.known) any_known = any_known || k != 0;
            if (args.has("gold") && !any_known) {
                info << "warning: no candidate pair is in " << gold_path << ": no p_gold\n";
            } else if (any_known) {
                evidence.p_gold = calibrate(network, dint, ranked.score, gold).p_gold;
                evidence.has_p_gold = true;
            }
        }
        const ProteinNames names = read_protein_names(args.all("names"), network);
        if (args.has("names")) options.names = &names;

        AtomicFile file(path);
        const std::string first_line = provenance("ddinfer-explain", call);
        if (!asked.empty()) {
            const auto behind = pairs_behind(network, pint, dint, pairs, asked, evidence);
            file.commit(write_behind_table(file.file(), first_line, network, pint, dint, asked, first, behind, evidence,
                                           options.names));
            for (std::size_t i = 0; i < asked.size(); ++i) {
                info << network.dom[dint.list[asked[i]].a].name << " with " << network.dom[dint.list[asked[i]].b].name
                     << ": " << behind[i].size() << " protein pairs\n";
            }
            info << "wrote " << path << "\n";
            return 0;
        }
        file.commit(write_explain_table(file.file(), first_line, network, pint, dint, pairs, evidence, options));
        info << "wrote " << path << ": " << pairs.size() << " protein pairs, at most " << options.top
             << " candidates each\n";
        if (!evidence.known.empty()) {
            const FirstKnown f = first_known(network, pint, dint, pairs, evidence);
            if (f.pairs > 0) {
                char line[300];
                std::snprintf(line, sizeof line,
                              "of %ld protein pairs with 2 or more candidates, one of them known, the first is known "
                              "in %ld (%.1f%%); a candidate picked at random would be in %.1f%%\n",
                              f.pairs, f.first_known, 100.0 * static_cast<double>(f.first_known) / static_cast<double>(f.pairs),
                              100.0 * f.random_known / static_cast<double>(f.pairs));
                info << line;
            }
        }
    } catch (const Error& e) {
        err << "ddinfer-explain: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
