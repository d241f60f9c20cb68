// Two-column tables: of one's own (a pair of proteins, or a protein and a
// domain, a line; tabs or spaces; "#" comments; --header skips line 1) and
// InterPro's protein2ipr (a protein, an InterPro id, ... a line, tabs), read
// as memberships or as a map of entries to their member signatures.
#include <cctype>

#include "core/error.h"
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

// A word of the usual column names of such tables.
bool column_name(const std::string& field) {
    std::string lower;
    for (const char c : field) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "id" || lower == "ids" || lower == "acc" || lower == "ac") return true;
    for (const char* word : {"protein", "domain", "accession", "uniprot", "pfam", "interpro", "gene", "entry",
                             "interactor", "family", "symbol", "name"}) {
        if (lower.find(word) != std::string::npos) return true;
    }
    return false;
}

class TableReader : public FormatReader {
public:
    TableReader(const char* separators, bool comments, bool header)
        : separators_(separators), comments_(comments), header_(header) {}

    void line(const std::string& text, long line_no, const std::string&, Emit& emit) override {
        std::vector<std::string> f;
        const TableRow row = table_row(text, separators_, comments_, header_, header_seen_, f);
        if (row == TableRow::one_name) emit.skip("lines with one name", line_no, text);
        if (row == TableRow::pair && !header_ && !rows_ && column_name(f[0]) && column_name(f[1])) {
            std::string what = "\"";
            what += quoted_input(f[0] + " " + f[1]);
            what += "\" looks like column names, read as a row; give --header to pass over the first line";
            emit.warn(line_no, what);
        }
        rows_ = rows_ || row == TableRow::pair;
        if (row == TableRow::pair) emit.item(f[0], f[1], line_no, text);
    }

private:
    const char* separators_;
    bool comments_, header_;
    bool header_seen_ = false;
    bool rows_ = false;  // a row has been read
};

}  // namespace

std::unique_ptr<FormatReader> pair_table_reader(const PairOptions& options) {
    return std::make_unique<TableReader>(" \t", true, options.header);
}

std::unique_ptr<FormatReader> domain_table_reader(const DomainOptions& options) {
    return std::make_unique<TableReader>(" \t", true, options.header);
}

bool looks_like_interpro(const std::string& line) {
    const std::vector<std::string> f = split(line, "\t");
    return f.size() >= 4 && f[1].rfind("IPR", 0) == 0 && f[1].size() == 9;
}

std::unique_ptr<FormatReader> interpro_reader(const DomainOptions&) {
    return std::make_unique<TableReader>("\t", false, false);
}

namespace {

// protein2ipr as a map: the InterPro entry (column 2) and the member
// database's signature that stands for it on this protein (column 4).
class InterproMapReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string&, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (f.size() < 4 || f[1].rfind("IPR", 0) != 0 || f[3].empty()) {
            return emit.skip("lines without an InterPro entry and a signature", line_no, text);
        }
        emit.item(f[1], f[3], line_no, text);
    }
};

}  // namespace

std::unique_ptr<FormatReader> interpro_map_reader(const DomainOptions&) {
    return std::make_unique<InterproMapReader>();
}

}  // namespace ddinfer
