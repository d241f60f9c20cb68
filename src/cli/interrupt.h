// A command told to stop (SIGINT from Ctrl-C, SIGTERM from a job scheduler)
// stops cleanly: its solvers get the same signal and are waited for, its
// half-written files and working folder are removed (the folder is kept
// with --keep), earlier results stay as they were, one line says so, and it
// exits with 128 + the signal (130, 143).
#pragma once

#include <signal.h>

#include <filesystem>
#include <string>
#include <thread>

namespace ddinfer {

class InterruptGuard {
public:
    // Blocks SIGINT and SIGTERM in the calling thread (and so in every
    // thread it starts later) and watches for them on a thread of its own.
    // `work`: the working folder, or empty for a command without one.
    explicit InterruptGuard(std::string command, std::filesystem::path work = {}, bool keep = false);
    ~InterruptGuard();  // stops watching; the signals are unblocked again
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void watch();

    std::string command_;
    std::filesystem::path work_;
    bool keep_;
    sigset_t old_mask_;
    std::thread watcher_;
};

}  // namespace ddinfer
