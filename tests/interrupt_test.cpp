// A command told to stop, or killed outright, while its solver runs:
// nothing of it may remain, neither its private files nor the solver, and
// earlier results stay as they were.
#include <gtest/gtest.h>

#include "test_util.h"

namespace ddinfer::test {
namespace {

class InterruptTest : public TempDirTest {};

TEST_F(InterruptTest, ASignalStopsTheSolversAndRemovesTheWorkingFolder) {
    write_file(path("pairs.txt"), "2\nA B\nB C\n");
    write_file(path("domains.txt"), "2\nD0: A C\nD1: B\n");
    fs::create_directories(path("bin"));
    // The stand-in solver leaves its process id and sleeps.
    write_file(path("bin/glpsol"), "#!/bin/sh\necho $$ > solver.pid\nexec sleep 60\n");
    fs::permissions(path("bin/glpsol"), fs::perms::owner_all);
    for (const auto& [command, signal, status, what] :
         {std::tuple{"ddinfer-robust", "TERM", 143, "the classic programme"},
          {"ddinfer-null", "INT", 130, "the real network"}}) {
        fs::create_directories(path("tmp"));
        const std::string script =
            "PATH=\"$PWD/bin:$PATH\" TMPDIR=\"$PWD/tmp\" " + bin(command) +
            " --solver glpsol pairs.txt domains.txt 0 > /dev/null 2> err & pid=$!\n"
            "for i in $(seq 100); do [ -s solver.pid ] && break; sleep 0.05; done\n"
            "kill -" + signal + " $pid; wait $pid; echo $?\n"
            "kill -0 $(cat solver.pid) 2> /dev/null && echo the solver still runs\n"
            "ls -A tmp; rm solver.pid\n";
        const RunResult run = run_in(dir, {"sh", "-c", script});
        EXPECT_EQ(run.out, std::to_string(status) + "\n") << command;
        EXPECT_EQ(read_file(path("err")), "input check: 3 of 3 proteins carry a domain; 2 of 2 pairs are modelled; "
                                          "repeated pairs (either order): 0\n" + std::string(command) + ": solving " + what + " once (glpsol)\n" + command +
                                              ": stopped by SIG" + signal +
                                              "; the solvers were stopped and the working folder removed\n");
        // Nothing beside the inputs either.
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"bin", "domains.txt", "err", "pairs.txt", "tmp"}));
    }
    // With --keep the folder stays, and the line says where.
    const RunResult kept = run_in(
        dir, {"sh", "-c",
              "PATH=\"$PWD/bin:$PATH\" TMPDIR=tmp " + bin("ddinfer-robust") +
                  " --keep --solver glpsol pairs.txt domains.txt 0 > /dev/null 2> err & pid=$!\n"
                  "for i in $(seq 100); do [ -s solver.pid ] && break; sleep 0.05; done\n"
                  "kill -TERM $pid; wait $pid; echo $?; tail -n 1 err | sed 's/kept-[^/]*$/kept-X/'; ls tmp | wc -l\n"});
    EXPECT_EQ(kept.out, "143\nddinfer-robust: stopped by SIGTERM; the solvers were stopped and the working folder kept: "
                        "tmp/ddinfer-robust-kept-X\n1\n");
}

// ddinfer stopped while glpsol runs: the earlier programme, report and
// result stay, its private files go, and so does the solver.
TEST_F(InterruptTest, DdinferStoppedLeavesTheEarlierFilesAndNoSolver) {
    write_file(path("pairs.txt"), "2\nA B\nB C\n");
    write_file(path("domains.txt"), "2\nD0: A C\nD1: B\n");
    fs::create_directories(path("bin"));
    write_file(path("bin/glpsol"), "#!/bin/sh\necho $$ > solver.pid\nexec sleep 60\n");
    fs::permissions(path("bin/glpsol"), fs::perms::owner_all);
    for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}}) {
        for (const char* ending : {".lp", ".out", ".dint"}) write_file(path(std::string("pairs.txt.0.000000") + ending), "earlier\n");
        const std::string script =
            "PATH=\"$PWD/bin:$PATH\" " + bin("ddinfer") + " --solver glpsol pairs.txt domains.txt 0 > /dev/null 2> err & pid=$!\n"
            "for i in $(seq 100); do [ -s solver.pid ] && break; sleep 0.05; done\n"
            "kill -" + std::string(signal) + " $pid; wait $pid; echo $?\n"
            "kill -0 $(cat solver.pid) 2> /dev/null && echo the solver still runs\n"
            "rm solver.pid\n";
        const RunResult run = run_in(dir, {"sh", "-c", script});
        EXPECT_EQ(run.out, std::to_string(status) + "\n") << signal;
        const std::string err = read_file(path("err"));
        EXPECT_TRUE(err.ends_with("writing pairs.txt.0.000000.lp\nddinfer: stopped by SIG" + std::string(signal) +
                                  "; unfinished files removed, earlier results left as they were\n"))
            << err;
        for (const char* ending : {".lp", ".out", ".dint"}) {
            EXPECT_EQ(read_file(path(std::string("pairs.txt.0.000000") + ending)), "earlier\n") << ending;
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"bin", "domains.txt", "err", "pairs.txt", "pairs.txt.0.000000.dint",
                                                   "pairs.txt.0.000000.lp", "pairs.txt.0.000000.out"}));
    }
}

