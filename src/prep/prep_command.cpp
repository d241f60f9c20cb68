#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ostream>

#include "core/atomic_file.h"
#include "cli/cli.h"
#include "core/error.h"
#include "prep/format.h"
#include "core/input_file.h"
#include "cli/interrupt.h"
#include "prep/prep.h"
#include "core/readers.h"
#include "prep/text.h"

#ifndef DDINFER_VERSION
#define DDINFER_VERSION "unknown"
#endif

namespace ddinfer {
namespace {

// The formats of one kind as --format lists them: "a|b|c" or "a, b or c".
std::string format_names(const std::string& kind, const char* separator, const char* last) {
    std::vector<std::string> names;
    for (const Format& f : formats()) {
        if (f.kind == kind) names.push_back(f.name);
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? last : separator) + names[i];
    }
    return text;
}

const char* const kinds[] = {"pairs", "domains", "names", "map"};

// The usage of one kind ("pairs", ...), or of all when `kind` is none.
std::string usage_line(const std::string& kind = "") {
    const std::string tails[] = {" [options] IN... -o PAIRS\n", " [options] IN... -o DOMAINS\n", " IN... -o NAMES\n",
                                 " IN... -o MAP\n"};
    std::string text;
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        if (!kind.empty() && kind != kinds[k]) continue;
        text += std::string(text.empty() ? "usage: " : "       ") + "ddinfer-prep " + kinds[k] + " --format " +
                format_names(kinds[k], "|", "|") + tails[k];
    }
    return text;
}

// --help: the formats from the table, each with its lines; of one kind
// (ddinfer-prep pairs --help) or of all.
std::string help_text(const std::string& kind = "") {
    auto format_lines = [](const std::string& kind) {
        std::string text;
        for (const Format& f : formats()) {
            if (f.kind != kind) continue;
            const std::string option = "--format " + f.name;
            // A long name stands on a line of its own.
            if (option.size() >= 23) text += "    " + option + "\n";
            for (std::size_t i = 0; i < f.help.size(); ++i) {
                char line[200];
                std::snprintf(line, sizeof line, "    %-23s%s\n", i == 0 && option.size() < 23 ? option.c_str() : "",
                              f.help[i].c_str());
                text += line;
            }
        }
        return text;
    };
    const std::string sections[] = {
        "  pairs:\n" + format_lines("pairs") +
            "    --taxon N              (biogrid-tab3, mitab) both interactors in taxon N\n"
            "    --no-self              drop self-pairs (homodimers; kept by default)\n",
        "  domains:\n" + format_lines("domains") +
            "    --keep-versions        keep .N version suffixes of domain names\n"
            "    --proteins PAIRS       keep only proteins named in this interaction list\n",
        "  names (for --names of ddinfer-report and ddinfer-explain: ID<TAB>NAME a line):\n" + format_lines("names"),
        "  map (for ddinfer-pool --map: ID<TAB>ID of another system a line):\n" + format_lines("map")};
    const std::string examples[] = {
        "    ddinfer-prep pairs --format biogrid-tab3 --physical --taxon 9606 \\\n"
        "        BIOGRID-ORGANISM-4.4.240.tab3.zip --member BIOGRID-ORGANISM-Homo_sapiens-4.4.240.tab3.txt -o pairs.txt\n",
        "    ddinfer-prep domains --format pfam-regions --proteins pairs.txt Pfam-A.regions.uniprot.tsv.gz -o domains.txt\n",
        "    ddinfer-prep names --format pfam-clans Pfam-A.clans.tsv.gz -o names.tsv\n"
        "    ddinfer-prep names --format uniprot uniprot_export.tsv -o protein_names.tsv\n",
        "    ddinfer-prep map --format interpro protein2ipr.dat.gz -o map.tsv\n"};
    std::string chosen, example;
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        if (!kind.empty() && kind != kinds[k]) continue;
        chosen += sections[k];
        if (k < 2 || !kind.empty()) example += examples[k];
    }
    return "  Writes the interaction list or the domain file of ddinfer from downloaded\n"
           "  files (zip, gzip-compressed or plain; - is standard input), each unordered\n"
           "  pair and each membership once, and reports on standard error what was\n"
           "  read, skipped and why.\n" +
           chosen +
           "  all:\n"
           "    -o, --output FILE      the file to write (required; - is standard output)\n"
           "    --member NAME          the file to read in a zip archive of several\n"
           "    --keep-isoforms        keep -N isoform suffixes of protein names\n"
           "    -q, --quiet            no progress lines; only warnings and errors on standard error\n"
           "  -h, --help, -V, --version\n"
           "  Examples:\n" +
           example +
           "  Exit status: 0 done, 1 bad input, nothing to write or a file that cannot\n"
           "  be written, 2 a mistake in the call, 130/143 stopped by SIGINT/SIGTERM.\n";
}

