#include "host/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

CommandLineResult Parse(std::initializer_list<const char*> args, RenderRequest& request, std::string& message) {
  std::vector<const char*> argv = {"orvelle2"};
  argv.insert(argv.end(), args);
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), request, message);
}

TEST(CommandLine, AcceptsTheBatchRenderersAttachedForms) {
  RenderRequest r;
  std::string message;
  ASSERT_EQ(Parse({"Valley", "-r", "-oPictures/Valley.jpg", "-m", "-x640", "-y480", "-f", "-q2"}, r, message),
            CommandLineResult::Run)
      << message;
  EXPECT_EQ(r.landscape, "Valley");
  EXPECT_TRUE(r.render);
  EXPECT_EQ(r.output, "Pictures/Valley.jpg");
  EXPECT_TRUE(r.resume);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  EXPECT_TRUE(r.fullScreen);
  EXPECT_EQ(r.quality, 2);
}

TEST(CommandLine, AcceptsSeparateValuesAndLongOptions) {
  RenderRequest r;
  std::string message;
  ASSERT_EQ(Parse({"valley.json", "--output", "out.png", "--width", "320", "--height", "200", "--quality", "4",
                   "--threads", "3", "--quiet", "--screen", "800x600"},
                  r, message),
            CommandLineResult::Run)
      << message;
  EXPECT_EQ(r.output, "out.png");
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.quality, 4);
  EXPECT_EQ(r.threads, 3);
  EXPECT_TRUE(r.quiet);
  EXPECT_EQ(r.screenWidth, 800);
  EXPECT_EQ(r.screenHeight, 600);
  RenderRequest ground;
  ASSERT_EQ(Parse({"a.json", "--ground", "-12.5,3e2"}, ground, message), CommandLineResult::Run);
  EXPECT_TRUE(ground.groundQuery);
  EXPECT_DOUBLE_EQ(ground.groundX, -12.5);
  EXPECT_DOUBLE_EQ(ground.groundY, 300.0);
  RenderRequest separate;
  ASSERT_EQ(Parse({"a.json", "-x", "64", "-o", "b.bmp"}, separate, message), CommandLineResult::Run);
  EXPECT_EQ(separate.width, 64);
  EXPECT_EQ(separate.output, "b.bmp");
}

TEST(CommandLine, RefusesBadValuesWithAMessage) {
  const std::vector<std::vector<const char*>> bad = {
      {"-x0"},
      {"-x-640"},
      {"-xabc"},
      {"-q5"},
      {"-q-1"},
      {"--threads", "0"},
      {"-y99999999"},
      {"--bogus"},
      {"a", "b"},
      {"--screen", "x"},
      {"--screen", "10x0"},
      {"--screen", "100x100junk"},
      {"--plant", "18"},
      {"--plant", "-1"},
      {"--seed", "3"},
      {"--ground", "1"},
      {"--ground", "1,2,3"},
      {"--ground", "nan,0"},
  };
  for (const auto& args : bad) {
    RenderRequest r;
    std::string message;
    std::vector<const char*> argv = {"orvelle2"};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), r, message), CommandLineResult::Error)
        << args[0];
    EXPECT_FALSE(message.empty()) << args[0];
  }
}

TEST(CommandLine, HelpAndVersionExit) {
  RenderRequest r;
  std::string message;
  EXPECT_EQ(Parse({"--help"}, r, message), CommandLineResult::Exit);
  EXPECT_NE(message.find("--threads"), std::string::npos);
  EXPECT_EQ(Parse({"--version"}, r, message), CommandLineResult::Exit);
  EXPECT_EQ(message.rfind("orvelle2 ", 0), 0u);
}

TEST(CommandLine, OutputDefaultsToTheLandscapeNameAsPngInTheCurrentFolder) {
  RenderRequest r;
  EXPECT_EQ(OutputPath(r), "landscape.png");
  r.landscape = "maps/valley.json";
  EXPECT_EQ(OutputPath(r), "valley.png");
  r.output = "Pictures\\valley.png";
  EXPECT_EQ(OutputPath(r), "Pictures/valley.png");
}

TEST(CommandLine, FullScreenKeepsTheAspectRatio) {
  RenderRequest r;
  int w = 640, h = 480;
  FitToScreen(r, w, h);
  EXPECT_EQ(w, 1440);
  EXPECT_EQ(h, 1080);
  w = 1000;
  h = 100;
  FitToScreen(r, w, h);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 192);
}

}  // namespace
