// The clp path without a child process: the programme is built in memory,
// reduced by the exact presolve, solved by COIN-OR CLP's primal simplex
// (with CLP's own presolve, as the clp program runs it), mapped back to the
// full programme and checked there.
#pragma once

#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/network.h"
#include "solve/clp_model.h"
#include "solve/presolve.h"
#include "core/solution_report.h"
#include "solve/solver.h"

class ClpSimplex;

namespace ddinfer {

// Solves, stores the value of every x, clamped to [0, 1], into its
// available dint record, and writes files.out as a solution listing in the
// clp layout ("Optimal - objective value Z", then number, name, value and
// 0 a column; none when files.out is empty). With `write_mps` the full
// programme goes to files.mps too.
// Returns 0, or 1 after one message on `err`.
// `start`: how CLP starts (Start::idiot on a real network, measured faster
// there; Start::lightweight_idiot on a null model's).
int clp_in_process(const protdom& network, const inter_table& pint, inter_table& dint, const RunFiles& files,
                   float err_ratio, const Costs& costs, bool write_mps, std::ostream& err, ReportSums* sums,
                   Start start = Start::idiot);

// Samples the optimal face of the classic (unit-cost) programme: solves it
// once, reduced by the presolve, then fixes every column whose reduced cost
// exceeds 1e-6 in size at its bound and makes every row whose dual exceeds
// 1e-6 in size an equality. Each sample minimises sum u x over that face;
// of candidates that the presolve found identical the one with the
// smallest u takes the value. Every sample is checked as an optimum of the
// full classic programme (every row satisfied, the budget kept, the sum of
// x equal to the optimum within 1e-6 relative). Candidates that the
// presolve dropped as dominated stay 0 in every sample.
class FaceSampler {
public:
    // Throws Error when the classic programme has no optimum.
    FaceSampler(const protdom& network, const inter_table& pint, const inter_table& dint, float err_ratio);
    ~FaceSampler();
    double optimum() const { return optimum_; }
    // The classic solution, by candidate record.
    const std::vector<double>& classic() const { return classic_; }
    // x by candidate record for costs u by candidate record; "" or what
    // failed. May run on several threads at once.
    std::string sample(const std::vector<double>& u, std::vector<double>& x) const;

private:
    Programme full_;
    Reduced reduced_;
    std::unique_ptr<ClpSimplex> face_;
    std::size_t records_;
    std::vector<double> classic_;
    double optimum_ = 0;
    std::vector<std::vector<int>> column_members_, folded_members_;
    mutable std::mutex mutex_;
};

// Sets of two or more candidates that stand in exactly the same rows of
// the programme (the domain pairs the data cannot tell apart), each in
// record order, the sets by their first record.
std::vector<std::vector<int>> identical_columns(const protdom& network, const inter_table& pint,
                                                const inter_table& dint);

}  // namespace ddinfer
