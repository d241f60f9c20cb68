#include "driver/driver.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <sstream>

#include "core/atomic_file.h"
#include "cli/cli.h"
#include "core/dint.h"
#include "core/error.h"
#include "cli/interrupt.h"
#include "core/lp_out.h"
#include "core/out_doms.h"
#include "core/readers.h"
#include "solve/solver.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer [--solver glpsol|clp] [--write-mps] [--outdir DIR] [-q] PAIRS DOMAINS RATIO\n";
const char* const help_text =
    "  Infers interacting domain pairs from the protein pairs in PAIRS and the\n"
    "  domain memberships in DOMAINS, leaving at most RATIO of the protein pairs\n"
    "  unexplained (0.1 = 10%). Writes PAIRS.RATIO.lp, PAIRS.RATIO.out and\n"
    "  PAIRS.RATIO.dint beside PAIRS; RATIO in the names as %f prints it.\n"
    "  --solver glpsol   the classic solver (default)\n"
    "  --solver clp      COIN-OR CLP, linked in, after an exact presolve of the\n"
    "                    programme: much faster on whole proteomes\n"
    "  --write-mps       with clp: also write the programme as PAIRS.RATIO.mps\n"
    "  --outdir DIR      write the files in DIR (made if missing), not beside PAIRS\n"
    "  -q, --quiet       no solver log; only warnings and errors on standard error\n"
    "  -h, --help        this text;  -V, --version  the version\n"
    "  Options may stand anywhere; -- ends them; - as PAIRS or DOMAINS reads\n"
    "  standard input (the files are then named stdin.RATIO.*).\n"
    "  The companion commands:\n"
    "    ddinfer-prep     the two input files from BioGRID, IntAct, STRING, Pfam,\n"
    "                     InterPro or UniProt downloads\n"
    "    ddinfer-robust   how often each pair is inferred across the optimal solutions\n"
    "    ddinfer-null     significance against randomised networks\n"
    "    ddinfer-rank     every candidate pair ranked by its evidence\n"
    "    ddinfer-eval     precision against a list of known domain pairs\n"
    "    ddinfer-merge    the partial tables of --shard runs added up\n"
    "    ddinfer-report   one HTML page of a run, to look at and to show\n"
    "  Examples:\n"
    "    ddinfer pairs.txt domains.txt 0.1\n"
    "    ddinfer --solver clp --outdir results pairs.txt domains.txt 0.1\n"
    "  Exit status: 0 done, 1 bad input or a failed stage (no result written),\n"
    "  2 a mistake in the call, 130/143 stopped by SIGINT/SIGTERM.\n";

// Rows of the programme: the modelled protein pairs.
long programme_rows(const protdom& network, const inter_table& pint) {
    long rows = 0;
    for (const inter& pair : pint.list) rows += network.prot[pair.a].n > 0 && network.prot[pair.b].n > 0;
    return rows;
}

}  // namespace

int ddinfer_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err) {
    // The pipeline draws nothing; the seed serves the null models.
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    const CommandLine command{
        "ddinfer", usage_line, help_text, {{"solver", true}, {"write-mps", false}, {"outdir", true}}, 3};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    std::unique_ptr<Solver> solver;
    float err_ratio = 0;
    std::string stem;
    try {
        solver = make_solver(args.get("solver", "glpsol"), runner, args.has("write-mps"));
        if (!solver) throw UsageError("--solver takes glpsol or clp, not \"" + args.get("solver", "") + "\"");
        err_ratio = parse_ratio_argument(args.positional[2]);
        stem = output_stem(args, args.positional[0]);
        const RunFiles planned = run_files(stem, err_ratio);
        refuse_output_over_input({planned.lp, planned.mps, planned.out, planned.dint},
                                 {args.positional[0], args.positional[1]});
    } catch (const UsageError& e) {
        err << "ddinfer: " << e.what() << "; " << usage_line;
        return 2;
    }
    if (const std::string missing = solver->missing(); !missing.empty()) {
        err << "ddinfer: " << missing << "\n";
        return 1;
    }
    err << ratio_warning(err_ratio);
    const std::string& pint_path = args.positional[0];
    const std::string& dom_path = args.positional[1];

    // With -q only warnings and errors reach standard error.
    InfoStream info(err, args.has("quiet"));
    protdom network;
    inter_table pint, dint;
    try {
        readdata(network, pint, pint_path, dom_path, Streams{out, info});
    } catch (const Error& e) {
        err << "ddinfer: " << e.what() << "\n";
        return 1;
    }
    construct_dint(network, pint, dint, out);
    if (dint.nactive == 0) {
        err << "ddinfer: no candidate domain pair: no modelled protein pair of " << pint_path
            << " has a domain of " << dom_path << " on both proteins; nothing to solve\n";
        return 1;
    }

    const RunFiles files = run_files(stem, err_ratio);
    if (const std::string note = solver->advice(programme_rows(network, pint)); !note.empty()) {
        info << "ddinfer: " << note << "\n";
    }
    info << "writing " << files.lp << "\n";
    // Told to stop, the run stops its solver and removes its private files.
    InterruptGuard interrupts("ddinfer");
    // The run works under names of its own, so that a run at the same time
    // with the same PAIRS and RATIO never reads its files half made; they
    // take the classic names only when complete.
    RunFiles mine;
    try {
        mine = private_run_files(files);
    } catch (const Error& e) {
        err << "ddinfer: " << e.what() << "\n";
        return 1;
    }
    const std::vector<std::pair<std::string, std::string>> renames{
        {mine.lp, files.lp}, {mine.mps, files.mps}, {mine.out, files.out}};
    for (const auto& [from, to] : renames) mark_unfinished(from);
    auto discard = [&](const std::string& from) {
        std::remove(from.c_str());
        mark_unfinished(from, false);
    };
    auto give_up = [&](int status) {
        for (const auto& [from, to] : renames) discard(from);
        err << "ddinfer: no result written"
            << (std::filesystem::exists(files.dint) ? "; the earlier " + files.dint + " is left as it was" : "")
            << "\n";
        return status;
    };
    ReportSums sums;
    std::ostringstream messages;
    const Costs unit;
    const SolveOutcome outcome = solver->solve(
        SolveJob{network, pint, err_ratio, unit, mine, args.has("quiet") ? "/dev/null" : ""}, dint, messages, &sums);
    // Messages name the files as the user will find them.
    std::string text = messages.str();
    for (const auto& [from, to] : renames) {
        for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
    }
    if (!outcome.programme_written) {
        // A cut programme is neither solved nor kept.
        err << "ddinfer: " << text;
        return give_up(1);
    }
    (outcome.solved ? static_cast<std::ostream&>(info) : err) << text << std::flush;
    // The programme is whole; the report and the MPS file replace earlier
    // ones only when the solve succeeded.
    const int solved = outcome.solved ? 0 : 1;
    int status = solved;
    for (const auto& [from, to] : renames) {
        if ((solved != 0 && from != mine.lp) || !std::filesystem::exists(from)) {
            discard(from);
            continue;
        }
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            err << "ddinfer: cannot rename " << from << " to " << to << ": " << std::strerror(errno) << "\n";
            status = 1;
        }
        discard(from);
    }
    if (status != 0) return give_up(status);
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
    info << "ddinfer: wrote " << files.dint << ": " << inferred << " inferred pairs, optimum " << optimum << "\n";
    return status;
}

}  // namespace ddinfer
