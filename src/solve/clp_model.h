// The reduced programme as a CLP model, and how CLP solves it.
#pragma once

#include <string>
#include <vector>

#include "solve/presolve.h"

class ClpSimplex;

namespace ddinfer {

// The reduced programme in CLP: x columns, one e a kept row, one e a folded
// row (cost -c, at most 1) or, given groups, one column a group of folded
// rows (at most its size); the kept rows, then the budget.
// The budget row holds a term for every e, and one row that long makes the
// factorisation of every basis quadratic in the rows (each pivot on an e
// edits it). So its terms are split into blocks of about the square root of
// their number: block k's terms equal its sum s(k), and the sums are at
// most the budget; s >= 0 at no cost. The two say the same, every row stays
// short, and no sum depends on another (a chain of running sums would make
// the basis inverse dense).
void load_reduced(ClpSimplex& model, const Reduced& red, const FoldedGroups* groups = nullptr);

// How a programme is solved, after CLP's presolve unless said otherwise, with no
// SIGINT handler of CLP's own (the commands handle signals themselves, and
// solves run on several threads at once):
//  - idiot: the idiot crash of 4 full passes, then the primal simplex
//    from where it ends: ddinfer's solve (see solve_idiot for why and what
//    was measured).
//  - lightweight_idiot: CLP's own driver with an idiot crash of 3 passes,
//    which it runs as its lightweight variant, then the primal simplex: the
//    optimal face's programme (whose folded rows are not grouped) when the
//    grouped solve's duals do not carry over to it (duals_from_grouped).
//    There, and on the null models, it was the faster: on human BioGRID
//    scaled to 4x, ddinfer-null --runs 2 took 62 s of CPU with it and 78 s
//    with the full passes, ddinfer-robust --runs 5 53 s and 62 s; on human
//    BioGRID itself the two cost the same.
//  - lightweight_idiot_bare: the same without CLP's presolve: the null
//    models' grouped programmes, where the exact presolve has left it
//    nothing to do (on human BioGRID scaled to 4x it removed 10 of 538,000
//    rows of a null model, in 2-3 s of CPU).
//  - dual_slack: the dual simplex from the slack basis, which is dual
//    feasible for any objective of non-negative costs on x (every x at 0,
//    every folded e at whichever bound its cost prefers): the face samples,
//    40-80x faster than starting from the classic optimal basis.
enum class Start { idiot, lightweight_idiot, lightweight_idiot_bare, dual_slack };

// "" once the model holds an optimum, or why not.
std::string solve_model(ClpSimplex& model, Start start);

// The solution of the reduced programme from the solved model; with groups,
// each group's value split among its folded rows.
void read_solution(const ClpSimplex& model, const Reduced& red, ReducedSolution& solution,
                   const FoldedGroups* groups = nullptr);

// The folded rows of one cost and weight as one column each (group_folded),
// loaded into `model` and solved; the solution read with each group's value
// split among its rows. "" or why it failed. CLP's large blocks go back to
// the system meanwhile (LargeBlocksToSystem).
std::string solve_grouped(ClpSimplex& model, const Reduced& red, ReducedSolution& solution, Start start);

// Duals of the programme loaded without groups (`model`, solved or not) from
// an optimum of the one loaded with them (`grouped`), whose solution split
// among the folded rows is `solution`: the grouped rows' duals, and every
// budget block's the budget's. Fills both and returns true when they prove
// that solution optimal for `model` too (complementary slackness on every
// column and row, within the tolerances); false when `model` must be solved.
bool duals_from_grouped(const ClpSimplex& grouped, const ClpSimplex& model, const ReducedSolution& solution,
                        double dual_tolerance, double primal_tolerance, std::vector<double>& dual,
                        std::vector<double>& reduced_cost);

}  // namespace ddinfer
