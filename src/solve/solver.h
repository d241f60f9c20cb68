// solve/: how a programme is solved, above core/ alone: the solver seam,
// glpsol as a child process, clp linked in, and the exact presolve that
// shrinks the programme before clp sees it.
//
// The seam between what the programme is and how it is solved. A solver
// does one thing: solve this programme for this run, leaving the values in
// the candidate table; and, for ddinfer-robust, it samples the optimal face
// of the classic programme. glpsol runs as a child process on the LP file
// and its report is read back; clp is linked in (after the exact presolve).
// Callers never ask which one they hold.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/lp_out.h"
#include "core/network.h"
#include "solve/process.h"
#include "core/solution_report.h"

namespace ddinfer {

// The files of one run, named from the interaction list path and the ratio
// as "%s.%f.lp" and so on, the ratio widened from single precision.
struct RunFiles {
    std::string lp, mps, out, dint;
};
RunFiles run_files(const std::string& stem, float err_ratio);
// Names of the same shape, unique to this run, beside the given ones:
// STEM.tmp-PID-XXXXXX.lp and so on; the LP file is created empty to claim the
// name. Throws Error with the system's reason.
RunFiles private_run_files(const RunFiles& files);
// "%f" of the single-precision ratio: 0.100000 for 0.1.
std::string ratio_text(float err_ratio);

// What a caller reads of a solve when that is only the values of some
// candidates (a null run: the real network's inferred pairs).
struct WantedValues {
    std::vector<int> records;    // dint records; -1 for a pair that is no candidate there
    std::vector<double> values;  // set by the solve, by records, as a fresh dint would hold them (0 for -1)
};

// The values of `wanted.records` as `dint` holds them.
void take_values(const inter_table& dint, WantedValues& wanted);

// One solve: the programme of these records at this ratio and these costs
// (empty: 1 for every candidate), under these file names.
struct SolveJob {
    const protdom& network;
    const inter_table& pint;
    float err_ratio;
    const Costs& costs;
    RunFiles files;
    std::string log_path;     // where the solver's own output goes; "" passes it through
    bool keep_files = true;   // false: files nobody will read (the LP file and report of a
                              // solver linked in) need not be written
    bool shuffled = false;    // a null model's network: clp starts it another way (measured faster)
    // Set: the caller reads of the solve only these values, and of dint
    // nothing more, so a solver linked in may release dint once the
    // programme is built (with no listing to write). Whatever the solver,
    // the values are in `only_values->values` when solved.
    WantedValues* only_values = nullptr;
};

struct SolveOutcome {
    bool solved = false;            // the values are in dint
    bool programme_written = true;  // the LP file, when one was written, is whole
};

// The classic programme's optimal face, solved once, to sample.
class OptimalFace {
public:
    virtual ~OptimalFace() = default;
    // The classic solution's values, by candidate record, in [0, 1].
    virtual const std::vector<double>& classic() const = 0;
    // x by candidate record minimising sum u x over the face for run `run`
    // (u by record), checked as an optimum of the classic programme; "" or
    // what failed. May run on several threads at once.
    virtual std::string sample(int run, const std::vector<double>& u, std::vector<double>& x) const = 0;
};

class Solver {
public:
    virtual ~Solver() = default;
    // "glpsol" or "clp", as messages name it.
    virtual std::string program() const = 0;
    // "" when the solver can run here, else what to install.
    virtual std::string missing() const = 0;
    // A word to the user for a programme of `rows` rows, or "".
    virtual std::string advice(long rows) const = 0;
    // Writes the LP file (job.files.lp) and solves, storing the value of
    // every x, clamped to [0, 1], into its available dint record. Messages
    // go to `err`, one a failure.
    virtual SolveOutcome solve(const SolveJob& job, inter_table& dint, std::ostream& err,
                               ReportSums* sums = nullptr) const = 0;
    // Solves the classic programme once (its files, if any, in `work`,
    // removed unless `keep`) and returns its optimal face. Throws Error
    // with the first line of what failed.
    virtual std::unique_ptr<OptimalFace> optimal_face(const protdom& network, const inter_table& pint,
                                                      const inter_table& dint, float err_ratio,
                                                      const std::filesystem::path& work, bool keep) const = 0;
};

// "glpsol" (a child process run through `runner`) or "clp" (linked in;
// with `write_mps` it also writes the programme in free MPS); nullptr for
// any other name.
std::unique_ptr<Solver> make_solver(const std::string& name, CommandRunner& runner, bool write_mps = false);

// glpsol's command line for the files of a run.
std::vector<std::string> glpsol_command(const RunFiles& files);

// The solvers, for make_solver.
std::unique_ptr<Solver> make_glpsol(CommandRunner& runner);
std::unique_ptr<Solver> make_clp(bool write_mps);

}  // namespace ddinfer
