#include "core/input_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "core/error.h"

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
    if (refuse_zip_ && n >= 4 && std::memcmp(buffer_.data(), "PK\x03\x04", 4) == 0) {
        failure_ = "a zip archive cannot be read from standard input; give its file name";
        throw std::runtime_error(failure_);
    }
    refuse_zip_ = false;
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
}

std::string read_failure(const std::string& file, const std::istream& in) {
    const auto* input = dynamic_cast<const InputFile*>(&in);
    const std::string reason = input != nullptr && !input->failure().empty() ? input->failure() : std::strerror(EIO);
    return (file == "-" ? "standard input" : file) + ": cannot read: " + reason;
}

class ZipBuffer : public std::streambuf {
public:
    ZipBuffer(zip_t* archive, zip_file_t* member, zip_uint64_t size)
        : archive_(archive), member_(member), size_(size), buffer_(1 << 18) {}
    ~ZipBuffer() override {
        zip_fclose(member_);
        zip_discard(archive_);
    }
    ZipBuffer(const ZipBuffer&) = delete;
    ZipBuffer& operator=(const ZipBuffer&) = delete;
    const std::string& failure() const { return failure_; }
    double fraction_read() const { return size_ == 0 ? 1.0 : static_cast<double>(read_) / static_cast<double>(size_); }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const zip_int64_t n = zip_fread(member_, buffer_.data(), buffer_.size());
        if (n < 0) {
            failure_ = std::string("the zip archive is damaged (") + zip_file_strerror(member_) + ")";
            throw std::runtime_error(failure_);
        }
        if (n == 0) return traits_type::eof();
        read_ += static_cast<zip_uint64_t>(n);
        setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
        return traits_type::to_int_type(*gptr());
    }

private:
    zip_t* archive_;
    zip_file_t* member_;
    zip_uint64_t size_, read_ = 0;
    std::vector<char> buffer_;
    std::string failure_;
};

namespace {

bool is_zip(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char magic[4] = {};
    const bool zip = std::fread(magic, 1, 4, file) == 4 && std::memcmp(magic, "PK\x03\x04", 4) == 0;
    std::fclose(file);
    return zip;
}

std::unique_ptr<ZipBuffer> open_zip(const std::string& path, const std::string& wanted) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw Error(path + ": cannot open the zip archive: " + reason);
    }
    std::vector<std::string> files;
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name != nullptr && *name != '\0' && name[std::strlen(name) - 1] != '/') files.emplace_back(name);
    }
    std::string member = wanted;
    if (member.empty()) {
        if (files.empty()) {
            zip_discard(archive);
            throw Error(path + ": a zip archive holding no file");
        }
        if (files.size() != 1) {
            std::string list;
            for (std::size_t i = 0; i < files.size() && i < 10; ++i) list += (i == 0 ? "" : ", ") + files[i];
            if (files.size() > 10) list += ", ...";
            zip_discard(archive);
            throw Error(path + ": a zip archive of " + std::to_string(files.size()) + " files (" + list +
                        "); name one with --member NAME");
        }
        member = files.front();
    }
    zip_stat_t info;
    zip_file_t* file = nullptr;
    if (zip_stat(archive, member.c_str(), 0, &info) != 0 || (file = zip_fopen(archive, member.c_str(), 0)) == nullptr) {
        const std::string reason = zip_strerror(archive);
        zip_discard(archive);
        throw Error(path + ": cannot open " + member + " in the zip archive: " + reason);
    }
    return std::make_unique<ZipBuffer>(archive, file, (info.valid & ZIP_STAT_SIZE) != 0 ? info.size : 0);
}

}  // namespace

InputFile::InputFile(const std::string& path, const std::string& member) : std::istream(nullptr) {
    gzFile file = nullptr;
    if (path == "-") {
        const int fd = dup(STDIN_FILENO);
        file = fd < 0 ? nullptr : gzdopen(fd, "rb");
        if (file == nullptr) throw Error("standard input: cannot open: " + std::string(std::strerror(errno != 0 ? errno : ENOMEM)));
    } else {
        struct stat info;
        if (stat(path.c_str(), &info) != 0) throw Error(path + ": cannot open: " + std::strerror(errno));
        if (S_ISDIR(info.st_mode)) throw Error(path + ": cannot open: " + std::strerror(EISDIR));
        if (S_ISREG(info.st_mode)) size_ = static_cast<double>(info.st_size);
        // Only a regular file can be looked into twice: a pipe cannot.
        if (S_ISREG(info.st_mode) && is_zip(path)) {
            zip_ = open_zip(path, member);
            rdbuf(zip_.get());
            return;
        }
        if (!member.empty()) throw Error(path + ": --member names a file in a zip archive; this is none");
        errno = 0;
        file = gzopen(path.c_str(), "rb");
        if (file == nullptr) throw Error(path + ": cannot open: " + std::strerror(errno != 0 ? errno : ENOMEM));
    }
    gzbuffer(file, 1 << 18);
    buffer_ = std::make_unique<GzipBuffer>(file);
    if (path == "-") buffer_->refuse_zip();
    rdbuf(buffer_.get());
}

InputFile::~InputFile() = default;

const std::string& InputFile::failure() const { return zip_ ? zip_->failure() : buffer_->failure(); }

double InputFile::fraction_read() const {
    if (zip_) return zip_->fraction_read();
    if (size_ <= 0) return -1;
    const z_off_t offset = gzoffset(buffer_->file());
    return offset < 0 ? -1 : std::min(1.0, static_cast<double>(offset) / size_);
}

}  // namespace ddinfer
