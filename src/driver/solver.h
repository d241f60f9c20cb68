// The solvers behind one small interface. glpsol runs as a child process
// on the LP file, and its report is read back; clp is linked in and solves
// in this process.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "lp_out.h"
#include "network.h"
#include "process.h"
#include "report.h"

namespace ddinfer {

// The files of one run, named from the interaction list path and the ratio
// as "%s.%f.lp" and so on, the ratio widened from single precision.
struct RunFiles {
    std::string lp, mps, out, dint;
};
RunFiles run_files(const std::string& stem, float err_ratio);
// Names of the same shape, unique to this run, beside the given ones:
// STEM.tmp-XXXXXX.lp and so on; the LP file is created empty to claim the
// name. Throws Error with the system's reason.
RunFiles private_run_files(const RunFiles& files);
// "%f" of the single-precision ratio: 0.100000 for 0.1.
std::string ratio_text(float err_ratio);

class Solver {
public:
    virtual ~Solver() = default;
    virtual std::string program() const = 0;
    // The Debian package that provides the program.
    virtual std::string package() const = 0;
    // A solver run as a child process: its command line and the reader of
    // its report.
    virtual std::vector<std::string> command(const RunFiles& files) const = 0;
    virtual int read_report(const std::string& path, const protdom& network, const inter_table& pint, inter_table& dint,
                            std::ostream& err, ReportSums* sums) const = 0;
    // A solver linked into the tool solves here instead of in a child
    // process; returns 0, or 1 after one message on `err`.
    virtual bool in_process() const { return false; }
    virtual int solve_here(const protdom&, const inter_table&, inter_table&, const RunFiles&, float, const Costs&,
                           std::ostream&, ReportSums*) const {
        return 1;
    }
};

// "glpsol" (a child process) or "clp" (linked in; with `write_mps` it also
// writes the programme in free MPS); nullptr for any other name.
std::unique_ptr<Solver> make_solver(const std::string& name, bool write_mps = false);

// "" when the solver's program is on PATH, else a message naming the
// package to install.
std::string missing_solver(const Solver& solver);

// Everything of one solve after the LP file has been written: the solver's
// own input, the run (a report left by an earlier run is removed first), and
// the report read into dint. Returns 0 when all went well; on a failure, one
// message has gone to `err` and the result is 1.
int solve(const Solver& solver, CommandRunner& runner, const protdom& network, const inter_table& pint,
          inter_table& dint, const RunFiles& files, float err_ratio, const Costs& costs, const std::string& log_path,
          std::ostream& err, ReportSums* sums = nullptr);

// Writes the LP file, then solves as `solve` does; a file that cannot be
// written adds its message and makes the result 1. A solver linked in
// reads no file: with files.lp and files.out empty it writes neither.
int write_and_solve(const Solver& solver, CommandRunner& runner, const protdom& network, const inter_table& pint,
                    inter_table& dint, const RunFiles& files, float err_ratio, const Costs& costs,
                    const std::string& log_path, std::ostream& err, ReportSums* sums = nullptr);

}  // namespace ddinfer
