#include "core/lp_out.h"

#include <gtest/gtest.h>

#include "test_util.h"
#include "core/text_out.h"

namespace ddinfer::test {
namespace {

// The programme's worked example: pairs (P0, P1), (P1, P2), (P2, P3); D0 on
// P1 and P2, D1 on P0, P1 and P2.
const char* const example_pairs = "3\nP0 P1\nP1 P2\nP2 P3\n";
const char* const example_domains = "2\nD0: P1 P2\nD1: P0 P1 P2\n";

class LpOutTest : public TempDirTest {
protected:
    std::string lp(const Net& net, float ratio, const Costs& costs = {}) {
        EXPECT_EQ(LP_out(net.network, net.pint, net.dint, path("x.lp").string(), ratio, costs), 0);
        return read_file(path("x.lp"));
    }
};

TEST_F(LpOutTest, WorkedExample) {
    const Net net = make_net(example_pairs, example_domains);
    EXPECT_EQ(lp(net, 0.5f),
              "\n"
              "Minimize\n"
              "obj: + x(0,1) + x(1,1) + x(0,0)\n"
              "\n"
              "Subject To\n"
              "r(2): + x(0,1) + x(1,1) +e(0) >= 1.000\n"
              "r(3): + x(0,0) + x(0,1) + x(1,1) +e(1) >= 1.000\n"
              "r(4): +e(0) +e(1) +e(2)<=1\n"
              "End\n");
}

TEST_F(LpOutTest, TheDashWritesToStandardOutputAndLeavesItOpen) {
    const Net net = make_net(example_pairs, example_domains);
    const std::string file = lp(net, 0.5f);
    testing::internal::CaptureStdout();
    EXPECT_EQ(LP_out(net.network, net.pint, net.dint, "-", 0.5f), 0);
    std::printf("still open\n");
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), file + "still open\n");
}

TEST_F(LpOutTest, EightTermsEndALineInTheObjectiveAndInARow) {
    // A carries D0..D7, B carries D8: eight candidates, one row of eight.
    std::string domains = "9\n";
    for (int d = 0; d < 8; ++d) domains += numbered("D", d, ": A\n");
    const Net net = make_net("1\nA B\n", domains + "D8: B\n");
    EXPECT_EQ(lp(net, 0.0f),
              "\nMinimize\n"
              "obj: + x(0,8) + x(1,8) + x(2,8) + x(3,8) + x(4,8) + x(5,8) + x(6,8) + x(7,8)\n"
              "\n\nSubject To\n"
              "r(2): + x(0,8) + x(1,8) + x(2,8) + x(3,8) + x(4,8) + x(5,8) + x(6,8) + x(7,8)\n"
              " +e(0) >= 1.000\n"
              "r(3): +e(0)<=0\n"
              "End\n");
}

TEST_F(LpOutTest, TheNinthTermStartsTheNextLine) {
    std::string domains = "10\n";
    for (int d = 0; d < 9; ++d) domains += numbered("D", d, ": A\n");
    const Net net = make_net("1\nA B\n", domains + "D9: B\n");
    const std::string text = lp(net, 0.0f);
    EXPECT_EQ(text.substr(0, text.find("Subject")),
              "\nMinimize\n"
              "obj: + x(0,9) + x(1,9) + x(2,9) + x(3,9) + x(4,9) + x(5,9) + x(6,9) + x(7,9)\n"
              " + x(8,9)\n\n");
}

TEST_F(LpOutTest, EightBudgetTermsPutTheBoundOnALineOfItsOwn) {
    const Net net = make_net("8\na b\nc d\ne f\ng h\ni j\nk l\nm n\no p\n", "0\n");
    EXPECT_EQ(lp(net, 0.5f),
              "\nMinimize\nobj:\n\nSubject To\n"
              "r(2): +e(0) +e(1) +e(2) +e(3) +e(4) +e(5) +e(6) +e(7)\n"
              "<=0\nEnd\n");
}

TEST_F(LpOutTest, AnEmptyListGivesABareBudgetRow) {
    const Net net = make_net("0\n", "0\n");
    EXPECT_EQ(lp(net, 0.1f), "\nMinimize\nobj:\n\nSubject To\nr(2):<=0\nEnd\n");
}

