#include "cli/cli.h"

#include <algorithm>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <thread>

#ifndef DDINFER_VERSION
#define DDINFER_VERSION "unknown"
#endif

namespace ddinfer {

std::string ParsedArgs::get(const std::string& name, const std::string& fallback) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

std::vector<std::string> ParsedArgs::all(const std::string& name) const {
    auto it = repeated.find(name);
    return it == repeated.end() ? std::vector<std::string>() : it->second;
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

ParsedArgs parse_args(int argc, char** argv, const std::vector<OptionSpec>& given) {
    std::vector<OptionSpec> specs = given;
    specs.push_back({"help", false, 'h'});
    specs.push_back({"version", false, 'V'});
    specs.push_back({"quiet", false, 'q'});
    ParsedArgs parsed;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        std::string value;
        bool has_value = false;
        std::string name;
        if (arg[1] == '-') {
            name = arg.substr(2);
            if (const auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                has_value = true;
            }
            for (const OptionSpec& s : specs) {
                if (s.name == name) spec = &s;
            }
            if (spec == nullptr) throw UsageError("unknown option " + arg);
        } else {
            for (const OptionSpec& s : specs) {
                if (s.short_name != 0 && arg.size() == 2 && arg[1] == s.short_name) spec = &s;
            }
            if (spec == nullptr) {
                // A file name or a negative number is an argument; a word
                // such as -o or -j that names nothing is an option we lack.
                const bool number = arg.find_first_not_of("0123456789.", 1) == std::string::npos;
                struct stat info;
                if (number || stat(arg.c_str(), &info) == 0) {
                    parsed.positional.push_back(arg);
                    continue;
                }
                std::string known;
                for (const OptionSpec& s : specs) {
                    known += (known.empty() ? "" : ", ") +
                             (s.short_name != 0 ? std::string{'-', s.short_name, '/'} : std::string()) + "--" + s.name;
                }
                throw UsageError("unknown option " + arg + " (the options: " + known + ")");
            }
            name = spec->name;
        }
        if (spec->takes_value && !has_value) {
            if (i + spec->words >= argc) {
                throw UsageError("option --" + name + " needs " + (spec->words == 1 ? "a value" : "two values"));
            }
            value = argv[++i];
            for (int w = 1; w < spec->words; ++w) value += std::string("\t") + argv[++i];
        } else if (spec->takes_value && spec->words > 1) {
            throw UsageError("option --" + name + " takes its two values as two words, not after =");
        } else if (!spec->takes_value && has_value) {
            throw UsageError("option --" + name + " takes no value");
        }
        if (spec->repeats) {
            parsed.options.try_emplace(name, value);
            parsed.repeated[name].push_back(value);
            continue;
        }
        // The same option twice with two values is a slip (an edited call,
        // a pasted line): which one was meant cannot be told.
        const auto [given, added] = parsed.options.try_emplace(name, value);
        if (!added && given->second != value) {
            throw UsageError("option --" + name + " is given twice, as \"" + given->second + "\" and as \"" + value +
                             "\"");
        }
    }
    return parsed;
}

int parse_command_line(const CommandLine& command, int argc, char** argv, ParsedArgs& args, std::ostream& out,
                       std::ostream& err) {
    try {
        args = parse_args(argc, argv, command.options);
        if (args.has("help")) {
            out << command.usage << command.help;
            return 0;
        }
        if (args.has("version")) {
            out << command.name << " " << DDINFER_VERSION << "\n";
            return 0;
        }
        if (command.or_more ? args.positional.size() < command.positionals
                            : args.positional.size() != command.positionals) {
            throw UsageError("expected " + std::string(command.or_more ? "at least " : "") +
                             std::to_string(command.positionals) + " arguments, found " +
                             std::to_string(args.positional.size()));
        }
        // A second "-" would read what is left of standard input after the
        // first: an empty file, or the rest of the other.
        if (std::count(args.positional.begin(), args.positional.end(), "-") > 1) {
            throw UsageError("only one input can be read from standard input");
        }
    } catch (const UsageError& e) {
        err << command.name << ": " << e.what() << "; " << command.usage;
        return 2;
    }
    return -1;
}

float parse_ratio_argument(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    const bool number = end != begin && text.find_first_not_of(" \t\n\r\v\f", end - begin) == std::string::npos &&
                        text.find_first_not_of(" \t\n\r\v\f") != std::string::npos;
    // strtod also reads "inf" and "nan", which are no ratios.
    const float ratio = static_cast<float>(value);
    if (!number || !std::isfinite(value) || !std::isfinite(ratio) || text.find_first_of("iInN") != std::string::npos) {
        throw UsageError("RATIO must be a number such as 0.1, not \"" + text + "\"");
    }
    if (value < 0) throw UsageError("RATIO must be at least 0, not \"" + text + "\"");
    return ratio == 0 ? 0.0f : ratio;  // -0 is 0
}

std::string output_stem(const ParsedArgs& args, const std::string& pairs_path) {
    const std::string base = pairs_path == "-" ? "stdin" : pairs_path;
    if (!args.has("outdir")) return base;
    const std::filesystem::path dir = args.get("outdir", "");
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir)) {
        throw UsageError("--outdir " + dir.string() + ": cannot create the folder" +
                         (error ? ": " + error.message() : std::string()));
    }
    return (dir / std::filesystem::path(base).filename()).string();
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat x, y;
    if (a.empty() || b.empty() || a == "-" || b == "-" || stat(a.c_str(), &x) != 0 || stat(b.c_str(), &y) != 0) {
        return false;
    }
    return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

void refuse_output_over_input(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs) {
    for (const std::string& output : outputs) {
        for (const std::string& input : inputs) {
            if (same_file(output, input)) {
                throw UsageError("the output " + output + " is the input " + input +
                                 (output == input ? "" : " (the same file)") + ": writing it would destroy it");
            }
        }
    }
}

std::vector<std::string> given_values(const ParsedArgs& args, std::vector<std::string> first,
                                      const std::vector<std::string>& options) {
    for (const std::string& option : options) {
        const std::vector<std::string> all = args.all(option);
        if (!all.empty()) {
            first.insert(first.end(), all.begin(), all.end());
        } else if (args.has(option)) {
            first.push_back(args.get(option, ""));
        }
    }
    return first;
}

InfoStream::Filter::int_type InfoStream::Filter::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    line_ += traits_type::to_char_type(c);
    if (line_.back() == '\n') sync();
    return c;
}

int InfoStream::Filter::sync() {
    // Quiet, a line is judged whole; else what there is goes now (a
    // progress line redrawn with \r has no line end).
    if (quiet_ && !line_.empty() && line_.back() != '\n') return 0;
    if (!line_.empty() && (!quiet_ || line_.find("warning") != std::string::npos)) err_ << line_ << std::flush;
    line_.clear();
    return 0;
}

InfoStream::~InfoStream() {
    flush();
    if (filter_.pending()) *this << '\n';
}

std::string provenance(const std::string& command, const std::vector<std::string>& words) {
    std::string line = "# " + command + " " + DDINFER_VERSION;
    for (const std::string& word : words) line += " " + word;
    return line + "\n";
}

std::string ratio_warning(float err_ratio) {
    if (err_ratio < 1) return "";
    return "warning: a RATIO of 1 or more lets every protein pair go unexplained\n";
}

int default_jobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

}  // namespace ddinfer
