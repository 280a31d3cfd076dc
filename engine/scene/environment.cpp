#include "engine/scene/environment.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <type_traits>

#include "engine/platform/random.h"

static_assert(std::is_trivially_copyable_v<TEnvironment>, "the record is stored as raw bytes");

bool QualitySettings::operator==(const QualitySettings& q) const { return std::memcmp(this, &q, sizeof q) == 0; }

namespace {

QualitySettings MakePreset(const uint8_t (&switches)[14], int32_t samples, float tolerance) {
  QualitySettings q;
  std::memcpy(&q, switches, sizeof switches);
  q.SoftShadowSamples = samples;
  q.SoftShadowTolerance = tolerance;
  return q;
}

// Transfers exactly `size` bytes, going on after partial transfers and interruptions.
template <class Transfer, class Buffer>
bool TransferAll(int file, Buffer* data, size_t size, Transfer transfer) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = transfer(file, data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

QualitySettings QualityPreset(TWhichRenderSetting which) {
  static const uint8_t draft[14] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
  static const uint8_t normal[14] = {1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1};
  static const uint8_t good[14] = {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  static const uint8_t best[14] = {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  switch (which) {
    case SettingDraft:
      return MakePreset(draft, 2, 100.0f);
    case SettingGood:
      return MakePreset(good, 3, 60.0f);
    case SettingBest:
      return MakePreset(best, 16, 40.0f);
    default:
      return MakePreset(normal, 3, 60.0f);
  }
}

TEnvironment::TEnvironment() {
  // Every byte gets a value (the ones the host leaves unset are zero), so that the
  // stored block never carries leftovers of memory.
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  RenderSetting = SettingNormal;
  Quality = QualityPreset(SettingNormal);
  CustomQuality = QualityPreset(SettingNormal);
  CustomQuality.HostSwitch1 = 1;
  RenderScope = 3;
  PictureWidth = 128;
  PictureHeight = 96;
  FlatLens = 1;
  RandomSeed = static_cast<int16_t>(StandardRandom());
  std::memset(Host81, 1, sizeof Host81);
  Host86 = Host90 = 128;
  Host94 = Host95 = 1;
  Host96 = 1;
  std::memset(Host100, 1, sizeof Host100);
  AllLightsForSelection = 1;
  Host105 = Host113 = Host121 = 5.0;
  Host129 = 1;
  DirectionalFollowCamera = 1;
  Host131 = 0.5f;
  Host135 = Host139 = 10;
  Host143 = 0.3f;
  Host151 = 1;
  Host156 = 30.0f;
  Host160 = 20.0f;
  Host164 = 1;
  Host168 = 1;
  std::memset(Host170, 1, sizeof Host170);
  GroundLevelInViews = 1;
  CameraAboveGround = 1;
  std::memset(Host177, 1, sizeof Host177);
  Host183 = Host184 = 1;
  BoundGroups = 1;
  Host186 = Host187 = 1;
}

void TEnvironment::SetRenderSetting(TWhichRenderSetting which) {
  Quality = which == SettingCustom ? CustomQuality : QualityPreset(which);
  RenderSetting = which;
}

bool TEnvironment::WriteEnvironment(int file) {
  return TransferAll(file, reinterpret_cast<const uint8_t*>(this), sizeof *this,
                     [](int fd, const uint8_t* p, size_t n) { return ::write(fd, p, n); });
}

bool TEnvironment::ReadEnvironment(int file) {
  // Read into a copy first: a short or failed read must not leave half the settings new.
  uint8_t block[sizeof(TEnvironment)];
  if (!TransferAll(file, block, sizeof block, [](int fd, uint8_t* p, size_t n) { return ::read(fd, p, n); }))
    return false;
  std::memcpy(static_cast<void*>(this), block, sizeof block);
  return true;
}

TEnvironment* GetEnvironment() {
  // Built on first use, so that code running during static initialisation finds it.
  static TEnvironment environment;
  return &environment;
}

void Connect(TEnvironment*& environment, ReleaseObjectCallback releaseObject, ReleaseListCallback releaseList,
             ReleaseMaterialCallback releaseMaterial, ReleaseFunctionCallback releaseFunction) {
  environment = GetEnvironment();
  SetReleaseCallbacks(releaseObject, releaseList, releaseMaterial, releaseFunction);
}
