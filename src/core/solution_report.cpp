#include "core/solution_report.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/lines.h"

namespace ddinfer {
namespace {

void split(std::string_view line, std::string_view seps, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t pos = 0;
    while ((pos = line.find_first_not_of(seps, pos)) != std::string_view::npos) {
        std::size_t end = line.find_first_of(seps, pos);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
}

// Decimal digits only, no sign, below `limit`; -1 otherwise.
long index_number(std::string_view text, long limit) {
    if (text.empty() || text.size() > 10) return -1;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value < limit ? value : -1;
}

// The activity as atof reads it: the longest leading number, else 0.
double activity(std::string_view field) {
    char text[64];
    const std::size_t length = std::min(field.size(), sizeof text - 1);
    field.copy(text, length);
    text[length] = '\0';
    return std::atof(text);
}

// Stores solution values into the available candidates. The solvers list
// the x columns in the record order of the available candidates, so the
// next available record is tried before the index.
class Store {
public:
    explicit Store(inter_table& dint) : dint_(dint) {}
    void operator()(long i, long j, double value) {
        if (value < 0) value = 0;
        if (value > 1) value = 1;
        const int a = static_cast<int>(std::min(i, j)), b = static_cast<int>(std::max(i, j));
        while (next_ < dint_.n && dint_.list[next_].active != 1) ++next_;
        int r = -1;
        if (next_ < dint_.n && dint_.list[next_].a == a && dint_.list[next_].b == b) {
            r = next_++;
        } else {
            r = dint_.index.get(a, b);
        }
        if (r >= 0 && dint_.list[r].active == 1) dint_.list[r].value = value;
    }

private:
    inter_table& dint_;
    int next_ = 0;
};

constexpr std::size_t longest_name = 31;


std::string_view trim(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t\r") + 1 - begin);
}

// Where the tables end: the sections glpsol writes after them.
bool report_end(std::string_view line) {
    return line.substr(0, 18) == "Karush-Kuhn-Tucker" || line.substr(0, 13) == "End of output";
}

// Whether the report goes on, from `line` (a line the reading stopped at),
// to its last line, "End of output" whole with its line end: a report cut
// anywhere before that (a full disk cuts it mid-line) is no report.
bool reaches_last_line(Lines& lines, std::string_view line, bool line_end) {
    for (;;) {
        if (line_end && trim(line) == "End of output") return true;
        if (!lines.next(line, &line_end)) return false;
    }
}

}  // namespace

int read_glp_report(std::istream& in, const std::string& path, inter_table& dint, std::ostream& err, ReportSums* sums,
                    std::size_t chunk) {
    Lines lines(in, path, chunk);
    // Lines 1 to 5; a report shorter than that is judged on its last line.
    std::string_view line, status;
    for (int n = 1; n <= 5 && lines.next(line); ++n) status = line;
    if (status.substr(0, 19) != "Status:     OPTIMAL") {
        err << "parse_glp: Not optimal (" << path << ") [" << status << "]\n"
            << "the solver stopped without an optimal solution; its report says \""
            << (status.substr(0, 7) == "Status:" ? trim(status.substr(7)) : status) << "\"\n";
        return 1;
    }
    bool found = false;
    while (!found && lines.next(line)) found = line.substr(0, 18) == "   No. Column name";
    if (!found) {
        err << "parse_glp: no columns table (" << path << ")\n"
            << "the report holds no table of column values; it is no complete glpsol report\n";
        return 1;
    }

    // The x columns, up to the first e column; then the report must go on
    // to the sections that glpsol writes after the table, or it was cut.
    std::vector<std::string_view> fields;
    std::string joined;
    Store store(dint);
    bool complete = false, line_end = true;
    while (lines.next(line, &line_end)) {
        if (report_end(line)) {
            complete = reaches_last_line(lines, line, line_end);
            break;
        }
        split(line, " \t\n", fields);
        if (fields.size() < 2) continue;
        const std::string_view name = fields[1];
        if (!line_end) break;  // a last line cut short
        if (name.size() == 1 && name != "B") {
            err << "less 1 " << name << "\n"
                << "the report names a column \"" << name << "\" that the programme does not have\n";
            return 1;
        }
        if (name[0] == 'e') break;
        if (fields.size() == 2 && name[0] == 'x') {
            // glpsol puts a long column name alone on its line and the
            // column's other fields on the next. The name line is copied
            // first: reading the next line may refill the buffer under it.
            joined.assign(line);
            std::string_view next;
            if (lines.next(next)) {
                joined.append(" ").append(next);
                split(joined, " \t\n", fields);
            }
        }
        if (fields.size() < 4) break;
        if (fields[1][0] != 'x' || fields[1].size() > longest_name) continue;

        // x(i,j) with both numbers domain indices; anything else is skipped.
        const std::string_view x = fields[1];
        const std::size_t comma = x.find(',');
        if (x.size() < 6 || x[1] != '(' || x.back() != ')' || comma == std::string_view::npos) continue;
        const long i = index_number(x.substr(2, comma - 2), dint.nnode);
        const long j = index_number(x.substr(comma + 1, x.size() - comma - 2), dint.nnode);
        if (i < 0 || j < 0) continue;
        const double value = activity(fields[3]);
        if (sums != nullptr) sums->x_sum += value;
        store(i, j, value);
    }
    if (!complete && lines.next(line, &line_end)) complete = reaches_last_line(lines, line, line_end);
    if (!complete) {
        err << path << ": the solver's report ends early (no \"End of output\")\n";
        return 1;
    }
    return 0;
}

Marginals read_glp_marginals(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(path + ": cannot open the report");
    Lines lines(in, path);
    Marginals m;
    std::string_view line;
    std::vector<std::string_view> fields;
    std::string joined;
    int table = 0;  // 1 rows, 2 columns
    bool complete = false, line_end = true;
    while (lines.next(line, &line_end)) {
        if (report_end(line)) {
            complete = reaches_last_line(lines, line, line_end);
            break;
        }
        if (line.substr(0, 15) == "   No.   Row na") {
            table = 1;
            continue;
        }
        if (line.substr(0, 18) == "   No. Column name") {
            table = 2;
            continue;
        }
        if (table == 0 || line.substr(0, 6) == "------") continue;
        split(line, " \t\r", fields);
        if (fields.size() == 2) {  // a long name alone on its line
            joined.assign(line);
            std::string_view next;
            if (!lines.next(next)) break;
            joined.append(" ").append(next);
            split(joined, " \t\r", fields);
        }
        if (fields.size() < 4) continue;
        double marginal = 0;
        if (fields[2] != "B" && fields.back() != "eps") marginal = activity(fields.back());
        if (table == 1) {
            m.rows.push_back(marginal);
        } else {
            m.columns[std::string(fields[1])] = marginal;
        }
    }
    if (!complete) throw Error(path + ": the solver's report ends early (no \"End of output\")");
    return m;
}

int my_parse_glp(const std::string& path, const protdom&, const inter_table&, inter_table& dint, std::ostream& err,
                 ReportSums* sums) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "parse_glp2: fopen error (" << path << ")\n"
            << "the solver left no report " << path << "\n";
        return 1;
    }
    return read_glp_report(in, path, dint, err, sums, Lines::default_chunk);
}

}  // namespace ddinfer
