// Helpers shared by the tests: a temporary folder, whole-file reading and
// writing, networks built from in-memory text, and a run of a built command.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/dint.h"
#include "core/network.h"
#include "core/readers.h"
#include "core/table_end.h"

namespace ddinfer::test {

namespace fs = std::filesystem;

inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void write_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A fixture that owns a fresh temporary folder.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ddinfer-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path path(const std::string& name) const { return dir / name; }

    fs::path dir;
};

// A network read from the text of the two files (count lines included),
// with its candidate table built.
struct Net {
    protdom network;
    inter_table pint;
    inter_table dint;
    std::string out;  // what the readers and the builder printed
    std::string err;
};

inline Net make_net(const std::string& pairs, const std::string& domains, bool build_dint = true) {
    Net net;
    std::ostringstream out, err;
    Streams streams{out, err};
    std::istringstream pin(pairs);
    const int declared = read_count_line(pin, "pairs.txt", "protein pairs");
    readpint(net.network, net.pint, pin, "pairs.txt", declared, streams);
    std::istringstream din(domains);
    net.network.ndom = read_count_line(din, "domains.txt", "domain lines");
    creat_protdom(net.network, din, "domains.txt", streams);
    if (build_dint) construct_dint(net.network, net.pint, net.dint, out);
    net.out = out.str();
    net.err = err.str();
    return net;
}

// prefix + i + suffix, built by appending (GCC 12 warns falsely on the
// operator+ chain of a literal and a temporary).
inline std::string numbered(const std::string& prefix, long i, const std::string& suffix) {
    std::string text(prefix);
    return text.append(std::to_string(i)).append(suffix);
}

// Single-quotes a word for the shell.
inline std::string quoted(const std::string& word) {
    std::string q = "'";
    for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A table without its first line when that is the "# COMMAND ..." line
// recording the call, and without its end line ("# end rows R checksum
// HEX", a function of the rows above it that the readers check).
inline std::string without_provenance(const std::string& table) {
    std::string rest = table.rfind("# ", 0) == 0 ? table.substr(table.find('\n') + 1) : table;
    const std::size_t end = rest.rfind("# end rows ");
    if (end != std::string::npos && (end == 0 || rest[end - 1] == '\n')) rest.resize(end);
    return rest;
}

// Rows of a table ("...\n" each) followed by their end line, as the
// commands write them.
inline std::string with_end(const std::string& rows) {
    TableEnd end;
    end.bytes(rows);
    return rows + end.line() + "\n";
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a command line (words quoted here) in `dir`; `env` is prefixed as is.
inline RunResult run_in(const fs::path& dir, const std::vector<std::string>& words, const std::string& env = "") {
    std::string command = "cd " + quoted(dir.string()) + " && " + env + " ";
    for (const std::string& word : words) command += quoted(word) + " ";
    command += "> .stdout 2> .stderr < /dev/null";
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_file(dir / ".stdout");
    result.err = read_file(dir / ".stderr");
    fs::remove(dir / ".stdout");
    fs::remove(dir / ".stderr");
    return result;
}

inline std::string bin(const std::string& name) { return std::string(DDINFER_BIN_DIR) + "/" + name; }

}  // namespace ddinfer::test
