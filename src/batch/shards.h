// Shards: the commands that split their runs among processes (study, calibrate) and the
// merge that puts the parts back together.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace veltmoor {

struct Shard {
  std::uint64_t index = 0;  // from 0, as the runs count
  std::uint64_t count = 1;
  std::uint64_t Number() const { return index + 1; }  // from 1, as the command line counts
  std::string Text() const { return std::to_string(Number()) + "/" + std::to_string(count); }
};

// "K/N" with K from 1; none for an empty text. Throws UsageError for anything else.
std::optional<Shard> ParseShard(const std::string& text);
// Runs of `shard` among the runs [0, runs).
std::uint64_t ShardRunsBefore(std::uint64_t runs, const Shard& shard);
// Tells that `out` already held the shard's complete part, so nothing ran.
void ReportShardDone(const std::string& command, const Shard& shard, const std::string& out,
                     std::ostream& err);
// Whether one of two folders is the other or lies inside it, as the command line names them.
bool FoldersNest(const std::string& a, const std::string& b);
// The merge's output folder replaces what is there, so it may be no part, and neither hold
// nor lie inside one. Throws UsageError.
void CheckOutsideParts(const std::string& out, const std::vector<std::string>& parts);

}  // namespace veltmoor
