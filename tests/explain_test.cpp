// ddinfer-explain on a network small enough to work by hand:
//   P1: D1   P2: D2 D3   P3: D1 D4   P4: D3   P5: none
//   pairs P1-P2, P2-P3, P3-P4, P5-P1, and P2-P1 again
// The candidates, oriented as each protein pair is: P1-P2 has D1-D2 and
// D1-D3; P2-P3 has D2-D1, D2-D4, D3-D1 and D3-D4; P3-P4 has D1-D3 and D4-D3;
// P5-P1 has none. The ranked table ranks D3-D4 first, D1-D2 second, D2-D4
// third and lacks D1-D3; the classic solution chose D1-D2 alone; D3-D4
// and D1-D3 are known.
#include <gtest/gtest.h>

#include "test_util.h"

namespace ddinfer::test {
namespace {

class ExplainTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), "5\nP1 P2\nP2 P3\nP3 P4\nP5 P1\nP2 P1\n");
        write_file(path("domains.txt"), "4\nD1: P1 P3\nD2: P2\nD3: P2 P4\nD4: P3\n");
        write_file(path("rank.tsv"), "# ddinfer-rank test\ndomain_a\tdomain_b\trank\tp_gold\tfreq\tlp_value\n"
                                     "D4\tD3\t1\t0.9\t1\t0.5\nD1\tD2\t2\t0.5\t0.5\t0\nD2\tD4\t3\t\t0\t0\n");
        write_file(path("chosen.dint"), "D2\tD1\n");
        write_file(path("gold.tsv"), "D3\tD4\nD3\tD1\n");
        write_file(path("names.tsv"), "P1\tGENE1\nD1\tnot a protein\n");
    }
    RunResult explain(const std::vector<std::string>& options) {
        std::vector<std::string> words{bin("ddinfer-explain")};
        words.insert(words.end(), options.begin(), options.end());
        words.insert(words.end(), {"pairs.txt", "domains.txt"});
        return run_in(dir, words);
    }
};

