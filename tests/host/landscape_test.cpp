// Landscape files into engine records: every family of keys lands in its field, omitted
// keys keep the engine's defaults, terrains are built from pictures and functions.
#include "host/landscape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "engine/functions/noise.h"
#include "engine/images/picture_mapping.h"
#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/primitives.h"
#include "engine/render/atmosphere.h"
#include "engine/render/camera.h"
#include "engine/terrain/terrain.h"
#include "host/landscape_reader.h"
#include "tests/printers.h"

namespace {

const std::string DataFolder = (std::filesystem::path(__FILE__).parent_path() / "data").string();

std::unique_ptr<Landscape> Load(const std::string& text) {
  LandscapeLoadResult r = LoadLandscapeFromText("test.json", text, DataFolder);
  for (const std::string& e : r.errors)
    ADD_FAILURE() << e;
  return std::move(r.landscape);
}

template <class T>
T* ObjectAt(Landscape& l, int i) {
  auto* object = dynamic_cast<T*>(l.Objects()[i]);
  EXPECT_NE(object, nullptr) << "object " << i << " has the wrong class";
  return object;
}

TEST(LandscapeFile, EmptyLandscapeTakesTheFormatsDefaultsAndAFramingCamera) {
  auto l = Load("{}");
  ASSERT_TRUE(l);
  TPaysage defaults;
  ApplyFormatDefaults(defaults);
  const TPaysage& p = l->Record();
  ASSERT_EQ(l->Objects().Count(), 1);
  EXPECT_EQ(l->Objects()[0]->type, BasicObject::TypeCamera);
  EXPECT_EQ(l->Materials().Count(), 0);
  EXPECT_EQ(l->CloudLayers().Count(), 0);
  EXPECT_FLOAT_EQ(p.ViewScale, TPaysage().ViewScale);
  EXPECT_FLOAT_EQ(p.FogDensity, TPaysage().FogDensity);
  EXPECT_EQ(p.SunColours, defaults.SunColours);
  EXPECT_EQ(p.SkyColours, defaults.SkyColours);
  EXPECT_EQ(p.SkyTint, VECFLOAT(1, 1, 1));
  EXPECT_EQ(p.LightColour, VECFLOAT(1, 1, 1));
  for (unsigned i = 0; i < LayerCount; i++)
    EXPECT_EQ(+p.LayerStatus[i], 2);
  EXPECT_FALSE(l->Settings.PictureWidth.has_value());
  EXPECT_FALSE(l->Settings.RenderSetting.has_value());
}

TEST(LandscapeFile, LandscapeFieldsLandInTheRecord) {
  auto l = Load(R"({
    "HazeHeight": 1.5, "HazeStrength": 2.5, "GradientBase": 0.1, "GradientThickness": 0.2, "SunWeight": 0.3,
    "TintAllLights": true, "FogDensity": 0.01, "FogHeightDensity": 0.02, "FogAltitude": 30, "FogFalloff": 4,
    "FogColour": [10, 20, 30], "HazeDensity": 0.005, "HazeColour": [40, 50, 60], "SunDiscCos": 0.999,
    "SkyTint": [0.5, 0.6, 0.7], "LightColour": [0.9, 0.8, 0.7], "ViewCentre": [1, 2, 3], "ViewScale": 4,
    "CloudShadow": 0.5, "Panoramic": true, "PanoramicFactor": 1.2, "PictureShiftX": 0.1, "PictureShiftY": -0.1,
    "SunFollowsCamera": true, "GlowStrength": 0.7, "GlowCos": 0.9,
    "SunColours": [ {"pos": 0, "clr": [255, 250, 200]}, {"pos": 10000, "clr": [255, 200, 100]} ],
    "SkyColours": [ {"pos": 10000, "clr": [1, 2, 3]} ],
    "LayerStatus": [0, 1, 2, 1]
  })");
  ASSERT_TRUE(l);
  const TPaysage& p = l->Record();
  EXPECT_FLOAT_EQ(p.HazeHeight, 1.5f);
  EXPECT_FLOAT_EQ(p.HazeStrength, 2.5f);
  EXPECT_FLOAT_EQ(p.GradientBase, 0.1f);
  EXPECT_FLOAT_EQ(p.GradientThickness, 0.2f);
  EXPECT_FLOAT_EQ(p.SunWeight, 0.3f);
  EXPECT_EQ(+p.TintAllLights, 1);
  EXPECT_FLOAT_EQ(p.FogDensity, 0.01f);
  EXPECT_FLOAT_EQ(p.FogHeightDensity, 0.02f);
  EXPECT_FLOAT_EQ(p.FogAltitude, 30.0f);
  EXPECT_FLOAT_EQ(p.FogFalloff, 4.0f);
  // Colours are written red, green, blue; the record stores blue, green, red.
  EXPECT_EQ(p.FogColour, CLR(30, 20, 10));
  EXPECT_FLOAT_EQ(p.HazeDensity, 0.005f);
  EXPECT_EQ(p.HazeColour, CLR(60, 50, 40));
  EXPECT_FLOAT_EQ(p.SunDiscCos, 0.999f);
  EXPECT_EQ(p.SkyTint, VECFLOAT(0.5f, 0.6f, 0.7f));
  EXPECT_EQ(p.LightColour, VECFLOAT(0.9f, 0.8f, 0.7f));
  EXPECT_EQ(p.ViewCentre, VECTEUR(1, 2, 3));
  EXPECT_FLOAT_EQ(p.ViewScale, 4.0f);
  EXPECT_FLOAT_EQ(p.CloudShadow, 0.5f);
  EXPECT_EQ(+p.Panoramic, 1);
  EXPECT_FLOAT_EQ(p.PanoramicFactor, 1.2f);
  EXPECT_FLOAT_EQ(p.PictureShiftX, 0.1f);
  EXPECT_FLOAT_EQ(p.PictureShiftY, -0.1f);
  EXPECT_EQ(+p.SunFollowsCamera, 1);
  EXPECT_FLOAT_EQ(p.GlowStrength, 0.7f);
  EXPECT_FLOAT_EQ(p.GlowCos, 0.9f);
  ASSERT_EQ(p.SunColours.Count(), 2);
  EXPECT_EQ(p.SunColours[1], VALCLR(10000, CLR(100, 200, 255)));
  ASSERT_EQ(p.SkyColours.Count(), 1);
  EXPECT_EQ(p.SkyColours[0], VALCLR(10000, CLR(3, 2, 1)));
  // Statuses not given keep the default (active).
  const int expected[LayerCount] = {0, 1, 2, 1, 2, 2, 2, 2};
  for (unsigned i = 0; i < LayerCount; i++)
    EXPECT_EQ(+p.LayerStatus[i], expected[i]) << "layer " << i;
}

