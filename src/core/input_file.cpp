#include "input_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "error.h"

namespace ddinfer {

GzipBuffer::int_type GzipBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const int n = gzread(file_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
    if (n < 0) {
        int code = 0;
        const char* message = gzerror(file_, &code);
        // Thrown into the stream, which sets badbit.
        throw std::runtime_error(code == Z_ERRNO ? std::strerror(errno) : message);
    }
    if (n == 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
}

InputFile::InputFile(const std::string& path) : std::istream(nullptr) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) throw Error(path + ": cannot open: " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw Error(path + ": cannot open: " + std::strerror(EISDIR));
    errno = 0;
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) throw Error(path + ": cannot open: " + std::strerror(errno != 0 ? errno : ENOMEM));
    gzbuffer(file, 1 << 18);
    buffer_ = std::make_unique<GzipBuffer>(file);
    rdbuf(buffer_.get());
}

}  // namespace ddinfer
