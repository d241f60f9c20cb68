#include "runs/significance.h"

#include <gtest/gtest.h>

#include "runs/batch.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

TEST(BhAdjustTest, HandCheckedTable) {
    // Sorted: .001 .02 .021 .04 .5; p * 5 / rank: .005 .05 .035 .05 .5;
    // the running minimum from the end gives the q values.
    const std::vector<double> q = bh_adjust({0.001, 0.02, 0.021, 0.5, 0.04});
    const std::vector<double> expected{0.005, 0.035, 0.035, 0.5, 0.05};
    ASSERT_EQ(q.size(), expected.size());
    for (std::size_t i = 0; i < q.size(); ++i) EXPECT_DOUBLE_EQ(q[i], expected[i]) << i;
    EXPECT_EQ(bh_adjust({0.3, 0.3, 0.3}), (std::vector<double>{0.3, 0.3, 0.3}));
    EXPECT_EQ(bh_adjust({0.9, 0.6}), (std::vector<double>{0.9, 0.9}));
    EXPECT_TRUE(bh_adjust({}).empty());
}

class NullCommandTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directory(path("tmp"));
        // Every protein carries the one domain: every shuffle gives back a
        // network whose only candidate, (D0, D0), is forced to 1.
        write_file(path("one.txt"), "3\nA B\nB C\nC A\n");
        write_file(path("oned.txt"), "1\nD0: A B C\n");
        write_file(path("pairs.txt"), "5\nA B\nA C\nC D\nE E\nF G\n");
        write_file(path("domains.txt"), "3\nD0: A\nD1: B C\nD2: D E\n");
    }
    RunResult null(const std::vector<std::string>& args, const std::string& env = "") {
        std::vector<std::string> words{bin("ddinfer-null")};
        words.insert(words.end(), args.begin(), args.end());
        return run_in(dir, words, "TMPDIR=" + quoted(path("tmp").string()) + " " + env);
    }
    bool tmp_empty() const { return fs::is_empty(path("tmp")); }
};

const char* const header = "domain_a\tdomain_b\tvalue\thits\truns\tp_value\tq_value\n";

