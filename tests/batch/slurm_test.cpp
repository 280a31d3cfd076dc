// Batch lists and banded pictures on a single-node Slurm started for these tests
// (scripts/local-slurm.sh; needs root, slurm-wlm and munge, as CI has).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string Source = ORVELLE_SOURCE_DIR;

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class Slurm : public ::testing::Test {
 protected:
  // One cluster for the suite: its own directory and ports, so that test runs in other
  // build trees on the same machine do not meet it.
  static void SetUpTestSuite() {
    ASSERT_EQ(::geteuid(), 0u) << "the local Slurm runs its daemons as root";
    daemons = fs::temp_directory_path() / ("orvelle-slurm-test-" + std::to_string(::getpid()));
    setenv("LOCAL_SLURM_DIR", daemons.c_str(), 1);
    setenv("LOCAL_SLURM_PORT", std::to_string(20000 + (::getpid() % 5000) * 2).c_str(), 1);
    setenv("SLURM_CONF", (daemons / "slurm.conf").c_str(), 1);
    started = Shell(Source + "/scripts/local-slurm.sh start > " +
                  (fs::temp_directory_path() / "local-slurm.out").string() + " 2>&1") == 0;
    ASSERT_TRUE(started) << ReadAll(fs::temp_directory_path() / "local-slurm.out");
  }
  static void TearDownTestSuite() {
    Shell(Source + "/scripts/local-slurm.sh stop");
    fs::remove_all(daemons);
  }

  void SetUp() override {
    ASSERT_TRUE(started);
    folder = fs::temp_directory_path() / ("slurm-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(Source + "/examples/valley.json", folder / "valley.json");
    fs::copy_file(Source + "/examples/dusk.json", folder / "dusk.json");
  }
  void TearDown() override { fs::remove_all(folder); }

  // Runs `command` in the test folder with a time limit; output into out.txt.
  int InFolder(const std::string& command) {
    return Shell("cd " + folder.string() + " && timeout 300 " + command + " > out.txt 2>&1");
  }

  static inline fs::path daemons;
  static inline bool started = false;
  fs::path folder;
};

TEST_F(Slurm, ListRunsAsAJobArrayAndFailuresAreReported) {
  std::ofstream(folder / "list.txt") << "/ three lines, one of which fails\n"
                                        "valley x 32 y 24 Sketch Picture = valley.png\n"
                                        "\n"
                                        "nosuch x 8\n"
                                        "dusk x 32 y 24 Sketch Picture = dusk.png\n";
  EXPECT_EQ(InFolder(std::string(BATCH_BINARY) + " --slurm list.txt --wait --time=5"), 1);
  const std::string out = ReadAll(folder / "out.txt");
  const std::string dir = fs::path(BATCH_BINARY).parent_path().string();
  EXPECT_NE(out.find("Submitted batch job "), std::string::npos) << out;
  EXPECT_NE(out.find("line 2: " + dir + "/orvelle2 valley -r -oPictures/valley.png -x32 -y24 -q0: done in "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("line 4: " + dir + "/orvelle2 nosuch -r -x8: failed with exit status 2"), std::string::npos)
      << out;
  EXPECT_NE(out.find("line 5: " + dir + "/orvelle2 dusk -r -oPictures/dusk.png -x32 -y24 -q0: done in "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Batch complete. 3 landscape files processed.\n1 of them failed.\n"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(folder / "Pictures" / "valley.png"));
  EXPECT_TRUE(fs::exists(folder / "Pictures" / "dusk.png"));
}

TEST_F(Slurm, FourBandsMergeIntoTheOneMachinePicture) {
  const std::string switches = " -x 64 -y 48 -q 2";
  ASSERT_EQ(InFolder(std::string(ORVELLE2_BINARY) + " valley.json" + switches + " --quiet -o whole.png"), 0);
  const std::string render = Source + "/scripts/slurm-render.sh valley.json" + switches +
                             " --bands 4 --wait --orvelle2 " + ORVELLE2_BINARY + " -o banded.png";
  ASSERT_EQ(InFolder(render), 0) << ReadAll(folder / "out.txt");
  EXPECT_EQ(ReadAll(folder / "banded.png"), ReadAll(folder / "whole.png"));

  // A band that is lost is reported, the merge does not run, and only that band is
  // rendered again.
  fs::remove(folder / "banded.png");
  fs::remove(folder / "banded.png.bands" / "band-2.band");
  ASSERT_EQ(InFolder(render + " --only-missing"), 0) << ReadAll(folder / "out.txt");
  EXPECT_NE(ReadAll(folder / "out.txt").find("bands 2 submitted"), std::string::npos) << ReadAll(folder / "out.txt");
  EXPECT_EQ(ReadAll(folder / "banded.png"), ReadAll(folder / "whole.png"));
}

TEST_F(Slurm, AFailedBandStopsTheMerge) {
  // A landscape that the first band cannot read: the other bands run, the merge is cancelled.
  const std::string render = Source + "/scripts/slurm-render.sh valley.json -x 16 -y 12 -q 0 --bands 2 --wait" +
                             " --orvelle2 " + ORVELLE2_BINARY + " -o broken.png";
  ASSERT_EQ(InFolder(render), 0);
  fs::remove(folder / "broken.png");
  fs::remove(folder / "broken.png.bands" / "band-0.band");
  std::ofstream(folder / "valley.json") << "{ not a landscape";
  EXPECT_EQ(InFolder(render + " --only-missing"), 1);
  const std::string out = ReadAll(folder / "out.txt");
  EXPECT_NE(out.find("band 0 failed or did not run"), std::string::npos) << out;
  EXPECT_NE(out.find("the merge did not run"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(folder / "broken.png"));
}

}  // namespace
