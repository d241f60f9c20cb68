#include "evidence/pool.h"

#include <gtest/gtest.h>

#include <map>

#include "evidence/calibrate.h"
#include "evidence/rank.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

// A row of a ddinfer-rank table: the columns the pooling reads, the others
// filled.
std::string row(const std::string& a, const std::string& b, const std::string& support, const std::string& lp,
                const std::string& freq, const std::string& score, const std::string& log10_p_dc,
                const std::string& shared) {
    return a + "\t" + b + "\t0\t" + support + "\t10\t1\t0.5\t-0.3\t" + lp + "\t" + freq + "\t" + score + "\t1\t1\t1\t" +
           log10_p_dc + "\t" + shared + "\t0." + support + "\n";  // partner_cosine: 0.SUPPORT
}

std::string rank_table(const std::string& rows) {
    return "# ddinfer-rank 1.1.0 --evidence all pairs.txt domains.txt\n" + std::string(rank_header) + "\n" + with_end(rows);
}

// Network a (4 pairs): scores 10, 8, 8, 1, so ranks 1, 2.5, 2.5, 4 and
// network scores ln 4, ln 1.6, ln 1.6, 0. Network b (2 pairs): D2-D3
// (written D3 D2) ln 2, D3-D5 0. Pooled: D1-D2 ln 4 from a alone, D2-D3
// ln 1.6 + ln 2; D4-D4 and D3-D5 tie at 0 and go in a's order.
class PoolTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("a.rank.tsv"), rank_table(row("D1", "D2", "7", "1", "1", "10", "-3", "0") +
                                                  row("D1", "D3", "5", "1", "0.5", "8", "-2", "1") +
                                                  row("D2", "D3", "5", "0", "0.5", "8", "-2.5", "0") +
                                                  row("D4", "D4", "1", "0", "0", "1", "-0.1", "0")));
        write_file(path("b.rank.tsv"), rank_table(row("D3", "D2", "9", "1", "", "5", "-400", "2") +
                                                  row("D5", "D3", "2", "0", "", "3", "-1", "0")));
    }
    RunResult pool(std::vector<std::string> words) {
        words.insert(words.begin(), bin("ddinfer-pool"));
        return run_in(dir, words);
    }
};

const std::string header =
    "domain_a\tdomain_b\tn_networks\tscore\ta:support\ta:freq\ta:p_dc\ta:shared_proteins\ta:partner_cosine\ta:score\t"
    "b:support\tb:lp_value\tb:p_dc\tb:shared_proteins\tb:partner_cosine\tb:score\n";

