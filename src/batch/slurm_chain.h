// A Slurm job chain for a sharded study, calibration or forecast: the array of shards, the
// merge that waits for it, and for a calibration one such pair per stage. The chain folder
// holds the scripts, the parts, the logs and the result, so `status` can read where a chain
// stands from the folder alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace veltmoor {

inline constexpr const char* kChainFile = "chain.json";
inline constexpr const char* kShardScript = "shard.sh";
inline constexpr const char* kMergeScript = "merge.sh";
inline constexpr const char* kSubmitScript = "submit.sh";
// submit.sh appends a line "shards|merge STAGE JOBID" per job it submits.
inline constexpr const char* kJobsFile = "jobs.txt";
inline constexpr const char* kLogFolder = "logs";

struct SlurmChain {
  std::string command;            // study, calibrate or forecast
  std::vector<std::string> args;  // the command line after the command, without --shard, --out
  std::uint64_t shards = 1;       // per stage
  std::uint64_t stages = 1;       // a calibration's; one for the others
  std::uint64_t memory_mib = 0;   // asked of Slurm per task
  std::string partition;          // empty: the cluster's default
  std::string time;               // empty: the partition's default
  std::string account;            // empty: the user's default
  std::filesystem::path program;  // this veltmoor-batch, absolute
  std::filesystem::path folder;   // the chain folder, absolute
  std::filesystem::path workdir;  // where the command's relative file names resolve

  bool Staged() const { return command == "calibrate"; }
  // Stages and shards count from 1, as the array's task ids do.
  std::filesystem::path PartFolder(std::uint64_t stage, std::uint64_t shard) const;
  // A stage's merged result; the last stage's is the chain's result.
  std::filesystem::path MergeFolder(std::uint64_t stage) const;
  // Where a shard's log lands: Slurm's pattern, %a the task id, %A the array's job id.
  std::string ShardLogPattern(std::uint64_t stage) const;
  std::string MergeLogPattern(std::uint64_t stage) const;
  // The sbatch command line (shell-quoted) that submits `tasks` ("1-8", "3,7") of a stage.
  std::string ShardSubmit(std::uint64_t stage, const std::string& tasks) const;
  std::string MergeSubmit(std::uint64_t stage) const;
};

// Throws UsageError for a folder name Slurm's #SBATCH lines or a shell would mangle.
void CheckChainFolderName(const std::filesystem::path& folder);
// Throws UsageError for a --time, --partition or --account Slurm would refuse.
void CheckSlurmFields(const SlurmChain& chain);

// A word the shell reads back as exactly `text`.
std::string ShellQuote(const std::string& text);

// The chain's files by name: the scripts and chain.json.
std::vector<std::pair<std::string, std::string>> ChainFiles(const SlurmChain& chain);

nlohmann::json ChainToJson(const SlurmChain& chain);
// Throws UsageError for a chain.json this program did not write.
SlurmChain ChainFromJson(const nlohmann::json& json, const std::filesystem::path& folder);

}  // namespace veltmoor
