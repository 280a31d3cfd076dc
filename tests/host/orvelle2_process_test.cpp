// orvelle2 run as a user runs it: exit statuses, files written or not, threads, resuming.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "biosphere/biosphere.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

struct Outcome {
  int status = -1;  // exit status, or 128 + signal
  std::string errors;
};

class Orvelle2 : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("orvelle2-process-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  // Starts orvelle2 in the test folder with standard error captured into a file.
  pid_t Start(const std::vector<std::string>& args, const std::string& program = ORVELLE2_BINARY) {
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string err = (folder / "stderr.txt").string();
    const std::string out = (folder / "stdout.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  Outcome Wait(pid_t pid) {
    Outcome run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream file(folder / "stderr.txt");
    std::ostringstream text;
    text << file.rdbuf();
    run.errors = text.str();
    return run;
  }

  Outcome Orvelle(const std::vector<std::string>& args, const std::string& program = ORVELLE2_BINARY) {
    return Wait(Start(args, program));
  }

  void Write(const std::string& name, const std::string& text) { std::ofstream(folder / name) << text; }

  std::string Read(const std::string& name) {
    std::ifstream file(folder / name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  fs::path folder;
};

const char* SmallScene = R"({
  "SkyTint": [1, 1, 1], "LightColour": [1, 1, 1],
  "SkyColours": [ { "pos": 0, "clr": [200, 210, 240] }, { "pos": 10000, "clr": [40, 80, 180] } ],
  "Materials": [ { "ColourSource": 0, "Colours": [ { "pos": 10000, "clr": [200, 60, 40] } ] } ],
  "Objects": [
    { "type": "Sphere", "centre": [0, 10, 0], "sizes": [2, 2, 2] },
    { "type": "Plane", "centre": [0, 10, -2] },
    { "type": "DirectionalLight", "Direction": [1, 1, -1], "Softness": 0.05 },
    { "type": "Camera", "centre": [0, 0, 1], "Direction": [0, 1, -0.1] }
  ]
})";

TEST_F(Orvelle2, BadInputIsRefusedWithStatusTwoAndNothingWritten) {
  Write("broken.json", "{ \"SkyTint\": [1, 1 }");
  Write("unknown.json", "{\n  \"FogDensty\": 0.1\n}");
  Write("index.json", R"({ "Objects": [ { "type": "Sphere", "material": 3 } ] })");
  Write("map.json", R"({ "Objects": [ { "type": "Terrain", "HeightMap": "missing.png" } ] })");
  const std::vector<std::vector<std::string>> cases = {
      {"broken.json", "-oout.png"}, {"unknown.json", "-oout.png"},   {"index.json", "-oout.png"},
      {"map.json", "-oout.png"},    {"missing.json", "-oout.png"},   {"-x0", "-oout.png"},
      {"-q9", "-oout.png"},         {"--threads", "0", "-oout.png"},
  };
  for (const auto& args : cases) {
    Outcome run = Orvelle(args);
    EXPECT_EQ(run.status, 2) << args[0] << ": " << run.errors;
    EXPECT_FALSE(run.errors.empty()) << args[0];
    EXPECT_FALSE(fs::exists(folder / "out.png")) << args[0];
  }
  Outcome unknown = Orvelle({"unknown.json", "-oout.png"});
  EXPECT_NE(unknown.errors.find("unknown.json:2:3:"), std::string::npos) << unknown.errors;
}

TEST_F(Orvelle2, TheModelImporterIsNeededOnlyByLandscapesWithModels) {
  const fs::path model = fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples/models/pyramid.obj";
  Write("model.json", R"({ "Materials": [ {} ], "Objects": [ { "type": "Mesh", "File": ")" + model.string() + R"(" },
    { "type": "Camera", "centre": [0, -5, 1], "Direction": [0, 1, 0] } ] })");
  Outcome built = Orvelle({"model.json", "-x16", "-y12", "-oout.png"});
  EXPECT_EQ(built.status, 0) << built.errors;
  EXPECT_TRUE(fs::exists(folder / "out.png"));
  // A copy of the program without the module beside it: no model, no module needed.
  fs::create_directories(folder / "bin");
  fs::copy_file(ORVELLE2_BINARY, folder / "bin/orvelle2");
  const std::string copy = (folder / "bin/orvelle2").string();
  Outcome plain = Orvelle({"-x16", "-y12", "-oplain.png"}, copy);
  EXPECT_EQ(plain.status, 0) << plain.errors;
  EXPECT_TRUE(fs::exists(folder / "plain.png"));
  Outcome missing = Orvelle({"model.json", "-x16", "-y12", "-omissing.png"}, copy);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.errors.find("the model importer " + folder.string() + "/"), std::string::npos) << missing.errors;
  EXPECT_FALSE(fs::exists(folder / "missing.png"));
}

