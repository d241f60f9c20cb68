// PSI-MITAB 2.5 to 2.7 (IntAct and others): the first uniprotkb: id.
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

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

class MitabReader : public FormatReader {
public:
    explicit MitabReader(const PairOptions& o) : o_(o) {}

    void line(const std::string& text, long line_no, const std::string&, Emit& emit) override {
        if (text.empty() || text[0] == '#') return;
        const std::vector<std::string> f = split(text, "\t");
        if (f.size() < 15) return emit.skip("lines of fewer than 15 columns", line_no, text);
        if (o_.taxon >= 0 && (mitab_taxon(f[9]) != o_.taxon || mitab_taxon(f[10]) != o_.taxon)) {
            return emit.skip("other taxa (--taxon)", line_no, text);
        }
        const std::string a = uniprot_id(f[0], f[2]), b = uniprot_id(f[1], f[3]);
        if (a.empty() || b.empty()) return emit.skip("an interactor without a uniprotkb: id", line_no, text);
        emit.item(a, b, line_no, text);
    }

private:
    const PairOptions& o_;
};

}  // namespace

bool looks_like_mitab(const std::string& line) {
    const std::vector<std::string> f = split(line, "\t");
    return line.rfind("#ID(s) interactor A", 0) == 0 || line.rfind("ID(s) interactor A", 0) == 0 ||
           (f.size() >= 15 && f[0].find(':') != std::string::npos && f[1].find(':') != std::string::npos);
}

std::unique_ptr<FormatReader> mitab_reader(const PairOptions& options) { return std::make_unique<MitabReader>(options); }

}  // namespace ddinfer
