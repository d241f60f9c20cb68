// What the companion commands share for their many solves: a working
// folder, a pool of solver runs at once, progress on standard error, and a
// result file that appears whole or not at all.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>

namespace ddinfer {

// A fresh temporary folder, removed with everything in it unless kept.
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

// One line per finished run ("run 12/100 done, 3.1 s"), or, on a terminal,
// one line updated in place with the estimated time left.
class Progress {
public:
    Progress(std::ostream& err, int total, bool terminal);
    void done(int run);
    void finish();

private:
    std::ostream& err_;
    int total_;
    int finished_ = 0;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
};

// Calls work(r) for r = 1..count on up to `jobs` threads. work returns an
// empty string on success or a message; after the first failure no new run
// starts. Returns the message of the lowest failed run, or "".
std::string run_pool(int count, int jobs, const std::function<std::string(int)>& work, Progress& progress);

// Writes `text` to a new file beside `path` and renames it over `path`, so
// the file is never seen half written. Returns false on failure.
bool write_whole(const std::string& path, const std::string& text);

}  // namespace ddinfer
