// prep/: ddinfer-prep, above cli/: the converters from downloaded files to
// the two input files, one reader per format in formats/.
//
// ddinfer-prep: the two input files from the forms people download.
// Interaction lists: BioGRID TAB3, PSI-MITAB 2.5 to 2.7, STRING links, or a
// plain two-column table; domain memberships: Pfam-A region tables,
// InterPro protein2ipr, UniProt exports with a Pfam column, or a plain
// protein-domain table. Every unordered pair and every membership is
// written once; what was skipped, and why, is reported.
#pragma once

#include <iosfwd>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace ddinfer {

// What a conversion read, skipped (by reason, with the first place and
// line), merged and wrote.
struct PrepReport {
    long lines = 0;
    struct Skip {
        long count = 0;
        std::string first;  // "file:line: the line"
    };
    std::map<std::string, Skip> skipped;
    std::map<std::string, Skip> changed;  // names written otherwise, by how
    long merged = 0;
    long written = 0;
    std::vector<std::string> warnings;  // "FILE:LINE: ..." each

    // Called every 65,536 lines read, for progress.
    std::function<void()> tick;

    void skip(const std::string& reason, const std::string& file, long line, const std::string& text);
    void change(const std::string& how, const std::string& file, long line, const std::string& text);
    // The closing lines: lines read, skipped by reason, written, merged.
    std::string summary(const std::string& what, const std::string& output) const;
};

struct PairOptions {
    std::string format;          // biogrid-tab3, mitab, string, tsv
    std::string id = "uniprot";  // biogrid-tab3: uniprot, entrez, systematic
    bool physical = false;       // biogrid-tab3
    long taxon = -1;             // biogrid-tab3, mitab
    long min_score = -1;         // string
    bool header = false;         // tsv
    bool keep_isoforms = false;
    bool self = true;  // keep self-pairs (homodimers)
    const std::unordered_map<std::string, std::string>* aliases = nullptr;  // string
};

// Unordered pairs in order of first appearance, each once.
class PairList {
public:
    void add(const std::string& a, const std::string& b, PrepReport& report);
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::unordered_set<std::string> seen_;
};

// Reads one file of pairs; throws Error naming file:line for a file that is
// not of the format.
void prep_pairs(std::istream& in, const std::string& file, const PairOptions& options, PairList& list,
                PrepReport& report);

// STRING aliases: string id -> the first UniProt_AC alias.
std::unordered_map<std::string, std::string> read_string_aliases(std::istream& in, const std::string& file);

struct DomainOptions {
    std::string format;  // pfam-regions, interpro, uniprot, tsv
    bool header = false;  // tsv
    bool keep_isoforms = false;
    bool keep_versions = false;
    const std::unordered_set<std::string>* proteins = nullptr;  // keep only these
    std::string id = "uniprot";  // names of biogrid-tab3: the protein id (uniprot, entrez, systematic)
};

// Domains in order of first appearance, each with its members in order of
// first appearance, each once.
class DomainList {
public:
    void add(const std::string& domain, const std::string& protein, PrepReport& report);
    const std::vector<std::pair<std::string, std::vector<std::string>>>& domains() const { return domains_; }

private:
    std::vector<std::pair<std::string, std::vector<std::string>>> domains_;
    std::unordered_map<std::string, std::size_t> index_;
    std::unordered_set<std::string> seen_;
};

void prep_domains(std::istream& in, const std::string& file, const DomainOptions& options, DomainList& list,
                  PrepReport& report);

// Domain names for ddinfer-report: id -> "NAME: description", by id.
using NameList = std::map<std::string, std::string>;
void prep_names(std::istream& in, const std::string& file, const DomainOptions& options, NameList& list,
                PrepReport& report);
std::string names_text(const NameList& list);

// Ids of one system with ids of another, for ddinfer-pool --map: distinct
// pairs in order of first appearance.
class IdMap {
public:
    bool add(const std::string& from, const std::string& to);  // false when known
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::unordered_set<std::string> seen_;
};
void prep_map(std::istream& in, const std::string& file, const std::string& format, IdMap& map, PrepReport& report);
std::string map_text(const IdMap& map);

// The format a first line shows a download to be in ("biogrid-tab3",
// "mitab", "string", "pfam-regions", "uniprot", "interpro"), or "".
std::string recognised_format(const std::string& first_line);

// The files' texts, count line first.
std::string pairs_text(const PairList& list);
std::string domains_text(const DomainList& list);

// Exit statuses: 0 done, 1 bad input or a file that cannot be written, 2 a
// mistake in the call.
int prep_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
