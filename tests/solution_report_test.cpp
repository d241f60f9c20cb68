#include "core/solution_report.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

// Candidates of the worked example: record 0 = (0,1), 1 = (1,1), 2 = (0,0).
const char* const pairs = "3\nP0 P1\nP1 P2\nP2 P3\n";
const char* const domains = "2\nD0: P1 P2\nD1: P0 P1 P2\n";

const char* const head =
    "Problem:    \n"
    "Rows:       3\n"
    "Columns:    6\n"
    "Non-zeros:  10\n";
const char* const optimal = "Status:     OPTIMAL\n";
const char* const middle =
    "Objective:  obj = 0.5 (MINimum)\n"
    "\n"
    "   No.   Row name   St   Activity     Lower bound   Upper bound    Marginal\n"
    "------ ------------ -- ------------- ------------- ------------- -------------\n"
    "     1 r(2)         NL             1             1                         0.5 \n"
    "\n"
    "   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n"
    "------ ------------ -- ------------- ------------- ------------- -------------\n";
const char* const tail =
    "\n"
    "Karush-Kuhn-Tucker optimality conditions:\n"
    "\n"
    "KKT.PE: max.abs.err = 0.00e+00 on row 0\n"
    "\n"
    "End of output\n";

class ReportTest : public TempDirTest {
protected:
    // Reads `text` as a glpsol report; returns the result, messages in err.
    int glp(const std::string& text) {
        net = make_net(pairs, domains);
        write_file(path("r.out"), text);
        std::ostringstream stream;
        const int result = my_parse_glp(path("r.out").string(), net.network, net.pint, net.dint, stream, &sums);
        err = stream.str();
        return result;
    }
    std::vector<double> values() const {
        std::vector<double> v;
        for (const inter& record : net.dint.list) v.push_back(record.value);
        return v;
    }

    Net net;
    std::string err;
    ReportSums sums;
};

using Values = std::vector<double>;

TEST_F(ReportTest, StoresClampedActivitiesUpToTheFirstErrorColumn) {
    EXPECT_EQ(glp(std::string(head) + optimal + middle +
                  "     1 x(0,1)       B            1.5             0               \n"
                  "     2 x(1,1)       NL          0.25             0                       < eps\n"
                  "     3 x(0,0)       NL          -0.5             0                         0.5 \n"
                  "     4 e(0)         B            0.5             0               \n"
                  "     5 x(1,1)       B              1             0               \n" + tail),
              0);
    EXPECT_EQ(values(), (Values{1.0, 0.25, 0.0}));
    EXPECT_EQ(sums.x_sum, 1.25);
    EXPECT_EQ(err, "");
}

TEST_F(ReportTest, ReportsAStatusOtherThanOptimalWithLineFiveAsRead) {
    const std::string report = std::string(head) + "Status:     UNDEFINED\n" + middle + "     1 x(0,1) B 1 0\n";
    EXPECT_EQ(glp(report), 1);
    EXPECT_EQ(err, "parse_glp: Not optimal (" + path("r.out").string() +
                       ") [Status:     UNDEFINED]\nthe solver stopped without an optimal solution; its report says "
                       "\"UNDEFINED\"\n");
    EXPECT_EQ(values(), (Values{0, 0, 0}));
    // A short report is judged on its last line; an empty one on nothing.
    EXPECT_EQ(glp("Problem:\nRows: 3"), 1);
    EXPECT_EQ(err, "parse_glp: Not optimal (" + path("r.out").string() +
                       ") [Rows: 3]\nthe solver stopped without an optimal solution; its report says \"Rows: 3\"\n");
    EXPECT_EQ(glp(""), 1);
    EXPECT_EQ(err.substr(0, err.find('\n') + 1), "parse_glp: Not optimal (" + path("r.out").string() + ") []\n");
}

TEST_F(ReportTest, AMissingReport) {
    net = make_net(pairs, domains);
    std::ostringstream stream;
    EXPECT_EQ(my_parse_glp(path("none.out").string(), net.network, net.pint, net.dint, stream), 1);
    EXPECT_EQ(stream.str(), "parse_glp2: fopen error (" + path("none.out").string() + ")\nthe solver left no report " +
                                path("none.out").string() + "\n");
}

TEST_F(ReportTest, FindsAHeadingOnLineSixAndFailsWithoutOne) {
    EXPECT_EQ(glp(std::string(head) + "Status:     OPTIMAL and more\n"
                                      "   No. Column name  St   Activity\n"
                                      "     1 x(1,0)       B            0.5\n" + tail),
              0);
    EXPECT_EQ(values(), (Values{0.5, 0, 0}));  // x(1,0) is the pair (0, 1)
    EXPECT_EQ(glp(std::string(head) + optimal + "nothing more\n"), 1);
    EXPECT_EQ(err, "parse_glp: no columns table (" + path("r.out").string() +
                       ")\nthe report holds no table of column values; it is no complete glpsol report\n");
}

TEST_F(ReportTest, JoinsANameStandingAloneOnItsLine) {
    EXPECT_EQ(glp(std::string(head) + optimal + middle +
                  "     1 x(0,1)\n"
                  "                    B              1             0               \n"
                  "     2 x(0,0)       B            0.5             0\n" + tail),
              0);
    EXPECT_EQ(values(), (Values{1, 0, 0.5}));
}

