#include "prep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <string_view>

#include "atomic_file.h"
#include "cli.h"
#include "error.h"
#include "input_file.h"
#include "interrupt.h"
#include "readers.h"

#ifndef DDINFER_VERSION
#define DDINFER_VERSION "unknown"
#endif

namespace ddinfer {
namespace {

std::vector<std::string> split(const std::string& line, std::string_view separators) {
    std::vector<std::string> fields;
    if (separators == "\t") {
        for (std::size_t pos = 0;;) {
            const std::size_t tab = line.find('\t', pos);
            fields.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
            if (tab == std::string::npos) return fields;
            pos = tab + 1;
        }
    }
    for (std::size_t pos = 0; (pos = line.find_first_not_of(separators, pos)) != std::string::npos;) {
        const std::size_t end = line.find_first_of(separators, pos);
        fields.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end;
    }
    return fields;
}

// getline without the CR of a CRLF line end.
bool next_line(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// A line of a two-column table: passed over (a comment, a blank line, the
// header line), a line of one name, or a pair in f[0] and f[1].
enum class TableRow { skip, one_name, pair };
TableRow table_row(const std::string& line, std::string_view separators, bool comments, bool header,
                   bool& header_seen, std::vector<std::string>& f) {
    if (comments && !line.empty() && line[0] == '#') return TableRow::skip;
    f = split(line, separators);
    if (f.empty()) return TableRow::skip;
    if (header && !header_seen) {
        header_seen = true;
        return TableRow::skip;
    }
    return f.size() < 2 ? TableRow::one_name : TableRow::pair;
}

std::string first_of_list(const std::string& field) { return field.substr(0, field.find('|')); }

// Drops a suffix of a mark and digits: "P12345-2" -> "P12345".
std::string strip_number_suffix(const std::string& name, char mark) {
    const std::size_t at = name.rfind(mark);
    if (at == std::string::npos || at == 0 || at + 1 == name.size()) return name;
    if (name.find_first_not_of("0123456789", at + 1) != std::string::npos) return name;
    return name.substr(0, at);
}

// Drops the version of a versioned accession, letters, digits, a dot and
// digits ("PF00069.27" -> "PF00069"); any other id ("G3DSA:1.10.245.10",
// "cd00180") is left whole.
std::string strip_version(const std::string& name) {
    const std::size_t letters = name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    if (letters == 0 || letters == std::string::npos) return name;
    const std::size_t dot = name.find_first_not_of("0123456789", letters);
    if (dot == letters || dot == std::string::npos || name[dot] != '.') return name;
    if (dot + 1 == name.size() || name.find_first_not_of("0123456789", dot + 1) != std::string::npos) return name;
    return name.substr(0, dot);
}

// A name the two input files cannot hold: they separate names by white
// space, and a control byte is never part of an accession.
bool unwritable_name(const std::string& name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f) return true;
    }
    return false;
}

long whole_number(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' ? value : -1;
}

int column(const std::vector<std::string>& header, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const auto it = std::find(header.begin(), header.end(), name);
        if (it != header.end()) return static_cast<int>(it - header.begin());
    }
    return -1;
}

std::string place(const std::string& file, long line) { return file + ":" + std::to_string(line); }

// The first "uniprotkb:" id among the "|"-separated ids of the fields.
std::string uniprot_id(const std::string& ids, const std::string& alternatives) {
    for (const std::string* field : {&ids, &alternatives}) {
        for (std::size_t pos = 0; pos <= field->size();) {
            std::size_t end = field->find('|', pos);
            if (end == std::string::npos) end = field->size();
            const std::string id = field->substr(pos, end - pos);
            if (id.rfind("uniprotkb:", 0) == 0) {
                const std::string accession = id.substr(10, id.find('(') - 10);
                if (!accession.empty()) return accession;
            }
            pos = end + 1;
        }
    }
    return "";
}

