// The record readers behind LoadLandscape: the readers of each family of records, on the
// reading context and field reader of host/json_fields.h. Internal to the host.
#pragma once

#include <cfloat>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/geometry/colours.h"
#include "engine/geometry/vectors.h"
#include "host/json_fields.h"

class Landscape;
struct LoadControl;
class Texture;
class Fonction3D;
class FiltreNumerique;
class TableDeCouleurs;
class BasicObject;
class Terrain;
struct TurbParams;
struct Matrix;
struct TPaysage;

// Colour factors (SkyTint, LightColour, a light's Colour) above this are taken for
// colours written as 0..255 and warned about.
constexpr float MaxLikelyColourFactor = 8.0f;

// A path of the landscape file (relative to its folder, or absolute) as the program opens it.
std::string JoinPath(const std::string& folder, const std::string& path);

// Materials and functions (landscape_reader_materials.cpp). Nested materials and
// functions recurse; the parser's nesting limit bounds the depth.
void ReadColourTable(ReadContext& ctx, const JsonNode& node, const std::string& what, TableDeCouleurs& table);
void ReadFilter(ReadContext& ctx, const JsonNode& node, FiltreNumerique& filter);
void ReadTurbulence(ReadContext& ctx, const JsonNode& node, TurbParams& turbulence);
void ReadRotation(ReadContext& ctx, const JsonNode& node, const std::string& what, Matrix& rotation);
void ReadFunction(ReadContext& ctx, const JsonNode& node, Fonction3D& function);
void ReadMaterial(ReadContext& ctx, const JsonNode& node, Texture& material);

// Objects (landscape_reader_objects.cpp): a new object, or null after reporting why.
BasicObject* ReadObject(ReadContext& ctx, const JsonNode& node);

// The whole landscape (landscape_reader.cpp).
void ReadLandscape(ReadContext& ctx, const JsonNode& root, Landscape& landscape);
// The format's own defaults where the engine's record defaults would give a black or
// blank picture: white sky tint and light, a blue sky gradient, a small sun disc, a
// pale haze that the sky's horizon shares, a half-turn panorama.
void ApplyFormatDefaults(TPaysage& landscape);
// The rotation angles (a, 0, c) whose third axis, (sin a sin c, -sin a cos c, cos a), is
// the unit vector `direction`: how lights and cameras are pointed.
VECTEUR AnglesOfDirection(const VECTEUR& direction);

// Plants scattered at most by one scatter.
constexpr int64_t MaxScatteredPlants = 20000;
// A grown plant (the "Plant" kind): Species, Seed, Height and the Wood, Leaves and Fruit
// materials; null after reporting what is wrong.
BasicObject* ReadPlant(ReadContext& ctx, Fields& f);
// Plants scattered over a terrain read before ("Scatter"): a group of groups of plants
// by place; null after reporting what is wrong.
BasicObject* ReadScatter(ReadContext& ctx, Fields& f, const std::vector<Terrain*>& terrains);