TEST_F(ReportTest, SkipsLinesThatNameNoAvailableCandidate) {
    EXPECT_EQ(glp(std::string(head) + optimal + middle +
                  "\n"
                  "justone\n"
                  "     1 x(0,5)       B              1\n"  // no such domain
                  "     2 x(0,1        B              1\n"  // not x(i,j)
                  "     3 x(0,-1)      B              1\n"
                  "     4 x(00000000000000000000000000000000,1) B 1\n"  // too long
                  "     5 B            B              1\n"
                  "     6 y(0,0)       B              1\n"
                  "     7 x(1,1)       B            0.5\n" + tail),
              0);
    EXPECT_EQ(values(), (Values{0, 0.5, 0}));
}

TEST_F(ReportTest, ASingleCharacterNameFailsKeepingWhatCameBefore) {
    EXPECT_EQ(glp(std::string(head) + optimal + middle +
                  "     1 x(0,1)       B            0.5\n"
                  "     2 7            B            1\n"
                  "     3 x(0,0)       B            1\n"),
              1);
    EXPECT_EQ(err, "less 1 7\nthe report names a column \"7\" that the programme does not have\n");
    EXPECT_EQ(values(), (Values{0.5, 0, 0}));
}

TEST_F(ReportTest, ALineOfTwoOrThreeFieldsEndsTheReading) {
    EXPECT_EQ(glp(std::string(head) + optimal + middle +
                  "     1 x(0,1)       B            0.5\n"
                  "Karush-Kuhn-Tucker optimality conditions:\n"
                  "     3 x(0,0)       B            1\n"
                  "End of output\n"),
              0);
    EXPECT_EQ(values(), (Values{0.5, 0, 0}));
    // The sections after the table are no end in themselves: without its
    // last line the report was cut.
    EXPECT_EQ(glp(std::string(head) + optimal + middle +
                  "     1 x(0,1)       B            0.5\n"
                  "Karush-Kuhn-Tucker optimality conditions:\n"
                  "End "),
              1);
    EXPECT_EQ(err, path("r.out").string() + ": the solver's report ends early (no \"End of output\")\n");
}

// Every cut of a whole report fails, whatever values were read: a report
// is whole only with its last line, "End of output" and its line end (a
// full disk cuts glpsol's report anywhere, "End " included).
TEST_F(ReportTest, AReportCutShortFails) {
    const std::string table =
        "     1 x(0,1)       B              1             0               \n"
        "     2 x(1,1)\n"
        "                    NL          0.25             0                       < eps\n"
        "     3 x(0,0)       B            0.5             0\n"
        "     4 e(0)         B              0             0               \n";
    const std::string whole = std::string(head) + optimal + middle + table + tail;
    const std::size_t table_start = whole.find('\n', whole.find("------", whole.find("   No. Column name"))) + 1;
    for (std::size_t cut = table_start; cut < whole.size(); ++cut) {
        ASSERT_EQ(glp(whole.substr(0, cut)), 1) << "cut at " << cut;
        ASSERT_EQ(err, path("r.out").string() + ": the solver's report ends early (no \"End of output\")\n");
    }
    ASSERT_EQ(glp(whole), 0);
    EXPECT_EQ(values(), (Values{1, 0.25, 0.5}));
}

// glpsol puts a long name alone on its line; reading the next line may
// refill the buffer under the name line. Tiny buffers put a refill at every
// place in the report.
TEST_F(ReportTest, ANameLineSurvivesTheRefillOfTheBuffer) {
    const std::string report = std::string(head) + optimal + middle +
                               "     1 x(0,1)\n"
                               "                    B            0.75             0\n"
                               "     2 x(1,1)\n"
                               "                    B            0.5             0\n"
                               "     3 x(0,0)\n"
                               "                    B            0.25             0\n" +
                               tail;
    for (std::size_t chunk = 1; chunk <= 80; ++chunk) {
        net = make_net(pairs, domains);
        std::istringstream in(report);
        std::ostringstream messages;
        ASSERT_EQ(read_glp_report(in, "r.out", net.dint, messages, nullptr, chunk), 0) << messages.str();
        ASSERT_EQ(values(), (Values{0.75, 0.5, 0.25})) << "chunk " << chunk;
    }
}

// The Marginal columns: a basic row or column has none; "< eps" is 0; a
// long name alone on its line still gets its marginal.
TEST_F(ReportTest, MarginalsOfRowsAndColumns) {
    write_file(path("m.out"),
               std::string(head) + optimal +
                   "Objective:  obj = 0.5 (MINimum)\n\n"
                   "   No.   Row name   St   Activity     Lower bound   Upper bound    Marginal\n"
                   "------ ------------ -- ------------- ------------- ------------- -------------\n"
                   "     1 r(2)         NL             1             1                         0.5 \n"
                   "     2 r(3)         B              2             1               \n"
                   "     3 r(4)         NU             1                           1          -0.5 \n"
                   "\n   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n"
                   "------ ------------ -- ------------- ------------- ------------- -------------\n"
                   "     1 x(0,1)       B            0.5             0               \n"
                   "     2 x(1,1)       NL             0             0                       < eps\n"
                   "     3 x(10000,10001)\n"
                   "                    NL             0             0                         0.5 \n"
                   "     4 e(0)         NL             0             0                           1 \n" +
                   tail);
    const Marginals m = read_glp_marginals(path("m.out").string());
    EXPECT_EQ(m.rows, (std::vector<double>{0.5, 0, -0.5}));
    EXPECT_EQ(m.columns, (std::unordered_map<std::string, double>{
                             {"x(0,1)", 0}, {"x(1,1)", 0}, {"x(10000,10001)", 0.5}, {"e(0)", 1}}));
    write_file(path("cut.out"), read_file(path("m.out")).substr(0, 900));
    EXPECT_THROW(read_glp_marginals(path("cut.out").string()), Error);
}

}  // namespace
}  // namespace ddinfer::test