TEST(LandscapeFile, RenderSettingsApplyToTheEnvironment) {
  auto l = Load(R"({ "Environment": { "PictureWidth": 640, "PictureHeight": 480, "RenderSetting": 4,
    "RenderScope": 2, "FlatLens": false, "BoundGroups": false, "MaterialSwitch": true,
    "AllLightsForSelection": false,
    "CustomQuality": { "Shadows": false, "MultiSample": true, "SoftShadowSamples": 9, "SoftShadowTolerance": 12.5 } } })");
  ASSERT_TRUE(l);
  TEnvironment env;
  l->Settings.ApplyTo(env);
  EXPECT_EQ(env.PictureWidth, 640);
  EXPECT_EQ(env.PictureHeight, 480);
  EXPECT_EQ(env.RenderSetting, SettingCustom);
  EXPECT_EQ(env.RenderScope, 2);
  EXPECT_EQ(+env.FlatLens, 0);
  EXPECT_EQ(+env.BoundGroups, 0);
  EXPECT_EQ(+env.MaterialSwitch, 1);
  EXPECT_EQ(+env.AllLightsForSelection, 0);
  // Setting 4 puts the file's custom settings in force; unnamed switches keep the custom defaults.
  QualitySettings custom = QualityPreset(SettingNormal);
  custom.HostSwitch1 = 1;
  custom.Shadows = 0;
  custom.MultiSample = 1;
  custom.SoftShadowSamples = 9;
  custom.SoftShadowTolerance = 12.5f;
  EXPECT_EQ(env.Quality, custom);
  EXPECT_EQ(env.CustomQuality, custom);
}

