// What the format does for its users beyond mirroring the records: defaults that give a
// picture, warnings about values on the wrong scale, names for numeric codes, heights
// above the ground, a camera that frames a landscape without one, errors in file order.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/functions/fonction3d.h"
#include "engine/functions/noise.h"
#include "engine/materials/texture.h"
#include "engine/preview/views.h"
#include "engine/render/camera.h"
#include "engine/terrain/terrain.h"
#include "host/code_names.h"
#include "host/landscape.h"
#include "host/landscape_placement.h"
#include "host/landscape_reader.h"
#include "tests/printers.h"

namespace {

LandscapeLoadResult LoadText(const std::string& text) { return LoadLandscapeFromText("test.json", text, "."); }

std::unique_ptr<Landscape> Load(const std::string& text) {
  LandscapeLoadResult r = LoadText(text);
  for (const std::string& e : r.errors)
    ADD_FAILURE() << e;
  return std::move(r.landscape);
}

std::string FirstError(const std::string& text) {
  LandscapeLoadResult r = LoadText(text);
  EXPECT_FALSE(r.ok()) << text;
  return r.errors.empty() ? "(no error)" : r.errors.front();
}

class LandscapeFormat : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitNoise(); }
  static void TearDownTestSuite() { FreeNoiseData(); }
};

TEST_F(LandscapeFormat, TheHorizonFadesIntoOneColourUnlessTheFileSaysOtherwise) {
  struct Case {
    const char* text;
    CLR fog;
  };
  const CLR pale = CLR(235, 215, 205);  // [205, 215, 235], stored blue first
  const Case cases[] = {
      {"{}", pale},
      {R"({ "HazeColour": [10, 20, 30] })", CLR(30, 20, 10)},
      {R"({ "FogColour": [1, 2, 3], "HazeColour": [10, 20, 30] })", CLR(3, 2, 1)},
  };
  for (const Case& c : cases) {
    auto l = Load(c.text);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->Record().FogColour, c.fog) << c.text;
  }
  // A panoramic landscape gets the panoramic lens, unless it keeps the flat one.
  EXPECT_EQ(Load(R"({ "Panoramic": true })")->Settings.FlatLens, std::optional<bool>(false));
  EXPECT_EQ(Load(R"({ "Panoramic": true, "Environment": { "FlatLens": true } })")->Settings.FlatLens,
            std::optional<bool>(true));
  EXPECT_FALSE(Load("{}")->Settings.FlatLens.has_value());
  EXPECT_EQ(FirstError(R"({ "PanoramicFactor": 180 })"),
            "test.json:1:22: PanoramicFactor must be between 0.01 and 6.28318531, not 180");
  // Materials are coloured by their function unless a file asks for a picture.
  auto l = Load(R"({ "Materials": [ {}, { "ColourSource": 1 } ] })");
  EXPECT_EQ(+l->Materials()[0]->ColourSource, 0);
  EXPECT_EQ(+l->Materials()[1]->ColourSource, 1);
}

TEST_F(LandscapeFormat, ValuesOnTheWrongScaleAreWarnedAboutWithTheirPlace) {
  const std::string lit = R"(, "Materials": [ {} ], "Objects": [ { "type": "Sphere" },
    { "type": "DirectionalLight", "Direction": [0, 1, -1] } ] })";
  struct Case {
    std::string text;
    std::string warning;  // empty: none
  };
  const Case cases[] = {
      {R"({ "LightColour": [1, 0.9, 0.8])" + lit, ""},
      {R"({ "LightColour": [255, 250, 240])" + lit,
       "test.json:1:18: warning: LightColour is a factor per channel (1 is white, 0.5 half as bright); "
       "[255, 250, 240] looks like 0..255: divide by 255"},
      {R"({ "SkyTint": [200, 200, 255])" + lit,
       "test.json:1:14: warning: SkyTint is a factor per channel (1 is white, 0.5 half as bright); "
       "[200, 200, 255] looks like 0..255: divide by 255"},
      {R"({ "SunDiscCos": 0.5)" + lit,
       "test.json:1:17: warning: SunDiscCos is the cosine of the sun disc's radius: 0.5 makes a disc 120 degrees "
       "wide; a small sun is about 0.9996"},
      {R"({ "Objects": [ { "type": "PointLight", "Colour": [255, 255, 255] } ] })",
       "test.json:1:50: warning: a light's Colour is a factor per channel (1 is white); [255, 255, 255] looks like "
       "0..255: divide by 255"},
      {R"({ "Materials": [ {} ], "Objects": [ { "type": "Sphere" } ] })",
       "test.json:1:1: warning: the landscape has no light: surfaces show only their ambient light"},
  };
  for (const Case& c : cases) {
    LandscapeLoadResult r = LoadText(c.text);
    ASSERT_TRUE(r.ok()) << c.text;
    if (c.warning.empty()) {
      EXPECT_TRUE(r.warnings.empty()) << c.text << ": " << r.warnings.front();
    } else {
      ASSERT_EQ(r.warnings.size(), 1u) << c.text;
      EXPECT_EQ(r.warnings.front(), c.warning);
    }
  }
}

