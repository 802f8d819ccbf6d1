#include "batch/slurm_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <set>

#include "batch/batch_options.h"
#include "batch/slurm_chain.h"
#include "batch/world_commands.h"
#include "io/atomic_file.h"
#include "io/output_unit.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;

struct SlurmOptions {
  std::uint64_t shards = 0;
  std::string partition;
  std::string time;
  std::string account;
  std::uint64_t mem_margin_mib = 256;  // the program itself, its charts and files
  std::string out;
};

// The options of the chain, each with one value; the rest is the command the chain runs.
const std::set<std::string> kChainOptions = {"--shards",  "--partition",  "--time",
                                             "--account", "--mem-margin", "--out"};

void SplitArguments(const std::vector<std::string>& args, std::vector<std::string>& chain,
                    std::vector<std::string>& command) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      chain.push_back(arg);
      continue;
    }
    if (kChainOptions.count(arg.substr(0, arg.find('='))) == 0) {
      command.push_back(arg);
      continue;
    }
    chain.push_back(arg);
    if (arg.find('=') == std::string::npos && i + 1 < args.size()) {
      chain.push_back(args[++i]);
    }
  }
}

void AddChainOptions(CLI::App& app, SlurmOptions& options) {
  app.add_option("--shards", options.shards, "array tasks per stage")
      ->required()
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1000000}));
  app.add_option("--partition", options.partition, "the Slurm partition (default: the cluster's)");
  app.add_option("--time", options.time, "each task's time limit, e.g. 2:00:00");
  app.add_option("--account", options.account, "the Slurm account to charge");
  app.add_option("--mem-margin", options.mem_margin_mib,
                 "MiB asked for on top of twice the world's own size (default 256)")
      ->check(CLI::Range(std::uint64_t{0}, std::uint64_t{1} << 30U));
  app.add_option("--out", options.out, "the chain folder")->required()->check(FolderName());
}

// The chain sets where every shard writes and what it starts from.
void CheckCommand(const std::vector<std::string>& command) {
  if (command.empty() || (command.front() != "study" && command.front() != "calibrate" &&
                          command.front() != "forecast")) {
    throw UsageError(
        "slurm: give the study, calibrate or forecast command line to run, e.g. "
        "veltmoor-batch slurm study mindist --seed 1 --shards 4 --out chain");
  }
  for (const std::string& arg : command) {
    const std::string name = arg.substr(0, arg.find('='));
    if (name == "--shard" || name == "--previous") {
      throw UsageError("slurm: the chain sets " + name + " of every task itself; leave it out");
    }
  }
  if (std::find(command.begin(), command.end(), "--seed") == command.end() &&
      std::none_of(command.begin(), command.end(),
                   [](const std::string& a) { return a.rfind("--seed=", 0) == 0; })) {
    throw UsageError("slurm: the shards need --seed, so that they are parts of one " +
                     command.front());
  }
}

constexpr std::uint64_t kMiB = 1ULL << 20U;

}  // namespace

int RunSlurmCommand(const std::vector<std::string>& args, const ShapeOfCommand& shape_of,
                    std::ostream& out, std::ostream& err) {
  std::vector<std::string> chain_args;
  std::vector<std::string> command;
  SplitArguments(args, chain_args, command);
  CLI::App app{
      "veltmoor-batch slurm (study ... | calibrate ... | forecast ...) --shards N "
      "--out DIR: writes a Slurm job chain"};
  SlurmOptions options;
  AddChainOptions(app, options);
  std::vector<std::string> reversed(chain_args.rbegin(), chain_args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help() << std::flush;
    return out ? 0 : 1;
  } catch (const CLI::ParseError& e) {
    err << "veltmoor-batch slurm: " << e.what() << "\n";
    return 2;
  }
  CheckCommand(command);

  SlurmChain chain;
  chain.command = command.front();
  chain.args.assign(command.begin() + 1, command.end());
  chain.shards = options.shards;
  chain.partition = options.partition;
  chain.time = options.time;
  chain.account = options.account;
  CheckSlurmFields(chain);
  chain.folder = OutputFolderPath(options.out);
  CheckChainFolderName(chain.folder);
  chain.workdir = fs::current_path();
  // The tasks run this very build, wherever the nodes' PATH points.
  chain.program = fs::read_symlink("/proc/self/exe");

  const ChainShape shape = shape_of(command);
  if (options.shards > shape.runs_per_stage) {
    throw UsageError("slurm: --shards " + std::to_string(options.shards) + " is more than the " +
                     std::to_string(shape.runs_per_stage) + " runs" +
                     (chain.Staged() ? " of a stage" : "") +
                     "; a shard beyond them would have nothing to do");
  }
  chain.stages = shape.stages;
  // A town grows well past its empty world; twice it, plus the program itself.
  chain.memory_mib = (2 * shape.world_bytes + kMiB - 1) / kMiB + options.mem_margin_mib;

  OutputUnit unit(chain.folder);
  for (const auto& [name, text] : ChainFiles(chain)) {
    WriteFileAtomically((unit.Staging() / name).string(), text);
  }
  unit.Commit();
  out << "bash " << ShellQuote((chain.folder / kSubmitScript).string()) << "\n";
  return 0;
}

}  // namespace veltmoor
