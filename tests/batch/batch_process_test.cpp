// `batch --run` as a user runs it: a copy of batch in a folder of its own, beside a fake
// main program that records its arguments, beside none, or beside the real orvelle2.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/core/batch_job.h"
#include "batch/core/batch_walk.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

const fs::path ExamplesFolder = fs::path(ORVELLE_SOURCE_DIR) / "examples";

// Prints each argument in brackets, one call per line, and ends as its landscape asks.
constexpr const char* FakeMainProgram = R"(#!/bin/sh
printf 'start' >> calls.log
for a in "$@"; do printf ' [%s]' "$a" >> calls.log; done
echo >> calls.log
case "$1" in
  slow) exec sleep 60 ;;
  broken) echo "end $1" >> calls.log; exit 3 ;;
esac
sleep 0.2
echo "end $1" >> calls.log
)";

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("batch-process-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder / "bin");
    fs::copy_file(BATCH_BINARY, folder / "bin" / "batch");
  }
  void TearDown() override { fs::remove_all(folder); }

  void InstallFakeMainProgram() {
    Write("bin/orvelle2", FakeMainProgram);
    fs::permissions(folder / "bin" / "orvelle2", fs::perms::owner_all);
  }

  // Starts the copied batch in the test folder, its standard output into a file.
  pid_t Start(const std::vector<std::string>& args) {
    std::vector<std::string> all = {(folder / "bin" / "batch").string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (folder / "stdout.txt").string(), err = (folder / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  int Batch(const std::vector<std::string>& args) { return Wait(Start(args)); }

  void Write(const std::string& name, const std::string& text) { std::ofstream(folder / name) << text; }

  std::string Read(const std::string& name) {
    std::ifstream file(folder / name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  fs::path folder;
};

TEST_F(BatchRun, RunsAListAgainstTheMainProgramBesideIt) {
  InstallFakeMainProgram();
  Write("list.txt",
        "/ two jobs, a failing one and a hostile name\r\n"
        "one x = 64, y = 48 Sketch\r\n"
        "\r\n"
        "a;touch${IFS}pwned`id`$(id) Picture=|p.png Resume\r\n"
        "broken\r\n");
  EXPECT_EQ(Batch({"--run", "list.txt"}), 1);
  const std::string dir = (folder / "bin").string();
  // One job at a time, in order, each with the argument vector the line gives.
  EXPECT_EQ(Read("calls.log"),
            "start [one] [-r] [-x64] [-y48] [-q0]\nend one\n"
            "start [a;touch${IFS}pwned`id`$(id)] [-r] [-oPictures/|p.png] [-m]\nend a;touch${IFS}pwned`id`$(id)\n"
            "start [broken] [-r]\nend broken\n");
  EXPECT_FALSE(fs::exists(folder / "pwned"));
  const std::string out = Read("stdout.txt");
  EXPECT_NE(out.find("line 2: " + dir + "/orvelle2 one -r -x64 -y48 -q0: done in "), std::string::npos) << out;
  EXPECT_NE(out.find("line 5: " + dir + "/orvelle2 broken -r: failed with exit status 3 after "), std::string::npos)
      << out;
  EXPECT_NE(out.find("\nBatch complete. 3 landscape files processed.\n1 of them failed.\n"), std::string::npos) << out;
}

TEST_F(BatchRun, MissingMainProgramOrListIsReported) {
  Write("list.txt", "one\n/ comment\ntwo x 5\n");
  EXPECT_EQ(Batch({"--run", "list.txt"}), 1);
  const std::string dir = (folder / "bin").string();
  const std::string out = Read("stdout.txt");
  EXPECT_NE(out.find("line 1: " + dir + "/orvelle2 one -r: could not be started: No such file or directory\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("line 3: " + dir + "/orvelle2 two -r -x5: could not be started"), std::string::npos) << out;
  EXPECT_NE(out.find("Batch complete. No files processed.\n2 lines could not be started.\n"), std::string::npos) << out;

  EXPECT_EQ(Batch({"--run", "no-such-list.txt"}), 2);
  EXPECT_NE(Read("stderr.txt").find("no-such-list.txt: cannot read the batch list"), std::string::npos);
  EXPECT_EQ(Batch({"--frobnicate"}), 2);
  EXPECT_EQ(Batch({"--help"}), 0);
  EXPECT_NE(Read("stdout.txt").find("--run LIST"), std::string::npos);
}

TEST_F(BatchRun, InterruptEndsTheRunningJobAndStops) {
  InstallFakeMainProgram();
  Write("list.txt", "slow\nnever\n");
  const pid_t pid = Start({"--run", "list.txt"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Read("calls.log").empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_FALSE(Read("calls.log").empty());
  kill(pid, SIGINT);
  EXPECT_EQ(Wait(pid), 130);
  EXPECT_EQ(Read("calls.log"), "start [slow] [-r]\n");
  const std::string out = Read("stdout.txt");
  EXPECT_NE(out.find("line 1: " + (folder / "bin").string() + "/orvelle2 slow -r: failed with exit status 143"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Batch cancelled at line 1. 1 landscape files processed.\n"), std::string::npos) << out;
}

// Width and height from a PNG file's header.
bool PngSize(const std::string& bytes, int& width, int& height) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
    return false;
  auto word = [&](size_t at) {
    return int(uint8_t(bytes[at])) << 24 | int(uint8_t(bytes[at + 1])) << 16 | int(uint8_t(bytes[at + 2])) << 8 |
           int(uint8_t(bytes[at + 3]));
  };
  width = word(16);
  height = word(20);
  return true;
}

TEST_F(BatchRun, RendersTwoExampleLandscapesThroughOrvelle2) {
  fs::create_symlink(ORVELLE2_BINARY, folder / "bin" / "orvelle2");
  fs::copy_file(ExamplesFolder / "valley.json", folder / "valley.json");
  fs::copy_file(ExamplesFolder / "dusk.json", folder / "dusk.json");
  // Named without extension, as users type them; a name that is no landscape fails.
  Write("list.txt",
        "valley x 40 y 30 Sketch Picture = valley.png\nnosuch x 8\ndusk, x=32, y=24, Sketch, Picture=dusk.png\n");
  EXPECT_EQ(Batch({"--run", "list.txt"}), 1) << Read("stdout.txt") << Read("stderr.txt");
  EXPECT_NE(Read("stderr.txt").find("nosuch: cannot read the landscape file (tried nosuch, nosuch.json)"),
            std::string::npos);
  EXPECT_NE(Read("stdout.txt").find("orvelle2 nosuch -r -x8: failed with exit status 2"), std::string::npos);
  int width = 0, height = 0;
  ASSERT_TRUE(PngSize(Read("Pictures/valley.png"), width, height));
  EXPECT_EQ(width * 1000 + height, 40030);
  ASSERT_TRUE(PngSize(Read("Pictures/dusk.png"), width, height));
  EXPECT_EQ(width * 1000 + height, 32024);
  EXPECT_NE(Read("stdout.txt").find("Batch complete. 3 landscape files processed.\n1 of them failed.\n"),
            std::string::npos);
}

TEST(BatchExample, ExampleListNamesExampleLandscapes) {
  std::ifstream file(ExamplesFolder / "batch-list.txt", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  int jobs = 0;
  for (const std::string& line : SplitBatchLines(text.str())) {
    BatchJob job;
    std::string problem;
    if (ParseBatchLine(line, job, problem) != BatchLineKind::Job)
      continue;
    jobs++;
    EXPECT_TRUE(fs::exists(ExamplesFolder / (job.landscapeName + ".json"))) << job.landscapeName;
    EXPECT_FALSE(job.pictureName.empty());
  }
  EXPECT_EQ(jobs, 2);
}

}  // namespace
