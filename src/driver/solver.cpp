#include "solver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "clp_inprocess.h"
#include "error.h"

namespace ddinfer {
namespace {

class Glpsol : public Solver {
public:
    std::string program() const override { return "glpsol"; }
    std::string package() const override { return "glpk-utils"; }
    std::vector<std::string> command(const RunFiles& files) const override {
        return {"glpsol", "--lp", "--simplex", "-o", as_argument(files.out), as_argument(files.lp)};
    }
    int read_report(const std::string& path, const protdom& network, const inter_table& pint, inter_table& dint,
                    std::ostream& err, ReportSums* sums) const override {
        return my_parse_glp(path, network, pint, dint, err, sums);
    }
};

class Clp : public Solver {
public:
    explicit Clp(bool write_mps) : write_mps_(write_mps) {}
    std::string program() const override { return "clp"; }
    std::string package() const override { return "coinor-libclp-dev"; }
    std::vector<std::string> command(const RunFiles&) const override { return {}; }
    int read_report(const std::string&, const protdom&, const inter_table&, inter_table&, std::ostream&,
                    ReportSums*) const override {
        return 1;  // solves in this process: there is no report to read
    }
    bool in_process() const override { return true; }
    int solve_here(const protdom& network, const inter_table& pint, inter_table& dint, const RunFiles& files,
                   float err_ratio, const Costs& costs, std::ostream& err, ReportSums* sums) const override {
        return clp_in_process(network, pint, dint, files, err_ratio, costs, write_mps_, err, sums);
    }

private:
    bool write_mps_;
};

}  // namespace

std::string ratio_text(float err_ratio) {
    const int size = std::snprintf(nullptr, 0, "%f", static_cast<double>(err_ratio));
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%f", static_cast<double>(err_ratio));
    text.resize(static_cast<std::size_t>(size));
    return text;
}

RunFiles run_files(const std::string& stem, float err_ratio) {
    const std::string base = stem + "." + ratio_text(err_ratio);
    return RunFiles{base + ".lp", base + ".mps", base + ".out", base + ".dint"};
}

RunFiles private_run_files(const RunFiles& files) {
    const std::string stem = files.lp.substr(0, files.lp.size() - 3) + ".tmp-XXXXXX";
    std::string lp = stem + ".lp";
    const int fd = mkstemps(lp.data(), 3);
    if (fd < 0) throw Error(files.lp + ": cannot write: " + std::strerror(errno));
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    const std::string base = lp.substr(0, lp.size() - 3);
    return RunFiles{lp, base + ".mps", base + ".out", base + ".dint"};
}

std::string missing_solver(const Solver& solver) {
    if (solver.in_process() || on_path(solver.program())) return "";
    return "the solver " + solver.program() + " is not on PATH; install it (Debian: apt-get install " +
           solver.package() + ")";
}

std::unique_ptr<Solver> make_solver(const std::string& name, bool write_mps) {
    if (name == "glpsol") return std::make_unique<Glpsol>();
    if (name == "clp") return std::make_unique<Clp>(write_mps);
    return nullptr;
}

int solve(const Solver& solver, CommandRunner& runner, const protdom& network, const inter_table& pint,
          inter_table& dint, const RunFiles& files, float err_ratio, const Costs& costs, const std::string& log_path,
          std::ostream& err, ReportSums* sums) {
    if (solver.in_process()) {
        std::remove(files.out.c_str());
        return solver.solve_here(network, pint, dint, files, err_ratio, costs, err, sums);
    }
    int status = 0;
    // Never read an earlier run's report as if it were this one's.
    std::remove(files.out.c_str());
    err.flush();
    std::fflush(nullptr);
    const ProcessResult run = runner.run(solver.command(files), log_path);
    park_if_stopping();
    if (!run.ok()) {
        err << solver.program() << " " << run.describe() << "\n";
        status = 1;
    }
    if (solver.read_report(files.out, network, pint, dint, err, sums) != 0) status = 1;
    return status;
}

int write_and_solve(const Solver& solver, CommandRunner& runner, const protdom& network, const inter_table& pint,
                    inter_table& dint, const RunFiles& files, float err_ratio, const Costs& costs,
                    const std::string& log_path, std::ostream& err, ReportSums* sums) {
    int status = 0;
    errno = 0;
    if (!files.lp.empty() && LP_out(network, pint, dint, files.lp, err_ratio, costs) != 0) {
        err << files.lp << ": cannot write: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
        status = 1;
    }
    if (solve(solver, runner, network, pint, dint, files, err_ratio, costs, log_path, err, sums) != 0) status = 1;
    return status;
}

}  // namespace ddinfer
