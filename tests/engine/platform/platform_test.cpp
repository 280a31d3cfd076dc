#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

TEST(MemoryBlocks, AnImpossibleSizeFailsCleanly) {
  EXPECT_EQ(GlobalAlloc(GHND, static_cast<size_t>(-1) / 2), nullptr);
}

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
  EXPECT_EQ(lastText,
            "Out of memory ! Crash imminent... Save your landscape immediately under a new name, then exit.");
  EXPECT_EQ(lastIcon, MessageIconStop);
}

TEST(Messages, DefaultHandlerWritesCaptionAndTextToStandardError) {
  SetMessageBoxHandler(nullptr);
  testing::internal::CaptureStderr();
  ShowMessageBox("Title", "Body", MessageIconWarning);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Title: Body\n");
}

}  // namespace
