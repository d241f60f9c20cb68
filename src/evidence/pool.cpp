#include "evidence/pool.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <numeric>

#include "core/error.h"
#include "core/input_file.h"
#include "core/lines.h"
#include "core/table_end.h"
#include "evidence/evaluate.h"
#include "evidence/rank.h"

namespace ddinfer {

int DomainIds::id(const std::string& name) {
    const auto [it, added] = ids_.try_emplace(name, static_cast<int>(names_.size()));
    if (added) names_.push_back(name);
    return it->second;
}

DomainMap read_domain_map(std::istream& in, const std::string& file) {
    DomainMap map;
    read_two_names(in, file, [&](const std::string& from, const std::string& to) {
        std::vector<std::string>& targets = map.to[from];
        if (std::find(targets.begin(), targets.end(), to) == targets.end()) targets.push_back(to);
    });
    if (map.to.empty()) throw Error(file + ": the map holds no pair of ids");
    return map;
}

namespace {

// The whole field as a number; false for an empty field or trailing text.
bool parse_number(std::string_view field, double& value) {
    if (field.empty()) return false;
    const std::string text(field);
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    // The whole field: a byte after the number (a NUL among them) is none.
    return end == text.c_str() + text.size() && std::isfinite(value);
}

bool parse_count(std::string_view field, std::int64_t& value) {
    double number = 0;
    if (!parse_number(field, number) || number < 0 || number > 9e15 || number != std::floor(number)) return false;
    value = static_cast<std::int64_t>(number);
    return true;
}

std::string table_name(std::string path) {
    for (const char* suffix : {".gz", ".rank.tsv"}) {
        const std::string end = suffix;
        if (path.size() > end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0) {
            path.resize(path.size() - end.size());
        }
    }
    for (char& c : path) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return path;
}

// The weight of the partners' rank in the score of a table whose first
// line is `line`: 0 with --evidence network, else that of --weights.
double partner_weight(const std::string& line, const std::string& path) {
    if (option_in(line, "--evidence") == "network") return 0;
    const std::string weights = option_in(line, "--weights");
    try {
        return weights.empty() ? RankWeights().partners : parse_weights(weights).partners;
    } catch (const std::exception& error) {  // the weights' own message
        throw input_error(path, 1, error.what());
    }
}

// A row as read, before the map: the two names as local numbers.
struct RawRow {
    int a, b;
    PoolTable::Row values;
    long line;
};

}  // namespace

PoolTable read_pool_table(std::istream& in, const std::string& path, DomainIds& ids, const DomainMap* map) {
    PoolTable table;
    table.path = path;
    table.name = table_name(path);
    Lines lines(in, path);
    std::string_view line;
    bool ended = false;
    long line_no = 0;
    if (!lines.next(line, &ended) || line.rfind("# ddinfer-rank ", 0) != 0) {
        throw input_error(path, 1, "expected a table of ddinfer-rank (its first line \"# ddinfer-rank ...\")");
    }
    const bool end_required = table_has_end(line.substr(2));
    const std::string first_line(line);
    ++line_no;
    std::vector<std::string_view> header;
    while (lines.next(line, &ended)) {
        ++line_no;
        if (!line.empty() && line[0] == '#') continue;
        header = tab_fields(line);
        break;
    }
    std::vector<std::string> columns(header.begin(), header.end());
    auto column = [&](const char* name) {
        const auto it = std::find(columns.begin(), columns.end(), name);
        if (it == columns.end() || columns.size() < 2 || columns[0] != "domain_a" || columns[1] != "domain_b") {
            throw input_error(path, std::max(1L, line_no),
                              std::string("expected the header of a ddinfer-rank table, with a column ") + name);
        }
        return static_cast<std::size_t>(it - columns.begin());
    };
    const std::size_t support = column("support"), lp_value = column("lp_value"), freq = column("freq"),
                      score = column("score"), p_dc = column("log10_p_dc"), shared = column("shared_proteins");
    const auto cosine_at = std::find(columns.begin(), columns.end(), "partner_cosine");
    const std::size_t cosine = static_cast<std::size_t>(cosine_at - columns.begin());
    if (cosine < columns.size()) table.partner_weight = partner_weight(first_line, path);

    // Names numbered within the table first: whether the map applies
    // depends on all of them.
    DomainIds local;
    std::vector<RawRow> raw;
    bool any_freq = false;
    TableEnd end;
    while (lines.next(line, &ended)) {
        ++line_no;
        if (!ended) throw input_error(path, line_no, "the line has no line end: the table was cut short");
        if (end.take(line, path, line_no)) continue;
        const std::vector<std::string_view> fields = tab_fields(line);
        if (fields.size() != columns.size()) {
            throw input_error(path, line_no,
                              "expected " + std::to_string(columns.size()) + " tab-separated fields, found " +
                                  std::to_string(fields.size()));
        }
        RawRow row{local.id(std::string(fields[0])), local.id(std::string(fields[1])), {}, line_no};
        PoolTable::Row& v = row.values;
        const std::string_view evidence = !fields[freq].empty() ? fields[freq] : fields[lp_value];
        any_freq = any_freq || !fields[freq].empty();
        v.has_evidence = !evidence.empty();
        if (!parse_count(fields[support], v.support) || !parse_count(fields[shared], v.shared) ||
            !parse_number(fields[score], v.score) || !parse_number(fields[p_dc], v.log10_p_dc) ||
            (v.has_evidence && !parse_number(evidence, v.evidence)) ||
            (cosine < columns.size() && !fields[cosine].empty() && !parse_number(fields[cosine], v.partner_cosine))) {
            throw input_error(path, line_no,
                              "expected whole counts of support and shared_proteins and numbers of score, "
                              "log10_p_dc and freq or lp_value");
        }
        raw.push_back(row);
    }
    if (lines.bad()) throw Error(read_failure(path, in));
    end.finish(end_required, path);
    table.unchecked = !end.ended();
    if (raw.empty()) throw input_error(path, line_no, "the table holds no pair");
    table.evidence = any_freq ? "freq" : "lp_value";

    // Each local name stands for one or more ids of the pooled tables.
    std::size_t known = 0;
    if (map != nullptr) {
        for (const std::string& name : local.names()) known += map->to.count(name);
    }
    const bool translate = known * 2 > local.names().size();
    std::vector<std::vector<int>> targets(local.names().size());
    for (std::size_t d = 0; d < targets.size(); ++d) {
        const std::string& name = local.names()[d];
        const auto it = translate ? map->to.find(name) : decltype(map->to.find(name)){};
        if (translate && it != map->to.end()) {
            ++table.translated;
            for (const std::string& to : it->second) targets[d].push_back(ids.id(to));
        } else {
            targets[d].push_back(ids.id(name));
        }
    }
    std::unordered_map<std::uint64_t, long> seen;
    for (const RawRow& row : raw) {
        const std::size_t ta = targets[static_cast<std::size_t>(row.a)].size(), tb = targets[static_cast<std::size_t>(row.b)].size();
        if (translate && ta * tb > map->max_fan_out) {
            const bool a_wider = ta >= tb;
            throw input_error(path, row.line,
                              "through the map this row stands for " + std::to_string(ta * tb) + " pairs, over the " +
                                  std::to_string(map->max_fan_out) + " allowed: \"" +
                                  quoted_input(local.names()[static_cast<std::size_t>(a_wider ? row.a : row.b)]) +
                                  "\" stands for " + std::to_string(a_wider ? ta : tb) +
                                  " ids (--max-fan-out raises the bound)");
        }
        if (translate && table.rows.size() + ta * tb > map->max_rows) {
            throw input_error(path, row.line, "through the map the table grows past " + std::to_string(map->max_rows) +
                                                  " rows: is the map of the two id systems meant?");
        }
        for (const int x : targets[static_cast<std::size_t>(row.a)]) {
            for (const int y : targets[static_cast<std::size_t>(row.b)]) {
                PoolTable::Row values = row.values;
                values.a = std::min(x, y);
                values.b = std::max(x, y);
                const auto key = (static_cast<std::uint64_t>(values.a) << 32) | static_cast<std::uint32_t>(values.b);
                const auto [it, added] = seen.try_emplace(key, row.line);
                if (added) {
                    table.rows.push_back(values);
                } else if (translate) {
                    ++table.collapsed;  // the better row, earlier in the table, stands
                } else {
                    throw input_error(path, row.line,
                                      "the pair \"" + quoted_input(ids.name(values.a)) + "\" with \"" +
                                          quoted_input(ids.name(values.b)) + "\" stands already on line " +
                                          std::to_string(it->second));
                }
            }
        }
    }
    return table;
}

namespace {

// Ranks of `value` by row, highest first, equal values at their mid-rank.
std::vector<double> ranks_of(const std::vector<double>& value) {
    std::vector<int> order(value.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return value[x] > value[y]; });
    return tied_ranks(order, [&](int x, int y) { return value[x] == value[y]; });
}

std::vector<double> partner_ranks(const PoolTable& table) {
    std::vector<double> cosine;
    for (const PoolTable::Row& row : table.rows) cosine.push_back(row.partner_cosine);
    return ranks_of(cosine);
}

}  // namespace