TEST(LandscapeFile, MaterialFieldsLandInTheTexture) {
  auto l = Load(R"({ "Materials": [ {
    "Name": "Mixed", "Preview": {"Width": 64, "Height": 32}, "MaterialKind": 1,
    "Material1": { "Name": "One", "Diffuse": 0.3 }, "Material2": { "Name": "Two", "Ambient": 0.2 },
    "MixThreshold": 0.25, "MixWidth": 0.05, "SlopeInfluence": 0.7, "AltitudeInfluence": 0.1,
    "OrientationInfluence": 0.2, "AltitudeMax": 3, "AltitudeMin": -1, "AltitudeHalfRange": 2,
    "PreferredDirection": [0, 1, 0], "EnvironmentInfluence": true, "InvertSlope": true, "AltitudeAbove": false,
    "MixWorldNormal": false, "ColourSource": 0, "Picture": "quadrants.png", "PictureOffsetU": 3,
    "PictureOffsetV": -2, "PictureOrigin": [1, 2, 3], "PictureMapping": 2, "PictureMode": 1, "PictureFlag1": true,
    "PictureFlag2": true, "WorldCoordinates": false,
    "ColourFunction": { "Layers": [ { "Kind": 3, "Scale": [2, 3, 4], "Fractal": true, "Octaves": 5,
        "OctaveMode": 2, "Lacunarity": 2.5, "Gain": 0.4, "Rotate": true, "Rotation": [10, 20, 30],
        "Perturb": true, "Turbulence": { "Amplitude": 0.5, "Frequency": 2, "Ratio": 0.25, "Octaves": 3,
                                         "Kind": 4, "Mode": 2 },
        "Filter": { "Bypass": false, "Smooth": true, "Keys": [
            { "Linear": {"pos": 0, "val": 0}, "SmoothSegment": {"pos": 5000, "A": 1, "B": 2, "C": 3, "D": 4} },
            { "Linear": {"pos": 10000, "val": 7000}, "Editable": {"Status": 1, "Word1": 2, "Real1": 0.5, "Flag": 1},
              "FloatKey": {"pos": 10000, "val": 0.7} } ] },
        "HostValue1": 1, "HostValue2": 2, "Offset": 0.1, "Origin": [5, 6, 7], "Amplitude": 0.8 },
      { "FunctionClass": 1, "PictureMapping": 3, "PictureOffsetU": 4 } ],
      "Normalisation": 0.5, "CombineMode": 3, "HostSetting": 7, "Shape1": 0.2, "ShapeVector": [0, 0, 1],
      "ShapeFlag": true, "ShapeFlag3": false },
    "BumpFunction": { "Composition": 1, "SubFunction1": {}, "SubFunction2": { "CombineMode": 1 },
                      "SubFilter1": { "Keys": [ { "Linear": {"pos": 10000, "val": 5000} } ] }, "SubFilter2": {} },
    "ColourFilter": { "Bypass": false }, "BumpFilter": { "FilterFlag3": true },
    "Colours": [ {"pos": 0, "clr": [1, 2, 3]}, {"pos": 5000, "clr": [4, 5, 6]}, {"pos": 10000, "clr": [7, 8, 9]} ],
    "ColourScale": [2, 2, 2], "BumpScale": [3, 3, 3], "BumpDepth": 0.5,
    "Specular": { "Intensity": 0.9, "Sharpness": 0.6, "HighlightMode": true, "HighlightColour": [1, 0.5, 0.5],
                  "Variable": true, "FunctionScale": [2, 2, 2], "Function": { "CombineMode": 2 } },
    "Transparency": { "Amount": 0.8, "Refraction": 1.33, "Falloff": 2, "TintColour1": [1, 2, 3],
                      "TintColour2": [4, 5, 6], "Absorption": 0.01, "SecondAmount": 0.1, "GlowStrength": 4,
                      "GlowThreshold": 0.5, "HostFloat": 1, "ResponseMode": 1, "Interior": { "Name": "Inside" } },
    "Reflection": { "Amount": 0.4, "SecondAmount": 0.2, "ResponseMode": 0 },
    "Rotate": true, "Rotation": [0, 0, 90], "Perturb": true, "Turbulence": { "Octaves": 4 },
    "Cycle": true, "CycleSettings": { "CycleBlend": 0.5, "CycleFrequency": 0.1 },
    "Diffuse": 0.7, "Ambient": 0.3, "LightThreshold": 0.6, "LightSlope": 2, "HostSetting": 50,
    "DefaultOptions": { "Setting": 2, "Background": 1, "ValueColours": [ {"pos": 10000, "clr": [9, 9, 9]} ] },
    "MaterialScale": 2, "PictureScale": [4, 4, 4], "CastsShadows": false, "SurfaceFlag1": true,
    "SurfaceFlag2": true, "SurfaceFlag3": true, "SurfaceFlag4": true, "HostValue": 9, "TransitionMode": 3
  } ] })");
  ASSERT_TRUE(l);
  ASSERT_EQ(l->Materials().Count(), 1);
  const Texture& t = *l->Materials()[0];
  EXPECT_STREQ(t.Name, "Mixed");
  EXPECT_EQ(t.Preview.Width(), 64);
  EXPECT_EQ(t.Preview.Height(), 32);
  EXPECT_EQ(+t.MaterialKind, MixedMaterial);
  ASSERT_NE(+t.Material1, nullptr);
  ASSERT_NE(+t.Material2, nullptr);
  EXPECT_STREQ(t.Material1->Name, "One");
  EXPECT_FLOAT_EQ(t.Material1->Diffuse, 0.3f);
  EXPECT_FLOAT_EQ(t.Material2->Ambient, 0.2f);
  EXPECT_FLOAT_EQ(t.MixThreshold, 0.25f);
  EXPECT_FLOAT_EQ(t.MixWidth, 0.05f);
  EXPECT_FLOAT_EQ(t.SlopeInfluence, 0.7f);
  EXPECT_FLOAT_EQ(t.AltitudeInfluence, 0.1f);
  EXPECT_FLOAT_EQ(t.OrientationInfluence, 0.2f);
  EXPECT_FLOAT_EQ(t.AltitudeMax, 3.0f);
  EXPECT_FLOAT_EQ(t.AltitudeMin, -1.0f);
  EXPECT_FLOAT_EQ(t.AltitudeHalfRange, 2.0f);
  EXPECT_EQ(t.PreferredDirection, VECFLOAT(0, 1, 0));
  EXPECT_TRUE(t.EnvironmentInfluence && t.InvertSlope && !t.AltitudeAbove && !t.MixWorldNormal);
  EXPECT_EQ(+t.ColourSource, 0);
  EXPECT_EQ(+t.Picture.Height, 2);
  EXPECT_EQ(+t.PictureOffsetU, 3);
  EXPECT_EQ(+t.PictureOffsetV, -2);
  EXPECT_EQ(t.PictureOrigin, VECFLOAT(1, 2, 3));
  EXPECT_EQ(+t.PictureMapping, 2);
  EXPECT_EQ(+t.PictureMode, 1);
  EXPECT_TRUE(t.PictureFlag1 && t.PictureFlag2 && !t.WorldCoordinates);

  const Fonction3D& fn = t.ColourFunction;
  ASSERT_EQ(fn.Layers.Count(), 2);
  const FNCT& layer = fn.Layers[0];
  EXPECT_EQ(+layer.Kind, 3);
  EXPECT_EQ(layer.Scale, VECFLOAT(2, 3, 4));
  EXPECT_EQ(layer.Origin, VECFLOAT(5, 6, 7));
  EXPECT_FLOAT_EQ(layer.Amplitude, 0.8f);
  EXPECT_TRUE(layer.Fractal);
  EXPECT_EQ(+layer.Octaves, 5);
  EXPECT_EQ(+layer.OctaveMode, 2);
  EXPECT_FLOAT_EQ(layer.Lacunarity, 2.5f);
  EXPECT_FLOAT_EQ(layer.Gain, 0.4f);
  EXPECT_TRUE(layer.Rotate);
  Matrix rotation;
  BuildRotationMatrix(rotation, 10, 20, 30);
  EXPECT_EQ(layer.Rotation, rotation);
  EXPECT_FLOAT_EQ(layer.Rotation.angles[1], 20.0f);
  EXPECT_TRUE(layer.Perturb);
  EXPECT_FLOAT_EQ(layer.Turbulence.Amplitude, 0.5f);
  EXPECT_FLOAT_EQ(layer.Turbulence.Frequency, 2.0f);
  EXPECT_FLOAT_EQ(layer.Turbulence.Ratio, 0.25f);
  EXPECT_EQ(+layer.Turbulence.Octaves, 3);
  EXPECT_EQ(+layer.Turbulence.Kind, 4);
  EXPECT_EQ(+layer.Turbulence.Mode, 2);
  EXPECT_FALSE(layer.Filter.Bypass);
  EXPECT_TRUE(layer.Filter.Smooth);
  ASSERT_EQ(layer.Filter.Keys.Count(), 2);
  EXPECT_EQ(layer.Filter.Keys[0].SmoothSegment, FLTRLISSE(5000, 1, 2, 3, 4));
  EXPECT_EQ(layer.Filter.Keys[1].Linear, FLTR(10000, 7000));
  EXPECT_EQ(+layer.Filter.Keys[1].Editable.Status, 1);
  EXPECT_EQ(+layer.Filter.Keys[1].Editable.Word1, 2);
  EXPECT_FLOAT_EQ(layer.Filter.Keys[1].Editable.Real1, 0.5f);
  EXPECT_EQ(+layer.Filter.Keys[1].Editable.Flag, 1);
  EXPECT_EQ(layer.Filter.Keys[1].FloatKey, FLTRFLT(10000, 0.7f));
  EXPECT_FLOAT_EQ(layer.HostValue1, 1.0f);
  EXPECT_FLOAT_EQ(layer.HostValue2, 2.0f);
  EXPECT_FLOAT_EQ(layer.Offset, 0.1f);
  EXPECT_EQ(+fn.Layers[1].FunctionClass, PictureLayer);
  EXPECT_EQ(+fn.Layers[1].PictureMapping, 3);
  EXPECT_EQ(+fn.Layers[1].PictureOffsetU, 4);
  EXPECT_FLOAT_EQ(fn.Normalisation, 0.5f);
  EXPECT_EQ(+fn.CombineMode, 3);
  EXPECT_EQ(+fn.HostSetting, 7);
  EXPECT_FLOAT_EQ(fn.Shape1, 0.2f);
  EXPECT_EQ(fn.ShapeVector, VECFLOAT(0, 0, 1));
  EXPECT_TRUE(fn.ShapeFlag && !fn.ShapeFlag3);

  const Fonction3D& bump = t.BumpFunction;
  EXPECT_EQ(+bump.Composition, 1);
  ASSERT_TRUE(bump.SubFunction1 && bump.SubFunction2 && bump.SubFilter1 && bump.SubFilter2);
  EXPECT_EQ(+bump.SubFunction2->CombineMode, 1);
  EXPECT_EQ(bump.SubFilter1->Keys[0].Linear, FLTR(10000, 5000));
  EXPECT_FALSE(t.ColourFilter.Bypass);
  EXPECT_TRUE(t.BumpFilter.FilterFlag3);
  ASSERT_EQ(t.Colours.Count(), 3);
  EXPECT_EQ(t.Colours[1], VALCLR(5000, CLR(6, 5, 4)));
  EXPECT_EQ(t.ColourScale, VECFLOAT(2, 2, 2));
  EXPECT_EQ(t.BumpScale, VECFLOAT(3, 3, 3));
  EXPECT_FLOAT_EQ(t.BumpDepth, 0.5f);

  // The highlight table follows the settings, as if set through the engine.
  SpecularParams specular;
  specular.SetSpecularParams(0.9f, 0.6f, true);
  for (int i = 0; i < 251; i++)
    ASSERT_EQ(+t.Specular.ValueTable[i], +specular.ValueTable[i]) << "entry " << i;
  EXPECT_TRUE(t.Specular.HighlightMode);
  EXPECT_EQ(t.Specular.HighlightColour, VECFLOAT(1, 0.5f, 0.5f));
  EXPECT_TRUE(t.Specular.Variable);
  EXPECT_EQ(t.Specular.FunctionScale, VECFLOAT(2, 2, 2));
  EXPECT_EQ(+t.Specular.Function.CombineMode, 2);

  const TransparencyParams& tr = t.Transparency;
  EXPECT_FLOAT_EQ(tr.Amount, 0.8f);
  EXPECT_FLOAT_EQ(tr.Refraction, 1.33f);
  EXPECT_FLOAT_EQ(tr.Falloff, 2.0f);
  EXPECT_EQ(tr.TintColour1, CLR(3, 2, 1));
  EXPECT_EQ(tr.TintColour2, CLR(6, 5, 4));
  EXPECT_FLOAT_EQ(tr.Absorption, 0.01f);
  EXPECT_FLOAT_EQ(tr.SecondAmount, 0.1f);
  EXPECT_FLOAT_EQ(tr.GlowStrength, 4.0f);
  EXPECT_FLOAT_EQ(tr.GlowThreshold, 0.5f);
  EXPECT_FLOAT_EQ(tr.HostFloat, 1.0f);
  EXPECT_EQ(+tr.ResponseMode, 1);
  ASSERT_NE(+tr.Interior, nullptr);
  EXPECT_STREQ(tr.Interior->Name, "Inside");
  EXPECT_EQ(+tr.Owner, &t);
  EXPECT_FLOAT_EQ(t.Reflection.Amount, 0.4f);
  EXPECT_FLOAT_EQ(t.Reflection.SecondAmount, 0.2f);
  EXPECT_EQ(+t.Reflection.ResponseMode, 0);

  EXPECT_TRUE(t.Rotate);
  Matrix quarter;
  BuildRotationMatrix(quarter, 0, 0, 90);
  EXPECT_EQ(t.Rotation, quarter);
  EXPECT_TRUE(t.Perturb);
  EXPECT_EQ(+t.Turbulence.Octaves, 4);
  EXPECT_TRUE(t.Cycle);
  EXPECT_FLOAT_EQ(t.CycleSettings.CycleBlend, 0.5f);
  EXPECT_FLOAT_EQ(t.CycleSettings.CycleFrequency, 0.1f);
  EXPECT_FLOAT_EQ(t.Diffuse, 0.7f);
  EXPECT_FLOAT_EQ(t.Ambient, 0.3f);
  EXPECT_FLOAT_EQ(t.LightThreshold, 0.6f);
  EXPECT_FLOAT_EQ(t.LightSlope, 2.0f);
  EXPECT_EQ(+t.HostSetting, 50);
  EXPECT_EQ(+t.DefaultOptions.Setting, 2);
  EXPECT_EQ(+t.DefaultOptions.Background, 1);
  EXPECT_EQ(t.DefaultOptions.ValueColours[0], VALCLR(10000, CLR(9, 9, 9)));
  EXPECT_FLOAT_EQ(t.MaterialScale, 2.0f);
  EXPECT_EQ(t.PictureScale, VECFLOAT(4, 4, 4));
  EXPECT_TRUE(!t.CastsShadows && t.SurfaceFlag1 && t.SurfaceFlag2 && t.SurfaceFlag3 && t.SurfaceFlag4);
  EXPECT_EQ(+t.HostValue, 9);
  EXPECT_EQ(+t.TransitionMode, 3);
}

