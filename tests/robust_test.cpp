#include "runs/robust.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <charconv>

#include "core/error.h"
#include "evidence/evaluate.h"
#include "core/lp_out.h"
#include "solve/solver.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

class FixedDraws : public RandomSource {
public:
    explicit FixedDraws(std::vector<std::int32_t> draws) : draws_(std::move(draws)) {}
    std::int32_t next() override { return draws_.at(used_++); }

private:
    std::vector<std::int32_t> draws_;
    std::size_t used_ = 0;
};

class RobustTest : public TempDirTest {};

TEST_F(RobustTest, TheChangedObjectiveInBothFormats) {
    // The worked example's candidates: (0,1), (1,1), (0,0); u = 0, 1/2, 1/4.
    const Net net = make_net("3\nP0 P1\nP1 P2\nP2 P3\n", "2\nD0: P1 P2\nD1: P0 P1 P2\n");
    FixedDraws draws({0, 1073741824, 536870912});
    const Costs costs = perturbed_costs(net.dint, 0.25, draws);
    EXPECT_EQ(costs, (Costs{1.0, 1.125, 1.0625}));
    ASSERT_EQ(LP_out(net.network, net.pint, net.dint, path("c.lp").string(), 0.5f, costs), 0);
    EXPECT_EQ(read_file(path("c.lp")),
              "\nMinimize\n"
              "obj: + 1 x(0,1) + 1.125 x(1,1) + 1.0625 x(0,0)\n"
              "\nSubject To\n"
              "r(2): + x(0,1) + x(1,1) +e(0) >= 1.000\n"
              "r(3): + x(0,0) + x(0,1) + x(1,1) +e(1) >= 1.000\n"
              "r(4): +e(0) +e(1) +e(2)<=1\n"
              "End\n");
    ASSERT_EQ(MPS_out(net.network, net.pint, net.dint, path("c.mps").string(), 0.5f, costs), 0);
    const std::string mps = read_file(path("c.mps"));
    EXPECT_EQ(mps.substr(mps.find("COLUMNS"), mps.find(" e0 ") - mps.find("COLUMNS")),
              "COLUMNS\n x0_1 obj 1\n x0_1 r2 1\n x0_1 r3 1\n x1_1 obj 1.125\n x1_1 r2 1\n x1_1 r3 1\n"
              " x0_0 obj 1.0625\n x0_0 r3 1\n");
}

// A (D0, D1) with B (D2): two equally good explanations; C and D share D3.
const char* const pairs = "2\nA B\nC D\n";
const char* const domains = "4\nD0: A\nD1: A\nD2: B\nD3: C D\n";

class RobustCommandTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), pairs);
        write_file(path("domains.txt"), domains);
    }
    // glpsol unless the call names a solver: these runs go through the runner.
    int robust(CommandRunner& runner, std::vector<std::string> args) {
        if (std::find(args.begin(), args.end(), "--solver") == args.end()) args.insert(args.begin(), {"--solver", "glpsol"});
        args.insert(args.begin(), "ddinfer-robust");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        std::ostringstream out, errors;
        const int status = robust_main(static_cast<int>(argv.size()), argv.data(), runner, out, errors, false);
        err = errors.str();
        return status;
    }
    std::string result() const { return without_provenance(read_file(path("pairs.txt.0.000000.robust.tsv"))); }
    std::string err;
};

TEST_F(RobustCommandTest, TwoEqualExplanationsShareTheRunsAndAForcedPairHasThemAll) {
    SpawnRunner runner;
    ASSERT_EQ(robust(runner, {"--runs", "20", "--jobs", "2", path("pairs.txt"), path("domains.txt"), "0"}), 0) << err;
    std::istringstream lines(result());
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "domain_a\tdomain_b\tclassic\tfreq");
    std::map<std::string, std::pair<double, double>> rows;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string a, b;
        double classic = -1, freq = -1;
        fields >> a >> b >> classic >> freq;
        rows[a + "-" + b] = {classic, freq};
    }
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows["D3-D3"], (std::pair<double, double>{1, 1}));
    const auto [classic0, freq0] = rows["D0-D2"];
    const auto [classic1, freq1] = rows["D1-D2"];
    EXPECT_GT(freq0, 0);
    EXPECT_GT(freq1, 0);
    EXPECT_DOUBLE_EQ(freq0 + freq1, 1.0);  // every run picks exactly one
    EXPECT_EQ(classic0 + classic1, 1.0);
    EXPECT_EQ(result().substr(0, 41), "domain_a\tdomain_b\tclassic\tfreq\nD3\tD3\t1\t1\n");
}

