#include "cli/cli.h"

#include <gtest/gtest.h>

#include "solve/solver.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

ParsedArgs parse(std::vector<std::string> words) {
    words.insert(words.begin(), "ddinfer");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return parse_args(static_cast<int>(argv.size()), argv.data(), {{"solver", true}, {"keep", false, 'k'}});
}

std::string mistake(const std::vector<std::string>& words) {
    try {
        parse(words);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "no mistake";
}

class CliTest : public TempDirTest {};

TEST_F(CliTest, OptionsStandAnywhereAndSingleDashWordsAreArguments) {
    // A single-dash word is an argument when it is a number or an existing
    // file, else an unknown option, named with the list of options.
    const fs::path was = fs::current_path();
    fs::current_path(dir);
    write_file(path("-p.txt"), "");
    write_file(path("-k.txt"), "");
    ParsedArgs a = parse({"-p.txt", "--solver", "clp", "-0.1", "-k", "-", "-.5", "-k.txt"});
    EXPECT_EQ(mistake({"x", "-o", "out"}),
              "unknown option -o (the options: --solver, -k/--keep, -h/--help, -V/--version, -q/--quiet)");
    EXPECT_EQ(mistake({"-j2", "x"}).substr(0, 21), "unknown option -j2 (t");
    fs::current_path(was);
    EXPECT_EQ(a.positional, (std::vector<std::string>{"-p.txt", "-0.1", "-", "-.5", "-k.txt"}));
    EXPECT_EQ(a.get("solver", ""), "clp");
    EXPECT_TRUE(a.has("keep"));
    a = parse({"x", "--solver=glpsol", "--", "--keep", "-h"});
    EXPECT_EQ(a.positional, (std::vector<std::string>{"x", "--keep", "-h"}));
    EXPECT_FALSE(a.has("keep"));
    EXPECT_TRUE(parse({"a", "-h"}).has("help"));
    EXPECT_TRUE(parse({"-V"}).has("version"));
    EXPECT_TRUE(parse({"x", "-q"}).has("quiet"));
    EXPECT_EQ(mistake({"--frobnicate", "x"}), "unknown option --frobnicate");
    EXPECT_EQ(mistake({"x", "--solver"}), "option --solver needs a value");
    EXPECT_EQ(mistake({"--keep=yes"}), "option --keep takes no value");
    // Names are whole: no prefix of a long option, no short option with
    // more letters after it (unless that word names a file).
    EXPECT_EQ(mistake({"--sol", "clp", "x"}), "unknown option --sol");
    EXPECT_EQ(mistake({"x", "-kx"}).substr(0, 23), "unknown option -kx (the");
    // Repeating an option is fine; two values for it are a mistake.
    EXPECT_TRUE(parse({"-k", "--keep", "--solver", "clp", "--solver=clp"}).has("keep"));
    EXPECT_EQ(mistake({"--solver", "clp", "x", "--solver", "glpsol"}),
              "option --solver is given twice, as \"clp\" and as \"glpsol\"");
}

// Standard input serves one input, not two.
TEST(CliCommandTest, StandardInputServesOneInputOnly) {
    const CommandLine command{"ddinfer-x", "usage: ddinfer-x PAIRS DOMAINS\n", "", {}, 2};
    auto call = [&](std::vector<std::string> words) {
        words.insert(words.begin(), "ddinfer-x");
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        ParsedArgs args;
        std::ostringstream out, err;
        const int status = parse_command_line(command, static_cast<int>(argv.size()), argv.data(), args, out, err);
        return std::to_string(status) + " " + err.str();
    };
    EXPECT_EQ(call({"-", "-"}),
              "2 ddinfer-x: only one input can be read from standard input; usage: ddinfer-x PAIRS DOMAINS\n");
    EXPECT_EQ(call({"-", "domains.txt"}), "-1 ");
}

// Quiet, only whole lines that warn pass, however they were flushed;
// otherwise everything passes as soon as it is flushed.
TEST(InfoStreamTest, QuietKeepsWarningsAlone) {
    std::ostringstream quiet_err, loud_err;
    {
        InfoStream quiet(quiet_err, true), loud(loud_err, false);
        for (InfoStream* info : {&quiet, &loud}) *info << "read 3 lines\n" << "ddinfer: warn" << std::flush;
        EXPECT_EQ(quiet_err.str(), "");
        EXPECT_EQ(loud_err.str(), "read 3 lines\nddinfer: warn");
        for (InfoStream* info : {&quiet, &loud}) *info << "ing: odd\n" << "wrote x\n";
        EXPECT_EQ(quiet_err.str(), "ddinfer: warning: odd\n");
        EXPECT_EQ(loud_err.str(), "read 3 lines\nddinfer: warning: odd\nwrote x\n");
        quiet << "a last warning, unended";
    }
    EXPECT_EQ(quiet_err.str(), "ddinfer: warning: odd\na last warning, unended\n");
}

TEST(CliNumberTest, WholeNumbersWithinTheirBounds) {
    const ParsedArgs a = parse({"--solver", "5"}), b = parse({"--solver", "6"}), c = parse({"--solver", "5x"});
    EXPECT_EQ(a.get_long("solver", 1, 0, 5), 5);
    EXPECT_EQ(a.get_long("seed", 7, 0, 5), 7);
    EXPECT_THROW(b.get_long("solver", 1, 0, 5), UsageError);
    try {
        c.get_long("solver", 1, 0, 5);
        ADD_FAILURE() << "5x read as a number";
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(), "--solver takes a whole number from 0 to 5, not \"5x\"");
    }
}

