#include "evidence/explain.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/text_out.h"

namespace ddinfer {

CandidateWalker::CandidateWalker(const protdom& network, const inter_table& dint)
    : network_(network), dint_(dint), stamp_(static_cast<std::size_t>(dint.n), 0) {}

const std::vector<PairCandidate>& CandidateWalker::of(const inter& pair) {
    found_.clear();
    if (++call_ == 0) {  // wrapped: every stamp is stale again
        std::fill(stamp_.begin(), stamp_.end(), 0);
        call_ = 1;
    }
    const node& p = network_.prot[pair.a];
    const node& q = network_.prot[pair.b];
    for (int u = 0; u < p.n; ++u) {
        for (int w = 0; w < q.n; ++w) {
            const int r = dint_.index.get(p.links[u], q.links[w]);
            if (r < 0 || stamp_[r] == call_) continue;
            stamp_[r] = call_;
            found_.push_back({r, p.links[u], q.links[w]});
        }
    }
    return found_;
}

std::vector<int> listed_pairs(const inter_table& pint, const std::vector<char>& proteins) {
    std::vector<int> listed;
    std::vector<char> seen(static_cast<std::size_t>(pint.n), 0);
    for (int k = 0; k < pint.n; ++k) {
        const inter& pair = pint.list[k];
        // The index names a pair's last record: it stands for the pair.
        const int last = pint.index.get(pair.a, pair.b);
        if (last < 0 || seen[last]) continue;
        seen[last] = 1;
        if (!proteins.empty() && !proteins[pair.a] && !proteins[pair.b]) continue;
        listed.push_back(k);
    }
    return listed;
}

namespace {

// The candidates best first: by rank, equal ranks (pairs the table lacks)
// in the order met.
void best_first(std::vector<PairCandidate>& candidates, const CandidateEvidence& evidence) {
    std::stable_sort(candidates.begin(), candidates.end(), [&](const PairCandidate& x, const PairCandidate& y) {
        return evidence.rank[x.record] < evidence.rank[y.record];
    });
}

std::string cell(double value) { return std::isnan(value) ? std::string() : format_g(value); }

std::string rank_cell(double rank) { return std::isinf(rank) ? std::string() : format_g(rank); }

std::string flag_cell(const std::vector<signed char>& flags, int record) {
    return flags.empty() ? std::string() : flags[record] ? "1" : "0";
}

std::string name_of(const ProteinNames* names, const std::string& id) {
    if (names == nullptr) return "";
    const auto it = names->find(id);
    return it == names->end() ? "" : it->second;
}

}  // namespace

bool write_explain_table(std::FILE* file, const std::string& first_line, const protdom& network,
                         const inter_table& pint, const inter_table& dint, const std::vector<int>& pairs,
                         const CandidateEvidence& evidence, const ExplainOptions& options) {
    TextOut out(file);
    out << first_line << explain_header << '\n';
    CandidateWalker walker(network, dint);
    std::vector<PairCandidate> candidates;
    for (const int k : pairs) {
        const inter& pair = pint.list[k];
        const std::string& a = network.prot[pair.a].name;
        const std::string& b = network.prot[pair.b].name;
        const std::string head = a + '\t' + b + '\t' + name_of(options.names, a) + '\t' + name_of(options.names, b) +
                                 '\t';
        candidates = walker.of(pair);
        if (candidates.empty()) {
            const bool none_a = network.prot[pair.a].n == 0, none_b = network.prot[pair.b].n == 0;
            out << head << "0\t\t\t\t\t\t\t\t\tno candidate: "
                << (none_a && none_b ? "neither protein carries a domain"
                    : none_a        ? "protein_a carries no domain"
                                    : "protein_b carries no domain")
                << '\n';
            continue;
        }
        best_first(candidates, evidence);
        // A pair-wide note: unexplained, or explained by a candidate below
        // the rows shown.
        std::string note;
        if (!evidence.chosen.empty()) {
            std::size_t chosen_at = candidates.size();
            for (std::size_t i = 0; i < candidates.size() && chosen_at == candidates.size(); ++i) {
                if (evidence.chosen[candidates[i].record]) chosen_at = i;
            }
            if (chosen_at == candidates.size()) {
                note = "unexplained: no candidate chosen (left to the error budget)";
            } else if (chosen_at >= options.top) {
                note = "chosen: the candidate at place " + std::to_string(chosen_at + 1);
            }
        }
        const std::string count = std::to_string(candidates.size());
        for (std::size_t i = 0; i < candidates.size() && i < options.top; ++i) {
            const PairCandidate& c = candidates[i];
            out << head << count << '\t' << static_cast<long long>(i + 1) << '\t' << network.dom[c.domain_a].name << '\t'
                << network.dom[c.domain_b].name << '\t' << rank_cell(evidence.rank[c.record]) << '\t'
                << (evidence.has_p_gold ? cell(evidence.p_gold[c.record]) : std::string()) << '\t'
                << (evidence.has_freq ? cell(evidence.freq[c.record]) : std::string()) << '\t'
                << flag_cell(evidence.known, c.record) << '\t' << flag_cell(evidence.chosen, c.record) << '\t' << note
                << '\n';
        }
    }
    return out.flush();
}

FirstKnown first_known(const protdom& network, const inter_table& pint, const inter_table& dint,
                       const std::vector<int>& pairs, const CandidateEvidence& evidence) {
    FirstKnown result;
    if (evidence.known.empty()) return result;
    CandidateWalker walker(network, dint);
    std::vector<PairCandidate> candidates;
    for (const int k : pairs) {
        candidates = walker.of(pint.list[k]);
        if (candidates.size() < 2) continue;
        long known = 0;
        for (const PairCandidate& c : candidates) known += evidence.known[c.record];
        if (known == 0) continue;
        best_first(candidates, evidence);
        ++result.pairs;
        result.first_known += evidence.known[candidates.front().record];
        result.random_known += static_cast<double>(known) / static_cast<double>(candidates.size());
    }
    return result;
}

std::vector<std::vector<PairBehind>> pairs_behind(const protdom& network, const inter_table& pint,
                                                  const inter_table& dint, const std::vector<int>& pairs,
                                                  const std::vector<int>& records, const CandidateEvidence& evidence) {
    std::vector<std::vector<PairBehind>> behind(records.size());
    std::unordered_map<int, std::vector<std::size_t>> asked;  // record -> its places in `records`
    for (std::size_t i = 0; i < records.size(); ++i) asked[records[i]].push_back(i);
    CandidateWalker walker(network, dint);
    std::vector<PairCandidate> candidates;
    for (const int k : pairs) {
        const std::vector<PairCandidate>& met = walker.of(pint.list[k]);
        bool any = false;
        for (const PairCandidate& c : met) any = any || asked.count(c.record) != 0;
        if (!any) continue;
        candidates = met;
        best_first(candidates, evidence);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const auto it = asked.find(candidates[i].record);
            if (it == asked.end()) continue;
            PairBehind entry;
            entry.pair = k;
            entry.candidates = static_cast<int>(candidates.size());
            entry.place = static_cast<int>(i + 1);
            entry.flipped = candidates[i].domain_a != dint.list[candidates[i].record].a;
            const std::size_t other = i == 0 ? 1 : 0;
            if (other < candidates.size()) {
                entry.best_other = candidates[other].record;
                entry.other_flipped = candidates[other].domain_a != dint.list[entry.best_other].a;
            }
            for (const std::size_t at : it->second) behind[at].push_back(entry);
        }
    }
    for (std::vector<PairBehind>& list : behind) {
        std::stable_sort(list.begin(), list.end(),
                         [](const PairBehind& x, const PairBehind& y) { return x.candidates < y.candidates; });
    }
    return behind;
}

