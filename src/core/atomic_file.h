// A result file that appears whole or not at all: it is written under a
// unique temporary name beside its final name and renamed over that name
// only on commit, so a failed or interrupted run leaves an earlier result as
// it was, and two runs at once never mix their lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ddinfer {

class AtomicFile {
public:
    // Creates the temporary file; throws Error "PATH: cannot write: REASON".
    // "-" is standard output, and a path that names something other than a
    // regular file or a folder (a device such as /dev/null, a FIFO) is
    // written in place: neither can be replaced by a rename.
    explicit AtomicFile(std::string path);
    ~AtomicFile();  // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::FILE* file() { return file_; }
    const std::string& path() const { return path_; }
    const std::string& temporary() const { return temporary_; }

    // Closes the file and renames it over the final name. `written` tells
    // whether every write reached the file. Throws Error with the system's
    // reason; the final name is then untouched.
    void commit(bool written = true);

    // commit in two steps, for results that must appear together: finish()
    // closes and checks every file (throwing as commit does, the final
    // names untouched), then publish() renames each.
    void finish(bool written = true);
    void publish();

private:
    std::string path_;
    std::string temporary_;  // empty when written in place
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// Removes the temporary files of every AtomicFile not yet committed or
// destroyed, and the files marked unfinished: for a command that was told
// to stop.
void remove_unfinished_files();

// Marks a file that a stop must remove (a run's private files), or no
// longer.
void mark_unfinished(const std::string& path, bool unfinished = true);

// The private name pattern of `path`: PATH.tmp-PID-XXXXXX (for mkstemp),
// the process id telling a later run whether its writer is still alive.
std::string private_pattern(const std::string& path);

// Removes the private files of `path` (PATH.tmp-PID-...) whose process is
// gone: what a run killed outright (SIGKILL, a power cut) left. Those of a
// live process, this one included, stay.
void remove_stale_private_files(const std::string& path);

// Publishes finished files together: when one rename fails, those already
// renamed are put back to their earlier contents (or removed where there
// was none) and the error thrown, so that either all appear or none.
void publish_together(const std::vector<AtomicFile*>& files);

// Writes `text` as a whole file at `path`; throws Error as AtomicFile does.
void write_whole(const std::string& path, const std::string& text);

}  // namespace ddinfer
