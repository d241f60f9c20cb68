// ddinfer-pool: one ranking from the ranked tables of several networks
// (other sources, other species). Domain pairs recur across networks, so a
// pair ranked high in two is better supported than one ranked high in one.
// Each network scores a pair by its normalised rank there, ln(n / rank)
// (n the network's candidates, rank its place in the network's own order,
// equal scores at their mid-rank); the pooled score is the sum over the
// networks. A network where the pair is no candidate adds 0: absent is no
// evidence, not average evidence.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

namespace ddinfer {

// Domain names by number, each name once.
class DomainIds {
public:
    int id(const std::string& name);
    const std::string& name(int id) const { return names_[static_cast<std::size_t>(id)]; }
    const std::vector<std::string>& names() const { return names_; }

private:
    std::unordered_map<std::string, int> ids_;
    std::vector<std::string> names_;
};

// Ids of one system translated into another: an id of the first system, an
// id of the second a line (an InterPro entry and a Pfam family it
// integrates, say); an id may stand on several lines.
struct DomainMap {
    std::unordered_map<std::string, std::vector<std::string>> to;
    // The pairs one row may stand for once translated, and the rows a
    // translated table may hold: an id standing for thousands would grow a
    // table past any memory.
    std::size_t max_fan_out = 100;
    std::size_t max_rows = 20000000;
};

// Two ids a line, separated by tabs or spaces; "#" lines and blank lines
// skipped. Throws Error naming file:line.
DomainMap read_domain_map(std::istream& in, const std::string& file);

// One network's ranked table of ddinfer-rank, its rows best first.
struct PoolTable {
    struct Row {
        int a = 0, b = 0;  // DomainIds, a <= b
        std::int64_t support = 0, shared = 0;
        double evidence = 0, log10_p_dc = 0, score = 0;
        double partner_cosine = -1;  // -1: the table has no such column (an earlier version)
        bool has_evidence = false;  // the freq or lp_value field is not empty
    };
    std::string path;
    std::string name;      // the path without ".rank.tsv": names its columns
    std::string evidence;  // "freq" when the table has frequencies, else "lp_value"
    std::vector<Row> rows;
    // The weight of the partners' rank in the table's score (its first
    // line's --weights, 1 by default); 0 when the score leaves it out
    // (--evidence network, or no partner_cosine column).
    double partner_weight = 0;
    std::size_t translated = 0;  // domain ids translated by the map
    std::size_t collapsed = 0;   // rows whose translated pair an earlier row holds
    bool unchecked = false;      // of a version before tables ended with a check line
};

// Reads a table of ddinfer-rank (its first line "# ddinfer-rank ..."),
// interning its domain names in `ids`. With a map, a table whose domain ids
// are mostly of the map's first system is translated, each pair into every
// pair of the ids its domains stand for; ids the map does not know stay as
// they are. Throws Error naming file:line.
PoolTable read_pool_table(std::istream& in, const std::string& path, DomainIds& ids, const DomainMap* map);

// ln(n / rank) by row: rank the row's place, rows of equal score at their
// mid-rank. `without_partners`: ranked instead by the score without the
// partners' term (score + w ln rank of partner_cosine, the ranks of equal
// values at their mid-rank).
std::vector<double> network_scores(const PoolTable& table, bool without_partners = false);

struct Pooled {
    std::vector<std::pair<int, int>> pairs;  // every pair of any table, by first appearance
    std::vector<double> score;               // by pair: the sum of the network scores
    std::vector<int> networks;               // by pair: the tables that hold it
    std::vector<std::vector<int>> row;       // by table, by pair: the row, or -1
    std::vector<double> network_score;       // by table row, flattened: table t's row i at offset[t] + i
    std::vector<std::size_t> offset;
    std::vector<int> order;                  // the pairs written, best first
};

// Pools the tables; with `only` >= 0 the ranking holds exactly that table's
// pairs, each network's term is its rank without the partners' term, and
// the `only` network's partners' term, w ln(n / rank), is added once after
// pooling: the likeness of partners is a property of the network ranked,
// which the other networks' likeness of their own partners only blurs.
// Equal scores go in the order of the `only` table, then of the tables as
// given, then by name. Throws Error when two tables share no domain id.
Pooled pool_tables(const std::vector<PoolTable>& tables, const DomainIds& ids, int only);

// Exit statuses: 0 done, 1 bad input or a file that cannot be written, 2 a
// mistake in the call.
int pool_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
