// The clp path without a child process: the programme is built in memory,
// reduced by the exact presolve, solved by COIN-OR CLP's primal simplex
// (with CLP's own presolve, as the clp program runs it), mapped back to the
// full programme and checked there.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/network.h"
#include "solve/clp_model.h"
#include "solve/presolve.h"
#include "core/solution_report.h"
#include "solve/solver.h"

namespace ddinfer {

// Solves, stores the value of every x, clamped to [0, 1], into its
// available dint record, and writes files.out as a solution listing in the
// clp layout ("Optimal - objective value Z", then number, name, value and
// 0 a column; none when files.out is empty). With `write_mps` the full
// programme goes to files.mps too.
// Returns 0, or 1 after one message on `err`.
// `start`: how CLP starts (Start::idiot on a real network, measured faster
// there; Start::lightweight_idiot_bare on a null model's). With
// `only_values`, their values are set, and dint is emptied once the
// programme is built when there is no listing to write (its index only
// when there is): on a null model of a proteome scaled to 4x, its 3 million
// candidates hold 170 MB that CLP can use.
int clp_in_process(const protdom& network, const inter_table& pint, inter_table& dint, const RunFiles& files,
                   float err_ratio, const Costs& costs, bool write_mps, std::ostream& err, ReportSums* sums,
                   Start start = Start::idiot, WantedValues* only_values = nullptr);

// Sets of two or more candidates that stand in exactly the same rows of
// the programme (the domain pairs the data cannot tell apart), each in
// record order, the sets by their first record.
std::vector<std::vector<int>> identical_columns(const protdom& network, const inter_table& pint,
                                                const inter_table& dint);

}  // namespace ddinfer
