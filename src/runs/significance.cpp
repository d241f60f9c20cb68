#include "runs/significance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <ostream>
#include <sstream>

#include "runs/batch.h"
#include "core/dint.h"
#include "core/error.h"
#include "core/heap.h"
#include "core/text_out.h"
#include "core/permut.h"
#include "runs/shard.h"
#include "solve/solver.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-null [--model 1|2|3] [--solver clp|glpsol] [--runs N] [--seed S] [--jobs J] [--keep] "
    "[--outdir DIR] [--shard I/S] [-q] PAIRS DOMAINS RATIO\n";

const std::string help_text = batch_help(
    "  Tests every domain pair inferred from the real network against N randomised\n"
    "  networks and writes PAIRS.RATIO.m<MODEL>.null.tsv (its first line records\n"
    "  the call).\n"
    "  --model 1   every protein gets new domains, as many as it had\n"
    "  --model 2   the same, keeping every domain's number of members too (default)\n"
    "  --model 3   a new random interaction list over the proteins with domains\n",
    "  --runs N    randomised networks, default 100\n",
    "ddinfer-null --runs 100 --outdir results pairs.txt domains.txt 0.1");

// `pint` is drawn anew by model 3; the others leave it alone.
int shuffle(int model, protdom& network, inter_table& pint, RandomSource& random) {
    switch (model) {
        case 1:
            return permut_test1(network, random);
        case 2:
            return permut_test2(network, random);
        default:
            return permut_test3(network, pint, random);
    }
}

}  // namespace

std::vector<double> bh_adjust(const std::vector<double>& p) {
    const std::size_t m = p.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });
    std::vector<double> q(m);
    double running = 1.0;
    for (std::size_t i = m; i-- > 0;) {
        running = std::min(running, p[order[i]] * static_cast<double>(m) / static_cast<double>(i + 1));
        q[order[i]] = running;  // equal p values end with equal q
    }
    return q;
}

