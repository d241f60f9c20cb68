// Running a solver as a child process, without a shell: the arguments reach
// it exactly as given, and nothing in a file name is ever executed.
#pragma once

#include <string>
#include <vector>

namespace ddinfer {

struct ProcessResult {
    bool started = false;
    int exit_code = -1;  // when it exited normally
    int signal = 0;      // when a signal ended it
    std::string error;   // why it could not be started

    bool ok() const { return started && signal == 0 && exit_code == 0; }
    // "could not be started: ...", "exited with status 3", "was killed by signal 9"
    std::string describe() const;
};

// Runs argv[0] (looked up on PATH) and waits for it. When `log_path` is not
// empty, the child's standard output and error go to that file. The child
// dies with the command, however the command ends.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual ProcessResult run(const std::vector<std::string>& argv, const std::string& log_path) = 0;
};

class SpawnRunner : public CommandRunner {
public:
    ProcessResult run(const std::vector<std::string>& argv, const std::string& log_path) override;
};

// Sends `signal` to every child that a SpawnRunner of this process has
// running, and makes every later run fail to start: for a command that
// was told to stop. Returns once they have all ended (after a few seconds
// the stragglers are killed).
void stop_children(int signal);

// Once stop_children has begun, a thread that would go on with what a
// stopped solver left (reading its report, renaming files) waits here
// instead, for the stop to end the process.
void park_if_stopping();

// Whether `program` names an executable file, directly when it holds a
// "/", else in a folder of PATH.
bool on_path(const std::string& program);

// A path handed to a program as an argument: one that begins with "-"
// would be taken for an option, so it gets "./" in front.
std::string as_argument(const std::string& path);

}  // namespace ddinfer
