// The table of the report's top pairs, whole, on a small case: the columns
// read first in their order, the rest marked to hide, every head titled,
// links by the kind of id, names, known or new, twins of one class.
#include "report/report_table.h"

#include "report/report_charts.h"
#include "report/report_page.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

TEST(ReportTableTest, ColumnsFirstAndRestLinksNamesGoldMarksAndTwins) {
    NamePairs gold;
    gold.add("IPR000001", "PF00001");
    TopTable table;
    table.header = {"domain_a", "domain_b", "rank", "score", "odd", "p_gold", "freq"};
    table.rows = {{"PF00001", "IPR000001", "1", "-2", "x<y", "0.995", "1"},
                  {"cd001", "PF00002", "2", "-3", "", "0.123456", "0"},
                  {"PF00003", "PF00003", "3", "-4", "z", "0.1", ""}};
    table.gold = &gold;
    table.gold_name = "g.tsv";
    table.names = {{"PF00001", {"7tm_1", "rhodopsin & co"}}, {"cd001", {"CD", ""}}};
    table.class_of = {{"PF00002\tcd001", 4}, {"PF00003\tPF00003", 4}, {"IPR000001\tPF00001", 9}};
    const std::string html = top_table_html(table);
    std::string head = "<th title=\"" + column_meaning("rank") + "\">rank</th>";
    for (const char* column : {"domain_a", "domain_b", "p_gold", "gold list", "freq", "score"}) {
        head += "<th title=\"" + escaped(column_meaning(column)) + "\">" + column + "</th>";
    }
    EXPECT_NE(html.find(head + "<th class=\"extra\">odd</th></tr></thead><tbody>\n"), std::string::npos) << html;
    const std::string twins = " they stand in exactly the same protein pairs\">twin of ";
    // p_gold to two digits, "> 0.99" above, the whole value kept for sorting.
    EXPECT_NE(html.find("<tr><td>1</td><td><a href=\"https://www.ebi.ac.uk/interpro/entry/pfam/PF00001/\">PF00001</a>"
                        "<br><small>7tm_1: rhodopsin &amp; co</small></td><td><a href=\"https://www.ebi.ac.uk/interpro/"
                        "entry/InterPro/IPR000001/\">IPR000001</a></td><td data-v=\"0.995\">&gt; 0.99</td><td "
                        "class=\"in-gold\">in g.tsv</td><td>1</td><td>-2</td><td class=\"extra\">x&lt;y</td></tr>\n"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<tr><td>2 <span class=\"twin\" title=\"no solution tells this pair from the pairs at rank 3:" +
                        twins + "3</span></td><td>cd001<br><small>CD</small></td>"),
              std::string::npos)
        << html;
    // A top pair that no sampled optimum chose says why it stands there.
    EXPECT_NE(html.find("<td data-v=\"0.123456\">0.12</td><td class=\"not-in-gold\">not in g.tsv</td><td>0 <span "
                        "class=\"why\" title=\"no sampled optimal solution chose the pair: it ranks this high by its "
                        "association and the proteins that carry both domains\">never chosen</span></td><td>-3</td><td "
                        "class=\"extra\"></td></tr>\n<tr><td>3 <span"),
              std::string::npos)
        << html;
    EXPECT_EQ(column_meaning("odd"), "");
    EXPECT_EQ(column_meaning("ex/pairs.txt:support"), "in network ex/pairs.txt: " + column_meaning("support"));
    EXPECT_EQ(p_gold_text("1"), "> 0.99");
    EXPECT_EQ(p_gold_text("0.99"), "0.99");
    EXPECT_EQ(p_gold_text("0.0396"), "0.04");
}

class ReadClassesTest : public TempDirTest {};

TEST_F(ReadClassesTest, PairsInEitherOrderAndMalformedLines) {
    write_file(path("c.tsv"), "class\tdomain_a\tdomain_b\n1\tB\tA\n2\tC\tC\n");
    EXPECT_EQ(read_classes(path("c.tsv").string()), (std::map<std::string, long>{{"A\tB", 1}, {"C\tC", 2}}));
    for (const auto& [text, message] : {std::pair{"1\tB\n", "expected a class and two domains, tab-separated"},
                                         {"1x\tA\tB\n", "expected a class number first"},
                                         {"0\tA\tB\n", "expected a class number first"}}) {
        write_file(path("c.tsv"), std::string("class\tdomain_a\tdomain_b\n") + text);
        try {
            read_classes(path("c.tsv").string());
            ADD_FAILURE() << "read " << text;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), path("c.tsv").string() + ":2: " + message);
        }
    }
}

}  // namespace
}  // namespace ddinfer::test

namespace ddinfer::test {
namespace {

// The title's ratio comes from the tables' call lines: a robust or null
// table's last word, or the table a rank table was made from.
TEST(ReportTitleTest, TheDataSetAndTheRatioTheTablesTell) {
    EXPECT_EQ(ratio_in({"ddinfer-rank 1.1.0 --robust res/pairs.txt.0.250000.robust.tsv --evidence all p d"}), "0.25");
    EXPECT_EQ(ratio_in({"ddinfer-rank 1.1.0 --dint pairs.txt.1.000000.dint --evidence all p d"}), "1");
    EXPECT_EQ(ratio_in({"ddinfer-rank 1.1.0 --evidence all p d", "ddinfer-null 1.1.0 --runs 9 p d 0.050000"}), "0.05");
    EXPECT_EQ(ratio_in({"ddinfer-rank 1.1.0 --evidence all p d", "no rank table given"}), "");
    EXPECT_EQ(report_title("", "results/human_biogrid/pairs.txt", {"ddinfer-robust 1.1.0 --runs 20 p d 0.100000"}),
              "human_biogrid, ratio 0.1");
    EXPECT_EQ(report_title("my study", "pairs.txt", {}), "my study");
}

}  // namespace
}  // namespace ddinfer::test
