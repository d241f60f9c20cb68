// The one error type of the core. Its message is complete and ready for the
// user: "file:line: what was expected" where a place in a file is known.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace ddinfer {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "file:line: message"
inline Error input_error(const std::string& file, long line, const std::string& message) {
    return Error(file + ":" + std::to_string(line) + ": " + message);
}

// Input text as a message may quote it: cut at `limit` bytes ("..." after)
// and every byte outside printable ASCII shown as \xNN, so that a huge line
// or binary junk makes a short, harmless message.
inline std::string quoted_input(std::string_view text, std::size_t limit = 200) {
    static const char digits[] = "0123456789abcdef";
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            shown += static_cast<char>(byte);
        } else {
            const char escaped[4] = {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
            shown.append(escaped, 4);
        }
    }
    if (text.size() > limit) shown += "...";
    return shown;
}

}  // namespace ddinfer
