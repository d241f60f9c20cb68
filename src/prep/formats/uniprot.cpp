// A UniProt TSV export: the Entry column and a Pfam column of
// "PF00001;PF00002;" cells.
#include <algorithm>

#include "core/error.h"
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

class UniprotReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string& file, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (line_no == 1) {
            protein_ = column(f, {"Entry"});
            for (std::size_t c = 0; c < f.size(); ++c) {
                if (f[c].find("Pfam") != std::string::npos) domain_ = static_cast<int>(c);
            }
            if (protein_ < 0 || domain_ < 0) {
                throw input_error(file, 1, "expected a header naming the columns Entry and Pfam");
            }
            return;
        }
        if (static_cast<int>(f.size()) <= std::max(protein_, domain_)) {
            return emit.skip("lines with fewer fields than the header", line_no, text);
        }
        const std::vector<std::string> cells = split(f[domain_], "; ");
        if (cells.empty()) emit.skip("proteins without a Pfam domain", line_no, text);
        for (const std::string& domain : cells) emit.item(f[protein_], domain, line_no, text);
    }

private:
    int protein_ = -1, domain_ = -1;
};

// Gene names for ddinfer-explain and ddinfer-report: the Entry column and
// the first of the "Gene Names" cell (the primary name, then synonyms).
class UniprotGeneNamesReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string& file, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (line_no == 1) {
            protein_ = column(f, {"Entry"});
            gene_ = column(f, {"Gene Names", "Gene Names (primary)", "Gene names"});
            if (protein_ < 0 || gene_ < 0) {
                throw input_error(file, 1, "expected a header naming the columns Entry and Gene Names");
            }
            return;
        }
        if (static_cast<int>(f.size()) <= std::max(protein_, gene_)) {
            return emit.skip("lines with fewer fields than the header", line_no, text);
        }
        const std::vector<std::string> genes = split(f[gene_], " ;");
        if (genes.empty()) return emit.skip("proteins without a gene name", line_no, text);
        emit.item(f[protein_], genes.front(), line_no, text);
    }

private:
    int protein_ = -1, gene_ = -1;
};

}  // namespace

bool looks_like_uniprot(const std::string& line) {
    const std::vector<std::string> f = split(line, "\t");
    return !f.empty() && f[0] == "Entry" && f.size() >= 2;
}

std::unique_ptr<FormatReader> uniprot_reader(const DomainOptions&) { return std::make_unique<UniprotReader>(); }

std::unique_ptr<FormatReader> uniprot_gene_names_reader(const DomainOptions&) {
    return std::make_unique<UniprotGeneNamesReader>();
}

}  // namespace ddinfer