// With clp the runs sample the optimal face: D0-D2 and D1-D2 stand in the
// same rows, and each run gives the pair to the cheaper of the two.
TEST_F(RobustCommandTest, ClpSamplesTheOptimalFace) {
    SpawnRunner runner;
    ASSERT_EQ(robust(runner, {"--solver", "clp", "--runs", "40", path("pairs.txt"), path("domains.txt"), "0"}), 0)
        << err;
    const std::string table = result();
    std::map<std::string, double> freq;
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string a, b;
        double classic = -1, f = -1;
        fields >> a >> b >> classic >> f;
        freq[a + "-" + b] = f;
    }
    ASSERT_EQ(freq.size(), 3u) << table;
    EXPECT_EQ(freq["D3-D3"], 1.0);
    // Run r draws u for D0-D2, D1-D2, D3-D3 in that order; the smaller of
    // the first two wins.
    int first_cheaper = 0;
    for (int run = 1; run <= 40; ++run) {
        SeededRandom random(1, static_cast<std::uint64_t>(run));
        const std::int32_t u0 = random.next(), u1 = random.next();
        first_cheaper += u0 <= u1;
    }
    EXPECT_GT(first_cheaper, 5);
    EXPECT_DOUBLE_EQ(freq["D0-D2"], first_cheaper / 40.0);
    EXPECT_DOUBLE_EQ(freq["D1-D2"], (40 - first_cheaper) / 40.0);
    // The same seed, the same table, whatever the jobs.
    ASSERT_EQ(robust(runner, {"--solver", "clp", "--runs", "40", "--jobs", "2", path("pairs.txt"), path("domains.txt"),
                              "0"}),
              0);
    EXPECT_EQ(result(), table);
}

TEST_F(RobustCommandTest, TheSameSeedGivesTheSameFileWhateverTheJobs) {
    SpawnRunner runner;
    ASSERT_EQ(robust(runner, {"--runs", "6", "--jobs", "1", path("pairs.txt"), path("domains.txt"), "0"}), 0);
    const std::string one = result();
    ASSERT_EQ(robust(runner, {"--runs", "6", "--jobs", "2", path("pairs.txt"), path("domains.txt"), "0"}), 0);
    EXPECT_EQ(result(), one);
    ASSERT_EQ(robust(runner, {"--runs", "6", "--seed", "2", path("pairs.txt"), path("domains.txt"), "0"}), 0);
}

// Two commands at once on the same names: each table appears whole, equal
// to the table of one of them run alone, and nothing half written remains.
TEST_F(RobustCommandTest, TwoCommandsAtOnceEachWriteAWholeTable) {
    const std::string me = bin("ddinfer-robust");
    ASSERT_EQ(run_in(dir, {me, "--runs", "3", "pairs.txt", "domains.txt", "0"}).status, 0);
    const std::string three = result();
    ASSERT_EQ(run_in(dir, {me, "--runs", "4", "--seed", "9", "pairs.txt", "domains.txt", "0"}).status, 0);
    const std::string four = result();
    ASSERT_NE(three, four);
    std::string real = run_in(dir, {"sh", "-c", "command -v glpsol"}).out;
    real.resize(real.find('\n'));
    fs::create_directories(path("bin"));
    write_file(path("bin/glpsol"), "#!/bin/sh\nsleep 0.1\nexec " + real + " \"$@\"\n");
    fs::permissions(path("bin/glpsol"), fs::perms::owner_all);
    const RunResult both =
        run_in(dir, {"sh", "-c",
                     "PATH=\"$PWD/bin:$PATH\" " + me + " --runs 3 pairs.txt domains.txt 0 > /dev/null 2> a.err & " +
                         "PATH=\"$PATH\" " + me + " --runs 4 --seed 9 pairs.txt domains.txt 0 > /dev/null 2> b.err; "
                         "wait $!; echo $?; tail -n 1 a.err b.err"});
    EXPECT_EQ(both.out, "0\n==> a.err <==\nwrote pairs.txt.0.000000.robust.tsv\n\n==> b.err <==\nwrote "
                        "pairs.txt.0.000000.robust.tsv\n");
    EXPECT_TRUE(result() == three || result() == four) << result();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.err", "b.err", "bin", "domains.txt", "pairs.txt",
                                               "pairs.txt.0.000000.robust.tsv"}));
}