// An option that only some formats read, given with another, would do
// nothing without a word: a mistake in the call.
void check_option_use(const ParsedArgs& args, const Format& chosen) {
    for (const Format& format : formats()) {
        for (const std::string& option : format.options) {
            if (!args.has(option) ||
                std::find(chosen.options.begin(), chosen.options.end(), option) != chosen.options.end()) {
                continue;
            }
            std::string where;
            for (const Format& f : formats()) {
                if (std::find(f.options.begin(), f.options.end(), option) != f.options.end()) {
                    where += (where.empty() ? "" : ", ") + f.kind + " --format " + f.name;
                }
            }
            throw UsageError("--" + option + " does nothing for " + chosen.kind + " --format " + chosen.name +
                             " (it applies to " + where + ")");
        }
    }
}

// Progress on standard error every few seconds: lines read and how far
// into the file.
class PrepProgress {
public:
    PrepProgress(std::ostream& err, bool quiet) : err_(err), quiet_(quiet), last_(std::chrono::steady_clock::now()) {}
    void file(const std::string& path, const std::istream* in) {
        path_ = path;
        input_ = dynamic_cast<const InputFile*>(in);
    }
    void tick(long lines) {
        if (quiet_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::seconds(3)) return;
        last_ = now;
        const double fraction = input_ != nullptr ? input_->fraction_read() : -1;
        char line[200];
        if (fraction >= 0) {
            std::snprintf(line, sizeof line, "ddinfer-prep: %ld lines read, %.0f%% of %s\n", lines, 100 * fraction,
                          quoted_input(path_, 120).c_str());
        } else {
            std::snprintf(line, sizeof line, "ddinfer-prep: %ld lines read from %s\n", lines,
                          quoted_input(path_, 120).c_str());
        }
        err_ << line << std::flush;
    }

private:
    std::ostream& err_;
    bool quiet_;
    std::chrono::steady_clock::time_point last_;
    std::string path_;
    const InputFile* input_ = nullptr;
};

std::unordered_set<std::string> read_protein_names(const std::string& path) {
    const auto in = open_input(path);
    const int declared = read_count_line(*in, path, "protein pairs");
    std::unordered_set<std::string> names;
    std::string line;
    int held = 0;
    for (long line_no = 2; next_line(*in, line, path, line_no); ++line_no) {
        const std::vector<std::string> f = split(line, " \t");
        held += !f.empty();
        for (std::size_t i = 0; i < f.size() && i < 2; ++i) names.insert(f[i]);
    }
    if (in->bad()) throw Error(read_failure(path, *in));
    if (held < declared) {
        throw Error(path + ": line 1 declares " + std::to_string(declared) + " pairs, but the file holds " +
                    std::to_string(held) + " (cut short?)");
    }
    return names;
}

// Why an input gave nothing to write: what was read and skipped.
std::string nothing_written(const std::string& what, const std::vector<std::string>& inputs,
                            const PrepReport& report) {
    std::string files;
    for (const std::string& input : inputs) files += (files.empty() ? "" : ", ") + input;
    std::string text = files + ": " + what + " to write (" + std::to_string(report.lines) + " lines read";
    for (const auto& [reason, s] : report.skipped) text += "; " + std::to_string(s.count) + " " + reason;
    return text + "); nothing written";
}

}  // namespace

