// The table of the top pairs on the report's page, read left to right as a
// biologist reads it: rank, the two domains with their names, p_gold, known
// or new, freq, support and score first, every other column of the table
// further right (a button hides and shows them); every column head explains
// itself in its title, and pairs that no solution can tell apart (one class
// of the rank table) are marked as such.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/network.h"
#include "evidence/evaluate.h"

namespace ddinfer {

// The interacting protein pairs behind one row: the first few, each
// oriented as the row's domains are, with its number of candidates.
struct RowPairs {
    long total = 0;
    std::vector<std::pair<std::string, std::string>> proteins;
    std::vector<int> candidates;
};

struct TopTable {
    std::vector<std::string> header;             // of the table read
    std::vector<std::vector<std::string>> rows;  // its first rows, best first
    const NamePairs* gold = nullptr;             // the gold list, when given
    std::string gold_name;                       // its file's name, for the marks "in NAME", "not in NAME"
    // Domain id -> (name, description), from a names file.
    std::map<std::string, std::pair<std::string, std::string>> names;
    // "A\tB" (either order) -> class, from the classes table, when there.
    std::map<std::string, long> class_of;
    // By row, when filled: the protein pairs it can explain.
    std::vector<RowPairs> behind;
    std::map<std::string, std::string> protein_names;  // protein id -> gene name
};

// Fills t.behind: for each row, up to `shown` of the protein pairs of PAIRS
// that its domain pair can explain, those it alone explains first.
void add_protein_pairs(TopTable& t, const protdom& network, const inter_table& pint, const inter_table& dint,
                       std::size_t shown = 20);

// The <table id="pairs"> element and its toggle button.
std::string top_table_html(const TopTable& table);

// What a column of a rank, pooled or association table means, for its
// head's title ("NET:column" of a pooled table: that column of network NET);
// "" for a column of no known meaning.
std::string column_meaning(const std::string& column);

// p_gold as a biologist reads it: two significant digits, "> 0.99" above.
std::string p_gold_text(const std::string& cell);

// The class of each candidate from a classes table (class, domain_a,
// domain_b a line); throws Error naming the file and line.
std::map<std::string, long> read_classes(const std::string& path);

}  // namespace ddinfer
