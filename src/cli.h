// Command-line parsing shared by the commands: options come before the
// positional arguments ("--" ends them), as --name VALUE, --name=VALUE or a
// bare --flag. Everything from the first positional argument on is
// positional, so the classic three-argument call never meets an option.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ddinfer {

// A mistake in the call; its message is one line, shown with status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

struct OptionSpec {
    std::string name;  // without the leading "--"
    bool takes_value = false;
};

struct ParsedArgs {
    std::map<std::string, std::string> options;  // a flag maps to ""
    std::vector<std::string> positional;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string get(const std::string& name, const std::string& fallback) const;
    // A whole number in [low, high]; throws UsageError.
    long get_long(const std::string& name, long fallback, long low, long high) const;
};

ParsedArgs parse_args(int argc, char** argv, const std::vector<OptionSpec>& specs);

// The number of cores, at least 1.
int default_jobs();

}  // namespace ddinfer
