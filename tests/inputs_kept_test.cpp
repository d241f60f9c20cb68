// No input is lost or mistaken: an output that names one of a command's
// inputs (under any spelling) is refused before anything is read or
// written; ddinfer-eval bounds its lines as it reads and says when its
// figures cannot be written; a report the solver could not write is named
// as such, not as a solution that is not optimal.
#include <gtest/gtest.h>

#include <memory>

#include "solve/solver.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

class InputsKeptTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), "3\nP1 P2\nP2 P3\nP1 P3\n");
        write_file(path("domains.txt"), "2\nD1: P1 P3\nD2: P2\n");
        write_file(path("gold.tsv"), "D1 D2\n");
    }
};

TEST_F(InputsKeptTest, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
    ASSERT_EQ(run_in(dir, {bin("ddinfer"), "-q", "--solver", "clp", "pairs.txt", "domains.txt", "0"}).status, 0);
    ASSERT_EQ(run_in(dir, {bin("ddinfer-rank"), "-q", "pairs.txt", "domains.txt"}).status, 0);
    for (int shard = 1; shard <= 2; ++shard) {
        ASSERT_EQ(run_in(dir, {bin("ddinfer-robust"), "-q", "--runs", "2", "--shard", std::to_string(shard) + "/2",
                               "pairs.txt", "domains.txt", "0"})
                      .status,
                  0);
    }
    fs::create_directory(path("sub"));
    fs::create_symlink(path("gold.tsv"), path("sub/link.tsv"));
    const std::string part = "pairs.txt.0.000000.robust.shard-2-of-2.tsv";
    // Each call, and the input it would have destroyed, as the message names it.
    const std::vector<std::pair<std::vector<std::string>, std::string>> calls{
        {{"ddinfer", "pairs.txt", "pairs.txt.0.000000.dint", "0"}, "pairs.txt.0.000000.dint"},
        {{"ddinfer-merge", "-o", part, "pairs.txt.0.000000.robust.shard-1-of-2.tsv", part}, part},
        {{"ddinfer-pool", "-o", "pairs.txt.rank.tsv", "pairs.txt.rank.tsv", "b.tsv"}, "pairs.txt.rank.tsv"},
        {{"ddinfer-pool", "--calibrate", "gold.tsv", "-o", "./gold.tsv", "pairs.txt.rank.tsv", "b.tsv"}, "gold.tsv"},
        {{"ddinfer-prep", "pairs", "--format", "tsv", "gold.tsv", "-o", "sub/link.tsv"}, "gold.tsv"},
        {{"ddinfer-report", "--names", "pairs.txt.report.html", "pairs.txt", "domains.txt"}, "pairs.txt.report.html"},
        {{"ddinfer-explain", "--gold", "gold.tsv", "-o", "sub/../gold.tsv", "pairs.txt", "domains.txt"}, "gold.tsv"},
        {{"ddinfer-rank", "--calibrate", "pairs.txt.rank.tsv", "pairs.txt", "domains.txt"}, "pairs.txt.rank.tsv"},
    };
    write_file(path("pairs.txt.report.html"), "my names\n");
    for (auto [words, input] : calls) {
        const std::string before = read_file(path(input));
        const std::string command = words[0];
        words[0] = bin(command);
        const RunResult run = run_in(dir, words);
        EXPECT_EQ(run.status, 2) << command << ": " << run.err;
        EXPECT_NE(run.err.find(command + ": the output "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" is the input " + input), std::string::npos) << run.err;
        EXPECT_EQ(read_file(path(input)), before) << command;
    }
}

TEST_F(InputsKeptTest, EvalBoundsItsLinesAndChecksItsWrites) {
    ASSERT_EQ(run_in(dir, {bin("ddinfer"), "-q", "--solver", "clp", "pairs.txt", "domains.txt", "0"}).status, 0);
    // One byte over the bound, on line 2.
    write_file(path("long.dint"), "D1\tD2\n" + std::string((std::size_t{1} << 20) + 1, 'x'));
    RunResult run = run_in(dir, {bin("ddinfer-eval"), "pairs.txt", "domains.txt", "long.dint", "gold.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ddinfer-eval: long.dint:2: a line of over 1 MiB"), std::string::npos) << run.err;
    write_file(path("exact.dint"), "D1\tD2\n" + std::string(std::size_t{1} << 20, 'x'));
    run = run_in(dir, {bin("ddinfer-eval"), "pairs.txt", "domains.txt", "exact.dint", "gold.tsv"});
    EXPECT_EQ(run.err.find("MiB"), std::string::npos) << run.err;  // at the bound: read, then judged as no pair
    // Its figures to a full disk.
    const int status = std::system(("cd " + quoted(dir.string()) + " && " + bin("ddinfer-eval") +
                                    " -q pairs.txt domains.txt pairs.txt.0.000000.dint gold.tsv > /dev/full 2> err.txt")
                                       .c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file(path("err.txt")), "ddinfer-eval: standard output: cannot write: No space left on device\n");
}