TEST(LandscapeFile, OmittedMaterialFieldsEqualANewTextureColouredByItsFunction) {
  auto l = Load(R"({ "Materials": [ {} ], "CloudLayers": [ {} ] })");
  ASSERT_TRUE(l);
  Texture fresh;
  fresh.ColourSource = 0;
  EXPECT_EQ(*l->Materials()[0], fresh);
  const CloudLayer& layer = *l->CloudLayers()[0];
  EXPECT_FLOAT_EQ(layer.Altitude, 1000.0f);
  // Every cloud layer gets a material, as the renderer requires.
  ASSERT_NE(+layer.Material, nullptr);
  EXPECT_EQ(*layer.Material, fresh);
}

TEST(LandscapeFile, PicturesAreReadOnceHoweverManyRecordsUseThem) {
  auto l = Load(R"({ "Materials": [
    { "Picture": "quadrants.png" },
    { "Picture": "quadrants.png", "PictureMapping": 0 },
    { "ColourSource": 0, "ColourFunction": { "Layers": [ { "FunctionClass": 1, "Picture": "quadrants.png" } ] } } ] })");
  ASSERT_TRUE(l);
  const Image& first = l->Materials()[0]->Picture;
  const Image& second = l->Materials()[1]->Picture;
  EXPECT_EQ(+first.Block, +second.Block);  // one load, shared
  EXPECT_EQ(first.ReferenceCount(), 2);
  EXPECT_STREQ(first.Name, (DataFolder + "/quadrants.png").c_str());
  // Colour pixels bottom row first, blue, green, red: blue and yellow below red and green.
  CLRINT c[4];
  for (int i = 0; i < 4; i++)
    c[i] = SamplePictureColour(first, 0, false, false, (i % 2) * 0.5, (i / 2) * 0.5);
  EXPECT_EQ(c[0], CLRINT(0, 0, 255));
  EXPECT_EQ(c[1], CLRINT(255, 255, 0));
  EXPECT_EQ(c[2], CLRINT(255, 0, 0));
  EXPECT_EQ(c[3], CLRINT(0, 255, 0));
  // A function layer reads the same file as grey: another picture, its luminance.
  const Image& grey = l->Materials()[2]->ColourFunction.Layers[0].Picture;
  EXPECT_NE(+grey.Block, +first.Block);
  EXPECT_TRUE(grey.IsGrey());
  EXPECT_EQ(SamplePictureByte(grey, 0, false, false, 0.5, 0), 226);  // yellow
  const int cached = PicturesInUse();
  EXPECT_GE(cached, 2);
  l.reset();
  EXPECT_EQ(PicturesInUse(), cached - 2);  // the last image to go takes its entry along
}