TEST_F(LpOutTest, EachUnorderedPairOnceARowAndRepeatedPairsGetRowsOfTheirOwn) {
    // P and Q both carry D0 and D1, P lists D0 twice; the pair stands twice;
    // R carries nothing, so P R gets no row and takes no row number.
    const Net net = make_net("4\nP Q\nP R\nQ P\nQ Q\n", "2\nD0: P Q P\nD1: P Q\n");
    EXPECT_EQ(lp(net, 0.9f),
              "\nMinimize\nobj: + x(0,0) + x(0,1) + x(1,1)\n\nSubject To\n"
              "r(2): + x(0,0) + x(0,1) + x(1,1) +e(0) >= 1.000\n"
              "r(3): + x(0,0) + x(0,1) + x(1,1) +e(2) >= 1.000\n"
              "r(4): + x(0,0) + x(0,1) + x(1,1) +e(3) >= 1.000\n"
              "r(5): +e(0) +e(1) +e(2) +e(3)<=2\n"
              "End\n");
}

TEST_F(LpOutTest, ALongRowKeepsEachPairOnceAtItsFirstPlace) {
    // A and B both carry D0..D4: 25 meetings, 15 distinct pairs.
    std::string domains = "5\n";
    for (int d = 0; d < 5; ++d) domains += numbered("D", d, ": A B\n");
    const Net net = make_net("1\nA B\n", domains);
    const std::string text = lp(net, 0.0f);
    EXPECT_EQ(text.substr(text.find("r(2):")),
              "r(2): + x(0,0) + x(0,1) + x(0,2) + x(0,3) + x(0,4) + x(1,1) + x(1,2) + x(1,3)\n"
              " + x(1,4) + x(2,2) + x(2,3) + x(2,4) + x(3,3) + x(3,4) + x(4,4) +e(0) >= 1.000\n"
              "r(3): +e(0)<=0\nEnd\n");
}

TEST_F(LpOutTest, ARowMayHoldMoreThanAHundredPairs) {
    // 11 domains on A and 10 on B: 110 distinct pairs in one row.
    std::string domains = "21\n";
    for (int d = 0; d < 11; ++d) domains += numbered("a", d, ": A\n");
    for (int d = 0; d < 10; ++d) domains += numbered("b", d, ": B\n");
    const Net net = make_net("1\nA B\n", domains);
    const std::string text = lp(net, 0.0f);
    const std::string row = text.substr(text.find("r(2):"));
    std::size_t terms = 0;
    for (std::size_t at = row.find(" + x("); at != std::string::npos; at = row.find(" + x(", at + 1)) ++terms;
    EXPECT_EQ(terms, 110u);
    EXPECT_NE(row.find(" + x(10,20) +e(0) >= 1.000\n"), std::string::npos);
}

TEST(ErrorBoundTest, TruncatesTheDoubleProductOfTheSinglePrecisionRatio) {
    EXPECT_EQ(error_bound(2, 0.5f), 1);
    EXPECT_EQ(error_bound(1, 0.5f), 0);
    EXPECT_EQ(error_bound(10, 0.5f), 5);
    EXPECT_EQ(error_bound(10, 0.7f), 6);
    EXPECT_EQ(error_bound(100, 0.7f), 69);
    EXPECT_EQ(error_bound(10, 0.9f), 8);
    EXPECT_EQ(error_bound(7, 0.0f), 0);
    EXPECT_EQ(error_bound(3, -0.5f), -1);
    EXPECT_EQ(error_bound(3000000000LL, 1.0f), 3000000000LL);  // no 32-bit wrap
    EXPECT_EQ(error_bound(1000000, 3e38f), INT64_MAX);
}

TEST_F(LpOutTest, AFileThatCannotBeOpenedGivesOneAndIsNotCreated) {
    const Net net = make_net(example_pairs, example_domains);
    const std::string missing = path("no/such/dir/x.lp").string();
    EXPECT_EQ(LP_out(net.network, net.pint, net.dint, missing, 0.5f), 1);
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(MPS_out(net.network, net.pint, net.dint, missing, 0.5f), 1);
    EXPECT_EQ(LP_out(net.network, net.pint, net.dint, "/dev/full", 0.5f), 1);  // a write that fails
}