// "taxid:9606(Homo sapiens)" -> 9606; -1 when there is none.
long mitab_taxon(const std::string& field) {
    const std::size_t at = field.find("taxid:");
    if (at == std::string::npos) return -1;
    const std::size_t end = field.find_first_of("(|", at + 6);
    return whole_number(field.substr(at + 6, end == std::string::npos ? std::string::npos : end - at - 6));
}

const char* kind_of(const std::string& format) {
    return format == "pfam-regions" || format == "uniprot" || format == "interpro" ? "domains" : "pairs";
}

// A download of another known format is named as such, not read as this
// one (a BioGRID file read as MITAB gives no pair at all).
void check_format(const std::string& line, const std::string& format, const std::string& file) {
    const std::string seen = recognised_format(line);
    if (seen.empty() || seen == format) return;
    throw input_error(file, 1, "this looks like a " + seen + " file, not " + format + ": use ddinfer-prep " +
                                   kind_of(seen) + " --format " + seen);
}

}  // namespace

std::string recognised_format(const std::string& line) {
    if (line.rfind("#BioGRID Interaction ID", 0) == 0) return "biogrid-tab3";
    const std::vector<std::string> f = split(line, "\t");
    if (line.rfind("#ID(s) interactor A", 0) == 0 || line.rfind("ID(s) interactor A", 0) == 0 ||
        (f.size() >= 15 && f[0].find(':') != std::string::npos && f[1].find(':') != std::string::npos)) {
        return "mitab";
    }
    if (line.rfind("protein1 protein2", 0) == 0) return "string";
    if (std::find(f.begin(), f.end(), "uniprot_acc") != f.end() && std::find(f.begin(), f.end(), "pfamA_acc") != f.end()) {
        return "pfam-regions";
    }
    if (!f.empty() && f[0] == "Entry" && f.size() >= 2) return "uniprot";
    if (f.size() >= 4 && f[1].rfind("IPR", 0) == 0 && f[1].size() == 9) return "interpro";
    return "";
}

void PrepReport::skip(const std::string& reason, const std::string& file, long line, const std::string& text) {
    Skip& s = skipped[reason];
    if (s.count++ == 0) s.first = place(file, line) + ": " + quoted_input(text, 120);
}

void PrepReport::change(const std::string& how, const std::string& file, long line, const std::string& text) {
    Skip& s = changed[how];
    if (s.count++ == 0) s.first = place(file, line) + ": " + quoted_input(text, 120);
}

std::string PrepReport::summary(const std::string& what, const std::string& output) const {
    long total = 0;
    for (const auto& [reason, s] : skipped) total += s.count;
    std::string text = "ddinfer-prep: read " + std::to_string(lines) + " lines; skipped " + std::to_string(total) + "\n";
    for (const auto& [reason, s] : skipped) {
        text += "  " + std::to_string(s.count) + " " + reason + ", the first " + s.first + "\n";
    }
    for (const auto& [how, s] : changed) {
        text += "  " + std::to_string(s.count) + " " + how + ", the first " + s.first + "\n";
    }
    text += "ddinfer-prep: wrote " + std::to_string(written) + " " + what + " to " + output + "; merged " +
            std::to_string(merged) + " repeated\n";
    return text;
}

void PairList::add(const std::string& a, const std::string& b, PrepReport& report) {
    const std::string key = a < b ? a + '\t' + b : b + '\t' + a;
    if (!seen_.insert(key).second) {
        ++report.merged;
        return;
    }
    pairs_.emplace_back(a, b);
}

