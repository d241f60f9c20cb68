#include "cli/interrupt.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/atomic_file.h"
#include "solve/process.h"

namespace ddinfer {
namespace {

// SIGUSR1 tells the watcher that the command is done.
sigset_t watched() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    return set;
}

}  // namespace

InterruptGuard::InterruptGuard(std::string command, std::filesystem::path work, bool keep)
    : command_(std::move(command)), work_(std::move(work)), keep_(keep) {
    const sigset_t set = watched();
    pthread_sigmask(SIG_BLOCK, &set, &old_mask_);
    watcher_ = std::thread([this] { watch(); });
}

InterruptGuard::~InterruptGuard() {
    pthread_kill(watcher_.native_handle(), SIGUSR1);
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

void InterruptGuard::watch() {
    const sigset_t set = watched();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    if (signal == SIGUSR1) return;
    // The runs that the stop cuts short would each report a failure: from
    // here on only this thread speaks.
    std::fflush(nullptr);
    const int err = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    stop_children(signal);
    remove_unfinished_files();
    std::error_code ignored;
    if (!keep_ && !work_.empty()) std::filesystem::remove_all(work_, ignored);
    const std::string what =
        work_.empty() ? "unfinished files removed, earlier results left as they were"
                      : "the solvers were stopped and the working folder " +
                            (keep_ ? "kept: " + work_.string() : std::string("removed"));
    const std::string line =
        command_ + ": stopped by " + (signal == SIGINT ? "SIGINT" : "SIGTERM") + "; " + what + "\n";
    std::fflush(nullptr);
    if (write(err >= 0 ? err : STDERR_FILENO, line.data(), line.size()) < 0) {
        // nothing more can be said
    }
    _exit(128 + signal);
}

}  // namespace ddinfer
