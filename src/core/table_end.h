// The last line of the tables the commands write (ranked, pooled, robust
// and null tables): "# end rows R checksum HEX", R the rows below the header
// and HEX an FNV-1a hash of their lines. A table cut at a line end, or with a
// row lost, doubled or changed, no longer matches it; readers check it
// before they trust what they read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace ddinfer {

class TableEnd {
public:
    // One row, without its line feed.
    void row(std::string_view line) {
        bytes(line);
        bytes("\n");
    }
    // Rows as written, line feeds included; a row may span two calls.
    void bytes(std::string_view text) {
        for (const char byte : text) {
            hash_ = (hash_ ^ static_cast<unsigned char>(byte)) * 1099511628211ULL;
            rows_ += byte == '\n';
        }
    }
    long rows() const { return rows_; }

    // The end line of the rows so far, without its line feed.
    std::string line() const {
        char text[80];
        std::snprintf(text, sizeof text, "# end rows %ld checksum %016llx", rows_, static_cast<unsigned long long>(hash_));
        return text;
    }

    static bool is_end(std::string_view line) { return line.rfind("# end rows ", 0) == 0; }

    // A reader's line below the header: a row is counted (false), the end
    // line is checked against the rows (true). Throws Error naming file:line
    // for an end line that does not match, or any line after it.
    bool take(std::string_view text, const std::string& file, long line_no) {
        if (ended_) throw input_error(file, line_no, "expected nothing after the end line");
        if (!is_end(text)) {
            row(text);
            return false;
        }
        if (const std::string wrong = check(text); !wrong.empty()) throw input_error(file, line_no, wrong);
        ended_ = true;
        return true;
    }
    bool ended() const { return ended_; }
    // For a table that allows comments: a '#' line above the end line,
    // which is neither a row nor the end.
    bool comment(std::string_view text) const { return !ended_ && !is_end(text) && !text.empty() && text[0] == '#'; }
    // At the table's end: throws when it must have had an end line.
    void finish(bool required, const std::string& file) const {
        if (required && !ended_) {
            throw Error(file + ": no end line (\"# end rows R checksum HEX\"): the table was cut short at a line end");
        }
    }

    // What is wrong with `end`, an end line read after the rows seen; "" when
    // it matches them.
    std::string check(std::string_view end) const {
        long rows = -1;
        char sum[40] = {};
        const std::string text(end);
        if (std::sscanf(text.c_str(), "# end rows %ld checksum %39s", &rows, sum) != 2) {
            return "expected \"# end rows R checksum HEX\"";
        }
        if (rows != rows_) {
            return "the end line counts " + std::to_string(rows) + " rows, the table holds " + std::to_string(rows_) +
                   ": rows were lost or added";
        }
        if (text != line()) return "the rows do not match the checksum of the end line: the table was changed";
        return "";
    }

private:
    std::uint64_t hash_ = 1469598103934665603ULL;
    long rows_ = 0;
    bool ended_ = false;
};

// Whether a table's first line ("# ddinfer-rank 1.1.0 ...", without the
// "# ") says it ends with an end line: written by version 1.1 or later.
// Tables of earlier versions, and tables made by hand, have none.
// The words of a table's call line, and the value of one of its options
// ("" when not there).
inline std::vector<std::string> words_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}
inline std::string option_in(const std::string& provenance, const std::string& option) {
    const std::vector<std::string> words = words_of(provenance);
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i] == option) return words[i + 1];
    }
    return "";
}

inline bool table_has_end(std::string_view provenance) {
    if (provenance.rfind("ddinfer", 0) != 0) return false;
    const std::size_t space = provenance.find(' ');
    if (space == std::string_view::npos) return false;
    int major = 0, minor = 0;
    const std::string version(provenance.substr(space + 1, 20));
    if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) return false;
    return major > 1 || (major == 1 && minor >= 1);
}

}  // namespace ddinfer
