// Models from files: the four formats load alike, file materials map onto the
// landscape's, a model with more points than a mesh holds is split, and bad models are
// refused with their position.
#include "host/model_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "engine/scene/context.h"
#include "engine/render/preparation.h"
#include "host/landscape.h"

namespace {

const std::filesystem::path ExamplesFolder =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "examples";

const char* const TwoMaterials = "\"Materials\": [ { \"Name\": \"a\" }, { \"Name\": \"b\" }, { \"Name\": \"c\" } ]";

LandscapeLoadResult Load(const std::string& objects) {
  return LoadLandscapeFromText("models.json", std::string("{ ") + TwoMaterials + ", \"Objects\": [ " + objects + " ] }",
                               ExamplesFolder.string());
}

// A flat square grid of n x n cells (2 n² triangles, (n + 1)² points) as binary STL.
void WriteGridStl(const std::string& path, int n) {
  std::ofstream out(path, std::ios::binary);
  char header[80] = {};
  out.write(header, sizeof(header));
  const uint32_t count = 2u * n * n;
  out.write(reinterpret_cast<const char*>(&count), 4);
  auto triangle = [&](float x0, float y0, float x1, float y1, float x2, float y2) {
    const float data[12] = {0, 0, 1, x0, y0, 0, x1, y1, 0, x2, y2, 0};
    out.write(reinterpret_cast<const char*>(data), sizeof(data));
    const uint16_t attribute = 0;
    out.write(reinterpret_cast<const char*>(&attribute), 2);
  };
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++) {
      triangle(i, j, i + 1, j, i + 1, j + 1);
      triangle(i, j, i + 1, j + 1, i, j + 1);
    }
}

}  // namespace

TEST(ModelFile, TheFourFormatsLoadTheSameClosedModels) {
  const struct {
    const char* name;
    uint32_t points, triangles;
  } models[] = {{"pyramid", 32, 48}, {"sphere", 1986, 3968}};
  for (const auto& m : models)
    for (const char* format : {"obj", "ply", "stl", "gltf"}) {
      const std::string file = std::string(m.name) + "." + format;
      Model model;
      std::string error;
      ASSERT_TRUE(LoadModel((ExamplesFolder / "models" / file).string(), ModelOptions(), model, error)) << error;
      std::unique_ptr<BasicObject> owned(model.object);
      ASSERT_EQ(model.meshes.size(), 1u) << file;
      TMesh& mesh = *model.meshes.front();
      EXPECT_EQ(mesh.pointCount, m.points) << file;
      EXPECT_EQ(mesh.triangleCount, m.triangles) << file;
      EXPECT_TRUE(mesh.IsValidTexture()) << file;
    }
}

TEST(ModelFile, FileMaterialsMapOntoTheLandscapesAndTheRestTakeTheObjects) {
  LandscapeLoadResult r = Load(
      "{ \"type\": \"Mesh\", \"File\": \"models/pyramid.obj\", \"material\": 2, \"MaterialMap\": [1] },"
      "{ \"type\": \"Mesh\", \"File\": \"models/pyramid.stl\", \"material\": 1, \"MaterialMap\": [0, 2],"
      "  \"TwoSided\": false, \"CreaseAngle\": 10, \"centre\": [5, 0, 0] }");
  ASSERT_TRUE(r.ok()) << r.errors.front();
  ObjectsList& objects = r.landscape->Objects();
  TMesh* obj = dynamic_cast<TMesh*>(objects[objects.LowerBound()]);
  TMesh* stl = dynamic_cast<TMesh*>(objects[objects.LowerBound() + 1]);
  ASSERT_TRUE(obj && stl);
  // The pyramid's steps alternate between its two file materials, 24 triangles each: the
  // first maps to 1, the second lies beyond the map and takes the object's.
  int counts[3] = {0, 0, 0};
  for (uint32_t k = 0; k < obj->triangleCount; k++)
    counts[std::min<int>(obj->triangles[k].material, 2)]++;
  EXPECT_EQ(counts[1], 24);
  EXPECT_EQ(counts[2], 24);
  // STL has no materials: the one file material of its faces maps to 0.
  EXPECT_EQ(stl->GetTexture(), 0u);
  EXPECT_EQ(stl->twoSided, 0);
  EXPECT_NEAR(stl->creaseCosine, std::cos(10.0 * 3.14159265358979 / 180.0), 1e-6);
  EXPECT_EQ(stl->GetCenter().x, 5.0);
}

TEST(ModelFile, AModelBeyondOneMeshsPointsIsSplitIntoAGroupThatStillRenders) {
  const std::string path = (std::filesystem::temp_directory_path() / "orvelle-grid-model.stl").string();
  WriteGridStl(path, 300);  // 90601 points, 180000 triangles
  Model model;
  std::string error;
  ASSERT_TRUE(LoadModel(path, ModelOptions(), model, error)) << error;
  std::remove(path.c_str());
  std::unique_ptr<BasicObject> owned(model.object);
  ASSERT_GE(model.meshes.size(), 2u);
  ASSERT_NE(dynamic_cast<Group*>(model.object), nullptr);
  uint32_t triangles = 0;
  for (TMesh* mesh : model.meshes) {
    EXPECT_LE(mesh->pointCount, MaxMeshPoints);
    triangles += mesh->triangleCount;
  }
  EXPECT_EQ(triangles, 180000u);
  EXPECT_EQ(model.triangles, 180000u);
  PrepareMeshesInObject(model.object);
  // Every part of the grid is hit from above, whichever mesh holds it.
  for (const double x : {0.5, 150.5, 299.5})
    for (const double y : {0.5, 150.5, 299.5}) {
      Ray ray;
      ray.origin = VECTEUR(x, y, 10);
      ray.direction = VECTEUR(0, 0, -1);
      double t = NoLimit;
      VECTEUR point, normal;
      TDrawInfo di;
      di.Rendering = 1;
      EXPECT_NE(model.object->FindNearestIntersection(&ray, &di, t, point, normal), nullptr) << x << " " << y;
      EXPECT_NEAR(t, 10.0, 1e-5);
    }
}

TEST(ModelFile, BadModelsAreRefusedWhereTheyAreNamed) {
  const std::string garbage = (std::filesystem::temp_directory_path() / "orvelle-garbage.obj").string();
  std::ofstream(garbage) << "this is not a model\n";
  const struct {
    std::string objects;
    std::string error;
  } cases[] = {
      {"{ \"type\": \"Mesh\", \"material\": 0 }", "models.json:1:"},
      {"{ \"type\": \"Mesh\", \"File\": \"models/none.obj\" }",
       "cannot read the model \"models/none.obj\": no such file"},
      {"{ \"type\": \"Mesh\", \"File\": \"models\" }", "cannot read the model \"models\": is not a file"},
      {"{ \"type\": \"Mesh\", \"File\": \"" + garbage + "\" }", "cannot read the model"},
      {"{ \"type\": \"Mesh\", \"File\": \"models/pyramid.obj\", \"MaterialMap\": [0, 3] }",
       "material 3 is beyond the materials (there are 3)"},
      {"{ \"type\": \"Mesh\", \"File\": \"models/pyramid.obj\", \"CreaseAngle\": 200 }", "CreaseAngle"},
  };
  for (const auto& c : cases) {
    LandscapeLoadResult r = Load(c.objects);
    ASSERT_FALSE(r.ok()) << c.objects;
    EXPECT_NE(r.errors.front().find(c.error), std::string::npos) << r.errors.front();
  }
  std::remove(garbage.c_str());
}
