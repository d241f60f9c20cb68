#include "batch.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <thread>
#include <vector>

#include "atomic_file.h"
#include "dint.h"
#include "driver.h"
#include "error.h"
#include "readers.h"

namespace ddinfer {

WorkDir::WorkDir(const std::string& prefix, bool keep) : keep_(keep) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) throw Error("no folder for temporary files: " + error.message());
    std::string pattern = (temporary / (prefix + "-XXXXXX")).string();
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

Progress::Progress(std::ostream& err, int total, bool terminal)
    : err_(err), total_(total), terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

void Progress::done(int run) {
    std::lock_guard lock(mutex_);
    ++finished_;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char line[160];
    if (terminal_) {
        const double left = elapsed / finished_ * (total_ - finished_);
        std::snprintf(line, sizeof line, "\r%d/%d runs done, %.0f s, about %.0f s left   ", finished_, total_, elapsed,
                      left);
    } else {
        std::snprintf(line, sizeof line, "run %d/%d done, %.1f s\n", run, total_, elapsed);
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
                progress.done(r);
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

// Throws UsageError. When --help is given, nothing else is checked.
BatchCall parse_batch_call(int argc, char** argv, const std::vector<OptionSpec>& extra, long default_runs,
                           long max_runs) {
    std::vector<OptionSpec> specs{{"solver", true}, {"runs", true},  {"seed", true},
                                  {"jobs", true},   {"keep", false}, {"help", false}};
    specs.insert(specs.end(), extra.begin(), extra.end());
    BatchCall call;
    call.args = parse_args(argc, argv, specs);
    if (call.help()) return call;
    call.runs = static_cast<int>(call.args.get_long("runs", default_runs, 1, max_runs));
    call.seed = static_cast<unsigned long long>(call.args.get_long("seed", 1, 0, 9223372036854775807L));
    call.jobs = static_cast<int>(call.args.get_long("jobs", default_jobs(), 1, 1024));
    call.keep = call.args.has("keep");
    call.solver = make_solver(call.args.get("solver", "glpsol"));
    if (!call.solver) throw UsageError("--solver takes glpsol or clp, not \"" + call.args.get("solver", "") + "\"");
    if (call.args.positional.size() != 3) throw UsageError("expected three arguments: PAIRS DOMAINS RATIO");
    call.err_ratio = parse_ratio(call.args.positional[2].c_str());
    if (!std::isfinite(call.err_ratio)) throw UsageError("RATIO must be a finite number");
    return call;
}

// Reads the inputs (count lines to `out`), builds the candidates and makes
// the working folder, naming it on `err` when it is kept. Throws Error.
void start_batch(const BatchCall& call, const std::string& prefix, BatchInput& input, std::ostream& out,
                 std::ostream& err) {
    readdata(input.network, input.pint, call.pairs(), call.domains(), Streams{out, err});
    construct_dint(input.network, input.pint, input.dint, out);
    input.work = std::make_unique<WorkDir>(prefix, call.keep);
    input.interrupts = std::make_unique<InterruptGuard>(prefix, input.work->path(), call.keep);
    if (call.keep) err << "working folder: " << input.work->path().string() << "\n";
}

}  // namespace

int open_batch(const BatchCommand& command, int argc, char** argv, BatchCall& call, BatchInput& input,
               std::ostream& out, std::ostream& err) {
    try {
        call = parse_batch_call(argc, argv, command.extra, command.default_runs, command.max_runs);
        if (call.help()) {
            out << command.usage << command.help;
            return 0;
        }
        if (command.check) command.check(call);
    } catch (const UsageError& e) {
        err << command.name << ": " << e.what() << "; " << command.usage;
        return 2;
    }
    try {
        start_batch(call, command.name, input, out, err);
    } catch (const Error& e) {
        err << command.name << ": " << e.what() << "\n";
        return 1;
    }
    return -1;
}

bool run_batch(const BatchCommand& command, const BatchCall& call, const std::function<std::string(int)>& work,
               std::ostream& err, bool terminal) {
    Progress progress(err, call.runs, terminal);
    const std::string failure = run_pool(call.runs, call.jobs, work, progress);
    if (failure.empty()) return true;
    err << command.name << ": " << failure << "\n";
    return false;
}

void discard_run_files(const BatchCall& call, const RunFiles& files) {
    if (call.keep) return;
    for (const std::string& f : {files.lp, files.mps, files.out, files.out + ".log"}) std::remove(f.c_str());
}

int finish_batch(const BatchCommand& command, const std::string& path, const std::string& table, std::ostream& err) {
    try {
        write_whole(path, table);
    } catch (const Error& e) {
        err << command.name << ": " << e.what() << "\n";
        return 1;
    }
    err << "wrote " << path << "\n";
    return 0;
}

std::string first_line(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "failed" : line;
}

std::string format_g(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace ddinfer
