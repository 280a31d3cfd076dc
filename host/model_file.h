// Models made elsewhere (OBJ, PLY, STL, glTF and the other formats assimp reads) turned
// into meshes. Point indices of a mesh are 16-bit, so a model with more points is split
// into several meshes gathered in one group.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class BasicObject;
class TMesh;

struct ModelOptions {
  float creaseAngle = 45.0f;  // degrees: faces meeting at a sharper angle show the edge
  bool twoSided = true;
};

// A loaded model: one mesh, or a group of meshes, in the file's own coordinates; and for
// each mesh, the file material of every triangle. File materials are numbered 0, 1, ...
// in the file's order, counting only materials that some face uses.
struct Model {
  BasicObject* object = nullptr;  // owned by the caller once loaded
  std::vector<TMesh*> meshes;
  std::vector<std::vector<uint32_t>> fileMaterials;
  uint32_t points = 0;  // before splitting: the welded points of every mesh together
  uint32_t triangles = 0;
};

// Loads `path`. On failure returns false with `error` saying what is wrong, and leaves
// nothing allocated. The first call opens the model importer, a module of its own (assimp
// is loaded with it, not at every start); when it is missing every call says so.
bool LoadModel(const std::string& path, const ModelOptions& options, Model& model, std::string& error);

// The importer module's entry, which LoadModel finds by this name: LoadModel for a path
// known to be a regular file.
using ImportModelFunction = bool(const std::string& path, const ModelOptions& options, Model& model,
                                 std::string& error);
extern "C" ImportModelFunction ImportModelFile;

// Gives every triangle the landscape material its file material maps to: map[i] for file
// material i, the mesh's own material for file materials beyond the map.
void ApplyFileMaterials(const Model& model, const std::vector<uint16_t>& map);