int prep_main(int argc, char** argv, std::ostream& out, std::ostream& err) {
    ParsedArgs args;
    const std::vector<OptionSpec> options{
        {"format", true},    {"output", true, 'o'}, {"id", true},     {"physical", false},      {"taxon", true},
        {"min-score", true}, {"aliases", true},     {"header", false}, {"keep-isoforms", false}, {"self", false},
        {"keep-versions", false}, {"proteins", true}, {"no-self", false}, {"member", true}};
    PairOptions pair_options;
    DomainOptions domain_options;
    std::string kind, output;
    std::vector<std::string> inputs;
    try {
        args = parse_args(argc, argv, options);
        if (args.has("help")) {
            // Of the kind named first, when one is.
            std::string kind_asked;
            if (!args.positional.empty() && std::count(std::begin(kinds), std::end(kinds), args.positional[0]) > 0) {
                kind_asked = args.positional[0];
            }
            out << usage_line(kind_asked) << help_text(kind_asked);
            return 0;
        }
        if (args.has("version")) {
            out << "ddinfer-prep " << DDINFER_VERSION << "\n";
            return 0;
        }
        if (args.positional.size() < 2) throw UsageError("expected pairs, domains, names or map, then the input files");
        kind = args.positional[0];
        inputs.assign(args.positional.begin() + 1, args.positional.end());
        output = args.get("output", "");
        if (output.empty()) throw UsageError("-o FILE names the file to write");
        const std::string format = args.get("format", "");
        if (kind == "pairs") {
            if (find_format("pairs", format) == nullptr) {
                throw UsageError("--format for pairs takes " + format_names("pairs", ", ", " or ") + ", not \"" +
                                 format + "\"");
            }
            pair_options.format = format;
            pair_options.id = args.get("id", "uniprot");
            if (pair_options.id != "uniprot" && pair_options.id != "entrez" && pair_options.id != "systematic") {
                throw UsageError("--id takes uniprot, entrez or systematic, not \"" + pair_options.id + "\"");
            }
            pair_options.physical = args.has("physical");
            pair_options.taxon = args.get_long("taxon", -1, 0, 2147483647L);
            pair_options.min_score = args.get_long("min-score", -1, 0, 1000000L);
            pair_options.header = args.has("header");
            pair_options.keep_isoforms = args.has("keep-isoforms");
            pair_options.self = !args.has("no-self");
        } else if (kind == "domains") {
            if (find_format("domains", format) == nullptr) {
                throw UsageError("--format for domains takes " + format_names("domains", ", ", " or ") + ", not \"" +
                                 format + "\"");
            }
            domain_options.format = format;
            domain_options.header = args.has("header");
            domain_options.keep_isoforms = args.has("keep-isoforms");
            domain_options.keep_versions = args.has("keep-versions");
        } else if (kind == "names") {
            if (find_format("names", format) == nullptr) {
                throw UsageError("--format for names takes " + format_names("names", ", ", " or ") + ", not \"" +
                                 format + "\"");
            }
            domain_options.format = format;
            domain_options.id = args.get("id", "uniprot");
            if (domain_options.id != "uniprot" && domain_options.id != "entrez" && domain_options.id != "systematic") {
                throw UsageError("--id takes uniprot, entrez or systematic, not \"" + domain_options.id + "\"");
            }
        } else if (kind == "map") {
            if (find_format("map", format) == nullptr) {
                throw UsageError("--format for map takes " + format_names("map", ", ", " or ") + ", not \"" +
                                 format + "\"");
            }
        } else {
            throw UsageError("expected pairs, domains, names or map, not \"" + kind + "\"");
        }
        check_option_use(args, *find_format(kind, format));
        refuse_output_over_input({output}, given_values(args, inputs, {"aliases", "proteins"}));
    } catch (const UsageError& e) {
        err << "ddinfer-prep: " << e.what() << "; " << usage_line();
        return 2;
    }
    try {
        // Told to stop, it removes what it had begun to write.
        InterruptGuard interrupts("ddinfer-prep");
        PrepReport report;
        PrepProgress progress(err, args.has("quiet"));
        report.tick = [&] { progress.tick(report.lines); };
        const std::string member = args.get("member", "");
        auto open = [&](const std::string& path) {
            std::unique_ptr<std::istream> in = open_input(path, member);
            progress.file(path, in.get());
            return in;
        };
        std::string text;
        if (kind == "pairs") {
            std::unordered_map<std::string, std::string> aliases;
            if (args.has("aliases")) {
                const std::string path = args.get("aliases", "");
                aliases = read_string_aliases(*open_input(path), path);
                pair_options.aliases = &aliases;
            }
            PairList list;
            for (const std::string& path : inputs) prep_pairs(*open(path), path, pair_options, list, report);
            report.written = static_cast<long>(list.pairs().size());
            if (report.written == 0) throw Error(nothing_written("no pair", inputs, report));
            if (pair_options.format == "string" && pair_options.aliases == nullptr) {
                err << "ddinfer-prep: warning: STRING's own ids (such as " << quoted_input(list.pairs()[0].first)
                    << ") are written as they are, and domain files name UniProt accessions; "
                       "--aliases SPECIES.protein.aliases.v12.0.txt.gz maps them\n";
            }
            text = pairs_text(list);
        } else if (kind == "map") {
            IdMap map;
            for (const std::string& path : inputs) prep_map(*open(path), path, args.get("format", ""), map, report);
            report.written = static_cast<long>(map.pairs().size());
            if (report.written == 0) throw Error(nothing_written("no pair of ids", inputs, report));
            text = map_text(map);
        } else if (kind == "names") {
            NameList list;
            for (const std::string& path : inputs) prep_names(*open(path), path, domain_options, list, report);
            report.written = static_cast<long>(list.size());
            if (report.written == 0) throw Error(nothing_written("no name", inputs, report));
            text = names_text(list);
        } else {
            std::unordered_set<std::string> proteins;
            if (args.has("proteins")) {
                proteins = read_protein_names(args.get("proteins", ""));
                domain_options.proteins = &proteins;
            }
            DomainList list;
            for (const std::string& path : inputs) prep_domains(*open(path), path, domain_options, list, report);
            report.written = 0;
            for (const auto& [domain, members] : list.domains()) report.written += static_cast<long>(members.size());
            if (report.written == 0) throw Error(nothing_written("no membership", inputs, report));
            text = domains_text(list);
        }
        write_whole(output, text);
        InfoStream(err, args.has("quiet")) << report.summary(kind == "pairs"   ? "pairs"
                              : kind == "names" ? "names"
                              : kind == "map"   ? "pairs of ids"
                                                : "memberships",
                              output);
    } catch (const Error& e) {
        err << "ddinfer-prep: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
