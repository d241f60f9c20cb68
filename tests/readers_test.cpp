#include "core/readers.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "core/lines.h"
#include "evidence/evaluate.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

std::vector<std::pair<int, int>> records(const inter_table& pint) {
    std::vector<std::pair<int, int>> pairs;
    for (int k = 0; k < pint.n; ++k) pairs.emplace_back(pint.list[k].a, pint.list[k].b);
    return pairs;
}

std::vector<std::string> protein_names(const protdom& network) {
    std::vector<std::string> names;
    for (int p = 0; p < network.nprot; ++p) names.push_back(network.prot[p].name);
    return names;
}

using Pairs = std::vector<std::pair<int, int>>;
using Names = std::vector<std::string>;
using Ints = std::vector<int>;

TEST(ReadpintTest, NumbersProteinsByFirstAppearanceAndIgnoresExtraColumns) {
    const Net net = make_net("3\nP Q\nQ R\nP R 0.75\n", "0\n", false);
    EXPECT_EQ(records(net.pint), (Pairs{{0, 1}, {1, 2}, {0, 2}}));
    EXPECT_EQ(protein_names(net.network), (Names{"P", "Q", "R"}));
    EXPECT_EQ(net.pint.nnode, 3);
    EXPECT_EQ(net.pint.list[2].name_a, "P");
    EXPECT_EQ(net.pint.list[2].name_b, "R");
    EXPECT_EQ(net.pint.list[2].value, 1.0);
    EXPECT_EQ(net.out, "Interacting protein pairs: 3\nTotal proteins: 3\nTotal domains: 0\n");
    EXPECT_EQ(net.err, "");
}

// Names of up to seven bytes are kept in the record itself, longer ones
// apart: both, and the step between them, must survive every copy the null
// models make of the table.
TEST(ReadpintTest, NamesAsWrittenSurviveCopiesAndMovesAtEveryLength) {
    const std::string eight = "ABCDEFGH", long_name(300, 'x');
    const Net net = make_net("3\nABCDEFG " + eight + "\nQ " + long_name + "\n" + eight + " ABCDEFG\n", "0\n", false);
    std::vector<std::pair<std::string, std::string>> expected{
        {"ABCDEFG", eight}, {"Q", long_name}, {eight, "ABCDEFG"}};
    auto names = [](const inter_table& t) {
        std::vector<std::pair<std::string, std::string>> v;
        for (const inter& r : t.list) v.emplace_back(r.name_a.view(), r.name_b.view());
        return v;
    };
    EXPECT_EQ(names(net.pint), expected);
    inter_table copy = net.pint;
    copy.list[0] = copy.list[1];  // a long name over a short one
    copy.list[1] = copy.list[2];  // and back
    copy.list[2] = copy.list[2];
    expected[0] = expected[1];
    expected[1] = expected[2];
    EXPECT_EQ(names(copy), expected);
    inter moved = std::move(copy.list[0]);
    EXPECT_EQ(moved.name_b, long_name);
    EXPECT_TRUE(copy.list[0].name_b.empty());
    EXPECT_EQ(names(net.pint)[1].second, long_name);  // the copies were deep
}

TEST(ReadpintTest, KeepsRepeatsBothOrientationsAndSelfPairs) {
    const Net net = make_net("4\nP P\nP Q\nQ P\nP Q\n", "0\n", false);
    EXPECT_EQ(records(net.pint), (Pairs{{0, 0}, {0, 1}, {1, 0}, {0, 1}}));
    EXPECT_EQ(net.network.nprot, 2);
}

TEST(ReadpintTest, AnySeparatorsAndLineEndsReadAlike) {
    const Net plain = make_net("3\nP Q\nabc ABC\nQ abc\n", "0\n", false);
    const Net messy = make_net("3 pairs follow\r\n \tP\t  Q\r\nabc \tABC\r\n\r\nQ abc", "0\n", false);
    EXPECT_EQ(records(messy.pint), records(plain.pint));
    EXPECT_EQ(protein_names(messy.network), (Names{"P", "Q", "abc", "ABC"}));
    EXPECT_EQ(messy.err, "");  // the blank line is not a pair, and not counted
}

