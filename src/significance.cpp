#include "significance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <ostream>
#include <sstream>

#include "batch.h"
#include "cli.h"
#include "dint.h"
#include "driver.h"
#include "error.h"
#include "permut.h"
#include "readers.h"
#include "solver.h"

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-null [--model 1|2|3] [--solver glpsol|clp] [--runs N] [--seed S] [--jobs J] [--keep] "
    "PAIRS DOMAINS RATIO\n";

const char* const help_text =
    "  Tests every domain pair inferred from the real network against N randomised\n"
    "  networks and writes PAIRS.RATIO.m<MODEL>.null.tsv.\n"
    "  --model 1   every protein gets new domains, as many as it had\n"
    "  --model 2   the same, keeping every domain's number of members too (default)\n"
    "  --model 3   a new random interaction list over the proteins with domains\n"
    "  --solver    glpsol (default) or clp\n"
    "  --runs N    randomised networks, default 100\n"
    "  --seed S    default 1; the same seed gives the same file whatever --jobs is\n"
    "  --jobs J    solver runs at once, default the number of cores\n"
    "  --keep      keep the working folder of LP files and reports\n";

std::string first_line(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "failed" : line;
}

std::string g(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

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
    ParsedArgs args;
    std::unique_ptr<Solver> solver;
    int model = 2, runs = 100, jobs = 1;
    unsigned long long seed = 1;
    float err_ratio = 0;
    try {
        args = parse_args(argc, argv,
                          {{"model", true}, {"solver", true}, {"runs", true}, {"seed", true}, {"jobs", true},
                           {"keep", false}, {"help", false}});
        if (args.has("help")) {
            out << usage_line << help_text;
            return 0;
        }
        model = static_cast<int>(args.get_long("model", 2, 1, 3));
        runs = static_cast<int>(args.get_long("runs", 100, 1, 1000000));
        seed = static_cast<unsigned long long>(args.get_long("seed", 1, 0, 9223372036854775807L));
        jobs = static_cast<int>(args.get_long("jobs", default_jobs(), 1, 1024));
        solver = make_solver(args.get("solver", "glpsol"));
        if (!solver) throw UsageError("--solver takes glpsol or clp, not \"" + args.get("solver", "") + "\"");
        if (args.positional.size() != 3) throw UsageError("expected three arguments: PAIRS DOMAINS RATIO");
        err_ratio = parse_ratio(args.positional[2].c_str());
        if (!std::isfinite(err_ratio)) throw UsageError("RATIO must be a finite number");
    } catch (const UsageError& e) {
        err << "ddinfer-null: " << e.what() << "; " << usage_line;
        return 2;
    }
    const std::string& pint_path = args.positional[0];

    protdom network;
    inter_table pint, dint;
    try {
        readdata(network, pint, pint_path, args.positional[1], Streams{out, err});
    } catch (const Error& e) {
        err << "ddinfer-null: " << e.what() << "\n";
        return 1;
    }
    const protdom read_network = network;
    const inter_table read_pint = pint;
    construct_dint(network, pint, dint, out);

    std::unique_ptr<WorkDir> work;
    try {
        work = std::make_unique<WorkDir>("ddinfer-null", args.has("keep"));
    } catch (const Error& e) {
        err << "ddinfer-null: " << e.what() << "\n";
        return 1;
    }
    if (args.has("keep")) err << "working folder: " << work->path().string() << "\n";

    const RunFiles observed_files = run_files((work->path() / "observed").string(), err_ratio);
    std::ostringstream messages;
    if (write_and_solve(*solver, runner, network, pint, dint, observed_files, err_ratio, {},
                        observed_files.out + ".log", messages) != 0) {
        err << "ddinfer-null: the real network: " << first_line(messages.str()) << "\n";
        return 1;
    }
    std::vector<int> chosen;  // the inferred pairs, in record order
    for (int r = 0; r < dint.n; ++r) {
        if (dint.list[r].value >= 0.5) chosen.push_back(r);
    }

    // reached[run - 1][i]: the run's value of chosen pair i reached the observed one
    std::vector<std::vector<char>> reached(static_cast<std::size_t>(runs));
    const bool keep = args.has("keep");
    auto one_run = [&](int run) -> std::string {
        protdom shuffled = read_network;
        inter_table shuffled_pint = read_pint;
        SeededRandom random(seed, static_cast<std::uint64_t>(run));
        if (shuffle(model, shuffled, shuffled_pint, random) != 0) {
            return "run " + std::to_string(run) + ": model " + std::to_string(model) +
                   " cannot shuffle this network (a protein holds more domain places than there are domains, "
                   "or there are too few places or distinct pairs to draw)";
        }
        inter_table run_dint;
        std::ostringstream quiet, run_messages;
        construct_dint(shuffled, shuffled_pint, run_dint, quiet);
        const RunFiles files = run_files((work->path() / ("run" + std::to_string(run))).string(), err_ratio);
        const int status = write_and_solve(*solver, runner, shuffled, shuffled_pint, run_dint, files, err_ratio, {},
                                           files.out + ".log", run_messages);
        if (!keep) {
            for (const std::string& f : {files.lp, files.mps, files.out, files.out + ".log"}) std::remove(f.c_str());
        }
        if (status != 0) return "run " + std::to_string(run) + ": " + first_line(run_messages.str());
        std::vector<char>& mine = reached[static_cast<std::size_t>(run - 1)];
        mine.resize(chosen.size());
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            const inter& pair = dint.list[chosen[i]];
            const int r = run_dint.index.get(pair.a, pair.b);
            const double value = r >= 0 ? run_dint.list[r].value : 0.0;
            mine[i] = value >= pair.value;
        }
        return "";
    };
    Progress progress(err, runs, terminal);
    const std::string failure = run_pool(runs, jobs, one_run, progress);
    if (!failure.empty()) {
        err << "ddinfer-null: " << failure << "\n";
        return 1;
    }

    std::vector<int> hits(chosen.size(), 0);
    std::vector<double> p(chosen.size());
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        for (const std::vector<char>& run : reached) hits[i] += run[i];
        p[i] = (hits[i] + 1.0) / (runs + 1.0);
    }
    const std::vector<double> q = bh_adjust(p);
    std::vector<std::size_t> order(chosen.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });

    std::string table = "domain_a\tdomain_b\tvalue\thits\truns\tp_value\tq_value\n";
    for (std::size_t i : order) {
        const inter& pair = dint.list[chosen[i]];
        table += network.dom[pair.a].name + "\t" + network.dom[pair.b].name + "\t" + g(pair.value) + "\t" +
                 std::to_string(hits[i]) + "\t" + std::to_string(runs) + "\t" + g(p[i]) + "\t" + g(q[i]) + "\n";
    }
    const std::string result = pint_path + "." + ratio_text(err_ratio) + ".m" + std::to_string(model) + ".null.tsv";
    if (!write_whole(result, table)) {
        err << "ddinfer-null: cannot write " << result << "\n";
        return 1;
    }
    err << "wrote " << result << "\n";
    return 0;
}

}  // namespace ddinfer
