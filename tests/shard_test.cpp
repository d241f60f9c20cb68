// Companion runs split into shards and merged back: the merged table is
// the unsharded one byte for byte, and parts that do not belong together
// are refused with the file named and nothing written.
#include <gtest/gtest.h>

#include "cli/cli.h"
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
    EXPECT_THROW(parse_shard("1/8", 7), UsageError);
    EXPECT_THROW(parse_shard("1-3", 7), UsageError);
    write_file(path("a1"), "ab");
    write_file(path("b1"), "c");
    write_file(path("a2"), "a");
    write_file(path("b2"), "bc");
    EXPECT_NE(input_fingerprint({path("a1").string(), path("b1").string()}),
              input_fingerprint({path("a2").string(), path("b2").string()}));
    EXPECT_EQ(input_fingerprint({path("a1").string(), path("b1").string()}).size(), 16u);
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
    // A part cut short.
    const std::string text = read_file(path(part + "2-of-3.tsv"));
    write_file(path("cut.tsv"), text.substr(0, text.size() - 6));
    const RunResult cut = merge({part + "1-of-3.tsv", "cut.tsv", part + "3-of-3.tsv"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "ddinfer-merge: cut.tsv: no \"# end\" line: the part was cut short, or is no partial table of --shard\n");
    EXPECT_FALSE(fs::exists(path("out.tsv")));
    EXPECT_EQ(run({"ddinfer-robust", "--runs", "6", "--shard", "4/3", "pairs.txt", "domains.txt", "0.2"}).status, 2);
    EXPECT_EQ(run({"ddinfer-robust", "--runs", "2", "--shard", "1/3", "pairs.txt", "domains.txt", "0.2"}).status, 2);
    // Without -o the table goes under the unsharded name beside the first part.
    ASSERT_EQ(merge({}).status, 2);
    const RunResult named = run({"ddinfer-merge", part + "3-of-3.tsv", part + "1-of-3.tsv", part + "2-of-3.tsv"});
    EXPECT_EQ(named.err, "ddinfer-merge: wrote pairs.txt.0.200000.robust.tsv from 3 parts\n");
}

}  // namespace
}  // namespace ddinfer::test