TEST_F(PoolTest, NormalisedRanksAddUpAndAnAbsentNetworkAddsNothing) {
    RunResult run = pool({"-o", "pooled.tsv", "a.rank.tsv", "b.rank.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string table = read_file(path("pooled.tsv"));
    EXPECT_EQ(table.substr(0, table.find('\n') + 1), "# ddinfer-pool 1.1.0 a.rank.tsv b.rank.tsv\n");
    EXPECT_EQ(without_provenance(table), header +
                                             "D1\tD2\t1\t1.38629\t7\t1\t0.001\t0\t0.7\t1.38629\t\t\t\t\t\t\n"
                                             "D2\tD3\t2\t1.16315\t5\t0.5\t0.00316228\t0\t0.5\t0.470004\t9\t1\t1e-400\t2\t0.9\t0.693147\n"
                                             "D1\tD3\t1\t0.470004\t5\t0.5\t0.01\t1\t0.5\t0.470004\t\t\t\t\t\t\n"
                                             "D4\tD4\t1\t0\t1\t0\t0.794328\t0\t0.1\t0\t\t\t\t\t\t\n"
                                             "D3\tD5\t1\t0\t\t\t\t\t\t\t2\t0\t0.1\t0\t0.2\t0\n");
    EXPECT_EQ(run.err, "wrote pooled.tsv: 5 pairs, 1 of them candidates in more than one of the 2 networks\n");

    // ddinfer-eval judges it on the inputs of one network, whose candidates
    // are D1-D2 and D1-D3: the other three pairs are passed over.
    write_file(path("pairs.txt"), "1\nP1 P2\n");
    write_file(path("domains.txt"), "3\nD1: P1\nD2: P2\nD3: P2\n");
    write_file(path("gold.tsv"), "D3 D1\n");
    run = run_in(dir, {bin("ddinfer-eval"), "pairs.txt", "domains.txt", "pooled.tsv", "gold.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find("ranking")),
              "passed over 3 pairs of the pooled table that are no candidates of pairs.txt and domains.txt\n"
              "candidates          2 pairs, 1 in gold (50.0%, the base rate)\n\n");
    EXPECT_NE(run.out.find("\nall                  2       -       -       -       -       -   50.0%\n"),
              std::string::npos) << run.out;

    // Exactly b's candidates, to standard output; b's partners' term,
    // ln(2 / 1) for D2-D3 (its partner_cosine is b's highest), added once.
    run = pool({"--only", "b.rank.tsv", "-q", "-o", "-", "a.rank.tsv", "b.rank.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(without_provenance(run.out), header +
                                               "D2\tD3\t2\t1.8563\t5\t0.5\t0.00316228\t0\t0.5\t0.470004\t9\t1\t1e-400\t2\t0.9\t0.693147\n"
                                               "D3\tD5\t1\t0\t\t\t\t\t\t\t2\t0\t0.1\t0\t0.2\t0\n");

    // Equal pooled scores go in the order of the --only table first: c and
    // d hold D1-D2 and D1-D3 in opposite orders, each pair at ln 2 in all,
    // and both at ln(2 / 1.5) by the partners (equal cosines).
    write_file(path("c.rank.tsv"), rank_table(row("D1", "D2", "1", "1", "", "2", "-1", "0") +
                                              row("D1", "D3", "1", "0", "", "1", "-1", "0")));
    write_file(path("d.rank.tsv"), rank_table(row("D1", "D3", "2", "1", "", "2", "-1", "0") +
                                              row("D1", "D2", "2", "0", "", "1", "-1", "0")));
    for (const auto& [only, first] : {std::pair{"c.rank.tsv", "D1\tD2\t2\t0.980829\t"},
                                      std::pair{"d.rank.tsv", "D1\tD3\t2\t0.980829\t"}}) {
        run = pool({"--only", only, "-q", "-o", "-", "c.rank.tsv", "d.rank.tsv"});
        const std::string rows = without_provenance(run.out);
        EXPECT_EQ(rows.substr(rows.find('\n') + 1, 17), first) << only;
    }
}

// With --only, each network counts by its score without the partners'
// term, and the --only network's partners' term, with the weight its first
// line records, is added once. f (partners=2): D1-D2 score 4, cosine 0.2;
// D1-D3 score 3, cosine 0.8 (partner ranks 2 and 1): without the term 4 +
// 2 ln 2 and 3, so ln 2 and 0, and f's term adds 0 and 2 ln 2. e: D1-D2
// score 3, cosine 0.9; D1-D3 2.9, 0.1: without the term 3 and 2.9 + ln 2,
// which turns e's order round: 0 and ln 2. Pooled: D1-D3 3 ln 2, D1-D2
// ln 2. With --evidence network e's score holds no such term: ln 2 and 0,
// and both pairs 2 ln 2.
TEST_F(PoolTest, OnlyTheRankedNetworksPartnersCount) {
    const std::string f_line = "# ddinfer-rank 1.1.0 --evidence all --weights lp=1,association=1,shared=1.5,partners=2 p d\n";
    auto table = [](const std::string& first, const std::string& rows) {
        return first + std::string(rank_header) + "\n" + with_end(rows);
    };
    auto cosine = [](std::string row, const std::string& value) {
        return row.replace(row.rfind('\t') + 1, std::string::npos, value + "\n");
    };
    write_file(path("f.rank.tsv"), table(f_line, cosine(row("D1", "D2", "3", "1", "", "4", "-1", "0"), "0.2") +
                                                     cosine(row("D1", "D3", "3", "0", "", "3", "-1", "0"), "0.8")));
    const std::string e_rows = cosine(row("D1", "D2", "2", "1", "", "3", "-1", "0"), "0.9") +
                               cosine(row("D1", "D3", "2", "0", "", "2.9", "-1", "0"), "0.1");
    write_file(path("e.rank.tsv"), table("# ddinfer-rank 1.1.0 --evidence all p d\n", e_rows));
    write_file(path("n.rank.tsv"), table("# ddinfer-rank 1.1.0 --evidence network p d\n", e_rows));
    auto scores = [&](const std::string& other) {
        const RunResult run = pool({"--only", "f.rank.tsv", "--same-network", "-q", "-o", "-", other, "f.rank.tsv"});
        EXPECT_EQ(run.status, 0) << run.err;
        std::string out;
        const std::string rows = without_provenance(run.out);
        for (std::size_t at = rows.find('\n') + 1; at < rows.size(); at = rows.find('\n', at) + 1) {
            std::size_t end = at;
            for (int tab = 0; tab < 4; ++tab) end = rows.find('\t', end) + 1;
            out += rows.substr(at, end - at - 1) + "\n";
        }
        return out;
    };
    EXPECT_EQ(scores("e.rank.tsv"), "D1\tD3\t2\t2.07944\nD1\tD2\t2\t0.693147\n");
    EXPECT_EQ(scores("n.rank.tsv"), "D1\tD2\t2\t1.38629\nD1\tD3\t2\t1.38629\n");  // f's order

    // A weight the first line cannot hold is a damaged table.
    write_file(path("f.rank.tsv"), table("# ddinfer-rank 1.1.0 --weights partners=x p d\n", e_rows));
    const RunResult run = pool({"--only", "f.rank.tsv", "-o", "-", "e.rank.tsv", "f.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("ddinfer-pool: f.rank.tsv:1: --weights takes NAME=WEIGHT", 0), 0u) << run.err;
}

// c uses other ids: IPR1 stands for D1, IPR2 for D2 and D9. Its first row
// becomes D1-D2 and D1-D9 (ranks 1.5), its second D2-D2, D2-D9 and D9-D9
// (ranks 4; D9-D2 is D2-D9 again): 5 pairs, D1-D2 scores ln(5 / 1.5) there.
TEST_F(PoolTest, AMapTranslatesTheTablesOfTheOtherIdSystem) {
    write_file(path("c.rank.tsv"), rank_table(row("IPR1", "IPR2", "3", "1", "", "2", "-1", "0") +
                                              row("IPR2", "IPR2", "1", "0", "", "1", "-1", "0")));
    RunResult run = pool({"-o", "p.tsv", "--only", "a.rank.tsv", "a.rank.tsv", "c.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-pool: a.rank.tsv and c.rank.tsv share no domain id (\"D1\" against \"IPR1\"): are "
                       "they of two id systems? --map translates one into the other\n");
    EXPECT_FALSE(fs::exists(path("p.tsv")));

    // D4 is in the map too, but a's other three ids are not: a stays as it is.
    // A line given twice stands for one pair: IPR1-IPR2 gives D1-D2 and
    // D1-D9 once each.
    write_file(path("map.txt"), "# entry\tsignature\nIPR1\tD1\nIPR2 D2\nIPR2\tD9\nD4\tPF4\nIPR1 D1\n\n");
    run = pool({"-o", "p.tsv", "--map", "map.txt", "--only", "a.rank.tsv", "a.rank.tsv", "c.rank.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "c.rank.tsv: 2 domain ids translated by map.txt, 1 pairs that another row stood for already "
                       "passed over\nwrote p.tsv: 4 pairs, 1 of them candidates in more than one of the 2 networks\n");
    std::string firsts;
    const std::string table = without_provenance(read_file(path("p.tsv")));
    for (std::size_t at = table.find('\n') + 1; at < table.size(); at = table.find('\n', at) + 1) {
        std::size_t end = at;
        for (int tab = 0; tab < 4; ++tab) end = table.find('\t', end) + 1;
        firsts += table.substr(at, end - at - 1) + "\n";
    }
    // a's partners' term (cosines 0.7, 0.5, 0.5, 0.1) adds ln 4, ln 1.6, ln 1.6, 0.
    EXPECT_EQ(firsts, "D1\tD2\t2\t3.97656\nD1\tD3\t1\t0.940007\nD2\tD3\t1\t0.940007\nD4\tD4\t1\t0\n");
    EXPECT_NE(table.find("\tc:support\tc:lp_value\t"), std::string::npos);
    EXPECT_NE(table.find("\t3\t1\t0.1\t0\t0.3\t1.20397\n"), std::string::npos) << table;

    // IPR2 standing for 10 ids: IPR1-IPR2 stands for 10 pairs, IPR2-IPR2 for
    // 10 x 10 (counted before the pairs met twice fold): over a bound of 99
    // the row and the id are named; at the default 100 it pools.
    std::string wide = "IPR1\tD1\n";
    for (int i = 0; i < 10; ++i) wide += "IPR2\tW" + std::to_string(i) + "\n";
    write_file(path("wide.txt"), wide);
    run = pool({"-o", "p.tsv", "--map", "wide.txt", "--max-fan-out", "99", "a.rank.tsv", "c.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-pool: c.rank.tsv:4: through the map this row stands for 100 pairs, over the 99 allowed: "
                       "\"IPR2\" stands for 10 ids (--max-fan-out raises the bound)\n");
    EXPECT_EQ(pool({"-q", "-o", "p.tsv", "--map", "wide.txt", "a.rank.tsv", "c.rank.tsv"}).status, 0);

    // Quiet, the translation's note is not said.
    run = pool({"-q", "-o", "p.tsv", "--map", "map.txt", "a.rank.tsv", "c.rank.tsv"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    // Without --only every pair of both: the pairs a mapped row stands for,
    // of equal score in c, in a's order first, then by name.
    const std::string all = without_provenance(read_file(path("p.tsv")));
    std::string pairs;
    for (std::size_t at = all.find('\n') + 1; at < all.size(); at = all.find('\n', at) + 1) {
        pairs += all.substr(at, all.find('\t', all.find('\t', at) + 1) - at) + " ";
    }
    EXPECT_EQ(pairs, "D1\tD2 D1\tD9 D1\tD3 D2\tD3 D2\tD2 D2\tD9 D9\tD9 D4\tD4 ");
    // A map that knows exactly half of c's ids leaves c as it is: it then
    // shares no id with a.
    write_file(path("half.txt"), "IPR1\tD1\n");
    run = pool({"-o", "p.tsv", "--map", "half.txt", "a.rank.tsv", "c.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("share no domain id"), std::string::npos) << run.err;
}

TEST_F(PoolTest, DamagedTablesAndCallMistakesAreRefused) {
    struct Case {
        std::string b;  // the text of b.rank.tsv
        std::string err;
    };
    const std::string d1d2 = row("D1", "D2", "1", "1", "", "2", "-1", "0");
    const std::string head = rank_table("").substr(0, rank_table("").find("# end"));
    // Two rows and their end line, the first row then lost; one row whose
    // homotypic mark was changed after its end line was written.
    const std::string two = rank_table(d1d2 + row("D1", "D3", "1", "1", "", "2", "-1", "0"));
    const std::string lost = head + two.substr(head.size() + d1d2.size());
    std::string changed = rank_table(d1d2);
    changed[head.size() + 6] = '2';
    const Case cases[] = {
        {"# ddinfer-robust 1.0.0 pairs.txt domains.txt 0.1\ndomain_a\tdomain_b\tclassic\tfreq\nD1\tD2\t1\t1\n",
         "b.rank.tsv:1: expected a table of ddinfer-rank (its first line \"# ddinfer-rank ...\")"},
        {"# ddinfer-rank 1.0.0\ndomain_a\tdomain_b\tsupport\n",
         "b.rank.tsv:2: expected the header of a ddinfer-rank table, with a column lp_value"},
        {head + d1d2 + d1d2.substr(0, d1d2.size() - 1), "b.rank.tsv:4: the line has no line end: the table was cut short"},
        // Cut at a line end, a row lost, a row changed: the end line tells.
        {head + d1d2, "b.rank.tsv: no end line (\"# end rows R checksum HEX\"): the table was cut short at a line end"},
        {lost, "b.rank.tsv:4: the end line counts 2 rows, the table holds 1: rows were lost or added"},
        {changed,
         "b.rank.tsv:4: the rows do not match the checksum of the end line: the table was changed"},
        {rank_table(d1d2 + row("D2", "D1", "1", "1", "", "2", "-1", "0")),
         "b.rank.tsv:4: the pair \"D1\" with \"D2\" stands already on line 3"},
        {rank_table(row("D1", "D2", "1.5", "1", "", "2", "-1", "0")),
         "b.rank.tsv:3: expected whole counts of support and shared_proteins and numbers of score, log10_p_dc and "
         "freq or lp_value"},
        {rank_table(row("D1", "D2", "1", "1", "", "2", "-1x", "0")),
         "b.rank.tsv:3: expected whole counts of support and shared_proteins and numbers of score, log10_p_dc and "
         "freq or lp_value"},
        {rank_table("D1\tD2\t1\n"), "b.rank.tsv:3: expected 17 tab-separated fields, found 3"},
        {rank_table(""), "b.rank.tsv:3: the table holds no pair"},
    };
    for (const Case& c : cases) {
        write_file(path("b.rank.tsv"), c.b);
        const RunResult run = pool({"-o", "p.tsv", "a.rank.tsv", "b.rank.tsv"});
        EXPECT_EQ(run.status, 1) << c.err;
        EXPECT_EQ(run.err, "ddinfer-pool: " + c.err + "\n");
    }
    EXPECT_FALSE(fs::exists(path("p.tsv")));

    for (const std::vector<std::string>& call : std::vector<std::vector<std::string>>{
             {"a.rank.tsv", "b.rank.tsv"},
             {"-o", "p.tsv", "a.rank.tsv"},
             {"-o", "p.tsv", "a.rank.tsv", "a.rank.tsv"},
             {"-o", "p.tsv", "--only", "c.rank.tsv", "a.rank.tsv", "b.rank.tsv"}}) {
        EXPECT_EQ(pool(call).status, 2) << call.size();
    }
}

}  // namespace
}  // namespace ddinfer::test

namespace ddinfer::test {
namespace {

// One network counts once: the same table under two names (a link, a
// copy) or at two settings is refused unless asked for; a number with a
// stray byte is no number; a gold list that names no pooled pair gives no
// p_gold of 0 everywhere.
TEST_F(PoolTest, OneNetworkTwiceADamagedNumberAndAGoldListOfOtherIds) {
    RunResult run = pool({"-o", "p.tsv", "a.rank.tsv", "./a.rank.tsv"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("./a.rank.tsv is given twice (as a.rank.tsv)"), std::string::npos) << run.err;
    fs::copy_file(path("a.rank.tsv"), path("copy.rank.tsv"));
    run = pool({"-o", "p.tsv", "a.rank.tsv", "b.rank.tsv", "copy.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ddinfer-pool: a.rank.tsv and copy.rank.tsv rank one network"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(path("p.tsv")));
    EXPECT_EQ(pool({"--same-network", "-q", "-o", "p.tsv", "a.rank.tsv", "copy.rank.tsv"}).status, 0);

    write_file(path("c.rank.tsv"), rank_table(row("D1", "D2", "7", "1", "1", "10", std::string("-15.9\0" "257", 10), "0")));
    run = pool({"-o", "p.tsv", "a.rank.tsv", "c.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("c.rank.tsv:3:"), std::string::npos) << run.err;

    write_file(path("gold.tsv"), "IPR1 IPR2\n");
    run = pool({"--calibrate", "gold.tsv", "-o", "p.tsv", "a.rank.tsv", "b.rank.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no pair of gold.tsv is a pair of the pooled tables (gold.tsv has \"IPR1-IPR2\""),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace ddinfer::test

namespace ddinfer::test {
namespace {

// p_gold of a pooled table, on the row of its own pair: the domains fall in
// two halves; pairs within half 0 take the gold share among the pairs
// within half 1 (2 of 3) and the other way round (1 of 3), a pair across
// them the mean of both.
TEST_F(PoolTest, PooledCalibrationFollowsEachRow) {
    std::vector<std::string> in[2];
    for (int i = 0; in[0].size() < 3 || in[1].size() < 3; ++i) {
        const std::string name = numbered("Q", i, "");
        std::vector<std::string>& mine = in[domain_half(name, 1)];
        if (mine.size() < 3) mine.push_back(name);
    }
    const auto& h0 = in[0];
    const auto& h1 = in[1];
    std::string rows;
    int score = 20;
    for (const auto* h : {&h0, &h1}) {
        for (const auto& [x, y] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}}) {
            rows += row((*h)[x], (*h)[y], "3", "1", "", std::to_string(score--), "-1", "0");
        }
    }
    write_file(path("q.rank.tsv"), rank_table(rows));
    write_file(path("r.rank.tsv"), rank_table(row(h0[0], h1[0], "2", "1", "", "5", "-1", "0")));
    write_file(path("gold.tsv"), h0[0] + " " + h0[1] + "\n" + h1[0] + " " + h1[1] + "\n" + h1[0] + " " + h1[2] + "\n");
    const RunResult run = pool({"-q", "--calibrate", "gold.tsv", "-o", "p.tsv", "q.rank.tsv", "r.rank.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::string> p_gold;  // "A B" -> the last cell
    const std::string table = without_provenance(read_file(path("p.tsv")));
    for (std::size_t at = table.find('\n') + 1; at < table.size(); at = table.find('\n', at) + 1) {
        const std::string line = table.substr(at, table.find('\n', at) - at);
        const std::size_t tab = line.find('\t');
        p_gold[line.substr(0, tab) + " " + line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1)] =
            line.substr(line.rfind('\t') + 1);
    }
    EXPECT_EQ(p_gold[h0[0] + " " + h0[1]], "0.666667");
    EXPECT_EQ(p_gold[h0[1] + " " + h0[2]], "0.666667");
    EXPECT_EQ(p_gold[h1[0] + " " + h1[2]], "0.333333");
    EXPECT_EQ(p_gold[h0[0] + " " + h1[0]], "0.5");
}

}  // namespace
}  // namespace ddinfer::test
