// The landscape's own fields: sky, fog, haze, light colour, layer statuses, render
// settings, materials, cloud layers and objects.
#include "host/landscape_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/objects/object.h"
#include "engine/render/atmosphere.h"
#include "host/command_line.h"
#include "host/landscape.h"
#include "host/landscape_placement.h"

// The landscape ----------------------------------------------------------------------------

namespace {

void ReadQuality(ReadContext& ctx, const JsonNode& node, QualitySettings& q) {
  Fields f(ctx, node, "CustomQuality");
  READ_BOOL(f, q, HostSwitch0);
  READ_BOOL(f, q, HostSwitch1);
  READ_BOOL(f, q, MultiSample);
  READ_BOOL(f, q, RayEffects);
  READ_BOOL(f, q, Shadows);
  READ_BOOL(f, q, Reflections);
  READ_BOOL(f, q, Transparency);
  READ_BOOL(f, q, Distribution);
  READ_BOOL(f, q, HostSwitch8);
  READ_BOOL(f, q, HostSwitch9);
  READ_BOOL(f, q, HostSwitch10);
  READ_BOOL(f, q, SoftShadowSampling);
  READ_BOOL(f, q, DepthOfFieldSampling);
  READ_BOOL(f, q, Materials);
  READ_INT(f, q, SoftShadowSamples, 1, 25);
  READ_FLOAT(f, q, SoftShadowTolerance, 0.0, 1e6);
}

void ReadEnvironment(ReadContext& ctx, const JsonNode& node, LandscapeRenderSettings& s) {
  Fields f(ctx, node, "Environment");
  if (auto v = f.Integer("RenderSetting", 0, 4))
    s.RenderSetting = static_cast<int>(*v);
  if (auto v = f.Integer("PictureWidth", 1, MaxPictureSide))
    s.PictureWidth = static_cast<int>(*v);
  if (auto v = f.Integer("PictureHeight", 1, MaxPictureSide))
    s.PictureHeight = static_cast<int>(*v);
  if (auto v = f.Integer("RenderScope", 1, 3))
    s.RenderScope = static_cast<int>(*v);
  if (auto v = f.Bool("FlatLens"))
    s.FlatLens = *v;
  if (auto v = f.Bool("BoundGroups"))
    s.BoundGroups = *v;
  if (auto v = f.Bool("MaterialSwitch"))
    s.MaterialSwitch = *v;
  if (auto v = f.Bool("AllLightsForSelection"))
    s.AllLightsForSelection = *v;
  if (const JsonNode* q = f.Get("CustomQuality")) {
    QualitySettings quality = QualityPreset(SettingNormal);
    quality.HostSwitch1 = 1;
    ReadQuality(ctx, *q, quality);
    s.CustomQuality = quality;
  }
}

void ReadCloudLayer(ReadContext& ctx, const JsonNode& node, CloudLayer& layer) {
  Fields f(ctx, node, "a cloud layer");
  READ_FLOAT(f, layer, Exposure, -64.0, 64.0);
  READ_FLOAT(f, layer, Altitude, 1.0, 1e6);
  READ_FLOAT(f, layer, SunBoost);
  READ_FLOAT(f, layer, SunBoostByClearance);
  READ_FLOAT(f, layer, FadeRange, 0.0, 1e6);
  // The renderer needs a material on every cloud layer: a default one unless given.
  layer.Material = new Texture;
  layer.Material->ColourSource = 0;
  if (const JsonNode* m = f.Get("Material"))
    ReadMaterial(ctx, *m, *layer.Material);
}

// The array `key`, checked to hold at most `limit` elements.
const JsonNode* ArrayOf(ReadContext& ctx, Fields& f, const char* key, size_t limit, const char* what) {
  const JsonNode* n = f.Get(key);
  if (n && n->kind != JsonNode::Kind::Array) {
    ctx.Error(n->position, std::string(key) + " must be an array, not " + n->KindName());
    return nullptr;
  }
  if (n && n->items.size() > limit) {
    ctx.Error(n->position, "a landscape holds at most " + std::to_string(limit) + " " + what);
    return nullptr;
  }
  return n;
}

}  // namespace

