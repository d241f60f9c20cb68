// The candidate domain pairs: every unordered pair of domains (d1, d2) such
// that some interacting protein pair joins a protein carrying d1 with one
// carrying d2. Candidates are numbered in the order in which a walk over the
// interaction list first meets them; they are the x(i,j) of the programme.
#pragma once

#include <iosfwd>

#include "core/network.h"

namespace ddinfer {

// Indexes the protein pairs (the later record of a repeated pair wins) and
// sets every one active, then builds dint: a <= b, value 0.0, and active = 1
// where some active protein pair joins a member of a with a member of b, as
// the domains' member lists say. Prints "Available domain pairs: %d".
void construct_dint(const protdom& network, inter_table& pint, inter_table& dint, std::ostream& out);

// The two steps of construct_dint apart: a null model that keeps the
// interactions builds its candidates over the real network's indexed pairs,
// shared by every run, instead of indexing a copy of them each run.
void index_pint(inter_table& pint);
void build_dint(const protdom& network, const inter_table& pint, inter_table& dint, std::ostream& out);

}  // namespace ddinfer