TEST(ReadpintTest, CountsTheLinesReadAndWarnsWhenTheDeclaredCountDiffers) {
    const Net fewer = make_net("5\nP Q\nQ R\n", "0\n", false);
    EXPECT_EQ(fewer.pint.n, 2);
    EXPECT_EQ(fewer.err, "pairs.txt: warning: line 1 declares 5 pairs, but the file holds 2\n");
    const Net more = make_net("1\nP Q\nQ R\n", "0\n", false);
    EXPECT_EQ(more.pint.n, 2);
    EXPECT_EQ(more.err, "pairs.txt: warning: line 1 declares 1 pairs, but the file holds 2\n");
    const Net negative = make_net(" -2 pairs\nP Q\n", "0\n", false);
    EXPECT_EQ(negative.err, "pairs.txt: warning: line 1 declares -2 pairs, but the file holds 1\n");
    EXPECT_EQ(more.out, "Interacting protein pairs: 2\nTotal proteins: 3\nTotal domains: 0\n");
}

TEST(ReadpintTest, RejectsAMissingCountLineAndALineWithOneName) {
    try {
        make_net("P Q\nQ R\n", "0\n", false);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "pairs.txt:1: expected the number of protein pairs on the first line, found \"P Q\"");
    }
    try {
        make_net("3\nP Q\nR\nQ R\n", "0\n", false);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "pairs.txt:3: expected two protein names, found one (\"R\")");
    }
    EXPECT_THROW(make_net("", "0\n", false), Error);
    // Quoted input is cut at 200 bytes and shows terminal escapes and
    // other bytes outside printable ASCII as \xNN.
    try {
        make_net("\x1b[31m\xff" + std::string(400, 'x') + "\n", "0\n", false);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "pairs.txt:1: expected the number of protein pairs on the first line, found "
                                         "\"\\x1b[31m\\xff" + std::string(194, 'x') + "...\"");
    }
}

TEST(CreatProtdomTest, KeepsDomainsWithKnownMembersAndLinksBothWays) {
    const Net net = make_net("3\nP Q\nQ R\nP R\n", "3\nD1: P Q\nD2: X\nD3: Q R Q\n", false);
    ASSERT_EQ(net.network.ndom, 2);
    EXPECT_EQ(net.network.dom[0].name, "D1");
    EXPECT_EQ(net.network.dom[0].links, (Ints{0, 1}));
    EXPECT_EQ(net.network.dom[1].name, "D3");
    EXPECT_EQ(net.network.dom[1].n, 3);
    EXPECT_EQ(net.network.dom[1].links, (Ints{1, 2, 1}));
    EXPECT_EQ(net.network.dom[1].link_names, (Names{"Q", "R", "Q"}));
    EXPECT_EQ(net.network.prot[0].links, (Ints{0}));
    EXPECT_EQ(net.network.prot[1].links, (Ints{0, 1, 1}));
    EXPECT_EQ(net.network.prot[1].n, 3);
    EXPECT_EQ(net.network.prot[2].links, (Ints{1}));
    EXPECT_EQ(net.out, "Interacting protein pairs: 3\nTotal proteins: 3\nTotal domains: 2\n");
}

TEST(CreatProtdomTest, DomainNamesAreTakenVerbatimBetweenLeadingColonsAndTheNextColon) {
    const Net net =
        make_net("1\nP Q\n", "7\nD4 : P\n  D6:Q\n::D5:P\nD7 P Q\nD8:\tP:x \t Q\r\nD4 : Q\nD9: nobody\n", false);
    Names names;
    for (const node& d : net.network.dom) names.push_back(d.name);
    EXPECT_EQ(names, (Names{"D4 ", "  D6", "D5", "D8", "D4 "}));
    EXPECT_EQ(net.network.dom[3].link_names, (Names{"Q"}));  // "P:x" is no protein
    EXPECT_EQ(net.network.prot[0].links, (Ints{0, 2}));
    EXPECT_EQ(net.network.prot[1].links, (Ints{1, 3, 4}));
}

