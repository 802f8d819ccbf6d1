#include "batch/shards.h"

#include <charconv>
#include <filesystem>
#include <string_view>

#include "batch/batch_options.h"
#include "io/output_unit.h"

namespace veltmoor {

namespace fs = std::filesystem;

std::optional<Shard> ParseShard(const std::string& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  const auto bad = [&text] {
    return UsageError("--shard expects K/N with 1 <= K <= N (shards count from 1), got '" + text +
                      "'");
  };
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) {
    throw bad();
  }
  std::uint64_t number = 0;
  std::uint64_t count = 0;
  const auto parse = [](std::string_view part, std::uint64_t& value) {
    const auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    return ec == std::errc() && ptr == part.data() + part.size();
  };
  const std::string_view view(text);
  if (!parse(view.substr(0, slash), number) || !parse(view.substr(slash + 1), count) ||
      number < 1 || number > count) {
    throw bad();
  }
  return Shard{number - 1, count};
}

// Runs of `shard` among the runs [0, runs).
std::uint64_t ShardRunsBefore(std::uint64_t runs, const Shard& shard) {
  return runs / shard.count + (runs % shard.count > shard.index ? 1 : 0);
}

void ReportShardDone(const std::string& command, const Shard& shard, const std::string& out,
                     std::ostream& err) {
  err << command << " (shard " << shard.Text() << "): '" << out
      << "' already holds this shard's complete part; nothing to run\n";
}

bool FoldersNest(const std::string& a, const std::string& b) {
  const fs::path first = OutputFolderPath(a);
  const fs::path second = OutputFolderPath(b);
  return IsWithin(first, second) || IsWithin(second, first);
}

// The merge's output folder replaces what is there, so it may be no part, and neither hold
// nor lie inside one.
void CheckOutsideParts(const std::string& out, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (FoldersNest(out, part)) {
      throw UsageError("the merge's output folder '" + out + "' would replace the part '" + part +
                       "'; write the merged study to another folder");
    }
  }
}

}  // namespace veltmoor
