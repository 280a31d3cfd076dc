// The model importer: assimp reads a model file into meshes. It is a module of its own,
// which orvelle2 opens the first time a landscape names a model (model_file.cpp), so that
// assimp and the libraries it needs are loaded only then rather than at every start.
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <memory>
#include <numbers>

#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "host/model_file.h"

namespace {

// Beyond this a model does not fit in memory in any useful way.
constexpr uint64_t MaxModelTriangles = 20000000;
// Coordinates stay well inside float range, so boxes and transforms never overflow.
constexpr float MaxModelCoordinate = 1e9f;

bool Usable(const aiVector3D& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::fabs(v.x) <= MaxModelCoordinate &&
         std::fabs(v.y) <= MaxModelCoordinate && std::fabs(v.z) <= MaxModelCoordinate;
}

}  // namespace

extern "C" bool ImportModelFile(const std::string& path, const ModelOptions& options, Model& model,
                                std::string& error) {
  Assimp::Importer importer;
  // Points and lines are dropped; polygons become triangles; node transforms are baked in.
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_SortByPType |
                                                     aiProcess_PreTransformVertices | aiProcess_ValidateDataStructure);
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
    error = importer.GetErrorString();
    if (error.empty())
      error = "not a model file assimp can read";
    return false;
  }
  uint64_t triangleTotal = 0;
  for (unsigned m = 0; m < scene->mNumMeshes; m++)
    triangleTotal += scene->mMeshes[m]->mNumFaces;
  if (triangleTotal == 0) {
    error = "the model holds no triangles";
    return false;
  }
  if (triangleTotal > MaxModelTriangles) {
    error = "the model holds " + std::to_string(triangleTotal) + " triangles; at most " +
            std::to_string(MaxModelTriangles) + " are read";
    return false;
  }
  for (unsigned m = 0; m < scene->mNumMeshes; m++) {
    const aiMesh* mesh = scene->mMeshes[m];
    for (unsigned v = 0; v < mesh->mNumVertices; v++)
      if (!Usable(mesh->mVertices[v])) {
        error =
            "vertex " + std::to_string(v) + " of mesh " + std::to_string(m) + " is not a finite coordinate within ±1e9";
        return false;
      }
  }

  // File materials are numbered in the file's order counting only those that faces use:
  // importers add default materials of their own (OBJ's comes first).
  std::vector<uint32_t> fileMaterialNumber(scene->mNumMaterials + 1, 0);
  {
    std::vector<bool> used(scene->mNumMaterials + 1, false);
    for (unsigned m = 0; m < scene->mNumMeshes; m++)
      used[std::min(scene->mMeshes[m]->mMaterialIndex, scene->mNumMaterials)] = true;
    uint32_t next = 0;
    for (size_t k = 0; k < used.size(); k++)
      if (used[k])
        fileMaterialNumber[k] = next++;
  }

  std::vector<std::unique_ptr<TMesh>> meshes;
  std::vector<std::vector<uint32_t>> fileMaterials;
  const float crease = static_cast<float>(std::cos(options.creaseAngle * std::numbers::pi / 180.0));
  auto startMesh = [&]() {
    auto mesh = std::make_unique<TMesh>(0);
    mesh->creaseCosine = crease;
    mesh->twoSided = options.twoSided ? 1 : 0;
    meshes.push_back(std::move(mesh));
    fileMaterials.emplace_back();
  };
  startMesh();
  uint32_t triangles = 0;
  uint64_t points = 0;
  for (unsigned m = 0; m < scene->mNumMeshes; m++) {
    const aiMesh* source = scene->mMeshes[m];
    for (unsigned k = 0; k < source->mNumFaces; k++) {
      const aiFace& face = source->mFaces[k];
      if (face.mNumIndices != 3)
        continue;
      // A triangle that could bring three new points into a full mesh starts the next one.
      if (meshes.back()->pointCount + 3 > MaxMeshPoints) {
        points += meshes.back()->pointCount;
        startMesh();
      }
      TMesh& mesh = *meshes.back();
      VECFLOAT corners[3];
      for (int c = 0; c < 3; c++) {
        const aiVector3D& v = source->mVertices[face.mIndices[c]];
        corners[c] = VECFLOAT(v.x, v.y, v.z);
      }
      const uint32_t before = mesh.triangleCount;
      mesh.AddFace3(corners[0], corners[1], corners[2], 0);
      if (mesh.triangleCount == before) {
        error = "not enough memory for the model";
        return false;
      }
      fileMaterials.back().push_back(fileMaterialNumber[std::min(source->mMaterialIndex, scene->mNumMaterials)]);
      triangles++;
    }
  }
  points += meshes.back()->pointCount;
  if (meshes.size() == 1) {
    model.object = meshes.front().get();
  } else {
    Group* group = new Group(nullptr);
    for (auto& mesh : meshes)
      group->Add(mesh.get(), static_cast<unsigned>(-1));
    model.object = group;
  }
  model.meshes.clear();
  for (auto& mesh : meshes)
    model.meshes.push_back(mesh.release());
  model.fileMaterials = std::move(fileMaterials);
  model.points = static_cast<uint32_t>(std::min<uint64_t>(points, UINT32_MAX));
  model.triangles = triangles;
  return true;
}
