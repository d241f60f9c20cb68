#include "cli.h"

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace ddinfer {

std::string ParsedArgs::get(const std::string& name, const std::string& fallback) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

long ParsedArgs::get_long(const std::string& name, long fallback, long low, long high) const {
    auto it = options.find(name);
    if (it == options.end()) return fallback;
    const std::string& text = it->second;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        throw UsageError("--" + name + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

ParsedArgs parse_args(int argc, char** argv, const std::vector<OptionSpec>& specs) {
    ParsedArgs parsed;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;  // the first positional argument
        std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
        std::string value;
        bool has_value = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            has_value = true;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : specs) {
            if (s.name == name && arg[1] == '-') spec = &s;
        }
        if (spec == nullptr) throw UsageError("unknown option " + arg);
        if (spec->takes_value && !has_value) {
            if (i + 1 >= argc) throw UsageError("option --" + name + " needs a value");
            value = argv[++i];
        } else if (!spec->takes_value && has_value) {
            throw UsageError("option --" + name + " takes no value");
        }
        parsed.options[name] = value;
    }
    for (; i < argc; ++i) parsed.positional.emplace_back(argv[i]);
    return parsed;
}

int default_jobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

}  // namespace ddinfer
