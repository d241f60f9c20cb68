#include "evaluate.h"

#include <gtest/gtest.h>

#include "error.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

// Candidates (D0, D1), (D1, D2), (D2, D2).
const char* const pairs = "4\nA B\nA C\nC D\nE E\n";
const char* const domains = "3\nD0: A\nD1: B C\nD2: D E\n";
const char* const gold = "# 3did pairs\nD1 D0\n\nD2\tD2\r\nD9  D0\n";

TEST(EvaluateTest, GoldListsAreUnorderedAndMayCarryComments) {
    std::istringstream in(gold);
    const NamePairs g = read_gold(in, "gold.tsv");
    EXPECT_EQ(g.size(), 3u);
    EXPECT_TRUE(g.contains("D0", "D1"));
    EXPECT_TRUE(g.contains("D2", "D2"));
    EXPECT_FALSE(g.contains("D1", "D2"));
    std::istringstream bad("D0 D1\n# fine\nD0 D1 D2\n");
    try {
        read_gold(bad, "gold.tsv");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "gold.tsv:3: expected two domain names, found 3");
    }
}

TEST(EvaluateTest, InferredPairsMustBeCandidates) {
    const Net net = make_net(pairs, domains);
    const NamePairs candidates = candidate_names(net.network, net.dint);
    std::istringstream good("D1\tD0\nD2\tD2\n");
    EXPECT_EQ(read_inferred(good, "x.dint", candidates).size(), 2u);
    std::istringstream stranger("D0\tD1\nD0\tD2\n");
    try {
        read_inferred(stranger, "x.dint", candidates);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "x.dint:2: \"D0\" with \"D2\" is no candidate pair of these inputs");
    }
    std::istringstream untabbed("D0 D1\n");
    EXPECT_THROW(read_inferred(untabbed, "x.dint", candidates), Error);
}

class EvalCommandTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), pairs);
        write_file(path("domains.txt"), domains);
        write_file(path("gold.tsv"), gold);
        write_file(path("x.dint"), "D0\tD1\nD1\tD2\n");
    }
    RunResult eval(const std::string& dint, const std::string& gold_file) {
        return run_in(dir, {bin("ddinfer-eval"), "pairs.txt", "domains.txt", dint, gold_file});
    }
};

TEST_F(EvalCommandTest, PrintsTheTable) {
    const RunResult run = eval("x.dint", "gold.tsv");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "                pairs  in gold  share\n"
              "candidates          3        2   66.7%  (base rate)\n"
              "inferred            2        1   50.0%  (precision)\n"
              "recall       50.0% of the gold pairs among the candidates\n"
              "enrichment  0.75 (precision / base rate)\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(EvalCommandTest, ErrorsNameTheFileAndLine) {
    const RunResult missing = eval("none.dint", "gold.tsv");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ddinfer-eval: none.dint: cannot open: No such file or directory\n");
    write_file(path("bad.tsv"), "D0 D1\nD2\n");
    const RunResult bad = eval("x.dint", "bad.tsv");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "ddinfer-eval: bad.tsv:2: expected two domain names, found 1\n");
    EXPECT_EQ(run_in(dir, {bin("ddinfer-eval"), "pairs.txt"}).status, 2);
}

}  // namespace
}  // namespace ddinfer::test
