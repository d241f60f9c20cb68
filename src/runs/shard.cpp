#include "runs/shard.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "core/atomic_file.h"
#include "cli/cli.h"
#include "cli/interrupt.h"
#include "core/error.h"
#include "core/input_file.h"
#include "runs/robust.h"
#include "runs/significance.h"

#ifndef DDINFER_VERSION
#define DDINFER_VERSION "unknown"
#endif

namespace ddinfer {

std::string Shard::partial_name(const std::string& table) const {
    const std::size_t dot = table.rfind(".tsv");
    return table.substr(0, dot) + ".shard-" + std::to_string(index) + "-of-" + std::to_string(count) + ".tsv";
}

Shard parse_shard(const std::string& text, int runs) {
    Shard shard;
    char* end = nullptr;
    const long index = std::strtol(text.c_str(), &end, 10);
    const bool slash = end != text.c_str() && *end == '/';
    const char* rest = slash ? end + 1 : end;
    const long count = slash ? std::strtol(rest, &end, 10) : 0;
    if (!slash || end == rest || *end != '\0' || index < 1 || count < index || count > runs) {
        throw UsageError("--shard takes I/S with 1 <= I <= S <= the runs (" + std::to_string(runs) + "), not \"" +
                         text + "\"");
    }
    shard.index = static_cast<int>(index);
    shard.count = static_cast<int>(count);
    shard.given = true;
    return shard;
}

std::string input_fingerprint(const std::vector<std::string>& paths) {
    std::uint64_t h = 1469598103934665603ULL;
    for (const std::string& path : paths) {
        if (path == "-") throw Error("--shard needs the inputs as files, not standard input");
        std::ifstream in(path, std::ios::binary);
        if (!in) throw Error(path + ": cannot open");
        char buffer[1 << 16];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            for (std::streamsize i = 0; i < in.gcount(); ++i) {
                h = (h ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
            }
        }
        if (in.bad()) throw Error(path + ": cannot read");
        h = (h ^ 0xffu) * 1099511628211ULL;  // where one file ends
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string partial_table(const std::string& provenance, const Shard& shard, const std::string& fingerprint,
                          const std::vector<PartialRow>& rows) {
    std::string text = provenance + "# shard " + std::to_string(shard.index) + "/" + std::to_string(shard.count) +
                       " fingerprint " + fingerprint + "\nrecord\tdomain_a\tdomain_b\tvalue\tcount\n";
    for (const PartialRow& row : rows) {
        text += std::to_string(row.record) + "\t" + row.a + "\t" + row.b + "\t" + row.value + "\t" +
                std::to_string(row.count) + "\n";
    }
    return text + "# end\n";
}

namespace {

const char* const usage_line = "usage: ddinfer-merge [-o FILE] PART...\n";
const char* const help_text =
    "  Adds up the partial tables that ddinfer-robust or ddinfer-null wrote with\n"
    "  --shard I/S and writes the table one unsharded run writes, byte for byte,\n"
    "  under the unsharded name beside the first part (or FILE). The parts must\n"
    "  come from the same inputs and settings, every shard exactly once.\n"
    "  -o, --output FILE   where to write the table (- for standard output)\n"
    "  -h, --help, -V, --version\n"
    "  Example:\n"
    "    ddinfer-merge pairs.txt.0.100000.robust.shard-*-of-4.tsv\n"
    "  Exit status: 0 done, 1 parts that do not belong together, are cut short\n"
    "  or malformed, or a table that cannot be written, 2 a mistake in the call.\n";

struct Part {
    std::string path, provenance, fingerprint;
    Shard shard;
    std::vector<PartialRow> rows;
};

long whole(const std::string& text, const std::string& path, long line) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0) throw input_error(path, line, "expected a whole number, found \"" + quoted_input(text) + "\"");
    return value;
}

Part read_part(const std::string& path) {
    InputFile in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Error(read_failure(path, in));
    Part part;
    part.path = path;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t feed = text.find('\n', at);
        if (feed == std::string::npos) {
            throw input_error(path, static_cast<long>(lines.size()) + 1, "the line has no line end: the part was cut short");
        }
        lines.push_back(text.substr(at, feed - at));
        at = feed + 1;
    }
    if (lines.size() < 4 || lines.back() != "# end") {
        throw Error(path + ": no \"# end\" line: the part was cut short, or is no partial table of --shard");
    }
    if (lines[0].rfind("# ddinfer-robust ", 0) != 0 && lines[0].rfind("# ddinfer-null ", 0) != 0) {
        throw input_error(path, 1, "expected the first line of a partial table of ddinfer-robust or ddinfer-null");
    }
    part.provenance = lines[0];
    int index = 0, count = 0;
    char fingerprint[40] = {};
    if (std::sscanf(lines[1].c_str(), "# shard %d/%d fingerprint %39s", &index, &count, fingerprint) != 3) {
        throw input_error(path, 2, "expected \"# shard I/S fingerprint HEX\"");
    }
    part.shard.index = index;
    part.shard.count = count;
    part.fingerprint = fingerprint;
    if (lines[2] != "record\tdomain_a\tdomain_b\tvalue\tcount") {
        throw input_error(path, 3, "expected the header record, domain_a, domain_b, value, count");
    }
    for (std::size_t i = 3; i + 1 < lines.size(); ++i) {
        const long line = static_cast<long>(i) + 1;
        std::vector<std::string> f;
        std::istringstream fields(lines[i]);
        for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
        if (f.size() != 5) throw input_error(path, line, "expected 5 tab-separated fields");
        char* end = nullptr;
        std::strtod(f[3].c_str(), &end);
        if (f[3].empty() || *end != '\0') throw input_error(path, line, "expected a number as the value");
        part.rows.push_back({whole(f[0], path, line), f[1], f[2], f[3], whole(f[4], path, line)});
    }
    return part;
}

// The table of all parts together; throws Error when they do not belong
// together.
std::string merged_table(const std::vector<Part>& parts) {
    const Part& first = parts.front();
    std::vector<int> seen(static_cast<std::size_t>(first.shard.count) + 1, 0);
    for (const Part& part : parts) {
        if (part.provenance != first.provenance || part.fingerprint != first.fingerprint) {
            throw Error(part.path + ": not a part of the same run as " + first.path +
                        " (other inputs or settings)");
        }
        if (part.shard.count != first.shard.count || part.shard.index < 1 || part.shard.index > part.shard.count) {
            throw Error(part.path + ": shard " + std::to_string(part.shard.index) + "/" +
                        std::to_string(part.shard.count) + " does not fit the " + std::to_string(first.shard.count) +
                        " shards of " + first.path);
        }
        if (seen[static_cast<std::size_t>(part.shard.index)]++ != 0) {
            throw Error(part.path + ": shard " + std::to_string(part.shard.index) + " is given twice");
        }
    }
    for (int i = 1; i <= first.shard.count; ++i) {
        if (seen[static_cast<std::size_t>(i)] == 0) {
            throw Error("shard " + std::to_string(i) + "/" + std::to_string(first.shard.count) + " is missing");
        }
    }
    std::map<long, PartialRow> rows;
    for (const Part& part : parts) {
        for (const PartialRow& row : part.rows) {
            const auto [it, added] = rows.try_emplace(row.record, row);
            if (added) continue;
            if (it->second.a != row.a || it->second.b != row.b || it->second.value != row.value) {
                throw Error(part.path + ": record " + std::to_string(row.record) + " differs from the other parts");
            }
            it->second.count += row.count;
        }
    }
    const std::size_t runs_at = first.provenance.find(" --runs ");
    if (runs_at == std::string::npos) throw input_error(first.path, 1, "expected --runs in the first line");
    const int runs = std::atoi(first.provenance.c_str() + runs_at + 8);
    const std::string provenance = first.provenance + "\n";
    if (first.provenance.rfind("# ddinfer-robust ", 0) == 0) {
        std::vector<RobustRow> robust;
        for (const auto& [record, row] : rows) robust.push_back({record, row.a, row.b, std::strtod(row.value.c_str(), nullptr), row.count});
        return robust_table(provenance, std::move(robust), runs);
    }
    std::vector<NullRow> tested;
    for (const auto& [record, row] : rows) tested.push_back({record, row.a, row.b, std::strtod(row.value.c_str(), nullptr), row.count});
    return null_table(provenance, tested, runs);
}

// "X.shard-I-of-S.tsv" -> "X.tsv", or "" when the name is not of that form.
std::string unsharded_name(const std::string& path) {
    const std::size_t at = path.rfind(".shard-");
    if (at == std::string::npos || path.size() < 4 || path.compare(path.size() - 4, 4, ".tsv") != 0) return "";
    return path.substr(0, at) + ".tsv";
}

}  // namespace

