// Buffered text output to a C stream, with fast decimal integers and a
// record of whether every write reached the file.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/table_end.h"

namespace ddinfer {

// A number as "%g" writes it.
inline std::string format_g(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "%.17g": a double that reads back exactly.
inline std::string exact_text(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

class TextOut {
public:
    explicit TextOut(std::FILE* file) : file_(file) { buffer_.reserve(capacity); }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    TextOut& operator<<(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= capacity) flush();
        return *this;
    }
    TextOut& operator<<(char c) {
        buffer_.push_back(c);
        return *this;
    }
    TextOut& operator<<(long long value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        return *this << std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
    }
    TextOut& operator<<(int value) { return *this << static_cast<long long>(value); }

    // Every line written from here on is a row of a table that end_table()
    // closes with its end line.
    void count_rows() {
        rows_from_ = buffer_.size();
        counting_ = true;
    }
    void end_table() {
        counted();
        counting_ = false;
        *this << end_.line() << '\n';
    }

    // Writes what is buffered; false once any write has failed.
    bool flush() {
        counted();
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) ok_ = false;
        buffer_.clear();
        rows_from_ = 0;
        return ok_;
    }

private:
    void counted() {
        if (counting_) end_.bytes(std::string_view(buffer_).substr(rows_from_));
        rows_from_ = buffer_.size();
    }

    static constexpr std::size_t capacity = 1 << 16;
    std::FILE* file_;
    std::string buffer_;
    bool ok_ = true;
    bool counting_ = false;
    std::size_t rows_from_ = 0;
    TableEnd end_;
};

}  // namespace ddinfer
