// Judging a result against a gold list of known domain-domain interactions
// (from solved structures, say): how many candidates and inferred pairs the
// gold list confirms, the precision, the recall and the enrichment over the
// base rate. Pairs are compared by their domain names, unordered.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/network.h"
#include "core/table_end.h"

namespace ddinfer {

// The tab-separated fields of a line, as views into it.
std::vector<std::string_view> tab_fields(std::string_view line);

// Unordered pairs of names.
class NamePairs {
public:
    // true when the pair was new
    bool add(const std::string& a, const std::string& b) { return set_.insert(key(a, b)).second; }
    bool contains(const std::string& a, const std::string& b) const { return set_.count(key(a, b)) != 0; }
    std::size_t size() const { return set_.size(); }
    // Calls take(a, b) for every pair, in no particular order.
    template <class Take>
    void each(Take take) const {
        for (const std::string& pair : set_) {
            const std::size_t zero = pair.find('\0');
            take(std::string_view(pair).substr(0, zero), std::string_view(pair).substr(zero + 1));
        }
    }
    // One pair as "A-B", for a message; "" when empty.
    std::string example() const {
        if (set_.empty()) return "";
        std::string pair = *set_.begin();
        pair[pair.find('\0')] = '-';
        return pair;
    }

private:
    static std::string key(const std::string& a, const std::string& b) { return a < b ? a + '\0' + b : b + '\0' + a; }
    std::unordered_set<std::string> set_;
};

// Two names a line, separated by tabs or spaces; "#" starts a comment line;
// blank lines are skipped. Throws Error naming file:line.
NamePairs read_gold(std::istream& in, const std::string& file);

// The error for a gold list none of whose pairs is a candidate: most often
// its ids are of another kind than the domain file's. `candidate`: a
// candidate pair as "A-B".
std::string no_gold_candidate(const std::string& gold_path, const NamePairs& gold, const std::string& pairs_path,
                              const std::string& domains_path, const std::string& candidate);

// The lines of such a file, each handed over as its two names.
void read_two_names(std::istream& in, const std::string& file,
                    const std::function<void(const std::string&, const std::string&)>& take);

// An inferred pair list: "A<TAB>B" a line, names as the domain file gives
// them (spaces included). Each pair must be a candidate; throws Error.
std::vector<std::pair<std::string, std::string>> read_inferred(std::istream& in, const std::string& file,
                                                               const NamePairs& candidates);

// The candidate pairs of a built table, by name.
NamePairs candidate_names(const protdom& network, const inter_table& dint);

struct Share {
    std::size_t pairs = 0;
    std::size_t in_gold = 0;
    double rate() const { return pairs == 0 ? 0.0 : static_cast<double>(in_gold) / static_cast<double>(pairs); }
};

// One line of the table: the pairs and how many of them the gold list holds.
Share share(const std::vector<std::pair<std::string, std::string>>& pairs, const NamePairs& gold);

// The table for one inferred list against the candidates.
std::string format_evaluation(const Share& candidates, const Share& inferred);

// A ranked table of ddinfer-robust: its header line, then
// "A<TAB>B<TAB>classic<TAB>freq" a line.
constexpr const char* robust_header = "domain_a\tdomain_b\tclassic\tfreq";

// A table with a header line whose first two columns are domain_a and
// domain_b (the tables of ddinfer-robust, ddinfer-rank and ddinfer-null),
// its rows in file order. Every row has as many fields as the header and
// ends with a line feed (a table cut short is refused), and names a
// candidate pair; a pooled table of ddinfer-pool (its first line "#
// ddinfer-pool ...") may hold pairs of other networks, which are passed over
// and counted. Throws Error naming file:line.
struct Table {
    std::string provenance;  // as in TableHead
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<long> line_numbers;
    std::size_t passed_over = 0;  // pairs of a pooled table that are no candidates
    bool unchecked = false;       // as in TableHead
};
Table read_table(std::istream& in, const std::string& file, const NamePairs& candidates);

// The same row by row, for tables too large to hold: `head` is filled
// (but for passed_over) before the first row, then `take` gets each row's
// fields (it may move them) and line number.
using TableRow = std::function<void(std::vector<std::string>& fields, long line_no)>;
// The last line of a table written since version 1.1 counts its rows and
// carries their checksum ("# end rows R checksum HEX"): a table that says it
// is of such a version and has none was cut short, and is refused; a table
// of an earlier version is read as it is (`unchecked`, for a warning).
struct TableHead {
    std::string provenance;  // the first line without its "# ", when it is a "#" line
    std::vector<std::string> header;
    std::size_t passed_over = 0;
    bool unchecked = false;  // a table of an earlier version, without an end line
};

// The warning for such a table.
std::string unchecked_warning(const std::string& file);
void stream_table(std::istream& in, const std::string& file, const NamePairs& candidates, TableHead& head,
                  const TableRow& take);

// The first line that is no "#" comment (a table's provenance line), and
// its line number; "" at the end.
std::string first_table_line(std::istream& in, const std::string& file, long& line_no);

// The header's fields when `line` is the header line of such a table;
// empty otherwise.
std::vector<std::string> table_header(const std::string& line);

// A table's number cell, read whole: false for an empty cell or one with
// anything after the number.
bool number_field(const std::string& field, double& value);

struct RankedPair {
    std::string a, b;
    double classic = 0.0;
    double freq = 0.0;
};

// The rows of a ddinfer-robust table; each number must parse whole.
// Throws Error naming file:line.
std::vector<RankedPair> ranked_pairs(const Table& table, const std::string& file);

// Precision at the top 250, 500, 1000, 2000 and 5000 pairs of a ranking
// (a pair listed again counts once, at its first place) and the average
// precision over the whole ranking, whose denominator is the number of gold
// pairs among the candidates; once for all pairs, once for heterotypic
// pairs alone, and once for heterotypic pairs whose two domains are found
// on no protein together (not in `shared`).
std::string format_ranking(const std::vector<std::pair<std::string, std::string>>& ranking,
                           const std::vector<std::pair<std::string, std::string>>& candidates, const NamePairs& gold,
                           const NamePairs& shared);

// The pairs of two different domains that some protein carries together.
NamePairs shared_domain_pairs(const protdom& network);

// The classic list and the pairs at freq = 1, >= 0.75, >= 0.5, >= 0.25 and
// > 0, each with its precision and enrichment.
std::string format_ranked_evaluation(const Share& candidates, const std::vector<RankedPair>& ranked,
                                     const NamePairs& gold);

}  // namespace ddinfer
