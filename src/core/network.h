// core/: the lowest folder, on which every other stands. The network
// records, the readers of the two input files (plain, gzip or zip), the
// candidate pair table, the LP file, the solver's solution report, the
// inferred pair list, the null models' shuffles and the files that appear
// whole or not at all. It includes from no other folder.
//
// The records every stage of the pipeline reads or fills: proteins and
// domains with their links both ways, the interacting protein pairs, and the
// candidate domain pairs with their solution values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/pair_index.h"
#include "core/short_name.h"

namespace ddinfer {

// One protein or one domain.
struct node {
    std::string name;
    int n = 0;  // entries in links
    // Domain only: the member proteins' names as the domain file gives them.
    std::vector<std::string> link_names;
    // Protein: indices of its domains, in the order they were linked.
    // Domain: indices of its member proteins, parallel to link_names.
    std::vector<int> links;
};

// The protein-domain network.
struct protdom {
    std::vector<node> prot;
    std::vector<node> dom;
    int nprot = 0;
    int ndom = 0;
};

// One pair of proteins (in pint) or of domains (in dint, with a <= b).
struct inter {
    int a = 0;
    int b = 0;
    ShortName name_a;  // pint only: the names as written on the line
    ShortName name_b;
    double value = 0.0;  // pint: 1.0; dint: the solution value in [0, 1]
    int active = 0;
};

// A list of pairs with a symmetric index over node pairs: index.get(i, j)
// and index.get(j, i) name the same record, -1 where there is none.
struct inter_table {
    std::vector<inter> list;
    int n = 0;
    PairIndex index;
    int nnode = 0;
    int nactive = 0;
};

}  // namespace ddinfer
