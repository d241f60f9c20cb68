#include "core/readers.h"


#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <string_view>
#include <unordered_map>

#include "core/error.h"
#include "core/input_file.h"
#include "core/lines.h"

namespace ddinfer {
namespace {

constexpr std::string_view pair_separators = "\t\n\r ";
constexpr std::string_view member_separators = " \t\r\n";

// Splits off the next field of `line` at `seps`, starting at `pos`; returns
// an empty view when the line is used up.
std::string_view next_field(std::string_view line, std::size_t& pos, std::string_view seps) {
    const std::size_t begin = line.find_first_not_of(seps, pos);
    if (begin == std::string_view::npos) {
        pos = line.size();
        return {};
    }
    std::size_t end = line.find_first_of(seps, begin);
    if (end == std::string_view::npos) end = line.size();
    pos = end;
    return line.substr(begin, end - begin);
}

// Reserving from a declared count guards against a count far beyond what
// any file holds.
std::size_t reservation(long declared) { return static_cast<std::size_t>(std::clamp<long>(declared, 0, 1L << 22)); }

// Name -> protein index; the first protein of a name is the one kept.
// Looked up by string_view without building a string.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};
using NameIndex = std::unordered_map<std::string, int, NameHash, std::equal_to<>>;

}  // namespace

std::unique_ptr<std::istream> open_input(const std::string& path, const std::string& member) {
    return std::make_unique<InputFile>(path, member);
}

int read_count_line(std::istream& in, const std::string& file, const std::string& what) {
    std::string line;
    const bool got = getline_bounded(in, line, file, 1);
    if (in.bad()) throw Error(read_failure(file, in));
    if (!got) throw input_error(file, 1, "expected the number of " + what + ", found an empty file");
    std::size_t pos = line.find_first_not_of(" \t\r\v\f");
    if (pos == std::string::npos) pos = line.size();
    std::size_t digits = pos;
    if (digits < line.size() && (line[digits] == '+' || line[digits] == '-')) ++digits;
    const std::size_t first_digit = digits;
    long value = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
        value = std::min<long>(value * 10 + (line[digits] - '0'), 1L << 40);
        ++digits;
    }
    if (digits == first_digit) {
        throw input_error(file, 1, "expected the number of " + what + " on the first line, found \"" + quoted_input(line) + "\"");
    }
    if (line[pos] == '-') value = -value;
    return static_cast<int>(std::clamp<long>(value, -2147483647L - 1, 2147483647L));
}

void readpint(protdom& network, inter_table& pint, std::istream& in, const std::string& file, int declared,
              const Streams& streams, bool counts_bind) {
    pint.list.clear();
    pint.list.reserve(reservation(declared));
    network.prot.clear();
    network.prot.reserve(reservation(declared));
    NameIndex names;
    names.reserve(reservation(declared));

    auto lookup = [&](std::string_view name) {
        if (auto it = names.find(name); it != names.end()) return it->second;
        const int index = static_cast<int>(network.prot.size());
        names.emplace(std::string(name), index);
        node protein;
        protein.name = std::string(name);
        network.prot.push_back(std::move(protein));
        return index;
    };

    Lines lines(in, file);
    lines.skipped(1);  // the count line
    std::string_view line;
    long line_no = 1;
    while (lines.next(line)) {
        ++line_no;
        std::size_t pos = 0;
        const std::string_view t1 = next_field(line, pos, pair_separators);
        if (t1.empty()) continue;  // a line of separators only
        const std::string_view t2 = next_field(line, pos, pair_separators);
        if (t2.empty()) {
            throw input_error(file, line_no, "expected two protein names, found one (\"" + quoted_input(t1) + "\")");
        }
        inter record;
        record.a = lookup(t1);
        record.b = lookup(t2);
        record.name_a = ShortName(t1);
        record.name_b = ShortName(t2);
        record.value = 1.0;
        pint.list.push_back(std::move(record));
    }
    if (lines.bad()) throw Error(read_failure(file, lines.stream()));

    pint.n = static_cast<int>(pint.list.size());
    if (counts_bind && pint.n < declared) {
        throw Error(file + ": line 1 declares " + std::to_string(declared) + " pairs, but the file holds " +
                    std::to_string(pint.n) + " (cut short?)");
    }
    if (pint.n != declared) {
        streams.err << file << ": warning: line 1 declares " << declared << " pairs, but the file holds " << pint.n
                    << "\n";
    }
    streams.out << "Interacting protein pairs: " << pint.n << "\n";
    streams.out << "Total proteins: " << network.prot.size() << "\n";
    network.nprot = static_cast<int>(network.prot.size());
    pint.nnode = network.nprot;
}

