#include "report/report_charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace ddinfer {
namespace {

// Ranks on a log scale: the top of a ranking is where it matters.
std::string polyline(const std::vector<std::pair<double, double>>& points, double x_max, const std::string& cls) {
    std::string text = "<polyline class=\"" + cls + "\" points=\"";
    const double span = std::log10(std::max(10.0, x_max));
    for (const auto& [x, y] : points) {
        text += number(50 + 560 * std::log10(std::max(1.0, x)) / span, "%.1f") + "," + number(210 - 200 * y, "%.1f") +
                " ";
    }
    return text + "\"/>";
}

}  // namespace

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string number(double value, const char* format) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A bar chart of counts in bins, as inline SVG.
std::string histogram(const std::string& id, const std::string& title, const std::vector<double>& values, double low,
                      double high, int bins, const std::string& x_label) {
    std::vector<long> count(static_cast<std::size_t>(bins), 0);
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        int b = high > low ? static_cast<int>((v - low) / (high - low) * bins) : 0;
        count[static_cast<std::size_t>(std::clamp(b, 0, bins - 1))]++;
    }
    const long top = std::max(1L, *std::max_element(count.begin(), count.end()));
    const double width = 560, height = 200, left = 50, bar = width / bins;
    std::string svg = "<figure><figcaption>" + escaped(title) + "</figcaption><svg id=\"" + id +
                      "\" class=\"chart\" viewBox=\"0 0 620 250\" role=\"img\"><title>" + escaped(title) + "</title>";
    for (int b = 0; b < bins; ++b) {
        const double h = height * static_cast<double>(count[static_cast<std::size_t>(b)]) / static_cast<double>(top);
        svg += "<rect x=\"" + number(left + b * bar + 1) + "\" y=\"" + number(10 + height - h) + "\" width=\"" +
               number(bar - 2) + "\" height=\"" + number(h) + "\"><title>" +
               number(low + (high - low) * b / bins) + " to " + number(low + (high - low) * (b + 1) / bins) + ": " +
               std::to_string(count[static_cast<std::size_t>(b)]) + "</title></rect>";
    }
    svg += "<line x1=\"50\" y1=\"210\" x2=\"610\" y2=\"210\" class=\"axis\"/>";
    svg += "<text x=\"50\" y=\"228\">" + number(low) + "</text><text x=\"610\" y=\"228\" text-anchor=\"end\">" +
           number(high) + "</text><text x=\"330\" y=\"245\" text-anchor=\"middle\">" + escaped(x_label) + "</text>";
    svg += "<text x=\"45\" y=\"20\" text-anchor=\"end\">" + std::to_string(top) + "</text>";
    return svg + "</svg></figure>\n";
}

Curves curves(const std::vector<char>& in_gold, const std::vector<char>& hetero, std::size_t relevant_all,
              std::size_t relevant_hetero) {
    Curves c;
    const std::size_t n = in_gold.size(), step = std::max<std::size_t>(1, n / 400);
    std::size_t hits = 0, hetero_seen = 0, hetero_hits = 0;
    const std::size_t cuts[] = {250, 500, 1000, 2000, 5000};
    c.cutoffs = "<table class=\"cutoffs\"><tr><th>top</th><th>precision, all</th><th>precision, heterotypic</th></tr>";
    std::map<std::size_t, std::string> hetero_at;
    for (std::size_t i = 0; i < n; ++i) {
        const bool in = in_gold[i] != 0;
        hits += in;
        if (hetero[i]) {
            ++hetero_seen;
            hetero_hits += in;
            if ((hetero_seen % step == 0 || hetero_seen == 1) && relevant_hetero > 0) {
                c.hetero[0].emplace_back(static_cast<double>(hetero_seen), static_cast<double>(hetero_hits) / hetero_seen);
                c.hetero[1].emplace_back(static_cast<double>(hetero_seen),
                                         static_cast<double>(hetero_hits) / static_cast<double>(relevant_hetero));
            }
            for (std::size_t cut : cuts) {
                if (hetero_seen == cut) hetero_at[cut] = number(100.0 * hetero_hits / cut, "%.1f%%");
            }
        }
        if ((i + 1) % step == 0 || i == 0 || i + 1 == n) {
            c.points[0].emplace_back(static_cast<double>(i + 1), static_cast<double>(hits) / (i + 1));
            c.points[1].emplace_back(static_cast<double>(i + 1),
                                     relevant_all == 0 ? 0.0 : static_cast<double>(hits) / relevant_all);
        }
        for (std::size_t cut : cuts) {
            if (i + 1 == cut) {
                c.cutoffs += "<tr><td>" + std::to_string(cut) + "</td><td>" + number(100.0 * hits / cut, "%.1f%%") +
                             "</td><td>HETERO" + std::to_string(cut) + "</td></tr>";
            }
        }
    }
    for (std::size_t cut : cuts) {
        const std::string mark = "HETERO" + std::to_string(cut);
        const std::size_t at = c.cutoffs.find(mark);
        if (at != std::string::npos) c.cutoffs.replace(at, mark.size(), hetero_at.count(cut) ? hetero_at[cut] : "-");
    }
    c.cutoffs += "</table>\n";
    return c;
}

std::string line_chart(const std::string& id, const std::string& title, const Curves& c, int which, double x_max,
                       std::pair<double, double> base) {
    std::string svg = "<figure><figcaption>" + escaped(title) + "</figcaption><svg id=\"" + id +
                      "\" class=\"chart\" viewBox=\"0 0 620 250\" role=\"img\"><title>" + escaped(title) + "</title>";
    svg += "<line x1=\"50\" y1=\"210\" x2=\"610\" y2=\"210\" class=\"axis\"/><line x1=\"50\" y1=\"10\" x2=\"50\" "
           "y2=\"210\" class=\"axis\"/>";
    svg += polyline(c.points[which], x_max, "all") + polyline(c.hetero[which], x_max, "hetero");
    for (const auto& [rate, kind] : {std::pair{base.first, "all"}, std::pair{base.second, "hetero"}}) {
        if (rate < 0) continue;
        const std::string y = number(210 - 200 * rate, "%.1f");
        svg += std::string("<line x1=\"50\" y1=\"") + y + "\" x2=\"610\" y2=\"" + y + "\" class=\"base " + kind +
               "\"><title>base rate, " + (std::string(kind) == "all" ? "all" : "heterotypic") + " pairs: " + number(100 * rate, "%.2f") + "%</title></line>";
    }
    if (base.first >= 0) {
        svg += "<text x=\"605\" y=\"66\" text-anchor=\"end\">dashed: the base rate (chance)</text>";
    }
    svg += "<text x=\"45\" y=\"20\" text-anchor=\"end\">1</text><text x=\"45\" y=\"210\" text-anchor=\"end\">0</text>"
           "<text x=\"610\" y=\"228\" text-anchor=\"end\">" +
           number(x_max) + "</text><text x=\"50\" y=\"228\">1</text><text x=\"330\" y=\"245\" "
           "text-anchor=\"middle\">rank (log scale)</text>";
    // The legend right-aligned inside the chart, whole at any width.
    svg += "<text x=\"605\" y=\"30\" class=\"all\" text-anchor=\"end\">all pairs</text><text x=\"605\" y=\"48\" "
           "class=\"hetero\" text-anchor=\"end\">heterotypic</text>";
    return svg + "</svg></figure>\n";
}

}  // namespace ddinfer
