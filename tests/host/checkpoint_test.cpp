// Checkpoints: what is saved comes back, damage is found row by row, names fit.
#include "host/checkpoint.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

class Checkpoints : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("orvelle-checkpoints-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    path = (folder / "a.png.checkpoint").string();
  }
  void TearDown() override { fs::remove_all(folder); }

  // 5 x 4 pixels, rows 0 and 2 done.
  static Checkpoint Sample() {
    Checkpoint c;
    c.scene = 42;
    c.picture = Picture(5, 4);
    for (size_t i = 0; i < c.picture.rgb.size(); i++)
      c.picture.rgb[i] = static_cast<uint8_t>(i * 7 + 1);
    c.rowsDone = {1, 0, 1, 0};
    return c;
  }

  void Flip(size_t offset) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    const char byte = static_cast<char>(file.get() ^ 0x10);
    file.seekp(static_cast<std::streamoff>(offset));
    file.put(byte);
  }

  fs::path folder;
  std::string path;
};

// Offsets in the file: a 32-byte header, then per row a flag, an 8-byte checksum and
// the row's 15 bytes of pixels.
constexpr size_t HeaderBytes = 32, RowBytes = 9 + 15;

TEST_F(Checkpoints, DoneRowsComeBackAndTheOthersAreBlack) {
  const Checkpoint saved = Sample();
  std::string error;
  ASSERT_TRUE(SaveCheckpoint(path, saved, error)) << error;
  Checkpoint loaded;
  int damaged = -1;
  ASSERT_TRUE(LoadCheckpoint(path, 42, 5, 4, loaded, error, &damaged)) << error;
  EXPECT_EQ(damaged, 0);
  EXPECT_EQ(loaded.rowsDone, saved.rowsDone);
  for (int y = 0; y < 4; y++)
    for (int i = 0; i < 15; i++)
      EXPECT_EQ(loaded.picture.Pixel(0, y)[i], saved.rowsDone[y] ? saved.picture.Pixel(0, y)[i] : 0) << y;
  uint64_t scene = 0;
  int width = 0, height = 0;
  ASSERT_TRUE(CheckpointIdentity(path, scene, width, height));
  EXPECT_EQ(scene, 42u);
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 4);
}

// One flipped byte: a damaged row is rendered again, the good rows survive; a damaged
// header, a wrong length or another scene refuse the whole file.
TEST_F(Checkpoints, DamageIsFoundRowByRow) {
  const struct {
    size_t offset;  // byte flipped; SIZE_MAX: the file is cut short instead
    bool accepted;
    std::vector<uint8_t> rowsDone;
  } cases[] = {
      {HeaderBytes + 0 * RowBytes + 9 + 3, true, {0, 0, 1, 0}},   // a pixel of done row 0
      {HeaderBytes + 1 * RowBytes, true, {1, 0, 1, 0}},           // row 1's flag: "done"
      {HeaderBytes + 2 * RowBytes + 4, true, {1, 0, 0, 0}},       // row 2's checksum
      {HeaderBytes + 3 * RowBytes + 9 + 14, true, {1, 0, 1, 0}},  // black pixels of a row not done
      {10, false, {}},                                            // the scene identity
      {17, false, {}},                                            // the width
      {SIZE_MAX, false, {}},
  };
  for (const auto& c : cases) {
    std::string error;
    ASSERT_TRUE(SaveCheckpoint(path, Sample(), error)) << error;
    if (c.offset == SIZE_MAX)
      fs::resize_file(path, fs::file_size(path) - 1);
    else
      Flip(c.offset);
    Checkpoint loaded;
    int damaged = 0;
    ASSERT_EQ(LoadCheckpoint(path, 42, 5, 4, loaded, error, &damaged), c.accepted) << c.offset << ": " << error;
    if (c.accepted) {
      EXPECT_EQ(loaded.rowsDone, c.rowsDone) << c.offset;
      EXPECT_EQ(damaged, 1) << c.offset;
    } else {
      EXPECT_NE(error.find("damaged"), std::string::npos) << c.offset << ": " << error;
    }
  }
  std::string error;
  Checkpoint loaded;
  ASSERT_TRUE(SaveCheckpoint(path, Sample(), error));
  EXPECT_FALSE(LoadCheckpoint(path, 43, 5, 4, loaded, error));
  EXPECT_NE(error.find("another landscape"), std::string::npos) << error;
  EXPECT_FALSE(LoadCheckpoint((folder / "none").string(), 42, 5, 4, loaded, error));
}

// The checkpoint of a picture whose name is already as long as names may be gets a
// shortened name of its own, the same every time, so that -m finds it.
TEST_F(Checkpoints, NamesFitTheFileSystemAndAreStable) {
  EXPECT_EQ(CheckpointPath("out/a.png"), "out/a.png.checkpoint");
  const std::string longOutput =
      (folder / (std::string(240, 'x') + "\xC3\xA9" + std::string(9, 'y') + ".png")).string();
  const std::string name = fs::path(CheckpointPath(longOutput)).filename().string();
  EXPECT_LE(name.size(), 255u);
  EXPECT_EQ(CheckpointPath(longOutput), CheckpointPath(longOutput));
  EXPECT_NE(CheckpointPath(longOutput), CheckpointPath(longOutput + ".jpg"));
  std::string error;
  ASSERT_TRUE(SaveCheckpoint(CheckpointPath(longOutput), Sample(), error)) << error;
  Checkpoint loaded;
  EXPECT_TRUE(LoadCheckpoint(CheckpointPath(longOutput), 42, 5, 4, loaded, error)) << error;
}

}  // namespace
