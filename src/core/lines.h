// The lines of a stream, read in chunks of 256 KiB: much faster than a
// getline per line, and without holding a whole large file in memory.
// No input of ours has lines near 1 MiB, but for the domain file's (a domain
// and every protein that carries it; 64 MiB); a longer one (a binary file,
// a decompression bomb of one endless line) is an error naming the file
// and line, so that memory stays bounded whatever the input.
#pragma once

#include <cstdio>
#include <cstring>
#include <istream>
#include <string>
#include <string_view>
#include <utility>

#include "core/error.h"

namespace ddinfer {

constexpr std::size_t max_line_bytes = std::size_t{1} << 20;
constexpr std::size_t max_membership_line_bytes = std::size_t{1} << 26;

inline Error line_too_long(const std::string& file, long line, std::size_t limit) {
    return input_error(file, line, "a line of over " + std::to_string(limit >> 20) +
                                       " MiB: not a text file of the kind expected");
}

// std::getline with the bound above: throws line_too_long for a longer line.
// A read error (a damaged compressed stream among them) sets badbit, as
// std::getline does.
inline bool getline_bounded(std::istream& in, std::string& line, const std::string& file, long number) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!in.good() || buffer == nullptr) {
        in.setstate(std::ios::failbit);
        return false;
    }
    try {
        for (;;) {
            const int c = buffer->sbumpc();
            if (c == EOF) {
                in.setstate(line.empty() ? std::ios::eofbit | std::ios::failbit : std::ios::eofbit);
                return !line.empty();
            }
            if (c == '\n') return true;
            if (line.size() == max_line_bytes) throw line_too_long(file, number, max_line_bytes);
            line.push_back(static_cast<char>(c));
        }
    } catch (const Error&) {
        throw;
    } catch (...) {
        in.setstate(std::ios::badbit);
        return false;
    }
}

class Lines {
public:
    // `file` names the stream in the error for a line longer than `limit`.
    Lines(std::istream& in, std::string file, std::size_t chunk = default_chunk, std::size_t limit = max_line_bytes)
        : in_(in), file_(std::move(file)), chunk_(chunk < 1 ? 1 : chunk), limit_(limit) {}

    static constexpr std::size_t default_chunk = 1 << 18;

    // The lines returned so far (counting `skipped` lines read before).
    long number() const { return number_; }
    void skipped(long lines) { number_ += lines; }

    // The next line without its line feed; `ended` tells whether it had
    // one. The view stays valid only until the next call: the call may move
    // or reallocate the buffer, so copy a line that must outlive it.
    bool next(std::string_view& line, bool* ended = nullptr) {
        std::size_t scanned = begin_;
        for (;;) {
            const void* feed = std::memchr(buffer_.data() + scanned, '\n', end_ - scanned);
            if (feed != nullptr) {
                const auto at = static_cast<std::size_t>(static_cast<const char*>(feed) - buffer_.data());
                if (at - begin_ > limit_) throw line_too_long(file_, number_ + 1, limit_);
                line = std::string_view(buffer_.data() + begin_, at - begin_);
                begin_ = at + 1;
                if (ended) *ended = true;
                ++number_;
                return true;
            }
            scanned = end_;
            if (scanned - begin_ > limit_) throw line_too_long(file_, number_ + 1, limit_);
            if (!fill(scanned)) break;
        }
        if (begin_ == end_) return false;
        line = std::string_view(buffer_.data() + begin_, end_ - begin_);
        begin_ = end_;
        if (ended) *ended = false;
        ++number_;
        return true;
    }

    bool bad() const { return in_.bad(); }
    const std::istream& stream() const { return in_; }

private:
    // Moves the unread part to the front and reads more; `scanned` follows.
    bool fill(std::size_t& scanned) {
        if (!in_) return false;
        const std::size_t unread = end_ - begin_;
        if (begin_ > 0) std::memmove(buffer_.data(), buffer_.data() + begin_, unread);
        scanned -= begin_;
        begin_ = 0;
        end_ = unread;
        if (buffer_.size() < unread + chunk_) buffer_.resize(unread + chunk_);
        in_.read(buffer_.data() + end_, static_cast<std::streamsize>(chunk_));
        end_ += static_cast<std::size_t>(in_.gcount());
        return in_.gcount() > 0;
    }

    std::istream& in_;
    std::string file_;
    std::size_t chunk_;
    std::size_t limit_;
    long number_ = 0;
    std::string buffer_;
    std::size_t begin_ = 0;  // first unread byte
    std::size_t end_ = 0;    // end of the bytes read
};

}  // namespace ddinfer
