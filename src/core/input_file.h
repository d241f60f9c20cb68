// An input file as a stream, gzip-compressed or plain, whatever its name:
// zlib reads a plain file through unchanged. A read error sets badbit.
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

protected:
    int_type underflow() override;

private:
    gzFile file_;
    std::vector<char> buffer_;
};

class InputFile : public std::istream {
public:
    // Throws Error "PATH: cannot open: REASON", also for a folder.
    explicit InputFile(const std::string& path);

private:
    std::unique_ptr<GzipBuffer> buffer_;
};

}  // namespace ddinfer
