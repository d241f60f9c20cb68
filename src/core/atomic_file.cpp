#include "core/atomic_file.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "core/error.h"

namespace ddinfer {
namespace {

// The temporary files being written now, for remove_unfinished_files.
std::mutex unfinished_mutex;
std::set<std::string> unfinished;

void track(const std::string& temporary, bool add) {
    std::lock_guard lock(unfinished_mutex);
    if (add) {
        unfinished.insert(temporary);
    } else {
        unfinished.erase(temporary);
    }
}

Error write_error(const std::string& path, int error) {
    return Error(path + ": cannot write: " + std::strerror(error));
}

}  // namespace

std::string private_pattern(const std::string& path) {
    return path + ".tmp-" + std::to_string(getpid()) + "-XXXXXX";
}

void remove_stale_private_files(const std::string& path) {
    const std::filesystem::path whole(path);
    const std::string prefix = whole.filename().string() + ".tmp-";
    const std::filesystem::path folder = whole.has_parent_path() ? whole.parent_path() : ".";
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // PID-XXXXXX after the prefix; a name of another shape is left alone.
        const std::size_t dash = name.find('-', prefix.size());
        if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 9 ||
            name.find_first_not_of("0123456789", prefix.size()) != dash) {
            continue;
        }
        const long pid = std::stol(name.substr(prefix.size(), dash - prefix.size()));
        if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    struct stat info;
    if (path_ == "-" || (stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))) {
        file_ = path_ == "-" ? stdout : std::fopen(path_.c_str(), "w");
        if (file_ == nullptr) throw write_error(path_, errno);
        return;
    }
    remove_stale_private_files(path_);
    std::string pattern = private_pattern(path_);
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw write_error(path_, errno);
    // mkstemp makes the file private; a result file gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
        const int error = errno;
        close(fd);
        std::remove(pattern.c_str());
        throw write_error(path_, error);
    }
    temporary_ = pattern;
    track(temporary_, true);
}

AtomicFile::~AtomicFile() {
    if (committed_) return;
    if (file_ != nullptr && file_ != stdout) std::fclose(file_);
    if (temporary_.empty()) return;
    std::remove(temporary_.c_str());
    track(temporary_, false);
}

void remove_unfinished_files() {
    std::lock_guard lock(unfinished_mutex);
    for (const std::string& temporary : unfinished) std::remove(temporary.c_str());
}

void mark_unfinished(const std::string& path, bool unfinished) { track(path, unfinished); }

void AtomicFile::finish(bool written) {
    // The first failure's reason is the one to report.
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    if ((std::fflush(file_) != 0 || std::ferror(file_) != 0) && error == 0) error = errno != 0 ? errno : EIO;
    if (file_ != stdout && std::fclose(file_) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    file_ = nullptr;
    // A folder in the way would make publish fail after others have gone.
    struct stat info;
    if (error == 0 && !temporary_.empty() && stat(path_.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) error = EISDIR;
    if (error != 0) {
        if (!temporary_.empty()) std::remove(temporary_.c_str());
        throw write_error(path_, error);
    }
}

void AtomicFile::publish() {
    if (!temporary_.empty() && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary_.c_str());
        throw write_error(path_, error);
    }
    committed_ = true;
    if (!temporary_.empty()) track(temporary_, false);
}

void AtomicFile::commit(bool written) {
    finish(written);
    publish();
}

void publish_together(const std::vector<AtomicFile*>& files) {
    // Each earlier result stays reachable under a private second name (a
    // hard link) until all are published.
    std::vector<std::string> earlier(files.size());
    const auto drop_earlier = [&] {
        for (const std::string& name : earlier) {
            if (name.empty()) continue;
            std::remove(name.c_str());
            track(name, false);
        }
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const AtomicFile& file = *files[i];
        struct stat info;
        if (file.temporary().empty() || stat(file.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        std::string name = private_pattern(file.path());
        const int fd = mkstemp(name.data());
        if (fd >= 0) close(fd);
        if (fd < 0 || std::remove(name.c_str()) != 0 || link(file.path().c_str(), name.c_str()) != 0) {
            const int error = errno;
            drop_earlier();
            throw write_error(file.path(), error);
        }
        earlier[i] = name;
        track(name, true);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        try {
            files[i]->publish();
        } catch (const Error&) {
            // Back to the earlier results, or to none where there was none.
            for (std::size_t j = 0; j < i; ++j) {
                if (earlier[j].empty()) {
                    if (!files[j]->temporary().empty()) std::remove(files[j]->path().c_str());
                } else if (std::rename(earlier[j].c_str(), files[j]->path().c_str()) == 0) {
                    track(earlier[j], false);
                    earlier[j].clear();
                }
            }
            drop_earlier();
            throw;
        }
    }
    drop_earlier();
}

void write_whole(const std::string& path, const std::string& text) {
    AtomicFile out(path);
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), out.file()) == text.size();
    out.commit(written);
}

}  // namespace ddinfer
