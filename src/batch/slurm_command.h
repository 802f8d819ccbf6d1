// veltmoor-batch slurm: writes a ready Slurm job chain for a sharded study, calibration or
// forecast into a folder and says how to submit it. Nothing is submitted here: the user's
// cluster, account and moment stay the user's.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace veltmoor {

// What one run of the command costs and how many there are.
struct ChainShape {
  std::uint64_t runs_per_stage = 0;
  std::uint64_t stages = 1;
  std::uint64_t world_bytes = 0;
};

// Checks a study, calibrate or forecast command line as veltmoor-batch would and tells its
// shape; throws UsageError (or a parse error) for one it would refuse.
using ShapeOfCommand = std::function<ChainShape(const std::vector<std::string>& command)>;

// `args`: everything after "slurm". Exit 0 with the chain written, 2 for bad input with
// nothing written.
int RunSlurmCommand(const std::vector<std::string>& args, const ShapeOfCommand& shape_of,
                    std::ostream& out, std::ostream& err);

}  // namespace veltmoor
