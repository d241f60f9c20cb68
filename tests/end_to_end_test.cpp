// The built ddinfer with the real glpsol on small networks whose optimum is
// forced, so every output file is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "solve/solver.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

// Proteins A..G; D0 on A, D1 on B and C, D2 on D and E; F and G carry none.
const char* const pairs = "5\nA B\nA C\nC D\nE E\nF G\n";
const char* const domains = "3\nD0: A\nD1: B C\nD2: D E\n";
const char* const counts =
    "Interacting protein pairs: 5\nTotal proteins: 7\nTotal domains: 3\nAvailable domain pairs: 3\n";
const char* const lp_at_zero =
    "\nMinimize\n"
    "obj: + x(0,1) + x(1,2) + x(2,2)\n"
    "\nSubject To\n"
    "r(2): + x(0,1) +e(0) >= 1.000\n"
    "r(3): + x(0,1) +e(1) >= 1.000\n"
    "r(4): + x(1,2) +e(2) >= 1.000\n"
    "r(5): + x(2,2) +e(3) >= 1.000\n"
    "r(6): +e(0) +e(1) +e(2) +e(3) +e(4)<=0\n"
    "End\n";

const std::string checked =
    "input check: 5 of 7 proteins carry a domain; 4 of 5 pairs are modelled; repeated pairs (either order): 0\n";

class EndToEndTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), pairs);
        write_file(path("domains.txt"), domains);
    }
    RunResult ddinfer(const std::vector<std::string>& args, const std::string& env = "") {
        std::vector<std::string> words{bin("ddinfer")};
        words.insert(words.end(), args.begin(), args.end());
        return run_in(dir, words, env);
    }
    // Puts an executable script named `name` first on PATH; returns the
    // environment prefix for run_in.
    std::string fake_solver(const std::string& name, const std::string& script) {
        fs::create_directories(path("bin"));
        write_file(path("bin") / name, "#!/bin/sh\n" + script);
        fs::permissions(path("bin") / name, fs::perms::owner_all);
        return "PATH=" + quoted(path("bin").string()) + ":\"$PATH\"";
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(EndToEndTest, NoUnexplainedPairsForcesEveryCandidate) {
    const RunResult run = ddinfer({"pairs.txt", "domains.txt", "0"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.lp")), lp_at_zero);
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    // The count lines come before the solver's own log.
    EXPECT_EQ(run.out.substr(0, std::string(counts).size() + 6), std::string(counts) + "GLPSOL");
    EXPECT_EQ(run.err,
              checked + "writing pairs.txt.0.000000.lp\nddinfer: wrote pairs.txt.0.000000.dint: 3 inferred pairs, optimum 3\n");
}

TEST_F(EndToEndTest, GzipInputsGiveTheSameFiles) {
    ASSERT_EQ(ddinfer({"pairs.txt", "domains.txt", "0"}).status, 0);
    ASSERT_EQ(run_in(dir, {"sh", "-c", "gzip -c pairs.txt > p.gz && gzip -c domains.txt > d.gz"}).status, 0);
    const RunResult run = ddinfer({"p.gz", "d.gz", "0"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(path("p.gz.0.000000.lp")), lp_at_zero);
    EXPECT_EQ(read_file(path("p.gz.0.000000.dint")), read_file(path("pairs.txt.0.000000.dint")));
}

TEST_F(EndToEndTest, ABudgetOfTwoLeavesTheCheapestRowsUnexplained) {
    // Covering both rows of D0-D1 with one x is the single optimum.
    const RunResult run = ddinfer({"pairs.txt", "domains.txt", "0.5"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(path("pairs.txt.0.500000.dint")), "D0\tD1\n");
    // clp folds the single rows into the budget: the same optimum.
    const RunResult clp = ddinfer({"--solver", "clp", "pairs.txt", "domains.txt", "0.5"});
    EXPECT_EQ(clp.status, 0) << clp.err;
    EXPECT_EQ(read_file(path("pairs.txt.0.500000.dint")), "D0\tD1\n");
    // Standard output holds the four counts and nothing of CLP's own log.
    EXPECT_EQ(clp.out, counts);
    // So does every optimum the face sampler draws: a single row is at most
    // once unexplained, whatever the run's costs.
    ASSERT_EQ(run_in(dir, {bin("ddinfer-robust"), "-q", "--solver", "clp", "--runs", "10", "pairs.txt", "domains.txt", "0.5"}).status, 0);
    EXPECT_EQ(without_provenance(read_file(path("pairs.txt.0.500000.robust.tsv"))), "domain_a\tdomain_b\tclassic\tfreq\nD0\tD1\t1\t1\n");
}

TEST_F(EndToEndTest, PathsWithSpacesAndLeadingDashesReachTheSolverIntact) {
    write_file(path("my pairs.txt"), pairs);
    write_file(path("-p.txt"), pairs);
    EXPECT_EQ(ddinfer({"my pairs.txt", "domains.txt", "0"}).status, 0);
    EXPECT_EQ(read_file(path("my pairs.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    EXPECT_EQ(ddinfer({"-p.txt", "domains.txt", "0"}).status, 0);
    EXPECT_EQ(read_file(path("-p.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    fs::remove(path("-p.txt.0.000000.dint"));
    EXPECT_EQ(ddinfer({"--", "-p.txt", "domains.txt", "0"}).status, 0);
    EXPECT_EQ(read_file(path("-p.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
}

// The solver is looked for before anything is read or written.
TEST_F(EndToEndTest, AMissingSolverIsNamedBeforeAnythingIsWritten) {
    write_file(path("pairs.txt.0.000000.dint"), "old\tpairs\n");
    for (const auto& [solver, package] : {std::pair{"glpsol", "glpk-utils"}}) {
        const RunResult run =
            ddinfer({"--solver", solver, "pairs.txt", "domains.txt", "0"}, "PATH=" + quoted(path("none").string()));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, std::string("ddinfer: the solver ") + solver +
                               " is not on PATH; install it (Debian: apt-get install " + package + ")\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.dint")), "old\tpairs\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"domains.txt", "pairs.txt", "pairs.txt.0.000000.dint"}));
}

// A solver that dies half way through its report, or stops with a status of
// its own: the run fails, and the result of an earlier run stays as it was.
TEST_F(EndToEndTest, AFailedSolverLeavesTheEarlierResult) {
    write_file(path("pairs.txt.0.000000.dint"), "D0\tD1\n");
    write_file(path("pairs.txt.0.000000.out"), "an earlier report\n");
    const std::string killed = fake_solver("glpsol",
                                           "printf 'Problem:\\nRows: 5\\nColumns: 8\\nNon-zeros: 13\\n"
                                           "Status:     OPTIMAL\\n\\n   No. Column name\\n"
                                           "     1 x(0,1)       B    1    0\\n' > \"$4\"\nkill -9 $$\n");
    RunResult run = ddinfer({"pairs.txt", "domains.txt", "0"}, killed);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              checked +
                  "writing pairs.txt.0.000000.lp\n"
                  "glpsol was killed by signal 9 (Killed)\n"
              "pairs.txt.0.000000.out: the solver's report ends early (no \"End of output\")\n"
              "ddinfer: no result written; the earlier pairs.txt.0.000000.dint is left as it was\n");
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.dint")), "D0\tD1\n");
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.out")), "an earlier report\n");
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.lp")), lp_at_zero);

    run = ddinfer({"pairs.txt", "domains.txt", "0"}, fake_solver("glpsol", "exit 3\n"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              checked +
                  "writing pairs.txt.0.000000.lp\n"
                  "glpsol exited with status 3\n"
              "parse_glp2: fopen error (pairs.txt.0.000000.out)\n"
              "the solver left no report pairs.txt.0.000000.out\n"
              "ddinfer: no result written; the earlier pairs.txt.0.000000.dint is left as it was\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"bin", "domains.txt", "pairs.txt", "pairs.txt.0.000000.dint",
                                                 "pairs.txt.0.000000.lp", "pairs.txt.0.000000.out"}));

    // A whole, optimal report from a solver that then fails is no result.
    std::string real = run_in(dir, {"sh", "-c", "command -v glpsol"}).out;
    real.resize(real.find('\n'));
    run = ddinfer({"pairs.txt", "domains.txt", "0"}, fake_solver("glpsol", real + " \"$@\"\nexit 3\n"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, checked +
                           "writing pairs.txt.0.000000.lp\n"
                           "glpsol exited with status 3\n"
                           "ddinfer: no result written; the earlier pairs.txt.0.000000.dint is left as it was\n");
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.dint")), "D0\tD1\n");
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.out")), "an earlier report\n");
}

// Results are readable as the umask allows, not private to the user.
TEST_F(EndToEndTest, ResultsFollowTheUmask) {
    const RunResult run = run_in(dir, {"sh", "-c", "umask 027 && " + bin("ddinfer") + " pairs.txt domains.txt 0"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* ending : {".lp", ".out", ".dint"}) {
        const fs::perms mode = fs::status(path(std::string("pairs.txt.0.000000") + ending)).permissions();
        EXPECT_EQ(mode, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read) << ending;
    }
}

// A disk that fills while the programme is written, and a classic name
// taken by a folder: the earlier files stay, the solver never starts on a
// cut programme, and no private file is left. Without any candidate pair
// there is nothing to solve, and the user is told why.
TEST_F(EndToEndTest, AFullDiskOrATakenNameLeavesTheEarlierFilesAndNoDebris) {
    std::string big = "400\n";
    for (int k = 0; k < 400; ++k) big += numbered("A", k, " ") + numbered("B", k, "\n");
    write_file(path("big.txt"), big);
    std::string big_domains = "2\nD0:";
    for (int k = 0; k < 400; ++k) big_domains += numbered(" A", k, "");
    big_domains += "\nD1:";
    for (int k = 0; k < 400; ++k) big_domains += numbered(" B", k, "");
    write_file(path("bigd.txt"), big_domains + "\n");
    for (const char* ending : {".lp", ".out", ".dint"}) write_file(path(std::string("big.txt.0.000000") + ending), "earlier\n");
    // The programme is about 12 KB; files may grow to 4 KB.
    const std::string started = fake_solver("glpsol", "touch started\n");
    const RunResult full = run_in(dir, {"sh", "-c", started + " && trap '' XFSZ && ulimit -f 4 && " + bin("ddinfer") +
                                                        " big.txt bigd.txt 0"});
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(full.err.ends_with("writing big.txt.0.000000.lp\n"
                                   "ddinfer: big.txt.0.000000.lp: cannot write: File too large\n"
                                   "ddinfer: no result written; the earlier big.txt.0.000000.dint is left as it was\n"))
        << full.err;
    for (const char* ending : {".lp", ".out", ".dint"}) {
        EXPECT_EQ(read_file(path(std::string("big.txt.0.000000") + ending)), "earlier\n") << ending;
    }
    fs::remove(path("big.txt.0.000000.lp"));
    fs::create_directory(path("big.txt.0.000000.lp"));
    const RunResult taken = ddinfer({"--solver", "clp", "big.txt", "bigd.txt", "0"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.err.find("ddinfer: cannot rename big.txt.0.000000.tmp-"), std::string::npos) << taken.err;
    EXPECT_TRUE(taken.err.ends_with(".lp to big.txt.0.000000.lp: Is a directory\n"
                                    "ddinfer: no result written; the earlier big.txt.0.000000.dint is left as it was\n"))
        << taken.err;
    EXPECT_EQ(read_file(path("big.txt.0.000000.dint")), "earlier\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"big.txt", "big.txt.0.000000.dint", "big.txt.0.000000.lp",
                                                 "big.txt.0.000000.out", "bigd.txt", "bin", "domains.txt",
                                                 "pairs.txt"}));
    // Domains on proteins that never meet: no candidate.
    write_file(path("apart.txt"), "2\nD0: A\nD1: D\n");
    const RunResult none = ddinfer({"pairs.txt", "apart.txt", "0"}, started);
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.ends_with("ddinfer: no candidate domain pair: no modelled protein pair of pairs.txt has a "
                                   "domain of apart.txt on both proteins; nothing to solve\n"))
        << none.err;
    EXPECT_FALSE(fs::exists(path("started")));
    EXPECT_FALSE(fs::exists(path("pairs.txt.0.000000.lp")));
}

// --outdir puts the same file names in a folder of the user's choice (made
// if missing), "-" reads standard input, and --help leads to the companion
// commands.
TEST_F(EndToEndTest, WhereResultsGoAndStandardInput) {
    const RunResult into = ddinfer({"--outdir", "results/a", "pairs.txt", "domains.txt", "0"});
    ASSERT_EQ(into.status, 0) << into.err;
    EXPECT_EQ(read_file(path("results/a/pairs.txt.0.000000.lp")), lp_at_zero);
    EXPECT_EQ(read_file(path("results/a/pairs.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"domains.txt", "pairs.txt", "results"}));
    // Names come from the list's own name, not its folder.
    fs::create_directory(path("data"));
    fs::copy_file(path("pairs.txt"), path("data/p.txt"));
    ASSERT_EQ(ddinfer({"--outdir", "results/b", "--solver", "clp", "data/p.txt", "domains.txt", "0"}).status, 0);
    EXPECT_EQ(read_file(path("results/b/p.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    fs::remove_all(path("data"));
    const RunResult piped = run_in(dir, {"sh", "-c", "gzip -c pairs.txt | " + bin("ddinfer") + " --solver clp - domains.txt 0"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(read_file(path("stdin.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    fs::remove_all(path("results"));
    write_file(path("results"), "a file");
    const RunResult blocked = ddinfer({"--outdir", "results", "pairs.txt", "domains.txt", "0"});
    EXPECT_EQ(blocked.status, 2);
    EXPECT_EQ(blocked.err.substr(0, 48), "ddinfer: --outdir results: cannot create the fol");
    const std::string help = ddinfer({"--help"}).out;
    for (const char* command : {"ddinfer-prep", "ddinfer-robust", "ddinfer-null", "ddinfer-rank", "ddinfer-eval"}) {
        EXPECT_NE(help.find(std::string("\n    ") + command + "  "), std::string::npos) << command;
    }
    EXPECT_NE(help.find("  Exit status: 0 done"), std::string::npos);
    // glpsol on a programme of more than 100,000 rows: a word about clp.
    std::string big = "100001\n";
    for (int k = 0; k < 100001; ++k) big += numbered("A", k, " ") + numbered("B", k, "\n");
    write_file(path("big.txt"), big);
    write_file(path("bigd.txt"), "1\nD0:" + [] {
        std::string members;
        for (int k = 0; k < 100001; ++k) members += numbered(" A", k, "") + numbered(" B", k, "");
        return members;
    }() + "\n");
    const RunResult large = ddinfer({"big.txt", "bigd.txt", "0"}, fake_solver("glpsol", "exit 1\n"));
    EXPECT_NE(large.err.find("ddinfer: note: the programme has more than 100,000 rows; --solver clp solves it far "
                             "faster\n"),
              std::string::npos)
        << large.err;
    EXPECT_EQ(ddinfer({"pairs.txt", "domains.txt", "0"}).err.find("note:"), std::string::npos);
}

// Two runs at once with the same PAIRS and RATIO but other domains: each
// solves its own programme (glpsol is slowed down so that they overlap).
TEST_F(EndToEndTest, RunsAtTheSameTimeNeverReadEachOthersFiles) {
    write_file(path("one.txt"), "1\nD0: A B C D E\n");
    const RunResult alone = ddinfer({"pairs.txt", "one.txt", "0"});
    ASSERT_EQ(alone.status, 0) << alone.err;
    const std::string one_dint = read_file(path("pairs.txt.0.000000.dint"));
    ASSERT_EQ(one_dint, "D0\tD0\n");
    std::string real = run_in(dir, {"sh", "-c", "command -v glpsol"}).out;
    real.resize(real.find('\n'));
    const std::string slow = fake_solver("glpsol", "sleep 0.3\nexec " + real + " \"$@\"\n");
    for (int trial = 0; trial < 3; ++trial) {
        const std::string me = bin("ddinfer");
        const RunResult both = run_in(dir, {"sh", "-c",
                                            me + " pairs.txt domains.txt 0 > /dev/null 2> three.err & " + me +
                                                " pairs.txt one.txt 0 > /dev/null 2> one.err; wait"},
                                      slow);
        EXPECT_EQ(read_file(path("three.err")),
                  checked + "writing pairs.txt.0.000000.lp\nddinfer: wrote pairs.txt.0.000000.dint: 3 inferred pairs, "
                  "optimum 3\n");
        EXPECT_EQ(read_file(path("one.err")),
                  "input check: 5 of 7 proteins carry a domain; 4 of 5 pairs are modelled; repeated pairs (either "
                  "order): 0\nwriting pairs.txt.0.000000.lp\nddinfer: wrote pairs.txt.0.000000.dint: 1 inferred pairs, "
                  "optimum 1\n");
        const std::string dint = read_file(path("pairs.txt.0.000000.dint"));
        EXPECT_TRUE(dint == one_dint || dint == "D0\tD1\nD1\tD2\nD2\tD2\n") << dint;
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"bin", "domains.txt", "one.err", "one.txt", "pairs.txt",
                                                 "pairs.txt.0.000000.dint", "pairs.txt.0.000000.lp",
                                                 "pairs.txt.0.000000.out", "three.err"}));
}

// RATIO is the whole argument, a finite number of at least 0.
TEST_F(EndToEndTest, RatioMistakesNameTheValue) {
    const std::string usage = "; usage: ddinfer [--solver glpsol|clp] [--write-mps] [--outdir DIR] [-q] PAIRS DOMAINS RATIO\n";
    for (const std::string bad : {"abc", "0,1", "", "10%", "nan", "inf", "1e39", "0.1x"}) {
        const RunResult run = ddinfer({"pairs.txt", "domains.txt", bad});
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_EQ(run.err, "ddinfer: RATIO must be a number such as 0.1, not \"" + bad + "\"" + usage);
    }
    const RunResult negative = ddinfer({"pairs.txt", "domains.txt", "-0.1"});
    EXPECT_EQ(negative.status, 2);
    EXPECT_EQ(negative.err, "ddinfer: RATIO must be at least 0, not \"-0.1\"" + usage);
    EXPECT_EQ(files(), (std::vector<std::string>{"domains.txt", "pairs.txt"}));
    // White space around it and hexadecimal are fine; 1 or more is warned of.
    EXPECT_EQ(ddinfer({"pairs.txt", "domains.txt", " 0x1p-3 "}).status, 0);
    EXPECT_TRUE(fs::exists(path("pairs.txt.0.125000.dint")));
    const RunResult all = ddinfer({"pairs.txt", "domains.txt", "1"});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err,
              "warning: a RATIO of 1 or more lets every protein pair go unexplained\n" + checked + "writing pairs.txt.1.000000.lp\n"
              "ddinfer: wrote pairs.txt.1.000000.dint: 0 inferred pairs, optimum 0\n");
}

TEST_F(EndToEndTest, CallMistakesGiveOneLineAndStatusTwo) {
    const std::string usage = "usage: ddinfer [--solver glpsol|clp] [--write-mps] [--outdir DIR] [-q] PAIRS DOMAINS RATIO\n";
    const RunResult none = ddinfer({"pairs.txt", "domains.txt"});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "ddinfer: expected 3 arguments, found 2; " + usage);
    EXPECT_EQ(ddinfer({"pairs.txt", "domains.txt", "0.1", "0.2"}).err, "ddinfer: expected 3 arguments, found 4; " + usage);
    EXPECT_EQ(ddinfer({"--frobnicate", "pairs.txt", "domains.txt", "0"}).err,
              "ddinfer: unknown option --frobnicate; " + usage);
    EXPECT_EQ(ddinfer({"pairs.txt", "--solver"}).err, "ddinfer: option --solver needs a value; " + usage);
    EXPECT_EQ(ddinfer({"--solver", "cplex", "pairs.txt", "domains.txt", "0"}).err,
              "ddinfer: --solver takes glpsol or clp, not \"cplex\"; " + usage);
    for (const std::string help : {"-h", "--help"}) {
        const RunResult run = ddinfer({"pairs.txt", help});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind(usage, 0), 0u);
    }
    EXPECT_EQ(ddinfer({"-V"}).out, "ddinfer 1.1.0\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"domains.txt", "pairs.txt"}));
    // An option after the arguments counts.
    EXPECT_EQ(ddinfer({"pairs.txt", "domains.txt", "0", "--solver", "clp"}).status, 0);
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.out")).substr(0, 26), "Optimal - objective value ");
}

// -q: every command says nothing on standard error but warnings and errors.
TEST_F(EndToEndTest, QuietLeavesWarningsAndErrorsAlone) {
    write_file(path("gold.tsv"), "D0 D1\n");
    const std::vector<std::vector<std::string>> calls{
        {"ddinfer", "--solver", "clp", "pairs.txt", "domains.txt", "0"},
        {"ddinfer-robust", "--runs", "2", "--shard", "1/1", "pairs.txt", "domains.txt", "0"},
        {"ddinfer-null", "--runs", "40", "pairs.txt", "domains.txt", "0"},
        {"ddinfer-rank", "--calibrate", "gold.tsv", "pairs.txt", "domains.txt"},
        {"ddinfer-eval", "pairs.txt", "domains.txt", "pairs.txt.rank.tsv", "gold.tsv"},
        {"ddinfer-merge", "pairs.txt.0.000000.robust.shard-1-of-1.tsv"},
        {"ddinfer-report", "--rank", "pairs.txt.rank.tsv", "pairs.txt", "domains.txt"},
        {"ddinfer-rank", "--outdir", "other", "pairs.txt", "domains.txt"},
        {"ddinfer-pool", "--same-network", "-o", "pooled.tsv", "pairs.txt.rank.tsv", "other/pairs.txt.rank.tsv"},
        {"ddinfer-prep", "pairs", "--format", "tsv", "pairs.txt", "-o", "prepped.txt"},
    };
    // The lines of `err` that warn, or those that do not.
    const auto lines_that = [](const std::string& err, bool warn) {
        std::string kept;
        std::istringstream lines(err);
        for (std::string line; std::getline(lines, line);) {
            if ((line.find("warning") != std::string::npos) == warn) kept += line + "\n";
        }
        return kept;
    };
    for (std::vector<std::string> call : calls) {
        call[0] = bin(call[0]);
        const RunResult loud = run_in(dir, call);
        ASSERT_EQ(loud.status, 0) << call[0] << " " << loud.err;
        EXPECT_NE(lines_that(loud.err, false), "") << call[0];
        call.insert(call.begin() + 1, "-q");
        const RunResult quiet = run_in(dir, call);
        EXPECT_EQ(quiet.status, 0) << call[0];
        EXPECT_EQ(quiet.err, lines_that(loud.err, true)) << call[0];
    }
    // A warning stays, and so does an error.
    const RunResult warned = ddinfer({"-q", "--solver", "clp", "pairs.txt", "domains.txt", "1"});
    EXPECT_EQ(warned.err, "warning: a RATIO of 1 or more lets every protein pair go unexplained\n");
    EXPECT_EQ(ddinfer({"-q", "pairs.txt", "none.txt", "0"}).err.rfind("ddinfer: none.txt: cannot open", 0), 0u);
}

TEST_F(EndToEndTest, BadInputNamesTheFileAndLineAndWritesNothing) {
    const RunResult missing = ddinfer({"nope.txt", "domains.txt", "0.1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ddinfer: nope.txt: cannot open: No such file or directory\n");
    write_file(path("nocount.txt"), "A B\nA C\n");
    const RunResult nocount = ddinfer({"nocount.txt", "domains.txt", "0.1"});
    EXPECT_EQ(nocount.status, 1);
    EXPECT_EQ(nocount.err,
              "ddinfer: nocount.txt:1: expected the number of protein pairs on the first line, found \"A B\"\n");
    write_file(path("short.txt"), "2\nA B\nC\n");
    const RunResult one_name = ddinfer({"short.txt", "domains.txt", "0.1"});
    EXPECT_EQ(one_name.status, 1);
    EXPECT_EQ(one_name.err, "ddinfer: short.txt:3: expected two protein names, found one (\"C\")\n");
    write_file(path("other.txt"), "1\nD0: a b\n");
    const RunResult unmatched = ddinfer({"pairs.txt", "other.txt", "0.1"});
    EXPECT_EQ(unmatched.status, 1);
    EXPECT_EQ(unmatched.err,
              "ddinfer: no protein of pairs.txt is named in other.txt: pairs.txt has \"A\", \"B\", other.txt has "
              "\"a\", \"b\"; are they the same kind of name?\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"domains.txt", "nocount.txt", "other.txt", "pairs.txt", "short.txt"}));
}

const char* const mps_at_zero =
    "NAME ddinfer FREE\nROWS\n N obj\n G r2\n G r3\n G r4\n G r5\n L r6\nCOLUMNS\n"
    " x0_1 obj 1\n x0_1 r2 1\n x0_1 r3 1\n x1_2 obj 1\n x1_2 r4 1\n x2_2 obj 1\n x2_2 r5 1\n"
    " e0 r2 1\n e0 r6 1\n e1 r3 1\n e1 r6 1\n e2 r4 1\n e2 r6 1\n e3 r5 1\n e3 r6 1\n e4 r6 1\n"
    "RHS\n rhs r2 1\n rhs r3 1\n rhs r4 1\n rhs r5 1\n rhs r6 0\nENDATA\n";

TEST_F(EndToEndTest, ClpSolvesTheSameProgrammeInProcess) {
    const RunResult run = ddinfer({"--solver", "clp", "--write-mps", "pairs.txt", "domains.txt", "0"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.lp")), lp_at_zero);
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.mps")), mps_at_zero);
    EXPECT_EQ(read_file(path("pairs.txt.0.000000.dint")), "D0\tD1\nD1\tD2\nD2\tD2\n");
    EXPECT_EQ(run.out.substr(0, std::string(counts).size()), counts);
    EXPECT_EQ(run.err,
              checked + "writing pairs.txt.0.000000.lp\nddinfer: wrote pairs.txt.0.000000.dint: 3 inferred pairs, optimum 3\n");
}

// Random networks with repeated pairs, solved by glpsol on the whole
// programme and by clp after the presolve: the same optimum; clp's .dint
// holds exactly the x of its listing at 0.5 or more (values such as 1/3
// occur); and clp's samples of the optimal face all pass the check against
// the classic optimum.
TEST_F(EndToEndTest, ClpAfterThePresolveAgreesWithGlpsolOnRandomNetworks) {
    std::mt19937 draw(11);
    auto pick = [&](int n) { return static_cast<int>(draw() % static_cast<unsigned>(n)); };
    for (int net = 0; net < 12; ++net) {
        std::string pairs_text;
        const int proteins = 12 + pick(10), pairs = 20 + pick(20), domains = 5 + pick(6);
        for (int k = 0; k < pairs; ++k) {
            const int a = pick(proteins), b = k % 7 == 6 ? a : pick(proteins);
            pairs_text += numbered("P", a, " ") + numbered("P", b, "\n");
            if (k % 5 == 4) pairs_text += numbered("P", b, " ") + numbered("P", a, "\n");  // reversed repeat
        }
        std::string domains_text;
        for (int d = 0; d < domains; ++d) {
            domains_text += numbered("D", d, ":");
            for (int p = 0; p < proteins; ++p) {
                if (pick(3) == 0) domains_text += numbered(" P", p, "");
            }
            domains_text += "\n";
        }
        const long lines = std::count(pairs_text.begin(), pairs_text.end(), '\n');
        write_file(path("r.txt"), std::to_string(lines) + "\n" + pairs_text);
        write_file(path("rd.txt"), std::to_string(domains) + "\n" + domains_text);
        const std::string ratio = net % 3 == 0 ? "0" : net % 3 == 1 ? "0.1" : "0.3";
        const RunResult glp = ddinfer({"r.txt", "rd.txt", ratio});
        const RunResult clp = ddinfer({"--solver", "clp", "r.txt", "rd.txt", ratio});
        ASSERT_EQ(glp.status, 0) << glp.err;
        ASSERT_EQ(clp.status, 0) << clp.err;
        auto optimum = [](const std::string& err) { return std::stod(err.substr(err.rfind("optimum ") + 8)); };
        // glpsol's report rounds each value to six digits.
        EXPECT_NEAR(optimum(clp.err), optimum(glp.err), 1e-5) << net;
        // The listing's x at 0.5 or more are the inferred pairs.
        const std::string files_stem = "r.txt." + ratio_text(std::stof(ratio));
        std::istringstream listing(read_file(path(files_stem + ".out")));
        std::string line;
        std::getline(listing, line);
        long at_half = 0;
        while (std::getline(listing, line)) {
            std::istringstream fields(line);
            std::string number, name;
            double value = 0;
            fields >> number >> name >> value;
            at_half += name[0] == 'x' && value >= 0.5;
        }
        const std::string dint = read_file(path(files_stem + ".dint"));
        EXPECT_EQ(std::count(dint.begin(), dint.end(), '\n'), at_half) << net;
        const RunResult robust = run_in(dir, {bin("ddinfer-robust"), "--solver", "clp", "--runs", "8", "r.txt",
                                              "rd.txt", ratio});
        EXPECT_EQ(robust.status, 0) << robust.err;
    }
}

TEST_F(EndToEndTest, BothSolversReachTheSameOptimumOnTheWorkedExample) {
    write_file(path("ex.txt"), "3\nP0 P1\nP1 P2\nP2 P3\n");
    write_file(path("exd.txt"), "2\nD0: P1 P2\nD1: P0 P1 P2\n");
    // glpsol's optimum holds x(0,1) = 0.5 exactly: inferred, and counted.
    const RunResult half = ddinfer({"ex.txt", "exd.txt", "0.5"});
    ASSERT_EQ(half.status, 0);
    EXPECT_EQ(read_file(path("ex.txt.0.500000.dint")), "D0\tD1\n");
    EXPECT_TRUE(half.err.ends_with("ddinfer: wrote ex.txt.0.500000.dint: 1 inferred pairs, optimum 0.5\n")) << half.err;
    const std::string glpsol = read_file(path("ex.txt.0.500000.out"));
    ASSERT_EQ(ddinfer({"--solver=clp", "ex.txt", "exd.txt", "0.5"}).status, 0);
    const std::string clp = read_file(path("ex.txt.0.500000.out"));
    const double glpsol_optimum = std::atof(glpsol.substr(glpsol.find("obj = ") + 6).c_str());
    const double clp_optimum = std::atof(clp.substr(clp.find("objective value") + 15).c_str());
    EXPECT_EQ(glpsol_optimum, 0.5);
    EXPECT_EQ(clp_optimum, 0.5);
}

TEST_F(EndToEndTest, Version) {
    const RunResult run = ddinfer({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "ddinfer 1.1.0\n");
}

}  // namespace
}  // namespace ddinfer::test
