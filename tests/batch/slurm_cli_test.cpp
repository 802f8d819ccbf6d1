// Shards that skip finished work, the Slurm chains `slurm` writes and what `status` reads
// from them, run as a user would; the scripts run under bash with Slurm's task variable set
// and a stand-in sbatch, so no scheduler is needed here (make test-slurm runs a real one).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/batch_process.h"
#include "support/scratch_folder.h"

namespace {

using veltmoor::testing::ReadFile;
using veltmoor::testing::Result;
using veltmoor::testing::RunShell;

namespace fs = std::filesystem;

const std::string kStudy =
    "study mindist --study-set E_valFrom=2 --study-set E_valTo=3 --study-set E_toSteps=15 "
    "--study-set E_calcVals=2 --width 200 --height 200 --seed 11";
// The target's name holds a space and a quote, which the scripts must hand on as one word.
const std::string kTarget = "the town's target.json";
const std::string kCalibrate =
    "calibrate --target 'the town'\\''s target.json' --measures NodeCount "
    "--vary E_peScale=1,0:2,5 --points 3 --runs 2 --stages 2 --seed 9 --width 200 --height 200 "
    "--field-type boom --steps 20";

class SlurmCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* exe = std::getenv("VELTMOOR_BATCH");
    exe_ = fs::canonical(exe != nullptr ? exe : VELTMOOR_BATCH_PATH).string();
    dir_ = scratch_.path();
    std::ofstream(dir_ / kTarget) << R"({"NodeCount": 20})";
  }

  // A shell line in the test's folder; stdout and stderr are both kept.
  Result Shell(const std::string& line) { return RunShell(dir_, line, dir_ / "output.txt", true); }
  Result Run(const std::string& args) { return Shell(exe_ + " " + args); }

  // The array task `task` of a chain's shard script, as Slurm would start it.
  Result Task(const std::string& chain, int task, const std::string& stage = "") {
    return Shell("SLURM_ARRAY_TASK_ID=" + std::to_string(task) + " bash " + chain + "/shard.sh " +
                 stage);
  }

  void ExpectSameFiles(const fs::path& single, const fs::path& merged) {
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(single)) {
      if (entry.is_regular_file() && entry.path().filename() != ".veltmoor-outputs") {
        const fs::path name = fs::relative(entry.path(), single);
        EXPECT_EQ(ReadFile(merged / name), ReadFile(entry.path())) << name;
        ++files;
      }
    }
    EXPECT_GT(files, 0);
  }

  std::string exe_;
  veltmoor::testing::ScratchFolder scratch_{"slurm"};
  fs::path dir_;
};

TEST_F(SlurmCliTest, AShardWhoseFolderHoldsItsCompletePartEndsAtOnceAndOnlyThen) {
  ASSERT_EQ(Run(kStudy + " --shard 1/2 --out p1").code, 0);
  ASSERT_EQ(Run(kStudy + " --shard 2/2 --out p2").code, 0);
  const std::string manifest = ReadFile(dir_ / "p1/part.json");
  Result r = Run(kStudy + " --shard 1/2 --out p1");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("already holds this shard's complete part"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir_ / "p1/part.json"), manifest);

  // Another command line, or rows that no longer match their digest: run again, not kept.
  r = Run(kStudy + " --shard 1/3 --out p1");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err.find("already holds"), std::string::npos) << r.err;
  ASSERT_EQ(Run(kStudy + " --shard 1/2 --out p1").code, 0);
  std::string csv = ReadFile(dir_ / "p1/study.csv");
  csv.back() = '9';
  std::ofstream(dir_ / "p1/study.csv", std::ios::binary) << csv;
  r = Run(kStudy + " --shard 1/2 --out p1");
  EXPECT_EQ(r.err.find("already holds"), std::string::npos) << r.err;
  r = Run("merge merged p1 p2");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("merge: mindist study, 4 rows from 2 shards into merged"), std::string::npos)
      << r.err;

  // A calibration shard is kept for its own stage only.
  ASSERT_EQ(Run(kCalibrate + " --shard 1/2 --out c1").code, 0);
  ASSERT_EQ(Run(kCalibrate + " --shard 2/2 --out c2").code, 0);
  r = Run(kCalibrate + " --shard 2/2 --out c2");
  EXPECT_NE(r.err.find("already holds"), std::string::npos) << r.err;
  ASSERT_EQ(Run("merge stage1 c1 c2").code, 0);
  r = Run(kCalibrate + " --previous stage1 --shard 2/2 --out c2");
  EXPECT_EQ(r.err.find("already holds"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("best in this shard"), std::string::npos) << r.err;

  // A forecast shard is kept while its start world is the one it grew from.
  ASSERT_EQ(Run("run --field-type boom --steps 15 --seed 3 --width 150 --height 150 "
                "--no-picture --out start")
                .code,
            0);
  const std::string forecast =
      "forecast --start start/world.json --steps 10 --field-type boom --seed 5 --runs ";
  ASSERT_EQ(Run(forecast + "3 --shard 2/2 --out f2").code, 0);
  r = Run(forecast + "3 --shard 2/2 --out f2");
  EXPECT_NE(r.err.find("already holds"), std::string::npos) << r.err;
  r = Run(forecast + "4 --shard 2/2 --out f2");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err.find("already holds"), std::string::npos) << r.err;
}