void prep_pairs(std::istream& in, const std::string& file, const PairOptions& o, PairList& list, PrepReport& report) {
    std::string line;
    long line_no = 0;
    bool header_seen = false;
    int id_a = -1, id_b = -1, alt_a = -1, alt_b = -1, system_type = -1, taxon_a = -1, taxon_b = -1, score = -1;
    std::string id_name;
    auto accept = [&](std::string a, std::string b, const std::string& text) {
        if (!o.keep_isoforms) {
            a = strip_number_suffix(a, '-');
            b = strip_number_suffix(b, '-');
        }
        if (unwritable_name(a) || unwritable_name(b)) {
            return report.skip("names holding white space or control bytes", file, line_no, text);
        }
        if (a == b && !o.self) return report.skip("self-pairs (--no-self)", file, line_no, text);
        if (a == b) report.change("self-pairs, kept (--no-self drops them)", file, line_no, text);
        list.add(a, b, report);
    };
    while (next_line(in, line)) {
        ++line_no;
        if ((++report.lines & 0xffff) == 0 && report.tick) report.tick();
        if (line_no == 1) check_format(line, o.format, file);
        if (o.format == "biogrid-tab3") {
            const std::vector<std::string> f = split(line, "\t");
            if (line_no == 1) {
                if (line.rfind("#BioGRID Interaction ID", 0) != 0) {
                    throw input_error(file, 1, "expected the BioGRID TAB3 header line (#BioGRID Interaction ID ...)");
                }
                if (o.id == "uniprot") {
                    id_a = column(f, {"SWISS-PROT Accessions Interactor A"});
                    id_b = column(f, {"SWISS-PROT Accessions Interactor B"});
                    alt_a = column(f, {"TREMBL Accessions Interactor A"});
                    alt_b = column(f, {"TREMBL Accessions Interactor B"});
                    id_name = "SWISS-PROT or TREMBL accession";
                } else if (o.id == "entrez") {
                    id_a = column(f, {"Entrez Gene Interactor A"});
                    id_b = column(f, {"Entrez Gene Interactor B"});
                    id_name = "Entrez Gene id";
                } else {
                    id_a = column(f, {"Systematic Name Interactor A"});
                    id_b = column(f, {"Systematic Name Interactor B"});
                    id_name = "systematic name";
                }
                system_type = column(f, {"Experimental System Type"});
                taxon_a = column(f, {"Organism ID Interactor A", "Organism Interactor A"});
                taxon_b = column(f, {"Organism ID Interactor B", "Organism Interactor B"});
                if (id_a < 0 || id_b < 0 || system_type < 0 || taxon_a < 0 || taxon_b < 0) {
                    throw input_error(file, 1, "the header lacks a column this conversion needs (the " + id_name +
                                                   " columns, Experimental System Type, Organism ID)");
                }
                continue;
            }
            if (static_cast<int>(f.size()) <= std::max({id_a, id_b, alt_a, alt_b, system_type, taxon_a, taxon_b})) {
                report.skip("lines with fewer fields than the header", file, line_no, line);
                continue;
            }
            if (o.physical && f[system_type] != "physical") {
                report.skip("not physical (--physical)", file, line_no, line);
                continue;
            }
            if (o.taxon >= 0 && (whole_number(f[taxon_a]) != o.taxon || whole_number(f[taxon_b]) != o.taxon)) {
                report.skip("other taxa (--taxon)", file, line_no, line);
                continue;
            }
            std::string a = f[id_a] == "-" && alt_a >= 0 ? f[alt_a] : f[id_a];
            std::string b = f[id_b] == "-" && alt_b >= 0 ? f[alt_b] : f[id_b];
            if (a == "-" || b == "-" || a.empty() || b.empty()) {
                report.skip("an interactor without a " + id_name, file, line_no, line);
                continue;
            }
            accept(first_of_list(a), first_of_list(b), line);
        } else if (o.format == "mitab") {
            if (line.empty() || line[0] == '#') continue;
            const std::vector<std::string> f = split(line, "\t");
            if (f.size() < 15) {
                report.skip("lines of fewer than 15 columns", file, line_no, line);
                continue;
            }
            if (o.taxon >= 0 && (mitab_taxon(f[9]) != o.taxon || mitab_taxon(f[10]) != o.taxon)) {
                report.skip("other taxa (--taxon)", file, line_no, line);
                continue;
            }
            const std::string a = uniprot_id(f[0], f[2]), b = uniprot_id(f[1], f[3]);
            if (a.empty() || b.empty()) {
                report.skip("an interactor without a uniprotkb: id", file, line_no, line);
                continue;
            }
            accept(a, b, line);
        } else if (o.format == "string") {
            const std::vector<std::string> f = split(line, " \t");
            if (line_no == 1 && !f.empty() && f[0] == "protein1") {
                score = column(f, {"combined_score"});
                if (score < 0) throw input_error(file, 1, "expected a combined_score column in the header");
                continue;
            }
            if (f.size() < 2) {
                report.skip("lines with fewer than two ids", file, line_no, line);
                continue;
            }
            const std::size_t s = score >= 0 ? static_cast<std::size_t>(score) : f.size() - 1;
            if (o.min_score >= 0 && (s >= f.size() || whole_number(f[s]) < o.min_score)) {
                report.skip("scores below --min-score", file, line_no, line);
                continue;
            }
            std::string a = f[0], b = f[1];
            if (o.aliases != nullptr) {
                const auto ia = o.aliases->find(a), ib = o.aliases->find(b);
                if (ia == o.aliases->end() || ib == o.aliases->end()) {
                    report.skip("ids without a UniProt_AC alias", file, line_no, line);
                    continue;
                }
                a = ia->second;
                b = ib->second;
            }
            accept(a, b, line);
        } else {  // tsv
            std::vector<std::string> f;
            const TableRow row = table_row(line, " \t", true, o.header, header_seen, f);
            if (row == TableRow::one_name) report.skip("lines with one name", file, line_no, line);
            if (row == TableRow::pair) accept(f[0], f[1], line);
        }
    }
    if (in.bad()) throw Error(read_failure(file, in));
}

