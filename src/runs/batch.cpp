#include "runs/batch.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <ostream>
#include <thread>
#include <vector>

#include "core/atomic_file.h"
#include "core/dint.h"
#include "driver/driver.h"
#include "core/error.h"
#include "core/readers.h"

namespace ddinfer {

namespace {

// Removes the working folders PREFIX-PID-XXXXXX that earlier runs left when
// they were killed outright (kill -9, a lost node): only folders of this
// user whose process is gone.
void remove_abandoned(const std::filesystem::path& temporary, const std::string& prefix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(temporary, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix + "-", 0) != 0) continue;
        const std::size_t digits = prefix.size() + 1, dash = name.find('-', digits);
        if (dash == std::string::npos || dash == digits || dash - digits > 9 || name.size() != dash + 7 ||
            name.find_first_not_of("0123456789", digits) != dash) {
            continue;
        }
        const auto pid = static_cast<pid_t>(std::stol(name.substr(digits, dash - digits)));
        struct stat info;
        if (lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) continue;
        if (pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

}  // namespace

WorkDir::WorkDir(const std::string& prefix, bool keep) : keep_(keep) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) throw Error("no folder for temporary files: " + error.message());
    remove_abandoned(temporary, prefix);
    // The process id in the name tells a later run whether the folder's
    // owner is still alive; a folder kept on purpose has none.
    const std::string owner = keep ? "kept" : std::to_string(getpid());
    std::string pattern = (temporary / (prefix + "-" + owner + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw Error("cannot create a working folder " + pattern + ": " + std::strerror(errno));
    }
    path_ = pattern;
}

WorkDir::~WorkDir() {
    if (keep_) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Progress::Progress(std::ostream& err, int total, bool terminal, std::chrono::steady_clock::time_point start,
                   std::string of)
    : err_(err), total_(total), of_(std::move(of)), terminal_(terminal), start_(start) {}

void Progress::done() {
    std::lock_guard lock(mutex_);
    ++finished_;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char line[160];
    if (terminal_) {
        const double left = elapsed / finished_ * (total_ - finished_);
        std::snprintf(line, sizeof line, "\r%d/%d runs%s done, %.0f s, about %.0f s left   ", finished_, total_,
                      of_.c_str(), elapsed, left);
    } else {
        // One line every few seconds at most, and the last one.
        if (finished_ < total_ && elapsed - last_line_ < 5.0 && finished_ > 1) return;
        last_line_ = elapsed;
        std::snprintf(line, sizeof line, "run %d/%d%s done, %.1f s\n", finished_, total_, of_.c_str(), elapsed);
    }
    err_ << line << std::flush;
}

void Progress::finish() {
    std::lock_guard lock(mutex_);
    if (terminal_ && finished_ > 0) err_ << "\n" << std::flush;
}

std::string run_pool(int count, int jobs, const std::function<std::string(int)>& work, Progress& progress) {
    std::atomic<int> next{1};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::map<int, std::string> failures;
    auto worker = [&] {
        for (int r; !failed && (r = next++) <= count;) {
            std::string message;
            try {
                message = work(r);
            } catch (const std::exception& e) {
                message = "run " + std::to_string(r) + ": " + e.what();
            }
            if (message.empty()) {
                progress.done();
                continue;
            }
            std::lock_guard lock(mutex);
            failures.emplace(r, std::move(message));
            failed = true;
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < std::max(1, std::min(jobs, count)); ++j) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();
    progress.finish();
    return failures.empty() ? std::string() : failures.begin()->second;
}

namespace {

// Fills the call from parsed arguments; throws UsageError.
void fill_batch_call(BatchCall& call, long default_runs, long max_runs, CommandRunner& runner) {
    call.runs = static_cast<int>(call.args.get_long("runs", default_runs, 1, max_runs));
    call.seed = static_cast<unsigned long long>(call.args.get_long("seed", 1, 0, 9223372036854775807L));
    call.jobs = static_cast<int>(call.args.get_long("jobs", 0, 1, 1024));  // 0: chosen once the inputs are read
    call.keep = call.args.has("keep");
    call.quiet = call.args.has("quiet");
    call.solver = make_solver(call.args.get("solver", "clp"), runner);
    if (!call.solver) throw UsageError("--solver takes glpsol or clp, not \"" + call.args.get("solver", "") + "\"");
    call.err_ratio = parse_ratio_argument(call.args.positional[2]);
    call.stem = output_stem(call.args, call.pairs());
    if (call.args.has("shard")) call.shard = parse_shard(call.args.get("shard", ""), call.runs);
}

// Reads the inputs (count lines to `out`), builds the candidates and makes
// the working folder, naming it on `err` when it is kept. Throws Error.
void start_batch(const BatchCall& call, const std::string& prefix, BatchInput& input, std::ostream& out,
                 std::ostream& err) {
    InfoStream info(err, call.quiet);
    readdata(input.network, input.pint, call.pairs(), call.domains(), Streams{out, info}, true);
    construct_dint(input.network, input.pint, input.dint, out);
    input.work = std::make_unique<WorkDir>(prefix, call.keep);
    input.interrupts = std::make_unique<InterruptGuard>(prefix, input.work->path(), call.keep);
    if (call.keep) info << "working folder: " << input.work->path().string() << "\n";
}

// Memory in bytes that a new process may take now, or 0 when unknown.
std::uint64_t available_memory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kb = 0;
    while (meminfo >> key >> kb) {
        if (key == "MemAvailable:") return kb * 1024;
        meminfo.ignore(1 << 10, '\n');
    }
    return 0;
}

}  // namespace

std::uint64_t programme_nonzeros(const protdom& network, const inter_table& pint) {
    std::uint64_t nonzeros = 0;
    for (const inter& pair : pint.list) {
        const auto p = static_cast<std::uint64_t>(network.prot[pair.a].n);
        const auto q = static_cast<std::uint64_t>(network.prot[pair.b].n);
        if (p > 0 && q > 0) nonzeros += p * q + 2;  // its x terms, its e in the row and in the budget
    }
    return nonzeros;
}

int jobs_for_memory(int cores, std::uint64_t nonzeros, std::uint64_t available) {
    if (available == 0) return std::max(1, cores);
    const std::uint64_t per_solver = solver_base_bytes + solver_bytes_per_nonzero * nonzeros;
    const auto fit = static_cast<int>(std::min<std::uint64_t>(available * 4 / 5 / per_solver, 1024));
    return std::max(1, std::min(cores, fit));
}

int open_batch(const BatchCommand& command, int argc, char** argv, CommandRunner& runner, BatchCall& call,
               BatchInput& input, std::ostream& out, std::ostream& err) {
    call.start = std::chrono::steady_clock::now();
    std::vector<OptionSpec> options{{"solver", true}, {"runs", true},   {"seed", true},
                                    {"jobs", true, 'j'}, {"keep", false}, {"outdir", true},
                                    {"shard", true}};
    options.insert(options.end(), command.extra.begin(), command.extra.end());
    const CommandLine line{command.name, command.usage, command.help, options, 3};
    if (const int status = parse_command_line(line, argc, argv, call.args, out, err); status >= 0) return status;
    try {
        fill_batch_call(call, command.default_runs, command.max_runs, runner);
        if (command.check) command.check(call);
        if (command.table_path) {
            const std::string table = command.table_path(call);
            refuse_output_over_input({table, call.shard.active() ? call.shard.partial_name(table) : table},
                                     {call.pairs(), call.domains()});
        }
    } catch (const UsageError& e) {
        err << command.name << ": " << e.what() << "; " << command.usage;
        return 2;
    }
    if (const std::string missing = call.solver->missing(); !missing.empty()) {
        err << command.name << ": " << missing << "\n";
        return 1;
    }
    err << ratio_warning(call.err_ratio);
    try {
        if (call.shard.active()) call.fingerprint = input_fingerprint({call.pairs(), call.domains()});
        start_batch(call, command.name, input, out, err);
    } catch (const Error& e) {
        err << command.name << ": " << e.what() << "\n";
        return 1;
    }
    if (call.jobs == 0) {
        call.jobs = jobs_for_memory(default_jobs(), programme_nonzeros(input.network, input.pint), available_memory());
    }
    return -1;
}

namespace {

// " of shard I/S" for a sharded call, else "".
std::string shard_words(const Shard& shard) {
    if (!shard.active()) return "";
    return " of shard " + std::to_string(shard.index) + "/" + std::to_string(shard.count);
}

}  // namespace

FirstSolve::FirstSolve(const BatchCommand& command, const BatchCall& call, const std::string& what, std::ostream& err)
    : command_(command), call_(call), err_(err) {
    if (call.quiet) return;
    err << command.name << ": solving " << what << " once (" << call.solver->program() << ")\n" << std::flush;
    // On a proteome with glpsol this takes minutes: say now and then that
    // it goes on.
    ticker_ = std::thread([this, what] {
        std::unique_lock lock(mutex_);
        for (int seconds = 30; !done_cv_.wait_for(lock, std::chrono::seconds(30), [this] { return done_; });
             seconds += 30) {
            err_ << command_.name << ": still solving " << what << ", " << seconds << " s\n" << std::flush;
        }
    });
}

FirstSolve::~FirstSolve() { stop(); }

void FirstSolve::stop() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    done_cv_.notify_all();
    if (ticker_.joinable()) ticker_.join();
}

void FirstSolve::done() {
    stop();
    if (call_.quiet) return;
    const int runs = call_.shard.runs_of(call_.runs);
    char line[200];
    std::snprintf(line, sizeof line, "%s: solved in %.1f s; now %d runs%s, %d at a time\n", command_.name.c_str(),
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - call_.start).count(), runs,
                  shard_words(call_.shard).c_str(), call_.jobs);
    err_ << line << std::flush;
}

