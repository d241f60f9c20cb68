// What the readers of downloads share: splitting lines, the line ends of
// either system, two-column tables, the cleaning of ids and the test of a
// name that the input files cannot hold.
#pragma once

#include <initializer_list>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace ddinfer {

// The fields of a line: at every tab when `separators` is "\t" (empty
// fields kept), else the runs between any of the separators.
std::vector<std::string> split(const std::string& line, std::string_view separators);

// getline without the CR of a CRLF line end; throws Error "FILE:NUMBER: ..."
// for a line of over 1 MiB (`number` is the line's own).
bool next_line(std::istream& in, std::string& line, const std::string& file, long number);

// A line of a two-column table: passed over (a comment, a blank line, the
// header line), a line of one name, or a pair in f[0] and f[1].
enum class TableRow { skip, one_name, pair };
TableRow table_row(const std::string& line, std::string_view separators, bool comments, bool header,
                   bool& header_seen, std::vector<std::string>& f);

// The first of several ids separated by a bar.
std::string first_of_list(const std::string& field);

// Drops a suffix of a mark and digits: "P12345-2" -> "P12345".
std::string strip_number_suffix(const std::string& name, char mark);

// Drops the version of a versioned accession, letters, digits, a dot and
// digits ("PF00069.27" -> "PF00069"); any other id ("G3DSA:1.10.245.10",
// "cd00180") is left whole.
std::string strip_version(const std::string& name);

// A name the two input files cannot hold: they separate names by white
// space, and a control byte is never part of an accession.
bool unwritable_name(const std::string& name);

// The whole text as a number, or -1.
long whole_number(const std::string& text);

// The index of the first of `names` in a header, or -1.
int column(const std::vector<std::string>& header, std::initializer_list<const char*> names);

// "file:line"
std::string place(const std::string& file, long line);

}  // namespace ddinfer