TEST(LandscapeFile, CloudLayersKeepTheirOrderAndFields) {
  auto l = Load(R"({ "CloudLayers": [
    { "Altitude": 3000, "Exposure": 1, "SunBoost": 0.2, "SunBoostByClearance": 0.3, "FadeRange": 5,
      "Material": { "Name": "High" } },
    { "Altitude": 1000 } ] })");
  ASSERT_TRUE(l);
  ASSERT_EQ(l->CloudLayers().Count(), 2);
  const CloudLayer& high = *l->CloudLayers()[0];
  EXPECT_FLOAT_EQ(high.Altitude, 3000.0f);
  EXPECT_FLOAT_EQ(high.Exposure, 1.0f);
  EXPECT_FLOAT_EQ(high.SunBoost, 0.2f);
  EXPECT_FLOAT_EQ(high.SunBoostByClearance, 0.3f);
  EXPECT_FLOAT_EQ(high.FadeRange, 5.0f);
  EXPECT_STREQ(high.Material->Name, "High");
  EXPECT_FLOAT_EQ(l->CloudLayers()[1]->Altitude, 1000.0f);
}

TEST(LandscapeFile, PrimitivesTakeTheirTypeTransformAndFlags) {
  auto l = Load(R"({ "Materials": [ {}, {} ], "Objects": [
    { "type": "Sphere", "name": "Ball", "centre": [1, 2, 3], "angles": [10, 20, 30], "sizes": [2, 3, 4],
      "material": 1, "layer": 5, "wireFrameColor": 6, "boxOnly": true },
    { "type": "Cube", "slants": [10, 0, 0] },
    { "type": "Cylinder" }, { "type": "Cone" }, { "type": "Pyramid" }, { "type": "Plane" },
    { "type": "InfinitePlane", "centre": [0, 0, -5] } ] })");
  ASSERT_TRUE(l);
  ASSERT_EQ(l->Objects().Count(), 8);  // and the camera that frames them
  const BasicObject::ObjectType types[] = {
      BasicObject::TypeSphere,  BasicObject::TypeCube,  BasicObject::TypeCylinder,     BasicObject::TypeCone,
      BasicObject::TypePyramid, BasicObject::TypePlane, BasicObject::TypeInfinitePlane};
  for (int i = 0; i < 7; i++)
    EXPECT_EQ(l->Objects()[i]->type, types[i]) << "object " << i;
  Sph* ball = ObjectAt<Sph>(*l, 0);
  ASSERT_TRUE(ball);
  EXPECT_STREQ(ball->name, "Ball");
  EXPECT_EQ(ball->GetCenter(), VECTEUR(1, 2, 3));
  VECTEUR angles, sizes;
  float p, q, r;
  ball->GetTransformParameters(angles, sizes, p, q, r);
  EXPECT_NEAR(angles.x, 10, 1e-3);
  EXPECT_NEAR(angles.y, 20, 1e-3);
  EXPECT_NEAR(angles.z, 30, 1e-3);
  EXPECT_NEAR(sizes.x, 2, 1e-5);
  EXPECT_NEAR(sizes.y, 3, 1e-5);
  EXPECT_NEAR(sizes.z, 4, 1e-5);
  EXPECT_EQ(ball->GetTexture(), 1u);
  EXPECT_EQ(ball->GetLayer(), 5u);
  EXPECT_EQ(ball->GetWireFrameColor(), 6u);
  EXPECT_NE(ball->flags & BasicObject::BoxOnlyBit, 0u);
  // The transform reaches intersection: the sphere's surface lies 2 units along x from its centre.
  VECTEUR local(1, 0, 0);
  ball->AppliquerTransformation(&local);
  EXPECT_NEAR(Length(local), 2.0, 1e-5);
  // Slants shear the matrix exactly as the engine's own Slant does.
  TCube slanted(0);
  slanted.Slant(10, 0, 0, nullptr);
  EXPECT_EQ(ObjectAt<TCube>(*l, 1)->forward, slanted.forward);
  EXPECT_EQ(l->Objects()[2]->GetTexture(), 0u);
  EXPECT_EQ(l->Objects()[6]->GetCenter(), VECTEUR(0, 0, -5));
}

