// InterPro protein2ipr: protein, InterPro id, ... a line, tab-separated.
#include "format.h"
#include "text.h"

namespace ddinfer {
namespace {

class InterproReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string&, Emit& emit) override {
        std::vector<std::string> f;
        const TableRow row = table_row(text, "\t", false, false, header_seen_, f);
        if (row == TableRow::one_name) emit.skip("lines with one name", line_no, text);
        if (row == TableRow::pair) emit.item(f[0], f[1], line_no, text);
    }

private:
    bool header_seen_ = false;
};

}  // namespace

bool looks_like_interpro(const std::string& line) {
    const std::vector<std::string> f = split(line, "\t");
    return f.size() >= 4 && f[1].rfind("IPR", 0) == 0 && f[1].size() == 9;
}

std::unique_ptr<FormatReader> interpro_reader(const DomainOptions&) { return std::make_unique<InterproReader>(); }

}  // namespace ddinfer
