// The table of formats: what --format takes, what --help says of each, the
// options each reads, and how each is recognised from its first line.
#include "prep/format.h"

namespace ddinfer {

const std::vector<Format>& formats() {
    static const std::vector<Format> table{
        {"pairs",
         "biogrid-tab3",
         {"BioGRID TAB3; --id uniprot (SWISS-PROT, else", "TREMBL accessions; default), entrez or systematic;",
          "--physical keeps physical systems only"},
         {"id", "physical", "taxon", "no-self", "self"},
         looks_like_biogrid,
         biogrid_reader,
         nullptr},
        {"pairs",
         "mitab",
         {"PSI-MITAB 2.5 to 2.7: the first uniprotkb: id"},
         {"taxon", "no-self", "self"},
         looks_like_mitab,
         mitab_reader,
         nullptr},
        {"pairs",
         "string",
         {"STRING links; --min-score N on combined_score;", "--aliases FILE maps ids to UniProt_AC aliases"},
         {"min-score", "aliases", "no-self", "self"},
         looks_like_string,
         string_reader,
         nullptr},
        {"pairs",
         "tsv",
         {"two names a line; # comments; --header skips line 1"},
         {"header", "no-self", "self"},
         nullptr,
         pair_table_reader,
         nullptr},
        {"domains",
         "pfam-regions",
         {"Pfam-A regions (uniprot_acc, pfamA_acc columns)"},
         {"keep-versions", "proteins"},
         looks_like_pfam_regions,
         nullptr,
         pfam_regions_reader},
        {"domains",
         "interpro",
         {"InterPro protein2ipr (protein, IPR id, ...)"},
         {"keep-versions", "proteins"},
         looks_like_interpro,
         nullptr,
         interpro_reader},
        {"domains",
         "uniprot",
         {"a UniProt export with Entry and Pfam columns"},
         {"keep-versions", "proteins"},
         looks_like_uniprot,
         nullptr,
         uniprot_reader},
        {"domains",
         "tsv",
         {"protein and domain a line; # comments; --header"},
         {"header", "keep-versions", "proteins"},
         nullptr,
         nullptr,
         domain_table_reader},
        {"names", "pfam-clans", {"Pfam-A.clans.tsv: family, clan, name, description"}, {}, nullptr, nullptr,
         pfam_clans_reader},
        {"names", "interpro-entries", {"InterPro entry.list: ENTRY_AC, ENTRY_TYPE, ENTRY_NAME"}, {}, nullptr, nullptr,
         interpro_entries_reader},
        {"names", "biogrid-tab3", {"BioGRID TAB3: each interactor's official symbol;", "--id as for pairs (protein names)"}, {"id"}, nullptr, nullptr,
         biogrid_names_reader},
        {"names", "uniprot", {"a UniProt export: Entry and the first of Gene Names", "(protein names, for ddinfer-explain)"}, {}, nullptr, nullptr,
         uniprot_gene_names_reader},
        {"map", "interpro", {"InterPro protein2ipr: each entry with its member signatures"}, {}, nullptr, nullptr,
         interpro_map_reader},
    };
    return table;
}

const Format* find_format(const std::string& kind, const std::string& name) {
    for (const Format& format : formats()) {
        if (format.kind == kind && format.name == name) return &format;
    }
    return nullptr;
}

std::string recognised_format(const std::string& first_line) {
    for (const Format& format : formats()) {
        if (format.recognises != nullptr && format.recognises(first_line)) return format.name;
    }
    return "";
}

}  // namespace ddinfer
