// Names and descriptions of domains, for ddinfer-report: Pfam's clans table
// (Pfam-A.clans.tsv: accession, clan, clan name, short name, description)
// and InterPro's entry list (entry.list: ENTRY_AC, ENTRY_TYPE, ENTRY_NAME).
#include "core/error.h"
#include "prep/format.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

class PfamClansReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string&, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (f.size() < 5 || f[0].rfind("PF", 0) != 0) return emit.skip("lines that are no Pfam family", line_no, text);
        emit.item(f[0], f[3] + (f[4].empty() ? "" : ": " + f[4]), line_no, text);
    }
};

class InterproEntriesReader : public FormatReader {
public:
    void line(const std::string& text, long line_no, const std::string& file, Emit& emit) override {
        const std::vector<std::string> f = split(text, "\t");
        if (line_no == 1 && !f.empty() && f[0] == "ENTRY_AC") return;
        if (line_no == 1 && (f.empty() || f[0].rfind("IPR", 0) != 0)) {
            throw input_error(file, 1, "expected the header ENTRY_AC, ENTRY_TYPE, ENTRY_NAME of InterPro's entry list");
        }
        if (f.size() < 3) return emit.skip("lines of fewer than 3 columns", line_no, text);
        emit.item(f[0], f[2] + " (" + f[1] + ")", line_no, text);
    }
};

}  // namespace

std::unique_ptr<FormatReader> pfam_clans_reader(const DomainOptions&) { return std::make_unique<PfamClansReader>(); }

std::unique_ptr<FormatReader> interpro_entries_reader(const DomainOptions&) {
    return std::make_unique<InterproEntriesReader>();
}

void prep_names(std::istream& in, const std::string& file, const std::string& format, NameList& list,
                PrepReport& report) {
    const Format* found = find_format("names", format);
    if (found == nullptr) throw Error("no name format " + format);
    // Tabs and line ends cannot stand in the two-column file.
    class NameEmit : public Emit {
    public:
        NameEmit(const std::string& file, NameList& list, PrepReport& report) : Emit(file, report), list_(list) {}
        void item(const std::string& id, const std::string& name, long line_no, const std::string& text) override {
            std::string clean = name;
            for (char& c : clean) {
                if (static_cast<unsigned char>(c) < ' ') c = ' ';
            }
            if (unwritable_name(id)) return skip("ids holding white space or control bytes", line_no, text);
            if (!list_.emplace(id, clean).second) ++report_.merged;
        }

    private:
        NameList& list_;
    } emit(file, list, report);
    read_lines(in, file, format, *found->domains(DomainOptions{}), emit, report);
}

std::string names_text(const NameList& list) {
    std::string text;
    for (const auto& [id, name] : list) text += id + "\t" + name + "\n";
    return text;
}

}  // namespace ddinfer