TEST(CreatProtdomTest, MoreLinesThanDeclaredAreReadWithAWarningFewerSilently) {
    const Net more = make_net("1\nP Q\n", "1\nA: P\nB: Q\n", false);
    EXPECT_EQ(more.network.ndom, 2);
    EXPECT_EQ(more.err, "domains.txt: warning: line 1 declares 1 domain lines, but the file holds 2\n");
    const Net fewer = make_net("1\nP Q\n", "9\nA: P\n", false);
    EXPECT_EQ(fewer.network.ndom, 1);
    EXPECT_EQ(fewer.err, "");
    const Net none = make_net("1\nP Q\n", "2\nA: X\nB: Y\n", false);
    EXPECT_EQ(none.network.ndom, 0);
    EXPECT_EQ(none.network.prot[0].n, 0);
}

TEST(CreatProtdomTest, NothingHasFixedRoom) {
    // 60 domains on one protein, 1500 members on one line, a 20,000-byte line.
    std::string pairs = "750\n", domains = "61\n", members;
    for (int i = 0; i < 750; ++i) pairs += numbered("p", 2 * i, numbered(" p", 2 * i + 1, "\n"));
    for (int i = 0; i < 60; ++i) domains += numbered("D", i, ": p0\n");
    for (int i = 0; i < 1500; ++i) members += numbered(" p", i, std::string(10, ' '));
    domains += "BIG:" + members + "\n";
    ASSERT_GT(members.size(), 20000u);
    const Net net = make_net(pairs, domains, false);
    EXPECT_EQ(net.network.prot[0].n, 61);
    EXPECT_EQ(net.network.dom[60].n, 1500);
    EXPECT_EQ(net.network.prot[1499].links, (Ints{60}));
}

class ReaddataTest : public TempDirTest {};

TEST_F(ReaddataTest, NamesAFileThatCannotBeOpened) {
    protdom network;
    inter_table pint;
    std::ostringstream out, err;
    write_file(path("pairs.txt"), "1\nP Q\n");
    try {
        readdata(network, pint, path("pairs.txt").string(), path("nope.txt").string(), Streams{out, err});
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), path("nope.txt").string() + ": cannot open: No such file or directory");
    }
}

