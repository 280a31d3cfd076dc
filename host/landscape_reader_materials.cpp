// Readers of materials and what they are made of: colour tables, filter curves,
// turbulence, rotations, layered functions and the surface response records.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "engine/functions/fonction3d.h"
#include "engine/functions/colour_table.h"
#include "engine/functions/filter.h"
#include "engine/images/image.h"
#include "engine/materials/texture.h"
#include "engine/platform/paths.h"
#include "host/landscape_reader.h"
#include "host/picture_file.h"

namespace {

// Key positions of tables and filters: 0..10000 stands for 0..1.
constexpr int64_t KeyScale = 10000;
// Octaves are summed one by one for every evaluation: a bound keeps renders finite.
constexpr int64_t MaxOctaves = 32;
// Layers of one function.
constexpr size_t MaxFunctionLayers = 64;

const JsonNode* KeyArrayNode(ReadContext& ctx, const JsonNode& node, const std::string& what) {
  if (node.kind != JsonNode::Kind::Array || node.items.empty()) {
    ctx.Error(node.position, what + " must be a non-empty array of keys");
    return nullptr;
  }
  return &node;
}

void ReadOptions(ReadContext& ctx, const JsonNode& node, Options& options) {
  Fields f(ctx, node, "DefaultOptions");
  READ_INT(f, options, Setting, INT32_MIN, INT32_MAX);
  READ_INT(f, options, Background, INT32_MIN, INT32_MAX);
  if (const JsonNode* t = f.Get("BackgroundColours"))
    ReadColourTable(ctx, *t, "BackgroundColours", options.BackgroundColours);
  if (const JsonNode* t = f.Get("ValueColours"))
    ReadColourTable(ctx, *t, "ValueColours", options.ValueColours);
}

// The size of a material's preview bitmap, which the engine allocates: at most 4096 a side.
void ReadPreview(ReadContext& ctx, const JsonNode& node, TDib24& preview) {
  Fields f(ctx, node, "Preview");
  int width = preview.Width(), height = preview.Height();
  if (auto v = f.Integer("Width", 1, 4096))
    width = static_cast<int>(*v);
  if (auto v = f.Integer("Height", 1, 4096))
    height = static_cast<int>(*v);
  if (width != preview.Width() || height != preview.Height())
    preview = TDib24(width, height);
}

// Sides of the pictures of materials and layers.
constexpr int MaxImageSide = 16384;

// The picture of a material (colour) or of a function layer (grey), given as a path
// relative to the landscape file. The process-wide picture cache lends an image the pixels
// of a picture already loaded with the same path and type, so a picture is read once.
void ReadImage(ReadContext& ctx, const JsonNode& node, ImageType type, Image& image) {
  if (node.kind != JsonNode::Kind::String || node.string.empty()) {
    ctx.Error(node.position, std::string("Picture must be a picture path, not ") + node.KindName());
    return;
  }
  const std::string path = JoinPath(ctx.baseFolder, node.string);
  // The image keeps the path as its name (its identity in the picture cache); a path too
  // long for the name is kept relative to the program's base directory.
  char name[MaxPathLength] = "";
  if (path.size() < sizeof(name)) {
    std::copy(path.begin(), path.end(), name);
    if (path.size() >= ImageNameLength)
      MakeRelativePath(name);
  }
  if (std::strlen(name) == 0 || std::strlen(name) >= ImageNameLength) {
    ctx.Error(node.position, "the picture path \"" + path + "\" is longer than " + std::to_string(ImageNameLength - 1) +
                                 " characters");
    return;
  }
  if (CheckIfPictureInUse(&image, name, type))
    return;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    ctx.Error(node.position, "the picture \"" + node.string + "\" is a folder, not a picture");
    return;
  }
  const int channels = type == ColourImage ? 3 : 1;
  PictureSamples picture;
  std::string error;
  if (!ReadPictureSamples(path, channels, picture, error)) {
    ctx.Error(node.position, "cannot read the picture \"" + node.string + "\": " + error);
    return;
  }
  if (picture.width > MaxImageSide || picture.height > MaxImageSide) {
    ctx.Error(node.position, "the picture \"" + node.string + "\" is " + std::to_string(picture.width) + " x " +
                                 std::to_string(picture.height) + " pixels; pictures have at most " +
                                 std::to_string(MaxImageSide) + " pixels a side");
    return;
  }
  if (!image.Allocate(picture.width, picture.height, type)) {
    ctx.Error(node.position, "not enough memory for the picture \"" + node.string + "\"");
    return;
  }
  image.SetName(name);
  {
    ImagePixels pixels(image);
    // Files run top to bottom, blocks bottom to top; colour blocks hold blue, green, red.
    for (int y = 0; y < picture.height; y++) {
      const uint8_t* from = &picture.samples[static_cast<size_t>(y) * picture.width * channels];
      uint8_t* to = pixels.Rows() + static_cast<size_t>(image.RowBytes) * (picture.height - 1 - y);
      for (int x = 0; x < picture.width; x++, from += channels) {
        if (channels == 1) {
          to[x] = from[0];
        } else {
          to[3 * x] = from[2];
          to[3 * x + 1] = from[1];
          to[3 * x + 2] = from[0];
        }
      }
    }
  }
  StoreInPicturesInUse(&image);
}