TEST_F(NullCommandTest, AShuffleThatChangesNothingHitsInEveryRun) {
    for (const char* model : {"1", "2", "3"}) {
        // Options after the arguments count too.
        const RunResult run = null({"one.txt", "oned.txt", "0", "--model", model, "--runs", "5"});
        EXPECT_EQ(run.status, 0) << run.err;
        // One tested pair at p >= 1/6: q = p, never below 0.05.
        EXPECT_NE(run.err.find("ddinfer-null: warning: with 5 runs the smallest p is 1/6: no q can be below 0.05 among "
                               "1 tested pairs; use --runs 40 or more\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(without_provenance(read_file(path(std::string("one.txt.0.000000.m") + model + ".null.tsv"))),
                  std::string(header) + "D0\tD0\t1\t5\t5\t1\t1\n");
    }
    EXPECT_TRUE(tmp_empty());
}

// Model 1 gives each protein its one domain anew: the inferred pairs are
// mostly gone from the shuffled networks (no hits there), so their p values
// fall; the table is in p order, not in record order. The draws are seeded,
// so the table is fixed.
TEST_F(NullCommandTest, PairsAbsentFromAShuffleAreNoHits) {
    write_file(path("four.txt"), "4\nA B\nC D\nE F\nG H\n");
    write_file(path("fourd.txt"), "8\nD0: A\nD1: B\nD2: C\nD3: D\nD4: E\nD5: F\nD6: G\nD7: H\n");
    const RunResult run = null({"--model", "1", "--runs", "25", "four.txt", "fourd.txt", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(without_provenance(read_file(path("four.txt.0.000000.m1.null.tsv"))),
              std::string(header) +
                  "D4\tD5\t1\t2\t25\t0.115385\t0.192308\n"
                  "D2\tD3\t1\t3\t25\t0.153846\t0.192308\n"
                  "D6\tD7\t1\t3\t25\t0.153846\t0.192308\n"
                  "D0\tD1\t1\t4\t25\t0.192308\t0.192308\n");
    // Four tested pairs at p >= 1/26: a q below 0.05 needs all four there.
    EXPECT_NE(run.err.find("with 25 runs the smallest p is 1/26: a q below 0.05 needs 4 of the 4 tested pairs at that p"),
              std::string::npos)
        << run.err;
    // glpsol's values reach the table as clp's do.
    ASSERT_EQ(null({"--model", "1", "--runs", "25", "--solver", "glpsol", "--outdir", "g", "four.txt", "fourd.txt", "0"})
                  .status,
              0);
    EXPECT_EQ(without_provenance(read_file(path("g/four.txt.0.000000.m1.null.tsv"))),
              without_provenance(read_file(path("four.txt.0.000000.m1.null.tsv"))));
    // Model 3 draws new interactions instead (each run must solve its own
    // pairs, not the real ones, which would hit every time); on this network
    // its table is model 1's.
    ASSERT_EQ(null({"--model", "3", "--runs", "25", "four.txt", "fourd.txt", "0"}).status, 0);
    EXPECT_EQ(without_provenance(read_file(path("four.txt.0.000000.m3.null.tsv"))),
              without_provenance(read_file(path("four.txt.0.000000.m1.null.tsv"))));
}

TEST_F(NullCommandTest, TheSeedNotTheJobsDecidesTheFile) {
    const RunResult one = null({"--jobs", "1", "--runs", "8", "--seed", "3", "pairs.txt", "domains.txt", "0"});
    ASSERT_EQ(one.status, 0) << one.err;
    const std::string first = read_file(path("pairs.txt.0.000000.m2.null.tsv"));
    const RunResult two =
        null({"--jobs", "2", "--runs", "8", "--seed", "3", "--outdir", "out", "pairs.txt", "domains.txt", "0"});
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(read_file(path("out/pairs.txt.0.000000.m2.null.tsv")), first);
    // Three pairs, each line with runs 8 and p = (hits + 1) / 9.
    std::istringstream lines(first);
    std::string line;
    // The first line records the call, with every setting that decides the
    // table (not --jobs).
    std::getline(lines, line);
    EXPECT_EQ(line.substr(0, 15), "# ddinfer-null ");
    EXPECT_TRUE(line.ends_with(" --model 2 --solver clp --runs 8 --seed 3 pairs.txt domains.txt 0.000000")) << line;
    std::getline(lines, line);
    EXPECT_EQ(line + "\n", header);
    int count = 0;
    while (std::getline(lines, line) && line.rfind("# end rows ", 0) != 0) {
        ++count;
        std::istringstream fields(line);
        std::string a, b;
        double value = 0, p = 0, q = 0;
        int hits = -1, runs = 0;
        fields >> a >> b >> value >> hits >> runs >> p >> q;
        EXPECT_EQ(value, 1.0);
        EXPECT_EQ(runs, 8);
        EXPECT_NEAR(p, (hits + 1) / 9.0, 1e-5) << line;
        EXPECT_GE(q, p);
    }
    EXPECT_EQ(count, 3);
    // Progress lines when standard error is no terminal, the last always.
    EXPECT_NE(two.err.find("run 8/8 done, "), std::string::npos);
    EXPECT_TRUE(tmp_empty());
}

TEST_F(NullCommandTest, FailedRunsLeaveNoResultFile) {
    write_file(path("twice.txt"), "1\nD0: A A B\n");
    const RunResult refused = null({"--model", "1", "--jobs", "1", "--runs", "3", "one.txt", "twice.txt", "0"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("ddinfer-null: run 1: model 1 cannot shuffle this network"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(path("one.txt.0.000000.m1.null.tsv")));

    const RunResult missing =
        null({"--solver", "glpsol", "--runs", "3", "pairs.txt", "domains.txt", "0"}, "PATH=/nonexistent");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "ddinfer-null: the solver glpsol is not on PATH; install it (Debian: apt-get install glpk-utils)\n");
    EXPECT_FALSE(fs::exists(path("pairs.txt.0.000000.m2.null.tsv")));
    EXPECT_TRUE(tmp_empty());
}

TEST_F(NullCommandTest, KeepLeavesTheWorkingFolder) {
    ASSERT_EQ(null({"--keep", "--runs", "2", "one.txt", "oned.txt", "0"}).status, 0);
    ASSERT_FALSE(tmp_empty());
    const fs::path work = fs::directory_iterator(path("tmp"))->path();
    EXPECT_TRUE(fs::exists(work / "run2.0.000000.lp"));
    // The run's listing names its one candidate (D0, D0) at 1: the run
    // keeps its table when it writes one.
    EXPECT_NE(read_file(work / "run2.0.000000.out").find(" x0_0 1 0\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(work / "observed.0.000000.out"));
}

TEST_F(NullCommandTest, CallMistakes) {
    const std::string usage =
        "usage: ddinfer-null [--model 1|2|3] [--solver clp|glpsol] [--runs N] [--seed S] [--jobs J] [--keep] "
        "[--outdir DIR] [--shard I/S] [-q] "
        "PAIRS DOMAINS RATIO\n";
    EXPECT_EQ(null({"--model", "4", "one.txt", "oned.txt", "0"}).err,
              "ddinfer-null: --model takes a whole number from 1 to 3, not \"4\"; " + usage);
    EXPECT_EQ(null({"--runs", "0", "one.txt", "oned.txt", "0"}).status, 2);
    EXPECT_EQ(null({"--runs", "3x", "one.txt", "oned.txt", "0"}).err,
              "ddinfer-null: --runs takes a whole number from 1 to 1000000, not \"3x\"; " + usage);
    EXPECT_EQ(null({"--jobs", "two", "one.txt", "oned.txt", "0"}).status, 2);
    EXPECT_EQ(null({"--bogus", "one.txt", "oned.txt", "0"}).status, 2);
    EXPECT_EQ(null({"one.txt", "oned.txt"}).status, 2);
    const RunResult help = null({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(usage, 0), 0u);
    EXPECT_EQ(null({"-V"}).out, "ddinfer-null 1.1.0\n");
    EXPECT_EQ(null({"one.txt", "oned.txt", "-0.1"}).err, "ddinfer-null: RATIO must be at least 0, not \"-0.1\"; " + usage);
}

// A solver takes 20 MB and 500 bytes a nonzero: 1,000,000 nonzeros are
// 520 MB, of which 4/5 of 2 GB hold three.
TEST(BatchTest, JobsFitTheMemory) {
    EXPECT_EQ(jobs_for_memory(64, 1000000, 2000000000), 3);
    EXPECT_EQ(jobs_for_memory(64, 1000000, 2500000000), 3);  // 4/5 of it holds 3.8
    EXPECT_EQ(jobs_for_memory(2, 1000000, 2000000000), 2);
    EXPECT_EQ(jobs_for_memory(8, 1000000, 100000000), 1);
    EXPECT_EQ(jobs_for_memory(8, 1000000, 0), 8);  // unknown memory
    const Net net = make_net("3\nA B\nB C\nC D\n", "2\nX: A B C\nY: A D\n");
    // A-B: 2 x 1 domains, B-C: 1 x 1, C-D: 1 x 1, each with two e entries.
    EXPECT_EQ(programme_nonzeros(net.network, net.pint), 4u + 3u + 3u);
}

}  // namespace
}  // namespace ddinfer::test