TEST(LandscapeFile, LightsAndCameraTakeTheirFields) {
  auto l = Load(R"({ "Objects": [
    { "type": "DirectionalLight", "Colour": [1, 0.9, 0.8], "Softness": 0.02, "FollowCamera": false,
      "angles": [-45, 0, 0] },
    { "type": "PointLight", "Power": 80, "centre": [0, 0, 50] },
    { "type": "SpotLight", "Penumbra": 0.3, "CosCone": 0.8, "Power": 120, "Direction": [3, 0, -4] },
    { "type": "LaserLight", "Setting1": 0.5, "Setting2": 3 },
    { "type": "Camera", "FocalLength": 35, "LevelHorizon": false, "Aperture": 0.5, "FocusDistance": 40,
      "centre": [0, -100, 10], "Direction": [-1, 1, 0] } ] })");
  ASSERT_TRUE(l);
  auto* sun = ObjectAt<TDirectionLight>(*l, 0);
  ASSERT_TRUE(sun);
  EXPECT_EQ(sun->Colour, VECFLOAT(1, 0.9f, 0.8f));
  EXPECT_FLOAT_EQ(sun->Softness, 0.02f);
  EXPECT_EQ(+sun->FollowCamera, 0);
  // The direction follows the angles, as Rotate builds it.
  TDirectionLight reference;
  reference.Rotate(-45, 0, 0, nullptr, true);
  EXPECT_NEAR(sun->Direction().y, reference.Direction().y, 1e-9);
  EXPECT_NEAR(sun->Direction().z, reference.Direction().z, 1e-9);
  EXPECT_FLOAT_EQ(ObjectAt<TPointLight>(*l, 1)->Power, 80.0f);
  // A direction instead of angles points the light or camera that way.
  const VECTEUR spotDirection = ObjectAt<TSpotLight>(*l, 2)->Direction();
  EXPECT_NEAR(spotDirection.x, 0.6, 1e-6);
  EXPECT_NEAR(spotDirection.y, 0.0, 1e-6);
  EXPECT_NEAR(spotDirection.z, -0.8, 1e-6);
  const VECTEUR view = ObjectAt<TCamera>(*l, 4)->Direction();
  EXPECT_NEAR(view.x, -1 / std::sqrt(2.0), 1e-6);
  EXPECT_NEAR(view.y, 1 / std::sqrt(2.0), 1e-6);
  EXPECT_NEAR(view.z, 0.0, 1e-6);
  auto* spot = ObjectAt<TSpotLight>(*l, 2);
  EXPECT_FLOAT_EQ(spot->Penumbra, 0.3f);
  EXPECT_FLOAT_EQ(spot->CosCone, 0.8f);
  EXPECT_FLOAT_EQ(spot->Power, 120.0f);
  auto* laser = ObjectAt<TLaserLight>(*l, 3);
  EXPECT_FLOAT_EQ(laser->Setting1, 0.5f);
  EXPECT_FLOAT_EQ(laser->Setting2, 3.0f);
  auto* camera = ObjectAt<TCamera>(*l, 4);
  EXPECT_FLOAT_EQ(camera->FocalLength, 35.0f);
  EXPECT_FLOAT_EQ(camera->LevelHorizon, 0.0f);
  EXPECT_FLOAT_EQ(camera->Aperture, 0.5f);
  EXPECT_FLOAT_EQ(camera->FocusDistance, 40.0f);
  EXPECT_EQ(camera->GetCenter(), VECTEUR(0, -100, 10));
}

TEST(LandscapeFile, AggregatesOwnTheirChildren) {
  auto l = Load(R"({ "Materials": [ {}, {}, {} ], "Objects": [
    { "type": "Difference", "material": 2, "layer": 3, "children": [
        { "type": "Cube" },
        { "type": "Group", "children": [ { "type": "Sphere", "centre": [1, 0, 0] }, { "type": "Cone" } ] } ] },
    { "type": "Union", "children": [ { "type": "Sphere", "material": 1 } ] },
    { "type": "Intersection", "children": [ { "type": "Sphere" }, { "type": "Cube" } ] } ] })");
  ASSERT_TRUE(l);
  auto* difference = ObjectAt<TCSGDifference>(*l, 0);
  ASSERT_TRUE(difference);
  ASSERT_EQ(difference->children->Count(), 2);
  auto* group = dynamic_cast<Group*>((*difference->children)[1]);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->parent, difference);
  EXPECT_EQ(group->children->Count(), 2);
  // The aggregate's material and layer reach every leaf.
  EXPECT_EQ(difference->GetTexture(), 2u);
  EXPECT_EQ((*group->children)[0]->GetTexture(), 2u);
  EXPECT_EQ((*group->children)[1]->GetLayer(), 3u);
  EXPECT_EQ(ObjectAt<TCSGUnion>(*l, 1)->GetTexture(), 1u);
  EXPECT_NE(ObjectAt<TCSGIntersection>(*l, 2), nullptr);
}

class TerrainFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitNoise(); }
  static void TearDownTestSuite() { FreeNoiseData(); }
};

TEST_F(TerrainFile, EightBitHeightMapBecomesAltitudesWithTheLowestAtZero) {
  auto l = Load(R"({ "Materials": [ {} ], "Objects": [ { "type": "Terrain", "HeightMap": "hill8.png",
                     "smoothSurface": true } ] })");
  ASSERT_TRUE(l);
  auto* terrain = ObjectAt<Terrain>(*l, 0);
  ASSERT_TRUE(terrain);
  EXPECT_EQ(+terrain->width, 4);
  EXPECT_EQ(+terrain->height, 3);
  EXPECT_EQ(+terrain->smoothSurface, 1);
  // The picture's top row (10 20 30 40) is the far row, y = 2; the lowest value 10 becomes 0.
  const int rows[3][4] = {{80, 90, 100, 245}, {40, 50, 60, 70}, {0, 10, 20, 30}};
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++)
      EXPECT_EQ(terrain->GetAltitude(x, y), rows[y][x]) << x << ", " << y;
  // The guard ring and the cluster pyramid are ready.
  EXPECT_EQ(terrain->GetAltitude(4, 0), 245);
  EXPECT_EQ(terrain->GetAltitude(-1, -1), 80);
  EXPECT_EQ(+terrain->maxAltitude, 245);
}

TEST_F(TerrainFile, SixteenBitSamplesAreHalved) {
  auto l = Load(R"({ "Materials": [ {} ], "Objects": [ { "type": "Terrain", "HeightMap": "hill16.png" } ] })");
  ASSERT_TRUE(l);
  auto* terrain = ObjectAt<Terrain>(*l, 0);
  ASSERT_TRUE(terrain);
  // Rows top to bottom: 1000 2000 65535 / 4 6 8; halved 500 1000 32767 / 2 3 4, less the lowest (2).
  EXPECT_EQ(terrain->GetAltitude(0, 1), 498);
  EXPECT_EQ(terrain->GetAltitude(2, 1), 32765);
  EXPECT_EQ(terrain->GetAltitude(1, 0), 1);
}

TEST_F(TerrainFile, FunctionTerrainSamplesTheFunctionOnTheGrid) {
  auto l = Load(R"({ "Materials": [ {} ], "Objects": [ { "type": "Terrain", "width": 33, "height": 17,
    "AltitudeScale": 2000, "Function": { "Layers": [ { "Kind": 1, "Scale": [0.1, 0.1, 0.1] } ] } } ] })");
  ASSERT_TRUE(l);
  auto* terrain = ObjectAt<Terrain>(*l, 0);
  ASSERT_TRUE(terrain);
  EXPECT_EQ(+terrain->width, 33);
  EXPECT_EQ(+terrain->height, 17);
  Fonction3D fn;
  FNCT layer;
  layer.Kind = 1;
  layer.Scale = VECFLOAT(0.1f, 0.1f, 0.1f);
  fn.Layers.Flush();
  fn.Layers.Add(layer);
  fn.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  int expected[17][33];
  int lowest = 1 << 20, highest = 0;
  for (int y = 0; y < 17; y++)
    for (int x = 0; x < 33; x++) {
      const float v = fn.ExtraireFonction(float(x), float(y), 0.0f, VECTEUR(0, 0, 1), nullptr, false);
      expected[y][x] = static_cast<int>(std::lround(std::clamp(double(v), 0.0, 1.0) * 2000));
      lowest = std::min(lowest, expected[y][x]);
      highest = std::max(highest, expected[y][x]);
    }
  ASSERT_GT(highest - lowest, 100) << "the function should not be flat";
  for (int y = 0; y < 17; y++)
    for (int x = 0; x < 33; x++)
      ASSERT_EQ(terrain->GetAltitude(x, y), expected[y][x] - lowest) << x << ", " << y;
}

TEST_F(TerrainFile, HeightMapPathsAreRelativeToTheLandscapeFile) {
  LandscapeLoadResult r = LoadLandscape(DataFolder + "/valley.json");
  for (const std::string& e : r.errors)
    ADD_FAILURE() << e;
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.landscape->Objects().Count(), 5);
  EXPECT_EQ(r.landscape->Objects()[0]->type, BasicObject::TypeTerrain);
  EXPECT_EQ(r.landscape->Settings.PictureWidth.value_or(0), 320);
  EXPECT_EQ(r.landscape->Settings.RenderSetting.value_or(0), 2);
}

}  // namespace

