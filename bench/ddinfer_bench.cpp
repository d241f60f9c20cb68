// Benchmark of the tool's own stages, and of the solvers where they finish.
//
//   ddinfer-bench gen PAIRS SEED DIR      writes DIR/pairs.txt, DIR/domains.txt
//   ddinfer-bench run PAIRS DOMAINS RATIO [SOLVER_LIMIT_S]
//   ddinfer-bench presolve PAIRS DOMAINS RATIO
//   ddinfer-bench null PAIRS DOMAINS RATIO [SEED [idiot|lightweight|bare]]
//
// "gen" draws a network like a real interactome: power-law protein degrees,
// a quarter of the proteins without domains, 1 to 6 domains for most of the
// rest, and a skewed domain popularity. "run" times each stage in this
// process and prints one markdown table row; the solvers run under
// `timeout`, and a solver that does not finish is shown as "> limit".
// "null" times the stages of one run of the default null model (its
// shuffle, candidates, programme, presolve, clp with the given start,
// "bare" by default) and the memory resident after each.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/dint.h"
#include "core/heap.h"
#include "core/lp_out.h"
#include "core/out_doms.h"
#include "solve/clp_inprocess.h"
#include "solve/clp_model.h"
#include "core/permut.h"
#include "solve/presolve.h"
#include "solve/process.h"
#include "core/readers.h"
#include "core/solution_report.h"
#include "solve/solver.h"

#include <ClpSimplex.hpp>

namespace fs = std::filesystem;
using namespace ddinfer;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double peak_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Index drawn with probability proportional to (i + 1)^-alpha.
class Zipf {
public:
    Zipf(int n, double alpha) : cumulative_(static_cast<std::size_t>(n)) {
        double total = 0;
        for (int i = 0; i < n; ++i) cumulative_[i] = total += std::pow(i + 1.0, -alpha);
    }
    int draw(SeededRandom& random) const {
        const double x = random.uniform() * cumulative_.back();
        return static_cast<int>(std::upper_bound(cumulative_.begin(), cumulative_.end(), x) - cumulative_.begin());
    }

private:
    std::vector<double> cumulative_;
};

int generate(long pairs, std::uint64_t seed, const fs::path& dir) {
    SeededRandom random(seed, 0);
    const int proteins = static_cast<int>(pairs / 18 + 50);
    const int domains = proteins / 3 + 10;
    const Zipf degree(proteins, 0.8), popularity(domains, 0.9);
    fs::create_directories(dir);

    std::ofstream p(dir / "pairs.txt");
    p << pairs << "\n";
    std::set<std::pair<int, int>> seen;
    while (static_cast<long>(seen.size()) < pairs) {
        int a = degree.draw(random), b = degree.draw(random);
        if (a == b) continue;
        if (!seen.emplace(std::min(a, b), std::max(a, b)).second) continue;
        p << "P" << a << " P" << b << "\n";
    }

    // Domain counts for proteins with domains: mostly 1 to 6, rarely more.
    const double shares[] = {0.45, 0.25, 0.12, 0.08, 0.05, 0.03, 0.02};
    std::vector<std::vector<int>> members(static_cast<std::size_t>(domains));
    for (int protein = 0; protein < proteins; ++protein) {
        if (rand_int(4, random) == 0) continue;
        double x = random.uniform();
        int count = 1;
        for (double s : shares) {
            if ((x -= s) < 0) break;
            ++count;
        }
        if (count == 7) count = 7 + rand_int(8, random);
        std::set<int> mine;
        while (static_cast<int>(mine.size()) < count) mine.insert(popularity.draw(random));
        for (int d : mine) members[d].push_back(protein);
    }
    std::ofstream d(dir / "domains.txt");
    d << domains << "\n";
    for (int i = 0; i < domains; ++i) {
        d << "DOM" << i << ":";
        for (int protein : members[i]) d << " P" << protein;
        d << "\n";
    }
    return 0;
}

// A glpsol-style report that sets every x to 1, for timing the reader when
// the solver did not finish.
void synthetic_glpsol_report(const inter_table& dint, const inter_table& pint, const std::string& path) {
    std::ofstream out(path);
    out << "Problem:\nRows:\nColumns:\nNon-zeros:\nStatus:     OPTIMAL\nObjective:  obj = 0\n\n"
        << "   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n"
        << "------ ------------ -- ------------- ------------- ------------- -------------\n";
    int column = 0;
    for (const inter& record : dint.list) {
        const std::string name = "x(" + std::to_string(record.a) + "," + std::to_string(record.b) + ")";
        out << std::setw(6) << ++column << " " << name;
        if (name.size() > 12) out << "\n                   ";
        out << " B              1             0\n";
    }
    if (pint.n > 0) out << std::setw(6) << ++column << " e(0)         B              0             0\n";
}