int null_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err, bool terminal) {
    BatchCall call;
    BatchInput input;
    const BatchCommand command{
        "ddinfer-null", usage_line, help_text, {{"model", true}}, 100, 1000000,
        [](const BatchCall& c) { c.args.get_long("model", 2, 1, 3); },
        [](const BatchCall& c) {
            return c.stem + "." + ratio_text(c.err_ratio) + ".m" + std::to_string(c.args.get_long("model", 2, 1, 3)) +
                   ".null.tsv";
        }};
    if (const int status = open_batch(command, argc, argv, runner, call, input, out, err); status >= 0) return status;
    const int model = static_cast<int>(call.args.get_long("model", 2, 1, 3));
    const protdom& network = input.network;
    const inter_table& pint = input.pint;
    inter_table& dint = input.dint;
    const Solver& solver = *call.solver;
    const float err_ratio = call.err_ratio;
    const int runs = call.runs;
    const std::filesystem::path& work = input.work->path();

    const RunFiles observed_files = run_files((work / "observed").string(), err_ratio);
    std::ostringstream messages;
    FirstSolve first(command, call, "the real network", err);
    const Costs unit;
    if (!solver.solve(SolveJob{network, pint, err_ratio, unit, observed_files, observed_files.out + ".log", call.keep},
                      dint, messages)
             .solved) {
        err << "ddinfer-null: the real network: " << first_line(messages.str()) << "\n";
        return 1;
    }
    first.done();
    struct Chosen {
        int record;  // in the real network's candidate table
        int a, b;    // domains
        double value;
    };
    std::vector<Chosen> chosen;  // the inferred pairs, in record order
    for (int r = 0; r < dint.n; ++r) {
        if (dint.list[r].value >= 0.5) chosen.push_back({r, dint.list[r].a, dint.list[r].b, dint.list[r].value});
    }
    // The runs need only those: the real network's candidate table goes
    // (on a proteome it is among the largest things held while they run).
    const int candidates = dint.n;
    dint = inter_table();

    // The smallest p is 1 / (runs + 1); Benjamini-Hochberg gives k pairs at
    // that p the q value m / (k (runs + 1)) among m tested pairs, below
    // 0.05 only when k > 20 m / (runs + 1).
    const auto tested = static_cast<double>(chosen.size());
    const double needed = std::floor(20.0 * tested / (runs + 1.0)) + 1;
    if (!chosen.empty() && needed > tested / 2) {
        char line[300];
        if (needed > tested) {
            std::snprintf(line, sizeof line,
                          "ddinfer-null: warning: with %d runs the smallest p is 1/%d: no q can be below 0.05 among "
                          "%zu tested pairs; use --runs 40 or more\n",
                          runs, runs + 1, chosen.size());
        } else {
            std::snprintf(line, sizeof line,
                          "ddinfer-null: warning: with %d runs the smallest p is 1/%d: a q below 0.05 needs %.0f of "
                          "the %zu tested pairs at that p; more --runs need fewer\n",
                          runs, runs + 1, needed, chosen.size());
        }
        err << line;
    }

    // reached[run - 1][i]: the run's value of chosen pair i reached the observed one
    std::vector<std::vector<char>> reached(static_cast<std::size_t>(runs));
    auto run_model = [&](int run) -> std::string {
        protdom shuffled = network;
        // Only model 3 draws new interactions: the others share the real
        // ones, indexed once (a copy a run held 165 MB on a proteome of 1.3
        // million pairs).
        inter_table drawn;
        if (model == 3) drawn = pint;
        const inter_table& shuffled_pint = model == 3 ? drawn : pint;
        SeededRandom random(call.seed, static_cast<std::uint64_t>(run));
        if (shuffle(model, shuffled, drawn, random) != 0) {
            return "run " + std::to_string(run) + ": model " + std::to_string(model) +
                   " cannot shuffle this network (a protein holds more domain places than there are domains, "
                   "or there are too few places or distinct pairs to draw)";
        }
        inter_table run_dint;
        std::ostringstream quiet, run_messages;
        if (model == 3) index_pint(drawn);
        build_dint(shuffled, shuffled_pint, run_dint, quiet);
        // The run is read for the chosen pairs' values only: their records
        // are looked up before the solve, which may then release the table.
        WantedValues wanted;
        for (const Chosen& pair : chosen) wanted.records.push_back(run_dint.index.get(pair.a, pair.b));
        const RunFiles files = run_files((work / ("run" + std::to_string(run))).string(), err_ratio);
        // Files that only the solver reads are written only when --keep
        // asks for them, and removed after the run otherwise.
        SolveJob job{shuffled, shuffled_pint, err_ratio, unit, files, files.out + ".log", call.keep};
        job.shuffled = true;
        job.only_values = &wanted;
        const bool solved = solver.solve(job, run_dint, run_messages).solved;
        if (!call.keep) {
            for (const std::string& f : {files.lp, files.mps, files.out, files.out + ".log"}) std::remove(f.c_str());
        }
        if (!solved) return "run " + std::to_string(run) + ": " + first_line(run_messages.str());
        std::vector<char>& mine = reached[static_cast<std::size_t>(run - 1)];
        mine.resize(chosen.size());
        for (std::size_t i = 0; i < chosen.size(); ++i) mine[i] = wanted.values[i] >= chosen[i].value;
        return "";
    };
    auto one_run = [&](int run) {
        const std::string failure = run_model(run);
        return_freed_memory();  // (see there why)
        return failure;
    };
    if (!run_batch(command, call, one_run, err, terminal)) return 1;

    std::vector<NullRow> rows;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        long hits = 0;
        for (const std::vector<char>& run : reached) hits += !run.empty() && run[i];
        const Chosen& pair = chosen[i];
        rows.push_back({pair.record, network.dom[pair.a].name, network.dom[pair.b].name, pair.value, hits});
    }
    const std::string table_path = command.table_path(call);
    const std::string provenance = batch_provenance(command, call, {"--model", std::to_string(model)});
    if (call.shard.active()) {
        std::vector<PartialRow> partial;
        for (const NullRow& row : rows) partial.push_back({row.record, row.a, row.b, exact_text(row.value), row.hits});
        return finish_batch(command, call, call.shard.partial_name(table_path),
                            partial_table(provenance, call.shard, call.fingerprint, partial, candidates), err);
    }
    return finish_batch(command, call, table_path, null_table(provenance, rows, runs), err);
}

std::string null_table(const std::string& provenance, const std::vector<NullRow>& rows, int runs) {
    std::vector<double> p(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) p[i] = (static_cast<double>(rows[i].hits) + 1.0) / (runs + 1.0);
    const std::vector<double> q = bh_adjust(p);
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });

    std::string table = provenance + "domain_a\tdomain_b\tvalue\thits\truns\tp_value\tq_value\n";
    TableEnd end;
    for (std::size_t i : order) {
        const std::string line = rows[i].a + "\t" + rows[i].b + "\t" + format_g(rows[i].value) + "\t" +
                                 std::to_string(rows[i].hits) + "\t" + std::to_string(runs) + "\t" + format_g(p[i]) +
                                 "\t" + format_g(q[i]);
        end.row(line);
        table += line + "\n";
    }
    return table + end.line() + "\n";
}

}  // namespace ddinfer
