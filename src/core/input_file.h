// An input file as a stream, gzip-compressed or plain, whatever its name:
// zlib reads a plain file through unchanged. A read error, a compressed
// stream that is corrupt or ends early among them, sets badbit.
#pragma once

#include <zlib.h>

#include <istream>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

namespace ddinfer {

class GzipBuffer : public std::streambuf {
public:
    explicit GzipBuffer(gzFile file) : file_(file), buffer_(1 << 18) {}
    ~GzipBuffer() override { gzclose(file_); }
    GzipBuffer(const GzipBuffer&) = delete;
    GzipBuffer& operator=(const GzipBuffer&) = delete;

    // Why the last read failed, or "".
    const std::string& failure() const { return failure_; }

protected:
    int_type underflow() override;

private:
    gzFile file_;
    std::vector<char> buffer_;
    std::string failure_;
};

class InputFile : public std::istream {
public:
    // Throws Error "PATH: cannot open: REASON", also for a folder.
    explicit InputFile(const std::string& path);

    const std::string& failure() const { return buffer_->failure(); }

private:
    std::unique_ptr<GzipBuffer> buffer_;
};

// The error for a stream whose read failed: "FILE: cannot read: REASON",
// the reason from an InputFile, else the system's.
std::string read_failure(const std::string& file, const std::istream& in);

}  // namespace ddinfer
