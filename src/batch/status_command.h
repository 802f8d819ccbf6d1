// veltmoor-batch status: where a Slurm chain written by `slurm` stands, read from its folder
// alone (the parts, the merged results and the Slurm logs), and the commands that finish it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "batch/slurm_chain.h"

namespace veltmoor {

// A stage of a chain as its folder shows it.
struct StageStatus {
  std::uint64_t stage = 1;
  bool merged = false;
  std::vector<std::uint64_t> done;
  std::vector<std::uint64_t> failed;   // a task whose log tells it ended without its part
  std::vector<std::uint64_t> missing;  // not run yet, running, or lost without a word
  bool merge_failed = false;
};

std::vector<StageStatus> ReadChainStatus(const SlurmChain& chain);

// Prints the chain's state and what to run next. 0: the result is there; 1: something is
// missing or failed; throws UsageError for a folder that holds no chain.
int RunStatus(const std::string& folder, std::ostream& out);

}  // namespace veltmoor
