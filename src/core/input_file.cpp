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
    // zlib returns 0 both at the true end and when a compressed stream
    // stops in the middle (a cut download): only its error code tells.
    int code = Z_OK;
    const char* message = gzerror(file_, &code);
    if (n < 0 || (n == 0 && code != Z_OK)) {
        if (code == Z_ERRNO) {
            failure_ = std::strerror(errno);
        } else if (code == Z_BUF_ERROR) {
            failure_ = "the compressed data ends early (a cut or partial download?)";
        } else {
            // zlib puts the path before its message: the caller names the file.
            std::string what = message;
            if (const std::size_t colon = what.rfind(": "); colon != std::string::npos) what.erase(0, colon + 2);
            failure_ = "the compressed data is damaged (" + what + ")";
        }
        // Thrown into the stream, which sets badbit.
        throw std::runtime_error(failure_);
    }
    if (n == 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
}

std::string read_failure(const std::string& file, const std::istream& in) {
    const auto* input = dynamic_cast<const InputFile*>(&in);
    const std::string reason = input != nullptr && !input->failure().empty() ? input->failure() : std::strerror(EIO);
    return file + ": cannot read: " + reason;
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
