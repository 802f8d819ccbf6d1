// veltmoor-batch: the headless front end. Parses the command line and runs a command over
// the simulation core, writing its outputs into a folder.
#pragma once

#include <ostream>

namespace veltmoor {

// Exit codes: 0 done, 1 a failure while running or writing, 2 bad arguments or settings.
int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace veltmoor
