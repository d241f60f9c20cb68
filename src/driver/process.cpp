#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

extern char** environ;

namespace ddinfer {
namespace {

// The children running now, so that a signal to the command reaches them.
std::mutex children_mutex;
std::set<pid_t> children;
bool stopping = false;

}  // namespace

void stop_children(int signal) {
    {
        std::lock_guard lock(children_mutex);
        stopping = true;
        for (pid_t pid : children) kill(pid, signal);
    }
    for (int tick = 0;; ++tick) {
        {
            std::lock_guard lock(children_mutex);
            if (children.empty()) return;
            if (tick == 50) {
                for (pid_t pid : children) kill(pid, SIGKILL);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

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
    // The child starts with no signal blocked (the command's threads block
    // the ones it waits for) and their default actions.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int rc = 0;
    {
        std::lock_guard lock(children_mutex);
        rc = stopping ? ECANCELED : posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
        if (rc == 0) children.insert(pid);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.error = argv[0] + ": " + std::strerror(rc);
        return result;
    }
    result.started = true;
    int status = 0;
    pid_t waited = 0;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    const int wait_error = errno;
    {
        std::lock_guard lock(children_mutex);
        children.erase(pid);
    }
    if (waited < 0) {
        result.error = std::strerror(wait_error);
        result.started = false;
        return result;
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

bool on_path(const std::string& program) {
    if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t begin = 0; begin <= folders.size();) {
        std::size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        std::string candidate(end > begin ? std::string_view(folders).substr(begin, end - begin) : ".");
        candidate.append("/").append(program);
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

std::string as_argument(const std::string& path) { return !path.empty() && path[0] == '-' ? "./" + path : path; }

}  // namespace ddinfer