// A gzip file cut anywhere after its header, or with its checksum
// damaged, is an error naming the file, never a shorter network; a plain
// file with fewer lines than declared is one where the counts bind.
TEST_F(ReaddataTest, CutOrDamagedFilesAreErrors) {
    std::string pairs = "300\n";
    for (int k = 0; k < 300; ++k) pairs += numbered("P", k, " ") + numbered("Q", k % 7, "\n");
    write_file(path("pairs.txt"), pairs);
    write_file(path("domains.txt"), "2\nD0: P1 Q1\nD1: P2 Q2\n");
    ASSERT_EQ(run_in(dir, {"gzip", "-k", "-n", "pairs.txt"}).status, 0);
    const std::string gz = read_file(path("pairs.txt.gz"));
    auto read = [&](const std::string& name, bool counts_bind) {
        protdom network;
        inter_table pint;
        std::ostringstream out, err;
        try {
            readdata(network, pint, path(name).string(), path("domains.txt").string(), Streams{out, err}, counts_bind);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return "read " + std::to_string(pint.n) + " pairs";
    };
    EXPECT_EQ(read("pairs.txt.gz", true), "read 300 pairs");
    for (const std::size_t cut : {std::size_t{30}, gz.size() / 2, gz.size() - 8, gz.size() - 1}) {
        write_file(path("cut.gz"), gz.substr(0, cut));
        EXPECT_EQ(read("cut.gz", false),
                  path("cut.gz").string() + ": cannot read: the compressed data ends early (a cut or partial download?)")
            << cut;
    }
    std::string damaged = gz;
    damaged[damaged.size() - 6] ^= 0x5a;  // the CRC of the data
    write_file(path("damaged.gz"), damaged);
    EXPECT_EQ(read("damaged.gz", false),
              path("damaged.gz").string() + ": cannot read: the compressed data is damaged (incorrect data check)");
    write_file(path("short.txt"), "301" + pairs.substr(3));
    EXPECT_EQ(read("short.txt", false), "read 300 pairs");
    EXPECT_EQ(read("short.txt", true), path("short.txt").string() + ": line 1 declares 301 pairs, but the file holds 300 (cut short?)");
    write_file(path("domains.txt"), "3\nD0: P1 Q1\nD1: P2 Q2\n");
    EXPECT_EQ(read("pairs.txt", false), "read 300 pairs");
    EXPECT_EQ(read("pairs.txt", true),
              path("domains.txt").string() + ": line 1 declares 3 domain lines, but the file holds 2 (cut short?)");
    // One endless line: an error at its start, never held whole. A pair
    // line may be up to 1 MiB, a domain's line of members up to 64 MiB.
    write_file(path("endless.txt"), "3\nP0 Q0\nP1 " + std::string(std::size_t{1} << 20, 'x') + "\nP2 Q2\n");
    EXPECT_EQ(read("endless.txt", false), path("endless.txt").string() + ":3: a line of over 1 MiB: not a text file of the kind expected");
    write_file(path("endless.txt"), "2\nP0 Q0\nP1 " + std::string((std::size_t{1} << 20) - 3, 'x') + "\n");
    EXPECT_EQ(read("endless.txt", false), "read 2 pairs");
    write_file(path("domains.txt"), "2\nD0: P1 Q1 " + std::string(std::size_t{3} << 20, ' ') + "\nD1: " + std::string(std::size_t{65} << 20, 'x'));
    EXPECT_EQ(read("pairs.txt", false), path("domains.txt").string() + ":3: a line of over 64 MiB: not a text file of the kind expected");
}

// The check's lines on standard error after reading the two texts, or the
// error that stops the run.
std::string checked(const std::string& pairs, const std::string& domains) {
    Net net = make_net(pairs, "0\n", false);
    std::istringstream in(domains);
    std::ostringstream out, err;
    net.network.ndom = read_count_line(in, "d.txt", "domain lines");
    DomainFileNotes notes;
    creat_protdom(net.network, in, "d.txt", Streams{out, err}, &notes);
    try {
        check_inputs(net.network, net.pint, notes, "p.txt", "d.txt", Streams{out, err});
    } catch (const Error& e) {
        return std::string("error: ") + e.what();
    }
    return err.str();
}

TEST(CheckInputsTest, NamesThatNeverMatchStopTheRun) {
    EXPECT_EQ(checked("2\nuniprotkb:P1 uniprotkb:P2\nuniprotkb:P2 uniprotkb:P3\n", "1\nPF1: P1 P2\n"),
              "error: no protein of p.txt is named in d.txt: p.txt has \"uniprotkb:P1\", \"uniprotkb:P2\", d.txt has "
              "\"P1\", \"P2\"; are they the same kind of name?");
    // The two files swapped: no line of pairs names a protein of the other.
    EXPECT_EQ(checked("1\nPF1: P1 P2\n", "1\nP1 P2\n"),
              "error: no protein of p.txt is named in d.txt: p.txt has \"PF1:\", \"P1\", d.txt has no names; are they "
              "the same kind of name?");
}

TEST(CheckInputsTest, SummaryAndWarnings) {
    // P1-2 is P1 with an isoform suffix; B A repeats A B; E carries none.
    EXPECT_EQ(checked("4\nP1-2 P2\nA B\nB A\nP2 E\n", "1\nPF1: P1 P2 A B\n"),
              "input check: 3 of 5 proteins carry a domain; 2 of 4 pairs are modelled; repeated pairs (either order): 1\n"
              "warning: names look decorated: isoform suffixes (-N) in p.txt (\"P1-2\"), none in d.txt\n");
    // 2 of 5 carry a domain: fewer than half.
    EXPECT_EQ(checked("3\nP1 P2\nP3 P4\nP5 P3\n", "1\nPF1: P1.3 P2 P5\n"),
              "input check: 2 of 5 proteins carry a domain; 0 of 3 pairs are modelled; repeated pairs (either order): 0\n"
              "warning: fewer than half of the proteins of p.txt carry a domain of d.txt (none for \"P1\", \"P3\")\n"
              "warning: names look decorated: version suffixes (.N) in d.txt (\"P1.3\"), none in p.txt\n");
    // Suffixes on both sides are no decoration of one.
    EXPECT_EQ(checked("2\nP1-2 P2\nP3 P4-1\n", "1\nPF1: P1-2 P2 P3 P4-1\n"),
              "input check: 4 of 4 proteins carry a domain; 2 of 2 pairs are modelled; repeated pairs (either order): 0\n");
    // One membership a line makes a domain a line; odd names.
    EXPECT_EQ(checked("1\nP1 P2\n", "4\nPF1: P1\nPF1: P2\nPF2 : P1\nPF2: P2\n"),
              "input check: 2 of 2 proteins carry a domain; 1 of 1 pairs are modelled; repeated pairs (either order): 0\n"
              "warning: d.txt: domain names that stand on more than one line: 1 (the first, \"PF1\", on lines 2 and 3); "
              "each line makes a domain of its own\n"
              "warning: d.txt: the domain name \"PF2 \" ends in a space\n");
    EXPECT_EQ(checked("1\nP1 P2\n", "1\nPF1,PF2: P1 P2\n"),
              "input check: 2 of 2 proteins carry a domain; 1 of 1 pairs are modelled; repeated pairs (either order): 0\n"
              "warning: d.txt: the domain name \"PF1,PF2\" holds a comma\n");
}

}  // namespace
}  // namespace ddinfer::test

