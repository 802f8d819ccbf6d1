#include "batch/slurm_chain.h"

#include <regex>
#include <sstream>

#include "batch/batch_options.h"

namespace veltmoor {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kChainFormat = "veltmoor slurm chain 1";

std::string Str(std::uint64_t n) {
  return std::to_string(n);
}

}  // namespace

fs::path SlurmChain::PartFolder(std::uint64_t stage, std::uint64_t shard) const {
  const fs::path parts = folder / "parts";
  return Staged() ? parts / ("stage" + Str(stage)) / ("part" + Str(shard))
                  : parts / ("part" + Str(shard));
}

fs::path SlurmChain::MergeFolder(std::uint64_t stage) const {
  return stage == stages ? folder / "result" : folder / ("stage" + Str(stage));
}

std::string SlurmChain::ShardLogPattern(std::uint64_t stage) const {
  return (folder / kLogFolder / ((Staged() ? "stage" + Str(stage) + "-" : "") + "shard-%a-%A.out"))
      .string();
}

std::string SlurmChain::MergeLogPattern(std::uint64_t stage) const {
  return (folder / kLogFolder / ((Staged() ? "stage" + Str(stage) + "-" : "") + "merge-%j.out"))
      .string();
}

std::string SlurmChain::ShardSubmit(std::uint64_t stage, const std::string& tasks) const {
  std::string line = "--array=" + tasks;
  if (Staged()) {
    line += " --output=" + ShellQuote(ShardLogPattern(stage));
  }
  line += " " + ShellQuote((folder / kShardScript).string());
  return Staged() ? line + " " + Str(stage) : line;
}

std::string SlurmChain::MergeSubmit(std::uint64_t stage) const {
  std::string line;
  if (Staged()) {
    line += "--output=" + ShellQuote(MergeLogPattern(stage)) + " ";
  }
  line += ShellQuote((folder / kMergeScript).string());
  return Staged() ? line + " " + Str(stage) : line;
}

void CheckChainFolderName(const fs::path& folder) {
  // #SBATCH lines are not read by a shell, and Slurm gives '%' a meaning of its own.
  static const std::regex kSafe("[A-Za-z0-9._/+,@=:-]+");
  if (!std::regex_match(folder.string(), kSafe)) {
    throw UsageError("--out '" + folder.string() +
                     "': a chain folder's path may hold letters, digits and . _ / + , @ = : - "
                     "only, for Slurm's #SBATCH lines take no quotes");
  }
}

void CheckSlurmFields(const SlurmChain& chain) {
  // minutes, M:S, H:M:S, D-H, D-H:M, D-H:M:S
  static const std::regex kTime("([0-9]{1,4}-)?[0-9]{1,6}(:[0-9]{1,2}){0,2}");
  static const std::regex kName("[A-Za-z0-9._-]{1,64}");
  if (!chain.time.empty() && !std::regex_match(chain.time, kTime)) {
    throw UsageError("--time '" + chain.time +
                     "' is no Slurm time limit (minutes, H:MM:SS or D-HH:MM:SS)");
  }
  for (const auto& [option, value] :
       {std::pair{"--partition", chain.partition}, std::pair{"--account", chain.account}}) {
    if (!value.empty() && !std::regex_match(value, kName)) {
      throw UsageError(std::string(option) + " '" + value +
                       "' is no Slurm name (letters, digits, . _ - only)");
    }
  }
}

