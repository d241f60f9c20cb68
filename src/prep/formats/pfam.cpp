// Pfam-A regions: a region a line, the uniprot_acc and pfamA_acc columns
// named in the header.
#include <algorithm>

#include "core/error.h"
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

class PfamRegionsReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string& file, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (line_no == 1) {
            protein_ = column(f, {"uniprot_acc"});
            domain_ = column(f, {"pfamA_acc"});
            if (protein_ < 0 || domain_ < 0) {
                throw input_error(file, 1, "expected a header naming the columns uniprot_acc and pfamA_acc");
            }
            return;
        }
        if (static_cast<int>(f.size()) <= std::max(protein_, domain_)) {
            return emit.skip("lines with fewer fields than the header", line_no, text);
        }
        emit.item(f[protein_], f[domain_], line_no, text);
    }

private:
    int protein_ = -1, domain_ = -1;
};

}  // namespace

bool looks_like_pfam_regions(const std::string& line) {
    const std::vector<std::string> f = split(line, "\t");
    return std::find(f.begin(), f.end(), "uniprot_acc") != f.end() && std::find(f.begin(), f.end(), "pfamA_acc") != f.end();
}

std::unique_ptr<FormatReader> pfam_regions_reader(const DomainOptions&) {
    return std::make_unique<PfamRegionsReader>();
}

}  // namespace ddinfer
