#include "solve/process.h"

#include <fcntl.h>
#include <sys/prctl.h>
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

void park_if_stopping() {
    {
        std::lock_guard lock(children_mutex);
        if (!stopping) return;
    }
    for (;;) pause();
}

std::string ProcessResult::describe() const {
    if (!started) return "could not be started: " + error;
    if (signal != 0) return "was killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "exited with status " + std::to_string(exit_code);
}

namespace {

// In the child, between fork and exec: only async-signal-safe calls. The
// child dies with its parent, even one killed with SIGKILL, so no solver
// is left running for nobody; it starts with no signal blocked (the
// command's threads block the ones they wait for) and their default
// actions. A failure is written to `report` as an errno.
[[noreturn]] void start_child(char* const* args, const char* log_path, pid_t parent, int report) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // the parent went before prctl took hold
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    if (log_path != nullptr) {
        const int fd = open(log_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) {
            const int error = errno;
            if (write(report, &error, sizeof error) < 0) _exit(127);
            _exit(127);
        }
    }
    execvp(args[0], args);
    const int error = errno;
    if (write(report, &error, sizeof error) < 0) _exit(127);
    _exit(127);
}

}  // namespace

ProcessResult SpawnRunner::run(const std::vector<std::string>& argv, const std::string& log_path) {
    ProcessResult result;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    // The child says through this pipe why it could not start; exec closes
    // it, so an empty read means the program runs.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        result.error = argv[0] + ": " + std::strerror(errno);
        return result;
    }
    const pid_t parent = getpid();
    pid_t pid = 0;
    int rc = 0;
    {
        std::lock_guard lock(children_mutex);
        if (stopping) {
            rc = ECANCELED;
        } else if ((pid = fork()) == 0) {
            start_child(args.data(), log_path.empty() ? nullptr : log_path.c_str(), parent, report[1]);
        } else if (pid < 0) {
            rc = errno;
        } else {
            children.insert(pid);
        }
    }
    close(report[1]);
    int child_error = 0;
    ssize_t got = 0;
    while ((got = read(report[0], &child_error, sizeof child_error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (rc == 0 && got == static_cast<ssize_t>(sizeof child_error)) rc = child_error;
    if (rc != 0 && pid <= 0) {
        result.error = argv[0] + ": " + std::strerror(rc);
        return result;
    }
    int status = 0;
    pid_t waited = 0;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    const int wait_error = errno;
    {
        std::lock_guard lock(children_mutex);
        children.erase(pid);
    }
    if (rc != 0) {  // the child could not start the program
        result.error = argv[0] + ": " + std::strerror(rc);
        return result;
    }
    result.started = true;
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
