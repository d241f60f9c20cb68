// report/: the HTML page of a run and its charts, above evidence/, whose
// tables and figures it shows.
//
// ddinfer-report: one self-contained HTML page of a run, to look at and to
// show: the inputs and their check, the settings the tables record, charts
// of the evidence (inline SVG, so the page needs no network and stays small)
// and the top pairs in a table that sorts and filters.
#pragma once

#include <iosfwd>

namespace ddinfer {

// Exit statuses: 0 done, 1 bad input or a page that cannot be written, 2 a
// mistake in the call.
int report_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
