#include "driver.h"

#include <gtest/gtest.h>

#include "solver.h"

namespace ddinfer::test {
namespace {

TEST(RunFilesTest, NamesShowTheSinglePrecisionRatio) {
    EXPECT_EQ(ratio_text(parse_ratio("0.1")), "0.100000");
    EXPECT_EQ(ratio_text(parse_ratio("0.25")), "0.250000");
    EXPECT_EQ(ratio_text(parse_ratio("1000000.1")), "1000000.125000");
    EXPECT_EQ(ratio_text(parse_ratio("abc")), "0.000000");
    EXPECT_EQ(ratio_text(parse_ratio("-0.5")), "-0.500000");
    EXPECT_EQ(ratio_text(parse_ratio("  0.1000001xyz")), "0.100000");
    const RunFiles files = run_files("data/pairs.txt", parse_ratio("0.1"));
    EXPECT_EQ(files.lp, "data/pairs.txt.0.100000.lp");
    EXPECT_EQ(files.out, "data/pairs.txt.0.100000.out");
    EXPECT_EQ(files.dint, "data/pairs.txt.0.100000.dint");
    EXPECT_EQ(files.mps, "data/pairs.txt.0.100000.mps");
}

TEST(SolverTest, CommandLinesHandPathsOverIntact) {
    const RunFiles files = run_files("-my pairs;$(x).txt", 0.5f);
    EXPECT_EQ(make_solver("glpsol")->command(files),
              (std::vector<std::string>{"glpsol", "--lp", "--simplex", "-o", "./-my pairs;$(x).txt.0.500000.out",
                                        "./-my pairs;$(x).txt.0.500000.lp"}));
    EXPECT_EQ(
        make_solver("clp")->command(run_files("p.txt", 0.5f)),
        (std::vector<std::string>{"clp", "p.txt.0.500000.mps", "-primalsimplex", "-solution", "p.txt.0.500000.out"}));
    EXPECT_EQ(make_solver("cplex"), nullptr);
}

}  // namespace
}  // namespace ddinfer::test