void creat_protdom(protdom& network, std::istream& in, const std::string& file, const Streams& streams,
                   DomainFileNotes* notes, bool counts_bind) {
    std::unordered_map<std::string, long> name_lines;  // for notes: a domain name's first line
    const int declared = network.ndom;
    NameIndex proteins;
    proteins.reserve(network.prot.size());
    for (int p = 0; p < network.nprot; ++p) proteins.try_emplace(network.prot[p].name, p);

    network.dom.clear();
    network.dom.reserve(reservation(declared));
    Lines source(in, file, Lines::default_chunk, max_membership_line_bytes);
    source.skipped(1);  // the count line
    std::string_view text;
    long lines = 0;
    while (source.next(text)) {
        ++lines;
        // The name runs from the first byte that is not a colon to the next
        // colon; a line with no colon after its name has no members.
        const std::size_t start = text.find_first_not_of(':');
        if (start == std::string_view::npos) continue;
        const std::size_t colon = text.find(':', start);
        if (colon == std::string_view::npos) continue;

        if (notes != nullptr) {
            const std::string name(text.substr(start, colon - start));
            if (notes->odd_name.empty() && (name.find(',') != std::string::npos || name.back() == ' ')) {
                notes->odd_name = name;
            }
            const auto [it, added] = name_lines.try_emplace(name, lines + 1);
            if (!added && it->second > 0) {
                if (notes->repeated.empty()) {
                    notes->repeated = name;
                    notes->repeated_first = it->second;
                    notes->repeated_again = lines + 1;
                }
                ++notes->repeated_names;
                it->second = -1;  // counted
            }
        }
        node domain;
        std::size_t pos = colon + 1;
        for (std::string_view member; !(member = next_field(text, pos, member_separators)).empty();) {
            auto it = proteins.find(member);
            if (notes != nullptr) {
                notes->members.emplace_back(member);
                if (it == proteins.end() && notes->unmatched.size() < 2) notes->unmatched.emplace_back(member);
            }
            if (it == proteins.end()) continue;
            domain.link_names.emplace_back(member);
            domain.links.push_back(it->second);
        }
        if (domain.links.empty()) continue;
        domain.name = std::string(text.substr(start, colon - start));
        domain.n = static_cast<int>(domain.links.size());
        network.dom.push_back(std::move(domain));
    }
    if (source.bad()) throw Error(read_failure(file, source.stream()));
    if (counts_bind && lines < declared) {
        throw Error(file + ": line 1 declares " + std::to_string(declared) + " domain lines, but the file holds " +
                    std::to_string(lines) + " (cut short?)");
    }
    if (lines > declared) {
        streams.err << file << ": warning: line 1 declares " << declared << " domain lines, but the file holds "
                    << lines << "\n";
    }

    network.ndom = static_cast<int>(network.dom.size());
    streams.out << "Total domains: " << network.ndom << "\n";

    // Link proteins to their domains; walking the domains in order leaves
    // every protein's domain list in increasing order.
    for (int d = 0; d < network.ndom; ++d) {
        for (int p : network.dom[d].links) {
            network.prot[p].links.push_back(d);
            ++network.prot[p].n;
        }
    }
}

void readdata(protdom& network, inter_table& pint, const std::string& pint_path, const std::string& dom_path,
              const Streams& streams, bool counts_bind) {
    const auto pairs = open_input(pint_path);
    const int declared_pairs = read_count_line(*pairs, pint_path, "protein pairs");
    readpint(network, pint, *pairs, pint_path, declared_pairs, streams, counts_bind);

    const auto domains = open_input(dom_path);
    network.ndom = read_count_line(*domains, dom_path, "domain lines");
    DomainFileNotes notes;
    creat_protdom(network, *domains, dom_path, streams, &notes, counts_bind);
    check_inputs(network, pint, notes, pint_path, dom_path, streams);
}

namespace {

// How the names of one file are written: "uniprotkb:P12345" (a prefix),
// "P12345-2" (an isoform), "PF00069.27" or "ENSP0001.3" (a version).
struct NameShapes {
    std::size_t names = 0, prefixed = 0, isoform = 0, version = 0;
    std::string prefix_example, isoform_example, version_example, plain_example;

    void add(std::string_view name) {
        ++names;
        auto ends_in_number_after = [&](char mark) {
            const std::size_t at = name.find_last_of(mark);
            return at != std::string_view::npos && at > 0 && at + 1 < name.size() &&
                   name.find_first_not_of("0123456789", at + 1) == std::string_view::npos;
        };
        const std::size_t colon = name.find(':');
        const bool prefix = colon != std::string_view::npos && colon > 0 && colon + 1 < name.size();
        prefixed += prefix;
        if (prefix && prefix_example.empty()) prefix_example = name;
        if (!prefix && plain_example.empty()) plain_example = name;
        if (ends_in_number_after('-')) {
            if (isoform++ == 0) isoform_example = name;
        }
        if (ends_in_number_after('.')) {
            if (version++ == 0) version_example = name;
        }
    }
};

// A share of at least 1% on one side and nothing on the other.
bool one_side(std::size_t count, std::size_t names, std::size_t other) {
    return other == 0 && count > 0 && count * 100 >= names;
}

std::string examples(const std::vector<std::string>& names) {
    if (names.empty()) return "no names";
    std::string text = "\"";
    text.append(quoted_input(names[0])).append("\"");
    if (names.size() > 1) text.append(", \"").append(quoted_input(names[1])).append("\"");
    return text;
}

}  // namespace

