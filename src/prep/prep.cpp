#include "prep/prep.h"

#include <algorithm>
#include <istream>

#include "core/error.h"
#include "prep/format.h"
#include "core/input_file.h"
#include "prep/text.h"

namespace ddinfer {
namespace {

const char* kind_of(const std::string& format) {
    for (const Format& f : formats()) {
        if (f.name == format) return f.kind == "pairs" ? "pairs" : "domains";
    }
    return "pairs";
}

// A download of another known format is named as such, not read as this
// one (a BioGRID file read as MITAB gives no pair at all).
void check_format(const std::string& line, const std::string& format, const std::string& file) {
    const std::string seen = recognised_format(line);
    if (seen.empty() || seen == format) return;
    throw input_error(file, 1, "this looks like a " + seen + " file, not " + format + ": use ddinfer-prep " +
                                   kind_of(seen) + " --format " + seen);
}

// What every pair goes through: isoforms, names the files cannot hold,
// self-pairs, repeats.
class PairEmit : public Emit {
public:
    PairEmit(const std::string& file, const PairOptions& o, PairList& list, PrepReport& report)
        : Emit(file, report), o_(o), list_(list) {}
    void item(const std::string& first, const std::string& second, long line_no, const std::string& text) override {
        std::string a = first, b = second;
        if (!o_.keep_isoforms) {
            a = strip_number_suffix(a, '-');
            b = strip_number_suffix(b, '-');
        }
        if (unwritable_name(a) || unwritable_name(b)) {
            return skip("names holding white space or control bytes", line_no, text);
        }
        if (a == b && !o_.self) return skip("self-pairs (--no-self)", line_no, text);
        if (a == b) report_.change("self-pairs, kept (--no-self drops them)", file_, line_no, text);
        list_.add(a, b, report_);
    }

private:
    const PairOptions& o_;
    PairList& list_;
};

// What every membership goes through: isoforms, versions, empty and
// unwritable names, colons in domain ids, --proteins, repeats.
class DomainEmit : public Emit {
public:
    DomainEmit(const std::string& file, const DomainOptions& o, DomainList& list, PrepReport& report)
        : Emit(file, report), o_(o), list_(list) {}
    void item(const std::string& first, const std::string& second, long line_no, const std::string& text) override {
        std::string protein = first, domain = second;
        if (!o_.keep_isoforms) protein = strip_number_suffix(protein, '-');
        if (!o_.keep_versions) domain = strip_version(domain);
        if (protein.empty() || domain.empty()) return skip("empty names", line_no, text);
        if (unwritable_name(protein) || unwritable_name(domain)) {
            return skip("names holding white space or control bytes", line_no, text);
        }
        // The domain file ends a domain's name at its first colon.
        if (domain.find(':') != std::string::npos) {
            std::replace(domain.begin(), domain.end(), ':', '_');
            report_.change("domain ids holding a colon, written with _ for it", file_, line_no, text);
        }
        if (o_.proteins != nullptr && o_.proteins->count(protein) == 0) {
            return skip("proteins not in --proteins", line_no, text);
        }
        list_.add(domain, protein, report_);
    }

private:
    const DomainOptions& o_;
    DomainList& list_;
};

}  // namespace

void read_lines(std::istream& in, const std::string& file, const std::string& format, FormatReader& reader, Emit& emit,
                PrepReport& report) {
    std::string line;
    long line_no = 0;
    while (next_line(in, line, file, line_no + 1)) {
        ++line_no;
        if ((++report.lines & 0xffff) == 0 && report.tick) report.tick();
        if (line_no == 1) check_format(line, format, file);
        reader.line(line, line_no, file, emit);
    }
    if (in.bad()) throw Error(read_failure(file, in));
}

void PrepReport::skip(const std::string& reason, const std::string& file, long line, const std::string& text) {
    Skip& s = skipped[reason];
    if (s.count++ == 0) s.first = place(file, line) + ": " + quoted_input(text, 120);
}

void PrepReport::change(const std::string& how, const std::string& file, long line, const std::string& text) {
    Skip& s = changed[how];
    if (s.count++ == 0) s.first = place(file, line) + ": " + quoted_input(text, 120);
}

std::string PrepReport::summary(const std::string& what, const std::string& output) const {
    long total = 0;
    for (const auto& [reason, s] : skipped) total += s.count;
    std::string text;
    for (const std::string& warning : warnings) text += "ddinfer-prep: warning: " + warning + "\n";
    text += "ddinfer-prep: read " + std::to_string(lines) + " lines; skipped " + std::to_string(total) + "\n";
    for (const auto& [reason, s] : skipped) {
        text += "  " + std::to_string(s.count) + " " + reason + ", the first " + s.first + "\n";
    }
    for (const auto& [how, s] : changed) {
        text += "  " + std::to_string(s.count) + " " + how + ", the first " + s.first + "\n";
    }
    text += "ddinfer-prep: wrote " + std::to_string(written) + " " + what + " to " + output + "; merged " +
            std::to_string(merged) + " repeated\n";
    return text;
}

void PairList::add(const std::string& a, const std::string& b, PrepReport& report) {
    const std::string key = a < b ? a + '\t' + b : b + '\t' + a;
    if (!seen_.insert(key).second) {
        ++report.merged;
        return;
    }
    pairs_.emplace_back(a, b);
}

void prep_pairs(std::istream& in, const std::string& file, const PairOptions& o, PairList& list, PrepReport& report) {
    const Format* format = find_format("pairs", o.format);
    if (format == nullptr) throw Error("no pair format " + o.format);
    PairEmit emit(file, o, list, report);
    read_lines(in, file, o.format, *format->pairs(o), emit, report);
}

std::unordered_map<std::string, std::string> read_string_aliases(std::istream& in, const std::string& file) {
    std::unordered_map<std::string, std::string> aliases;
    std::string line;
    for (long line_no = 1; next_line(in, line, file, line_no); ++line_no) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = split(line, "\t");
        if (f.size() >= 3 && f[2].find("UniProt_AC") != std::string::npos) aliases.try_emplace(f[0], f[1]);
    }
    if (in.bad()) throw Error(read_failure(file, in));
    return aliases;
}

void DomainList::add(const std::string& domain, const std::string& protein, PrepReport& report) {
    if (!seen_.insert(domain + '\t' + protein).second) {
        ++report.merged;
        return;
    }
    const auto [it, added] = index_.try_emplace(domain, domains_.size());
    if (added) domains_.emplace_back(domain, std::vector<std::string>());
    domains_[it->second].second.push_back(protein);
}

void prep_domains(std::istream& in, const std::string& file, const DomainOptions& o, DomainList& list,
                  PrepReport& report) {
    const Format* format = find_format("domains", o.format);
    if (format == nullptr) throw Error("no domain format " + o.format);
    DomainEmit emit(file, o, list, report);
    read_lines(in, file, o.format, *format->domains(o), emit, report);
}

std::string pairs_text(const PairList& list) {
    std::string text = std::to_string(list.pairs().size()) + "\n";
    for (const auto& [a, b] : list.pairs()) text += a + " " + b + "\n";
    return text;
}

std::string domains_text(const DomainList& list) {
    std::string text = std::to_string(list.domains().size()) + "\n";
    for (const auto& [domain, members] : list.domains()) {
        text += domain + ":";
        for (const std::string& protein : members) text += " " + protein;
        text += "\n";
    }
    return text;
}

}  // namespace ddinfer
