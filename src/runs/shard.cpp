#include "runs/shard.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <ostream>
#include <string_view>

#include "core/atomic_file.h"
#include "cli/cli.h"
#include "cli/interrupt.h"
#include "core/error.h"
#include "core/input_file.h"
#include "core/lines.h"
#include "evidence/evaluate.h"
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

namespace {

constexpr std::uint64_t fnv_basis = 1469598103934665603ULL;

std::uint64_t fnv1a(std::uint64_t h, std::string_view bytes) {
    for (const char byte : bytes) h = (h ^ static_cast<unsigned char>(byte)) * 1099511628211ULL;
    return h;
}

std::string hex(std::uint64_t h) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace

std::string input_fingerprint(const std::vector<std::string>& paths) {
    std::uint64_t h = fnv_basis;
    for (const std::string& path : paths) {
        if (path == "-") throw Error("--shard needs the inputs as files, not standard input");
        std::ifstream in(path, std::ios::binary);
        if (!in) throw Error(path + ": cannot open");
        char buffer[1 << 16];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            h = fnv1a(h, std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
        }
        if (in.bad()) throw Error(path + ": cannot read");
        h = (h ^ 0xffu) * 1099511628211ULL;  // where one file ends
    }
    return hex(h);
}

namespace {

std::string row_line(const PartialRow& row) {
    return std::to_string(row.record) + "\t" + row.a + "\t" + row.b + "\t" + row.value + "\t" +
           std::to_string(row.count) + "\n";
}

std::string end_line(std::size_t rows, long records, std::uint64_t checksum) {
    return "# end rows " + std::to_string(rows) + " records " + std::to_string(records) + " checksum " + hex(checksum);
}

const char* const header_line = "record\tdomain_a\tdomain_b\tvalue\tcount";

}  // namespace

std::string partial_table(const std::string& provenance, const Shard& shard, const std::string& fingerprint,
                          const std::vector<PartialRow>& rows, long records) {
    const std::string heads = provenance + "# shard " + std::to_string(shard.index) + "/" +
                              std::to_string(shard.count) + " fingerprint " + fingerprint + "\n";
    std::string text = heads + header_line + "\n";
    // The settings and the fingerprint are checked with the rows.
    std::uint64_t checksum = fnv1a(fnv_basis, heads);
    for (const PartialRow& row : rows) {
        const std::string line = row_line(row);
        checksum = fnv1a(checksum, line);
        text += line;
    }
    return text + end_line(rows.size(), records, checksum) + "\n";
}

namespace {

const char* const usage_line = "usage: ddinfer-merge [-o FILE] [-q] PART...\n";
const char* const help_text =
    "  Adds up the partial tables that ddinfer-robust or ddinfer-null wrote with\n"
    "  --shard I/S and writes the table one unsharded run writes, byte for byte,\n"
    "  under the unsharded name beside the first part (or FILE). The parts must\n"
    "  come from the same inputs and settings, every shard exactly once. Each\n"
    "  part is checked whole against the row count and checksum of its last\n"
    "  line before anything is written.\n"
    "  -o, --output FILE   where to write the table (- for standard output)\n"
    "  -q, --quiet         only warnings and errors on standard error\n"
    "  -h, --help, -V, --version\n"
    "  Example:\n"
    "    ddinfer-merge pairs.txt.0.100000.robust.shard-*-of-4.tsv\n"
    "  Exit status: 0 done, 1 parts that do not belong together, are cut short,\n"
    "  damaged or malformed, or a table that cannot be written, 2 a mistake in\n"
    "  the call.\n";

// A whole number (at most limit + 1: all that is above is too large alike),
// else an error naming the file and line.
long whole(std::string_view text, long limit, const std::string& path, long line, const std::string& what) {
    long value = 0;
    bool digits = !text.empty();
    for (const char c : text) {
        if (c < '0' || c > '9') {
            digits = false;
            break;
        }
        value = std::min(value * 10 + (c - '0'), limit + 1);
    }
    if (!digits) throw input_error(path, line, "expected a whole number as the " + what + ", found \"" + quoted_input(text) + "\"");
    return value;
}


}  // namespace

PartialTable read_partial_table(std::istream& in, const std::string& path) {
    PartialTable part;
    part.path = path;
    Lines lines(in, path);
    std::string_view line;
    bool ended = false;
    const auto cut = [&] { return Error(path + ": no end line: the part was cut short, or is no partial table of --shard"); };
    const auto next = [&] {
        const bool got = lines.next(line, &ended);
        if (lines.bad()) throw Error(read_failure(path, in));
        if (!got) throw cut();
        if (!ended) throw input_error(path, lines.number(), "the line has no line end: the part was cut short");
    };
    next();
    if (line.rfind("# ddinfer-robust ", 0) != 0 && line.rfind("# ddinfer-null ", 0) != 0) {
        throw input_error(path, 1, "expected the first line of a partial table of ddinfer-robust or ddinfer-null");
    }
    part.provenance = line;
    std::string heads = part.provenance + "\n";
    const std::size_t runs_at = part.provenance.find(" --runs ");
    if (runs_at == std::string::npos) throw input_error(path, 1, "expected --runs in the first line");
    const std::string_view runs_text = std::string_view(part.provenance).substr(runs_at + 8);
    part.runs = static_cast<int>(whole(runs_text.substr(0, runs_text.find(' ')), 1 << 30, path, 1, "--runs"));
    if (part.runs < 1 || part.runs > 1 << 30) throw input_error(path, 1, "expected --runs of 1 to 2^30");
    next();
    int index = 0, count = 0;
    char fingerprint[40] = {};
    const std::string shard_line(line);
    heads += shard_line + "\n";
    if (std::sscanf(shard_line.c_str(), "# shard %d/%d fingerprint %39s", &index, &count, fingerprint) != 3 ||
        index < 1 || count < index || count > part.runs) {
        throw input_error(path, 2, "expected \"# shard I/S fingerprint HEX\" with 1 <= I <= S <= the runs");
    }
    part.shard.index = index;
    part.shard.count = count;
    part.shard.given = true;
    part.fingerprint = fingerprint;
    next();
    if (line != header_line) throw input_error(path, 3, "expected the header record, domain_a, domain_b, value, count");
    const long most = part.shard.runs_of(part.runs);
    std::uint64_t checksum = fnv1a(fnv_basis, heads), rows_alone = fnv_basis;
    for (;;) {
        next();
        const long at = lines.number();
        if (line.rfind("# end", 0) == 0) {
            unsigned long long rows = 0, records = 0;
            char sum[40] = {};
            const std::string text(line);
            if (std::sscanf(text.c_str(), "# end rows %llu records %llu checksum %39s", &rows, &records, sum) != 3) {
                throw input_error(path, at, "expected \"# end rows R records N checksum HEX\" (a part of an earlier "
                                            "version has none: run its shard again)");
            }
            if (rows != part.rows.size()) {
                throw input_error(path, at, "the end line counts " + std::to_string(rows) + " rows, the part holds " +
                                                std::to_string(part.rows.size()) + ": lines were lost or added");
            }
            if (sum == hex(rows_alone) && sum != hex(checksum)) {
                throw input_error(path, at, "the checksum covers the rows alone, not the first two lines: a part of an "
                                            "earlier version; run its shard again");
            }
            if (sum != hex(checksum)) {
                throw input_error(path, at, "the part does not match the checksum of the end line: it was changed "
                                            "after it was written");
            }
            if (!part.rows.empty() && part.rows.back().record >= static_cast<long>(records)) {
                throw input_error(path, part.lines.back(), "record " + std::to_string(part.rows.back().record) +
                                                               " is out of range (the records run from 0 to " +
                                                               std::to_string(static_cast<long>(records) - 1) + ")");
            }
            part.records = static_cast<long>(records);
            break;
        }
        const std::vector<std::string_view> f = tab_fields(line);
        if (f.size() != 5) throw input_error(path, at, "expected 5 tab-separated fields");
        PartialRow row;
        row.record = whole(f[0], 1L << 40, path, at, "record");
        if (!part.rows.empty() && row.record <= part.rows.back().record) {
            throw input_error(path, at, "record " + std::string(f[0]) + " does not follow record " +
                                            std::to_string(part.rows.back().record) + ": each record once, in order");
        }
        const std::string value(f[3]);
        char* end = nullptr;
        std::strtod(value.c_str(), &end);
        if (value.empty() || end != value.c_str() + value.size()) throw input_error(path, at, "expected a number as the value");
        row.a = f[1];
        row.b = f[2];
        row.value = value;
        row.count = whole(f[4], most, path, at, "count");
        if (row.count > most) {
            throw input_error(path, at, "the count " + quoted_input(f[4]) + " is above the " + std::to_string(most) +
                                            " runs of shard " + std::to_string(index) + "/" + std::to_string(count));
        }
        checksum = fnv1a(fnv1a(checksum, line), "\n");
        rows_alone = fnv1a(fnv1a(rows_alone, line), "\n");
        part.rows.push_back(std::move(row));
        part.lines.push_back(at);
    }
    if (lines.next(line)) throw input_error(path, lines.number(), "expected nothing after the end line");
    if (lines.bad()) throw Error(read_failure(path, in));
    return part;
}

std::string merge_partial_tables(const std::vector<PartialTable>& parts) {
    const PartialTable& first = parts.front();
    std::vector<int> seen(static_cast<std::size_t>(first.shard.count) + 1, 0);
    for (const PartialTable& part : parts) {
        if (part.provenance != first.provenance || part.fingerprint != first.fingerprint ||
            part.records != first.records) {
            throw Error(part.path + ": not a part of the same run as " + first.path +
                        " (other inputs or settings)");
        }
        if (part.shard.count != first.shard.count) {
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
    // Every part of ddinfer-null tests the same pairs, those of the classic
    // solution: a part that lists others was emptied or cut and made whole
    // again.
    if (first.provenance.rfind("# ddinfer-null ", 0) == 0) {
        for (const PartialTable& part : parts) {
            bool same = part.rows.size() == first.rows.size();
            for (std::size_t i = 0; same && i < part.rows.size(); ++i) same = part.rows[i].record == first.rows[i].record;
            if (!same) {
                throw Error(part.path + ": lists " + std::to_string(part.rows.size()) + " tested pairs, " + first.path +
                            " " + std::to_string(first.rows.size()) +
                            "; every part of ddinfer-null lists the same ones (a part emptied or cut?)");
            }
        }
    }
    struct Where {
        const PartialTable* part;
        long line;
    };
    std::map<long, std::pair<PartialRow, Where>> rows;
    for (const PartialTable& part : parts) {
        for (std::size_t i = 0; i < part.rows.size(); ++i) {
            const PartialRow& row = part.rows[i];
            const auto [it, added] = rows.try_emplace(row.record, row, Where{&part, part.lines[i]});
            if (added) continue;
            const PartialRow& other = it->second.first;
            if (other.a != row.a || other.b != row.b || other.value != row.value) {
                const Where& where = it->second.second;
                throw input_error(part.path, part.lines[i],
                                  "record " + std::to_string(row.record) + " differs from " + where.part->path + ":" +
                                      std::to_string(where.line) + " (parts of other inputs or versions?)");
            }
            it->second.first.count += row.count;
        }
    }
    const std::string provenance = first.provenance + "\n";
    if (first.provenance.rfind("# ddinfer-robust ", 0) == 0) {
        std::vector<RobustRow> robust;
        for (const auto& [record, entry] : rows) {
            const PartialRow& row = entry.first;
            robust.push_back({record, row.a, row.b, std::strtod(row.value.c_str(), nullptr), row.count});
        }
        return robust_table(provenance, std::move(robust), first.runs);
    }
    std::vector<NullRow> tested;
    for (const auto& [record, entry] : rows) {
        const PartialRow& row = entry.first;
        tested.push_back({record, row.a, row.b, std::strtod(row.value.c_str(), nullptr), row.count});
    }
    return null_table(provenance, tested, first.runs);
}

namespace {

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
        // Before anything is read: the table it would write may be a part.
        const std::string output = args.has("output") ? args.get("output", "") : unsharded_name(args.positional.front());
        refuse_output_over_input({output}, args.positional);
    } catch (const UsageError& e) {
        err << "ddinfer-merge: " << e.what() << "; " << usage_line;
        return 2;
    }
    try {
        // Told to stop, it removes what it had begun to write.
        InterruptGuard interrupts("ddinfer-merge");
        std::vector<PartialTable> parts;
        for (const std::string& path : args.positional) {
            InputFile in(path);
            parts.push_back(read_partial_table(in, path));
        }
        const std::string table = merge_partial_tables(parts);
        std::string output = args.get("output", "");
        if (output.empty()) output = unsharded_name(parts.front().path);
        if (output.empty()) throw Error(parts.front().path + ": not named as a part (X.shard-I-of-S.tsv); give -o FILE");
        write_whole(output, table);
        InfoStream(err, args.has("quiet")) << "ddinfer-merge: wrote " << output << " from " << parts.size() << " parts\n";
    } catch (const Error& e) {
        err << "ddinfer-merge: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
