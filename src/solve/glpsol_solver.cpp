// glpsol as a child process: the LP file in, its printed report read back.
// The optimal face is read from the classic report's Marginal columns and
// written as an LP file of its own for every sample.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>

#include <sys/statvfs.h>

#include "core/error.h"
#include "solve/solver.h"

namespace ddinfer {
namespace {

std::string first_line(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "failed" : line;
}

// Why glpsol could not write its report, from its log ("Write error on
// 'X' - No space left on device"), or from the disk when the log holds no
// word of it (a full disk may take the log too); "" when nothing shows it.
std::string report_write_failure(const std::string& log_path, const std::string& report) {
    std::ifstream log(log_path);
    std::string line;
    for (int n = 0; n < 10000 && std::getline(log, line); ++n) {
        if (line.rfind("Write error on", 0) == 0 || line.rfind("Unable to create", 0) == 0) {
            return "the solver could not write its report " + report + ": " + line;
        }
    }
    const std::size_t slash = report.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : report.substr(0, slash + 1);
    struct statvfs disk;
    if (statvfs(folder.c_str(), &disk) == 0 && static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize < 65536) {
        return "the solver could not write its report " + report + " whole: its disk is full";
    }
    return "";
}

// Runs glpsol on files.lp and reads its report into dint; false after a
// message on `err`.
bool run_and_read(CommandRunner& runner, const RunFiles& files, const std::string& log_path, const protdom& network,
                  const inter_table& pint, inter_table& dint, std::ostream& err, ReportSums* sums) {
    bool ok = true;
    // Never read an earlier run's report as if it were this one's.
    std::remove(files.out.c_str());
    err.flush();
    std::fflush(nullptr);
    const ProcessResult run = runner.run(glpsol_command(files), log_path);
    park_if_stopping();
    if (!run.ok()) {
        err << "glpsol " << run.describe() << "\n";
        ok = false;
    }
    // A report cut short by the disk is no report of the programme.
    if (const std::string why = report_write_failure(log_path, files.out); !why.empty()) {
        err << why << "\n";
        return false;
    }
    if (my_parse_glp(files.out, network, pint, dint, err, sums) != 0) ok = false;
    return ok;
}

void discard(const RunFiles& files) {
    for (const std::string& f : {files.lp, files.mps, files.out, files.out + ".log"}) std::remove(f.c_str());
}

class GlpsolFace : public OptimalFace {
public:
    GlpsolFace(CommandRunner& runner, const Solver& solver, const protdom& network, const inter_table& pint,
               const inter_table& dint, float err_ratio, std::filesystem::path work, bool keep)
        : runner_(runner), network_(network), pint_(pint), dint_(dint), err_ratio_(err_ratio),
          work_(std::move(work)), keep_(keep) {
        const RunFiles files = run_files((work_ / "classic").string(), err_ratio_);
        inter_table classic_dint = dint_;
        std::ostringstream messages;
        ReportSums sums;
        const Costs unit;
        if (!solver.solve(SolveJob{network_, pint_, err_ratio_, unit, files, files.out + ".log"}, classic_dint,
                          messages, &sums)
                 .solved) {
            throw Error(first_line(messages.str()));
        }
        optimum_ = sums.x_sum;
        for (const inter& record : classic_dint.list) classic_.push_back(record.value);
        marginals_ = read_glp_marginals(files.out);
        if (!keep_) discard(files);
    }

    const std::vector<double>& classic() const override { return classic_; }

    std::string sample(int run, const std::vector<double>& u, std::vector<double>& x) const override {
        const RunFiles files = run_files((work_ / ("run" + std::to_string(run))).string(), err_ratio_);
        if (face_LP_out(network_, pint_, dint_, files.lp, err_ratio_, u, marginals_.rows, marginals_.columns) != 0) {
            return files.lp + ": cannot write";
        }
        inter_table run_dint = dint_;
        for (inter& record : run_dint.list) record.value = 0.0;
        std::ostringstream messages;
        ReportSums sums;
        if (!run_and_read(runner_, files, files.out + ".log", network_, pint_, run_dint, messages, &sums)) {
            return first_line(messages.str());
        }
        if (std::fabs(sums.x_sum - optimum_) > 1e-6 * std::max(1.0, std::fabs(optimum_))) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "the sampled solution is no optimum of the classic programme (sum of x %.10g, not %.10g)",
                          sums.x_sum, optimum_);
            return text;
        }
        x.clear();
        for (const inter& record : run_dint.list) x.push_back(record.value);
        if (!keep_) discard(files);
        return "";
    }

private:
    CommandRunner& runner_;
    const protdom& network_;
    const inter_table& pint_;
    const inter_table& dint_;
    float err_ratio_;
    std::filesystem::path work_;
    bool keep_;
    double optimum_ = 0;
    std::vector<double> classic_;
    Marginals marginals_;
};

class GlpsolSolver : public Solver {
public:
    explicit GlpsolSolver(CommandRunner& runner) : runner_(runner) {}

    std::string program() const override { return "glpsol"; }

    std::string missing() const override {
        if (on_path("glpsol")) return "";
        return "the solver glpsol is not on PATH; install it (Debian: apt-get install glpk-utils)";
    }

    std::string advice(long rows) const override {
        return rows > 100000 ? "note: the programme has more than 100,000 rows; --solver clp solves it far faster"
                             : "";
    }

    SolveOutcome solve(const SolveJob& job, inter_table& dint, std::ostream& err, ReportSums* sums) const override {
        SolveOutcome outcome;
        errno = 0;
        if (LP_out(job.network, job.pint, dint, job.files.lp, job.err_ratio, job.costs) != 0) {
            err << job.files.lp << ": cannot write: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
            outcome.programme_written = false;
            return outcome;
        }
        outcome.solved = run_and_read(runner_, job.files, job.log_path, job.network, job.pint, dint, err, sums);
        if (outcome.solved && job.only_values != nullptr) take_values(dint, *job.only_values);
        return outcome;
    }

    std::unique_ptr<OptimalFace> optimal_face(const protdom& network, const inter_table& pint, const inter_table& dint,
                                              float err_ratio, const std::filesystem::path& work,
                                              bool keep) const override {
        return std::make_unique<GlpsolFace>(runner_, *this, network, pint, dint, err_ratio, work, keep);
    }

private:
    CommandRunner& runner_;
};

}  // namespace

std::unique_ptr<Solver> make_glpsol(CommandRunner& runner) { return std::make_unique<GlpsolSolver>(runner); }

}  // namespace ddinfer
