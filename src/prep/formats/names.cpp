// Names and descriptions of domains, for ddinfer-report: Pfam's clans table
// (Pfam-A.clans.tsv: accession, clan, clan name, short name, description)
// and InterPro's entry list (entry.list: ENTRY_AC, ENTRY_TYPE, ENTRY_NAME);
// and maps of one id system to another, for ddinfer-pool.
#include <algorithm>

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

void prep_names(std::istream& in, const std::string& file, const DomainOptions& options, NameList& list,
                PrepReport& report) {
    const Format* found = find_format("names", options.format);
    if (found == nullptr) throw Error("no name format " + options.format);
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
    read_lines(in, file, options.format, *found->domains(options), emit, report);
}

bool IdMap::add(const std::string& from, const std::string& to) {
    if (!seen_.insert(from + '\t' + to).second) return false;
    pairs_.emplace_back(from, to);
    return true;
}

void prep_map(std::istream& in, const std::string& file, const std::string& format, IdMap& map, PrepReport& report) {
    const Format* found = find_format("map", format);
    if (found == nullptr) throw Error("no map format " + format);
    class MapEmit : public Emit {
    public:
        MapEmit(const std::string& file, IdMap& map, PrepReport& report) : Emit(file, report), map_(map) {}
        void item(const std::string& from, const std::string& to, long line_no, const std::string& text) override {
            if (unwritable_name(from) || unwritable_name(to)) {
                return skip("ids holding white space or control bytes", line_no, text);
            }
            // As the domain files write them: a colon would end the name.
            std::string id = to;
            if (id.find(':') != std::string::npos) {
                std::replace(id.begin(), id.end(), ':', '_');
                report_.change("domain ids holding a colon, written with _ for it", file_, line_no, text);
            }
            if (!map_.add(from, id)) ++report_.merged;
        }

    private:
        IdMap& map_;
    } emit(file, map, report);
    read_lines(in, file, format, *found->domains(DomainOptions{}), emit, report);
}

std::string map_text(const IdMap& map) {
    std::string text;
    for (const auto& [from, to] : map.pairs()) text += from + "\t" + to + "\n";
    return text;
}

std::string names_text(const NameList& list) {
    std::string text;
    for (const auto& [id, name] : list) text += id + "\t" + name + "\n";
    return text;
}

}  // namespace ddinfer
