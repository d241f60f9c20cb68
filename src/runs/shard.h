// Companion runs split over machines: `--shard I/S` makes ddinfer-robust or
// ddinfer-null do only runs I, I + S, I + 2S, ... of 1..N (each run seeded
// from --seed and its number as always, so a run draws the same wherever it
// runs) and write a partial table of raw counts; ddinfer-merge adds the
// parts up into exactly the table one unsharded run writes.
//
// A partial table:
//   # <the provenance line of the unsharded table>
//   # shard I/S fingerprint HEX
//   record<TAB>domain_a<TAB>domain_b<TAB>value<TAB>count
//   ... one row per candidate the part can list, by record ...
//   # end rows R records N checksum HEX
// robust: value = the classic value, count = runs that infer the pair;
// null: value = the observed value, count = runs whose value reached it.
// The end line counts the rows and carries a hash of their bytes; record ids
// run from 0 to N - 1 (N candidate pairs). ddinfer-merge checks each part
// against it before it writes anything: a part cut short, with a line lost,
// doubled or changed after it was written is named and refused.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace ddinfer {

struct Shard {
    int index = 1, count = 1;  // I and S
    bool given = false;        // --shard was given (1/1 too: one part)
    bool active() const { return given; }
    bool has(int run) const { return (run - 1) % count == index - 1; }
    // How many of the runs 1..runs are this shard's: I, I + S, ...
    int runs_of(int runs) const { return runs < index ? 0 : (runs - index) / count + 1; }
    // "PAIRS.RATIO.robust.shard-I-of-S.tsv" from "PAIRS.RATIO.robust.tsv"
    std::string partial_name(const std::string& table) const;
};

// "I/S" with 1 <= I <= S <= runs; throws UsageError.
Shard parse_shard(const std::string& text, int runs);

// A hash of the bytes of the input files (FNV-1a, 64 bits, as hex); throws
// Error for a file that cannot be read or standard input.
std::string input_fingerprint(const std::vector<std::string>& paths);

// One row of a partial table.
struct PartialRow {
    long record = 0;
    std::string a, b, value;  // value as the table prints it (%g)
    long count = 0;
};

// The whole text of a partial table; `records` is the number of candidate
// pairs.
std::string partial_table(const std::string& provenance, const Shard& shard, const std::string& fingerprint,
                          const std::vector<PartialRow>& rows, long records);

// A partial table as read back, each row's line number beside it.
struct PartialTable {
    std::string path, provenance, fingerprint;
    Shard shard;
    int runs = 0;       // --runs of the whole study
    long records = 0;   // record ids run from 0 to records - 1
    std::vector<PartialRow> rows;
    std::vector<long> lines;
};

// Reads and checks one part (throws Error "PATH:LINE: ..." for the first
// fault: a cut or malformed part, a record out of order or out of range, a
// count above the runs of its shard, rows that do not match the end line).
PartialTable read_partial_table(std::istream& in, const std::string& path);

// The unsharded table from all parts of one run; throws Error naming the part
// (and line) that does not fit the first.
std::string merge_partial_tables(const std::vector<PartialTable>& parts);

// Exit statuses: 0 done, 1 parts that do not belong together, are cut short
// or malformed, or a table that cannot be written, 2 a mistake in the call.
int merge_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
