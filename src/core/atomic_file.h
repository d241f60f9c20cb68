// A result file that appears whole or not at all: it is written under a
// unique temporary name beside its final name and renamed over that name
// only on commit, so a failed or interrupted run leaves an earlier result as
// it was, and two runs at once never mix their lines.
#pragma once

#include <cstdio>
#include <string>

namespace ddinfer {

class AtomicFile {
public:
    // Creates the temporary file; throws Error "PATH: cannot write: REASON".
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

private:
    std::string path_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// Removes the temporary files of every AtomicFile not yet committed or
// destroyed: for a command that was told to stop.
void remove_unfinished_files();

// Writes `text` as a whole file at `path`; throws Error as AtomicFile does.
void write_whole(const std::string& path, const std::string& text);

}  // namespace ddinfer