void ReadLayer(ReadContext& ctx, const JsonNode& node, FNCT& layer) {
  Fields f(ctx, node, "a function layer");
  READ_INT(f, layer, FunctionClass, 0, 1);
  READ_INT(f, layer, PictureMapping, 0, 6);
  READ_INT(f, layer, PictureMode, INT32_MIN, INT32_MAX);
  if (const JsonNode* n = f.Get("Picture"))
    ReadImage(ctx, *n, GreyImage, layer.Picture);
  READ_INT(f, layer, PictureOffsetU, INT32_MIN, INT32_MAX);
  READ_INT(f, layer, PictureOffsetV, INT32_MIN, INT32_MAX);
  READ_BOOL(f, layer, PictureFlag1);
  READ_BOOL(f, layer, PictureFlag2);
  READ_CODE(f, layer, Kind, 0, 44, FunctionKindNames());
  READ_VECF(f, layer, Origin);
  READ_VECF(f, layer, Scale);
  READ_FLOAT(f, layer, Amplitude);
  READ_BOOL(f, layer, Fractal);
  READ_INT(f, layer, Octaves, 0, MaxOctaves);
  READ_CODE(f, layer, OctaveMode, 0, 9, CombineModeNames());
  READ_FLOAT(f, layer, Lacunarity);
  READ_FLOAT(f, layer, Gain);
  READ_BOOL(f, layer, Rotate);
  if (const JsonNode* r = f.Get("Rotation"))
    ReadRotation(ctx, *r, "Rotation", layer.Rotation);
  READ_BOOL(f, layer, Perturb);
  if (const JsonNode* t = f.Get("Turbulence"))
    ReadTurbulence(ctx, *t, layer.Turbulence);
  if (const JsonNode* filter = f.Get("Filter"))
    ReadFilter(ctx, *filter, layer.Filter);
  READ_FLOAT(f, layer, HostValue1);
  READ_FLOAT(f, layer, HostValue2);
  READ_FLOAT(f, layer, Offset);
}

// The five fields every response record starts with.
void ReadResponseBase(ReadContext& ctx, Fields& f, ResponseBase& r) {
  READ_BOOL(f, r, Variable);
  if (const JsonNode* n = f.Get("Filter1"))
    ReadFilter(ctx, *n, r.Filter1);
  if (const JsonNode* n = f.Get("Filter2"))
    ReadFilter(ctx, *n, r.Filter2);
  if (const JsonNode* n = f.Get("Function"))
    ReadFunction(ctx, *n, r.Function);
  READ_VECF(f, r, FunctionScale);
}

void ReadSpecular(ReadContext& ctx, const JsonNode& node, SpecularParams& s) {
  Fields f(ctx, node, "Specular");
  ReadResponseBase(ctx, f, s);
  READ_VECF(f, s, HighlightColour, 0.0, FLT_MAX);
  float intensity = s.Intensity, sharpness = s.Sharpness;
  bool mode = s.HighlightMode;
  if (auto v = f.Float("Intensity", 0.0, 1.0))
    intensity = *v;
  if (auto v = f.Float("Sharpness", 0.0, 10.0))
    sharpness = *v;
  if (auto v = f.Bool("HighlightMode"))
    mode = *v;
  // The highlight table follows the three settings.
  s.SetSpecularParams(intensity, sharpness, mode);
}

void ReadTransparency(ReadContext& ctx, const JsonNode& node, TransparencyParams& t) {
  Fields f(ctx, node, "Transparency");
  ReadResponseBase(ctx, f, t);
  READ_INT(f, t, ResponseMode, INT32_MIN, INT32_MAX);
  READ_FLOAT(f, t, Refraction, 0.01, 100.0);
  READ_FLOAT(f, t, Falloff);
  READ_CLR(f, t, TintColour1);
  READ_CLR(f, t, TintColour2);
  READ_FLOAT(f, t, Absorption, 0.0, FLT_MAX);
  READ_FLOAT(f, t, Amount, 0.0, 1.0);
  if (const JsonNode* m = f.Get("Interior")) {
    t.Interior = new Texture;
    ReadMaterial(ctx, *m, *t.Interior);
  }
  READ_FLOAT(f, t, SecondAmount, 0.0, 1.0);
  READ_FLOAT(f, t, GlowStrength);
  READ_FLOAT(f, t, GlowThreshold);
  READ_FLOAT(f, t, HostFloat);
}

void ReadReflection(ReadContext& ctx, const JsonNode& node, ReflexionParams& r) {
  Fields f(ctx, node, "Reflection");
  ReadResponseBase(ctx, f, r);
  READ_INT(f, r, ResponseMode, INT32_MIN, INT32_MAX);
  READ_FLOAT(f, r, Amount, 0.0, 1.0);
  READ_FLOAT(f, r, SecondAmount, 0.0, 1.0);
}

}  // namespace

void ReadColourTable(ReadContext& ctx, const JsonNode& node, const std::string& what, TableDeCouleurs& table) {
  const JsonNode* keys = KeyArrayNode(ctx, node, what);
  if (!keys)
    return;
  table.Flush();
  int64_t previous = -1;
  for (const JsonNode& k : keys->items) {
    Fields f(ctx, k, "a colour key");
    VALCLR key;
    if (const JsonNode* pos = f.Get("pos")) {
      if (auto v = ReadInteger(ctx, *pos, "pos", 0, KeyScale)) {
        // Lookups interpolate between neighbours: keys must come in increasing order.
        if (*v < previous)
          ctx.Error(pos->position, "colour keys must come in increasing pos order (" + std::to_string(*v) +
                                       " follows " + std::to_string(previous) + ")");
        previous = *v;
        key.pos = static_cast<int16_t>(*v);
      }
    } else if (f.IsObject()) {
      ctx.Error(k.position, "a colour key needs a pos");
    }
    READ_CLR(f, key, clr);
    table.Add(key);
  }
}

