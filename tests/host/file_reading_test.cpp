// Whole files read within limits: devices, FIFOs and folders are refused at once, with
// the reason, and nothing beyond the limit is read.
#include "host/file_reading.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(FileReading, OnlyRegularFilesWithinTheLimitAreRead) {
  const fs::path folder = fs::temp_directory_path() / ("orvelle-reading-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string ten = "0123456789";
  std::ofstream(folder / "ten.txt") << ten;
  // Larger than one read, and not a whole number of them.
  std::string large(200001, '\0');
  for (size_t i = 0; i < large.size(); i++)
    large[i] = static_cast<char>(i * 7 + i / 251);
  std::ofstream(folder / "large.bin", std::ios::binary) << large;
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    size_t limit;
    const char* reason;                    // null: read
    const std::string* content = nullptr;  // null: ten.txt's
  } cases[] = {
      {(folder / "ten.txt").string(), 10, nullptr},
      {(folder / "large.bin").string(), 200001, nullptr, &large},
      {(folder / "large.bin").string(), 200000, "the file is larger than 200000 bytes"},
      {(folder / "ten.txt").string(), 9, "the file is larger than 9 bytes"},
      {(folder / "missing.json").string(), 100, "no such file"},
      {(folder / "ten.txt/x").string(), 100, "a folder on its path is a file"},
      {folder.string(), 100, "is a folder"},
      {(folder / "fifo").string(), 100, "not a regular file"},  // no writer: must not wait for one
      {"/dev/zero", 1u << 20, "not a regular file"},
  };
  for (const auto& c : cases) {
    std::string bytes, error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadWholeFile(c.path, c.limit, bytes, error), c.reason == nullptr) << c.path << ": " << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.path;
    if (c.reason)
      EXPECT_NE(error.find(c.reason), std::string::npos) << c.path << ": " << error;
    else
      EXPECT_TRUE(bytes == (c.content ? *c.content : ten)) << c.path << ": " << bytes.size() << " bytes";
  }
  fs::remove_all(folder);
}

}  // namespace