namespace {

const std::filesystem::path DocsFolder =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "docs";

// Sampling a large function terrain takes long: loading reports progress and stops soon
// after an interruption, with nothing loaded.
TEST(LandscapeFile, LoadingReportsProgressAndStopsWhenInterrupted) {
  const std::string text = R"({ "Objects": [ { "type": "Terrain", "width": 4000, "height": 4000,
      "Function": { "Layers": [ { "Kind": 1, "Scale": [9, 9, 9], "Fractal": true, "Octaves": 32 } ] } } ] })";
  std::atomic<bool> interrupt{false};
  std::atomic<int> reports{0};
  std::atomic<double> reached{0.0};
  LoadControl control;
  control.interrupt = &interrupt;
  control.progress = [&](const std::string& step, double fraction) {
    EXPECT_FALSE(step.empty());
    EXPECT_GE(fraction, reached.load());
    reached = fraction;
    if (++reports == 3)
      interrupt = true;
  };
  const auto start = std::chrono::steady_clock::now();
  LandscapeLoadResult result = LoadLandscapeFromText("big.json", text, ".", control);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_FALSE(result.ok());
  ASSERT_EQ(result.errors.size(), 1u);
  EXPECT_NE(result.errors[0].find("interrupted"), std::string::npos) << result.errors[0];
  EXPECT_EQ(reports.load(), 3);
  EXPECT_LT(reached.load(), 0.01);
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(LandscapeDocs, TheFormatReferenceExampleLoads) {
  InitNoise();
  const std::string doc = ReadText(DocsFolder / "landscape-format.md");
  const size_t start = doc.find("```jsonc\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = doc.find("```", start + 9);
  ASSERT_NE(end, std::string::npos);
  auto l = Load(doc.substr(start + 9, end - start - 9));
  FreeNoiseData();
  ASSERT_TRUE(l);
  EXPECT_EQ(l->Objects().Count(), 5);
  EXPECT_EQ(l->Materials().Count(), 3);
}

// The keys the loader allows in a record, as its unknown-key message lists them.
std::set<std::string> AllowedKeys(const std::string& text) {
  LandscapeLoadResult r = LoadLandscapeFromText("k.json", text, DataFolder);
  const std::string marker = "allowed keys: ";
  std::set<std::string> keys;
  for (const std::string& e : r.errors) {
    const size_t at = e.find(marker);
    if (at == std::string::npos)
      continue;
    std::stringstream list(e.substr(at + marker.size()));
    for (std::string key; std::getline(list, key, ',');)
      keys.insert(key.substr(key.find_first_not_of(' ')));
    return keys;
  }
  ADD_FAILURE() << "no list of allowed keys for " << text;
  return keys;
}

std::set<std::string> SchemaKeys(const nlohmann::json& node) {
  std::set<std::string> keys;
  for (const auto& [key, value] : node["properties"].items())
    keys.insert(key);
  return keys;
}

// Editors validate with the schema: it must name exactly the keys the loader reads.
TEST(LandscapeDocs, TheSchemaNamesTheKeysTheLoaderReads) {
  const nlohmann::json schema = nlohmann::json::parse(ReadText(DocsFolder / "landscape.schema.json"));
  const nlohmann::json& defs = schema["definitions"];
  const std::string unknown = "\"zzzzzzzzzzzzzzzzzzzz\": 0";
  EXPECT_EQ(AllowedKeys("{" + unknown + "}"), SchemaKeys(schema));
  EXPECT_EQ(AllowedKeys("{ \"Materials\": [ {" + unknown + "} ] }"), SchemaKeys(defs["material"]));
  EXPECT_EQ(AllowedKeys("{ \"CloudLayers\": [ {" + unknown + "} ] }"), SchemaKeys(defs["cloudLayer"]));
  EXPECT_EQ(AllowedKeys("{ \"Environment\": {" + unknown + "} }"), SchemaKeys(defs["environment"]));
  EXPECT_EQ(AllowedKeys("{ \"Environment\": { \"CustomQuality\": {" + unknown + "} } }"),
            SchemaKeys(defs["environment"]["properties"]["CustomQuality"]));
  const std::string material = "{ \"Materials\": [ { ";
  EXPECT_EQ(AllowedKeys(material + "\"ColourFunction\": {" + unknown + "} } ] }"), SchemaKeys(defs["function"]));
  EXPECT_EQ(AllowedKeys(material + "\"ColourFunction\": { \"Layers\": [ {" + unknown + "} ] } } ] }"),
            SchemaKeys(defs["layer"]));
  EXPECT_EQ(AllowedKeys(material + "\"ColourFilter\": {" + unknown + "} } ] }"), SchemaKeys(defs["filter"]));
  EXPECT_EQ(AllowedKeys(material + "\"Turbulence\": {" + unknown + "} } ] }"), SchemaKeys(defs["turbulence"]));
  EXPECT_EQ(AllowedKeys(material + "\"Specular\": {" + unknown + "} } ] }"), SchemaKeys(defs["specular"]));
  EXPECT_EQ(AllowedKeys(material + "\"Transparency\": {" + unknown + "} } ] }"), SchemaKeys(defs["transparency"]));
  EXPECT_EQ(AllowedKeys(material + "\"Reflection\": {" + unknown + "} } ] }"), SchemaKeys(defs["reflection"]));
  EXPECT_EQ(AllowedKeys(material + "\"DefaultOptions\": {" + unknown + "} } ] }"), SchemaKeys(defs["options"]));
  // One object of each schema variant.
  const char* types[] = {"Sphere",     "Group",     "Terrain",    "Mesh",   "DirectionalLight",
                         "PointLight", "SpotLight", "LaserLight", "Camera", "Plant"};
  const std::string extra[] = {"",
                               ", \"children\": [ { \"type\": \"Sphere\" } ]",
                               ", \"HeightMap\": \"hill8.png\"",
                               ", \"File\": \"../../../examples/models/pyramid.stl\"",
                               "",
                               "",
                               "",
                               "",
                               "",
                               ", \"Species\": 0"};
  for (size_t i = 0; i < std::size(types); i++)
    EXPECT_EQ(AllowedKeys("{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"" + std::string(types[i]) + "\"" +
                          extra[i] + ", " + unknown + "} ] }"),
              SchemaKeys(defs["object"]["oneOf"][i]))
        << types[i];
  // A scatter needs a terrain before it.
  EXPECT_EQ(AllowedKeys("{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Terrain\", \"name\": \"t\", "
                        "\"HeightMap\": \"hill8.png\" }, { \"type\": \"Scatter\", \"On\": \"t\", \"Species\": [0], "
                        "\"Count\": 1, \"MaxSlope\": 90, " +
                        unknown + "} ] }"),
            SchemaKeys(defs["object"]["oneOf"][std::size(types)]));
}

}  // namespace