void ReadFilter(ReadContext& ctx, const JsonNode& node, FiltreNumerique& filter) {
  Fields f(ctx, node, "a filter");
  READ_BOOL(f, filter, Smooth);
  READ_BOOL(f, filter, Bypass);
  READ_BOOL(f, filter, FilterFlag3);
  const JsonNode* keysNode = f.Get("Keys");
  if (!keysNode || !KeyArrayNode(ctx, *keysNode, "Keys"))
    return;
  filter.Keys.Flush();
  int64_t previousLinear = -1, previousSmooth = -1;
  for (const JsonNode& k : keysNode->items) {
    Fields kf(ctx, k, "a filter key");
    FILTRE key;
    if (const JsonNode* n = kf.Get("Linear")) {
      Fields lf(ctx, *n, "Linear");
      if (const JsonNode* pos = lf.Get("pos")) {
        if (auto v = ReadInteger(ctx, *pos, "pos", 0, KeyScale)) {
          if (*v < previousLinear)
            ctx.Error(pos->position, "filter keys must come in increasing pos order (" + std::to_string(*v) +
                                         " follows " + std::to_string(previousLinear) + ")");
          previousLinear = *v;
          key.Linear.pos = static_cast<int16_t>(*v);
        }
      }
      READ_INT(lf, key.Linear, val, 0, KeyScale);
    }
    if (const JsonNode* n = kf.Get("Editable")) {
      Fields ef(ctx, *n, "Editable");
      READ_INT(ef, key.Editable, Status, INT16_MIN, INT16_MAX);
      READ_INT(ef, key.Editable, Word1, INT16_MIN, INT16_MAX);
      READ_INT(ef, key.Editable, Word2, INT16_MIN, INT16_MAX);
      READ_INT(ef, key.Editable, Word3, INT16_MIN, INT16_MAX);
      READ_FLOAT(ef, key.Editable, Real1);
      READ_FLOAT(ef, key.Editable, Real2);
      READ_INT(ef, key.Editable, Flag, 0, 255);
    }
    if (const JsonNode* n = kf.Get("FloatKey")) {
      Fields ff(ctx, *n, "FloatKey");
      READ_INT(ff, key.FloatKey, pos, 0, KeyScale);
      READ_FLOAT(ff, key.FloatKey, val);
    }
    if (const JsonNode* n = kf.Get("SmoothSegment")) {
      Fields sf(ctx, *n, "SmoothSegment");
      if (const JsonNode* pos = sf.Get("pos")) {
        if (auto v = ReadInteger(ctx, *pos, "pos", 0, KeyScale)) {
          if (*v < previousSmooth)
            ctx.Error(pos->position, "filter segments must come in increasing pos order (" + std::to_string(*v) +
                                         " follows " + std::to_string(previousSmooth) + ")");
          previousSmooth = *v;
          key.SmoothSegment.pos = static_cast<int16_t>(*v);
        }
      }
      READ_FLOAT(sf, key.SmoothSegment, A);
      READ_FLOAT(sf, key.SmoothSegment, B);
      READ_FLOAT(sf, key.SmoothSegment, C);
      READ_FLOAT(sf, key.SmoothSegment, D);
    }
    filter.Keys.Add(key);
  }
}

void ReadTurbulence(ReadContext& ctx, const JsonNode& node, TurbParams& t) {
  Fields f(ctx, node, "Turbulence");
  READ_FLOAT(f, t, Amplitude);
  READ_FLOAT(f, t, Frequency);
  READ_FLOAT(f, t, Ratio);
  READ_INT(f, t, Octaves, 0, MaxOctaves);
  READ_CODE(f, t, Kind, 0, 44, FunctionKindNames());
  READ_CODE(f, t, Mode, 0, 9, CombineModeNames());
}

void ReadRotation(ReadContext& ctx, const JsonNode& node, const std::string& what, Matrix& rotation) {
  double angles[3];
  if (!ReadNumbers(ctx, node, what, 3, -1e6, 1e6, angles))
    return;
  BuildRotationMatrix(rotation, static_cast<float>(angles[0]), static_cast<float>(angles[1]),
                      static_cast<float>(angles[2]));
  for (int i = 0; i < 3; i++) {
    rotation.angles[i] = static_cast<float>(angles[i]);
    rotation.slants[i] = 0.0f;
  }
}

