// cli/: what every command shares on the command line, above core/ and
// solve/: parsing, help and version, the line that records a call, and
// stops by signal (the files a stop must remove, the child to end).
//
// Command-line parsing shared by the commands, in the manner of the usual
// bioinformatics tools: options may stand before, between or after the
// positional arguments, as --name VALUE, --name=VALUE or a bare --flag;
// -h/--help, -V/--version and -q/--quiet are known to every command; "--"
// ends the options. An argument that begins with a single "-" and is no
// known short option is positional when it is a number or names an existing
// file, so -pairs.txt and a negative number reach the checks of the
// positional arguments; any other (-o, -j 2 where the command has no such
// option) and an unknown --name are mistakes that list the options. "-"
// alone is an argument: standard input or output.
#pragma once

#include <map>
#include <ostream>
#include <streambuf>
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
    char short_name = 0;  // -x, or 0
    bool repeats = false;  // may be given again with other values, each kept
    int words = 1;         // words a value takes: 2 joins them with a tab
};

struct ParsedArgs {
    std::map<std::string, std::string> options;  // a flag maps to ""
    std::vector<std::string> positional;
    // Every value of an option that repeats, in the order given (the first
    // is also in `options`).
    std::map<std::string, std::vector<std::string>> repeated;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string get(const std::string& name, const std::string& fallback) const;
    // Every value of a repeating option; empty when not given.
    std::vector<std::string> all(const std::string& name) const;
    // A whole number in [low, high]; throws UsageError.
    long get_long(const std::string& name, long fallback, long low, long high) const;
};

// Throws UsageError. help and version are added to `specs`.
ParsedArgs parse_args(int argc, char** argv, const std::vector<OptionSpec>& specs);

// What a command says about its call.
struct CommandLine {
    std::string name;   // "ddinfer-rank"
    std::string usage;  // one line, "usage: ..."
    std::string help;   // the lines after it for --help
    std::vector<OptionSpec> options;
    std::size_t positionals = 0;  // exactly this many
    bool or_more = false;         // at least that many
};

// Parses the call. Returns -1 to go on; otherwise the exit status after
// printing help or the version to `out` (0), or a mistake with the usage
// line to `err` (2).
int parse_command_line(const CommandLine& command, int argc, char** argv, ParsedArgs& args, std::ostream& out,
                       std::ostream& err);

// The error ratio: the whole text must be a decimal or hexadecimal number
// (white space around it allowed), finite and at least 0; held in single
// precision. Throws UsageError naming the text.
float parse_ratio_argument(const std::string& text);

// The warning for a ratio of 1 or more, or "".
std::string ratio_warning(float err_ratio);

// Where a command writes the files named after PAIRS: PAIRS itself, or with
// --outdir DIR (created if missing) DIR/basename(PAIRS); "stdin" stands for
// PAIRS "-". Throws UsageError when the folder cannot be made.
std::string output_stem(const ParsedArgs& args, const std::string& pairs_path);

// Refuses to write over an input: throws UsageError naming both when an
// output is the same file as an input (the same device and inode, however
// the two paths are spelled: a link, ./x, a copy's name is another file).
// "-" and outputs that do not exist yet pass.
// Whether two paths name one existing file (device and inode).
bool same_file(const std::string& a, const std::string& b);

void refuse_output_over_input(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

// The values of these options of `args` that are given, each once, after
// `first` (a command's input files, say).
std::vector<std::string> given_values(const ParsedArgs& args, std::vector<std::string> first,
                                      const std::vector<std::string>& options);

// The first line of a table, saying what made it: "# COMMAND VERSION WORDS".
std::string provenance(const std::string& command, const std::vector<std::string>& words);

// What a command says of its work on standard error (what it read and
// wrote, progress): every line, or with -q only the lines that warn (those
// holding "warning"). Errors go to standard error directly.
class InfoStream : public std::ostream {
public:
    InfoStream(std::ostream& err, bool quiet) : std::ostream(&filter_), filter_(err, quiet) {}
    ~InfoStream() override;

private:
    class Filter : public std::streambuf {
    public:
        Filter(std::ostream& err, bool quiet) : err_(err), quiet_(quiet) {}
        bool pending() const { return !line_.empty(); }

    protected:
        int_type overflow(int_type c) override;
        int sync() override;

    private:
        std::ostream& err_;
        bool quiet_;
        std::string line_;
    };
    Filter filter_;
};

// The number of cores, at least 1.
int default_jobs();

}  // namespace ddinfer
