// Readers of the two input files: the interaction list (a count line, then
// one pair of protein names a line) and the domain membership file (a count
// line, then "DOMAIN: PROT PROT ..." a line).
//
// Proteins are numbered from 0 by first appearance in the interaction list;
// domains from 0 in the order of their lines, counting only lines that keep
// at least one protein of the interaction list. Names are compared byte for
// byte. Nothing has fixed room: lines, proteins per domain and domains per
// protein all grow as needed.
#pragma once

#include <istream>
#include <memory>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/network.h"

namespace ddinfer {

// Where a reader prints its count lines and warnings.
struct Streams {
    std::ostream& out;
    std::ostream& err;
};

// Reads the interaction list, then the domain file, printing
// "Interacting protein pairs", "Total proteins" and "Total domains".
// Throws Error for a file that cannot be opened or holds bad input. A file
// holding fewer lines than its count line declares is read as it is with a
// warning (the classic reading), or, with `counts_bind`, refused as cut
// short.
void readdata(protdom& network, inter_table& pint, const std::string& pint_path, const std::string& dom_path,
              const Streams& streams, bool counts_bind = false);

// The pair lines of an interaction list whose count line has been read.
// `declared` is the count from line 1; pint.n becomes the number of pair
// lines actually read (a warning goes to streams.err when they differ).
void readpint(protdom& network, inter_table& pint, std::istream& in, const std::string& file, int declared,
              const Streams& streams, bool counts_bind = false);

// What the domain file held beyond the kept memberships, for the input
// check: every member name as written, the names that match no protein,
// and the domain names that look like mistakes.
struct DomainFileNotes {
    std::vector<std::string> members;     // every member name, in file order
    std::vector<std::string> unmatched;   // the first few that name no protein
    std::string repeated;                 // a domain name on two lines, or ""
    long repeated_first = 0, repeated_again = 0;  // its lines
    long repeated_names = 0;              // how many names stand on two lines or more
    std::string odd_name;                 // a name ending in a space or holding a comma
};

// The domain lines of a domain file whose count line has been read; expects
// the proteins of readpint. protdom.ndom holds the declared count on entry
// and the number of kept domains on return.
void creat_protdom(protdom& network, std::istream& in, const std::string& file, const Streams& streams,
                   DomainFileNotes* notes = nullptr, bool counts_bind = false);

// The input check after both files are read: one summary line on
// streams.err (proteins with a domain, modelled pairs, repeated pairs) and
// warnings for names of two kinds or domain lines that look like mistakes.
// Throws Error when no protein of the interaction list is named in the
// domain file, with examples of the names of each.
void check_inputs(const protdom& network, const inter_table& pint, const DomainFileNotes& notes,
                  const std::string& pint_path, const std::string& dom_path, const Streams& streams);

// Opens a file for reading, gzip-compressed, zipped (its one file, or
// `member`) or plain, "-" for standard input; throws Error "PATH: cannot
// open: REASON".
std::unique_ptr<std::istream> open_input(const std::string& path, const std::string& member = "");

// The integer at the start of line 1 (leading white space and a sign
// allowed, the rest of the line ignored). Throws Error naming file:1.
int read_count_line(std::istream& in, const std::string& file, const std::string& what);

}  // namespace ddinfer