TEST_F(SlurmCliTest, AStudyChainRunAsSlurmWouldMergesIntoTheSingleProcessResult) {
  Result r = Run("slurm " + kStudy + " --shards 2 --time 1:00:00 --partition short --out chain");
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path chain = dir_ / "chain";
  EXPECT_EQ(r.err, "bash " + chain.string() + "/submit.sh\n");
  for (const char* script : {"shard.sh", "merge.sh", "submit.sh"}) {
    EXPECT_EQ(Shell("bash -n chain/" + std::string(script)).code, 0) << script;
  }
  const std::string shard = ReadFile(chain / "shard.sh");
  EXPECT_NE(shard.find("\n" + exe_ + " study mindist"), std::string::npos) << shard;
  EXPECT_NE(shard.find("#SBATCH --array=1-2\n"), std::string::npos);
  EXPECT_NE(shard.find("#SBATCH --time=1:00:00\n#SBATCH --partition=short\n"), std::string::npos);
  EXPECT_NE(shard.find("#SBATCH --output=" + chain.string() + "/logs/shard-%a-%A.out\n"),
            std::string::npos);
  EXPECT_EQ(shard.find("--export"), std::string::npos);
  const std::size_t mem = shard.find("#SBATCH --mem=");
  ASSERT_NE(mem, std::string::npos);
  EXPECT_GE(std::stoull(shard.substr(mem + 14)), 256U);

  // submit.sh with a stand-in sbatch that numbers the jobs and keeps their arguments.
  fs::create_directories(dir_ / "bin");
  std::ofstream(dir_ / "bin/sbatch")
      << "#!/bin/bash\nn=$(( $(wc -l < " << (dir_ / "calls").string() << " 2>/dev/null || echo 0)"
      << " + 1 ))\necho \"$*\" >> " << (dir_ / "calls").string() << "\necho \"$((n + 100));c\"\n";
  fs::permissions(dir_ / "bin/sbatch", fs::perms::owner_all);
  ASSERT_EQ(Shell("PATH=" + (dir_ / "bin").string() + ":$PATH bash chain/submit.sh").code, 0);
  EXPECT_EQ(ReadFile(dir_ / "calls"), "--parsable --array=1-2 " + chain.string() +
                                          "/shard.sh\n--parsable --dependency=afterok:101 " +
                                          chain.string() + "/merge.sh\n");
  EXPECT_EQ(ReadFile(chain / "jobs.txt"), "shards 1 101\nmerge 1 102\n");
  EXPECT_TRUE(fs::is_directory(chain / "logs"));

  // A shard fails in the script's own words, another is killed by Slurm.
  std::ofstream(chain / "logs/shard-1-101.out") << "veltmoor-chain: shard 1/2 failed\n";
  std::ofstream(chain / "logs/shard-2-101.out")
      << "slurmstepd: error: *** JOB 101 ON n1 CANCELLED DUE TO TIME LIMIT ***\n";
  r = Run("status chain");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("0 done, 0 missing, 2 failed (1,2)"), std::string::npos) << r.err;
  // Shard 1 done again; status names shard 2 and the two lines that finish the chain.
  ASSERT_EQ(Task("chain", 1).code, 0);
  r = Run("status chain");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("1 done, 0 missing, 1 failed (2)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("array=$(sbatch --parsable --array=2 " + chain.string() + "/shard.sh)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("scontrol update JobId=102 Dependency=afterok:${array%%;*}"),
            std::string::npos)
      << r.err;
  // A new attempt's log replaces the failed one's verdict.
  std::ofstream(chain / "logs/shard-2-103.out") << "mindist: run 1 of 2 finished\n";
  r = Run("status chain");
  EXPECT_NE(r.err.find("0 failed; not merged"), std::string::npos) << r.err;

  ASSERT_EQ(Task("chain", 2).code, 0);
  EXPECT_NE(Task("chain", 2).err.find("already holds"), std::string::npos);
  r = Shell("bash chain/merge.sh");
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run("status chain");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("done: the result is in " + chain.string() + "/result"), std::string::npos);
  ASSERT_EQ(Run(kStudy + " --out single").code, 0);
  ExpectSameFiles(dir_ / "single", chain / "result");
}

