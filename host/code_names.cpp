#include "host/code_names.h"

#include <strings.h>

#include <array>

namespace {

constexpr std::array<CodeName, 45> Kinds = {{
    {"None", 0},
    {"Noise", 1},
    {"Checker", 2},
    {"CosineGrid", 3},
    {"TriangleWaves", 4},
    {"Waves", 5},
    {"SineBlobs", 6},
    {"Shells", 7},
    {"Strata", 8},
    {"Saw", 9},
    {"Rings", 10},
    {"SawCubes", 11},
    {"Bumps", 12},
    {"NoisyBumpWaves", 13},
    {"AbsNoise", 14},
    {"Ripples", 15},
    {"Veins", 16},
    {"Constant", 17},
    {"ValueNoise", 18},
    {"Spiral", 19},
    {"TightSpiral", 20},
    {"ThreeOctaveNoise", 21},
    {"Octants", 22},
    {"TanhSteps", 23},
    {"Ball", 24},
    {"ConeBall", 25},
    {"Gaussian", 26},
    {"CrystalCells", 27},
    {"CellBlobs", 28},
    {"CellMosaic", 29},
    {"BeveledCells", 30},
    {"SplitCubes", 31},
    {"Plates", 32},
    {"NoisyPlates", 33},
    {"EuclidCellPits", 34},
    {"ManhattanCellPeaks", 35},
    {"ManhattanCellValue", 36},
    {"BlockCells", 37},
    {"CrackCells", 38},
    {"SpotCells", 39},
    {"PerturbedBumps", 40},
    {"SphericalWaves", 41},
    {"NestedBlobs", 42},
    {"InverseDistanceNoise", 43},
    {"NestedBoxes", 44},
}};

constexpr std::array<CodeName, 8> Combinations = {{
    {"Sum", 0},
    {"Product", 2},
    {"Max", 4},
    {"Min", 5},
    {"Largest", 6},
    {"Smallest", 7},
    {"RisingSum", 8},
    {"DampedSum", 9},
}};

constexpr std::array<CodeName, 5> Transitions = {{
    {"BlendResults", 0},
    {"Linear", 1},
    {"Smooth", 2},
    {"ColourBlend", 3},
    {"ParameterBlend", 4},
}};

}  // namespace

std::span<const CodeName> FunctionKindNames() { return Kinds; }
std::span<const CodeName> CombineModeNames() { return Combinations; }
std::span<const CodeName> TransitionModeNames() { return Transitions; }

std::optional<int> CodeOfName(std::span<const CodeName> names, const std::string& name) {
  for (const CodeName& n : names)
    if (strcasecmp(n.name, name.c_str()) == 0)
      return n.code;
  return std::nullopt;
}

const char* NameOfCode(std::span<const CodeName> names, int code) {
  for (const CodeName& n : names)
    if (n.code == code)
      return n.name;
  return nullptr;
}
