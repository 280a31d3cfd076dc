// Bad landscape files: every kind of mistake is reported with its exact message and
// position, no landscape comes back, and no input crashes the loader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>

#include "engine/functions/noise.h"
#include "host/json_tree.h"
#include "host/landscape.h"

namespace {

const std::string DataFolder = (std::filesystem::path(__FILE__).parent_path() / "data").string();

// The first error of loading `text`, and that nothing was loaded.
std::string FirstError(const std::string& text) {
  LandscapeLoadResult r = LoadLandscapeFromText("bad.json", text, DataFolder);
  EXPECT_FALSE(r.ok()) << text;
  EXPECT_EQ(r.landscape, nullptr);
  return r.errors.empty() ? std::string("(no error)") : r.errors.front();
}

struct Case {
  const char* text;
  const char* error;
};

void ExpectErrors(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(FirstError(c.text), c.error) << c.text;
}

TEST(LandscapeErrors, MalformedJsonIsReportedWhereItGoesWrong) {
  ExpectErrors({
      {"", "bad.json: the file is empty"},
      {"  \n\t ", "bad.json: the file is empty"},
      {"{\n  \"FogDensity\": 0.1,\n  \"HazeDensity\" 0.2\n}",
       "bad.json:3:17: syntax error while parsing object separator - unexpected number literal; expected ':'"},
      {"{ \"FogDensity\": NaN }", "bad.json:1:17: syntax error while parsing value - invalid literal"},
      {"{ \"FogDensity\": Infinity }", "bad.json:1:17: syntax error while parsing value - invalid literal"},
      {"{ \"FogDensity\": 0.1, }",
       "bad.json:1:22: syntax error while parsing object key - unexpected '}'; expected string literal"},
      {"{ \"Objects\": [ ",
       "bad.json:1:16: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"{ \"Name\": \"caf\xe9\" }",
       "bad.json:1:11: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
      {"{} {}", "bad.json:1:4: syntax error while parsing value - unexpected '{'; expected end of input"},
      {"/* unterminated", "bad.json:1:16: syntax error while parsing value - invalid comment; missing closing '*/'"},
  });
}

TEST(LandscapeErrors, ValuesJsonCannotHoldAreRefused) {
  ExpectErrors({
      {"{ \"FogDensity\": 1e999 }", "bad.json:1:17: the number is too large"},
      {"{ \"FogDensity\": 1, \"FogDensity\": 2 }", "bad.json:1:20: duplicate key \"FogDensity\""},
      {"[1, 2]", "bad.json:1:1: the landscape must be an object, not an array"},
  });
  std::string deep = "{ \"Materials\": ";
  for (int i = 0; i < 100; i++)
    deep += "[";
  EXPECT_EQ(FirstError(deep), "bad.json:1:79: nesting deeper than 64 levels");
}

TEST(LandscapeErrors, UnknownKeysNameTheNearestOrTheAllowedOnes) {
  ExpectErrors({
      {"{ \"FogDensty\": 0.1 }",
       "bad.json:1:3: unknown key \"FogDensty\" in the landscape; did you mean \"FogDensity\"?"},
      {"{ \"Materials\": [ { \"mixthreshold\": 0.1 } ] }",
       "bad.json:1:20: unknown key \"mixthreshold\" in a material; did you mean \"MixThreshold\"?"},
      {"{ \"CloudLayers\": [ { \"Colour\": 1 } ] }",
       "bad.json:1:22: unknown key \"Colour\" in a cloud layer; allowed keys: Altitude, Exposure, FadeRange, Material, "
       "SunBoost, SunBoostByClearance"},
      {"{ \"Objects\": [ { \"type\": \"PointLight\", \"material\": 0 } ] }",
       "bad.json:1:40: unknown key \"material\" in an object; allowed keys: AboveGround, Colour, Direction, Power, "
       "Softness, angles, boxOnly, centre, layer, name, sizes, slants, type, wireFrameColor"},
  });
}

TEST(LandscapeErrors, WrongTypesAndOutOfRangeValuesNameTheField) {
  ExpectErrors({
      {"{ \"FogDensity\": \"thick\" }", "bad.json:1:17: FogDensity must be a number, not a string"},
      {"{ \"FogDensity\": -1 }", "bad.json:1:17: FogDensity must be between 0 and 3.40282347e+38, not -1"},
      {"{ \"TintAllLights\": 1 }", "bad.json:1:20: TintAllLights must be true or false, not an integer"},
      {"{ \"FogColour\": [1, 2] }",
       "bad.json:1:16: FogColour must be an array of 3 integers (red, green, blue, 0 to 255)"},
      {"{ \"FogColour\": [1, 2, 256] }", "bad.json:1:23: FogColour[2] must be between 0 and 255, not 256"},
      {"{ \"SkyTint\": [1, null, 1] }", "bad.json:1:18: SkyTint[1] must be a number, not null"},
      {"{ \"LayerStatus\": [2, 3] }", "bad.json:1:22: LayerStatus[1] must be between 0 and 2, not 3"},
      {"{ \"LayerStatus\": [2, 2, 2, 2, 2, 2, 2, 2, 2] }",
       "bad.json:1:18: LayerStatus must be an array of at most 8 integers (0 hidden, 1 visible, 2 active)"},
      {"{ \"Environment\": { \"PictureWidth\": 12.5 } }", "bad.json:1:36: PictureWidth must be an integer, not 12.5"},
      {"{ \"Environment\": { \"RenderSetting\": 5 } }", "bad.json:1:37: RenderSetting must be between 0 and 4, not 5"},
      {"{ \"Environment\": { \"PictureHeight\": 18446744073709551615 } }",
       "bad.json:1:37: PictureHeight must be between 1 and 32768, not 1.84467441e+19"},
      {"{ \"Materials\": {} }", "bad.json:1:16: Materials must be an array, not an object"},
      {"{ \"Materials\": [ 3 ] }", "bad.json:1:18: a material must be an object, not an integer"},
      {"{ \"Materials\": [ { \"Name\": \"a name far longer than the record holds\" } ] }",
       "bad.json:1:28: Name must be at most 23 bytes long, without NUL characters"},
      {"{ \"Materials\": [ { \"MaterialKind\": 1 } ] }",
       "bad.json:1:18: a mixed material (MaterialKind 1) needs Material1 and Material2"},
      {"{ \"Materials\": [ { \"Colours\": [ {\"pos\": 5000, \"clr\": [0, 0, 0]}, {\"pos\": 10, \"clr\": [0, 0, 0]} ] } "
       "] }",
       "bad.json:1:74: colour keys must come in increasing pos order (10 follows 5000)"},
      {"{ \"Materials\": [ { \"Colours\": [] } ] }", "bad.json:1:31: Colours must be a non-empty array of keys"},
      {"{ \"Materials\": [ { \"ColourFunction\": { \"Layers\": [ { \"Kind\": 45 } ] } } ] }",
       "bad.json:1:62: Kind must be between 0 and 44, not 45"},
      {"{ \"Materials\": [ { \"ColourFunction\": { \"Layers\": [ { \"Octaves\": 1000 } ] } } ] }",
       "bad.json:1:65: Octaves must be between 0 and 32, not 1000"},
      {"{ \"Materials\": [ { \"BumpFunction\": { \"Composition\": 1 } } ] }",
       "bad.json:1:36: a composed function (Composition 1) needs SubFunction1, SubFunction2, SubFilter1 and "
       "SubFilter2"},
      {"{ \"Materials\": [ { \"ColourFilter\": { \"Keys\": [ { \"Linear\": { \"pos\": 20000 } } ] } } ] }",
       "bad.json:1:69: pos must be between 0 and 10000, not 20000"},
  });
}

TEST(LandscapeErrors, ObjectsAreCheckedAgainstTheEngine) {
  ExpectErrors({
      {"{ \"Objects\": [ { \"centre\": [0, 0, 0] } ] }",
       "bad.json:1:16: an object needs a type (InfinitePlane, Plane, Cylinder, Sphere, Cube, Cone, Pyramid, Terrain, "
       "Mesh, Plant, Union, Intersection, Difference, Group, DirectionalLight, PointLight, SpotLight, LaserLight, Camera, "
       "Scatter)"},
      {"{ \"Objects\": [ { \"type\": \"Teapot\" } ] }",
       "bad.json:1:26: unknown object type \"Teapot\"; known types: InfinitePlane, Plane, Cylinder, Sphere, Cube, "
       "Cone, Pyramid, Terrain, Mesh, Plant, Union, Intersection, Difference, Group, DirectionalLight, PointLight, "
       "SpotLight, LaserLight, Camera, Scatter"},
      {"{ \"Objects\": [ { \"type\": \"Plant\" } ] }", "bad.json:1:16: a plant needs its Species: 0 to 17"},
      {"{ \"Objects\": [ { \"type\": \"Mesh\" } ] }", "bad.json:1:16: a mesh needs its model File: a path"},
      {"{ \"Objects\": [ { \"type\": \"Sphere\" } ] }",
       "bad.json:1:16: material 0 is beyond the materials (there are 0)"},
      {"{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Sphere\", \"material\": 1 } ] }",
       "bad.json:1:69: material 1 is beyond the materials (there is 1)"},
      {"{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Sphere\", \"sizes\": [1, 0, 1] } ] }",
       "bad.json:1:70: sizes[1] must be between 1e-06 and 1e+09, not 0"},
      {"{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Cube\", \"slants\": [90, 0, 0] } ] }",
       "bad.json:1:66: slants[0] must be between -89 and 89, not 90"},
      {"{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Cube\", \"layer\": 8 } ] }",
       "bad.json:1:64: layer must be between 0 and 7, not 8"},
      {"{ \"Objects\": [ { \"type\": \"Camera\", \"FocalLength\": 2 } ] }",
       "bad.json:1:51: FocalLength must be between 8 and 5000, not 2"},
      {"{ \"Objects\": [ { \"type\": \"Camera\", \"angles\": [0, 0, 0], \"Direction\": [0, 1, 0] } ] }",
       "bad.json:1:70: give either angles or Direction, not both"},
      {"{ \"Objects\": [ { \"type\": \"SpotLight\", \"Direction\": [0, 0, 0] } ] }",
       "bad.json:1:52: Direction must not be the zero vector"},
      {"{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Sphere\", \"Direction\": [0, 0, 1] } ] }",
       "bad.json:1:57: unknown key \"Direction\" in an object; allowed keys: AboveGround, angles, boxOnly, centre, "
       "layer, material, name, sizes, slants, type, wireFrameColor"},
      {"{ \"Objects\": [ { \"type\": \"Group\", \"children\": [] } ] }",
       "bad.json:1:47: Group needs children: a non-empty array of objects"},
      {"{ \"Objects\": [ { \"type\": \"Group\", \"children\": [ { \"type\": \"Sphere\", \"material\": 4 } ] } ] }",
       "bad.json:1:81: material 4 is beyond the materials (there are 0)"},
  });
}

TEST(LandscapeErrors, PicturesMustBeReadableFiles) {
  ExpectErrors({
      {"{ \"Materials\": [ { \"Picture\": \"nowhere.png\" } ] }",
       "bad.json:1:31: cannot read the picture \"nowhere.png\": no such file"},
      {"{ \"Materials\": [ { \"Picture\": \".\" } ] }", "bad.json:1:31: the picture \".\" is a folder, not a picture"},
      {"{ \"Materials\": [ { \"Picture\": 3 } ] }", "bad.json:1:31: Picture must be a picture path, not an integer"},
      {"{ \"Materials\": [ { \"ColourFunction\": { \"Layers\": [ { \"Picture\": \"valley.json\" } ] } } ] }",
       "bad.json:1:65: cannot read the picture \"valley.json\": unknown image type"},
  });
  const std::string longName(200, 'a');
  EXPECT_EQ(FirstError("{ \"Materials\": [ { \"Picture\": \"" + longName + "\" } ] }")
                .rfind("bad.json:1:31: the picture path \"", 0),
            0u);
}

TEST(LandscapeErrors, TerrainsNeedAReadablePictureOrAGridTheEngineTakes) {
  const std::string head = "{ \"Materials\": [ {} ], \"Objects\": [ { \"type\": \"Terrain\", ";
  EXPECT_EQ(FirstError(head + "\"material\": 0 } ] }"),
            "bad.json:1:37: a terrain needs either a HeightMap or a Function");
  EXPECT_EQ(FirstError(head + "\"HeightMap\": \"nowhere.png\" } ] }"),
            "bad.json:1:71: cannot read the height map \"nowhere.png\": " + DataFolder +
                "/nowhere.png: no such file");
  EXPECT_EQ(FirstError(head + "\"HeightMap\": \".\" } ] }"),
            "bad.json:1:71: the height map \".\" is a folder, not a picture");
  EXPECT_EQ(FirstError(head + "\"HeightMap\": \"line.png\" } ] }"),
            "bad.json:1:71: the height map is 1 x 5 pixels; terrains must be 2 x 2 to 8192 x 8192");
  EXPECT_EQ(FirstError(head + "\"HeightMap\": \"valley.json\" } ] }")
                .rfind("bad.json:1:71: cannot read the height map "
                       "\"valley.json\": ",
                       0),
            0u);
  EXPECT_EQ(FirstError(head + "\"width\": 9000, \"height\": 10, \"Function\": {} } ] }"),
            "bad.json:1:67: width must be between 2 and 8192, not 9000");
  EXPECT_EQ(FirstError(head + "\"width\": 10, \"Function\": {} } ] }"),
            "bad.json:1:37: a function terrain needs its width and height in grid points");
  EXPECT_EQ(FirstError(head + "\"HeightMap\": \"hill8.png\", \"width\": 4 } ] }"),
            "bad.json:1:93: a height-map terrain takes its size and altitudes from the picture");
}

TEST(LandscapeErrors, EveryErrorIsCollected) {
  LandscapeLoadResult r = LoadLandscapeFromText(
      "bad.json", "{\n \"FogDensity\": -1,\n \"HazeColour\": 3,\n \"Materials\": [ { \"Diffuse\": true } ]\n}", "");
  ASSERT_EQ(r.errors.size(), 3u);
  EXPECT_EQ(r.errors[0], "bad.json:2:16: FogDensity must be between 0 and 3.40282347e+38, not -1");
  EXPECT_EQ(r.errors[1], "bad.json:3:16: HazeColour must be an array of 3 integers (red, green, blue, 0 to 255)");
  EXPECT_EQ(r.errors[2], "bad.json:4:30: Diffuse must be a number, not a boolean");
}

TEST(LandscapeErrors, HugeListsAreRefusedAndErrorsCapped) {
  std::string materials = "{ \"Materials\": [";
  for (int i = 0; i <= MaxMaterials; i++)
    materials += i ? ", {}" : "{}";
  EXPECT_EQ(FirstError(materials + "] }"), "bad.json:1:16: a landscape holds at most 4096 materials");
  std::string objects;
  for (int i = 0; i <= MaxObjects; i++)
    objects += i ? ", {\"type\": \"Camera\"}" : "{\"type\": \"Camera\"}";
  EXPECT_EQ(FirstError("{ \"Objects\": [" + objects + "] }"),
            "bad.json:1:14: a landscape holds at most 100000 objects");
  std::string children;
  for (int i = 0; i <= MaxAggregateChildren; i++)
    children += i ? ", {\"type\": \"Camera\"}" : "{\"type\": \"Camera\"}";
  EXPECT_EQ(FirstError("{ \"Objects\": [ { \"type\": \"Group\", \"children\": [" + children + "] } ] }"),
            "bad.json:1:47: an aggregate holds at most 10000 children");
  std::string wrong = "{ \"Objects\": [";
  for (int i = 0; i < 1000; i++)
    wrong += i ? ", 1" : "1";
  EXPECT_EQ(LoadLandscapeFromText("bad.json", wrong + "] }", "").errors.size(), 50u);
}

TEST(LandscapeErrors, FilesThatCannotBeReadAreRefused) {
  // Devices, FIFOs and folders are refused without reading; the reason is given.
  EXPECT_EQ(LoadLandscape("/dev/zero").errors, std::vector<std::string>{"/dev/zero: cannot read the landscape file: is not a regular file (a device, FIFO or socket)"});
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvelle2-landscape-test";
  std::filesystem::create_directories(folder);
  const std::string empty = (folder / "empty.json").string();
  std::ofstream(empty).close();
  EXPECT_EQ(LoadLandscape(empty).errors, std::vector<std::string>{empty + ": the file is empty"});
  EXPECT_EQ(LoadLandscape(folder.string()).errors,
            std::vector<std::string>{folder.string() + ": cannot read the landscape file: is a folder, not a file"});
  const std::string missing = (folder / "missing.json").string();
  EXPECT_EQ(LoadLandscape(missing).errors,
            std::vector<std::string>{missing + ": cannot read the landscape file: no such file"});
  std::filesystem::remove_all(folder);
}

TEST(JsonTree, PositionsCountCharactersAndSkipComments) {
  JsonParseResult r = ParseJsonTree("// head\n{ /* a */ \"k\\\"\": [1, \"\xc3\xa9\xc3\xa9\", true],\n  \"n\": null }");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.root.members.size(), 2u);
  EXPECT_EQ(r.root.members[0].first, "k\"");
  EXPECT_EQ(r.root.keyPositions[0].line, 2);
  EXPECT_EQ(r.root.keyPositions[0].column, 11);
  const JsonNode& list = r.root.members[0].second;
  ASSERT_EQ(list.items.size(), 3u);
  EXPECT_EQ(list.items[1].position.column, 22);
  // Two two-byte characters count as two columns.
  EXPECT_EQ(list.items[2].position.column, 28);
  EXPECT_EQ(r.root.members[1].second.position.line, 3);
  EXPECT_EQ(r.root.members[1].second.position.column, 8);
  // A byte order mark is skipped and takes no column.
  JsonParseResult marked = ParseJsonTree("\xEF\xBB\xBF{\"a\": 1}");
  ASSERT_TRUE(marked.ok) << marked.error;
  EXPECT_EQ(marked.root.keyPositions[0].column, 2);
  EXPECT_EQ(marked.root.members[0].second.position.column, 7);
}

// Truncations and byte mutations of a valid file: the loader never crashes and either
// loads or reports, first of all, an error with a position.
TEST(LandscapeErrors, TruncatedAndMutatedFilesNeverCrash) {
  InitNoise();
  std::ifstream in(DataFolder + "/valley.json", std::ios::binary);
  const std::string valid((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(valid.size(), 100u);
  ASSERT_TRUE(LoadLandscapeFromText("v.json", valid, DataFolder).ok());
  const std::regex positioned(R"(^v\.json:\d+:\d+: .+)");
  auto check = [&](const std::string& text) {
    LandscapeLoadResult r = LoadLandscapeFromText("v.json", text, DataFolder);
    if (r.ok())
      return;
    ASSERT_FALSE(r.errors.empty());
    if (r.errors[0] != "v.json: the file is empty") {
      ASSERT_TRUE(std::regex_match(r.errors[0], positioned)) << r.errors[0];
    }
  };
  for (size_t n = 0; n < valid.size(); n += 3)
    check(valid.substr(0, n));
  std::mt19937 random(12345);
  const std::string bytes = "{}[],:\"0123456789.-eE/\\* \ntfnx\xff\xc3";
  for (int i = 0; i < 1500; i++) {
    std::string text = valid;
    for (int k = 0; k < 1 + i % 3; k++)
      text[random() % text.size()] = bytes[random() % bytes.size()];
    check(text);
  }
  FreeNoiseData();
}

}  // namespace