bool run_batch(const BatchCommand& command, const BatchCall& call, const std::function<std::string(int)>& work,
               std::ostream& err, bool terminal) {
    std::vector<int> mine;
    for (int run = 1; run <= call.runs; ++run) {
        if (call.shard.has(run)) mine.push_back(run);
    }
    std::ostringstream silent;
    Progress progress(call.quiet ? silent : err, static_cast<int>(mine.size()), terminal, call.start,
                      shard_words(call.shard));
    const std::string failure = run_pool(
        static_cast<int>(mine.size()), call.jobs, [&](int i) { return work(mine[static_cast<std::size_t>(i - 1)]); },
        progress);
    if (failure.empty()) return true;
    err << command.name << ": " << failure << "\n";
    return false;
}

std::string batch_provenance(const BatchCommand& command, const BatchCall& call,
                             const std::vector<std::string>& own) {
    std::vector<std::string> words = own;
    for (const std::string& word : {std::string("--solver"), call.solver->program(), std::string("--runs"),
                                    std::to_string(call.runs), std::string("--seed"), std::to_string(call.seed),
                                    call.pairs(), call.domains(), ratio_text(call.err_ratio)}) {
        words.push_back(word);
    }
    return provenance(command.name, words);
}

int finish_batch(const BatchCommand& command, const BatchCall& call, const std::string& path, const std::string& table,
                 std::ostream& err) {
    try {
        write_whole(path, table);
    } catch (const Error& e) {
        err << command.name << ": " << e.what() << "\n";
        return 1;
    }
    InfoStream(err, call.quiet) << "wrote " << path << "\n";
    return 0;
}

