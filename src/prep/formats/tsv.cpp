// Two-column tables of one's own: a pair of proteins, or a protein and a
// domain, a line; tabs or spaces; "#" comments; --header skips line 1.
#include "format.h"
#include "text.h"

namespace ddinfer {
namespace {

class TableReader : public FormatReader {
public:
    explicit TableReader(bool header) : header_(header) {}

    void line(const std::string& text, long line_no, const std::string&, Emit& emit) override {
        std::vector<std::string> f;
        const TableRow row = table_row(text, " \t", true, header_, header_seen_, f);
        if (row == TableRow::one_name) emit.skip("lines with one name", line_no, text);
        if (row == TableRow::pair) emit.item(f[0], f[1], line_no, text);
    }

private:
    bool header_;
    bool header_seen_ = false;
};

}  // namespace

std::unique_ptr<FormatReader> pair_table_reader(const PairOptions& options) {
    return std::make_unique<TableReader>(options.header);
}

std::unique_ptr<FormatReader> domain_table_reader(const DomainOptions& options) {
    return std::make_unique<TableReader>(options.header);
}

}  // namespace ddinfer