TEST_F(SlurmCliTest, ACalibrationChainRunsStageAfterStageIntoTheSingleProcessResult) {
  ASSERT_EQ(Run("slurm " + kCalibrate + " --shards 2 --out chain").code, 0);
  const std::string submit = ReadFile(dir_ / "chain/submit.sh");
  // Each stage's array waits for the merge of the stage before.
  EXPECT_NE(submit.find("shards2=$(submit --dependency=afterok:$merge1 --array=1-2"),
            std::string::npos)
      << submit;
  EXPECT_NE(submit.find("/shard.sh 2)"), std::string::npos);
  EXPECT_NE(submit.find("/merge.sh 2)"), std::string::npos);

  for (const std::string stage : {"1", "2"}) {
    ASSERT_EQ(Task("chain", 2, stage).code, 0);
    if (stage == "1") {
      Result r = Run("status chain");
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find("stage 1: 1 done, 1 missing (1)"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("stage 2: waits for stage 1"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("--array=1 --output="), std::string::npos) << r.err;
    }
    ASSERT_EQ(Task("chain", 1, stage).code, 0);
    if (stage == "1") {
      // Stage 1's merge failed: submit it again and release stage 2's array waiting on it.
      fs::create_directories(dir_ / "chain/logs");
      std::ofstream(dir_ / "chain/jobs.txt") << "shards 1 101\nmerge 1 102\nshards 2 103\n";
      std::ofstream(dir_ / "chain/logs/stage1-merge-102.out")
          << "veltmoor-chain: merge failed with exit code 2\n";
      const Result r = Run("status chain");
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find("stage 1: 2 done, 0 missing, 0 failed; merge failed"), std::string::npos)
          << r.err;
      EXPECT_NE(r.err.find("/merge.sh 1)\nthen release stage 2"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("scontrol update JobId=103 Dependency=afterok:${merge%%;*}"),
                std::string::npos)
          << r.err;
    }
    const Result r = Shell("bash chain/merge.sh " + stage);
    ASSERT_EQ(r.code, 0) << r.err;
  }
  EXPECT_EQ(Run("status chain").code, 0);
  EXPECT_NE(Shell("SLURM_ARRAY_TASK_ID=1 bash chain/shard.sh 3").code, 0);
  ASSERT_EQ(Run(kCalibrate + " --out single").code, 0);
  ExpectSameFiles(dir_ / "single", dir_ / "chain/result");
}

TEST_F(SlurmCliTest, BadInputIsRefusedWithNothingWritten) {
  fs::create_directories(dir_ / "taken");
  std::ofstream(dir_ / "taken/notes.txt") << "mine";
  // A study chain whose file claims stages, as only a calibration has.
  ASSERT_EQ(Run("slurm " + kStudy + " --shards 2 --out edited").code, 0);
  std::string chain_json = ReadFile(dir_ / "edited/chain.json");
  ASSERT_NE(chain_json.find("\"Stages\": 1"), std::string::npos) << chain_json;
  chain_json.replace(chain_json.find("\"Stages\": 1"), 11, "\"Stages\": 2");
  std::ofstream(dir_ / "edited/chain.json") << chain_json;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"slurm " + kStudy + " --shards 0 --out c", "--shards"},
      {"slurm " + kStudy + " --shards 5 --out c", "more than the 4 runs"},
      {"slurm " + kCalibrate + " --shards 7 --out c", "more than the 6 runs of a stage"},
      {"slurm " + kStudy + " --shards 2 --out taken", "taken"},
      {"slurm " + kStudy + " --shards 2 --time soon --out c", "--time"},
      {"slurm " + kStudy + " --shards 2 --account 'a b' --out c", "--account"},
      {"slurm " + kStudy + " --shards 2 --out 'c d'", "chain folder"},
      {"slurm " + kStudy + " --shard 1/2 --shards 2 --out c", "--shard"},
      {"slurm " + kCalibrate + " --previous stage1 --shards 2 --out c", "sets --previous"},
      {"slurm study mindist --shards 2 --out c", "--seed"},
      {"slurm run --steps 3 --seed 1 --shards 2 --out c", "study, calibrate or forecast"},
      {"slurm " + kStudy + " --study-set E_incre=0 --shards 2 --out c", "increment"},
      {"slurm calibrate --target missing.json --measures NodeCount --vary E_peScale=1:2 "
       "--points 3 --runs 2 --seed 9 --field-type boom --steps 20 --shards 2 --out c",
       "missing.json"},
      {"status taken", "no chain.json"},
      {"status edited", "is no chain veltmoor-batch slurm wrote"},
  };
  for (const auto& [args, message] : cases) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << args << "\n" << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "c")) << args;
    EXPECT_FALSE(fs::exists(dir_ / "c d")) << args;
  }
  EXPECT_EQ(ReadFile(dir_ / "taken/notes.txt"), "mine");
  // As many shards as runs is the most there can be: one run each.
  EXPECT_EQ(Run("slurm " + kStudy + " --shards 4 --out four").code, 0);
  EXPECT_EQ(Run("slurm " + kCalibrate + " --shards 6 --out six").code, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "taken"), fs::directory_iterator()), 1);
}

}  // namespace
