// driver/: the classic command, ddinfer itself, above cli/.
//
// The ddinfer command: read the two inputs, build the candidate pairs, write
// the programme, run the solver, read its report and write the inferred
// pairs, each stage once, in that order.
#pragma once

#include <iosfwd>

#include "solve/process.h"

namespace ddinfer {

// Exit statuses: 0 when every stage succeeded; 1 for unreadable or bad
// input, or a stage that failed (the later stages still run); 2 for a
// mistake in the call.
int ddinfer_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