TEST_F(Orvelle2, TakesTheBatchRenderersCommandLine) {
  Write("scene.json", SmallScene);
  Outcome run = Orvelle({"scene.json", "-r", "-oPictures/scene.bmp", "-x48", "-y36", "-q0"});
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string bmp = Read("Pictures/scene.bmp");
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  int32_t width = 0;
  std::memcpy(&width, bmp.data() + 18, sizeof(width));  // the header's width field
  EXPECT_EQ(width, 48);
  // Without -o the picture is named after the landscape, a PNG in the current folder.
  fs::create_directories(folder / "scenes");
  Write("scenes/valley.json", SmallScene);
  ASSERT_EQ(Orvelle({"scenes/valley.json", "-x8", "-y6", "--quiet"}).status, 0);
  EXPECT_EQ(Read("valley.png").substr(1, 3), "PNG");
  EXPECT_FALSE(fs::exists(folder / "scenes" / "valley.png"));
}

TEST_F(Orvelle2, PrintsAPlantsDescriptionStringForItsSeed) {
  ASSERT_EQ(Orvelle({"--plant", "4", "--seed", "7"}).status, 0);
  const std::string seven = Read("stdout.txt");
  std::srand(7);
  EXPECT_EQ(seven, GrowPlant(static_cast<EPlantModel>(4)) + "\n");
  ASSERT_EQ(Orvelle({"--plant", "4"}).status, 0);
  std::srand(1);
  EXPECT_EQ(Read("stdout.txt"), GrowPlant(static_cast<EPlantModel>(4)) + "\n");
  EXPECT_NE(Read("stdout.txt"), seven);
}

TEST_F(Orvelle2, GroundPrintsTheTerrainsAltitudeAndRendersNothing) {
  // A flat grid with a raised disc in the middle, around (0, 0).
  Write("hill.json", R"({ "Materials": [ {} ], "Objects": [ { "type": "Terrain", "width": 9, "height": 9,
    "AltitudeScale": 500,
    "Function": { "Layers": [ { "Kind": "Ball", "Scale": [2, 2, 2], "Origin": [4, 4, 0] } ] } } ] })");
  Outcome top = Orvelle({"hill.json", "--ground", "0,0"});
  ASSERT_EQ(top.status, 0) << top.errors;
  EXPECT_EQ(Read("stdout.txt"), "40\n");  // the ball's value 1 times 500 steps of 0.08
  EXPECT_FALSE(fs::exists(folder / "hill.png"));
  Outcome beside = Orvelle({"hill.json", "--ground", "50,0"});
  EXPECT_EQ(beside.status, 2);
  EXPECT_NE(beside.errors.find("no terrain lies under (50, 0)"), std::string::npos) << beside.errors;
}

TEST_F(Orvelle2, OneAndTwoThreadsRenderTheSamePicture) {
  Write("scene.json", SmallScene);
  ASSERT_EQ(Orvelle({"scene.json", "-x64", "-y48", "-q2", "--threads", "1", "-oone.png", "--quiet"}).status, 0);
  ASSERT_EQ(Orvelle({"scene.json", "-x64", "-y48", "-q2", "--threads", "2", "-otwo.png", "--quiet"}).status, 0);
  EXPECT_EQ(Read("one.png"), Read("two.png"));
  // The default landscape too, with everything it has.
  ASSERT_EQ(Orvelle({"-x40", "-y30", "--threads", "1", "-odefault1.png", "--quiet"}).status, 0);
  ASSERT_EQ(Orvelle({"-x40", "-y30", "--threads", "2", "-odefault2.png", "--quiet"}).status, 0);
  EXPECT_EQ(Read("default1.png"), Read("default2.png"));
}