void ReadFunction(ReadContext& ctx, const JsonNode& node, Fonction3D& fn) {
  Fields f(ctx, node, "a function");
  if (const JsonNode* layers = f.Get("Layers")) {
    if (layers->kind != JsonNode::Kind::Array || layers->items.empty() || layers->items.size() > MaxFunctionLayers) {
      ctx.Error(layers->position,
                "Layers must be an array of 1 to " + std::to_string(MaxFunctionLayers) + " function layers");
    } else {
      fn.Layers.Flush();
      for (const JsonNode& l : layers->items) {
        FNCT layer;
        ReadLayer(ctx, l, layer);
        fn.Layers.Add(layer);
      }
    }
  }
  READ_FLOAT(f, fn, Normalisation);
  READ_INT(f, fn, HostSetting, INT16_MIN, INT16_MAX);
  if (const JsonNode* o = f.Get("DefaultOptions"))
    ReadOptions(ctx, *o, fn.DefaultOptions);
  READ_CODE(f, fn, CombineMode, 0, 9, CombineModeNames());
  READ_INT(f, fn, Composition, 0, 1);
  if (const JsonNode* n = f.Get("SubFunction1")) {
    fn.SubFunction1 = new Fonction3D;
    ReadFunction(ctx, *n, *fn.SubFunction1);
  }
  if (const JsonNode* n = f.Get("SubFunction2")) {
    fn.SubFunction2 = new Fonction3D;
    ReadFunction(ctx, *n, *fn.SubFunction2);
  }
  if (const JsonNode* n = f.Get("SubFilter1")) {
    fn.SubFilter1 = new FiltreNumerique;
    ReadFilter(ctx, *n, *fn.SubFilter1);
  }
  if (const JsonNode* n = f.Get("SubFilter2")) {
    fn.SubFilter2 = new FiltreNumerique;
    ReadFilter(ctx, *n, *fn.SubFilter2);
  }
  if (fn.Composition == 1 && (!fn.SubFunction1 || !fn.SubFunction2 || !fn.SubFilter1 || !fn.SubFilter2))
    ctx.Error(node.position,
              "a composed function (Composition 1) needs SubFunction1, SubFunction2, SubFilter1 and "
              "SubFilter2");
  READ_FLOAT(f, fn, Shape1);
  READ_FLOAT(f, fn, Shape2);
  READ_FLOAT(f, fn, Shape3);
  READ_FLOAT(f, fn, Shape4);
  READ_FLOAT(f, fn, Shape5);
  READ_VECF(f, fn, ShapeVector);
  READ_BOOL(f, fn, ShapeFlag);
  READ_BOOL(f, fn, ShapeFlag2);
  READ_BOOL(f, fn, ShapeFlag3);
}

