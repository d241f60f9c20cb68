// Companion runs split into shards and merged back: the merged table is
// the unsharded one byte for byte, and parts that do not belong together
// are refused with the file named and nothing written.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "core/error.h"
#include "runs/shard.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

class ShardTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // Two proteins of each pair carry one of several domains: many
        // optimal solutions, so the runs differ.
        std::string pairs = "40\n", domains = "6\n";
        for (int k = 0; k < 40; ++k) pairs += numbered("P", k % 13, " ") + numbered("P", (k * 5 + 3) % 17, "\n");
        for (int d = 0; d < 6; ++d) {
            domains += numbered("D", d, ":");
            for (int p = d; p < 17; p += 2 + d % 3) domains += numbered(" P", p, "");
            domains += "\n";
        }
        write_file(path("pairs.txt"), pairs);
        write_file(path("domains.txt"), domains);
    }
    RunResult run(const std::vector<std::string>& words) {
        std::vector<std::string> line{bin(words[0])};
        line.insert(line.end(), words.begin() + 1, words.end());
        return run_in(dir, line, "TMPDIR=" + quoted(dir.string()));
    }
};

TEST_F(ShardTest, MergedShardsAreTheUnshardedTableByteForByte) {
    for (const std::string solver : {"clp", "glpsol"}) {
        for (const auto& [command, table] : {std::pair{std::string("ddinfer-robust"), std::string("robust.tsv")},
                                             {std::string("ddinfer-null"), std::string("m2.null.tsv")}}) {
            const std::vector<std::string> common{command, "-q", "--solver", solver, "--runs", "7", "--seed", "5"};
            auto words = common;
            words.insert(words.end(), {"pairs.txt", "domains.txt", "0.2"});
            ASSERT_EQ(run(words).status, 0) << command;
            const std::string whole = read_file(path("pairs.txt.0.200000." + table));
            ASSERT_NE(whole.find('\n', whole.find('\n') + 1), std::string::npos);
            for (const int shards : {2, 3}) {
                std::vector<std::string> merge{"ddinfer-merge"};
                for (int i = 1; i <= shards; ++i) {
                    words = common;
                    words.insert(words.end(), {"--shard", std::to_string(i) + "/" + std::to_string(shards),
                                               "pairs.txt", "domains.txt", "0.2"});
                    ASSERT_EQ(run(words).status, 0);
                    merge.push_back("pairs.txt.0.200000." + table.substr(0, table.size() - 4) + ".shard-" +
                                    std::to_string(i) + "-of-" + std::to_string(shards) + ".tsv");
                }
                fs::remove(path("pairs.txt.0.200000." + table));
                const RunResult merged = run(merge);
                ASSERT_EQ(merged.status, 0) << merged.err;
                EXPECT_EQ(read_file(path("pairs.txt.0.200000." + table)), whole) << solver << " " << command << " " << shards;
            }
        }
    }
}

