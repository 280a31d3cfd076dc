#include "host/plant_turtle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "biosphere/biosphere.h"
#include "engine/plants/plant.h"

namespace {

constexpr double DegreesToRadians = 0.017453292519943295;
constexpr unsigned char SetByte = 0xA7;       // §(name,values)
constexpr unsigned char PoundByte = 0xA3;     // £(width)
constexpr unsigned char EAcuteByte = 0xE9;    // é: turn toward the horizontal (branches spread)
constexpr unsigned char EGraveByte = 0xE8;    // è: turn toward the sky
constexpr unsigned char AGraveByte = 0xE0;    // à: the leaf scale
constexpr unsigned char BarByte = '|';        // |: a leaf's bend along its length
constexpr unsigned char NotByte = 0xAC;       // ¬: a leaf's fold across its width
constexpr unsigned char CurrencyByte = 0xA4;  // ¤: roll the left side level
// Joints between segments within this angle get smoothed normals.
constexpr float SmoothingAngle = 30.0f;
// A leaf is this many times l units long and d units wide.
constexpr double LeafLength = 2.5;
constexpr double LeafWidth = 5.0;
// A leaf sized from the wood's units is 2 d times as wide as long, within these shares.
constexpr double MinLeafShape = 0.25;
constexpr double MaxLeafShape = 0.6;
// A leaf leaves the turtle at no steeper slope than this (76 degrees)...
constexpr double MaxLeafSlope = 4.0;
// ...and bends by at least this much over its length, so that its patch stays near the
// paraboloid's vertex.
constexpr double MinLeafBend = 0.05;

VECFLOAT ToF(const VECTEUR& v) {
  return VECFLOAT(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

// v turned about the unit axis by `degrees`.
VECTEUR Turned(const VECTEUR& v, const VECTEUR& axis, double degrees) {
  const double a = degrees * DegreesToRadians, c = std::cos(a), s = std::sin(a);
  return v * c + Cross(axis, v) * s + axis * (Dot(axis, v) * (1 - c));
}

struct Turtle {
  VECTEUR position;
  VECTEUR heading{0, 0, 1};
  VECTEUR left{-1, 0, 0};
  VECTEUR up{0, -1, 0};
  std::array<double, 256> quantity{};  // by lowercased name byte
  unsigned part = 0;                   // 0 wood, 1 leaves, 2 fruit
  // Whether "$" or "£" were given since the last branch segment: leaves then take them
  // as their own units.
  bool leafLengthUnit = false;
  bool leafWidthUnit = false;

  Turtle() {
    quantity['l'] = 1;            // segment and leaf length
    quantity['d'] = 1;            // segment diameter and leaf width
    quantity['$'] = 1;            // length unit
    quantity[PoundByte] = 1;      // width unit
    quantity['r'] = 90;           // the turn of a turn symbol without a value
    quantity[EAcuteByte] = -0.1;  // a negative share lifts toward the sky
    quantity[EGraveByte] = 0.1;
    quantity[AGraveByte] = 0.4;  // leaf unit, as a share of the length unit
  }

  // Turns the heading toward `target` by the fraction `share` of the angle between them,
  // about the axis square to both, carrying the left and up directions along.
  void TurnToward(const VECTEUR& target, double share) {
    if (share == 0.0)
      return;
    const VECTEUR axis = Cross(heading, target);
    const double sine = Length(axis);
    if (sine < 1e-9)
      return;
    const double angle = std::atan2(sine, Dot(heading, target)) / DegreesToRadians * std::clamp(share, -1.0, 1.0);
    const VECTEUR unit = axis * (1.0 / sine);
    heading = Normalised(Turned(heading, unit, angle));
    left = Normalised(Turned(left, unit, angle));
    up = Cross(heading, left);
  }
};

class Interpreter {
 public:
  Interpreter(const std::string& description, const PlantMaterials& materials, TPlant& plant)
      : text(description.begin(), description.end()), original(description), materials(materials), plant(plant) {
    text.push_back(0);
    original.push_back(0);
  }

  TurtleCounts Run() {
    std::vector<Turtle> stack;
    Turtle turtle;
    at = 0;
    const size_t end = original.size() - 1;
    while (at < end && counts.cylinders + counts.leaves < MaxPlantElements) {
      const unsigned char symbol = static_cast<unsigned char>(original[at]);
      const bool arguments = original[at + 1] == '(';
      if (symbol == '[') {
        stack.push_back(turtle);
        at++;
      } else if (symbol == ']') {
        if (!stack.empty()) {
          turtle = stack.back();
          stack.pop_back();
        }
        at++;
      } else if (symbol == '*') {  // *value=name
        at++;
        const double factor = Value();
        if (original[at] == '=' && at + 1 < end) {
          turtle.quantity[static_cast<unsigned char>(original[at + 1])] *= factor;
          at += 2;
        }
      } else if (symbol == SetByte && arguments) {  // §(name,values)
        at += 2;
        const unsigned char name = static_cast<unsigned char>(original[at]);
        double values[3] = {0, 0, 0};
        int count = 0;
        if (original[at + 1] == ',') {
          at += 2;
          count = Values(values, 3);
        } else {
          SkipList();
        }
        if (name == 'p' && count >= 2)  // a place in the plant
          turtle.position = VECTEUR(values[0], values[1], count > 2 ? values[2] : 0.0);
        else if (count >= 1)
          turtle.quantity[name] = values[0];
      } else if (arguments) {
        at += 2;
        double value = 0;
        const int count = Values(&value, 1);
        Apply(turtle, symbol, count ? value : 0.0, true);
      } else {
        Apply(turtle, symbol, turtle.quantity['r'], false);
        at++;
      }
    }
    if (counts.cylinders > 0 || counts.leaves > 0) {
      plant.Smooth(SmoothingAngle);
      plant.BuildBox();
    }
    return counts;
  }

 private:
  // One value at `at`; leaves `at` on the byte after it (its separator, now a zero byte).
  double Value() {
    char* cursor = text.data() + at;
    const double value = ReadValue(cursor);
    at = static_cast<size_t>(cursor - text.data());
    return std::isfinite(value) ? value : 0.0;
  }

  // Up to `room` values separated by "," and closed by ")"; returns how many were read.
  // A list whose ")" is missing ends at the first byte that is neither.
  int Values(double* out, int room) {
    int count = 0;
    while (at < original.size() - 1) {
      const size_t before = at;
      const double value = Value();
      if (count < room)
        out[count] = value;
      count++;
      const char separator = original[at];
      if (at == before && separator != ',' && separator != ')')
        break;  // nothing readable
      if (separator == ',') {
        at++;
        continue;
      }
      if (separator == ')')
        at++;
      break;
    }
    return std::min(count, room);
  }

  void SkipList() {
    while (at < original.size() - 1 && original[at] != ')')
      at++;
    if (at < original.size() - 1)
      at++;
  }

  unsigned Material(unsigned part) const {
    return part == 0 ? materials.wood : part == 1 ? materials.leaves : materials.fruit;
  }

  void Apply(Turtle& t, unsigned char symbol, double value, bool given) {
    switch (symbol) {
      case '+':
        Yaw(t, value);
        break;
      case '-':
        Yaw(t, -value);
        break;
      case '&':
        Pitch(t, value);
        break;
      case '^':
        Pitch(t, -value);
        break;
      case '/':
        Roll(t, value);
        break;
      case '>':
        Compass(t, value);
        break;
      case '<':
        Compass(t, -value);
        break;
      case 'm':
        if (given)
          t.position += t.heading * (value * t.quantity['l'] * t.quantity['$']);
        break;
      case '$':
        if (given) {
          t.quantity['$'] = value;
          t.leafLengthUnit = true;
        }
        break;
      case PoundByte:
        if (given) {
          t.quantity[PoundByte] = value;
          t.leafWidthUnit = true;
        }
        break;
      case '#':
        if (given)
          t.part = static_cast<unsigned>(std::clamp(value, 0.0, 2.0));
        break;
      case 'f':
      case 'c':
        Segment(t);
        break;
      case 'p':
        Leaf(t);
        break;
      case EGraveByte:
        t.TurnToward(VECTEUR(0, 0, 1), t.quantity[EGraveByte]);
        break;
      case EAcuteByte: {
        const double share = t.quantity[EAcuteByte];
        const VECTEUR level(t.heading.x, t.heading.y, 0.0);
        if (share < 0.0)
          t.TurnToward(VECTEUR(0, 0, 1), -share);
        else if (Length(level) > 1e-9)
          t.TurnToward(Normalised(level), share);
        break;
      }
      case CurrencyByte: {
        // Roll about the heading until the left side is level.
        const VECTEUR level = Cross(VECTEUR(0, 0, 1), t.heading);
        if (Length(level) > 1e-9) {
          t.left = Normalised(level);
          t.up = Cross(t.heading, t.left);
        }
        break;
      }
      default:
        break;  // other bytes carry no drawing
    }
  }

  static void Yaw(Turtle& t, double degrees) {
    t.heading = Normalised(Turned(t.heading, t.up, degrees));
    t.left = Normalised(Turned(t.left, t.up, degrees));
  }
  static void Pitch(Turtle& t, double degrees) {
    t.heading = Normalised(Turned(t.heading, t.left, degrees));
    t.up = Normalised(Turned(t.up, t.left, degrees));
  }
  // A turn about the world's vertical: forks spread level, whorls go round the stem.
  static void Compass(Turtle& t, double degrees) {
    const VECTEUR vertical(0, 0, 1);
    t.heading = Normalised(Turned(t.heading, vertical, degrees));
    t.left = Normalised(Turned(t.left, vertical, degrees));
    t.up = Normalised(Turned(t.up, vertical, degrees));
  }
  static void Roll(Turtle& t, double degrees) {
    t.left = Normalised(Turned(t.left, t.heading, degrees));
    t.up = Normalised(Turned(t.up, t.heading, degrees));
  }

  void Segment(Turtle& t) {
    const double length = t.quantity['l'] * t.quantity['$'];
    const double diameter = t.quantity['d'] * t.quantity[PoundByte];
    t.leafLengthUnit = t.leafWidthUnit = false;
    if (!(length > 0.0) || !(diameter > 0.0) || !std::isfinite(length) || !std::isfinite(diameter)) {
      if (std::isfinite(length))
        t.position += t.heading * length;
      return;
    }
    Cylinder c{};
    c.material = static_cast<uint16_t>(Material(t.part));
    c.start = ToF(t.position);
    c.axis = ToF(t.heading);
    c.radiusSquared = static_cast<float>(diameter * diameter * 0.25);
    c.length = static_cast<float>(length);
    plant.AddCylinder(c);
    counts.cylinders++;
    t.position += t.heading * length;
  }

  // A leaf from the turtle's position along its heading: a patch of a vertical-axis
  // paraboloid, cut where the surface leaves the turtle at the heading's slope and bent
  // along and across (docs/plants.md).
  void Leaf(Turtle& t) {
    double length, width;
    if (t.leafLengthUnit) {  // the string sized this leaf itself
      length = LeafLength * t.quantity['l'] * t.quantity['$'];
      width = LeafWidth * t.quantity['d'] * t.quantity[PoundByte];
    } else {  // sized from the wood's length unit; d (a twig's, often) only shapes it
      const double unit = t.quantity['$'] * (t.leafWidthUnit ? t.quantity[PoundByte] : t.quantity[AGraveByte]);
      length = LeafLength * t.quantity['l'] * unit;
      width = length * std::clamp(2.0 * t.quantity['d'], MinLeafShape, MaxLeafShape);
    }
    if (!(length > 0.0) || !(width > 0.0) || !std::isfinite(length) || !std::isfinite(width))
      return;
    VECTEUR along(t.heading.x, t.heading.y, 0.0);
    if (Length(along) < 1e-3)  // straight up or down: lay it toward the turtle's up side
      along = VECTEUR(t.up.x, t.up.y, 0.0);
    if (Length(along) < 1e-3)
      along = VECTEUR(1, 0, 0);
    Normalise(along);
    // The slope it leaves at, kept below 76 degrees so that the patch has some extent
    // over the ground.
    const double slope = std::clamp(t.heading.z / std::max(Length(VECTEUR(t.heading.x, t.heading.y, 0.0)), 1e-9),
                                    -MaxLeafSlope, MaxLeafSlope);
    const double reach = length / std::sqrt(1.0 + slope * slope);  // its extent over the ground
    // The slope changes by `bend` over the leaf: z = cx x^2 has slope 2 cx x, so the leaf
    // runs over [x0, x0 + reach] with 2 cx x0 = slope.
    double bend = t.quantity['w'] + 0.1 * t.quantity[BarByte];
    if (std::fabs(bend) < MinLeafBend)
      bend = slope >= 0 ? -MinLeafBend : MinLeafBend;
    const double cx = bend / (2.0 * reach);
    const double x0 = slope / (2.0 * cx);
    const double fold = t.quantity['f'] + 0.1 * t.quantity[NotByte];
    Paraboloid p{};
    p.material = static_cast<uint16_t>(Material(std::max(t.part, 1u)));
    p.cosAngle = static_cast<float>(along.x);
    p.sinAngle = static_cast<float>(along.y);
    p.curvatureX = static_cast<float>(cx);
    p.curvatureY = static_cast<float>(fold / width);
    p.xMin = static_cast<float>(x0);
    p.xMax = static_cast<float>(x0 + reach);
    p.yMin = static_cast<float>(-width * 0.5);
    p.yMax = static_cast<float>(width * 0.5);
    // The vertex sits so that the surface passes through the turtle at x0.
    const VECTEUR origin = t.position - along * x0 - VECTEUR(0, 0, cx * x0 * x0);
    p.origin = ToF(origin);
    plant.AddParaboloid(p);
    counts.leaves++;
  }

  std::vector<char> text;  // the copy ReadValue writes into
  std::string original;    // the bytes as they were, to see which separator a value ended at
  const PlantMaterials& materials;
  TPlant& plant;
  size_t at = 0;
  TurtleCounts counts;
};

}  // namespace

TurtleCounts BuildPlant(const std::string& description, const PlantMaterials& materials, TPlant& plant) {
  return Interpreter(description, materials, plant).Run();
}
