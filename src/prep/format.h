// One reader per download format, and the table of formats that the option
// parser, the --help text and the recognition of a file's format all read.
// A reader turns the lines of one file into pairs (interaction lists) or
// memberships (domain files); cleaning the ids, merging repeats, the report
// and writing are shared (prep.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "prep/prep.h"

namespace ddinfer {

// Where a reader puts what it reads: items go through the cleaning of
// their kind; skipped lines go to the report with the file's name.
class Emit {
public:
    Emit(const std::string& file, PrepReport& report) : file_(file), report_(report) {}
    virtual ~Emit() = default;
    // A pair of proteins, or a protein and its domain (or its name); `line`
    // for the report.
    virtual void item(const std::string& a, const std::string& b, long line_no, const std::string& line) = 0;
    void skip(const std::string& reason, long line_no, const std::string& line) {
        report_.skip(reason, file_, line_no, line);
    }
    void warn(long line_no, const std::string& what) {
        report_.warnings.push_back(file_ + ":" + std::to_string(line_no) + ": " + what);
    }

protected:
    const std::string& file_;
    PrepReport& report_;
};

class FormatReader {
public:
    virtual ~FormatReader() = default;
    // One line of the file (line 1 first, CR of CRLF gone); throws Error
    // naming file:line for a file that is not of the format.
    virtual void line(const std::string& text, long line_no, const std::string& file, Emit& emit) = 0;
};

struct Format {
    std::string kind;  // "pairs", "domains", "names" or "map"
    std::string name;  // as --format names it
    std::vector<std::string> help;     // its lines of --help
    std::vector<std::string> options;  // the format-specific options it reads
    // Whether a first line shows a file of this format (nullptr: no header).
    bool (*recognises)(const std::string& first_line) = nullptr;
    std::unique_ptr<FormatReader> (*pairs)(const PairOptions&) = nullptr;
    std::unique_ptr<FormatReader> (*domains)(const DomainOptions&) = nullptr;  // domains, names and maps
};

// Every format, interaction lists first, in the order --help lists them.
const std::vector<Format>& formats();

// The format of that kind and name, or nullptr.
const Format* find_format(const std::string& kind, const std::string& name);

// Every line of a file through a reader (line 1 checked against the other
// formats' headers), with progress; throws Error for a read that failed.
void read_lines(std::istream& in, const std::string& file, const std::string& format, FormatReader& reader, Emit& emit,
                PrepReport& report);

// The readers, one per source (src/prep/formats/).
std::unique_ptr<FormatReader> biogrid_reader(const PairOptions& options);
std::unique_ptr<FormatReader> biogrid_names_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> mitab_reader(const PairOptions& options);
std::unique_ptr<FormatReader> string_reader(const PairOptions& options);
std::unique_ptr<FormatReader> pair_table_reader(const PairOptions& options);
std::unique_ptr<FormatReader> pfam_regions_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> interpro_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> uniprot_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> uniprot_gene_names_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> domain_table_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> pfam_clans_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> interpro_entries_reader(const DomainOptions& options);
std::unique_ptr<FormatReader> interpro_map_reader(const DomainOptions& options);

bool looks_like_biogrid(const std::string& line);
bool looks_like_mitab(const std::string& line);
bool looks_like_string(const std::string& line);
bool looks_like_pfam_regions(const std::string& line);
bool looks_like_uniprot(const std::string& line);
bool looks_like_interpro(const std::string& line);

}  // namespace ddinfer