TEST_F(ExplainTest, EachProteinPairItsBestCandidatesOrientedWithTheClassicChoice) {
    const RunResult run = explain({"--rank", "rank.tsv", "--dint", "chosen.dint", "--gold", "gold.tsv", "--top", "2",
                                   "--names", "names.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string unexplained = "unexplained: no candidate chosen (left to the error budget)";
    EXPECT_EQ(without_provenance(read_file(path("pairs.txt.explain.tsv"))),
              "protein_a\tprotein_b\tname_a\tname_b\tcandidates\tplace\tdomain_a\tdomain_b\trank\tp_gold\tfreq\tknown\t"
              "chosen\tnote\n"
              "P1\tP2\tGENE1\t\t2\t1\tD1\tD2\t2\t0.5\t0.5\t0\t1\t\n"
              "P1\tP2\tGENE1\t\t2\t2\tD1\tD3\t\t\t\t1\t0\t\n"
              "P2\tP3\t\t\t4\t1\tD3\tD4\t1\t0.9\t1\t1\t0\t\n"
              "P2\tP3\t\t\t4\t2\tD2\tD1\t2\t0.5\t0.5\t0\t1\t\n"
              "P3\tP4\t\t\t2\t1\tD4\tD3\t1\t0.9\t1\t1\t0\t" + unexplained + "\n"
              "P3\tP4\t\t\t2\t2\tD1\tD3\t\t\t\t1\t0\t" + unexplained + "\n"
              "P5\tP1\t\tGENE1\t0\t\t\t\t\t\t\t\t\tno candidate: protein_a carries no domain\n");
    // Every pair of two candidates or more has a known one; the best is
    // known in P2-P3 and P3-P4, not in P1-P2; a random pick in (1/2 + 2/4 +
    // 2/2) / 3.
    EXPECT_NE(run.err.find("of 3 protein pairs with 2 or more candidates, one of them known, the first is known in 2 "
                           "(66.7%); a candidate picked at random would be in 66.7%\n"),
              std::string::npos)
        << run.err;

    // One candidate shown: P2-P3's chosen one falls below it. Without
    // --dint the table's lp_value chooses: D3-D4 alone, at exactly 0.5.
    ASSERT_EQ(explain({"--rank", "rank.tsv", "--dint", "chosen.dint", "--top", "1", "-o", "top1.tsv"}).status, 0);
    const std::string top1 = read_file(path("top1.tsv"));
    EXPECT_NE(top1.find("P2\tP3\t\t\t4\t1\tD3\tD4\t1\t0.9\t1\t\t0\tchosen: the candidate at place 2\n"),
              std::string::npos)
        << top1;
    const RunResult p4 = explain({"--rank", "rank.tsv", "--protein", "P4", "--protein", "P9", "-o", "-"});
    ASSERT_EQ(p4.status, 0) << p4.err;
    EXPECT_EQ(p4.out.substr(p4.out.find("P3\t")), "P3\tP4\t\t\t2\t1\tD4\tD3\t1\t0.9\t1\t\t1\t\n"
                                                  "P3\tP4\t\t\t2\t2\tD1\tD3\t\t\t\t\t0\t\n");
    EXPECT_NE(p4.err.find("warning: no interacting protein pair of the input names \"P9\"\n"), std::string::npos);
    const RunResult none = explain({"--protein", "P9", "-o", "-"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("ddinfer-explain: none of the proteins asked for is in an interacting pair of pairs.txt\n"),
              std::string::npos)
        << none.err;
}

TEST_F(ExplainTest, ProteinPairsBehindADomainPairInTheOrderItWasNamed) {
    // D1-D3 is named D1 first: protein_a carries D1 (P2-P3 turns round);
    // the pairs with fewest candidates lead; each with its best other.
    const RunResult run = explain({"--rank", "rank.tsv", "--dint", "chosen.dint", "--names", "names.tsv",
                                   "--domain-pair", "D1", "D3", "--domain-pair", "D4", "D2", "-o", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(without_provenance(run.out),
              "domain_a\tdomain_b\trank\tprotein_a\tprotein_b\tname_a\tname_b\tcandidates\tplace\tchosen\t"
              "best_other_a\tbest_other_b\tbest_other_rank\tbest_other_chosen\n"
              "D1\tD3\t\tP1\tP2\tGENE1\t\t2\t2\t0\tD1\tD2\t2\t1\n"
              "D1\tD3\t\tP3\tP4\t\t\t2\t2\t0\tD4\tD3\t1\t0\n"
              "D1\tD3\t\tP3\tP2\t\t\t4\t4\t0\tD4\tD3\t1\t0\n"
              "D4\tD2\t3\tP3\tP2\t\t\t4\t3\t0\tD4\tD3\t1\t0\n");
    const RunResult missing = explain({"--domain-pair", "D1", "D9", "-o", "-"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no protein of pairs.txt carries a domain \"D9\" of domains.txt"), std::string::npos)
        << missing.err;
    EXPECT_EQ(explain({"--domain-pair", "D2", "D2", "-o", "-"}).status, 1);  // no pair joins D2 with D2
    EXPECT_EQ(explain({"--domain-pair", "D1"}).status, 2);
}

TEST_F(ExplainTest, BadTablesAreRefusedNamingTheLine) {
    for (const auto& [table, message] :
         {std::pair{"domain_a\tdomain_b\trank\nD4\tD3\t1\nD1\tD9\t2\n",
                    "rank.tsv:3: \"D1\" with \"D9\" is no candidate pair of these inputs"},
          {"domain_a\tdomain_b\trank\nD4\tD3\t1x\n", "rank.tsv:2: expected a number in the column rank, found \"1x\""},
          {"domain_a\tdomain_b\trank\nD4\tD3\t1\nD1\tD2\t2", "rank.tsv:3: the line has no line end"},
          {"domain_a\tdomain_b\trank\nD4\tD3\n", "rank.tsv:2: expected 3 tab-separated fields, found 2"},
          {"rank\tdomain_a\tdomain_b\n", "rank.tsv:1: expected a header line beginning domain_a<TAB>domain_b"}}) {
        write_file(path("rank.tsv"), table);
        const RunResult run = explain({"--rank", "rank.tsv", "-o", "out.tsv"});
        EXPECT_EQ(run.status, 1) << table;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(path("out.tsv")));
    }
}

// Ranked in the command, the order is ddinfer-rank's with the same
// evidence: the table is the same as from ddinfer-rank's own table.
TEST_F(ExplainTest, RankedHereAsDdinferRankRanks) {
    for (const char* file : {"pairs.txt", "domains.txt", "gold_ddi.tsv"}) {
        fs::copy_file(fs::path(DDINFER_SOURCE_DIR) / "examples/human_pipe_2016" / file, path(file),
                      fs::copy_options::overwrite_existing);
    }
    ASSERT_EQ(run_in(dir, {bin("ddinfer"), "-q", "--solver", "clp", "pairs.txt", "domains.txt", "0.1"}).status, 0);
    ASSERT_EQ(run_in(dir, {bin("ddinfer-rank"), "-q", "--dint", "pairs.txt.0.100000.dint", "--calibrate",
                           "gold_ddi.tsv", "pairs.txt", "domains.txt"})
                  .status,
              0);
    ASSERT_EQ(explain({"--dint", "pairs.txt.0.100000.dint", "--gold", "gold_ddi.tsv", "-o", "here.tsv"}).status, 0);
    const RunResult run = explain({"--rank", "pairs.txt.rank.tsv", "--dint", "pairs.txt.0.100000.dint", "--gold",
                                   "gold_ddi.tsv", "-o", "table.tsv"});
    ASSERT_EQ(run.status, 0);
    const std::string here = without_provenance(read_file(path("here.tsv")));
    EXPECT_EQ(here, without_provenance(read_file(path("table.tsv"))));
    EXPECT_GT(here.size(), 1000000u);
    EXPECT_NE(run.err.find("of 2976 protein pairs with 2 or more candidates, one of them known, the first is known "
                           "in 2005 (67.4%); a candidate picked at random would be in 46.1%"),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace ddinfer::test
