// BioGRID TAB3: columns found by their header names.
#include <algorithm>
#include <tuple>

#include "core/error.h"
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

class BiogridReader : public FormatReader {
public:
    // names: the protein ids with their official symbols, not the pairs.
    BiogridReader(const PairOptions& o, bool names) : o_(o), names_(names) {}

    void line(const std::string& text, long line_no, const std::string& file, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (line_no == 1) {
            header(text, f, file);
            return;
        }
        if (static_cast<int>(f.size()) <= std::max({id_a_, id_b_, alt_a_, alt_b_, system_type_, taxon_a_, taxon_b_})) {
            return emit.skip("lines with fewer fields than the header", line_no, text);
        }
        if (names_) return emit_names(f, line_no, text, emit);
        if (o_.physical && f[system_type_] != "physical") return emit.skip("not physical (--physical)", line_no, text);
        if (o_.taxon >= 0 && (whole_number(f[taxon_a_]) != o_.taxon || whole_number(f[taxon_b_]) != o_.taxon)) {
            return emit.skip("other taxa (--taxon)", line_no, text);
        }
        const std::string a = f[id_a_] == "-" && alt_a_ >= 0 ? f[alt_a_] : f[id_a_];
        const std::string b = f[id_b_] == "-" && alt_b_ >= 0 ? f[alt_b_] : f[id_b_];
        if (a == "-" || b == "-" || a.empty() || b.empty()) {
            return emit.skip("an interactor without a " + id_name_, line_no, text);
        }
        emit.item(first_of_list(a), first_of_list(b), line_no, text);
    }

private:
    void emit_names(const std::vector<std::string>& f, long line_no, const std::string& text, Emit& emit) {
        for (const auto& [id, alt, symbol] : {std::tuple{id_a_, alt_a_, symbol_a_}, std::tuple{id_b_, alt_b_, symbol_b_}}) {
            const std::string protein = f[id] == "-" && alt >= 0 ? f[alt] : f[id];
            if (protein == "-" || protein.empty()) {
                emit.skip("interactors without a " + id_name_, line_no, text);
            } else if (f[symbol] == "-" || f[symbol].empty()) {
                emit.skip("interactors without an official symbol", line_no, text);
            } else {
                emit.item(first_of_list(protein), f[symbol], line_no, text);
            }
        }
    }

    void header(const std::string& text, const std::vector<std::string>& f, const std::string& file) {
        if (!looks_like_biogrid(text)) {
            throw input_error(file, 1, "expected the BioGRID TAB3 header line (#BioGRID Interaction ID ...)");
        }
        if (o_.id == "uniprot") {
            id_a_ = column(f, {"SWISS-PROT Accessions Interactor A"});
            id_b_ = column(f, {"SWISS-PROT Accessions Interactor B"});
            alt_a_ = column(f, {"TREMBL Accessions Interactor A"});
            alt_b_ = column(f, {"TREMBL Accessions Interactor B"});
            id_name_ = "SWISS-PROT or TREMBL accession";
        } else if (o_.id == "entrez") {
            id_a_ = column(f, {"Entrez Gene Interactor A"});
            id_b_ = column(f, {"Entrez Gene Interactor B"});
            id_name_ = "Entrez Gene id";
        } else {
            id_a_ = column(f, {"Systematic Name Interactor A"});
            id_b_ = column(f, {"Systematic Name Interactor B"});
            id_name_ = "systematic name";
        }
        system_type_ = column(f, {"Experimental System Type"});
        taxon_a_ = column(f, {"Organism ID Interactor A", "Organism Interactor A"});
        taxon_b_ = column(f, {"Organism ID Interactor B", "Organism Interactor B"});
        symbol_a_ = column(f, {"Official Symbol Interactor A"});
        symbol_b_ = column(f, {"Official Symbol Interactor B"});
        if (names_ && (symbol_a_ < 0 || symbol_b_ < 0)) {
            throw input_error(file, 1, "the header lacks the Official Symbol Interactor A and B columns");
        }
        if (id_a_ < 0 || id_b_ < 0 || system_type_ < 0 || taxon_a_ < 0 || taxon_b_ < 0) {
            throw input_error(file, 1, "the header lacks a column this conversion needs (the " + id_name_ +
                                           " columns, Experimental System Type, Organism ID)");
        }
    }

    const PairOptions o_;
    const bool names_;
    int id_a_ = -1, id_b_ = -1, alt_a_ = -1, alt_b_ = -1, system_type_ = -1, taxon_a_ = -1, taxon_b_ = -1;
    int symbol_a_ = -1, symbol_b_ = -1;
    std::string id_name_;
};

}  // namespace

bool looks_like_biogrid(const std::string& line) { return line.rfind("#BioGRID Interaction ID", 0) == 0; }

std::unique_ptr<FormatReader> biogrid_reader(const PairOptions& options) {
    return std::make_unique<BiogridReader>(options, false);
}

std::unique_ptr<FormatReader> biogrid_names_reader(const DomainOptions& options) {
    PairOptions pairs;
    pairs.id = options.id;
    return std::make_unique<BiogridReader>(pairs, true);
}

}  // namespace ddinfer