void ApplyFormatDefaults(TPaysage& p) {
  p.SkyTint = VECFLOAT(1.0f, 1.0f, 1.0f);
  p.LightColour = VECFLOAT(1.0f, 1.0f, 1.0f);
  p.SkyColours.Flush();
  p.SkyColours.Add(VALCLR(0, CLR(240, 215, 200)));  // CLR is blue, green, red
  p.SkyColours.Add(VALCLR(10000, CLR(190, 95, 45)));
  p.GradientThickness = 30000000.0f;
  p.SunDiscCos = 0.9996f;
  p.SunColours.Flush();
  p.SunColours.Add(VALCLR(0, CLR(235, 255, 255)));
  p.SunColours.Add(VALCLR(10000, CLR(160, 225, 255)));
  p.HazeColour = CLR(235, 215, 205);
  p.FogColour = p.HazeColour;
  p.PanoramicFactor = 3.14159265f;
}

namespace {

// A factor of 1 is white; larger values are boosts, but 255 is a colour written on the
// wrong scale and gives a blown-out picture.
void WarnAboutColourScale(ReadContext& ctx, Fields& f, const char* key, const VECFLOAT& value) {
  const JsonNode* n = f.Get(key);
  if (n && std::max({value.x, value.y, value.z}) > MaxLikelyColourFactor)
    ctx.Warning(n->position, std::string(key) + " is a factor per channel (1 is white, 0.5 half as bright); [" +
                                 FormatNumber(value.x) + ", " + FormatNumber(value.y) + ", " + FormatNumber(value.z) +
                                 "] looks like 0..255: divide by 255");
}

}  // namespace

