#include "engine/scene/environment.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "engine/geometry/objects_list.h"
#include "engine/materials/texture.h"
#include "engine/objects/primitives.h"
#include "tests/printers.h"

namespace {

const uint8_t* Bytes(const TEnvironment& e) { return reinterpret_cast<const uint8_t*>(&e); }

template <class T>
T At(const TEnvironment& e, size_t position) {
  T value;
  std::memcpy(&value, Bytes(e) + position, sizeof value);
  return value;
}

// A temporary file that removes itself.
struct TempFile {
  int fd;
  char name[64] = "/tmp/environment_test_XXXXXX";
  TempFile() { fd = mkstemp(name); }
  ~TempFile() {
    close(fd);
    unlink(name);
  }
};

void ExpectQuality(const QualitySettings& q, std::initializer_list<int> switches, int samples, float tolerance) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&q);
  int i = 0;
  for (int s : switches) {
    EXPECT_EQ(bytes[i], s) << "switch " << i;
    i++;
  }
  EXPECT_EQ(int32_t(q.SoftShadowSamples), samples);
  EXPECT_EQ(float(q.SoftShadowTolerance), tolerance);
}

TEST(Environment, EveryPresetHasItsSwitchesSamplesAndTolerance) {
  TEnvironment e;
  e.SetRenderSetting(SettingDraft);
  ExpectQuality(e.Quality, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}, 2, 100.0f);
  e.SetRenderSetting(SettingNormal);
  ExpectQuality(e.Quality, {1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1}, 3, 60.0f);
  e.SetRenderSetting(SettingGood);
  ExpectQuality(e.Quality, {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 3, 60.0f);
  e.SetRenderSetting(SettingBest);
  ExpectQuality(e.Quality, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 16, 40.0f);
  EXPECT_EQ(int32_t(e.RenderSetting), SettingBest);
  // The named switches are the bytes of the table.
  EXPECT_EQ(e.Quality.MultiSample, 1);
  EXPECT_EQ(e.Quality.Materials, 1);
  e.SetRenderSetting(SettingDraft);
  EXPECT_EQ(e.Quality.RayEffects, 0);
  EXPECT_EQ(e.Quality.DepthOfFieldSampling, 1);
}

TEST(Environment, CustomSettingRestoresTheUsersOwnQuality) {
  TEnvironment e;
  e.SetRenderSetting(SettingCustom);
  ExpectQuality(e.Quality, {1, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1}, 3, 60.0f);
  EXPECT_EQ(int32_t(e.RenderSetting), SettingCustom);
  e.CustomQuality.SoftShadowSamples = 9;
  e.CustomQuality.Shadows = 0;
  e.SetRenderSetting(SettingBest);
  e.SetRenderSetting(SettingCustom);
  EXPECT_EQ(e.Quality, e.CustomQuality);
}

TEST(Environment, AnUnknownSettingGivesTheNormalPresetAndIsStored) {
  TEnvironment e;
  e.SetRenderSetting(SettingBest);
  e.SetRenderSetting(static_cast<TWhichRenderSetting>(7));
  EXPECT_EQ(e.Quality, QualityPreset(SettingNormal));
  EXPECT_EQ(int32_t(e.RenderSetting), 7);
  e.SetRenderSetting(static_cast<TWhichRenderSetting>(-1));
  EXPECT_EQ(e.Quality, QualityPreset(SettingNormal));
}

TEST(Environment, DefaultsSitAtTheirBytePositions) {
  TEnvironment e;
  EXPECT_EQ(At<int32_t>(e, 0), 1);
  EXPECT_EQ(e.Quality, QualityPreset(SettingNormal));
  EXPECT_EQ(At<uint8_t>(e, 26 + 1), 1);  // the custom quality has HostSwitch1 on
  EXPECT_EQ(At<int32_t>(e, 48), 3);
  for (size_t i = 52; i < 68; i++)
    EXPECT_EQ(At<uint8_t>(e, i), 0) << i;
  EXPECT_EQ(At<int32_t>(e, 68), 128);
  EXPECT_EQ(At<int32_t>(e, 72), 96);
  EXPECT_EQ(At<uint8_t>(e, 76), 0);
  EXPECT_EQ(At<uint8_t>(e, 77), 1);
  EXPECT_EQ(At<uint8_t>(e, 78), 0);
  EXPECT_GE(At<int16_t>(e, 79), 0);
  for (size_t i : {81,  82,  83,  84,  85,  94,  95,  100, 101, 102, 103, 104, 129, 130, 151, 168,
                   170, 171, 172, 173, 174, 176, 177, 178, 179, 180, 181, 183, 184, 185, 186, 187})
    EXPECT_EQ(At<uint8_t>(e, i), 1) << i;
  for (size_t i : {169, 175, 182})
    EXPECT_EQ(At<uint8_t>(e, i), 0) << i;
  EXPECT_EQ(At<int32_t>(e, 86), 128);
  EXPECT_EQ(At<int32_t>(e, 90), 128);
  EXPECT_EQ(At<int32_t>(e, 96), 1);
  for (size_t i : {105, 113, 121})
    EXPECT_EQ(At<double>(e, i), 5.0) << i;
  EXPECT_EQ(At<float>(e, 131), 0.5f);
  EXPECT_EQ(At<int32_t>(e, 135), 10);
  EXPECT_EQ(At<int32_t>(e, 139), 10);
  EXPECT_EQ(At<float>(e, 143), 0.3f);
  EXPECT_EQ(At<int32_t>(e, 147), 0);
  EXPECT_EQ(At<int32_t>(e, 152), 0);
  EXPECT_EQ(At<float>(e, 156), 30.0f);
  EXPECT_EQ(At<float>(e, 160), 20.0f);
  EXPECT_EQ(At<int32_t>(e, 164), 1);
}

