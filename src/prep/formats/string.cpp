// STRING links: protein1 protein2 ... combined_score, with optional aliases
// that map STRING's ids to UniProt accessions.
#include "core/error.h"
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

class StringReader : public FormatReader {
public:
    explicit StringReader(const PairOptions& o) : o_(o) {}

    void line(const std::string& text, long line_no, const std::string& file, Emit& emit) override {
        const std::vector<std::string> f = split(text, " \t");
        if (line_no == 1 && !f.empty() && f[0] == "protein1") {
            score_ = column(f, {"combined_score"});
            if (score_ < 0) throw input_error(file, 1, "expected a combined_score column in the header");
            return;
        }
        if (f.size() < 2) return emit.skip("lines with fewer than two ids", line_no, text);
        const std::size_t s = score_ >= 0 ? static_cast<std::size_t>(score_) : f.size() - 1;
        if (o_.min_score >= 0 && (s >= f.size() || whole_number(f[s]) < o_.min_score)) {
            return emit.skip("scores below --min-score", line_no, text);
        }
        std::string a = f[0], b = f[1];
        if (o_.aliases != nullptr) {
            const auto ia = o_.aliases->find(a), ib = o_.aliases->find(b);
            if (ia == o_.aliases->end() || ib == o_.aliases->end()) {
                return emit.skip("ids without a UniProt_AC alias", line_no, text);
            }
            a = ia->second;
            b = ib->second;
        }
        emit.item(a, b, line_no, text);
    }

private:
    const PairOptions& o_;
    int score_ = -1;
};

}  // namespace

bool looks_like_string(const std::string& line) { return line.rfind("protein1 protein2", 0) == 0; }

std::unique_ptr<FormatReader> string_reader(const PairOptions& options) {
    return std::make_unique<StringReader>(options);
}

}  // namespace ddinfer
