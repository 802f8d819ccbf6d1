// veltmoor-batch's merge command: the shards of a split study put back together into what
// one process would have written.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace veltmoor {

struct MergeOptions {
  std::string out;
  std::vector<std::string> parts;  // the output folders of the shards, in any order
};

// Checks that the parts are every shard of one study exactly once, merges their points and
// writes what the whole study run in one process writes. Throws UsageError for parts that
// do not belong together.
int RunMerge(const MergeOptions& options, std::ostream& err);

}  // namespace veltmoor