TEST(CliRatioTest, RatiosAreWholeFiniteNumbersOfAtLeastZero) {
    EXPECT_EQ(ratio_text(parse_ratio_argument("0.1")), "0.100000");
    EXPECT_EQ(ratio_text(parse_ratio_argument("1000000.1")), "1000000.125000");  // single precision
    EXPECT_EQ(ratio_text(parse_ratio_argument(" 0x1p-2\t")), "0.250000");
    EXPECT_EQ(ratio_text(parse_ratio_argument("-0")), "0.000000");
    for (const std::string bad : {"abc", "0.1x", "", " ", "nan", "inf", "1e39", "0,1"}) {
        try {
            parse_ratio_argument(bad);
            ADD_FAILURE() << bad;
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()), "RATIO must be a number such as 0.1, not \"" + bad + "\"");
        }
    }
    EXPECT_THROW(parse_ratio_argument("-0.5"), UsageError);
    EXPECT_EQ(ratio_warning(0.999f), "");
    EXPECT_NE(ratio_warning(1.0f), "");
}

TEST(RunFilesTest, ClassicNamesBesideTheListAndPrivateOnesBesideThem) {
    const RunFiles files = run_files("data/pairs.txt", parse_ratio_argument("0.1"));
    EXPECT_EQ(files.lp, "data/pairs.txt.0.100000.lp");
    EXPECT_EQ(files.out, "data/pairs.txt.0.100000.out");
    EXPECT_EQ(files.dint, "data/pairs.txt.0.100000.dint");
    EXPECT_EQ(files.mps, "data/pairs.txt.0.100000.mps");
    const std::string stem = (fs::temp_directory_path() / "ddinfer-cli-test.txt").string();
    const RunFiles classic = run_files(stem, 0.5f);
    const RunFiles one = private_run_files(classic), two = private_run_files(classic);
    EXPECT_NE(one.lp, two.lp);
    for (const RunFiles& mine : {one, two}) {
        const std::string base = mine.lp.substr(0, mine.lp.size() - 3);
        EXPECT_EQ(base.substr(0, stem.size() + 14), stem + ".0.500000.tmp-");
        EXPECT_EQ(mine.out, base + ".out");
        EXPECT_EQ(mine.mps, base + ".mps");
        EXPECT_TRUE(fs::exists(mine.lp));  // claimed
        fs::remove(mine.lp);
    }
}

}  // namespace
}  // namespace ddinfer::test
