#include "engine/platform/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Each test sets the base it needs and clears it afterwards.
class Paths : public ::testing::Test {
 protected:
  void TearDown() override { SetCheminInEngine(nullptr); }

  std::string Absolute(const char* in, PathCase pathCase = PathCase::Keep, bool* fitted = nullptr) {
    char buffer[MaxPathLength];
    std::strcpy(buffer, in);
    bool ok = MakeAbsolutePath(buffer, pathCase);
    if (fitted)
      *fitted = ok;
    return buffer;
  }
  std::string Relative(const char* in, PathCase pathCase = PathCase::Keep) {
    char buffer[MaxPathLength];
    std::strcpy(buffer, in);
    MakeRelativePath(buffer, pathCase);
    return buffer;
  }
};

TEST_F(Paths, WindowsStylePathsBehaveAsOnWindows) {
  SetCheminInEngine("d:\\app");
  EXPECT_EQ(Absolute("c:\\maps\\a.pic", PathCase::Lower), "c:\\maps\\a.pic");
  EXPECT_EQ(Absolute("C:\\Maps\\A.pic", PathCase::Lower), "c:\\maps\\a.pic");
  EXPECT_EQ(Absolute("a.pic"), "d:\\app\\a.pic");
  EXPECT_EQ(Relative("d:\\app\\a.pic"), "a.pic");
  EXPECT_EQ(Relative("D:\\APP\\Maps\\A.pic"), "Maps\\A.pic");  // Windows names ignore case
  EXPECT_EQ(Relative("c:\\other\\a.pic"), "c:\\other\\a.pic");
}

TEST_F(Paths, PosixPathsJoinWithSlashesAndRoundTrip) {
  SetCheminInEngine("/home/user/orvelle");
  EXPECT_EQ(Absolute("Pictures/Sky.png"), "/home/user/orvelle/Pictures/Sky.png");
  EXPECT_EQ(Absolute("/data/Rock.png"), "/data/Rock.png");
  for (const char* name : {"a.pic", "Pictures/Sky.png", "deep/er/Name.BMP"})
    EXPECT_EQ(Relative(Absolute(name).c_str()), name);
  // Case-sensitive outside Windows-style names.
  EXPECT_EQ(Relative("/home/user/Orvelle/a.pic"), "/home/user/Orvelle/a.pic");
}

TEST_F(Paths, PathsThatAreOpenedKeepTheCallersCaseAndKeysAreLowerCase) {
  SetCheminInEngine("/Home/User");
  EXPECT_EQ(Absolute("Maps/Alps.PNG"), "/Home/User/Maps/Alps.PNG");
  EXPECT_EQ(Absolute("Maps/Alps.PNG", PathCase::Lower), "/home/user/maps/alps.png");
  EXPECT_EQ(Relative("/Home/User/Maps/Alps.PNG"), "Maps/Alps.PNG");
  EXPECT_EQ(Relative("/HOME/user/Maps/Alps.PNG", PathCase::Lower), "maps/alps.png");
  EXPECT_EQ(Relative("/Elsewhere/Alps.PNG", PathCase::Lower), "/elsewhere/alps.png");
}

TEST_F(Paths, OnlyPathsInsideTheBaseLoseIt) {
  SetCheminInEngine("/home/a");
  EXPECT_EQ(Relative("/home/ab/x.png"), "/home/ab/x.png");
  EXPECT_EQ(Relative("/home/a"), "/home/a");
  EXPECT_EQ(Relative("/home/a/"), "");
  SetCheminInEngine("/");
  EXPECT_EQ(Absolute("x.png"), "/x.png");
  EXPECT_EQ(Relative("/x.png"), "x.png");
}

TEST_F(Paths, WithoutABaseRelativePathsStayRelative) {
  EXPECT_STREQ(GetCheminInEngine(), "");
  EXPECT_EQ(Absolute("a.pic"), "a.pic");
  EXPECT_EQ(Relative("/x/a.pic"), "/x/a.pic");
  EXPECT_EQ(Relative("a.pic"), "a.pic");
}

TEST_F(Paths, AResultThatDoesNotFitLeavesThePathUnchanged) {
  std::string base(200, 'b');
  base.insert(0, "/");
  SetCheminInEngine(base.c_str());
  std::string fits(MaxPathLength - 1 - base.size() - 1, 'f');
  bool fitted = false;
  EXPECT_EQ(Absolute(fits.c_str(), PathCase::Keep, &fitted), base + "/" + fits);
  EXPECT_TRUE(fitted);
  std::string tooLong = fits + "g";
  EXPECT_EQ(Absolute(tooLong.c_str(), PathCase::Lower, &fitted), tooLong);
  EXPECT_FALSE(fitted);

  // A buffer without a terminating zero is left alone.
  char unterminated[MaxPathLength];
  std::memset(unterminated, 'Q', sizeof unterminated);
  EXPECT_FALSE(MakeAbsolutePath(unterminated, PathCase::Lower));
  MakeRelativePath(unterminated, PathCase::Lower);
  EXPECT_EQ(unterminated[0], 'Q');
}

TEST_F(Paths, AnOverlongBaseIsCutToTheBuffer) {
  std::string base(400, 'x');
  SetCheminInEngine(base.c_str());
  EXPECT_EQ(std::strlen(GetCheminInEngine()), size_t(MaxPathLength - 1));
}

}  // namespace