TEST_F(LandscapeFormat, CodesMayBeWrittenAsTheirNames) {
  // Every name reads back as its own code, in any case.
  for (auto names : {FunctionKindNames(), CombineModeNames(), TransitionModeNames()})
    for (const CodeName& n : names) {
      std::string lower = n.name;
      for (char& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      EXPECT_EQ(CodeOfName(names, lower), std::optional<int>(n.code)) << n.name;
      EXPECT_STREQ(NameOfCode(names, n.code), n.name);
    }
  EXPECT_EQ(FunctionKindNames().size(), 45u);
  auto l = Load(R"({ "Materials": [ { "TransitionMode": "Smooth",
      "ColourFunction": { "CombineMode": "Max", "Layers": [ { "Kind": "CrackCells", "OctaveMode": "DampedSum",
        "Turbulence": { "Kind": "Noise", "Mode": "Product" } }, { "Kind": 12 } ] } } ] })");
  ASSERT_TRUE(l);
  const Texture& t = *l->Materials()[0];
  EXPECT_EQ(+t.TransitionMode, 2);
  EXPECT_EQ(+t.ColourFunction.CombineMode, 4);
  const FNCT& first = t.ColourFunction.Layers[0];
  EXPECT_EQ(+first.Kind, 38);
  EXPECT_EQ(+first.OctaveMode, 9);
  EXPECT_EQ(+first.Turbulence.Kind, 1);
  EXPECT_EQ(+first.Turbulence.Mode, 2);
  EXPECT_EQ(+t.ColourFunction.Layers[1].Kind, 12);
  EXPECT_EQ(FirstError(R"({ "Materials": [ { "TransitionMode": "Sharp" } ] })"),
            "test.json:1:38: TransitionMode \"Sharp\" is not a known name; give a number 0 .. 4 or one of: "
            "BlendResults, Linear, Smooth, ColourBlend, ParameterBlend");
}

const char* Hill = R"({ "Materials": [ {} ], "Objects": [
  { "type": "Terrain", "width": 33, "height": 33, "AltitudeScale": 2000, "centre": [100, 50, 0],
    "Function": { "Layers": [ { "Kind": 1, "Scale": [8, 8, 8] } ] } })";

TEST_F(LandscapeFormat, TheGroundLiesOnTheTerrainsGridPoints) {
  auto l = Load(std::string(Hill) + "] }");
  ASSERT_TRUE(l);
  auto* terrain = dynamic_cast<Terrain*>(l->Objects()[0]);
  ASSERT_NE(terrain, nullptr);
  // Brute force: at every inner grid point the ground is the grid's altitude, 0.08 per step.
  for (int y = 1; y < 32; y += 3)
    for (int x = 1; x < 32; x += 3) {
      const auto ground = GroundAltitude(l->Objects(), 100 + x - 16, 50 + y - 16);
      ASSERT_TRUE(ground) << x << ", " << y;
      EXPECT_NEAR(*ground, 0.08 * terrain->GetAltitude(x, y), 1e-3) << x << ", " << y;
    }
  EXPECT_FALSE(GroundAltitude(l->Objects(), 0, 0));  // beside the terrain
}

TEST_F(LandscapeFormat, ObjectsStandAtTheirHeightAboveTheGround) {
  auto l = Load(std::string(Hill) + R"(,
    { "type": "Sphere", "centre": [104, 47, 999], "AboveGround": 5 },
    { "type": "Camera", "centre": [90, 40, 0], "AboveGround": 1.7, "Direction": [0, 1, 0] } ] })");
  ASSERT_TRUE(l);
  for (int i : {1, 2}) {
    const VECTEUR c = l->Objects()[i]->GetCenter();
    const double above = i == 1 ? 5.0 : 1.7;
    EXPECT_NEAR(c.z, *GroundAltitude(l->Objects(), c.x, c.y) + above, 1e-3) << i;
    EXPECT_DOUBLE_EQ(c.x, i == 1 ? 104.0 : 90.0);
  }
  EXPECT_EQ(FirstError(std::string(Hill) + R"(, { "type": "Sphere", "centre": [0, 0, 0], "AboveGround": 1 } ] })"),
            "test.json:3:128: AboveGround: no terrain lies under (0, 0)");
  EXPECT_EQ(FirstError(std::string(Hill) +
                       R"(, { "type": "Group", "children": [ { "type": "Sphere", "AboveGround": 1 } ] } ] })"),
            "test.json:3:140: AboveGround places top-level objects only; place the group instead");
}