std::unordered_map<std::string, std::string> read_string_aliases(std::istream& in, const std::string& file) {
    std::unordered_map<std::string, std::string> aliases;
    std::string line;
    while (next_line(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = split(line, "\t");
        if (f.size() >= 3 && f[2].find("UniProt_AC") != std::string::npos) aliases.try_emplace(f[0], f[1]);
    }
    if (in.bad()) throw Error(read_failure(file, in));
    return aliases;
}

void DomainList::add(const std::string& domain, const std::string& protein, PrepReport& report) {
    if (!seen_.insert(domain + '\t' + protein).second) {
        ++report.merged;
        return;
    }
    const auto [it, added] = index_.try_emplace(domain, domains_.size());
    if (added) domains_.emplace_back(domain, std::vector<std::string>());
    domains_[it->second].second.push_back(protein);
}

void prep_domains(std::istream& in, const std::string& file, const DomainOptions& o, DomainList& list,
                  PrepReport& report) {
    std::string line;
    long line_no = 0;
    int protein_column = -1, domain_column = -1;
    bool header_seen = false;
    auto accept = [&](std::string protein, std::string domain, const std::string& text) {
        if (!o.keep_isoforms) protein = strip_number_suffix(protein, '-');
        if (!o.keep_versions) domain = strip_version(domain);
        if (protein.empty() || domain.empty()) return report.skip("empty names", file, line_no, text);
        if (unwritable_name(protein) || unwritable_name(domain)) {
            return report.skip("names holding white space or control bytes", file, line_no, text);
        }
        // The domain file ends a domain's name at its first colon.
        if (domain.find(':') != std::string::npos) {
            std::replace(domain.begin(), domain.end(), ':', '_');
            report.change("domain ids holding a colon, written with _ for it", file, line_no, text);
        }
        if (o.proteins != nullptr && o.proteins->count(protein) == 0) {
            return report.skip("proteins not in --proteins", file, line_no, text);
        }
        list.add(domain, protein, report);
    };
    while (next_line(in, line)) {
        ++line_no;
        if ((++report.lines & 0xffff) == 0 && report.tick) report.tick();
        if (line_no == 1) check_format(line, o.format, file);
        if (o.format == "pfam-regions" || o.format == "uniprot") {
            const std::vector<std::string> f = split(line, "\t");
            if (line_no == 1) {
                if (o.format == "pfam-regions") {
                    protein_column = column(f, {"uniprot_acc"});
                    domain_column = column(f, {"pfamA_acc"});
                } else {
                    protein_column = column(f, {"Entry"});
                    for (std::size_t c = 0; c < f.size(); ++c) {
                        if (f[c].find("Pfam") != std::string::npos) domain_column = static_cast<int>(c);
                    }
                }
                if (protein_column < 0 || domain_column < 0) {
                    throw input_error(file, 1,
                                      o.format == "pfam-regions"
                                          ? "expected a header naming the columns uniprot_acc and pfamA_acc"
                                          : "expected a header naming the columns Entry and Pfam");
                }
                continue;
            }
            if (static_cast<int>(f.size()) <= std::max(protein_column, domain_column)) {
                report.skip("lines with fewer fields than the header", file, line_no, line);
                continue;
            }
            if (o.format == "pfam-regions") {
                accept(f[protein_column], f[domain_column], line);
                continue;
            }
            const std::vector<std::string> cells = split(f[domain_column], "; ");
            if (cells.empty()) report.skip("proteins without a Pfam domain", file, line_no, line);
            for (const std::string& domain : cells) accept(f[protein_column], domain, line);
        } else {  // interpro, tsv
            const bool tsv = o.format == "tsv";
            std::vector<std::string> f;
            const TableRow row = table_row(line, tsv ? " \t" : "\t", tsv, tsv && o.header, header_seen, f);
            if (row == TableRow::one_name) report.skip("lines with one name", file, line_no, line);
            if (row == TableRow::pair) accept(f[0], f[1], line);
        }
    }
    if (in.bad()) throw Error(read_failure(file, in));
}

std::string pairs_text(const PairList& list) {
    std::string text = std::to_string(list.pairs().size()) + "\n";
    for (const auto& [a, b] : list.pairs()) text += a + " " + b + "\n";
    return text;
}

std::string domains_text(const DomainList& list) {
    std::string text = std::to_string(list.domains().size()) + "\n";
    for (const auto& [domain, members] : list.domains()) {
        text += domain + ":";
        for (const std::string& protein : members) text += " " + protein;
        text += "\n";
    }
    return text;
}

namespace {

const char* const usage_line =
    "usage: ddinfer-prep pairs --format biogrid-tab3|mitab|string|tsv [options] IN... -o PAIRS\n"
    "       ddinfer-prep domains --format pfam-regions|interpro|uniprot|tsv [options] IN... -o DOMAINS\n";
const char* const help_text =
    "  Writes the interaction list or the domain file of ddinfer from downloaded\n"
    "  files (zip, gzip-compressed or plain; - is standard input), each unordered\n"
    "  pair and each membership once, and reports on standard error what was\n"
    "  read, skipped and why.\n"
    "  pairs:\n"
    "    --format biogrid-tab3  BioGRID TAB3; --id uniprot (SWISS-PROT, else\n"
    "                           TREMBL accessions; default), entrez or systematic;\n"
    "                           --physical keeps physical systems only\n"
    "    --format mitab         PSI-MITAB 2.5 to 2.7: the first uniprotkb: id\n"
    "    --format string        STRING links; --min-score N on combined_score;\n"
    "                           --aliases FILE maps ids to UniProt_AC aliases\n"
    "    --format tsv           two names a line; # comments; --header skips line 1\n"
    "    --taxon N              (biogrid-tab3, mitab) both interactors in taxon N\n"
    "    --no-self              drop self-pairs (homodimers; kept by default)\n"
    "  domains:\n"
    "    --format pfam-regions  Pfam-A regions (uniprot_acc, pfamA_acc columns)\n"
    "    --format interpro      InterPro protein2ipr (protein, IPR id, ...)\n"
    "    --format uniprot       a UniProt export with Entry and Pfam columns\n"
    "    --format tsv           protein and domain a line; # comments; --header\n"
    "    --keep-versions        keep .N version suffixes of domain names\n"
    "    --proteins PAIRS       keep only proteins named in this interaction list\n"
    "  both:\n"
    "    -o, --output FILE      the file to write (required; - is standard output)\n"
    "    --member NAME          the file to read in a zip archive of several\n"
    "    --keep-isoforms        keep -N isoform suffixes of protein names\n"
    "    -q, --quiet            no progress lines\n"
    "  -h, --help, -V, --version\n"
    "  Examples:\n"
    "    ddinfer-prep pairs --format biogrid-tab3 --physical --taxon 9606 \\\n"
    "        BIOGRID-ORGANISM-4.4.240.tab3.zip --member BIOGRID-ORGANISM-Homo_sapiens-4.4.240.tab3.txt -o pairs.txt\n"
    "    ddinfer-prep domains --format pfam-regions --proteins pairs.txt Pfam-A.regions.uniprot.tsv.gz -o domains.txt\n"
    "  Exit status: 0 done, 1 bad input, nothing to write or a file that cannot\n"
    "  be written, 2 a mistake in the call, 130/143 stopped by SIGINT/SIGTERM.\n";

// Options that only some formats read: given with another, they would do
// nothing without a word.
struct OptionUse {
    const char* option;
    std::vector<std::string> formats;  // "pairs:tsv", "domains:tsv", ...
};
const std::vector<OptionUse> option_uses{
    {"id", {"pairs:biogrid-tab3"}},
    {"physical", {"pairs:biogrid-tab3"}},
    {"taxon", {"pairs:biogrid-tab3", "pairs:mitab"}},
    {"min-score", {"pairs:string"}},
    {"aliases", {"pairs:string"}},
    {"header", {"pairs:tsv", "domains:tsv"}},
    {"no-self", {"pairs:biogrid-tab3", "pairs:mitab", "pairs:string", "pairs:tsv"}},
    {"self", {"pairs:biogrid-tab3", "pairs:mitab", "pairs:string", "pairs:tsv"}},
    {"keep-versions", {"domains:pfam-regions", "domains:interpro", "domains:uniprot", "domains:tsv"}},
    {"proteins", {"domains:pfam-regions", "domains:interpro", "domains:uniprot", "domains:tsv"}},
};

void check_option_use(const ParsedArgs& args, const std::string& kind, const std::string& format) {
    for (const OptionUse& use : option_uses) {
        if (!args.has(use.option)) continue;
        if (std::find(use.formats.begin(), use.formats.end(), kind + ":" + format) != use.formats.end()) continue;
        std::string where;
        for (const std::string& f : use.formats) where += (where.empty() ? "" : ", ") + f.substr(0, f.find(':')) + " --format " + f.substr(f.find(':') + 1);
        throw UsageError(std::string("--") + use.option + " does nothing for " + kind + " --format " + format +
                         " (it applies to " + where + ")");
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
    while (next_line(*in, line)) {
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
            out << usage_line << help_text;
            return 0;
        }
        if (args.has("version")) {
            out << "ddinfer-prep " << DDINFER_VERSION << "\n";
            return 0;
        }
        if (args.positional.size() < 2) throw UsageError("expected pairs or domains, then the input files");
        kind = args.positional[0];
        inputs.assign(args.positional.begin() + 1, args.positional.end());
        output = args.get("output", "");
        if (output.empty()) throw UsageError("-o FILE names the file to write");
        const std::string format = args.get("format", "");
        if (kind == "pairs") {
            if (format != "biogrid-tab3" && format != "mitab" && format != "string" && format != "tsv") {
                throw UsageError("--format for pairs takes biogrid-tab3, mitab, string or tsv, not \"" + format + "\"");
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
            if (format != "pfam-regions" && format != "interpro" && format != "uniprot" && format != "tsv") {
                throw UsageError("--format for domains takes pfam-regions, interpro, uniprot or tsv, not \"" + format +
                                 "\"");
            }
            domain_options.format = format;
            domain_options.header = args.has("header");
            domain_options.keep_isoforms = args.has("keep-isoforms");
            domain_options.keep_versions = args.has("keep-versions");
        } else {
            throw UsageError("expected pairs or domains, not \"" + kind + "\"");
        }
        check_option_use(args, kind, format);
    } catch (const UsageError& e) {
        err << "ddinfer-prep: " << e.what() << "; " << usage_line;
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
        err << report.summary(kind == "pairs" ? "pairs" : "memberships", output);
    } catch (const Error& e) {
        err << "ddinfer-prep: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