int merge_main(int argc, char** argv, std::ostream& out, std::ostream& err) {
    ParsedArgs args;
    try {
        args = parse_args(argc, argv, {{"output", true, 'o'}});
        if (args.has("help")) {
            out << usage_line << help_text;
            return 0;
        }
        if (args.has("version")) {
            out << "ddinfer-merge " << DDINFER_VERSION << "\n";
            return 0;
        }
        if (args.positional.empty()) throw UsageError("expected the partial tables");
    } catch (const UsageError& e) {
        err << "ddinfer-merge: " << e.what() << "; " << usage_line;
        return 2;
    }
    try {
        // Told to stop, it removes what it had begun to write.
        InterruptGuard interrupts("ddinfer-merge");
        std::vector<Part> parts;
        for (const std::string& path : args.positional) parts.push_back(read_part(path));
        const std::string table = merged_table(parts);
        std::string output = args.get("output", "");
        if (output.empty()) output = unsharded_name(parts.front().path);
        if (output.empty()) throw Error(parts.front().path + ": not named as a part (X.shard-I-of-S.tsv); give -o FILE");
        write_whole(output, table);
        err << "ddinfer-merge: wrote " << output << " from " << parts.size() << " parts\n";
    } catch (const Error& e) {
        err << "ddinfer-merge: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
