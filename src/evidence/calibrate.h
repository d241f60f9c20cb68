// A probability per candidate pair of being in a gold list of known domain
// pairs, fitted from the score without ever using the pair's own label.
// The domains are split into two halves by a seeded hash of their names;
// an isotonic (monotone) fit of gold membership on the score is made among
// the pairs with both domains in one half, separately for homotypic and
// heterotypic pairs, and predicts the pairs within the other half; pairs
// across the halves get the mean of the two fits.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/network.h"

namespace ddinfer {

class NamePairs;

// Pool adjacent violators: the non-decreasing fit of y (in order of
// increasing x, weights w) that is closest in weighted squares. Blocks that
// weigh less than `min_weight` are then pooled with the block below (the
// lowest with the one above): a top block of a few dozen pairs, chosen for
// being high, would claim more than pairs of its score hold.
std::vector<double> isotonic_fit(const std::vector<double>& y, const std::vector<double>& w, double min_weight = 0);

// The fewest pairs a block of the calibration's fit holds.
constexpr double min_calibration_block = 100;

// The fit at `score` of a step function fitted at the increasing scores x:
// the value at the highest x not above it, the lowest below them all.
double isotonic_predict(const std::vector<double>& x, const std::vector<double>& fit, double score);

// Which half a domain falls in: 0 or 1, from a hash of its name and seed.
int domain_half(const std::string& name, std::uint64_t seed);

struct Calibration {
    std::vector<double> p_gold;  // by candidate record; NaN where no fit could be made
    std::string reliability;     // the table of predicted against observed shares
};

Calibration calibrate(const protdom& network, const inter_table& dint, const std::vector<double>& score,
                      const NamePairs& gold, std::uint64_t seed = 1, double min_block = min_calibration_block);

// The same over any list of domain pairs: indices into `names`, one score
// by pair.
Calibration calibrate(const std::vector<std::string>& names, const std::vector<std::pair<int, int>>& pairs,
                      const std::vector<double>& score, const NamePairs& gold, std::uint64_t seed = 1,
                      double min_block = min_calibration_block);

}  // namespace ddinfer