namespace ddinfer::test {
namespace {

// The line bound, exactly: a line of 1 MiB is read, one byte more is
// refused with its line number, also where a chunk of the reader ends on
// the line's last byte; and the same through the bounded getline that the
// gold lists, names and tables go through.
TEST(LineBoundTest, OneMebibyteIsReadOneByteMoreIsNot) {
    const std::size_t bound = std::size_t{1} << 20;
    for (const std::size_t chunk : {bound, std::size_t{1} << 18}) {
        std::istringstream in(std::string(bound, 'x') + "\ny\n");
        Lines lines(in, "t.txt", chunk);
        std::string_view line;
        ASSERT_TRUE(lines.next(line));
        EXPECT_EQ(line.size(), bound);
        ASSERT_TRUE(lines.next(line));
        EXPECT_EQ(line, "y");
        std::istringstream over("a\n" + std::string(bound + 1, 'x') + "\n");
        Lines too_long(over, "t.txt", chunk);
        ASSERT_TRUE(too_long.next(line));
        try {
            too_long.next(line);
            ADD_FAILURE() << "a line of 1 MiB + 1 was read";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "t.txt:2: a line of over 1 MiB: not a text file of the kind expected");
        }
    }
    std::istringstream in("a\n" + std::string(bound, 'x') + "\n" + std::string(bound + 1, 'x') + "\n");
    std::string line;
    ASSERT_TRUE(getline_bounded(in, line, "g.txt", 1));
    ASSERT_TRUE(getline_bounded(in, line, "g.txt", 2));
    EXPECT_EQ(line.size(), bound);
    try {
        getline_bounded(in, line, "g.txt", 3);
        ADD_FAILURE() << "a line of 1 MiB + 1 was read";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "g.txt:3: a line of over 1 MiB: not a text file of the kind expected");
    }
    std::istringstream gold("D1 D2\n" + std::string(bound + 1, 'x') + "\n");
    try {
        read_gold(gold, "gold.tsv");
        ADD_FAILURE() << "a gold list with a line of 1 MiB + 1 was read";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "gold.tsv:2: a line of over 1 MiB: not a text file of the kind expected");
    }
}

}  // namespace
}  // namespace ddinfer::test