void ReadLandscape(ReadContext& ctx, const JsonNode& root, Landscape& landscape) {
  if (root.kind != JsonNode::Kind::Object) {
    ctx.Error(root.position, std::string("the landscape must be an object, not ") + root.KindName());
    return;
  }
  Fields f(ctx, root, "the landscape");
  TPaysage& p = landscape.Record();
  ApplyFormatDefaults(p);
  READ_FLOAT(f, p, HazeHeight);
  READ_FLOAT(f, p, HazeStrength);
  READ_FLOAT(f, p, GradientBase);
  READ_FLOAT(f, p, GradientThickness);
  READ_FLOAT(f, p, SunWeight);
  READ_BOOL(f, p, TintAllLights);
  READ_FLOAT(f, p, FogDensity, 0.0, FLT_MAX);
  READ_FLOAT(f, p, FogHeightDensity, 0.0, FLT_MAX);
  READ_FLOAT(f, p, FogAltitude);
  READ_FLOAT(f, p, FogFalloff);
  READ_FLOAT(f, p, HazeDensity, 0.0, FLT_MAX);
  READ_CLR(f, p, HazeColour);
  // The sky fades into FogColour at the horizon while surfaces fade into HazeColour:
  // one colour unless the file says otherwise, so that the horizon has no seam.
  p.FogColour = p.HazeColour;
  READ_CLR(f, p, FogColour);
  READ_FLOAT(f, p, SunDiscCos, -1.0, 1.0);
  if (const JsonNode* n = f.Get("SunDiscCos"); n && p.SunDiscCos < 0.99f)
    ctx.Warning(n->position, "SunDiscCos is the cosine of the sun disc's radius: " + FormatNumber(p.SunDiscCos) +
                                 " makes a disc " +
                                 FormatNumber(std::round(2.0 * std::acos(p.SunDiscCos) * 180.0 / M_PI)) +
                                 " degrees wide; a small sun is about 0.9996");
  READ_VECF(f, p, SkyTint, 0.0, FLT_MAX);
  WarnAboutColourScale(ctx, f, "SkyTint", p.SkyTint);
  READ_VECF(f, p, LightColour, 0.0, FLT_MAX);
  WarnAboutColourScale(ctx, f, "LightColour", p.LightColour);
  landscape.ViewsPlaced = f.Get("ViewCentre") || f.Get("ViewScale");
  if (auto v = f.Vecteur("ViewCentre", -1e30, 1e30))
    p.ViewCentre = *v;
  READ_FLOAT(f, p, ViewScale, 1e-9, FLT_MAX);
  READ_FLOAT(f, p, CloudShadow, 0.0, 1.0);
  READ_BOOL(f, p, Panoramic);
  READ_FLOAT(f, p, PanoramicFactor, 0.01, 2.0 * M_PI);
  READ_FLOAT(f, p, PictureShiftX);
  READ_FLOAT(f, p, PictureShiftY);
  READ_BOOL(f, p, SunFollowsCamera);
  READ_FLOAT(f, p, GlowStrength);
  READ_FLOAT(f, p, GlowCos, -1.0, 1.0);
  if (const JsonNode* t = f.Get("SunColours"))
    ReadColourTable(ctx, *t, "SunColours", p.SunColours);
  if (const JsonNode* t = f.Get("SkyColours"))
    ReadColourTable(ctx, *t, "SkyColours", p.SkyColours);
  if (const JsonNode* s = f.Get("LayerStatus")) {
    if (s->kind != JsonNode::Kind::Array || s->items.size() > LayerCount) {
      ctx.Error(s->position, "LayerStatus must be an array of at most 8 integers (0 hidden, 1 visible, 2 active)");
    } else {
      for (size_t i = 0; i < s->items.size(); i++)
        if (auto v = ReadInteger(ctx, s->items[i], "LayerStatus[" + std::to_string(i) + "]", 0, 2))
          p.LayerStatus[i] = static_cast<int32_t>(*v);
    }
  }
  if (const JsonNode* e = f.Get("Environment"))
    ReadEnvironment(ctx, *e, landscape.Settings);
  // A panoramic landscape gets the panoramic lens unless the file keeps the flat one.
  if (p.Panoramic && !landscape.Settings.FlatLens)
    landscape.Settings.FlatLens = false;

  // Materials first: objects check their material index against them.
  if (const JsonNode* list = ArrayOf(ctx, f, "Materials", MaxMaterials, "materials")) {
    for (const JsonNode& m : list->items) {
      if (ctx.Full())
        break;
      Texture* material = new Texture;
      landscape.Materials().Add(material);
      ReadMaterial(ctx, m, *material);
    }
  }
  ctx.materialCount = static_cast<unsigned>(landscape.Materials().Count());
  if (const JsonNode* list = ArrayOf(ctx, f, "CloudLayers", MaxCloudLayers, "cloud layers")) {
    for (const JsonNode& c : list->items) {
      if (ctx.Full())
        break;
      CloudLayer* layer = new CloudLayer;
      landscape.CloudLayers().Add(layer);
      ReadCloudLayer(ctx, c, *layer);
    }
  }
  if (const JsonNode* list = ArrayOf(ctx, f, "Objects", MaxObjects, "objects")) {
    for (const JsonNode& o : list->items) {
      if (ctx.Full())
        break;
      if (BasicObject* object = ReadObject(ctx, o))
        landscape.Objects().Add(object);
    }
  }
  if (ctx.Failed())
    return;

  // Heights above the ground, now that every terrain is built.
  for (const ReadContext::GroundPlacement& placement : ctx.placements) {
    const VECTEUR at = placement.object->GetCenter();
    const auto ground = GroundAltitude(landscape.Objects(), at.x, at.y);
    if (!ground) {
      ctx.Error(placement.at,
                "AboveGround: no terrain lies under (" + FormatNumber(at.x) + ", " + FormatNumber(at.y) + ")");
      continue;
    }
    placement.object->MoveTo(static_cast<float>(at.x), static_cast<float>(at.y),
                             static_cast<float>(*ground + placement.above), nullptr);
  }
  bool lit = false, shown = false;
  for (BasicObject* object : landscape.Objects()) {
    lit = lit || dynamic_cast<TLight*>(object) != nullptr;
    shown = shown || (!dynamic_cast<TLight*>(object) && object->type != BasicObject::TypeCamera);
  }
  if (shown && !lit)
    ctx.Warning(root.position, "the landscape has no light: surfaces show only their ambient light");
  AddFramingCamera(landscape.Objects());
}