std::pair<int, int> oriented_proteins(const inter& pair, const PairBehind& entry, const inter& asked, int first) {
    const bool swap = asked.a != asked.b && (first == asked.a) == entry.flipped;
    return swap ? std::pair{pair.b, pair.a} : std::pair{pair.a, pair.b};
}

bool write_behind_table(std::FILE* file, const std::string& first_line, const protdom& network,
                        const inter_table& pint, const inter_table& dint, const std::vector<int>& records,
                        const std::vector<int>& first, const std::vector<std::vector<PairBehind>>& behind,
                        const CandidateEvidence& evidence, const ProteinNames* names) {
    TextOut out(file);
    out << first_line << behind_header << '\n';
    for (std::size_t i = 0; i < records.size(); ++i) {
        const inter& asked = dint.list[records[i]];
        const int second = asked.a == first[i] ? asked.b : asked.a;
        for (const PairBehind& entry : behind[i]) {
            const inter& pair = pint.list[entry.pair];
            // The proteins in the order of the asked domains: protein_a
            // carries the first. A homotypic pair keeps the input's order.
            const auto [pa, pb] = oriented_proteins(pair, entry, asked, first[i]);
            const bool swap = pa != pair.a;  // a protein with itself reads the same either way
            const std::string& a = network.prot[pa].name;
            const std::string& b = network.prot[pb].name;
            out << network.dom[first[i]].name << '\t' << network.dom[second].name << '\t'
                << rank_cell(evidence.rank[records[i]]) << '\t' << a << '\t' << b << '\t' << name_of(names, a) << '\t'
                << name_of(names, b) << '\t' << entry.candidates << '\t' << entry.place << '\t'
                << flag_cell(evidence.chosen, records[i]) << '\t';
            if (entry.best_other < 0) {
                out << "\t\t\t\n";
                continue;
            }
            // The other candidate in the protein order just written.
            const inter& other = dint.list[entry.best_other];
            const bool other_swap = swap != entry.other_flipped;
            out << network.dom[other_swap ? other.b : other.a].name << '\t'
                << network.dom[other_swap ? other.a : other.b].name << '\t'
                << rank_cell(evidence.rank[entry.best_other]) << '\t' << flag_cell(evidence.chosen, entry.best_other)
                << '\n';
        }
    }
    return out.flush();
}

}  // namespace ddinfer
