// Optimal solutions of the classic programme picked at random: its optimal
// face, solved once, then one small programme a sample.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/network.h"
#include "solve/presolve.h"

class ClpSimplex;

namespace ddinfer {

// Samples the optimal face of the classic (unit-cost) programme: solves it
// once, reduced by the presolve, as the classic command does (the folded
// rows of one cost and weight one column each, so its classic solution is
// the command's), carries the duals over to the programme that keeps every
// folded row's e apart, then fixes every column whose reduced cost exceeds
// 1e-6 in size at its bound and makes every row whose dual exceeds 1e-6 in
// size an equality. Any optimal duals give the same face: a solution is
// optimal exactly when it is complementary to them. Each sample minimises
// sum u x over that face;
// of candidates that the presolve found identical the one with the
// smallest u takes the value. Every sample is checked as an optimum of the
// full classic programme (every row satisfied, the budget kept, the sum of
// x equal to the optimum within 1e-6 relative). Candidates that the
// presolve dropped as dominated stay 0 in every sample.
//
// What a sample costs. The face is solved without the columns it fixes and
// the rows those settle (once, when the face is made). Most of what is left
// on a proteome is the e of folded rows: each sits in the budget alone, so
// a sample's optimum leaves a folded row unexplained exactly when its u per
// unit of budget exceeds the budget's price. The price hardly moves from
// one sample to the next, so a sample fixes the folded rows far from the
// last price found, or an estimate of it before the first, (at 1 above it,
// at 0 below) and solves only the rest;
// the reduced costs of the fixed ones then prove the optimum that of the
// whole face, or the band is widened around the new price and the sample
// solved again.
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

    // How far from the price a folded row is fixed, at first; and from the
    // estimated price before one is known.
    static constexpr double first_band = 0.01;
    static constexpr double estimate_band = 0.1;

private:
    double price_estimate(const std::vector<double>& ratio) const;
    std::string solve_sample(const std::vector<double>& objective, const std::vector<double>& ratio,
                             std::vector<double>& face_values) const;

    Programme full_;
    Reduced reduced_;
    std::size_t records_;
    std::vector<double> classic_;
    double optimum_ = 0;
    std::vector<std::vector<int>> column_members_, folded_members_;
    // The face without its fixed columns and settled rows.
    std::unique_ptr<ClpSimplex> face_;
    std::vector<int> face_column_;   // column of the whole face of each column of face_
    std::vector<double> fixed_;      // value of every column of the whole face that face_ leaves out
    std::vector<int> folded_column_; // column of face_ of each folded row's e, -1 when fixed
    int budget_row_ = -1;            // the budget's row in face_, -1 when it is settled
    double folded_budget_ = 0;
    mutable std::mutex mutex_;
    mutable double price_ = -1;      // the budget's last price found (-dual), -1 before the first
};

}  // namespace ddinfer