// Shard I of S does runs I, I + S, ...; the fingerprint tells where one
// input ends and the next begins.
TEST_F(ShardTest, RunsOfAShardAndTheInputsFingerprint) {
    const Shard shard = parse_shard("2/3", 7);
    std::vector<int> runs;
    for (int run = 1; run <= 7; ++run) {
        if (shard.has(run)) runs.push_back(run);
    }
    EXPECT_EQ(runs, (std::vector<int>{2, 5}));
    EXPECT_THROW(parse_shard("3/2", 7), UsageError);
    EXPECT_THROW(parse_shard("0/2", 7), UsageError);
    EXPECT_THROW(parse_shard("1/8", 7), UsageError);
    EXPECT_THROW(parse_shard("1-3", 7), UsageError);
    write_file(path("a1"), "ab");
    write_file(path("b1"), "c");
    write_file(path("a2"), "a");
    write_file(path("b2"), "bc");
    EXPECT_NE(input_fingerprint({path("a1").string(), path("b1").string()}),
              input_fingerprint({path("a2").string(), path("b2").string()}));
    EXPECT_EQ(input_fingerprint({path("a1").string(), path("b1").string()}).size(), 16u);
    // A PAIRS name that holds ".tsv" and ".shard-" itself: the part's name
    // and the merged table's are made at the right places.
    write_file(path("p.shard-2.tsv"), read_file(path("pairs.txt")));
    ASSERT_EQ(run({"ddinfer-robust", "-q", "--runs", "3", "--shard", "1/1", "p.shard-2.tsv", "domains.txt", "0.2"}).status, 0);
    const RunResult merged = run({"ddinfer-merge", "-q", "p.shard-2.tsv.0.200000.robust.shard-1-of-1.tsv"});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_TRUE(fs::exists(path("p.shard-2.tsv.0.200000.robust.tsv")));
    // Progress counts the runs of the shard: 2, 5 and 8 of 1..9 in 2/3.
    const RunResult told = run({"ddinfer-null", "--runs", "9", "--jobs", "1", "--shard", "2/3", "pairs.txt", "domains.txt", "0.2"});
    EXPECT_NE(told.err.find("; now 3 runs of shard 2/3, 1 at a time\n"), std::string::npos) << told.err;
    EXPECT_NE(told.err.find("\nrun 3/3 of shard 2/3 done, "), std::string::npos) << told.err;
}

TEST_F(ShardTest, PartsThatDoNotBelongTogetherAreRefused) {
    for (const char* shard : {"1/3", "2/3", "3/3"}) {
        ASSERT_EQ(run({"ddinfer-robust", "-q", "--runs", "6", "--shard", shard, "pairs.txt", "domains.txt", "0.2"}).status, 0);
    }
    const std::string part = "pairs.txt.0.200000.robust.shard-";
    auto merge = [&](const std::vector<std::string>& parts) {
        std::vector<std::string> words{"ddinfer-merge", "-o", "out.tsv"};
        words.insert(words.end(), parts.begin(), parts.end());
        return run(words);
    };
    EXPECT_EQ(merge({part + "1-of-3.tsv", part + "3-of-3.tsv"}).err, "ddinfer-merge: shard 2/3 is missing\n");
    EXPECT_EQ(merge({part + "1-of-3.tsv", part + "2-of-3.tsv"}).err, "ddinfer-merge: shard 3/3 is missing\n");
    EXPECT_EQ(merge({part + "1-of-3.tsv", part + "2-of-3.tsv", part + "2-of-3.tsv", part + "3-of-3.tsv"}).err,
              "ddinfer-merge: " + part + "2-of-3.tsv: shard 2 is given twice\n");
    // Another domain file: another fingerprint.
    fs::create_directory(path("other"));
    write_file(path("other/pairs.txt"), read_file(path("pairs.txt")));
    write_file(path("other/domains.txt"), read_file(path("domains.txt")) + "D9: P1 P2\n");
    ASSERT_EQ(run({"ddinfer-robust", "-q", "--runs", "6", "--shard", "2/3", "--outdir", "other", "other/pairs.txt",
                   "other/domains.txt", "0.2"}).status, 0);
    EXPECT_EQ(merge({part + "1-of-3.tsv", "other/" + part + "2-of-3.tsv", part + "3-of-3.tsv"}).err,
              "ddinfer-merge: other/" + part + "2-of-3.tsv: not a part of the same run as " + part +
                  "1-of-3.tsv (other inputs or settings)\n");
    // The same call on a domain file changed between two shards: the call
    // lines agree, the fingerprints do not.
    fs::create_directory(path("same"));
    const std::string kept = read_file(path("domains.txt"));
    write_file(path("domains.txt"), kept + "D9: P1 P2\n");
    ASSERT_EQ(run({"ddinfer-robust", "-q", "--runs", "6", "--shard", "2/3", "--outdir", "same", "pairs.txt",
                   "domains.txt", "0.2"}).status, 0);
    write_file(path("domains.txt"), kept);
    EXPECT_EQ(merge({part + "1-of-3.tsv", "same/" + part + "2-of-3.tsv", part + "3-of-3.tsv"}).err,
              "ddinfer-merge: same/" + part + "2-of-3.tsv: not a part of the same run as " + part +
                  "1-of-3.tsv (other inputs or settings)\n");
    EXPECT_EQ(run({"ddinfer-robust", "--runs", "6", "--shard", "4/3", "pairs.txt", "domains.txt", "0.2"}).status, 2);
    EXPECT_EQ(run({"ddinfer-robust", "--runs", "2", "--shard", "1/3", "pairs.txt", "domains.txt", "0.2"}).status, 2);
    // Without -o the table goes under the unsharded name beside the first part.
    ASSERT_EQ(merge({}).status, 2);
    const RunResult named = run({"ddinfer-merge", part + "3-of-3.tsv", part + "1-of-3.tsv", part + "2-of-3.tsv"});
    EXPECT_EQ(named.err, "ddinfer-merge: wrote pairs.txt.0.200000.robust.tsv from 3 parts\n");
}

