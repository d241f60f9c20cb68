#include "evidence/evaluate.h"

#include <gtest/gtest.h>

#include "core/error.h"
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
    for (const char* line : {"D0 D1\n", "D0\tD1\tD2\n"}) {
        std::istringstream bad(line);
        try {
            read_inferred(bad, "x.dint", candidates);
            ADD_FAILURE() << line;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "x.dint:1: expected two domain names separated by one tab");
        }
    }
}

// 100 homotypic candidates ranked first, half of them gold; then 500
// heterotypic ones, every tenth gold, with D0-E0 listed twice (counted once).
TEST(EvaluateTest, RankingsGetPrecisionAtTheTopAndAveragePrecision) {
    std::vector<std::pair<std::string, std::string>> candidates, ranking;
    NamePairs gold;
    gold.add("Q", "R");  // not a candidate: in no denominator
    for (int i = 0; i < 100; ++i) {
        candidates.emplace_back(numbered("H", i, ""), numbered("H", i, ""));
        if (i < 50) gold.add(numbered("H", i, ""), numbered("H", i, ""));
    }
    for (int i = 0; i < 500; ++i) {
        candidates.emplace_back(numbered("D", i, ""), numbered("E", i, ""));
        if (i % 10 == 0) gold.add(numbered("E", i, ""), numbered("D", i, ""));
    }
    ranking = candidates;
    ranking.insert(ranking.begin() + 101, {"E0", "D0"});
    // The first 200 heterotypic pairs are of domains that share a protein:
    // the last view holds the other 300, every tenth gold from the first.
    NamePairs shared;
    for (int i = 0; i < 200; ++i) shared.add(numbered("E", i, ""), numbered("D", i, ""));
    EXPECT_EQ(format_ranking(ranking, candidates, gold, shared),
              "ranking          pairs   P@250   P@500  P@1000  P@2000  P@5000      AP\n"
              "all                600   26.0%   18.0%       -       -       -   62.5%\n"
              "heterotypic        500   10.0%   10.0%       -       -       -   12.6%\n"
              "no shared          300   10.0%       -       -       -       -   14.1%\n");
    // AP divides by every gold candidate, ranked or not: the unranked B-B
    // halves it.
    const std::vector<std::pair<std::string, std::string>> some{{"A", "A"}, {"B", "B"}, {"C", "C"}},
        listed{{"A", "A"}, {"C", "C"}};
    NamePairs two;
    two.add("A", "A");
    two.add("B", "B");
    const std::string table = format_ranking(listed, some, two, NamePairs());
    EXPECT_EQ(table.substr(table.find('\n') + 1, table.find("\nheterotypic") - table.find('\n')),
              "all                  2       -       -       -       -       -   50.0%\n");
}

const std::string checked =
    "input check: 5 of 5 proteins carry a domain; 4 of 4 pairs are modelled; repeated pairs (either order): 0\n";

class EvalCommandTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), pairs);
        write_file(path("domains.txt"), domains);
        write_file(path("gold.tsv"), gold);
        write_file(path("x.dint"), "D0\tD1\nD1\tD0\n");  // one pair, twice
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
              "inferred            1        1  100.0%  (precision)\n"
              "recall       50.0% of the gold pairs among the candidates\n"
              "enrichment  1.50 (precision / base rate)\n");
    EXPECT_EQ(run.err, checked);
}

TEST_F(EvalCommandTest, ErrorsNameTheFileAndLine) {
    const RunResult missing = eval("none.dint", "gold.tsv");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, checked + "ddinfer-eval: none.dint: cannot open: No such file or directory\n");
    write_file(path("bad.tsv"), "D0 D1\nD2\n");
    const RunResult bad = eval("x.dint", "bad.tsv");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, checked + "ddinfer-eval: bad.tsv:2: expected two domain names, found 1\n");
    EXPECT_EQ(run_in(dir, {bin("ddinfer-eval"), "pairs.txt"}).status, 2);
    const std::string help = run_in(dir, {bin("ddinfer-eval"), "--help"}).out;
    for (const char* format : {"GOLD  ", ".dint", "ddinfer-robust", "ddinfer-rank, ddinfer-pool or ddinfer-null", "Exit status"}) {
        EXPECT_NE(help.find(format), std::string::npos) << format;
    }
    fs::create_directory(path("folder"));
    const RunResult folder = eval("folder", "gold.tsv");
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, checked + "ddinfer-eval: folder: cannot open: Is a directory\n");
    // A gold list that names no candidate (ids of another kind) is no
    // result of 0%, but an error naming both files with an example of each.
    write_file(path("other.tsv"), "IPR000001 IPR000002\n");
    const RunResult other = eval("x.dint", "other.tsv");
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.err.rfind(checked + "ddinfer-eval: no pair of other.tsv is a candidate pair of pairs.txt and "
                                        "domains.txt (other.tsv has ",
                              0),
              0u)
        << other.err;
    EXPECT_NE(other.err.find("(other.tsv has \"IPR000001-IPR000002\", the candidates such as \"D"), std::string::npos)
        << other.err;
}