std::string first_line(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "failed" : line;
}

std::string batch_help(const std::string& head, const std::string& runs_line, const std::string& example) {
    return head +
           "  --solver    clp (default; linked in, far faster) or glpsol\n" + runs_line +
           "  --seed S    default 1; the same seed gives the same file whatever --jobs is\n"
           "  -j, --jobs J  solver runs at once; default the number of cores, fewer when\n"
           "              memory is short (a solver takes about 20 MB and 500 bytes per\n"
           "              nonzero of the programme)\n"
           "  --keep      keep the working folder of LP files and reports\n"
           "  --outdir DIR  write the table in DIR (made if missing), not beside PAIRS\n"
           "  --shard I/S   only runs I, I+S, I+2S, ...: a partial table\n"
           "              (....shard-I-of-S.tsv) for ddinfer-merge, which adds the S\n"
           "              parts up into the unsharded table, byte for byte\n"
           "  -q, --quiet   no progress lines; only warnings and errors on standard error\n"
           "  -h, --help, -V, --version; options may stand anywhere, -- ends them\n"
           "  Example:\n    " + example + "\n"
           "  Exit status: 0 done, 1 bad input or a failed run (no table written), 2 a\n"
           "  mistake in the call, 130/143 stopped by SIGINT/SIGTERM.\n";
}

}  // namespace ddinfer
