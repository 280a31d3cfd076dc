// Readers of scene objects: primitives, terrains (from a height-map picture or a sampled
// function), meshes from model files, groups and constructive solids, lights and the camera, each with its
// transform, layer, material index and wireframe colour.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/functions/fonction3d.h"
#include "engine/lights/light.h"
#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/primitives.h"
#include "engine/render/camera.h"
#include "engine/terrain/terrain.h"
#include "host/landscape.h"
#include "host/landscape_reader.h"
#include "host/model_file.h"
#include "host/picture_file.h"

std::string JoinPath(const std::string& folder, const std::string& path) {
  namespace fs = std::filesystem;
  if (folder.empty() || fs::path(path).is_absolute())
    return path;
  return (fs::path(folder) / path).string();
}

namespace {

using Type = BasicObject::ObjectType;

// Positions and sizes stay well inside float range, so transforms never overflow.
constexpr double MaxCoordinate = 1e9;
constexpr double MaxAngle = 1e6;
// A zero scale makes the transform singular; slants of 90 degrees do too.
constexpr double MinSize = 1e-6, MaxSize = 1e9;
constexpr double MaxSlant = 89.0;

bool IsLightType(Type t) {
  return t == BasicObject::TypeDirectionalLight || t == BasicObject::TypePointLight ||
         t == BasicObject::TypeSpotLight || t == BasicObject::TypeLaserLight;
}

// The transform: rotation angles, sizes along the object's axes and slant angles, in the
// order that keeps each of them as given; then the position.
void ReadTransform(Fields& f, BasicObject& object) {
  auto angles = f.Vecteur("angles", -MaxAngle, MaxAngle);
  // Lights and cameras may give the direction they point in instead of angles: the
  // rotation (a, 0, c) whose third axis, (sin a sin c, -sin a cos c, cos a), is that direction.
  if (IsLightType(object.type) || object.type == BasicObject::TypeCamera) {
    const JsonNode* d = f.Get("Direction");
    auto v = d ? f.Vecteur("Direction", -MaxCoordinate, MaxCoordinate) : std::nullopt;
    if (d && angles) {
      f.Context().Error(d->position, "give either angles or Direction, not both");
    } else if (v && Length(*v) < 1e-9) {
      f.Context().Error(d->position, "Direction must not be the zero vector");
    } else if (v) {
      angles = AnglesOfDirection(Normalised(*v));
    }
  }
  auto sizes = f.Vecteur("sizes", MinSize, MaxSize);
  auto slants = f.Vecteur("slants", -MaxSlant, MaxSlant);
  auto centre = f.Vecteur("centre", -MaxCoordinate, MaxCoordinate);
  if (const JsonNode* n = f.Get("AboveGround")) {
    ReadContext& ctx = f.Context();
    if (ctx.depth > 0)
      ctx.Error(n->position, "AboveGround places top-level objects only; place the group instead");
    else if (auto above = ReadNumber(ctx, *n, "AboveGround", -MaxCoordinate, MaxCoordinate))
      ctx.placements.push_back({&object, *above, n->position});
  }
  if (angles)
    object.Rotate(static_cast<float>(angles->x), static_cast<float>(angles->y), static_cast<float>(angles->z), nullptr,
                  true);
  if (sizes)
    object.Scale(static_cast<float>(sizes->x), static_cast<float>(sizes->y), static_cast<float>(sizes->z), nullptr,
                 false);
  if (slants && (slants->x != 0.0 || slants->y != 0.0 || slants->z != 0.0))
    object.Slant(static_cast<float>(slants->x), static_cast<float>(slants->y), static_cast<float>(slants->z), nullptr);
  if (centre)
    object.MoveTo(static_cast<float>(centre->x), static_cast<float>(centre->y), static_cast<float>(centre->z), nullptr);
}

// name, layer, wireframe colour and the box-only flag.
void ReadCommon(Fields& f, BasicObject& object) {
  if (auto name = f.String("name", sizeof(object.name) - 1)) {
    std::fill(std::begin(object.name), std::end(object.name), '\0');
    std::copy(name->begin(), name->end(), object.name);
  }
  if (auto v = f.Integer("layer", 0, LayerCount - 1))
    object.SetLayer(static_cast<unsigned>(*v));
  if (auto v = f.Integer("wireFrameColor", 0, 7))
    object.SetWireFrameColor(static_cast<unsigned char>(*v));
  if (auto v = f.Bool("boxOnly"))
    object.flags = *v ? (object.flags | BasicObject::BoxOnlyBit) : (object.flags & ~BasicObject::BoxOnlyBit);
}

// The material index, checked against the landscape's materials.
void ReadMaterialIndex(ReadContext& ctx, Fields& f, BasicObject& object, bool optional) {
  const JsonNode* n = f.Get("material");
  if (!n && optional)
    return;
  int64_t index = 0;
  if (n) {
    auto v = ReadInteger(ctx, *n, "material", 0, UINT16_MAX);
    if (!v)
      return;
    index = *v;
  }
  if (index >= static_cast<int64_t>(ctx.materialCount)) {
    const TextPosition at = n ? n->position : f.Node().position;
    ctx.Error(at, "material " + std::to_string(index) + " is beyond the materials (there " +
                      (ctx.materialCount == 1 ? "is 1" : "are " + std::to_string(ctx.materialCount)) + ")");
    return;
  }
  object.SetTexture(static_cast<unsigned>(index));
}

void ReadLightFields(Fields& f, TLight& light) {
  READ_VECF(f, light, Colour, 0.0, 1e6);
  const VECFLOAT c = light.Colour;
  if (const JsonNode* n = f.Get("Colour"); n && std::max({c.x, c.y, c.z}) > MaxLikelyColourFactor)
    f.Context().Warning(n->position, "a light's Colour is a factor per channel (1 is white); [" + FormatNumber(c.x) +
                                         ", " + FormatNumber(c.y) + ", " + FormatNumber(c.z) +
                                         "] looks like 0..255: divide by 255");
  READ_FLOAT(f, light, Softness, 0.0, 1.5707963);
  switch (light.type) {
    case BasicObject::TypeDirectionalLight: {
      auto& d = static_cast<TDirectionLight&>(light);
      READ_BOOL(f, d, FollowCamera);
      break;
    }
    case BasicObject::TypePointLight: {
      auto& p = static_cast<TPointLight&>(light);
      READ_FLOAT(f, p, Power, 0.0, 1e8);
      break;
    }
    case BasicObject::TypeSpotLight: {
      auto& s = static_cast<TSpotLight&>(light);
      READ_FLOAT(f, s, Penumbra, 0.0, 1.0);
      READ_FLOAT(f, s, CosCone, -1.0, 1.0);
      READ_FLOAT(f, s, Power, 0.0, 1e8);
      break;
    }
    default: {
      auto& l = static_cast<TLaserLight&>(light);
      READ_FLOAT(f, l, Setting1);
      READ_FLOAT(f, l, Setting2);
      break;
    }
  }
}

void ReadCameraFields(Fields& f, TCamera& camera) {
  READ_FLOAT(f, camera, FocalLength, 8.0, 5000.0);
  READ_BOOL(f, camera, LevelHorizon);
  READ_FLOAT(f, camera, Aperture, 0.0, 1e6);
  READ_FLOAT(f, camera, FocusDistance, 1e-6, 1e9);
}

// A terrain from a height-map picture or from a function sampled on a grid.
Terrain* ReadTerrain(ReadContext& ctx, Fields& f) {
  const JsonNode* map = f.Get("HeightMap");
  const JsonNode* function = f.Get("Function");
  const JsonNode* widthNode = f.Get("width");
  const JsonNode* heightNode = f.Get("height");
  const JsonNode* scaleNode = f.Get("AltitudeScale");
  auto smooth = f.Bool("smoothSurface");
  auto extra = f.Bool("extraFlag");
  const TextPosition at = f.Node().position;
  if (map && function) {
    ctx.Error(function->position, "a terrain takes a HeightMap or a Function, not both");
    return nullptr;
  }
  if (!map && !function) {
    ctx.Error(at, "a terrain needs either a HeightMap or a Function");
    return nullptr;
  }
  std::unique_ptr<Terrain> terrain;
  const std::string limit = std::to_string(MaxTerrainSide) + " x " + std::to_string(MaxTerrainSide);
  if (map) {
    for (const JsonNode* n : {widthNode, heightNode, scaleNode})
      if (n)
        ctx.Error(n->position, "a height-map terrain takes its size and altitudes from the picture");
    if (map->kind != JsonNode::Kind::String || map->string.empty()) {
      ctx.Error(map->position, std::string("HeightMap must be a picture path, not ") + map->KindName());
      return nullptr;
    }
    const std::string path = JoinPath(ctx.baseFolder, map->string);
    if (std::filesystem::is_directory(path)) {
      ctx.Error(map->position, "the height map \"" + map->string + "\" is a folder, not a picture");
      return nullptr;
    }
    HeightMap picture;
    std::string error;
    if (!ReadHeightMap(path, MaxTerrainSide, picture, error)) {
      ctx.Error(map->position, "cannot read the height map \"" + map->string + "\": " + error);
      return nullptr;
    }
    if (picture.width < MinTerrainSide || picture.height < MinTerrainSide || picture.width > MaxTerrainSide ||
        picture.height > MaxTerrainSide) {
      ctx.Error(map->position, "the height map is " + std::to_string(picture.width) + " x " +
                                   std::to_string(picture.height) + " pixels; terrains must be 2 x 2 to " + limit);
      return nullptr;
    }
    terrain = std::make_unique<Terrain>(picture.width, picture.height, 0);
    if (!terrain->altitudes) {
      ctx.Error(map->position, "not enough memory for the terrain");
      return nullptr;
    }
    // Picture rows run top to bottom; grid rows run along +y, so the top row is the far one.
    const int shift = picture.sixteenBit ? 1 : 0;
    for (int y = 0; y < picture.height; y++) {
      const uint16_t* samples = &picture.samples[static_cast<size_t>(picture.height - 1 - y) * picture.width];
      int16_t* row = terrain->AltitudeRow(y);
      for (int x = 0; x < picture.width; x++)
        row[x] = static_cast<int16_t>(samples[x] >> shift);
    }
  } else {
    if (!widthNode || !heightNode) {
      ctx.Error(at, "a function terrain needs its width and height in grid points");
      return nullptr;
    }
    auto w = ReadInteger(ctx, *widthNode, "width", MinTerrainSide, MaxTerrainSide);
    auto h = ReadInteger(ctx, *heightNode, "height", MinTerrainSide, MaxTerrainSide);
    auto scale = scaleNode ? ReadNumber(ctx, *scaleNode, "AltitudeScale", 0.0, 32767.0) : std::optional<double>(1000.0);
    Fonction3D fn;
    ReadFunction(ctx, *function, fn);
    if (!w || !h || !scale || ctx.Failed())
      return nullptr;
    const LoadControl* control = ctx.control;
    if (control && *w * *h > control->maxTerrainPoints) {
      ctx.Error(at, "a function terrain of " + std::to_string(*w) + " x " + std::to_string(*h) +
                        " points is more than this reader samples (" + std::to_string(control->maxTerrainPoints) +
                        " points)");
      return nullptr;
    }
    terrain = std::make_unique<Terrain>(static_cast<unsigned>(*w), static_cast<unsigned>(*h), 0);
    if (!terrain->altitudes) {
      ctx.Error(at, "not enough memory for the terrain");
      return nullptr;
    }
    // Sampled as a render would see it: prepared at unit size and scale.
    fn.Preparer(VECFLOAT(1.0f, 1.0f, 1.0f), 1.0f);
    const VECTEUR up(0.0, 0.0, 1.0);
    const std::string step = "sampling a terrain of " + std::to_string(*w) + " x " + std::to_string(*h) + " points";
    for (int y = 0; y < *h; y++) {
      // Sampling may take minutes: it listens for interruptions and reports progress.
      if (control && control->Interrupted()) {
        ctx.Error(at, "loading interrupted");
        return nullptr;
      }
      if (control && control->progress)
        control->progress(step, static_cast<double>(y) / static_cast<double>(*h));
      for (int x = 0; x < *w; x++) {
        const float value = fn.ExtraireFonction(static_cast<float>(x), static_cast<float>(y), 0.0f, up, nullptr, false);
        // A degenerate function (a NaN) gives the floor rather than an undefined altitude.
        const double altitude = (value > 0.0f ? std::min(static_cast<double>(value), 1.0) : 0.0) * *scale;
        terrain->SetAltitude(x, y, static_cast<int>(std::lround(altitude)));
      }
    }
    fn.DePreparer(VECFLOAT(1.0f, 1.0f, 1.0f), 1.0f);
  }
  if (smooth)
    terrain->smoothSurface = *smooth ? 1 : 0;
  if (extra)
    terrain->extraFlag = *extra ? 1 : 0;
  terrain->ZeroMinimumAltitudes();
  terrain->PrepareEdges();
  terrain->PrepareClusters();
  return terrain.release();
}

// A mesh from a model file; `map` receives the landscape material of each file material.
BasicObject* ReadMesh(ReadContext& ctx, Fields& f, Model& model, std::vector<uint16_t>& map) {
  const JsonNode* file = f.Get("File");
  ModelOptions options;
  if (auto v = f.Float("CreaseAngle", 0.0, 180.0))
    options.creaseAngle = *v;
  if (auto v = f.Bool("TwoSided"))
    options.twoSided = *v;
  if (const JsonNode* list = f.Get("MaterialMap")) {
    if (list->kind != JsonNode::Kind::Array || list->items.size() > UINT16_MAX) {
      ctx.Error(list->position, "MaterialMap must be an array of material indices");
    } else {
      for (const JsonNode& item : list->items) {
        auto index = ReadInteger(ctx, item, "a MaterialMap entry", 0, UINT16_MAX);
        if (index && *index >= static_cast<int64_t>(ctx.materialCount))
          ctx.Error(item.position, "material " + std::to_string(*index) + " is beyond the materials (there " +
                                       (ctx.materialCount == 1 ? "is 1" : "are " + std::to_string(ctx.materialCount)) +
                                       ")");
        map.push_back(static_cast<uint16_t>(index.value_or(0)));
      }
    }
  }
  if (!file || file->kind != JsonNode::Kind::String || file->string.empty()) {
    ctx.Error(file ? file->position : f.Node().position, "a mesh needs its model File: a path");
    return nullptr;
  }
  if (ctx.Failed())
    return nullptr;
  std::string error;
  if (!LoadModel(JoinPath(ctx.baseFolder, file->string), options, model, error)) {
    ctx.Error(file->position, "cannot read the model \"" + file->string + "\": " + error);
    return nullptr;
  }
  if (model.meshes.size() > 1 && isatty(STDERR_FILENO))
    std::fprintf(stderr, "%s: %u points; split into %zu meshes of at most %u points each\n", file->string.c_str(),
                 model.points, model.meshes.size(), MaxMeshPoints);
  return model.object;
}

// What a kind reads besides the fields every object has.
enum class Role {
  Solid,      // a material index
  Aggregate,  // children, and a material index for all of them when given
  Light,      // the light's fields; no material
  Camera,     // the camera's fields; no material
  Plant,      // its own materials
  Scatter,    // a group of plants placed over the terrains read before it; no transform
};

// What reading one object keeps until it is complete: a mesh's file materials.
struct KindReading {
  Model model;
  std::vector<uint16_t> materialMap;
};

template <class T>
BasicObject* Make(ReadContext&, Fields&, KindReading&) {
  return new T(0);
}
template <class T>
BasicObject* MakeAggregate(ReadContext&, Fields&, KindReading&) {
  return new T(nullptr);
}
template <class T>
BasicObject* MakeDefault(ReadContext&, Fields&, KindReading&) {
  return new T();
}

// One kind of object: its name in files, its engine type, what it reads, and the reader
// that makes the object (reading the kind's own fields), or null after reporting why.
struct ObjectKind {
  const char* name;
  Type type;
  Role role;
  BasicObject* (*read)(ReadContext& ctx, Fields& f, KindReading& reading);
};

// The one table of kinds; files name them as the engine's type enumeration does.
const std::array<ObjectKind, 20> ObjectKinds = {{
    {"InfinitePlane", BasicObject::TypeInfinitePlane, Role::Solid, Make<InfinitePlane>},
    {"Plane", BasicObject::TypePlane, Role::Solid, Make<TPlane>},
    {"Cylinder", BasicObject::TypeCylinder, Role::Solid, Make<Cyl>},
    {"Sphere", BasicObject::TypeSphere, Role::Solid, Make<Sph>},
    {"Cube", BasicObject::TypeCube, Role::Solid, Make<TCube>},
    {"Cone", BasicObject::TypeCone, Role::Solid, Make<TCone>},
    {"Pyramid", BasicObject::TypePyramid, Role::Solid, Make<TPyramide>},
    {"Terrain", BasicObject::TypeTerrain, Role::Solid,
     [](ReadContext& ctx, Fields& f, KindReading&) -> BasicObject* { return ReadTerrain(ctx, f); }},
    {"Mesh", BasicObject::TypeMesh, Role::Solid,
     [](ReadContext& ctx, Fields& f, KindReading& r) { return ReadMesh(ctx, f, r.model, r.materialMap); }},
    {"Plant", BasicObject::TypeVegetation, Role::Plant,
     [](ReadContext& ctx, Fields& f, KindReading&) { return ReadPlant(ctx, f); }},
    {"Union", BasicObject::TypeUnion, Role::Aggregate, MakeAggregate<TCSGUnion>},
    {"Intersection", BasicObject::TypeIntersection, Role::Aggregate, MakeAggregate<TCSGIntersection>},
    {"Difference", BasicObject::TypeDifference, Role::Aggregate, MakeAggregate<TCSGDifference>},
    {"Group", BasicObject::TypeGroup, Role::Aggregate, MakeAggregate<Group>},
    {"DirectionalLight", BasicObject::TypeDirectionalLight, Role::Light, MakeDefault<TDirectionLight>},
    {"PointLight", BasicObject::TypePointLight, Role::Light, MakeDefault<TPointLight>},
    {"SpotLight", BasicObject::TypeSpotLight, Role::Light, MakeDefault<TSpotLight>},
    {"LaserLight", BasicObject::TypeLaserLight, Role::Light, MakeDefault<TLaserLight>},
    {"Camera", BasicObject::TypeCamera, Role::Camera, MakeDefault<TCamera>},
    {"Scatter", BasicObject::TypeGroup, Role::Scatter,
     [](ReadContext& ctx, Fields& f, KindReading&) { return ReadScatter(ctx, f, ctx.terrains); }},
}};

std::string TypeList() {
  std::string list;
  for (const ObjectKind& kind : ObjectKinds)
    list += std::string(list.empty() ? "" : ", ") + kind.name;
  return list;
}

}  // namespace

