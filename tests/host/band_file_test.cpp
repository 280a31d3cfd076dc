// Bands of rows: the band file, the merge and its refusals, and orvelle2 rendering bands that
// merge into exactly the picture of a whole render.
#include "host/band_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/checkpoint.h"

namespace fs = std::filesystem;

namespace {

Picture Gradient(int width, int height) {
  Picture picture(width, height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      picture.Pixel(x, y)[0] = static_cast<uint8_t>(x * 7);
      picture.Pixel(x, y)[1] = static_cast<uint8_t>(y * 11);
      picture.Pixel(x, y)[2] = static_cast<uint8_t>(x ^ y);
    }
  return picture;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class Bands : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("bands-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string Path(const std::string& name) const { return (folder / name).string(); }
  fs::path folder;
};

TEST(BandRows, RangesParse) {
  int first = -1, count = -1;
  EXPECT_TRUE(ParseRowRange("0:10", first, count));
  EXPECT_EQ(first * 100 + count, 10);
  EXPECT_TRUE(ParseRowRange("36:36", first, count));
  EXPECT_EQ(first * 100 + count, 3636);
  for (const char* bad : {"", "5", "5:", ":5", "5:0", "-1:4", "3:4x", "3,4", "1:99999999"})
    EXPECT_FALSE(ParseRowRange(bad, first, count)) << bad;
}

TEST_F(Bands, SavedBandsMergeInAnyOrder) {
  const Picture whole = Gradient(13, 10);
  const std::vector<std::string> names = {Path("c.band"), Path("a.band"), Path("b.band")};
  const int ranges[3][2] = {{7, 3}, {0, 4}, {4, 3}};
  std::vector<Band> loaded(3);
  std::string error;
  for (int i = 0; i < 3; i++) {
    ASSERT_TRUE(SaveBand(names[i], CutBand(whole, 42, 2, ranges[i][0], ranges[i][1]), error)) << error;
    ASSERT_TRUE(LoadBand(names[i], loaded[i], error)) << error;
    EXPECT_EQ(loaded[i].firstRow, ranges[i][0]);
  }
  Picture merged;
  ASSERT_TRUE(MergeBands(loaded, names, merged, error)) << error;
  EXPECT_EQ(merged.width, 13);
  EXPECT_EQ(merged.height, 10);
  EXPECT_EQ(merged.rgb, whole.rgb);
}

TEST_F(Bands, MergeRefusesBandsThatDoNotBelongTogether) {
  const Picture whole = Gradient(8, 6);
  const std::vector<std::string> names = {"one", "two"};
  struct Case {
    Band second;
    const char* message;
  };
  Band other = CutBand(whole, 43, 2, 3, 3);
  Band smaller = CutBand(Gradient(8, 5), 42, 2, 3, 2);
  Band finer = CutBand(whole, 42, 3, 3, 3);
  Band overlapping = CutBand(whole, 42, 2, 2, 4);
  Band short_ = CutBand(whole, 42, 2, 4, 2);
  const Case cases[] = {
      {other, "two: a band of another landscape than one"},
      {smaller, "two: a band of a 8x5 quality 2 picture, but one is of a 8x6 quality 2 picture"},
      {finer, "two: a band of a 8x6 quality 3 picture, but one is of a 8x6 quality 2 picture"},
      {overlapping, "two: row 2 is also in one"},
      {short_, "rows 3 to 3 of 6 are in none of the bands"},
  };
  for (const Case& c : cases) {
    Picture merged;
    std::string error;
    EXPECT_FALSE(MergeBands({CutBand(whole, 42, 2, 0, 3), c.second}, names, merged, error));
    EXPECT_EQ(error, c.message);
    EXPECT_TRUE(merged.rgb.empty());
  }
}

TEST_F(Bands, DamagedBandFilesAreRefused) {
  std::string error;
  ASSERT_TRUE(SaveBand(Path("good.band"), CutBand(Gradient(5, 4), 1, 0, 1, 2), error));
  const std::string good = ReadAll(Path("good.band"));
  struct Case {
    std::string bytes;
    const char* message;
  };
  std::string hugeCount = good;
  hugeCount[32] = '\x7f';  // rowCount far beyond the picture
  std::string wrongMagic = good;
  wrongMagic[0] = 'X';
  const Case cases[] = {
      {good.substr(0, good.size() - 1), "the band is damaged (wrong length)"},
      {good + "x", "the band is damaged (wrong length)"},
      {good.substr(0, 20), "not a band file of this program"},
      {wrongMagic, "not a band file of this program"},
      {hugeCount, "the band's header is damaged"},
  };
  for (const Case& c : cases) {
    std::ofstream(Path("bad.band"), std::ios::binary) << c.bytes;
    Band band;
    EXPECT_FALSE(LoadBand(Path("bad.band"), band, error));
    EXPECT_EQ(error, Path("bad.band") + ": " + c.message);
  }
  Band band;
  EXPECT_FALSE(LoadBand(Path("missing.band"), band, error));
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Bands, Orvelle2BandsMergeIntoTheWholePictureByteForByte) {
  const std::string orvelle2 = ORVELLE2_BINARY;
  const std::string landscape = std::string(ORVELLE_SOURCE_DIR) + "/examples/valley.json";
  const std::string common = orvelle2 + " " + landscape + " -x 40 -y 30 -q 2 --quiet";
  ASSERT_EQ(Shell(common + " -o " + Path("whole.png")), 0);
  // Uneven bands, one thread each and several: the same rows.
  ASSERT_EQ(Shell(common + " --threads 1 --rows 0:11 -o " + Path("a.band")), 0);
  ASSERT_EQ(Shell(common + " --threads 3 --rows 11:19 -o " + Path("b.band")), 0);
  ASSERT_EQ(Shell(orvelle2 + " --merge " + Path("b.band") + " " + Path("a.band") + " -o " + Path("merged.png")), 0);
  EXPECT_EQ(ReadAll(Path("merged.png")), ReadAll(Path("whole.png")));

  // A missing band, and a band of another landscape, are refused; nothing is written.
  EXPECT_EQ(Shell(orvelle2 + " --merge " + Path("a.band") + " -o " + Path("none.png") + " 2>" + Path("err.txt")), 2);
  EXPECT_NE(ReadAll(Path("err.txt")).find("rows 11 to 29 of 30 are in none of the bands"), std::string::npos);
  const std::string dusk = std::string(ORVELLE_SOURCE_DIR) + "/examples/dusk.json";
  ASSERT_EQ(Shell(orvelle2 + " " + dusk + " -x 40 -y 30 -q 2 --quiet --rows 11:19 -o " + Path("dusk.band")), 0);
  EXPECT_EQ(Shell(orvelle2 + " --merge " + Path("a.band") + " " + Path("dusk.band") + " -o " + Path("none.png") +
                  " 2>" + Path("err.txt")),
            2);
  EXPECT_NE(ReadAll(Path("err.txt")).find("dusk.band: a band of another landscape than"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("none.png")));
  // Rows beyond the picture, and bands without -o, are refused before rendering.
  EXPECT_EQ(Shell(common + " --rows 25:10 -o " + Path("c.band") + " 2>/dev/null"), 2);
  EXPECT_EQ(Shell(common + " --rows 0:10 2>/dev/null"), 2);
}

// Band outputs are checked like pictures before rendering (a folder, a path through a file)
// but any name is a band's name; a full disk while a band or a merged picture is written
// fails with status 1, leaves nothing under the final name and keeps the band's checkpoint.
TEST_F(Bands, BandOutputsAreCheckedAndWrittenWholeOrNotAtAll) {
  const std::string orvelle2 = ORVELLE2_BINARY;
  const std::string landscape = std::string(ORVELLE_SOURCE_DIR) + "/examples/valley.json";
  const std::string common = orvelle2 + " " + landscape + " -x 40 -y 30 -q 0 --quiet";
  std::ofstream(Path("file.txt")) << "a file";
  fs::create_directories(folder / "sub.band");
  struct Case {
    std::string arguments;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {common + " --rows 0:30 -o " + Path("sub.band"), 2, "is a folder"},
      {common + " --rows 0:30 -o " + Path("file.txt/a.band"), 2, "is a file, not a folder"},
      {common + " --rows 0:15 -o " + Path("a.part"), 0, ""},
      {orvelle2 + " --merge " + Path("a.part") + " -o " + Path("m.tiff"), 2, "unknown picture format"},
      {orvelle2 + " --merge " + Path("a.part") + " -o " + Path("file.txt/m.png"), 2, "is a file, not a folder"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Shell(c.arguments + " 2>" + Path("err.txt")), c.status) << c.arguments;
    EXPECT_NE(ReadAll(Path("err.txt")).find(c.message), std::string::npos) << c.arguments;
  }
  EXPECT_FALSE(fs::exists(Path("m.tiff")));

  // Interrupted after 3 rows, then resumed on a disk that is full (a file-size limit of
  // 512 bytes): the band fails, the checkpoint stays, and another band of that name
  // does not take it for its own.
  const std::string band = Path("b.band");
  const std::string bandRows = common + " --rows 15:15 -o " + band;
  ASSERT_EQ(Shell("ORVELLE2_STOP_AFTER_ROWS=3 " + bandRows), 130);
  ASSERT_TRUE(fs::exists(CheckpointPath(band)));
  EXPECT_EQ(Shell("ulimit -f 1; " + bandRows + " -m 2>" + Path("err.txt")), 1);
  EXPECT_NE(ReadAll(Path("err.txt")).find("b.band: cannot write"), std::string::npos) << ReadAll(Path("err.txt"));
  EXPECT_FALSE(fs::exists(band));
  ASSERT_TRUE(fs::exists(CheckpointPath(band)));
  EXPECT_EQ(Shell(common + " --rows 0:15 -m -o " + band + " 2>/dev/null"), 2);
  EXPECT_EQ(Shell(bandRows + " -m"), 0);
  EXPECT_FALSE(fs::exists(CheckpointPath(band)));

  // The merge on a full disk: status 1 and no picture; with room, the whole picture.
  const std::string merge = orvelle2 + " --merge " + Path("a.part") + " " + band + " -o " + Path("m.bmp");
  EXPECT_EQ(Shell("ulimit -f 1; " + merge + " 2>/dev/null"), 1);
  EXPECT_FALSE(fs::exists(Path("m.bmp")));
  ASSERT_EQ(Shell(merge), 0);
  ASSERT_EQ(Shell(common + " -o " + Path("whole.bmp")), 0);
  EXPECT_EQ(ReadAll(Path("m.bmp")), ReadAll(Path("whole.bmp")));
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
}

}  // namespace
