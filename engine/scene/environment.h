// TEnvironment: the one process-wide settings record (quality presets and switches,
// render scope, picture size), shared byte for byte with the host and stored by it as
// a raw 188-byte block; and Connect, through which the host reaches it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/scene/release_callbacks.h"

// Which quality preset is in force.
enum TWhichRenderSetting : int32_t {
  SettingDraft = 0,
  SettingNormal = 1,
  SettingGood = 2,
  SettingBest = 3,
  SettingCustom = 4,  // the user's own settings (CustomQuality)
};

#pragma pack(push, 1)

// One set of quality settings: 14 one-byte switches, then the soft shadow sampling.
struct QualitySettings {
  uint8_t HostSwitch0;
  uint8_t HostSwitch1;
  uint8_t MultiSample;  // the host samples each pixel itself; depth of field follows the sub-pixel
  uint8_t RayEffects;   // master switch of shadows, reflections and transparency
  uint8_t Shadows;
  uint8_t Reflections;
  uint8_t Transparency;
  uint8_t Distribution;  // several samples for soft shadows and depth of field
  uint8_t HostSwitch8;
  uint8_t HostSwitch9;
  uint8_t HostSwitch10;
  uint8_t SoftShadowSampling;
  uint8_t DepthOfFieldSampling;
  uint8_t Materials;  // off: plain grey surfaces and no clouds
  int32_t SoftShadowSamples;
  float SoftShadowTolerance;

  bool operator==(const QualitySettings& q) const;
};

// Fields named HostN are kept for the host; N is their byte position in the block.
struct TEnvironment {
  TWhichRenderSetting RenderSetting;
  QualitySettings Quality;        // the settings in force
  QualitySettings CustomQuality;  // restored by SettingCustom
  int32_t RenderScope;            // 0 selection, 1 active layers, 2 layers not hidden, 3 everything
  uint8_t Host52[16];
  int32_t PictureWidth;
  int32_t PictureHeight;
  uint8_t Host76;
  uint8_t FlatLens;  // panoramic landscapes still use the flat lens
  uint8_t Host78;
  int16_t RandomSeed;
  uint8_t Host81[5];
  int32_t Host86, Host90;
  uint8_t Host94, Host95;
  int32_t Host96;
  uint8_t Host100[4];
  uint8_t AllLightsForSelection;  // a rendered selection is lit by every light of the scene
  double Host105, Host113, Host121;
  uint8_t Host129;
  uint8_t DirectionalFollowCamera;  // initial FollowCamera of a new directional light
  float Host131;
  int32_t Host135, Host139;
  float Host143;
  int32_t Host147;
  uint8_t Host151;
  int32_t Host152;
  float Host156, Host160;
  int32_t Host164;
  uint8_t Host168;
  uint8_t MaterialSwitch;
  uint8_t Host170[4];
  uint8_t GroundLevelInViews;      // views take GroundLevel from the horizontal infinite plane
  uint8_t GroundLevelInSideViews;  // the same for the orthographic views
  uint8_t CameraAboveGround;       // moving the camera keeps it at or above GroundLevel
  uint8_t Host177[5];
  uint8_t Host182;
  uint8_t Host183, Host184;
  uint8_t BoundGroups;  // groups become bounding volumes instead of being flattened
  uint8_t Host186, Host187;

  // The defaults: the Normal preset in force, bytes the host keeps at their documented
  // values (those it leaves unset are zero) and a random seed from rand().
  TEnvironment();

  // Puts preset `which` (0-3) or CustomQuality (4) in force; any other value puts the
  // Normal preset in force. RenderSetting becomes `which` in every case.
  void SetRenderSetting(TWhichRenderSetting which);

  // Write or read the 188 bytes of the record at the file's current position, with no
  // header. Both return true when all 188 bytes were transferred. A read that fails or
  // ends early leaves the record exactly as it was.
  bool WriteEnvironment(int file);
  bool ReadEnvironment(int file);
};

#pragma pack(pop)

static_assert(sizeof(QualitySettings) == 22);
static_assert(offsetof(QualitySettings, SoftShadowSamples) == 14);
static_assert(sizeof(TEnvironment) == 188);
static_assert(offsetof(TEnvironment, Quality) == 4);
static_assert(offsetof(TEnvironment, CustomQuality) == 26);
static_assert(offsetof(TEnvironment, RenderScope) == 48);
static_assert(offsetof(TEnvironment, PictureWidth) == 68);
static_assert(offsetof(TEnvironment, PictureHeight) == 72);
static_assert(offsetof(TEnvironment, FlatLens) == 77);
static_assert(offsetof(TEnvironment, RandomSeed) == 79);
static_assert(offsetof(TEnvironment, Host86) == 86);
static_assert(offsetof(TEnvironment, Host96) == 96);
static_assert(offsetof(TEnvironment, AllLightsForSelection) == 104);
static_assert(offsetof(TEnvironment, Host105) == 105);
static_assert(offsetof(TEnvironment, DirectionalFollowCamera) == 130);
static_assert(offsetof(TEnvironment, Host131) == 131);
static_assert(offsetof(TEnvironment, Host152) == 152);
static_assert(offsetof(TEnvironment, Host164) == 164);
static_assert(offsetof(TEnvironment, MaterialSwitch) == 169);
static_assert(offsetof(TEnvironment, GroundLevelInViews) == 174);
static_assert(offsetof(TEnvironment, GroundLevelInSideViews) == 175);
static_assert(offsetof(TEnvironment, CameraAboveGround) == 176);
static_assert(offsetof(TEnvironment, BoundGroups) == 185);

// The quality settings of preset `which` (0-3); any other value gives the Normal preset.
QualitySettings QualityPreset(TWhichRenderSetting which);

// The engine's process-wide environment.
TEnvironment* GetEnvironment();

// Hands the host the engine's environment and installs its four release callbacks;
// called once at start-up, before anything that releases an object.
void Connect(TEnvironment*& environment, ReleaseObjectCallback releaseObject, ReleaseListCallback releaseList,
             ReleaseMaterialCallback releaseMaterial, ReleaseFunctionCallback releaseFunction);
