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
    gzFile file() const { return file_; }
    // For standard input: a zip archive there is an error (zip needs to
    // seek, a pipe cannot).
    void refuse_zip() { refuse_zip_ = true; }

protected:
    int_type underflow() override;

private:
    gzFile file_;
    std::vector<char> buffer_;
    std::string failure_;
    bool refuse_zip_ = false;
};

// The only member of a zip archive, or the one named, read as a stream.
class ZipBuffer;

class InputFile : public std::istream {
public:
    // Throws Error "PATH: cannot open: REASON", also for a folder. "-" is
    // standard input. A zip archive (BioGRID and IntAct ship them) is read
    // through: its one file, or `member` when it holds several (an archive
    // of several files without `member` is an error listing them).
    explicit InputFile(const std::string& path, const std::string& member = "");
    ~InputFile() override;

    const std::string& failure() const;
    // How much of the file has been read, from 0 to 1; -1 when unknown
    // (standard input).
    double fraction_read() const;

private:
    std::unique_ptr<GzipBuffer> buffer_;
    std::unique_ptr<ZipBuffer> zip_;
    double size_ = -1;
};

// The error for a stream whose read failed: "FILE: cannot read: REASON",
// the reason from an InputFile, else the system's.
std::string read_failure(const std::string& file, const std::istream& in);

}  // namespace ddinfer
