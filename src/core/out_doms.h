// The inferred pair list: one line "DOMAIN_A\tDOMAIN_B" for every candidate
// whose solution value is at least 0.5, in candidate record order.
#pragma once

#include <cstdio>
#include <string>

#include "core/network.h"

namespace ddinfer {

// Replaces the file at `path`. Returns 1 when it cannot be opened or a write
// or close fails, else 0.
int out_doms(const protdom& network, const inter_table& dint, const std::string& path);

// Writes the lines to an open file without closing it; 1 when a write
// failed.
int out_doms(const protdom& network, const inter_table& dint, std::FILE* file);

}  // namespace ddinfer