// Stands in for glpsol: writes, for the n-th call, a report with the n-th
// list of values of x(0,2), x(1,2) and x(3,3), and keeps the LP texts.
class ScriptedRunner : public CommandRunner {
public:
    explicit ScriptedRunner(std::vector<std::vector<double>> values) : values_(std::move(values)) {}
    ProcessResult run(const std::vector<std::string>& argv, const std::string&) override {
        lps.push_back(read_file(argv.at(5)));  // glpsol --lp --simplex -o REPORT LP
        const std::vector<double>& v = values_.at(lps.size() - 1);
        ProcessResult ok;
        ok.started = true;
        ok.exit_code = 0;
        if (v.empty()) return ok;  // exits 0 and writes no report
        std::ostringstream report;
        report << "Problem:\nRows: 3\nColumns: 5\nNon-zeros: 7\nStatus:     OPTIMAL\n\n   No. Column name\n"
               << "------ ------------ -- ------------- ------------- ------------- -------------\n     1 x(0,2)       B   " << v[0] << "   0\n     2 x(1,2)       B   " << v[1]
               << "   0\n     3 x(3,3)       B   " << v[2] << "   0\n     4 e(0)         B   0   0\n\nEnd of output\n";
        write_file(argv.at(4), report.str());
        return ok;
    }
    std::vector<std::string> lps;

private:
    std::vector<std::vector<double>> values_;
};

// A solver that writes no report fails, even where an earlier call left one
// under the same name.
TEST_F(RobustCommandTest, NoCallReadsAnEarlierCallsReport) {
    const Net net = make_net(pairs, domains);
    ScriptedRunner script({{1, 0, 1}, {}});
    const std::unique_ptr<Solver> glpsol = make_solver("glpsol", script, false);
    const Costs unit;
    const SolveJob job{net.network, net.pint, 0.0f, unit, run_files(path("p").string(), 0.0f), ""};
    inter_table dint = net.dint;
    std::ostringstream messages;
    EXPECT_TRUE(glpsol->solve(job, dint, messages, nullptr).solved) << messages.str();
    EXPECT_FALSE(glpsol->solve(job, dint, messages, nullptr).solved);
    EXPECT_NE(messages.str().find("parse_glp2: fopen error"), std::string::npos) << messages.str();
}

// A value of exactly 0.5 counts as inferred; a classic pair that no run
// infers stays in the table with freq 0.
TEST_F(RobustCommandTest, HalfCountsAndClassicPairsStay) {
    ScriptedRunner script({{1, 0, 1}, {0, 1, 1}, {0, 1, 1}, {0, 0.5, 1.5}});
    ASSERT_EQ(robust(script, {"--runs", "3", "--jobs", "1", path("pairs.txt"), path("domains.txt"), "0"}), 0) << err;
    EXPECT_EQ(result(), "domain_a\tdomain_b\tclassic\tfreq\nD3\tD3\t1\t1\nD1\tD2\t0\t1\nD0\tD2\t1\t0\n") << err;
}

// A run whose sum of x misses the optimum by 1e-4 (more than 1e-6 of it)
// found no optimum of the classic programme: the command fails.
TEST_F(RobustCommandTest, ASampleOffTheOptimumFailsTheRun) {
    ScriptedRunner script({{1, 0, 1}, {1, 0, 1.0002}});
    EXPECT_EQ(robust(script, {"--runs", "1", path("pairs.txt"), path("domains.txt"), "0"}), 1);
    EXPECT_NE(err.find("ddinfer-robust: run 1: the sampled solution is no optimum of the classic programme (sum of x "
                       "2.0002, not 2)\n"),
              std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(path("pairs.txt.0.000000.robust.tsv")));
    // A run that leaves no report fails too.
    ScriptedRunner silent({{1, 0, 1}, {}});
    EXPECT_EQ(robust(silent, {"--runs", "1", path("pairs.txt"), path("domains.txt"), "0"}), 1);
    EXPECT_NE(err.find("ddinfer-robust: run 1: parse_glp2: fopen error"), std::string::npos) << err;
}

