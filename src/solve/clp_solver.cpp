// clp linked in: the exact presolve, CLP, the check on the full programme;
// no child process and no report to read. The LP file is written only when
// someone will read it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "solve/clp_inprocess.h"
#include "solve/face_sampler.h"
#include "solve/solver.h"

namespace ddinfer {
namespace {

class ClpFace : public OptimalFace {
public:
    ClpFace(const protdom& network, const inter_table& pint, const inter_table& dint, float err_ratio)
        : sampler_(network, pint, dint, err_ratio) {
        for (double value : sampler_.classic()) classic_.push_back(std::min(1.0, settled(value)));
    }
    const std::vector<double>& classic() const override { return classic_; }
    std::string sample(int, const std::vector<double>& u, std::vector<double>& x) const override {
        return sampler_.sample(u, x);
    }

private:
    FaceSampler sampler_;
    std::vector<double> classic_;
};

class ClpSolver : public Solver {
public:
    explicit ClpSolver(bool write_mps) : write_mps_(write_mps) {}

    std::string program() const override { return "clp"; }
    std::string missing() const override { return ""; }
    std::string advice(long) const override { return ""; }

    SolveOutcome solve(const SolveJob& job, inter_table& dint, std::ostream& err, ReportSums* sums) const override {
        SolveOutcome outcome;
        RunFiles files = job.files;
        if (job.keep_files) {
            errno = 0;
            if (LP_out(job.network, job.pint, dint, files.lp, job.err_ratio, job.costs) != 0) {
                err << files.lp << ": cannot write: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
                outcome.programme_written = false;
                return outcome;
            }
            std::remove(files.out.c_str());
        } else {
            files.out.clear();  // no listing either
        }
        outcome.solved =
            clp_in_process(job.network, job.pint, dint, files, job.err_ratio, job.costs, write_mps_, err, sums,
                           job.shuffled ? Start::lightweight_idiot_bare : Start::idiot, job.only_values) == 0;
        return outcome;
    }

    std::unique_ptr<OptimalFace> optimal_face(const protdom& network, const inter_table& pint, const inter_table& dint,
                                              float err_ratio, const std::filesystem::path&, bool) const override {
        return std::make_unique<ClpFace>(network, pint, dint, err_ratio);
    }

private:
    bool write_mps_;
};

}  // namespace

std::unique_ptr<Solver> make_clp(bool write_mps) { return std::make_unique<ClpSolver>(write_mps); }

}  // namespace ddinfer