TEST(Environment, RandomSeedComesFromTheReducedGenerator) {
  srand(1234);
  int expected = rand() % 32768;
  srand(1234);
  TEnvironment e;
  EXPECT_EQ(int16_t(e.RandomSeed), expected);
}

TEST(Environment, WriteThenReadThroughAFileRestoresAll188Bytes) {
  TEnvironment written;
  written.SetRenderSetting(SettingGood);
  written.PictureWidth = 640;
  written.Host105 = -1.25;
  written.Host52[7] = 0xAB;
  written.BoundGroups = 0;
  TempFile file;
  ASSERT_GE(file.fd, 0);
  ASSERT_TRUE(written.WriteEnvironment(file.fd));
  EXPECT_EQ(lseek(file.fd, 0, SEEK_END), 188);  // no header, nothing else

  TEnvironment read;
  read.SetRenderSetting(SettingDraft);
  ASSERT_EQ(lseek(file.fd, 0, SEEK_SET), 0);
  ASSERT_TRUE(read.ReadEnvironment(file.fd));
  EXPECT_EQ(std::memcmp(&read, &written, 188), 0);
}

TEST(Environment, WriteAndReadStartAtTheFilesCurrentPosition) {
  TempFile file;
  ASSERT_EQ(write(file.fd, "head", 4), 4);
  TEnvironment first, second;
  second.PictureHeight = 480;
  ASSERT_TRUE(first.WriteEnvironment(file.fd));
  ASSERT_TRUE(second.WriteEnvironment(file.fd));
  lseek(file.fd, 4 + 188, SEEK_SET);
  TEnvironment read;
  ASSERT_TRUE(read.ReadEnvironment(file.fd));
  EXPECT_EQ(std::memcmp(&read, &second, 188), 0);
}

TEST(Environment, AShortOrFailedReadLeavesTheRecordAsItWas) {
  TempFile file;
  TEnvironment source;
  source.PictureWidth = 1;
  ASSERT_TRUE(source.WriteEnvironment(file.fd));
  ASSERT_EQ(ftruncate(file.fd, 100), 0);
  lseek(file.fd, 0, SEEK_SET);
  TEnvironment e;
  e.SetRenderSetting(SettingBest);
  TEnvironment before = e;
  EXPECT_FALSE(e.ReadEnvironment(file.fd));
  EXPECT_EQ(std::memcmp(&e, &before, 188), 0);
  EXPECT_FALSE(e.ReadEnvironment(-1));
  EXPECT_FALSE(e.WriteEnvironment(-1));
  EXPECT_EQ(std::memcmp(&e, &before, 188), 0);
}

int releasedObjects = 0;
void CountObject(BasicObject* object) {
  releasedObjects++;
  delete object;
}
void IgnoreList(ObjectsList*, int) {}
void IgnoreMaterial(Texture*) {}
void IgnoreFunction(Fonction3D*) {}

TEST(Environment, ConnectHandsOutTheOneEnvironmentAndInstallsTheCallbacks) {
  TEnvironment* first = nullptr;
  TEnvironment* second = nullptr;
  Connect(first, CountObject, IgnoreList, IgnoreMaterial, IgnoreFunction);
  Connect(second, CountObject, IgnoreList, IgnoreMaterial, IgnoreFunction);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, GetEnvironment());
  first->PictureWidth = 321;
  EXPECT_EQ(int32_t(GetEnvironment()->PictureWidth), 321);
  first->PictureWidth = 128;

  releasedObjects = 0;
  ReleaseObject(new Sph(0));
  EXPECT_EQ(releasedObjects, 1);
  SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace
