// Batch lines: the tokenizer, the keyword tests and the command lines they give, in the
// Windows form of the original program and in ours.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/core/batch_job.h"
#include "batch/core/launch_command.h"

namespace {

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> tokens;
  size_t cursor = 0;
  while (cursor < line.size())
    tokens.push_back(NextBatchToken(line, cursor));
  return tokens;
}

TEST(BatchTokenizer, SpaceCommaAndEqualsSeparateButNotTab) {
  const std::vector<std::string> xy = {"x", "200"};
  EXPECT_EQ(Tokens("x = 200"), xy);
  EXPECT_EQ(Tokens("x=200"), xy);
  EXPECT_EQ(Tokens("x,200"), xy);
  EXPECT_EQ(Tokens("x 200"), xy);
  EXPECT_EQ(Tokens("Scene\tResume"), std::vector<std::string>{"Scene\tResume"});
  EXPECT_EQ(Tokens("Scene \tResume"), (std::vector<std::string>{"Scene", "\tResume"}));
  // Trailing separators give one empty token; an empty line none.
  EXPECT_EQ(Tokens("a ,"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(Tokens("").empty());
}

TEST(BatchTokenizer, ValuesReadLikeTheCLibrary) {
  EXPECT_EQ(BatchTokenValue("640"), 640);
  EXPECT_EQ(BatchTokenValue("-20"), -20);
  EXPECT_EQ(BatchTokenValue("+7px"), 7);
  EXPECT_EQ(BatchTokenValue("\t 12"), 12);
  EXPECT_EQ(BatchTokenValue("wide"), 0);
  EXPECT_EQ(BatchTokenValue(""), 0);
  EXPECT_EQ(BatchTokenValue("99999999999999999999"), 2147483647);
  EXPECT_EQ(BatchTokenValue("-99999999999999999999"), -2147483647 - 1);
}

struct LineCase {
  const char* line;
  const char* windows;  // the command after "D\orvelle2.exe "; null: the line is skipped
};

TEST(BatchLine, CommandLinesInTheSwitchOrder) {
  const LineCase cases[] = {
      {"Valley Final, Picture = Valley.jpg x 640", "Valley -r -oPictures\\Valley.jpg -x640 -q2"},
      {"Scene", "Scene -r"},
      {"Scene Resume FullScreen User", "Scene -r -m -f -q4"},
      {"Scene Picture = C:\\out\\a.bmp", "Scene -r -oC:\\out\\a.bmp"},
      {"Scene Picture = a.bmp", "Scene -r -oPictures\\a.bmp"},
      {"Scene x 0", "Scene -r"},
      {"Scene Sketch Ultra", "Scene -r -q3"},
      {"Scene\tResume", "Scene\tResume -r"},
      {"Scene \tResume", "Scene -r"},
      {"Scene x -20 Y=30", "Scene -r -x-20 -y30"},
      {"Scene y 30 x 20 preview", "Scene -r -x20 -y30 -q1"},
      // Prefixes count as the keyword; case is kept in the landscape name only.
      {"MyScene pictures=out.png finally fullscreen2 RESUMED", "MyScene -r -oPictures\\out.png -m -f -q2"},
      {"Scene xylophone 5 yes 6", "Scene -r -x5 -y6"},
      // The value stays in the buffer for the later tests, and it is not lowered.
      {"Scene picture = final.bmp", "Scene -r -oPictures\\final.bmp -q2"},
      {"Scene picture = Final.bmp", "Scene -r -oPictures\\Final.bmp"},
      {"Scene pict = a.bmp", "Scene -r"},
      {"Scene x", "Scene -r"},
      {"  ,Scene", "Scene -r"},
      {"", nullptr},
      {"   ", nullptr},
      {"/ a comment", nullptr},
      {" /Valley", nullptr},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    BatchJob job;
    std::string problem;
    const BatchLineKind kind = ParseBatchLine(c.line, job, problem);
    if (!c.windows) {
      EXPECT_EQ(kind, BatchLineKind::Skipped);
      continue;
    }
    ASSERT_EQ(kind, BatchLineKind::Job);
    EXPECT_EQ(BuildLaunchCommand(job, "D", CommandForm::Windows).text, std::string("D\\orvelle2.exe ") + c.windows);
  }
}

TEST(BatchLine, LinuxFormStartsOrvelle2WithAnArgumentVector) {
  BatchJob job;
  std::string problem;
  ASSERT_EQ(ParseBatchLine("Valley Final, Picture = Valley.jpg x 640", job, problem), BatchLineKind::Job);
  const LaunchCommand command = BuildLaunchCommand(job, "/opt/orvelle/bin", CommandForm::Linux);
  EXPECT_EQ(command.text, "/opt/orvelle/bin/orvelle2 Valley -r -oPictures/Valley.jpg -x640 -q2");
  EXPECT_EQ(command.arguments, (std::vector<std::string>{"/opt/orvelle/bin/orvelle2", "Valley", "-r",
                                                         "-oPictures/Valley.jpg", "-x640", "-q2"}));
  // Absolute picture names: a leading slash or a colon.
  ASSERT_EQ(ParseBatchLine("Scene picture /tmp/a.png", job, problem), BatchLineKind::Job);
  EXPECT_EQ(BuildLaunchCommand(job, "/b", CommandForm::Linux).arguments[3], "-o/tmp/a.png");
  ASSERT_EQ(ParseBatchLine("Scene picture C:\\a.png", job, problem), BatchLineKind::Job);
  EXPECT_EQ(BuildLaunchCommand(job, "/b", CommandForm::Linux).arguments[3], "-oC:\\a.png");
  // A line cannot reach a shell: what would be shell syntax stays inside one argument.
  ASSERT_EQ(ParseBatchLine("a;rm\t-rf`x`$(y) picture |z&", job, problem), BatchLineKind::Job);
  EXPECT_EQ(BuildLaunchCommand(job, "/b", CommandForm::Linux).arguments,
            (std::vector<std::string>{"/b/orvelle2", "a;rm\t-rf`x`$(y)", "-r", "-oPictures/|z&"}));
}

TEST(BatchLine, NamesTooLongForTheirBufferRefuseTheLine) {
  BatchJob job;
  std::string problem;
  EXPECT_EQ(ParseBatchLine(std::string(259, 'a'), job, problem), BatchLineKind::Job);
  EXPECT_EQ(job.landscapeName.size(), 259u);
  EXPECT_EQ(ParseBatchLine(std::string(260, 'a'), job, problem), BatchLineKind::Refused);
  EXPECT_NE(problem.find("260 characters"), std::string::npos) << problem;
  EXPECT_EQ(ParseBatchLine("Scene picture " + std::string(300, 'p'), job, problem), BatchLineKind::Refused);
  // Job records start from their defaults on every line.
  ASSERT_EQ(ParseBatchLine("A x 5 resume ultra picture p", job, problem), BatchLineKind::Job);
  ASSERT_EQ(ParseBatchLine("B", job, problem), BatchLineKind::Job);
  EXPECT_EQ(BuildLaunchCommand(job, "D", CommandForm::Windows).text, "D\\orvelle2.exe B -r");
}

TEST(BatchLine, ModuleDirectoryDropsTheLastPathPart) {
  EXPECT_EQ(ModuleDirectory("C:\\Orvelle\\Batch.exe", CommandForm::Windows), "C:\\Orvelle");
  EXPECT_EQ(ModuleDirectory("/usr/local/bin/batch", CommandForm::Linux), "/usr/local/bin");
  EXPECT_FALSE(RunningProgramDirectory().empty());
}

}  // namespace