std::string ShellQuote(const std::string& text) {
  static const std::regex kPlain("[A-Za-z0-9._/+,@=:%-]+");
  if (std::regex_match(text, kPlain)) {
    return text;
  }
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

namespace {

std::string Header(const SlurmChain& chain, const std::string& job_name,
                   const std::string& output) {
  std::ostringstream s;
  s << "#!/bin/bash\n";
  s << "#SBATCH --job-name=" << job_name << "\n";
  s << "#SBATCH --cpus-per-task=1\n";
  s << "#SBATCH --mem=" << chain.memory_mib << "M\n";
  if (!chain.time.empty()) {
    s << "#SBATCH --time=" << chain.time << "\n";
  }
  if (!chain.partition.empty()) {
    s << "#SBATCH --partition=" << chain.partition << "\n";
  }
  if (!chain.account.empty()) {
    s << "#SBATCH --account=" << chain.account << "\n";
  }
  s << "#SBATCH --output=" << output << "\n";
  return s.str();
}

// The stage comes as the script's argument: no login shell per task, as --export would
// cost.
std::string StageArgument(const SlurmChain& chain) {
  if (!chain.Staged()) {
    return "";
  }
  return "stage=${1:-1}\n"
         "case $stage in '' | *[!0-9]*) echo \"stage '$stage' is no number\" >&2; exit 2 ;; "
         "esac\n"
         "if [ \"$stage\" -lt 1 ] || [ \"$stage\" -gt " +
         Str(chain.stages) + " ]; then echo \"no stage $stage\" >&2; exit 2; fi\n";
}

std::string ShardScript(const SlurmChain& chain) {
  std::ostringstream s;
  s << Header(chain, "veltmoor-" + chain.command, chain.ShardLogPattern(1));
  s << "#SBATCH --array=1-" << chain.shards << "\n";
  s << "# One array task per shard" << (chain.Staged() ? " of the stage given as argument" : "")
    << "; a task whose part is already complete ends at once.\n";
  s << "set -euo pipefail\n";
  s << StageArgument(chain);
  s << "task=${SLURM_ARRAY_TASK_ID:?submit this script with sbatch}\n";
  s << "cd " << ShellQuote(chain.workdir.string()) << "\n";
  std::string part = (chain.folder / "parts").string();
  if (chain.Staged()) {
    s << "previous=()\n";
    s << "if [ \"$stage\" -gt 1 ]; then previous=(--previous \"" << chain.folder.string()
      << "/stage$((stage - 1))\"); fi\n";
    part += "/stage$stage";
  }
  s << ShellQuote(chain.program.string()) << " " << chain.command;
  for (const std::string& arg : chain.args) {
    s << " " << ShellQuote(arg);
  }
  s << (chain.Staged() ? " \"${previous[@]}\"" : "") << " \\\n";
  s << "  --shard \"$task/" << chain.shards << "\" --out \"" << part << "/part$task\" || {\n";
  s << "  code=$?\n";
  s << "  echo \"veltmoor-chain: shard $task/" << chain.shards
    << " failed with exit code $code\" >&2\n";
  s << "  exit \"$code\"\n";
  s << "}\n";
  return s.str();
}

std::string MergeScript(const SlurmChain& chain) {
  std::ostringstream s;
  s << Header(chain, "veltmoor-" + chain.command + "-merge", chain.MergeLogPattern(1));
  s << "# Merges every shard's part" << (chain.Staged() ? " of the stage given as argument" : "")
    << " into what one process writes.\n";
  s << "set -euo pipefail\n";
  s << StageArgument(chain);
  s << "cd " << ShellQuote(chain.workdir.string()) << "\n";
  const std::string parts =
      (chain.folder / "parts").string() + (chain.Staged() ? "/stage$stage" : "");
  s << "parts=()\n";
  s << "for ((k = 1; k <= " << chain.shards << "; k++)); do parts+=(\"" << parts
    << "/part$k\"); done\n";
  if (chain.Staged()) {
    s << "out=\"" << chain.folder.string() << "/stage$stage\"\n";
    s << "if [ \"$stage\" -eq " << chain.stages << " ]; then out=\""
      << chain.MergeFolder(chain.stages).string() << "\"; fi\n";
  } else {
    s << "out=\"" << chain.MergeFolder(1).string() << "\"\n";
  }
  s << ShellQuote(chain.program.string()) << " merge \"$out\" \"${parts[@]}\" || {\n";
  s << "  code=$?\n";
  s << "  echo \"veltmoor-chain: merge failed with exit code $code\" >&2\n";
  s << "  exit \"$code\"\n";
  s << "}\n";
  return s.str();
}

std::string SubmitScript(const SlurmChain& chain) {
  std::ostringstream s;
  s << "#!/bin/bash\n";
  s << "# Submits the chain: each merge waits for every task of its array (afterok)";
  s << (chain.Staged() ? ", each stage's array for the merge of the stage before" : "");
  s << ".\n# Follow it with: " << ShellQuote(chain.program.string()) << " status "
    << chain.folder.string() << "\n";
  s << "set -euo pipefail\n";
  s << "mkdir -p " << (chain.folder / kLogFolder).string() << "\n";
  s << "jobs=" << (chain.folder / kJobsFile).string() << "\n";
  s << "submit() {\n";
  s << "  local id\n";
  s << "  id=$(sbatch --parsable \"$@\")\n";
  s << "  echo \"${id%%;*}\"\n";  // a multi-cluster site answers "id;cluster"
  s << "}\n";
  std::string dependency;
  for (std::uint64_t stage = 1; stage <= chain.stages; ++stage) {
    const std::string n = Str(stage);
    s << "shards" << n << "=$(submit " << dependency
      << chain.ShardSubmit(stage, "1-" + Str(chain.shards)) << ")\n";
    s << "echo \"shards " << n << " $shards" << n << "\" >> \"$jobs\"\n";
    s << "merge" << n << "=$(submit --dependency=afterok:$shards" << n << " "
      << chain.MergeSubmit(stage) << ")\n";
    s << "echo \"merge " << n << " $merge" << n << "\" >> \"$jobs\"\n";
    dependency = "--dependency=afterok:$merge" + n + " ";
  }
  s << "echo \"submitted: the result lands in " << chain.MergeFolder(chain.stages).string()
    << "\"\n";
  return s.str();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ChainFiles(const SlurmChain& chain) {
  return {{kShardScript, ShardScript(chain)},
          {kMergeScript, MergeScript(chain)},
          {kSubmitScript, SubmitScript(chain)},
          {kChainFile, ChainToJson(chain).dump(2) + "\n"}};
}

json ChainToJson(const SlurmChain& chain) {
  return {{"Format", kChainFormat},
          {"Command", chain.command},
          {"Arguments", chain.args},
          {"Shards", chain.shards},
          {"Stages", chain.stages},
          {"MemoryMiB", chain.memory_mib},
          {"Partition", chain.partition},
          {"Time", chain.time},
          {"Account", chain.account},
          {"Program", chain.program.string()},
          {"WorkingFolder", chain.workdir.string()}};
}

SlurmChain ChainFromJson(const json& j, const fs::path& folder) {
  const std::string source = (folder / kChainFile).string();
  SlurmChain chain;
  try {
    if (j.at("Format") != kChainFormat) {
      throw UsageError("'" + source + "' is no chain veltmoor-batch slurm wrote");
    }
    chain.command = j.at("Command").get<std::string>();
    chain.args = j.at("Arguments").get<std::vector<std::string>>();
    chain.shards = j.at("Shards").get<std::uint64_t>();
    chain.stages = j.at("Stages").get<std::uint64_t>();
    chain.memory_mib = j.at("MemoryMiB").get<std::uint64_t>();
    chain.partition = j.at("Partition").get<std::string>();
    chain.time = j.at("Time").get<std::string>();
    chain.account = j.at("Account").get<std::string>();
    chain.program = j.at("Program").get<std::string>();
    chain.workdir = j.at("WorkingFolder").get<std::string>();
  } catch (const nlohmann::json::exception& e) {
    throw UsageError("'" + source + "' is no chain veltmoor-batch slurm wrote: " + e.what());
  }
  // The counts size loops over the chain's folders: a damaged file must not make them huge.
  constexpr std::uint64_t kMaxShards = 1000000;
  constexpr std::uint64_t kMaxStages = 100;
  if ((chain.command != "study" && chain.command != "calibrate" && chain.command != "forecast") ||
      chain.shards < 1 || chain.shards > kMaxShards || chain.stages < 1 ||
      chain.stages > kMaxStages || (!chain.Staged() && chain.stages != 1)) {
    throw UsageError("'" + source + "' is no chain veltmoor-batch slurm wrote");
  }
  chain.folder = folder;
  return chain;
}

}  // namespace veltmoor
