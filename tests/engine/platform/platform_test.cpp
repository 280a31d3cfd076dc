#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/platform/large_memory.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"

namespace {

TEST(MemoryBlocks, ZeroFillLockNestingAndSize) {
  HGLOBAL block = GlobalAlloc(GHND, 64);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 64u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 64; i++)
    ASSERT_EQ(bytes[i], 0);
  EXPECT_EQ(GlobalLock(block), bytes);
  EXPECT_EQ(GlobalLockCount(block), 2u);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));  // unlocking an unlocked block does nothing
  EXPECT_EQ(GlobalLockCount(block), 0u);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(MemoryBlocks, ReallocationKeepsContentsAndZeroFillsGrowth) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(block), "abcd", 4);
  GlobalUnlock(block);
  ASSERT_EQ(GlobalReAlloc(block, 8, GMEM_ZEROINIT), block);
  auto* bytes = static_cast<char*>(GlobalLock(block));
  EXPECT_EQ(std::string(bytes, 4), "abcd");
  for (int i = 4; i < 8; i++)
    EXPECT_EQ(bytes[i], 0);
  GlobalUnlock(block);
  GlobalFree(block);
}

// Blocks of LargeBlockBytes and more are mapped apart: growing into one, within one and
// out of one keeps the contents and zero-fills what is new.
TEST(MemoryBlocks, ReallocationAcrossTheLargeBlockSizeKeepsContents) {
  const size_t sizes[] = {4, LargeBlockBytes + 5, 3 * LargeBlockBytes, LargeBlockBytes - 1, 100, 2 * LargeBlockBytes};
  auto pattern = [](size_t i) { return static_cast<unsigned char>(i * 7 % 251 + 1); };
  HGLOBAL block = GlobalAlloc(GHND, sizes[0]);
  ASSERT_NE(block, nullptr);
  size_t size = 0;  // the bytes that hold the pattern
  for (size_t next : sizes) {
    ASSERT_EQ(GlobalReAlloc(block, next, GMEM_ZEROINIT), block) << next;
    ASSERT_EQ(GlobalSize(block), next);
    auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
    size_t wrong = 0;
    for (size_t i = 0; i < next; i++)
      wrong += bytes[i] != (i < size ? pattern(i) : 0);
    EXPECT_EQ(wrong, 0u) << size << " to " << next;
    for (size_t i = 0; i < next; i++)
      bytes[i] = pattern(i);
    GlobalUnlock(block);
    size = next;
  }
  GlobalFree(block);
  // A large block starts zero-filled, a fresh one as much as a reused one.
  for (int round = 0; round < 2; round++) {
    HGLOBAL large = GlobalAlloc(GHND, LargeBlockBytes * 2 + 1);
    auto* bytes = static_cast<unsigned char*>(GlobalLock(large));
    size_t nonZero = 0;
    for (size_t i = 0; i < GlobalSize(large); i++)
      nonZero += bytes[i] != 0;
    EXPECT_EQ(nonZero, 0u);
    std::memset(bytes, 0xAB, GlobalSize(large));
    GlobalUnlock(large);
    GlobalFree(large);
  }
}

TEST(MemoryBlocks, FailuresGiveNullAndKeepTheOldBlock) {
  SetAllocationFailureAfter(0);
  EXPECT_EQ(GlobalAlloc(GHND, 16), nullptr);
  HGLOBAL block = GlobalAlloc(GHND, 16);  // the failure was used up
  ASSERT_NE(block, nullptr);
  std::memcpy(GlobalLock(block), "kept", 4);
  GlobalUnlock(block);
  SetAllocationFailureAfter(1);
  HGLOBAL second = GlobalAlloc(GHND, 1);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(GlobalReAlloc(block, 1 << 20, 0), nullptr);
  EXPECT_EQ(GlobalSize(block), 16u);
  EXPECT_EQ(std::string(static_cast<char*>(GlobalLock(block)), 4), "kept");
  GlobalUnlock(block);
  GlobalFree(block);
  GlobalFree(second);
  // Null handles are absorbed.
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  EXPECT_EQ(GlobalSize(nullptr), 0u);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
  EXPECT_EQ(GlobalReAlloc(nullptr, 4, 0), nullptr);
}

TEST(MemoryBlocks, AnImpossibleSizeFailsCleanly) { EXPECT_EQ(GlobalAlloc(GHND, static_cast<size_t>(-1) / 2), nullptr); }

std::string lastCaption, lastText;
MessageIcon lastIcon;
void Record(const char* caption, const char* text, MessageIcon icon) {
  lastCaption = caption;
  lastText = text;
  lastIcon = icon;
}

TEST(Messages, OutOfMemoryShowsTheSharedStopMessage) {
  MessageBoxHandler previous = SetMessageBoxHandler(Record);
  MessageOutOfmemory();
  SetMessageBoxHandler(previous);
  EXPECT_EQ(lastCaption, "Orvelle");
  EXPECT_EQ(lastText, "Out of memory ! Crash imminent... Save your landscape immediately under a new name, then exit.");
  EXPECT_EQ(lastIcon, MessageIconStop);
}

TEST(Messages, DefaultHandlerWritesCaptionAndTextToStandardError) {
  SetMessageBoxHandler(nullptr);
  testing::internal::CaptureStderr();
  ShowMessageBox("Title", "Body", MessageIconWarning);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Title: Body\n");
}

}  // namespace
