// runs/: the commands that solve many programmes of one network, above
// driver/: ddinfer-robust (many optimal solutions), ddinfer-null (the null
// models), the shards a large study is split into and ddinfer-merge, which
// joins them; batch.h holds what they share.
//
// What the companion commands share for their many solves: a working
// folder, a pool of solver runs at once, progress on standard error, and a
// result file that appears whole or not at all.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "core/network.h"
#include "runs/shard.h"
#include "solve/solver.h"

namespace ddinfer {

// A fresh temporary folder, PREFIX-PID-XXXXXX, removed with everything in
// it unless kept (then PREFIX-kept-XXXXXX). Folders PREFIX-PID-XXXXXX whose
// process is gone (killed outright) are removed first.
class WorkDir {
public:
    WorkDir(const std::string& prefix, bool keep);
    ~WorkDir();
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool keep_;
};

// A line as runs finish ("run 12/100 done, 3.1 s": 12 runs done), at most one every 5 s
// and always the last, or, on a terminal, one line updated in place with
// the estimated time left.
class Progress {
public:
    // Elapsed times count from `start`, the command's start; `of` follows
    // the count (" of shard 3/8").
    Progress(std::ostream& err, int total, bool terminal, std::chrono::steady_clock::time_point start,
             std::string of = "");
    void done();
    void finish();

private:
    std::ostream& err_;
    int total_;
    std::string of_;
    int finished_ = 0;
    double last_line_ = -1e9;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
};

// Calls work(r) for r = 1..count on up to `jobs` threads. work returns an
// empty string on success or a message; after the first failure no new run
// starts. Returns the message of the lowest failed run, or "".
std::string run_pool(int count, int jobs, const std::function<std::string(int)>& work, Progress& progress);

// The call of a companion command: --solver (default clp), --runs, --seed,
// --jobs, --keep, --outdir, --quiet and --help, any options of its own,
// then PAIRS DOMAINS RATIO.
struct BatchCall {
    ParsedArgs args;
    std::unique_ptr<Solver> solver;
    int runs = 0;
    unsigned long long seed = 1;
    int jobs = 1;
    bool keep = false;
    bool quiet = false;  // no progress lines
    float err_ratio = 0;
    std::string stem;  // PAIRS, or DIR/basename(PAIRS) with --outdir
    Shard shard;       // --shard I/S
    std::string fingerprint;  // of the inputs, when sharded
    std::chrono::steady_clock::time_point start;
    const std::string& pairs() const { return args.positional[0]; }
    const std::string& domains() const { return args.positional[1]; }
};

// The real network with its candidates, the working folder, and the
// guard that cleans up when the command is told to stop.
struct BatchInput {
    protdom network;
    inter_table pint;
    inter_table dint;
    std::unique_ptr<WorkDir> work;
    std::unique_ptr<InterruptGuard> interrupts;  // after work: destroyed first
};

// What a companion command says about itself.
struct BatchCommand {
    std::string name;   // "ddinfer-null"
    std::string usage;  // one line
    std::string help;   // the lines after it for --help
    std::vector<OptionSpec> extra;
    long default_runs = 0;
    long max_runs = 0;
    // Checks the command's own options; throws UsageError.
    std::function<void(const BatchCall&)> check = nullptr;
    // The table the command writes (a shard writes its part of it).
    std::function<std::string(const BatchCall&)> table_path = nullptr;
};

// The --help of a companion command: its own first lines, the line of
// --runs, then the options every companion command takes, the example and
// the exit statuses.
std::string batch_help(const std::string& head, const std::string& runs_line, const std::string& example);

// What a solver takes in memory: a base and a share per nonzero of the
// programme (measured: glpsol about 500 bytes, clp less).
constexpr std::uint64_t solver_base_bytes = 20u << 20;
constexpr std::uint64_t solver_bytes_per_nonzero = 500;

// An upper estimate of the nonzeros of the programme.
std::uint64_t programme_nonzeros(const protdom& network, const inter_table& pint);

// Solvers at once: the cores, but no more than fit in 4/5 of `available`
// bytes (0: unknown), and at least one.
int jobs_for_memory(int cores, std::uint64_t nonzeros, std::uint64_t available);

// Parses the call, checks that the solver is there, reads the inputs and
// makes the working folder. Returns -1 to go on, else the exit status: 0
// after --help or --version, 2 for a mistake in the call, 1 for a missing
// solver or bad input; the message is on `err`. --jobs defaults to
// jobs_for_memory.
int open_batch(const BatchCommand& command, int argc, char** argv, CommandRunner& runner, BatchCall& call,
               BatchInput& input, std::ostream& out, std::ostream& err);

// The lines around the first solve, which takes minutes on a proteome with
// glpsol: one at the start, one every 30 s while it goes on, one when done
// (none with --quiet).
class FirstSolve {
public:
    FirstSolve(const BatchCommand& command, const BatchCall& call, const std::string& what, std::ostream& err);
    ~FirstSolve();
    FirstSolve(const FirstSolve&) = delete;
    FirstSolve& operator=(const FirstSolve&) = delete;
    void done();

private:
    void stop();

    const BatchCommand& command_;
    const BatchCall& call_;
    std::ostream& err_;
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread ticker_;
};

// Runs work(r) for the runs r of 1..call.runs in the call's shard (all of
// them unless sharded) on call.jobs threads with progress on `err`; false,
// after one line naming the failed run, when any failed.
bool run_batch(const BatchCommand& command, const BatchCall& call, const std::function<std::string(int)>& work,
               std::ostream& err, bool terminal);

// The table's first line: the command, its version and the settings that
// decide the table (`own`: the command's own options first).
std::string batch_provenance(const BatchCommand& command, const BatchCall& call, const std::vector<std::string>& own);

// Writes the result table whole and says so; returns the exit status.
int finish_batch(const BatchCommand& command, const BatchCall& call, const std::string& path, const std::string& table,
                 std::ostream& err);

// The first line of a run's messages, for a one-line report of a failure.
std::string first_line(const std::string& text);


}  // namespace ddinfer