TEST_F(LpOutTest, ObjectiveCostsAreWrittenToRoundTrip) {
    const Net net = make_net(example_pairs, example_domains);
    const Costs costs{1.0000000000000002, 1.25, 1.0};
    const std::string text = lp(net, 0.5f, costs);
    EXPECT_EQ(text.substr(0, text.find("\n\nSubject")),
              "\nMinimize\nobj: + 1.0000000000000002 x(0,1) + 1.25 x(1,1) + 1 x(0,0)");
    EXPECT_EQ(text.substr(text.find("Subject")), lp(net, 0.5f).substr(lp(net, 0.5f).find("Subject")));
}

TEST_F(LpOutTest, MpsOfTheWorkedExample) {
    const Net net = make_net(example_pairs, example_domains);
    ASSERT_EQ(MPS_out(net.network, net.pint, net.dint, path("x.mps").string(), 0.5f, {1.5, 1, 1}), 0);
    EXPECT_EQ(read_file(path("x.mps")),
              "NAME ddinfer FREE\n"
              "ROWS\n N obj\n G r2\n G r3\n L r4\n"
              "COLUMNS\n"
              " x0_1 obj 1.5\n x0_1 r2 1\n x0_1 r3 1\n"
              " x1_1 obj 1\n x1_1 r2 1\n x1_1 r3 1\n"
              " x0_0 obj 1\n x0_0 r3 1\n"
              " e0 r2 1\n e0 r4 1\n"
              " e1 r3 1\n e1 r4 1\n"
              " e2 r4 1\n"
              "RHS\n rhs r2 1\n rhs r3 1\n rhs r4 1\n"
              "ENDATA\n");
}

// A candidate that is not available stays out of the objective (it costs
// nothing) but keeps its place in the rows.
TEST_F(LpOutTest, AnUnavailableCandidateIsNoObjectiveTerm) {
    Net net = make_net(example_pairs, example_domains);
    net.dint.list[1].active = 0;  // x(1,1)
    ASSERT_EQ(MPS_out(net.network, net.pint, net.dint, path("x.mps").string(), 0.5f), 0);
    const std::string mps = read_file(path("x.mps"));
    EXPECT_EQ(mps.substr(mps.find("COLUMNS"), mps.find(" e0") - mps.find("COLUMNS")),
              "COLUMNS\n x0_1 obj 1\n x0_1 r2 1\n x0_1 r3 1\n x0_0 obj 1\n x0_0 r3 1\n x1_1 r2 1\n x1_1 r3 1\n");
    EXPECT_EQ(lp(net, 0.5f).substr(0, 41), "\nMinimize\nobj: + x(0,1) + x(0,0)\n\nSubject");
}

// The face of an optimal solution: rows of non-zero marginal tight,
// columns of positive marginal fixed at 0 (a negative one is no reason).
TEST_F(LpOutTest, TheFaceOfAnOptimum) {
    const Net net = make_net(example_pairs, example_domains);
    const std::unordered_map<std::string, double> columns{
        {"x(0,1)", 0.0}, {"x(1,1)", -0.5}, {"x(0,0)", 0.5}, {"e(1)", 1.0}, {"e(2)", 1e-7}};
    ASSERT_EQ(face_LP_out(net.network, net.pint, net.dint, path("f.lp").string(), 0.5f, {0.25, 0.5, 0.125},
                          {0.5, 0.0, -0.5}, columns),
              0);
    EXPECT_EQ(read_file(path("f.lp")),
              "\nMinimize\n"
              "obj: + 0.25 x(0,1) + 0.5 x(1,1) + 0.125 x(0,0)\n"
              "\nSubject To\n"
              "r(2): + x(0,1) + x(1,1) +e(0) = 1.000\n"
              "r(3): + x(0,0) + x(0,1) + x(1,1) +e(1) >= 1.000\n"
              "r(4): +e(0) +e(1) +e(2)=1\n"
              "Bounds\n x(0,0) = 0\n e(1) = 0\n"
              "End\n");
}

// A write that fails is noticed even when the C stream does not buffer it.
TEST(TextOutTest, AFailedWriteIsReported) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    TextOut out(full);
    out << std::string(70000, 'x');
    EXPECT_FALSE(out.flush());
    std::fclose(full);
}

}  // namespace
}  // namespace ddinfer::test