// What a copy, a full disk or a hand can do to one part: it is named with
// its line, the merge stops with status 1 and writes nothing.
TEST_F(ShardTest, ADamagedPartIsNamedAndNothingIsWritten) {
    for (const char* shard : {"1/3", "2/3", "3/3"}) {
        ASSERT_EQ(run({"ddinfer-robust", "-q", "--runs", "6", "--shard", shard, "pairs.txt", "domains.txt", "0.2"}).status, 0);
    }
    const std::string part = "pairs.txt.0.200000.robust.shard-";
    const std::string text = read_file(path(part + "1-of-3.tsv"));
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) lines.push_back(text.substr(at, text.find('\n', at) - at));
    // Three head lines, rows, the end line; two runs (1 and 4) in shard 1/3.
    ASSERT_GE(lines.size(), 7u);
    const std::size_t rows = lines.size() - 4, end = lines.size() - 1;
    const auto joined = [](const std::vector<std::string>& all) {
        std::string whole;
        for (const std::string& line : all) whole += line + "\n";
        return whole;
    };
    const auto field = [&](std::size_t line, int which) {
        std::string rest = lines[line];
        for (int i = 0; i < which; ++i) rest.erase(0, rest.find('\t') + 1);
        return rest.substr(0, rest.find('\t'));
    };
    const auto with_field = [&](std::size_t line, int which, const std::string& value) {
        std::vector<std::string> all = lines;
        std::size_t at = 0;
        for (int i = 0; i < which; ++i) at = all[line].find('\t', at) + 1;
        all[line].replace(at, all[line].find('\t', at) == std::string::npos ? std::string::npos : all[line].find('\t', at) - at, value);
        return joined(all);
    };
    const auto without = [&](std::size_t from, std::size_t to) {
        std::vector<std::string> all = lines;
        all.erase(all.begin() + static_cast<long>(from), all.begin() + static_cast<long>(to));
        return joined(all);
    };
    std::vector<std::string> doubled = lines;
    doubled.insert(doubled.begin() + 4, lines[4]);
    const auto edited = [&](std::size_t line, const std::string& from, const std::string& to) {
        std::vector<std::string> all = lines;
        const std::size_t at = all[line].find(from);
        if (at != std::string::npos) all[line].replace(at, from.size(), to);
        return all;
    };
    std::vector<std::string> older = lines;
    older[end] = "# end";
    const std::string counts = std::to_string(rows) + " rows, the part holds ";
    const struct {
        std::string name, text, error;
    } cases[] = {
        {"doubled.tsv", joined(doubled), "doubled.tsv:6: record " + field(4, 0) + " does not follow record " + field(4, 0) + ": each record once, in order"},
        {"huge.tsv", with_field(3, 4, "99999999999999999999999"), "huge.tsv:4: the count 99999999999999999999999 is above the 2 runs of shard 1/3"},
        {"above.tsv", with_field(5, 4, "3"), "above.tsv:6: the count 3 is above the 2 runs of shard 1/3"},
        {"renumbered.tsv", with_field(end - 1, 0, std::to_string(std::stol(field(end - 1, 0)) + 1)),
         "renumbered.tsv:" + std::to_string(end + 1) + ": the part does not match the checksum of the end line: it was changed after it was written"},
        {"value.tsv", with_field(3, 3, "0.5"), "value.tsv:" + std::to_string(end + 1) + ": the part does not match the checksum of the end line: it was changed after it was written"},
        {"deleted.tsv", without(4, 5), "deleted.tsv:" + std::to_string(end) + ": the end line counts " + counts + std::to_string(rows - 1) + ": lines were lost or added"},
        {"halved.tsv", without(4, end), "halved.tsv:5: the end line counts " + counts + "1: lines were lost or added"},
        {"older.tsv", joined(older), "older.tsv:" + std::to_string(end + 1) + ": expected \"# end rows R records N checksum HEX\" (a part of an earlier version has none: run its shard again)"},
        {"cut.tsv", text.substr(0, text.size() - 6), "cut.tsv:" + std::to_string(end + 1) + ": the line has no line end: the part was cut short"},
        {"headless.tsv", without(0, 1), "headless.tsv:1: expected the first line of a partial table of ddinfer-robust or ddinfer-null"},
        {"endless.tsv", without(end, end + 1), "endless.tsv: no end line: the part was cut short, or is no partial table of --shard"},
        {"more.tsv", text + "0\tD0\tD0\t1\t1\n", "more.tsv:" + std::to_string(end + 2) + ": expected nothing after the end line"},
        // The settings and fingerprint lines are checked with the rows: a part
        // of seed 2 edited to say seed 1, and one of another input.
        {"seed.tsv", joined(edited(0, " --seed 1 ", " --seed 2 ")),
         "seed.tsv:" + std::to_string(end + 1) + ": the part does not match the checksum of the end line: it was changed after it was written"},
        {"print.tsv", joined(edited(1, "fingerprint ", "fingerprint 0")),
         "print.tsv:" + std::to_string(end + 1) + ": the part does not match the checksum of the end line: it was changed after it was written"},
    };
    for (const auto& c : cases) {
        write_file(path(c.name), c.text);
        // The damaged part first: the fault is its own, not the next part's.
        const RunResult merged = run({"ddinfer-merge", "-o", "out.tsv", c.name, part + "2-of-3.tsv", part + "3-of-3.tsv"});
        EXPECT_EQ(merged.status, 1) << c.name;
        EXPECT_EQ(merged.err, "ddinfer-merge: " + c.error + "\n");
    }
    // A cut compressed part.
    ASSERT_EQ(run_in(dir, {"sh", "-c", "gzip -c " + part + "1-of-3.tsv > whole.tsv.gz"}).status, 0);
    const std::string zipped = read_file(path("whole.tsv.gz"));
    write_file(path("cut.tsv.gz"), zipped.substr(0, zipped.size() - 12));
    const RunResult cut = run({"ddinfer-merge", "-o", "out.tsv", "cut.tsv.gz", part + "2-of-3.tsv", part + "3-of-3.tsv"});
    EXPECT_EQ(cut.err, "ddinfer-merge: cut.tsv.gz: cannot read: the compressed data ends early (a cut or partial download?)\n");
    EXPECT_FALSE(fs::exists(path("out.tsv")));
    const RunResult whole = run({"ddinfer-merge", "-o", "out.tsv", "whole.tsv.gz", part + "2-of-3.tsv", part + "3-of-3.tsv"});
    EXPECT_EQ(whole.status, 0) << whole.err;
}

