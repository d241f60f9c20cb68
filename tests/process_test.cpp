// The child-process seam: what a run of a program reports, as the solver
// drivers read it.
#include "solve/process.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace ddinfer::test {
namespace {

class ProcessTest : public TempDirTest {};

TEST_F(ProcessTest, AStartThatFailsIsNoExitStatus) {
    SpawnRunner runner;
    const std::string missing = path("no-such-solver").string();
    const ProcessResult gone = runner.run({missing}, "");
    EXPECT_FALSE(gone.started);
    EXPECT_EQ(gone.exit_code, -1);
    EXPECT_EQ(gone.describe(), "could not be started: " + missing + ": No such file or directory");
    // There, but not executable: not started either, and not on the path.
    const std::string plain = path("plain").string();
    write_file(plain, "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(runner.run({plain}, "").describe(), "could not be started: " + plain + ": Permission denied");
    EXPECT_FALSE(on_path(plain));
    fs::permissions(plain, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_TRUE(on_path(plain));
    EXPECT_TRUE(runner.run({plain}, "").ok());
    // A log that cannot be opened stops the start.
    const ProcessResult no_log = runner.run({"true"}, path("no/log").string());
    EXPECT_FALSE(no_log.started);
    EXPECT_EQ(no_log.describe(), "could not be started: true: No such file or directory");
}

TEST_F(ProcessTest, ExitStatusSignalAndTheLogOfBothStreams) {
    SpawnRunner runner;
    // 127 given by the program itself is its status, not a failed start.
    ProcessResult result = runner.run({"sh", "-c", "exit 127"}, "");
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exit_code, 127);
    EXPECT_EQ(result.describe(), "exited with status 127");
    result = runner.run({"sh", "-c", "exit 3"}, "");
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.describe(), "exited with status 3");
    result = runner.run({"sh", "-c", "kill -TERM $$"}, "");
    EXPECT_EQ(result.signal, 15);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.describe(), "was killed by signal 15 (Terminated)");
    // The log holds both streams of this run alone.
    write_file(path("log"), "a longer log of an earlier run\n");
    ASSERT_TRUE(runner.run({"sh", "-c", "echo out; echo err >&2"}, path("log").string()).ok());
    EXPECT_EQ(read_file(path("log")), "out\nerr\n");
}

}  // namespace
}  // namespace ddinfer::test