void check_inputs(const protdom& network, const inter_table& pint, const DomainFileNotes& notes,
                  const std::string& pint_path, const std::string& dom_path, const Streams& streams) {
    int carriers = 0;
    std::vector<std::string> plain;  // pair-side names without a domain, for examples
    for (const node& protein : network.prot) {
        carriers += protein.n > 0;
        if (protein.n == 0 && plain.size() < 2) plain.push_back(protein.name);
    }
    if (carriers == 0 && network.nprot > 0) {
        std::vector<std::string> pair_names;
        for (std::size_t p = 0; p < network.prot.size() && p < 2; ++p) pair_names.push_back(network.prot[p].name);
        std::vector<std::string> domain_names(notes.members.begin(),
                                              notes.members.begin() + std::min<std::size_t>(2, notes.members.size()));
        throw Error("no protein of " + pint_path + " is named in " + dom_path + ": " + pint_path + " has " +
                    examples(pair_names) + ", " + dom_path + " has " + examples(domain_names) +
                    "; are they the same kind of name?");
    }

    long modelled = 0, repeats = 0;
    PairIndex seen;
    seen.reserve(static_cast<std::size_t>(pint.n));
    for (int k = 0; k < pint.n; ++k) {
        const inter& pair = pint.list[k];
        modelled += network.prot[pair.a].n > 0 && network.prot[pair.b].n > 0;
        if (seen.get(pair.a, pair.b) >= 0) {
            ++repeats;
        } else {
            seen.set(pair.a, pair.b, k);
        }
    }
    std::ostream& err = streams.err;
    err << "input check: " << carriers << " of " << network.nprot << " proteins carry a domain; " << modelled << " of "
        << pint.n << " pairs are modelled; repeated pairs (either order): " << repeats << "\n";

    if (carriers * 2 < network.nprot) {
        err << "warning: fewer than half of the proteins of " << pint_path << " carry a domain of " << dom_path
            << " (none for " << examples(plain) << ")\n";
    }
    NameShapes pairs, members;
    for (const node& protein : network.prot) pairs.add(protein.name);
    for (const std::string& name : notes.members) members.add(name);
    auto decorated = [&](const char* what, std::size_t a, std::size_t a_names, const std::string& a_example,
                         std::size_t b, std::size_t b_names, const std::string& b_example) {
        if (one_side(a, a_names, b)) {
            err << "warning: names look decorated: " << what << " in " << pint_path << " (\"" << quoted_input(a_example)
                << "\"), none in " << dom_path << (b_example.empty() ? "" : " (\"" + quoted_input(b_example) + "\")") << "\n";
        } else if (one_side(b, b_names, a)) {
            err << "warning: names look decorated: " << what << " in " << dom_path << " (\"" << quoted_input(b_example)
                << "\"), none in " << pint_path << (a_example.empty() ? "" : " (\"" + quoted_input(a_example) + "\")") << "\n";
        }
    };
    if (pairs.prefixed == pairs.names && members.prefixed == 0 && pairs.names > 0) {
        decorated("every name has a prefix", pairs.prefixed, pairs.names, pairs.prefix_example, 0, members.names,
                  members.plain_example);
    } else if (members.prefixed == members.names && pairs.prefixed == 0 && members.names > 0) {
        decorated("every name has a prefix", 0, pairs.names, pairs.plain_example, members.prefixed, members.names,
                  members.prefix_example);
    }
    decorated("isoform suffixes (-N)", pairs.isoform, pairs.names, pairs.isoform_example, members.isoform,
              members.names, members.isoform_example);
    decorated("version suffixes (.N)", pairs.version, pairs.names, pairs.version_example, members.version,
              members.names, members.version_example);
    if (!notes.repeated.empty()) {
        err << "warning: " << dom_path << ": domain names that stand on more than one line: " << notes.repeated_names
            << " (the first, \"" << quoted_input(notes.repeated) << "\", on lines "
            << notes.repeated_first << " and " << notes.repeated_again
            << "); each line makes a domain of its own\n";
    }
    if (!notes.odd_name.empty()) {
        err << "warning: " << dom_path << ": the domain name \"" << quoted_input(notes.odd_name) << "\" "
            << (notes.odd_name.find(',') != std::string::npos ? "holds a comma" : "ends in a space") << "\n";
    }
}

}  // namespace ddinfer