void ReadMaterial(ReadContext& ctx, const JsonNode& node, Texture& t) {
  Fields f(ctx, node, "a material");
  // Materials take their colour from ColourFunction and Colours unless a file says
  // otherwise: landscape files give no material pictures.
  t.ColourSource = 0;
  if (auto name = f.String("Name", sizeof(t.Name) - 1)) {
    std::fill(std::begin(t.Name), std::end(t.Name), '\0');
    std::copy(name->begin(), name->end(), t.Name);
  }
  if (const JsonNode* n = f.Get("Preview"))
    ReadPreview(ctx, *n, t.Preview);
  READ_INT(f, t, MaterialKind, SimpleMaterial, MixedMaterial);
  if (const JsonNode* n = f.Get("Material1")) {
    t.Material1 = new Texture;
    ReadMaterial(ctx, *n, *t.Material1);
  }
  if (const JsonNode* n = f.Get("Material2")) {
    t.Material2 = new Texture;
    ReadMaterial(ctx, *n, *t.Material2);
  }
  if (t.MaterialKind == MixedMaterial && (!t.Material1 || !t.Material2))
    ctx.Error(node.position, "a mixed material (MaterialKind 1) needs Material1 and Material2");
  READ_FLOAT(f, t, MixThreshold);
  READ_FLOAT(f, t, MixWidth);
  READ_FLOAT(f, t, SlopeInfluence);
  READ_FLOAT(f, t, AltitudeInfluence);
  READ_FLOAT(f, t, OrientationInfluence);
  READ_FLOAT(f, t, AltitudeMax);
  READ_FLOAT(f, t, AltitudeMin);
  READ_FLOAT(f, t, AltitudeHalfRange);
  READ_VECF(f, t, PreferredDirection);
  READ_BOOL(f, t, EnvironmentInfluence);
  READ_BOOL(f, t, InvertSlope);
  READ_BOOL(f, t, AltitudeAbove);
  READ_BOOL(f, t, MixWorldNormal);
  READ_INT(f, t, ColourSource, 0, 1);
  if (const JsonNode* n = f.Get("Picture"))
    ReadImage(ctx, *n, ColourImage, t.Picture);
  READ_INT(f, t, PictureOffsetU, INT32_MIN, INT32_MAX);
  READ_INT(f, t, PictureOffsetV, INT32_MIN, INT32_MAX);
  READ_VECF(f, t, PictureOrigin);
  READ_INT(f, t, PictureMapping, 0, 6);
  READ_INT(f, t, PictureMode, INT32_MIN, INT32_MAX);
  READ_BOOL(f, t, PictureFlag1);
  READ_BOOL(f, t, PictureFlag2);
  READ_BOOL(f, t, WorldCoordinates);
  if (const JsonNode* n = f.Get("ColourFunction"))
    ReadFunction(ctx, *n, t.ColourFunction);
  if (const JsonNode* n = f.Get("BumpFunction"))
    ReadFunction(ctx, *n, t.BumpFunction);
  if (const JsonNode* n = f.Get("ColourFilter"))
    ReadFilter(ctx, *n, t.ColourFilter);
  if (const JsonNode* n = f.Get("BumpFilter"))
    ReadFilter(ctx, *n, t.BumpFilter);
  if (const JsonNode* n = f.Get("Colours"))
    ReadColourTable(ctx, *n, "Colours", t.Colours);
  READ_VECF(f, t, ColourScale);
  READ_VECF(f, t, BumpScale);
  READ_FLOAT(f, t, BumpDepth);
  if (const JsonNode* n = f.Get("Specular"))
    ReadSpecular(ctx, *n, t.Specular);
  if (const JsonNode* n = f.Get("Transparency"))
    ReadTransparency(ctx, *n, t.Transparency);
  if (const JsonNode* n = f.Get("Reflection"))
    ReadReflection(ctx, *n, t.Reflection);
  READ_BOOL(f, t, Rotate);
  if (const JsonNode* n = f.Get("Rotation"))
    ReadRotation(ctx, *n, "Rotation", t.Rotation);
  READ_BOOL(f, t, Perturb);
  if (const JsonNode* n = f.Get("Turbulence"))
    ReadTurbulence(ctx, *n, t.Turbulence);
  READ_BOOL(f, t, Cycle);
  if (const JsonNode* n = f.Get("CycleSettings")) {
    Fields cf(ctx, *n, "CycleSettings");
    READ_FLOAT(cf, t.CycleSettings, CycleBlend);
    READ_FLOAT(cf, t.CycleSettings, CycleFrequency);
  }
  READ_FLOAT(f, t, Diffuse);
  READ_FLOAT(f, t, Ambient);
  READ_FLOAT(f, t, LightThreshold);
  READ_FLOAT(f, t, LightSlope);
  if (const JsonNode* n = f.Get("DefaultOptions"))
    ReadOptions(ctx, *n, t.DefaultOptions);
  READ_INT(f, t, HostSetting, INT16_MIN, INT16_MAX);
  READ_FLOAT(f, t, MaterialScale, 1e-9, FLT_MAX);
  READ_VECF(f, t, PictureScale);
  READ_BOOL(f, t, CastsShadows);
  READ_BOOL(f, t, SurfaceFlag1);
  READ_BOOL(f, t, SurfaceFlag2);
  READ_BOOL(f, t, SurfaceFlag3);
  READ_BOOL(f, t, SurfaceFlag4);
  READ_INT(f, t, HostValue, INT32_MIN, INT32_MAX);
  READ_CODE(f, t, TransitionMode, 0, 4, TransitionModeNames());
}
