// ddinfer-explain: through which domains two interacting proteins interact.
// Every candidate domain pair that can explain a protein pair (a domain of
// the one protein with a domain of the other) is listed best first by a
// ranked table, with whether the classic solution explains the protein pair
// by it; and the other way round, the protein pairs that one domain pair can
// explain. The report's top table shows the same protein pairs behind each
// of its rows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/network.h"

namespace ddinfer {

// One candidate of a protein pair, oriented as the pair is: domain_a is
// carried by the pair's first protein, domain_b by its second.
struct PairCandidate {
    int record = 0;  // in dint
    int domain_a = 0;
    int domain_b = 0;
};

// The candidates of protein pairs, one pair at a time, each dint record
// once a pair (a domain pair met both ways round, as when both proteins
// carry both domains, keeps the orientation met first).
class CandidateWalker {
public:
    CandidateWalker(const protdom& network, const inter_table& dint);
    // The candidates of `pair`, in the order the proteins list their domains.
    const std::vector<PairCandidate>& of(const inter& pair);

private:
    const protdom& network_;
    const inter_table& dint_;
    std::vector<std::uint32_t> stamp_;  // by record: the call that last met it
    std::uint32_t call_ = 0;
    std::vector<PairCandidate> found_;
};

// What a ranked table and a classic solution say of each candidate record.
struct CandidateEvidence {
    std::vector<double> rank;    // 1 = best; +inf where the table lacks the pair
    std::vector<double> p_gold;  // NaN where unknown
    std::vector<double> freq;    // NaN where unknown
    std::vector<signed char> chosen;  // 1 or 0; empty when no classic solution is known
    std::vector<signed char> known;   // 1 or 0; empty without a gold list
    bool has_p_gold = false, has_freq = false;
};

// The protein pairs to show: each distinct pair once, at its first line,
// in the input's order; with `proteins` not empty, only the pairs with one
// of them.
std::vector<int> listed_pairs(const inter_table& pint, const std::vector<char>& proteins);

// Protein id -> name, from files of "ID<TAB>NAME..." lines.
using ProteinNames = std::unordered_map<std::string, std::string>;

struct ExplainOptions {
    std::size_t top = 3;  // candidates shown a protein pair
    const ProteinNames* names = nullptr;
};

constexpr const char* explain_header =
    "protein_a\tprotein_b\tname_a\tname_b\tcandidates\tplace\tdomain_a\tdomain_b\trank\tp_gold\tfreq\tknown\t"
    "chosen\tnote";

// The table's header and, for each listed protein pair, its best `top`
// candidates a row (or one row saying that it has none); false when a
// write failed.
bool write_explain_table(std::FILE* file, const std::string& first_line, const protdom& network,
                         const inter_table& pint, const inter_table& dint, const std::vector<int>& pairs,
                         const CandidateEvidence& evidence, const ExplainOptions& options);

// How often the best-ranked candidate is a known pair, among protein pairs
// with two candidates or more of which one at least is known, against the
// expected share of a candidate picked at random.
struct FirstKnown {
    long pairs = 0;
    long first_known = 0;
    double random_known = 0;  // the sum over those pairs of known / candidates
};
FirstKnown first_known(const protdom& network, const inter_table& pint, const inter_table& dint,
                       const std::vector<int>& pairs, const CandidateEvidence& evidence);

// A protein pair behind a domain pair: the pint record, the domain pair's
// place among its candidates (1 = best) and its best other candidate.
struct PairBehind {
    int pair = 0;
    int candidates = 0;
    int place = 0;
    bool flipped = false;      // the domain pair's first domain is on the pair's second protein
    int best_other = -1;       // record, or -1 when the domain pair is its only candidate
    bool other_flipped = false;
};

// For each record asked for, the protein pairs (of `pairs`) it can explain:
// those with the fewest candidates first (the ones it alone explains lead),
// then in the input's order.
std::vector<std::vector<PairBehind>> pairs_behind(const protdom& network, const inter_table& pint,
                                                  const inter_table& dint, const std::vector<int>& pairs,
                                                  const std::vector<int>& records, const CandidateEvidence& evidence);

// The protein pair of `entry` in the order of the asked domains: the first
// protein carries `first`, a domain of `asked` (a homotypic pair keeps the
// input's order).
std::pair<int, int> oriented_proteins(const inter& pair, const PairBehind& entry, const inter& asked, int first);

constexpr const char* behind_header =
    "domain_a\tdomain_b\trank\tprotein_a\tprotein_b\tname_a\tname_b\tcandidates\tplace\tchosen\tbest_other_a\t"
    "best_other_b\tbest_other_rank\tbest_other_chosen";

// The reverse table: for each asked domain pair (a record, oriented as the
// user named it: `first` is its first domain), every protein pair behind it.
bool write_behind_table(std::FILE* file, const std::string& first_line, const protdom& network,
                        const inter_table& pint, const inter_table& dint, const std::vector<int>& records,
                        const std::vector<int>& first, const std::vector<std::vector<PairBehind>>& behind,
                        const CandidateEvidence& evidence, const ProteinNames* names);

// Exit statuses: 0 done, 1 bad input or a file that cannot be written, 2 a
// mistake in the call.
int explain_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
