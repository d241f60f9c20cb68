#include "runs/robust.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <ostream>
#include <sstream>

#include "runs/batch.h"
#include "core/error.h"
#include "core/text_out.h"
#include "core/solution_report.h"
#include "runs/shard.h"
#include "solve/solver.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-robust [--solver clp|glpsol] [--runs K] [--seed S] [--jobs J] [--keep] [--outdir DIR] "
    "[--shard I/S] [-q] PAIRS DOMAINS RATIO\n";

const std::string help_text = batch_help(
    "  Ranks the inferred domain pairs by how often they are inferred across K\n"
    "  optimal solutions picked at random on the classic programme's optimal\n"
    "  face, and writes PAIRS.RATIO.robust.tsv (its first line records the call).\n",
    "  --runs K    optimal solutions to sample, default 20\n",
    "ddinfer-robust --runs 20 --outdir results pairs.txt domains.txt 0.1");

}  // namespace

Costs perturbed_costs(const inter_table& dint, double d, RandomSource& random) {
    Costs costs(static_cast<std::size_t>(dint.n));
    for (double& cost : costs) cost = 1.0 + d * (random.next() / 2147483648.0);
    return costs;
}

int robust_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err, bool terminal) {
    BatchCall call;
    BatchInput input;
    const BatchCommand command{"ddinfer-robust", usage_line, help_text, {}, 20, 100000, nullptr,
                               [](const BatchCall& c) { return c.stem + "." + ratio_text(c.err_ratio) + ".robust.tsv"; }};
    if (const int status = open_batch(command, argc, argv, runner, call, input, out, err); status >= 0) return status;
    const protdom& network = input.network;
    const inter_table& pint = input.pint;
    inter_table& dint = input.dint;
    const Solver& solver = *call.solver;
    const float err_ratio = call.err_ratio;
    const int runs = call.runs;
    const std::filesystem::path& work = input.work->path();

    std::vector<std::vector<char>> inferred(static_cast<std::size_t>(runs));
    FirstSolve first(command, call, "the classic programme", err);
    // On the optimal face the sum of x is fixed: each run minimises sum u x
    // there, u uniform in [0, 1) from the run's generator.
    std::unique_ptr<OptimalFace> face;
    try {
        face = solver.optimal_face(network, pint, dint, err_ratio, work, call.keep);
    } catch (const Error& e) {
        err << "ddinfer-robust: the classic programme: " << e.what() << "\n";
        return 1;
    }
    const std::vector<double>& classic = face->classic();
    auto one_run = [&](int run) -> std::string {
        SeededRandom random(call.seed, static_cast<std::uint64_t>(run));
        Costs u = perturbed_costs(dint, 1.0, random);
        for (double& cost : u) cost -= 1.0;
        std::vector<double> x;
        if (std::string failure = face->sample(run, u, x); !failure.empty()) {
            return "run " + std::to_string(run) + ": " + failure;
        }
        std::vector<char>& mine = inferred[static_cast<std::size_t>(run - 1)];
        mine.resize(static_cast<std::size_t>(dint.n));
        for (int r = 0; r < dint.n; ++r) mine[r] = x[r] >= 0.5;
        return "";
    };
    first.done();

    if (!run_batch(command, call, one_run, err, terminal)) return 1;

    // Every pair inferred in the classic solution or in a run of this
    // command (of its shard), in record order.
    std::vector<RobustRow> rows;
    for (int r = 0; r < dint.n; ++r) {
        long count = 0;
        for (const std::vector<char>& run : inferred) count += !run.empty() && run[r];
        if (count == 0 && classic[r] < 0.5) continue;
        const inter& pair = dint.list[r];
        rows.push_back({r, network.dom[pair.a].name, network.dom[pair.b].name, classic[r], count});
    }
    const std::string table_path = command.table_path(call);
    const std::string provenance = batch_provenance(command, call, {});
    if (call.shard.active()) {
        std::vector<PartialRow> partial;
        for (const RobustRow& row : rows)
            partial.push_back({row.record, row.a, row.b, exact_text(row.classic), row.count});
        return finish_batch(command, call, call.shard.partial_name(table_path),
                            partial_table(provenance, call.shard, call.fingerprint, partial, dint.n), err);
    }
    return finish_batch(command, call, table_path, robust_table(provenance, std::move(rows), runs), err);
}

std::string robust_table(const std::string& provenance, std::vector<RobustRow> rows, int runs) {
    std::stable_sort(rows.begin(), rows.end(), [](const RobustRow& a, const RobustRow& b) {
        if (a.count != b.count) return a.count > b.count;
        return a.classic > b.classic;
    });
    std::string table = provenance + "domain_a\tdomain_b\tclassic\tfreq\n";
    TableEnd end;
    for (const RobustRow& row : rows) {
        const std::string line =
            row.a + "\t" + row.b + "\t" + format_g(row.classic) + "\t" + format_g(static_cast<double>(row.count) / runs);
        end.row(line);
        table += line + "\n";
    }
    return table + end.line() + "\n";
}

}  // namespace ddinfer
