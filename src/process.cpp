#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace ddinfer {

std::string ProcessResult::describe() const {
    if (!started) return "could not be started: " + error;
    if (signal != 0) return "was killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "exited with status " + std::to_string(exit_code);
}

ProcessResult SpawnRunner::run(const std::vector<std::string>& argv, const std::string& log_path) {
    ProcessResult result;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!log_path.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.error = argv[0] + ": " + std::strerror(rc);
        return result;
    }
    result.started = true;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.error = std::strerror(errno);
            result.started = false;
            return result;
        }
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::string as_argument(const std::string& path) { return !path.empty() && path[0] == '-' ? "./" + path : path; }

}  // namespace ddinfer
