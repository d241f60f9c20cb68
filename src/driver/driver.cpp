#include "driver.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <sstream>

#include "atomic_file.h"
#include "cli.h"
#include "dint.h"
#include "error.h"
#include "lp_out.h"
#include "out_doms.h"
#include "readers.h"
#include "solver.h"

namespace ddinfer {
namespace {

const char* const usage_line = "usage: ddinfer [--solver glpsol|clp] [--write-mps] PAIRS DOMAINS RATIO\n";
const char* const help_text =
    "  Infers interacting domain pairs from the protein pairs in PAIRS and the\n"
    "  domain memberships in DOMAINS, leaving at most RATIO of the protein pairs\n"
    "  unexplained (0.1 = 10%). Writes PAIRS.RATIO.lp, PAIRS.RATIO.out and\n"
    "  PAIRS.RATIO.dint beside PAIRS; RATIO in the names as %f prints it.\n"
    "  --solver glpsol   the classic solver (default)\n"
    "  --solver clp      COIN-OR CLP, linked in, after an exact presolve of the\n"
    "                    programme: much faster on whole proteomes\n"
    "  --write-mps       with clp: also write the programme as PAIRS.RATIO.mps\n"
    "  -h, --help        this text;  -V, --version  the version\n"
    "  Options may stand anywhere; -- ends them.\n"
    "  Exit status: 0 done, 1 bad input or a failed stage (no result written),\n"
    "  2 a mistake in the call.\n";

}  // namespace

int ddinfer_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err) {
    // The pipeline draws nothing; the seed serves the null models.
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    const CommandLine command{"ddinfer", usage_line, help_text, {{"solver", true}, {"write-mps", false}}, 3};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    std::unique_ptr<Solver> solver;
    float err_ratio = 0;
    try {
        solver = make_solver(args.get("solver", "glpsol"), args.has("write-mps"));
        if (!solver) throw UsageError("--solver takes glpsol or clp, not \"" + args.get("solver", "") + "\"");
        err_ratio = parse_ratio_argument(args.positional[2]);
    } catch (const UsageError& e) {
        err << "ddinfer: " << e.what() << "; " << usage_line;
        return 2;
    }
    if (const std::string missing = missing_solver(*solver); !missing.empty()) {
        err << "ddinfer: " << missing << "\n";
        return 1;
    }
    err << ratio_warning(err_ratio);
    const std::string& pint_path = args.positional[0];
    const std::string& dom_path = args.positional[1];

    protdom network;
    inter_table pint, dint;
    try {
        readdata(network, pint, pint_path, dom_path, Streams{out, err});
    } catch (const Error& e) {
        err << "ddinfer: " << e.what() << "\n";
        return 1;
    }
    construct_dint(network, pint, dint, out);

    const RunFiles files = run_files(pint_path, err_ratio);
    err << "writing " << files.lp << "\n";
    // The run works under names of its own, so that a run at the same time
    // with the same PAIRS and RATIO never reads its files half made; they
    // take the classic names when the solver is done.
    RunFiles mine;
    try {
        mine = private_run_files(files);
    } catch (const Error& e) {
        err << "ddinfer: " << e.what() << "\n";
        return 1;
    }
    int status = 0;
    errno = 0;
    if (LP_out(network, pint, dint, mine.lp, err_ratio) != 0) {
        err << "ddinfer: " << files.lp << ": cannot write: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
        status = 1;
    }
    ReportSums sums;
    std::ostringstream messages;
    if (solve(*solver, runner, network, pint, dint, mine, err_ratio, {}, "", messages, &sums) != 0) status = 1;
    // Messages name the files as the user will find them.
    std::string text = messages.str();
    for (const auto& [from, to] : {std::pair{mine.lp, files.lp}, {mine.mps, files.mps}, {mine.out, files.out}}) {
        for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
    }
    err << text;
    // An earlier run's report never stands beside this run's programme.
    if (!std::filesystem::exists(mine.out)) std::remove(files.out.c_str());
    for (const auto& [from, to] : {std::pair{mine.lp, files.lp}, {mine.mps, files.mps}, {mine.out, files.out}}) {
        if (std::rename(from.c_str(), to.c_str()) != 0 && errno != ENOENT) {
            err << "ddinfer: cannot rename " << from << " to " << to << ": " << std::strerror(errno) << "\n";
            status = 1;
        }
    }
    if (status != 0) {
        err << "ddinfer: no result written" << (std::filesystem::exists(files.dint) ? "; the earlier " + files.dint + " is left as it was" : std::string()) << "\n";
        return status;
    }
    try {
        AtomicFile result(files.dint);
        result.commit(out_doms(network, dint, result.file()) == 0);
    } catch (const Error& e) {
        err << "ddinfer: " << e.what() << "\n";
        return 1;
    }
    int inferred = 0;
    for (int r = 0; r < dint.n; ++r) inferred += dint.list[r].value >= 0.5;
    char optimum[32];
    std::snprintf(optimum, sizeof optimum, "%.10g", sums.x_sum);
    err << "ddinfer: wrote " << files.dint << ": " << inferred << " inferred pairs, optimum " << optimum << "\n";
    return status;
}

}  // namespace ddinfer
