// The lines of a stream, read in chunks of 256 KiB: much faster than a
// getline per line, and without holding a whole large file in memory.
// Lines may be of any length.
#pragma once

#include <cstring>
#include <istream>
#include <string>
#include <string_view>

namespace ddinfer {

class Lines {
public:
    explicit Lines(std::istream& in, std::size_t chunk = default_chunk) : in_(in), chunk_(chunk < 1 ? 1 : chunk) {}

    static constexpr std::size_t default_chunk = 1 << 18;

    // The next line without its line feed; `ended` tells whether it had
    // one. The view stays valid only until the next call: the call may move
    // or reallocate the buffer, so copy a line that must outlive it.
    bool next(std::string_view& line, bool* ended = nullptr) {
        std::size_t scanned = begin_;
        for (;;) {
            const void* feed = std::memchr(buffer_.data() + scanned, '\n', end_ - scanned);
            if (feed != nullptr) {
                const auto at = static_cast<std::size_t>(static_cast<const char*>(feed) - buffer_.data());
                line = std::string_view(buffer_.data() + begin_, at - begin_);
                begin_ = at + 1;
                if (ended) *ended = true;
                return true;
            }
            scanned = end_;
            if (!fill(scanned)) break;
        }
        if (begin_ == end_) return false;
        line = std::string_view(buffer_.data() + begin_, end_ - begin_);
        begin_ = end_;
        if (ended) *ended = false;
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
    std::size_t chunk_;
    std::string buffer_;
    std::size_t begin_ = 0;  // first unread byte
    std::size_t end_ = 0;    // end of the bytes read
};

}  // namespace ddinfer
