// The one error type of the core. Its message is complete and ready for the
// user: "file:line: what was expected" where a place in a file is known.
#pragma once

#include <stdexcept>
#include <string>

namespace ddinfer {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "file:line: message"
inline Error input_error(const std::string& file, long line, const std::string& message) {
    return Error(file + ":" + std::to_string(line) + ": " + message);
}

}  // namespace ddinfer
