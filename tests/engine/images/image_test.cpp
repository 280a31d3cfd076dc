// Pictures shared through their reference-counted blocks and the process-wide cache.
#include "engine/images/image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/platform/messages.h"
#include "engine/platform/paths.h"
#include "tests/printers.h"

namespace {

// Restores the base directory and counts the out-of-memory messages of a test.
struct ImageTest : ::testing::Test {
  static inline int messages = 0;
  MessageBoxHandler saved = nullptr;
  void SetUp() override {
    messages = 0;
    saved = SetMessageBoxHandler([](const char*, const char*, MessageIcon) { messages++; });
    SetCheminInEngine("/home/Artist/Scenes");
  }
  void TearDown() override {
    SetAllocationFailureAfter(-1);
    SetMessageBoxHandler(saved);
    SetCheminInEngine(nullptr);
    EXPECT_EQ(PicturesInUse(), 0) << "a test left a picture in the cache";
  }
};

// What the host does: look the picture up, else "load" it (every byte `fill`) and store it.
std::unique_ptr<Image> Load(const char* path, ImageType type, int width, int height, uint8_t fill,
                            bool* loaded = nullptr) {
  auto image = std::make_unique<Image>();
  const bool cached = CheckIfPictureInUse(image.get(), path, type);
  if (!cached) {
    EXPECT_TRUE(image->Allocate(width, height, type));
    image->SetName(path);
    ImagePixels pixels(*image);
    std::memset(pixels.Rows(), fill, static_cast<size_t>(image->RowBytes) * height);
  }
  if (loaded)
    *loaded = !cached;
  if (!cached)
    StoreInPicturesInUse(image.get());
  return image;
}

uint8_t FirstByte(const Image& image) {
  ImagePixels pixels(image);
  return pixels.Rows() ? pixels.Rows()[0] : 0;
}

TEST_F(ImageTest, ANewImageIsOneBlackPixelWithABlockOfItsOwn) {
  Image image;
  EXPECT_STREQ(image.Name, "None");
  EXPECT_EQ(+image.Width, 1);
  EXPECT_EQ(+image.Height, 1);
  EXPECT_EQ(+image.RowBytes, 4);
  EXPECT_EQ(image.ReferenceCount(), 1);
  EXPECT_EQ(FirstByte(image), 0);
  EXPECT_EQ(Image::RowBytesFor(5, ColourImage), 16);  // 15 bytes padded to 16
  EXPECT_EQ(Image::RowBytesFor(5, GreyImage), 8);
  EXPECT_EQ(PicturesInUse(), 0);  // only stored pictures are cached
}

TEST_F(ImageTest, APictureUsedTwiceIsLoadedOnceAndOutlivesEitherImage) {
  bool loaded = false;
  auto first = Load("Pictures/Chart.png", ColourImage, 3, 2, 77, &loaded);
  EXPECT_TRUE(loaded);
  auto second = Load("Pictures/Chart.png", ColourImage, 3, 2, 0, &loaded);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(+first->Block, +second->Block);
  EXPECT_EQ(second->ReferenceCount(), 2);
  EXPECT_EQ(+second->Width, 3);
  EXPECT_EQ(+second->RowBytes, 12);
  EXPECT_EQ(PicturesInUse(), 1);
  first.reset();
  EXPECT_EQ(second->ReferenceCount(), 1);
  EXPECT_EQ(FirstByte(*second), 77);
  EXPECT_EQ(PicturesInUse(), 1);
  second.reset();
  EXPECT_EQ(PicturesInUse(), 0);
}

TEST_F(ImageTest, TheCacheMatchesPathsWithoutCaseAndRelativeToTheBaseButKeepsTheCaseToOpen) {
  struct Case {
    const char* stored;
    const char* looked;
    ImageType storedType, lookedType;
    bool same;
  } cases[] = {
      {"Pictures/Chart.png", "pictures/CHART.PNG", ColourImage, ColourImage, true},
      {"Pictures/Chart.png", "/home/Artist/Scenes/Pictures/Chart.png", ColourImage, ColourImage, true},
      {"/home/artist/scenes/pictures/chart.png", "Pictures/Chart.png", ColourImage, ColourImage, true},
      {"Pictures/Chart.png", "Pictures/Chart.png", ColourImage, GreyImage, false},
      {"Pictures/Chart.png", "Other/Chart.png", ColourImage, ColourImage, false},
      {"Mask.png", "Mask.png", GreyImage, static_cast<ImageType>(7), true},  // every non-zero type is grey
  };
  for (const Case& c : cases) {
    auto stored = Load(c.stored, c.storedType, 2, 2, 9);
    Image image;
    const bool found = CheckIfPictureInUse(&image, c.looked, c.lookedType);
    EXPECT_EQ(found, c.same) << c.stored << " / " << c.looked;
    if (found) {
      EXPECT_EQ(+image.Block, +stored->Block);
      EXPECT_STREQ(image.Name, c.looked);  // the path to open keeps its case
      EXPECT_EQ(image, *stored);
    }
  }
}

TEST_F(ImageTest, StoringAPictureAgainRefreshesEveryImageThatSharesIt) {
  auto first = Load("a.png", GreyImage, 4, 4, 10);
  Image shared = *first;
  // A second image loaded on its own (a reload) with new pixels of the same size.
  Image reload;
  ASSERT_TRUE(reload.Allocate(4, 4, GreyImage));
  reload.SetName("A.PNG");
  {
    ImagePixels pixels(reload);
    std::memset(pixels.Rows(), 200, 16);
  }
  StoreInPicturesInUse(&reload);
  EXPECT_EQ(FirstByte(shared), 200);
  EXPECT_EQ(+reload.Block, +first->Block);  // no second copy of the picture is kept
  EXPECT_EQ(first->ReferenceCount(), 3);
  // Another size is another picture: nothing is copied and nothing cached in its place.
  Image other;
  ASSERT_TRUE(other.Allocate(2, 2, GreyImage));
  other.SetName("a.png");
  StoreInPicturesInUse(&other);
  EXPECT_EQ(FirstByte(shared), 200);
  EXPECT_NE(+other.Block, +first->Block);
  EXPECT_EQ(PicturesInUse(), 1);
}

TEST_F(ImageTest, AssignmentSharesAndTheLastImageRemovesItsEntryWhateverItsNameBecame) {
  auto image = Load("stone.png", ColourImage, 2, 2, 5);
  Image copy;
  copy = *image;
  copy = copy;  // self-assignment keeps the reference
  EXPECT_EQ(image->ReferenceCount(), 2);
  EXPECT_EQ(copy, *image);
  Image constructed(copy);
  EXPECT_EQ(image->ReferenceCount(), 3);
  image.reset();
  constructed = Image();
  // Renamed after it was stored: the entry must still go with the block.
  copy.SetName("renamed.png");
  copy = Image();
  EXPECT_EQ(PicturesInUse(), 0);
  Image stranger;
  EXPECT_FALSE(CheckIfPictureInUse(&stranger, "stone.png", ColourImage));
}

TEST_F(ImageTest, AFailedAllocationLeavesAnImageWithoutPixelsThatIsNeitherReadNorCopied) {
  Image image;
  SetAllocationFailureAfter(0);
  EXPECT_FALSE(image.Allocate(8, 8, ColourImage));
  EXPECT_EQ(messages, 1);
  EXPECT_FALSE(image.HasPixels());
  EXPECT_EQ(image.ReferenceCount(), 0);
  EXPECT_EQ(ImagePixels(image).Rows(), nullptr);
  Image copy;
  copy = image;
  EXPECT_FALSE(copy.HasPixels());
  StoreInPicturesInUse(&image);  // nothing to cache
  EXPECT_EQ(PicturesInUse(), 0);
  // Sides the record cannot hold are refused the same way.
  EXPECT_FALSE(image.Allocate(70000, 1, GreyImage));
  EXPECT_FALSE(image.Allocate(0, 5, GreyImage));
}

TEST_F(ImageTest, FieldsThatPromiseMoreThanTheBlockHoldsAreNeverRead) {
  Image image;
  ASSERT_TRUE(image.Allocate(2, 2, GreyImage));
  image.Height = 500;  // the host wrote a wrong size
  EXPECT_EQ(ImagePixels(image).Rows(), nullptr);
  image.Height = 2;
  image.Kind = ColourImage;  // grey rows are too short for colour pixels
  EXPECT_EQ(ImagePixels(image).Rows(), nullptr);
}

}  // namespace