// A robust table gets the thresholds and the ranking by freq; any other
// table the ranking in its own order. No protein of the fixture carries two
// domains, so "no shared" is the heterotypic view at first.
TEST_F(EvalCommandTest, TablesAreJudgedAsRankings) {
    const std::string ranking_head = "ranking          pairs   P@250   P@500  P@1000  P@2000  P@5000      AP\n";
    const std::string none = "       -       -       -       -       -";
    write_file(path("r.tsv"), "domain_a\tdomain_b\tclassic\tfreq\nD2\tD2\t1\t1\nD1\tD2\t0\t0.5\nD0\tD1\t1\t0.25\n");
    RunResult run = eval("r.tsv", "gold.tsv");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "                pairs  in gold  share  enrichment\n"
                       "candidates          3        2   66.7%  (base rate)\n"
                       "classic             2        2  100.0%  1.50\n"
                       "freq = 1            1        1  100.0%  1.50\n"
                       "freq >= 0.75        1        1  100.0%  1.50\n"
                       "freq >= 0.5         2        1   50.0%  0.75\n"
                       "freq >= 0.25        3        2   66.7%  1.00\n"
                       "freq > 0            3        2   66.7%  1.00\n\n" +
                           ranking_head + "all                  3" + none + "   83.3%\n" +
                           "heterotypic          2" + none + "   50.0%\n" + "no shared            2" + none + "   50.0%\n");
    // With C carrying D0 and D1 as well, D0-D1 is a shared pair: out of the
    // last view, and the unranked gold D2-D2 counts in AP's denominator.
    write_file(path("shared.txt"), "3\nD0: A C\nD1: B C\nD2: D E\n");
    write_file(path("n.tsv"), "domain_a\tdomain_b\tp_value\nD0\tD1\t0.01\nD1\tD2\t0.5\n");
    run = run_in(dir, {bin("ddinfer-eval"), "pairs.txt", "shared.txt", "n.tsv", "gold.tsv"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "candidates          5 pairs, 2 in gold (40.0%, the base rate)\n\n" + ranking_head +
                           "all                  2" + none + "   50.0%\n" + "heterotypic          2" + none +
                           "  100.0%\n" + "no shared            1" + none + "    0.0%\n");
}

// A result through a pipe is read whole; a table's rows must be complete.
TEST_F(EvalCommandTest, ReadsPipesAndRefusesTablesCutShort) {
    const RunResult piped = run_in(dir, {"bash", "-c", bin("ddinfer-eval") + " pairs.txt domains.txt <(cat x.dint) gold.tsv"});
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, eval("x.dint", "gold.tsv").out);
    write_file(path("r.tsv"), "domain_a\tdomain_b\tclassic\tfreq\nD0\tD1\t1\t0.666667\nD1\tD2\t0\t0.6");
    EXPECT_EQ(eval("r.tsv", "gold.tsv").err, checked + "ddinfer-eval: r.tsv:3: the line has no line end: the table was cut short\n");
    write_file(path("r.tsv"), "domain_a\tdomain_b\tp_value\nD0\tD1\t0.5\nD2\tD2\n");
    EXPECT_EQ(eval("r.tsv", "gold.tsv").err, checked + "ddinfer-eval: r.tsv:3: expected 3 tab-separated fields, found 2\n");
    write_file(path("r.tsv"), "domain_a\tdomain_b\tp_value\nD0\tD1\t0.5\t1\n");
    EXPECT_EQ(eval("r.tsv", "gold.tsv").err, checked + "ddinfer-eval: r.tsv:2: expected 3 tab-separated fields, found 4\n");
    // A robust table's values are whole numbers, none empty.
    for (const char* row : {"D0\tD1\t\t1\n", "D0\tD1\t1x\t1\n", "D0\tD1\t1\t.\n"}) {
        write_file(path("r.tsv"), std::string("domain_a\tdomain_b\tclassic\tfreq\nD2\tD2\t1\t1\n") + row);
        EXPECT_EQ(eval("r.tsv", "gold.tsv").err,
                  checked + "ddinfer-eval: r.tsv:3: expected two domain names, the classic value and the frequency\n")
            << row;
    }
}

}  // namespace
}  // namespace ddinfer::test