// A table of this version ends with its row count and checksum: cut at a
// line end, or with a row deleted, it is refused by every reader; a table
// of an earlier version, without one, is read with a warning.
TEST_F(InputsKeptTest, TablesEndWithTheirRowCountAndAreCheckedWhole) {
    ASSERT_EQ(run_in(dir, {bin("ddinfer-rank"), "-q", "pairs.txt", "domains.txt"}).status, 0);
    const std::string table = read_file(path("pairs.txt.rank.tsv"));
    const std::size_t end = table.rfind("# end rows 2 checksum ");
    ASSERT_NE(end, std::string::npos) << table;
    const std::size_t last_row = table.rfind('\n', end - 2) + 1;
    write_file(path("cut.tsv"), table.substr(0, last_row));
    write_file(path("lost.tsv"), table.substr(0, last_row) + table.substr(end));
    write_file(path("after.tsv"), table + table.substr(last_row, end - last_row));
    write_file(path("old.tsv"), "# ddinfer-rank 1.0.0 --evidence all pairs.txt domains.txt\n" +
                                    table.substr(table.find('\n') + 1, end - table.find('\n') - 1));
    for (const auto& [file, message] :
         {std::pair{"cut.tsv", "cut.tsv: no end line (\"# end rows R checksum HEX\"): the table was cut short at a line end"},
          {"lost.tsv", "lost.tsv:4: the end line counts 2 rows, the table holds 1: rows were lost or added"},
          {"after.tsv", "after.tsv:6: expected nothing after the end line"}}) {
        for (const char* command : {"ddinfer-eval", "ddinfer-report", "ddinfer-explain"}) {
            const RunResult run =
                std::string(command) == "ddinfer-eval"
                    ? run_in(dir, {bin(command), "pairs.txt", "domains.txt", file, "gold.tsv"})
                    : run_in(dir, {bin(command), "--rank", file, "-o", "out", "pairs.txt", "domains.txt"});
            EXPECT_EQ(run.status, 1) << command << " " << file;
            EXPECT_NE(run.err.find(std::string(command) + ": " + message), std::string::npos) << run.err;
        }
    }
    const RunResult old = run_in(dir, {bin("ddinfer-eval"), "pairs.txt", "domains.txt", "old.tsv", "gold.tsv"});
    EXPECT_EQ(old.status, 0) << old.err;
    EXPECT_NE(old.err.find("warning: old.tsv has no end line (written by a version before tables ended with a row "
                           "count and a checksum): read as it is, unchecked\n"),
              std::string::npos)
        << old.err;
}

// A table that cannot be written (a folder in its place) is a failure, not
// a run that ends well with nothing written.
TEST_F(InputsKeptTest, CompanionTablesThatCannotBeWrittenFail) {
    for (const auto& [command, table] : {std::pair{"ddinfer-robust", "pairs.txt.0.000000.robust.tsv"},
                                         std::pair{"ddinfer-null", "pairs.txt.0.000000.m2.null.tsv"}}) {
        fs::create_directory(path(table));
        const RunResult run = run_in(dir, {bin(command), "-q", "--runs", "2", "pairs.txt", "domains.txt", "0"});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find(std::string(command) + ": " + table + ": cannot write: Is a directory"), std::string::npos)
            << run.err;
    }
}

// A gold list none of whose pairs is a candidate would mark every pair
// "new" and chart a precision of 0: refused as ddinfer-rank refuses it.
TEST_F(InputsKeptTest, TheReportRefusesAGoldListOfOtherIds) {
    write_file(path("other.tsv"), "IPR1 IPR2\n");
    const RunResult run = run_in(dir, {bin("ddinfer-report"), "--gold", "other.tsv", "pairs.txt", "domains.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ddinfer-report: no pair of other.tsv is a candidate pair of pairs.txt and domains.txt"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(path("pairs.txt.report.html")));
}

// Stands in for glpsol on a full disk: its log says so, and the report it
// began ends early.
class FullDiskRunner : public CommandRunner {
public:
    ProcessResult run(const std::vector<std::string>& argv, const std::string& log_path) override {
        write_file(argv.at(4), "Problem:\nRows: 3\n");
        write_file(log_path, "Writing basic solution to '" + argv.at(4) + "'...\nWrite error on '" + argv.at(4) +
                                 "' - No space left on device\nUnable to write problem solution\n");
        ProcessResult failed;
        failed.started = true;
        failed.exit_code = 1;
        return failed;
    }
};

TEST_F(InputsKeptTest, AReportTheSolverCouldNotWriteIsNamedSo) {
    const Net net = make_net("3\nP1 P2\nP2 P3\nP1 P3\n", "2\nD1: P1 P3\nD2: P2\n");
    FullDiskRunner runner;
    const std::unique_ptr<Solver> glpsol = make_solver("glpsol", runner, false);
    const RunFiles files = run_files(path("p").string(), 0.0f);
    inter_table dint = net.dint;
    std::ostringstream messages;
    EXPECT_FALSE(glpsol->solve(SolveJob{net.network, net.pint, 0.0f, {}, files, files.out + ".log"}, dint, messages,
                               nullptr)
                     .solved);
    EXPECT_EQ(messages.str(), "glpsol exited with status 1\nthe solver could not write its report " + files.out +
                                  ": Write error on '" + files.out + "' - No space left on device\n");
}

}  // namespace
}  // namespace ddinfer::test