// Parts read back from their text: a record beyond the candidates, and two
// parts that give one record another value (another version or input).
TEST(MergePartsTest, RecordsInRangeAndPartsThatAgree) {
    const std::string head = "# ddinfer-robust 1.0.0 --runs 4 p d 0.100000\n";
    const auto read = [](const std::string& text, const std::string& name) {
        std::istringstream in(text);
        return read_partial_table(in, name);
    };
    const auto message = [](const auto& call) -> std::string {
        try {
            call();
        } catch (const Error& e) {
            return e.what();
        }
        return "(none)";
    };
    const Shard one{1, 2, true}, two{2, 2, true};
    EXPECT_EQ(message([&] { read(partial_table(head, one, "f", {{0, "A", "B", "1", 1}, {5, "A", "C", "1", 1}}, 5), "p1"); }),
              "p1:5: record 5 is out of range (the records run from 0 to 4)");
    const PartialTable p1 = read(partial_table(head, one, "f", {{0, "A", "B", "1", 2}, {3, "A", "C", "0", 1}}, 5), "p1");
    const PartialTable other = read(partial_table(head, two, "f", {{0, "A", "B", "1", 1}, {3, "A", "C", "1", 0}}, 5), "p2");
    EXPECT_EQ(message([&] { merge_partial_tables({p1, other}); }), "p2:5: record 3 differs from p1:5 (parts of other inputs or versions?)");
    // Another number of candidates: other inputs.
    const PartialTable wider = read(partial_table(head, two, "f", {{0, "A", "B", "1", 1}}, 6), "p6");
    EXPECT_EQ(message([&] { merge_partial_tables({p1, wider}); }), "p6: not a part of the same run as p1 (other inputs or settings)");
    // Parts of ddinfer-null all list the same tested pairs: one emptied and
    // made whole again with its own end line is refused.
    const std::string null_head = "# ddinfer-null 1.0.0 --model 2 --runs 4 p d 0.100000\n";
    const PartialTable n1 = read(partial_table(null_head, one, "f", {{0, "A", "B", "1", 1}, {3, "A", "C", "1", 0}}, 5), "n1");
    const PartialTable emptied = read(partial_table(null_head, two, "f", {}, 5), "n2");
    EXPECT_EQ(message([&] { merge_partial_tables({n1, emptied}); }),
              "n2: lists 0 tested pairs, n1 2; every part of ddinfer-null lists the same ones (a part emptied or cut?)");
    const PartialTable other_pairs =
        read(partial_table(null_head, two, "f", {{0, "A", "B", "1", 1}, {4, "B", "B", "1", 0}}, 5), "n3");
    EXPECT_EQ(message([&] { merge_partial_tables({n1, other_pairs}); }),
              "n3: lists 2 tested pairs, n1 2; every part of ddinfer-null lists the same ones (a part emptied or cut?)");
    // A row added before the end line: the count says so first.
    std::string added = partial_table(head, one, "f", {{0, "A", "B", "1", 1}}, 5);
    added.insert(added.rfind("# end"), "3\tA\tC\t1\t1\n");
    EXPECT_EQ(message([&] { read(added, "added"); }),
              "added:6: the end line counts 1 rows, the part holds 2: lines were lost or added");
    // A part whose checksum covers its rows alone, as an earlier version wrote.
    std::string text = partial_table(head, one, "f", {{0, "A", "B", "1", 1}}, 5);
    std::uint64_t h = 1469598103934665603ULL;
    for (const char c : std::string("0\tA\tB\t1\t1\n")) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char sum[20];
    std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(h));
    text = text.substr(0, text.rfind("checksum ") + 9) + sum + "\n";
    EXPECT_EQ(message([&] { read(text, "old"); }),
              "old:5: the checksum covers the rows alone, not the first two lines: a part of an earlier version; run its "
              "shard again");
    const PartialTable p2 = read(partial_table(head, two, "f", {{3, "A", "C", "0", 2}, {4, "B", "B", "0", 1}}, 5), "p2");
    EXPECT_EQ(merge_partial_tables({p2, p1}),
              head + "domain_a\tdomain_b\tclassic\tfreq\n" + with_end("A\tC\t0\t0.75\nA\tB\t1\t0.5\nB\tB\t0\t0.25\n"));
}

}  // namespace
}  // namespace ddinfer::test