// Killed with SIGKILL, a command cannot clean up: its solver dies with it
// all the same, and the next run removes the working folder it left.
TEST_F(InterruptTest, KilledOutrightTheSolverDiesAndTheNextRunClearsTheFolder) {
    write_file(path("pairs.txt"), "2\nA B\nB C\n");
    write_file(path("domains.txt"), "2\nD0: A C\nD1: B\n");
    fs::create_directories(path("bin"));
    fs::create_directories(path("tmp"));
    write_file(path("bin/glpsol"), "#!/bin/sh\necho $$ > solver.pid\nexec sleep 60\n");
    fs::permissions(path("bin/glpsol"), fs::perms::owner_all);
    const std::string script =
        "export PATH=\"$PWD/bin:$PATH\" TMPDIR=\"$PWD/tmp\"\n" + bin("ddinfer-robust") +
        " --solver glpsol pairs.txt domains.txt 0 > /dev/null 2>&1 & pid=$!\n"
        "for i in $(seq 100); do [ -s solver.pid ] && break; sleep 0.05; done\n"
        "kill -KILL $pid; wait $pid\n"
        "for i in $(seq 50); do kill -0 $(cat solver.pid) 2> /dev/null || break; sleep 0.05; done\n"
        "kill -0 $(cat solver.pid) 2> /dev/null && echo the solver still runs\n"
        "ls tmp | sed 's/-[0-9]*-.*/-PID-XXXXXX/'\n"
        "printf '#!/bin/sh\\nexit 3\\n' > bin/glpsol\n"
        // A folder of a live process (init) and one kept on purpose stay.
        "mkdir tmp/ddinfer-robust-1-abcdef tmp/ddinfer-robust-kept-abcdef\n" +
        bin("ddinfer-robust") + " --solver glpsol pairs.txt domains.txt 0 > /dev/null 2>&1; echo $?\n"
        "ls -A tmp\n";
    const RunResult run = run_in(dir, {"sh", "-c", script});
    EXPECT_EQ(run.out, "ddinfer-robust-PID-XXXXXX\n1\nddinfer-robust-1-abcdef\nddinfer-robust-kept-abcdef\n");
    // --keep names its folder so that no later run removes it.
    const RunResult kept = run_in(dir, {"sh", "-c", "rm -r tmp/*; TMPDIR=\"$PWD/tmp\" " + bin("ddinfer-robust") +
                                                        " -q --keep --runs 1 pairs.txt domains.txt 0 > /dev/null 2>&1;"
                                                        " ls tmp | sed 's/-kept-.*/-kept-XXXXXX/'"});
    EXPECT_EQ(kept.out, "ddinfer-robust-kept-XXXXXX\n");
}

// ddinfer-prep stopped while it reads: status 130, one line, no output.
TEST_F(InterruptTest, PrepStoppedWritesNothing) {
    const std::string script = "(printf 'A B\\n'; sleep 2) | " + bin("ddinfer-prep") +
                               " pairs --format tsv - -o out.txt 2> err & pid=$!\n"
                               "sleep 0.5; kill -INT $pid; wait $pid; echo $?\n";
    const RunResult run = run_in(dir, {"sh", "-c", script});
    EXPECT_EQ(run.out, "130\n");
    EXPECT_EQ(read_file(path("err")),
              "ddinfer-prep: stopped by SIGINT; unfinished files removed, earlier results left as they were\n");
    EXPECT_FALSE(fs::exists(path("out.txt")));
}

// The commands that write tables stop the same way while they read: one
// line, status 143, nothing written.
TEST_F(InterruptTest, TheTableCommandsStopCleanly) {
    write_file(path("d.txt"), "1\nX: A B\n");
    const std::string slow = "(printf '1\\nA B\\n'; sleep 2) | ";
    struct Call {
        std::string command, line, output;
    };
    const Call calls[] = {
        {"ddinfer-report", slow + bin("ddinfer-report") + " -o out - d.txt", "out"},
        {"ddinfer-rank", slow + bin("ddinfer-rank") + " - d.txt", "stdin.rank.tsv"},
        {"ddinfer-pool", slow + bin("ddinfer-pool") + " -o out - d.txt", "out"},
        {"ddinfer-merge", "mkfifo p.shard-1-of-1.tsv; " + bin("ddinfer-merge") + " -o out p.shard-1-of-1.tsv", "out"},
    };
    for (const Call& call : calls) {
        const RunResult run =
            run_in(dir, {"sh", "-c", call.line + " 2> err & pid=$!\nsleep 0.5; kill -TERM $pid; wait $pid; echo $?\n"});
        EXPECT_EQ(run.out, "143\n") << call.command;
        EXPECT_EQ(read_file(path("err")),
                  call.command + ": stopped by SIGTERM; unfinished files removed, earlier results left as they were\n");
        EXPECT_FALSE(fs::exists(path(call.output))) << call.command;
        fs::remove(path("p.shard-1-of-1.tsv"));
    }
}

}  // namespace
}  // namespace ddinfer::test
