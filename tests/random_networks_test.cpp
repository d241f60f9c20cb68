// The slow cases, on random networks of thousands of pairs: their own
// executable and ctest label ("random"), which the full run (scripts/test,
// CI) includes and `ctest -LE random` leaves out.
#include <gtest/gtest.h>

#include <random>

#include "test_util.h"

namespace ddinfer::test {
namespace {

class RandomNetworksTest : public TempDirTest {
protected:
    RunResult run(const std::vector<std::string>& words) { return run_in(dir, words); }
};

// Networks of thousands of pairs, where the simplex leaves rows short of 1
// and variables below their bounds by hairs of about 1e-6 after scaling:
// clp solves every one that glpsol solves, to the same optimum, and its
// face samples pass the check too. Each seed here was once refused.
TEST_F(RandomNetworksTest, ClpNeverRefusesWhatGlpsolSolvesOnLargeRandomNetworks) {
    for (const auto& [seed, ratio] : {std::pair{4u, "0.458"}, {44u, "0.458"}}) {
        std::mt19937 draw(seed);
        auto pick = [&](int n) { return static_cast<int>(draw() % static_cast<unsigned>(n)); };
        const int proteins = 800 + pick(2200), pairs = 2000 + pick(5000), domains = 50 + pick(450);
        std::string pairs_text = std::to_string(pairs) + "\n";
        for (int k = 0; k < pairs; ++k) {
            const int a = pick(proteins), b = pick(100) < 3 ? a : pick(proteins);
            pairs_text += numbered("P", a, " ") + numbered("P", b, "\n");
        }
        std::vector<std::string> members(static_cast<std::size_t>(domains));
        for (int p = 0; p < proteins; ++p) {
            const int carried = std::vector<int>{0, 1, 1, 1, 2, 2, 3, 4}[static_cast<std::size_t>(pick(8))];
            for (int c = 0; c < carried; ++c) members[static_cast<std::size_t>(pick(domains))] += numbered(" P", p, "");
        }
        std::string domains_text = std::to_string(domains) + "\n";
        for (int d = 0; d < domains; ++d) domains_text += numbered("D", d, ":") + members[static_cast<std::size_t>(d)] + "\n";
        write_file(path("big.txt"), pairs_text);
        write_file(path("bigd.txt"), domains_text);
        {
            const RunResult glp = run({bin("ddinfer"), "big.txt", "bigd.txt", ratio});
            const RunResult clp = run({bin("ddinfer"), "--solver", "clp", "big.txt", "bigd.txt", ratio});
            ASSERT_EQ(glp.status, 0) << glp.err;
            ASSERT_EQ(clp.status, 0) << seed << " " << ratio << ": " << clp.err;
            auto optimum = [](const std::string& err) { return std::stod(err.substr(err.rfind("optimum ") + 8)); };
            EXPECT_NEAR(optimum(clp.err), optimum(glp.err), 1e-4 * std::max(1.0, optimum(glp.err))) << seed;
            const RunResult robust =
                run_in(dir, {bin("ddinfer-robust"), "--solver", "clp", "--runs", "3", "big.txt", "bigd.txt", ratio});
            EXPECT_EQ(robust.status, 0) << seed << " " << ratio << ": " << robust.err;
        }
    }
}

}  // namespace
}  // namespace ddinfer::test