// With glpsol each run solves the classic programme's optimal face, read
// from the classic report's marginals: both rows and the budget have
// non-zero duals, so all three are equalities; the objective is u.
TEST_F(RobustCommandTest, GlpsolSolvesTheFaceOfTheClassicOptimum) {
    const std::string tmp = path("tmp").string();
    fs::create_directories(tmp);
    const RunResult run = run_in(dir, {bin("ddinfer-robust"), "--solver", "glpsol", "--keep", "--runs", "1", "pairs.txt", "domains.txt", "0"},
                                 "TMPDIR=" + quoted(tmp));
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path work = fs::directory_iterator(tmp)->path();
    SeededRandom random(1, 1);
    std::string objective = "obj:";
    for (const char* x : {"x(0,2)", "x(1,2)", "x(3,3)"}) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, random.next() / 2147483648.0).ptr;
        objective += " + " + std::string(text, end) + " " + x;
    }
    EXPECT_EQ(read_file(work / "run1.0.000000.lp"),
              "\nMinimize\n" + objective +
                  "\n\nSubject To\n"
                  "r(2): + x(0,2) + x(1,2) +e(0) = 1.000\n"
                  "r(3): + x(3,3) +e(1) = 1.000\n"
                  "r(4): +e(0) +e(1)=0\n"
                  "Bounds\n"
                  "End\n");
}

TEST_F(RobustCommandTest, CallMistakes) {
    SpawnRunner runner;
    EXPECT_EQ(robust(runner, {"--runs", "0", "p", "d", "0"}), 2);
    EXPECT_EQ(err,
              "ddinfer-robust: --runs takes a whole number from 1 to 100000, not \"0\"; usage: ddinfer-robust "
              "[--solver clp|glpsol] [--runs K] [--seed S] [--jobs J] [--keep] [--outdir DIR] [--shard I/S] [-q] PAIRS DOMAINS RATIO\n");
    EXPECT_EQ(robust(runner, {"--solver", "simplex", "p", "d", "0"}), 2);
    EXPECT_EQ(robust(runner, {"p", "d"}), 2);
    EXPECT_EQ(robust(runner, {"--help"}), 0);
}

// Frequencies exactly at the thresholds count in them, a classic value of
// 0.5 is inferred, freq 0 is not; a pair listed twice counts once.
TEST(RankedEvaluationTest, ThresholdsBesideTheClassicList) {
    NamePairs gold;
    gold.add("D0", "D2");
    gold.add("D3", "D3");
    const std::vector<RankedPair> ranked{
        {"D3", "D3", 1, 1}, {"D1", "D2", 0, 0.75}, {"D0", "D2", 1, 0.5}, {"D4", "D4", 0, 0.25}, {"D3", "D3", 1, 1},
        {"D5", "D5", 0.5, 0}};
    const Share candidates{4, 2};
    EXPECT_EQ(format_ranked_evaluation(candidates, ranked, gold),
              "                pairs  in gold  share  enrichment\n"
              "candidates          4        2   50.0%  (base rate)\n"
              "classic             3        2   66.7%  1.33\n"
              "freq = 1            1        1  100.0%  2.00\n"
              "freq >= 0.75        2        1   50.0%  1.00\n"
              "freq >= 0.5         3        2   66.7%  1.33\n"
              "freq >= 0.25        4        2   50.0%  1.00\n"
              "freq > 0            4        2   50.0%  1.00\n");
    std::istringstream bad("domain_a\tdomain_b\tclassic\tfreq\nD0\tD2\t1\t1\nD0\tD2\t1\n");
    NamePairs candidate_names;
    candidate_names.add("D0", "D2");
    try {
        ranked_pairs(read_table(bad, "r.tsv", candidate_names), "r.tsv");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "r.tsv:3: expected 4 tab-separated fields, found 3");
    }
}

}  // namespace
}  // namespace ddinfer::test
