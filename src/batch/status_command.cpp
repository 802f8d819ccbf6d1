#include "batch/status_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "batch/batch_options.h"
#include "io/input_file.h"
#include "io/output_unit.h"  // kOutputList

namespace veltmoor {

namespace {

namespace fs = std::filesystem;

// A chain.json is some hundred bytes; its command line at most some thousand.
constexpr std::uint64_t kMaxChainBytes = 1ULL << 20U;
// The end of a log says how its task ended.
constexpr std::streamoff kLogTail = std::streamoff{64} * 1024;

std::string LogTail(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
  in.seekg(std::max<std::streamoff>(0, size - kLogTail));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The script's own word for a failed task, or Slurm's for one it killed (cancelled, out of
// time, out of memory).
bool TellsFailure(const std::string& log) {
  return log.find("veltmoor-chain: ") != std::string::npos ||
         log.find("slurmstepd: error") != std::string::npos;
}

struct Logs {
  // The newest log of each (stage, shard), and of each stage's merge: a task run again
  // writes a new one, with a larger job id.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::pair<std::uint64_t, fs::path>> shards;
  std::map<std::uint64_t, std::pair<std::uint64_t, fs::path>> merges;
};

std::uint64_t Number(const std::string& digits) {
  // At most 18 digits, so the number fits.
  return digits.size() > 18 ? ~0ULL : std::stoull(digits);
}

Logs ReadLogs(const SlurmChain& chain) {
  static const std::regex kShardLog(
      "(?:stage([0-9]{1,3})-)?shard-([0-9]{1,18})-([0-9]{1,18})\\.out");
  static const std::regex kMergeLog("(?:stage([0-9]{1,3})-)?merge-([0-9]{1,18})\\.out");
  Logs logs;
  const fs::path folder = chain.folder / kLogFolder;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return logs;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    std::smatch m;
    if (std::regex_match(name, m, kShardLog)) {
      const std::uint64_t stage = m[1].matched ? Number(m[1]) : 1;
      const auto key = std::pair{stage, Number(m[2])};
      const std::uint64_t job = Number(m[3]);
      if (logs.shards.count(key) == 0 || logs.shards[key].first < job) {
        logs.shards[key] = {job, entry.path()};
      }
    } else if (std::regex_match(name, m, kMergeLog)) {
      const std::uint64_t stage = m[1].matched ? Number(m[1]) : 1;
      const std::uint64_t job = Number(m[2]);
      if (logs.merges.count(stage) == 0 || logs.merges[stage].first < job) {
        logs.merges[stage] = {job, entry.path()};
      }
    }
  }
  return logs;
}

// "shards|merge STAGE JOBID" lines of submit.sh: the newest id of each.
std::map<std::pair<std::string, std::uint64_t>, std::string> ReadJobs(const SlurmChain& chain) {
  std::map<std::pair<std::string, std::uint64_t>, std::string> jobs;
  std::ifstream in(chain.folder / kJobsFile);
  std::string kind;
  std::string stage;
  std::string id;
  static const std::regex kDigits("[0-9]{1,18}");
  while (in >> kind >> stage >> id) {
    if ((kind == "shards" || kind == "merge") && std::regex_match(stage, kDigits) &&
        std::regex_match(id, kDigits)) {
      jobs[{kind, Number(stage)}] = id;
    }
  }
  return jobs;
}

std::string List(const std::vector<std::uint64_t>& numbers) {
  std::string text;
  for (const std::uint64_t n : numbers) {
    text += (text.empty() ? "" : ",") + std::to_string(n);
  }
  return text;
}

}  // namespace

std::vector<StageStatus> ReadChainStatus(const SlurmChain& chain) {
  const Logs logs = ReadLogs(chain);
  std::vector<StageStatus> stages;
  for (std::uint64_t stage = 1; stage <= chain.stages; ++stage) {
    StageStatus status;
    status.stage = stage;
    status.merged = fs::exists(chain.MergeFolder(stage) / kOutputList);
    for (std::uint64_t shard = 1; shard <= chain.shards; ++shard) {
      // A part's folder is swapped in whole, so its manifest is there only once it is done.
      if (fs::exists(chain.PartFolder(stage, shard) / "part.json")) {
        status.done.push_back(shard);
        continue;
      }
      const auto log = logs.shards.find({stage, shard});
      const bool failed = log != logs.shards.end() && TellsFailure(LogTail(log->second.second));
      (failed ? status.failed : status.missing).push_back(shard);
    }
    const auto merge = logs.merges.find(stage);
    status.merge_failed =
        !status.merged && merge != logs.merges.end() && TellsFailure(LogTail(merge->second.second));
    stages.push_back(std::move(status));
  }
  return stages;
}

namespace {

SlurmChain ReadChain(const std::string& folder_name) {
  std::error_code ignored;
  const fs::path folder = fs::weakly_canonical(fs::absolute(folder_name), ignored);
  const fs::path file = folder / kChainFile;
  if (!fs::exists(file)) {
    throw UsageError("'" + folder_name + "' holds no " + kChainFile +
                     ": it is no chain written by veltmoor-batch slurm");
  }
  std::string text;
  try {
    text = ReadRegularFile(file, kMaxChainBytes);
  } catch (const InputFileError& e) {
    throw UsageError(e.what());
  }
  nlohmann::json json;
  try {
    json = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw UsageError("'" + file.string() + "' is not JSON: " + e.what());
  }
  return ChainFromJson(json, folder);
}

// One line per stage; the first stage not merged yet, if any.
const StageStatus* PrintStages(const SlurmChain& chain, const std::vector<StageStatus>& stages,
                               std::ostream& out) {
  const StageStatus* open = nullptr;
  for (const StageStatus& s : stages) {
    if (chain.Staged()) {
      out << "stage " << s.stage << ": ";
    }
    if (open != nullptr) {
      out << "waits for stage " << open->stage << "\n";
      continue;
    }
    out << s.done.size() << " done, " << s.missing.size() << " missing"
        << (s.missing.empty() ? "" : " (" + List(s.missing) + ")") << ", " << s.failed.size()
        << " failed" << (s.failed.empty() ? "" : " (" + List(s.failed) + ")") << "; "
        << (s.merged         ? "merged"
            : s.merge_failed ? "merge failed"
                             : "not merged")
        << "\n";
    if (!s.merged) {
      open = &s;
    }
  }
  return open;
}

using Jobs = std::map<std::pair<std::string, std::uint64_t>, std::string>;

std::string Job(const Jobs& jobs, const std::string& kind, std::uint64_t stage) {
  const auto it = jobs.find({kind, stage});
  return it == jobs.end() ? std::string() : it->second;
}

void PrintResubmit(const SlurmChain& chain, const StageStatus& s, const Jobs& jobs,
                   std::ostream& out) {
  const std::string merge_job = Job(jobs, "merge", s.stage);
  std::vector<std::uint64_t> redo = s.failed;
  redo.insert(redo.end(), s.missing.begin(), s.missing.end());
  std::sort(redo.begin(), redo.end());
  if (!s.failed.empty()) {
    out << "failed: shard" << (s.failed.size() > 1 ? "s " : " ") << List(s.failed)
        << (chain.Staged() ? " of stage " + std::to_string(s.stage) : "") << "; their logs are in "
        << (chain.folder / kLogFolder).string() << "\n";
  }
  if (!s.missing.empty()) {
    out << "missing: shard" << (s.missing.size() > 1 ? "s " : " ") << List(s.missing)
        << " (queued, running or lost: see squeue --me)\n";
  }
  out << "once none of them is queued or running, resubmit them (finished shards would end "
         "at once):\n";
  out << "  array=$(sbatch --parsable " << chain.ShardSubmit(s.stage, List(redo)) << ")\n";
  if (!merge_job.empty()) {
    out << "then release the merge job " << merge_job
        << (s.failed.empty() ? ", should it wait for ever (DependencyNeverSatisfied):\n"
                             : ", which waits for ever on the failed array:\n");
    out << "  scontrol update JobId=" << merge_job << " Dependency=afterok:${array%%;*}\n";
  } else {
    out << "then submit the merge after it:\n";
    out << "  sbatch --dependency=afterok:${array%%;*} " << chain.MergeSubmit(s.stage) << "\n";
  }
}

void PrintMergeAgain(const SlurmChain& chain, const StageStatus& s, const Jobs& jobs,
                     std::ostream& out) {
  if (!s.merge_failed) {
    const std::string merge_job = Job(jobs, "merge", s.stage);
    out << "every shard" << (chain.Staged() ? " of stage " + std::to_string(s.stage) : "")
        << " is done; the merge" << (merge_job.empty() ? "" : " job " + merge_job)
        << " is queued or running, or was never submitted (then: sbatch "
        << chain.MergeSubmit(s.stage) << ")\n";
    return;
  }
  out << "the merge failed; see its log in " << (chain.folder / kLogFolder).string()
      << ", then submit it again:\n";
  out << "  merge=$(sbatch --parsable " << chain.MergeSubmit(s.stage) << ")\n";
  const std::string next = Job(jobs, "shards", s.stage + 1);
  if (s.stage < chain.stages && !next.empty()) {
    out << "then release stage " << s.stage + 1 << ", which waits for ever on the failed merge:\n";
    out << "  scontrol update JobId=" << next << " Dependency=afterok:${merge%%;*}\n";
  }
}

}  // namespace

int RunStatus(const std::string& folder_name, std::ostream& out) {
  const SlurmChain chain = ReadChain(folder_name);
  const std::vector<StageStatus> stages = ReadChainStatus(chain);
  out << chain.command << " chain in " << chain.folder.string() << ": " << chain.shards << " shards"
      << (chain.Staged() ? " per stage, " + std::to_string(chain.stages) + " stages" : "") << "\n";
  const StageStatus* open = PrintStages(chain, stages, out);
  if (open == nullptr) {
    out << "done: the result is in " << chain.MergeFolder(chain.stages).string() << "\n";
    return 0;
  }
  const Jobs jobs = ReadJobs(chain);
  if (!open->failed.empty() || !open->missing.empty()) {
    PrintResubmit(chain, *open, jobs, out);
  } else {
    PrintMergeAgain(chain, *open, jobs, out);
  }
  return 1;
}

}  // namespace veltmoor
