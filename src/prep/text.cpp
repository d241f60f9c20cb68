#include "prep/text.h"

#include <algorithm>
#include <cstdlib>

#include "core/lines.h"

namespace ddinfer {

std::vector<std::string> split(const std::string& line, std::string_view separators) {
    std::vector<std::string> fields;
    if (separators == "\t") {
        for (std::size_t pos = 0;;) {
            const std::size_t tab = line.find('\t', pos);
            fields.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
            if (tab == std::string::npos) return fields;
            pos = tab + 1;
        }
    }
    for (std::size_t pos = 0; (pos = line.find_first_not_of(separators, pos)) != std::string::npos;) {
        const std::size_t end = line.find_first_of(separators, pos);
        fields.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end;
    }
    return fields;
}

bool next_line(std::istream& in, std::string& line, const std::string& file, long number) {
    if (!getline_bounded(in, line, file, number)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

TableRow table_row(const std::string& line, std::string_view separators, bool comments, bool header,
                   bool& header_seen, std::vector<std::string>& f) {
    if (comments && !line.empty() && line[0] == '#') return TableRow::skip;
    f = split(line, separators);
    if (f.empty()) return TableRow::skip;
    if (header && !header_seen) {
        header_seen = true;
        return TableRow::skip;
    }
    return f.size() < 2 ? TableRow::one_name : TableRow::pair;
}

std::string first_of_list(const std::string& field) { return field.substr(0, field.find('|')); }

std::string strip_number_suffix(const std::string& name, char mark) {
    const std::size_t at = name.rfind(mark);
    if (at == std::string::npos || at == 0 || at + 1 == name.size()) return name;
    if (name.find_first_not_of("0123456789", at + 1) != std::string::npos) return name;
    return name.substr(0, at);
}

std::string strip_version(const std::string& name) {
    const std::size_t letters = name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    if (letters == 0 || letters == std::string::npos) return name;
    const std::size_t dot = name.find_first_not_of("0123456789", letters);
    if (dot == letters || dot == std::string::npos || name[dot] != '.') return name;
    if (dot + 1 == name.size() || name.find_first_not_of("0123456789", dot + 1) != std::string::npos) return name;
    return name.substr(0, dot);
}

bool unwritable_name(const std::string& name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f) return true;
    }
    return false;
}

long whole_number(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && end == text.c_str() + text.size() ? value : -1;
}

int column(const std::vector<std::string>& header, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const auto it = std::find(header.begin(), header.end(), name);
        if (it != header.end()) return static_cast<int>(it - header.begin());
    }
    return -1;
}

std::string place(const std::string& file, long line) { return file + ":" + std::to_string(line); }

}  // namespace ddinfer