TEST_F(Orvelle2, AnInterruptedRenderResumesToTheSamePicture) {
  Write("scene.json", SmallScene);
  const std::vector<std::string> size = {"scene.json", "-x64", "-y48", "-q2", "--threads", "1", "--quiet"};
  auto with = [&size](std::vector<std::string> args) {
    args.insert(args.begin(), size.begin(), size.end());
    return args;
  };
  // Stopped after 20 of 48 rows, as an interruption stops it.
  ::setenv("ORVELLE2_STOP_AFTER_ROWS", "20", 1);
  Outcome stopped = Orvelle(with({"-ointerrupted.png"}));
  ::unsetenv("ORVELLE2_STOP_AFTER_ROWS");
  ASSERT_EQ(stopped.status, 130) << stopped.errors;
  EXPECT_NE(stopped.errors.find("after 20 of 48 rows"), std::string::npos) << stopped.errors;
  EXPECT_FALSE(fs::exists(folder / "interrupted.png"));

  // Another size does not fit the checkpoint.
  Outcome refused = Orvelle({"scene.json", "-ointerrupted.png", "-m", "-x100", "-y75", "--quiet"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.errors.find("checkpoint"), std::string::npos);

  Outcome resumed = Orvelle(with({"-ointerrupted.png", "-m"}));
  ASSERT_EQ(resumed.status, 0) << resumed.errors;
  ASSERT_EQ(Orvelle(with({"-owhole.png"})).status, 0);
  EXPECT_EQ(Read("interrupted.png"), Read("whole.png"));
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().string().find("checkpoint"), std::string::npos) << "left behind: " << entry.path();
}

TEST_F(Orvelle2, AnInterruptSignalStopsTheRenderWithStatus130) {
  // Signalled at once: the render stops whether or not it has begun, and writes no picture.
  Write("scene.json", SmallScene);
  pid_t pid = Start({"scene.json", "-x640", "-y480", "-q3", "--threads", "1", "--quiet", "-oout.png"});
  ::kill(pid, SIGINT);
  Outcome stopped = Wait(pid);
  EXPECT_EQ(stopped.status, 130) << stopped.errors;
  EXPECT_FALSE(fs::exists(folder / "out.png"));
}

// Inputs that never end or never come are refused at once, saying why; so are outputs
// that cannot be written, before anything is rendered.
TEST_F(Orvelle2, EndlessInputsAndHopelessOutputsAreRefusedAtOnce) {
  Write("scene.json", SmallScene);
  Write("file.txt", "a file");
  ASSERT_EQ(mkfifo((folder / "fifo.json").c_str(), 0600), 0);
  fs::create_directories(folder / "folder.json");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"/dev/zero", "-oout.png"}, "not a regular file"},
      {{"fifo.json", "-oout.png"}, "not a regular file"},
      {{"folder.json", "-oout.png"}, "is a folder"},
      {{"missing.json", "-oout.png"}, "no such file"},
      {{"scene.json", "-oout.tiff", "-x8000", "-y8000"}, "unknown picture format"},
      {{"scene.json", "-ofile.txt/out.png", "-x8000", "-y8000"}, "file.txt is a file, not a folder"},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    Outcome run = Orvelle(c.args);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.args[0];
    EXPECT_EQ(run.status, 2) << c.args[0] << ": " << run.errors;
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << c.args[0] << ": " << run.errors;
  }
  EXPECT_FALSE(fs::exists(folder / "out.png"));
  EXPECT_FALSE(fs::exists(folder / "out.tiff"));
}

// A full disk (a file-size limit, which orvelle2 turns into failed writes) while the
// picture is written: status 1, no success line, no picture (the checkpoint that stays
// is tested with the render driver).
TEST_F(Orvelle2, AFullDiskFailsWithStatusOneAndKeepsTheCheckpoint) {
  Write("scene.json", SmallScene);
  struct rlimit previous {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  struct rlimit small = previous;
  small.rlim_cur = 16 * 1024;  // the 48 KiB checkpoint and picture do not fit
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const pid_t pid = Start({"scene.json", "-oout.bmp", "-x128", "-y128", "-q0", "--quiet"});
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, handler);
  Outcome run = Wait(pid);
  EXPECT_EQ(run.status, 1) << run.errors;
  EXPECT_NE(run.errors.find("out.bmp: cannot write"), std::string::npos) << run.errors;
  EXPECT_EQ(Read("stdout.txt"), "");
  EXPECT_FALSE(fs::exists(folder / "out.bmp"));
}

}  // namespace