// Runs a solver under a time limit; the seconds it took, or -1.
double timed_solve(const std::vector<std::string>& command, const RunFiles& files, int limit) {
    SpawnRunner runner;
    std::vector<std::string> argv{"timeout", "--signal=KILL", std::to_string(limit)};
    for (const std::string& word : command) argv.push_back(word);
    fs::remove(files.out);
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult result = runner.run(argv, files.out + ".log");
    const double took = seconds_since(start);
    return result.ok() ? took : -1;
}

std::string cell(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int run(const std::string& pairs, const std::string& domains, float ratio, int limit) {
    std::ostringstream quiet;
    protdom network;
    inter_table pint, dint;
    auto start = std::chrono::steady_clock::now();
    readdata(network, pint, pairs, domains, Streams{quiet, quiet});
    const double t_read = seconds_since(start);
    start = std::chrono::steady_clock::now();
    construct_dint(network, pint, dint, quiet);
    const double t_cand = seconds_since(start);
    const RunFiles files = run_files(pairs, ratio);
    start = std::chrono::steady_clock::now();
    LP_out(network, pint, dint, files.lp, ratio);
    const double t_lp = seconds_since(start);

    const double t_glpsol = limit > 0 ? timed_solve(glpsol_command(files), files, limit) : -1;
    if (t_glpsol < 0) synthetic_glpsol_report(dint, pint, files.out);
    std::ostringstream err;
    start = std::chrono::steady_clock::now();
    my_parse_glp(files.out, network, pint, dint, err);
    const double t_report = seconds_since(start);
    start = std::chrono::steady_clock::now();
    out_doms(network, dint, files.dint);
    const double t_result = seconds_since(start);
    const double own = t_read + t_cand + t_lp + t_report + t_result;
    const double peak = peak_mb();

    // clp: the clp program on the whole programme in MPS (as the tool ran it
    // before), then the linked-in path (presolve, solve, map back, check).
    start = std::chrono::steady_clock::now();
    MPS_out(network, pint, dint, files.mps, ratio);
    const double t_mps = seconds_since(start);
    const double t_clp = limit > 0 ? timed_solve({"clp", files.mps, "-primalsimplex", "-solution", files.out}, files,
                                                 limit)
                                   : -1;
    start = std::chrono::steady_clock::now();
    const int in_process = clp_in_process(network, pint, dint, files, ratio, {}, false, err, nullptr);
    const double t_clp_read = in_process == 0 ? seconds_since(start) : -1;
    for (const std::string& f : {files.lp, files.mps, files.out, files.dint, files.out + ".log"}) fs::remove(f);

    const std::string over = "> " + std::to_string(limit) + " s";
    std::cout << "| " << fs::path(pairs).parent_path().filename().string() << " | " << pint.n << " | " << network.nprot
              << " | " << network.ndom << " | " << dint.n << " | " << cell(t_read, "%.3f") << " | "
              << cell(t_cand, "%.3f") << " | " << cell(t_lp, "%.3f") << " | " << cell(t_report, "%.3f")
              << (t_glpsol < 0 ? "*" : "") << " | " << cell(t_result, "%.3f") << " | " << cell(own, "%.3f") << " | "
              << cell(peak, "%.0f") << " | " << (t_glpsol < 0 ? over : cell(t_glpsol, "%.1f")) << " | "
              << (t_glpsol < 0 ? "-" : cell(100.0 * own / t_glpsol, "%.2f%%")) << " | " << cell(t_mps, "%.3f") << " | "
              << (t_clp < 0 ? over : cell(t_clp, "%.1f")) << " | " << (t_clp_read < 0 ? "-" : cell(t_clp_read, "%.3f"))
              << " |" << std::endl;
    return 0;
}

// The programme's size before and after the exact presolve, and its time.
int presolve_sizes(const std::string& pairs, const std::string& domains, float ratio) {
    ddinfer::protdom network;
    ddinfer::inter_table pint, dint;
    std::ostringstream quiet;
    ddinfer::readdata(network, pint, pairs, domains, ddinfer::Streams{quiet, quiet});
    ddinfer::construct_dint(network, pint, dint, quiet);
    const auto start = std::chrono::steady_clock::now();
    const ddinfer::Programme full = ddinfer::build_programme(network, pint, dint, ratio, {});
    const ddinfer::Reduced reduced = ddinfer::presolve(full);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "| " << full.rows() << " x " << dint.n << " | " << reduced.rows() << " x "
              << reduced.column_record.size() << " | " << reduced.folded_record.size() << " | "
              << reduced.classes() << " | " << seconds << " |\n";
    return 0;
}

double resident_mb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One run of null model 2 on the network, stage by stage: seconds, and the
// memory resident after the stage (MB).
int null_stages(const std::string& pairs, const std::string& domains, float ratio, std::uint64_t seed,
                Start clp_start) {
    protdom network;
    inter_table pint, dint;
    std::ostringstream quiet;
    readdata(network, pint, pairs, domains, Streams{quiet, quiet}, true);
    construct_dint(network, pint, dint, quiet);
    dint = inter_table();
    std::cout << "| stage | s | resident MB |\n| --- | ---: | ---: |\n| read | | " << cell(resident_mb(), "%.0f")
              << " |\n";
    auto start = std::chrono::steady_clock::now();
    auto stage = [&](const char* name) {
        std::cout << "| " << name << " | " << cell(seconds_since(start), "%.2f") << " | "
                  << cell(resident_mb(), "%.0f") << " |\n";
        start = std::chrono::steady_clock::now();
    };
    protdom shuffled = network;
    SeededRandom random(seed, 1);
    if (permut_test2(shuffled, random) != 0) return 1;
    stage("copy and shuffle");
    build_dint(shuffled, pint, dint, quiet);
    stage("candidates");
    const Programme full = build_programme(shuffled, pint, dint, ratio, {});
    const int candidates = dint.n;
    dint = inter_table();  // as a null run releases it
    stage("programme");
    const Reduced reduced = presolve(full);
    stage("presolve");
    ReducedSolution solution;
    {
        const LargeBlocksToSystem large_blocks;  // as the solve of the commands
        ClpSimplex model;
        const FoldedGroups groups = group_folded(reduced);
        load_reduced(model, reduced, &groups);
        stage("clp model");
        if (const std::string failure = solve_model(model, clp_start); !failure.empty()) {
            std::cerr << failure << "\n";
            return 1;
        }
        read_solution(model, reduced, solution, &groups);
    }
    stage("clp solve");
    std::vector<double> x, e;
    if (const std::string failure = map_back(full, reduced, solution, static_cast<std::size_t>(candidates), x, e);
        !failure.empty()) {
        std::cerr << failure << "\n";
        return 1;
    }
    stage("map back");
    std::cout << "\ncandidates " << candidates << ", rows " << full.rows() << " -> " << reduced.rows() << " x "
              << reduced.column_record.size() << " columns, " << reduced.folded_record.size() << " folded, "
              << reduced.classes() << " sets of identical columns; peak " << cell(peak_mb(), "%.0f") << " MB\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "gen") return generate(std::stol(args[1]), std::stoull(args[2]), args[3]);
    if ((args.size() == 4 || args.size() == 5) && args[0] == "run") {
        return run(args[1], args[2], static_cast<float>(std::atof(args[3].c_str())),
                   args.size() == 5 ? std::stoi(args[4]) : 0);
    }
    if (args.size() == 4 && args[0] == "presolve") {
        return presolve_sizes(args[1], args[2], static_cast<float>(std::atof(args[3].c_str())));
    }
    if (args.size() >= 4 && args.size() <= 6 && args[0] == "null") {
        keep_freed_memory();  // as the commands do
        const std::string start = args.size() == 6 ? args[5] : "bare";
        return null_stages(args[1], args[2], static_cast<float>(std::atof(args[3].c_str())),
                           args.size() >= 5 ? std::stoull(args[4]) : 1,
                           start == "idiot" ? Start::idiot : start == "lightweight" ? Start::lightweight_idiot
                                                                                      : Start::lightweight_idiot_bare);
    }
    std::cerr << "usage: ddinfer-bench gen PAIRS SEED DIR | run PAIRS DOMAINS RATIO [SOLVER_LIMIT_S] | presolve PAIRS "
                 "DOMAINS RATIO | null PAIRS DOMAINS RATIO [SEED [idiot|lightweight|bare]]\n";
    return 2;
}
