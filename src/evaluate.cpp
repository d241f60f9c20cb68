#include "evaluate.h"

#include <cstdio>
#include <istream>

#include "error.h"

namespace ddinfer {

NamePairs read_gold(std::istream& in, const std::string& file) {
    NamePairs gold;
    std::string line;
    long line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::vector<std::string> fields;
        for (std::size_t pos = first; pos != std::string::npos;) {
            const std::size_t end = line.find_first_of(" \t", pos);
            fields.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
            pos = line.find_first_not_of(" \t", end == std::string::npos ? line.size() : end);
        }
        if (fields.size() != 2) {
            throw input_error(file, line_no,
                              "expected two domain names, found " + std::to_string(fields.size()));
        }
        gold.add(fields[0], fields[1]);
    }
    return gold;
}

std::vector<std::pair<std::string, std::string>> read_inferred(std::istream& in, const std::string& file,
                                                               const NamePairs& candidates) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string line;
    long line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) {
            throw input_error(file, line_no, "expected two domain names separated by one tab");
        }
        std::string a = line.substr(0, tab), b = line.substr(tab + 1);
        if (!candidates.contains(a, b)) {
            throw input_error(file, line_no,
                              "\"" + a + "\" with \"" + b + "\" is no candidate pair of these inputs");
        }
        pairs.emplace_back(std::move(a), std::move(b));
    }
    return pairs;
}

NamePairs candidate_names(const protdom& network, const inter_table& dint) {
    NamePairs names;
    for (int r = 0; r < dint.n; ++r) names.add(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
    return names;
}

Share share(const std::vector<std::pair<std::string, std::string>>& pairs, const NamePairs& gold) {
    Share s;
    NamePairs seen;
    for (const auto& [a, b] : pairs) {
        if (!seen.add(a, b)) continue;
        ++s.pairs;
        s.in_gold += gold.contains(a, b);
    }
    return s;
}

std::string format_evaluation(const Share& candidates, const Share& inferred) {
    char text[512];
    const double recall =
        candidates.in_gold == 0 ? 0.0 : static_cast<double>(inferred.in_gold) / static_cast<double>(candidates.in_gold);
    const double enrichment = candidates.rate() == 0.0 ? 0.0 : inferred.rate() / candidates.rate();
    std::snprintf(text, sizeof text,
                  "                pairs  in gold  share\n"
                  "candidates  %9zu %8zu  %5.1f%%  (base rate)\n"
                  "inferred    %9zu %8zu  %5.1f%%  (precision)\n"
                  "recall      %5.1f%% of the gold pairs among the candidates\n"
                  "enrichment  %.2f (precision / base rate)\n",
                  candidates.pairs, candidates.in_gold, 100.0 * candidates.rate(), inferred.pairs, inferred.in_gold,
                  100.0 * inferred.rate(), 100.0 * recall, enrichment);
    return text;
}

}  // namespace ddinfer