TEST_F(LandscapeFormat, ALandscapeWithoutACameraIsFramedWhole) {
  auto l = Load(R"({ "Materials": [ {} ], "Objects": [
    { "type": "Sphere", "centre": [100, 20, 5], "sizes": [3, 3, 3] },
    { "type": "Cube", "centre": [-40, 60, 0], "sizes": [10, 2, 8] },
    { "type": "InfinitePlane" } ] })");
  ASSERT_TRUE(l);
  ASSERT_EQ(l->Objects().Count(), 4);
  auto* camera = dynamic_cast<TCamera*>(l->Objects()[3]);
  ASSERT_NE(camera, nullptr);
  const VECTEUR eye = camera->GetCenter();
  const VECTEUR axis = Normalised(camera->Direction());
  // Every corner of the objects' box lies within the lens's vertical half angle (21 degrees at 4:3),
  // and the camera looks down at them from in front.
  const double limit = std::cos(21.5 * M_PI / 180.0);
  for (double x : {-50.0, 103.0})
    for (double y : {17.0, 62.0})
      for (double z : {-8.0, 8.0}) {
        const VECTEUR to = Normalised(VECTEUR(x, y, z) - eye);
        EXPECT_GE(Dot(to, axis), limit) << x << ", " << y << ", " << z;
      }
  EXPECT_LT(axis.z, -0.2);
  EXPECT_GT(axis.y, 0.8);
  // A landscape with a camera keeps it and gets none.
  auto framed = Load(R"({ "Objects": [ { "type": "Camera", "centre": [1, 2, 3] } ] })");
  ASSERT_EQ(framed->Objects().Count(), 1);
  EXPECT_EQ(framed->Objects()[0]->GetCenter(), VECTEUR(1, 2, 3));
}

TEST_F(LandscapeFormat, ViewsWithoutPlacementShowEveryObjectAndCamera) {
  auto l = Load(R"({ "Materials": [ {} ], "Objects": [
    { "type": "Cube", "centre": [100, 20, 5], "sizes": [10, 10, 10] },
    { "type": "Camera", "centre": [100, -80, 5] } ] })");
  ASSERT_TRUE(l);
  EXPECT_FALSE(l->ViewsPlaced);
  FrameViews(l->Record(), l->Objects(), 400, 300);
  const TBoundingBox box = FiniteObjectsBox(l->Objects(), true);
  TPaysage& p = l->Record();
  // The box's corners project inside the picture in every orthographic view.
  TDrawInfo di;
  for (EViewType view : {ViewTop, ViewFront, ViewSide}) {
    TRect rect;
    rect.right = 400;
    rect.bottom = 300;
    PreparerAffichage(&di, &p, view, rect, 1, 1.0f);
    for (const VECTEUR& corner : {box.min, box.max}) {
      float sx, sy;
      di.Project(&di, sx, sy, corner);
      EXPECT_GE(sx, 0.0f) << view;
      EXPECT_LE(sx, 400.0f) << view;
      EXPECT_GE(sy, 0.0f) << view;
      EXPECT_LE(sy, 300.0f) << view;
    }
  }
  // and fill most of it: the long side (y, from the camera to the cube) spans 90 % of the height.
  EXPECT_NEAR(p.ViewScale * (box.max.y - box.min.y), 270.0, 1.0);
  // A file that places its views keeps its values.
  auto placed = Load(R"({ "ViewScale": 2, "Objects": [ { "type": "Camera" } ] })");
  ASSERT_TRUE(placed);
  EXPECT_TRUE(placed->ViewsPlaced);
}

TEST_F(LandscapeFormat, ErrorsAreListedInFileOrder) {
  LandscapeLoadResult r = LoadText(
      "{\n \"Objects\": [ { \"type\": \"Sphere\", \"material\": 2 } ],\n \"FogDensity\": -1,\n"
      " \"Materials\": [ { \"Diffuse\": true } ]\n}");
  ASSERT_EQ(r.errors.size(), 3u);
  EXPECT_EQ(r.errors[0].rfind("test.json:2:", 0), 0u) << r.errors[0];
  EXPECT_EQ(r.errors[1].rfind("test.json:3:", 0), 0u) << r.errors[1];
  EXPECT_EQ(r.errors[2].rfind("test.json:4:", 0), 0u) << r.errors[2];
  // Warnings too (SunDiscCos is read before SkyTint).
  LandscapeLoadResult w = LoadText("{\n \"SkyTint\": [200, 200, 200],\n \"SunDiscCos\": 0.5\n}");
  ASSERT_EQ(w.warnings.size(), 2u);
  EXPECT_EQ(w.warnings[0].rfind("test.json:2:", 0), 0u) << w.warnings[0];
  EXPECT_EQ(w.warnings[1].rfind("test.json:3:", 0), 0u) << w.warnings[1];
  EXPECT_EQ(FirstError(R"({ "Materials": [ {} ], "Objects": [ { "type": "Terrain", "HeightMap": "a.png",
      "Function": {} } ] })"),
            "test.json:2:19: a terrain takes a HeightMap or a Function, not both");
}

}  // namespace
