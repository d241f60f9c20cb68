// libFuzzer target: ddinfer-prep's readers of downloads on any bytes, the
// first byte choosing the format and options, then the written interaction
// list or domain file read back by ddinfer's own readers: every name must
// read back as it was written, and every pair and membership be there.
#include <sstream>
#include <string>

#include "core/error.h"
#include "core/network.h"
#include "prep/prep.h"
#include "core/readers.h"

namespace {

using namespace ddinfer;

void check_pairs(const PairList& list) {
    protdom network;
    inter_table pint;
    std::ostringstream quiet;
    std::istringstream in(pairs_text(list));
    const int declared = read_count_line(in, "pairs", "protein pairs");
    readpint(network, pint, in, "pairs", declared, Streams{quiet, quiet}, true);
    if (pint.n != static_cast<int>(list.pairs().size())) __builtin_trap();
    for (int k = 0; k < pint.n; ++k) {
        if (network.prot[pint.list[k].a].name != list.pairs()[k].first) __builtin_trap();
        if (network.prot[pint.list[k].b].name != list.pairs()[k].second) __builtin_trap();
    }
}

void check_domains(const DomainList& list) {
    // Every member as a protein of a pair list, so that every domain is kept.
    std::string pairs;
    long count = 0;
    for (const auto& [domain, members] : list.domains()) {
        for (const std::string& protein : members) {
            pairs += protein + " " + protein + "\n";
            ++count;
        }
    }
    protdom network;
    inter_table pint;
    std::ostringstream quiet;
    std::istringstream pin(std::to_string(count) + "\n" + pairs), din(domains_text(list));
    readpint(network, pint, pin, "pairs", read_count_line(pin, "pairs", "protein pairs"), Streams{quiet, quiet}, true);
    network.ndom = read_count_line(din, "domains", "domain lines");
    creat_protdom(network, din, "domains", Streams{quiet, quiet}, nullptr, true);
    if (network.ndom != static_cast<int>(list.domains().size())) __builtin_trap();
    for (int d = 0; d < network.ndom; ++d) {
        const auto& [name, members] = list.domains()[static_cast<std::size_t>(d)];
        if (network.dom[d].name != name || network.dom[d].n != static_cast<int>(members.size())) __builtin_trap();
        for (int m = 0; m < network.dom[d].n; ++m) {
            if (network.prot[network.dom[d].links[m]].name != members[static_cast<std::size_t>(m)]) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned choice = data[0];
    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    PrepReport report;
    try {
        if (choice & 1) {
            static const char* const formats[] = {"biogrid-tab3", "mitab", "string", "tsv"};
            PairOptions options;
            options.format = formats[(choice >> 1) & 3];
            options.id = (choice & 8) ? "entrez" : "uniprot";
            options.physical = choice & 16;
            options.taxon = (choice & 32) ? 9606 : -1;
            options.min_score = (choice & 32) ? 400 : -1;
            options.header = choice & 64;
            options.keep_isoforms = choice & 64;
            options.self = choice & 128;
            PairList list;
            prep_pairs(in, "in", options, list, report);
            check_pairs(list);
        } else {
            static const char* const formats[] = {"pfam-regions", "interpro", "uniprot", "tsv"};
            DomainOptions options;
            options.format = formats[(choice >> 1) & 3];
            options.header = choice & 8;
            options.keep_isoforms = choice & 16;
            options.keep_versions = choice & 32;
            DomainList list;
            prep_domains(in, "in", options, list, report);
            check_domains(list);
        }
    } catch (const Error&) {
        return 0;
    }
    return 0;
}