std::vector<double> network_scores(const PoolTable& table, bool without_partners) {
    std::vector<double> rank;
    if (without_partners && table.partner_weight > 0) {
        std::vector<double> score = partner_ranks(table);
        for (std::size_t i = 0; i < score.size(); ++i) {
            score[i] = table.rows[i].score + table.partner_weight * std::log(score[i]);
        }
        rank = ranks_of(score);
    } else {
        std::vector<int> order(table.rows.size());
        std::iota(order.begin(), order.end(), 0);
        rank = tied_ranks(order, [&](int x, int y) { return table.rows[x].score == table.rows[y].score; });
    }
    const auto n = static_cast<double>(table.rows.size());
    std::vector<double> score(rank.size());
    for (std::size_t i = 0; i < rank.size(); ++i) score[i] = std::log(n / rank[i]);
    return score;
}

Pooled pool_tables(const std::vector<PoolTable>& tables, const DomainIds& ids, int only) {
    // Two tables with no domain id in common are most often of two id
    // systems, whose pooling would silently add nothing.
    std::vector<std::vector<char>> holds(tables.size(), std::vector<char>(ids.names().size(), 0));
    for (std::size_t t = 0; t < tables.size(); ++t) {
        for (const PoolTable::Row& row : tables[t].rows) holds[t][row.a] = holds[t][row.b] = 1;
    }
    for (std::size_t s = 0; s < tables.size(); ++s) {
        for (std::size_t t = s + 1; t < tables.size(); ++t) {
            bool overlap = false;
            for (std::size_t d = 0; d < ids.names().size() && !overlap; ++d) overlap = holds[s][d] && holds[t][d];
            if (!overlap) {
                throw Error(tables[s].path + " and " + tables[t].path + " share no domain id (\"" +
                            quoted_input(ids.name(tables[s].rows[0].a)) + "\" against \"" +
                            quoted_input(ids.name(tables[t].rows[0].a)) +
                            "\"): are they of two id systems? --map translates one into the other");
            }
        }
    }

    Pooled p;
    std::unordered_map<std::uint64_t, int> index;
    std::vector<std::vector<int>> pair_of(tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        for (const PoolTable::Row& row : tables[t].rows) {
            const auto key = (static_cast<std::uint64_t>(row.a) << 32) | static_cast<std::uint32_t>(row.b);
            const auto [it, added] = index.try_emplace(key, static_cast<int>(p.pairs.size()));
            if (added) p.pairs.emplace_back(row.a, row.b);
            pair_of[t].push_back(it->second);
        }
    }
    const std::size_t n = p.pairs.size();
    p.score.assign(n, 0.0);
    p.networks.assign(n, 0);
    p.row.assign(tables.size(), std::vector<int>(n, -1));
    for (std::size_t t = 0; t < tables.size(); ++t) {
        p.offset.push_back(p.network_score.size());
        const std::vector<double> score = network_scores(tables[t], only >= 0);
        p.network_score.insert(p.network_score.end(), score.begin(), score.end());
        for (std::size_t i = 0; i < pair_of[t].size(); ++i) {
            const auto u = static_cast<std::size_t>(pair_of[t][i]);
            p.row[t][u] = static_cast<int>(i);
            p.score[u] += score[i];
            ++p.networks[u];
        }
    }
    if (only >= 0 && tables[static_cast<std::size_t>(only)].partner_weight > 0) {
        const PoolTable& table = tables[static_cast<std::size_t>(only)];
        const std::vector<double> rank = partner_ranks(table);
        const auto rows = static_cast<double>(rank.size());
        for (std::size_t i = 0; i < rank.size(); ++i) {
            p.score[static_cast<std::size_t>(pair_of[static_cast<std::size_t>(only)][i])] +=
                table.partner_weight * std::log(rows / rank[i]);
        }
    }

    for (std::size_t u = 0; u < n; ++u) {
        if (only < 0 || p.row[static_cast<std::size_t>(only)][u] >= 0) p.order.push_back(static_cast<int>(u));
    }
    std::vector<std::size_t> tie_tables;
    if (only >= 0) tie_tables.push_back(static_cast<std::size_t>(only));
    for (std::size_t t = 0; t < tables.size(); ++t) {
        if (static_cast<int>(t) != only) tie_tables.push_back(t);
    }
    std::sort(p.order.begin(), p.order.end(), [&](int x, int y) {
        if (p.score[x] != p.score[y]) return p.score[x] > p.score[y];
        for (const std::size_t t : tie_tables) {
            const int rx = p.row[t][x] < 0 ? INT_MAX : p.row[t][x], ry = p.row[t][y] < 0 ? INT_MAX : p.row[t][y];
            if (rx != ry) return rx < ry;
        }
        const auto& [xa, xb] = p.pairs[x];
        const auto& [ya, yb] = p.pairs[y];
        if (ids.name(xa) != ids.name(ya)) return ids.name(xa) < ids.name(ya);
        return ids.name(xb) < ids.name(yb);
    });
    return p;
}

}  // namespace ddinfer
