#include "batch.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <thread>
#include <vector>

#include "error.h"

namespace ddinfer {

WorkDir::WorkDir(const std::string& prefix, bool keep) : keep_(keep) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw Error("cannot create a working folder in " + pattern);
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
            std::string message = work(r);
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

bool write_whole(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".partial";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace ddinfer