VECTEUR AnglesOfDirection(const VECTEUR& u) {
  const double a = std::acos(std::clamp(u.z, -1.0, 1.0)) * RadiansToDegrees;
  const double c = std::hypot(u.x, u.y) < 1e-12 ? 0.0 : std::atan2(u.x, -u.y) * RadiansToDegrees;
  return VECTEUR(a, 0.0, c);
}

BasicObject* ReadObject(ReadContext& ctx, const JsonNode& node) {
  if (++ctx.objectCount > MaxObjects) {
    if (ctx.objectCount == MaxObjects + 1)
      ctx.Error(node.position, "a landscape holds at most " + std::to_string(MaxObjects) + " objects");
    return nullptr;
  }
  Fields f(ctx, node, "an object");
  if (!f.IsObject())
    return nullptr;
  // An object that cannot be built leaves its other keys unread: no unknown-key reports.
  struct AbandonUnlessBuilt {
    Fields& f;
    bool built = false;
    ~AbandonUnlessBuilt() {
      if (!built)
        f.Abandon();
    }
  } guard{f};
  const JsonNode* typeNode = f.Get("type");
  if (!typeNode) {
    ctx.Error(node.position, "an object needs a type (" + TypeList() + ")");
    return nullptr;
  }
  if (typeNode->kind != JsonNode::Kind::String) {
    ctx.Error(typeNode->position, std::string("type must be a string, not ") + typeNode->KindName());
    return nullptr;
  }
  const auto found = std::find_if(ObjectKinds.begin(), ObjectKinds.end(),
                                  [&](const ObjectKind& kind) { return typeNode->string == kind.name; });
  if (found == ObjectKinds.end()) {
    ctx.Error(typeNode->position, "unknown object type \"" + typeNode->string + "\"; known types: " + TypeList());
    return nullptr;
  }
  const ObjectKind& kind = *found;
  KindReading reading;
  std::unique_ptr<BasicObject> object(kind.read(ctx, f, reading));
  if (!object)
    return nullptr;
  if (kind.role == Role::Scatter) {
    ReadCommon(f, *object);
    guard.built = true;
    return object.release();
  }

  if (kind.role == Role::Aggregate) {
    auto* aggregate = static_cast<TAggregate*>(object.get());
    const JsonNode* children = f.Get("children");
    if (!children || children->kind != JsonNode::Kind::Array || children->items.empty()) {
      ctx.Error(children ? children->position : node.position,
                std::string(kind.name) + " needs children: a non-empty array of objects");
    } else if (children->items.size() > static_cast<size_t>(MaxAggregateChildren)) {
      ctx.Error(children->position, "an aggregate holds at most " + std::to_string(MaxAggregateChildren) + " children");
    } else {
      ctx.depth++;
      for (const JsonNode& c : children->items) {
        if (ctx.Full())
          break;
        if (BasicObject* child = ReadObject(ctx, c))
          aggregate->Add(child, static_cast<unsigned>(-1));
      }
      ctx.depth--;
    }
  }
  ReadCommon(f, *object);
  if (kind.role == Role::Light)
    ReadLightFields(f, static_cast<TLight&>(*object));
  if (kind.role == Role::Camera)
    ReadCameraFields(f, static_cast<TCamera&>(*object));
  // Lights, cameras and plants have no material index; an aggregate's material, when
  // given, goes to every child.
  if (kind.role == Role::Aggregate)
    ReadMaterialIndex(ctx, f, *object, true);
  else if (kind.role == Role::Solid)
    ReadMaterialIndex(ctx, f, *object, false);
  if (kind.type == BasicObject::TypeMesh)
    ApplyFileMaterials(reading.model, reading.materialMap);
  ReadTransform(f, *object);
  // Scatters find the terrains given before them by name.
  if (kind.type == BasicObject::TypeTerrain)
    ctx.terrains.push_back(static_cast<Terrain*>(object.get()));
  guard.built = true;
  return object.release();
}
