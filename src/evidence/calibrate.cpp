#include "evidence/calibrate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

#include "evidence/evaluate.h"

namespace ddinfer {

std::vector<double> isotonic_fit(const std::vector<double>& y, const std::vector<double>& w, double min_weight) {
    // Blocks of pooled neighbours: their weighted mean, weight and length.
    std::vector<double> mean, weight;
    std::vector<std::size_t> length;
    for (std::size_t i = 0; i < y.size(); ++i) {
        mean.push_back(y[i]);
        weight.push_back(w[i]);
        length.push_back(1);
        while (mean.size() > 1 && mean[mean.size() - 2] > mean.back()) {
            const std::size_t last = mean.size() - 1;
            const double total = weight[last - 1] + weight[last];
            mean[last - 1] = (mean[last - 1] * weight[last - 1] + mean[last] * weight[last]) / total;
            weight[last - 1] = total;
            length[last - 1] += length[last];
            mean.pop_back();
            weight.pop_back();
            length.pop_back();
        }
    }
    // Light blocks pooled with a neighbour, from the top down; pooling two
    // monotone blocks keeps the fit monotone.
    const auto pool = [&](std::size_t into, std::size_t from) {
        const double total = weight[into] + weight[from];
        mean[into] = (mean[into] * weight[into] + mean[from] * weight[from]) / total;
        weight[into] = total;
        length[into] += length[from];
        mean.erase(mean.begin() + static_cast<long>(from));
        weight.erase(weight.begin() + static_cast<long>(from));
        length.erase(length.begin() + static_cast<long>(from));
    };
    for (std::size_t b = mean.size(); b-- > 1;) {
        if (b < mean.size() && weight[b] < min_weight) pool(b - 1, b);
    }
    while (mean.size() > 1 && weight[0] < min_weight) pool(0, 1);
    std::vector<double> fit;
    for (std::size_t b = 0; b < mean.size(); ++b) fit.insert(fit.end(), length[b], mean[b]);
    return fit;
}

double isotonic_predict(const std::vector<double>& x, const std::vector<double>& fit, double score) {
    const auto above = std::upper_bound(x.begin(), x.end(), score);
    return fit[above == x.begin() ? 0 : static_cast<std::size_t>(above - x.begin()) - 1];
}

int domain_half(const std::string& name, std::uint64_t seed) {
    std::uint64_t h = 1469598103934665603ULL ^ seed;
    for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    // splitmix64's finaliser, so that the lowest bit depends on every byte
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebULL;
    h ^= h >> 31;
    return static_cast<int>(h & 1);
}

namespace {

// A monotone step function of the score, fitted on some pairs.
class StepFit {
public:
    StepFit(std::vector<std::pair<double, double>> points, double min_block) {  // (score, 0 or 1)
        std::sort(points.begin(), points.end());
        std::vector<double> y, w;
        for (std::size_t i = 0; i < points.size();) {  // equal scores pooled first
            std::size_t j = i;
            double hits = 0;
            for (; j < points.size() && points[j].first == points[i].first; ++j) hits += points[j].second;
            x_.push_back(points[i].first);
            y.push_back(hits / static_cast<double>(j - i));
            w.push_back(static_cast<double>(j - i));
            i = j;
        }
        fit_ = isotonic_fit(y, w, min_block);
    }
    bool empty() const { return x_.empty(); }
    double operator()(double score) const { return isotonic_predict(x_, fit_, score); }

private:
    std::vector<double> x_, fit_;
};

}  // namespace

Calibration calibrate(const protdom& network, const inter_table& dint, const std::vector<double>& score,
                      const NamePairs& gold, std::uint64_t seed, double min_block) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(network.ndom));
    for (int d = 0; d < network.ndom; ++d) names.push_back(network.dom[d].name);
    std::vector<std::pair<int, int>> pairs;
    pairs.reserve(static_cast<std::size_t>(dint.n));
    for (int r = 0; r < dint.n; ++r) pairs.emplace_back(dint.list[r].a, dint.list[r].b);
    return calibrate(names, pairs, score, gold, seed, min_block);
}

Calibration calibrate(const std::vector<std::string>& names, const std::vector<std::pair<int, int>>& pairs,
                      const std::vector<double>& score, const NamePairs& gold, std::uint64_t seed, double min_block) {
    const std::size_t n = pairs.size();
    const std::vector<std::pair<int, int>>& pairs_of = pairs;
    std::vector<int> half(names.size());
    for (std::size_t d = 0; d < names.size(); ++d) half[d] = domain_half(names[d], seed);
    std::vector<char> in_gold(n);
    for (std::size_t r = 0; r < n; ++r) in_gold[r] = gold.contains(names[pairs[r].first], names[pairs[r].second]);

    Calibration c;
    c.p_gold.assign(n, std::numeric_limits<double>::quiet_NaN());
    for (const bool homotypic : {true, false}) {
        auto kind = [&](std::size_t r) { return (pairs[r].first == pairs[r].second) == homotypic; };
        std::vector<std::pair<double, double>> points[2];
        for (std::size_t r = 0; r < n; ++r) {
            const int ha = half[pairs[r].first], hb = half[pairs[r].second];
            if (kind(r) && ha == hb) points[ha].emplace_back(score[r], in_gold[r]);
        }
        const StepFit fits[2] = {StepFit(std::move(points[0]), min_block), StepFit(std::move(points[1]), min_block)};
        for (std::size_t r = 0; r < n; ++r) {
            if (!kind(r)) continue;
            const int ha = half[pairs[r].first], hb = half[pairs[r].second];
            if (ha == hb) {
                if (!fits[1 - ha].empty()) c.p_gold[r] = fits[1 - ha](score[r]);
            } else if (!fits[0].empty() && !fits[1].empty()) {
                c.p_gold[r] = (fits[0](score[r]) + fits[1](score[r])) / 2;
            }
        }
    }

    // How the predictions hold up, in bins of the predicted share, for
    // homotypic and heterotypic pairs apart (their maps are fitted apart),
    // with the standard error of each observed share.
    const double edges[] = {0, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0000001};
    c.reliability = "calibration against the gold list (no pair predicted from its own label):\n"
                    "  pairs          predicted      pairs  mean predicted  observed (s.e.)\n";
    for (const bool homotypic : {true, false}) {
        for (std::size_t b = 0; b + 1 < std::size(edges); ++b) {
            std::size_t pairs = 0, hits = 0;
            double sum = 0;
            for (std::size_t r = 0; r < n; ++r) {
                if ((pairs_of[r].first == pairs_of[r].second) != homotypic) continue;
                if (std::isnan(c.p_gold[r]) || c.p_gold[r] < edges[b] || c.p_gold[r] >= edges[b + 1]) continue;
                ++pairs;
                hits += in_gold[r];
                sum += c.p_gold[r];
            }
            if (pairs == 0) continue;
            const double observed = static_cast<double>(hits) / static_cast<double>(pairs);
            char line[200];
            std::snprintf(line, sizeof line, "  %-12s %4.0f-%3.0f%%  %9zu  %13.1f%%  %7.1f%% (%.1f)\n",
                          homotypic ? "homotypic" : "heterotypic", 100 * edges[b], std::min(100.0, 100 * edges[b + 1]),
                          pairs, 100 * sum / static_cast<double>(pairs), 100 * observed,
                          100 * std::sqrt(observed * (1 - observed) / static_cast<double>(pairs)));
            c.reliability += line;
        }
    }
    return c;
}

}  // namespace ddinfer
