// An outside program that knows the libraries only through their installed packages: it
// builds every analytic solid and both planes, transforms them and checks the hits,
// interval lists and inside answers, and grows a plant and reads its first value.
#include <biosphere/biosphere.h>
#include <engine/engine.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

static int failures = 0;

static void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    failures++;
  }
}

static bool Near(double a, double b) { return std::fabs(a - b) < 1e-4; }

// Distance to the nearest hit of a ray from `from` along `dir`, or -1.
static double Hit(BasicObject& object, VECTEUR from, VECTEUR dir, TDrawInfo& di) {
  Ray ray;
  ray.origin = from;
  ray.direction = dir;
  double t = NoLimit;
  VECTEUR point, normal;
  return object.FindNearestIntersection(&ray, &di, t, point, normal) ? t : -1.0;
}

int main() {
  TDrawInfo di;
  di.Rendering = 1;
  const VECTEUR up(0, 0, 1);

  Sph sphere(0);
  sphere.MoveTo(10, 0, 0, &di);
  sphere.Scale(2, 2, 2, &di, false);
  Check(Near(Hit(sphere, VECTEUR(10, 0, -10), up, di), 8.0), "scaled, moved sphere hit at 8");
  Check(sphere.IsInside(VECTEUR(10, 0, 1.5), &di), "inside the scaled sphere");
  Check(!sphere.IsInside(VECTEUR(10, 0, 2.5), &di), "outside the scaled sphere");

  Cyl cylinder(0);
  cylinder.Rotate(90, 0, 0, &di, false);  // its axis now lies along -y
  Check(Near(Hit(cylinder, VECTEUR(0, -5, 0), VECTEUR(0, 1, 0), di), 4.0), "rotated cylinder cap hit at 4");

  TCube cube(0);
  cube.Slant(0, 0, 20, &di);
  Ray ray;
  ray.origin = VECTEUR(0, 0, -5);
  ray.direction = up;
  TIntervalList* intervals = cube.FindAllIntersections(&ray, &di);
  Check(intervals->Count() == 1 && Near((*intervals)[0].tIn, 4.0) && (*intervals)[0].tOut > (*intervals)[0].tIn,
        "slanted cube interval");
  delete intervals;

  TCone cone(0);
  cone.MoveOf(0, 0, 5, &di);
  Check(Near(Hit(cone, VECTEUR(0, 0, 0), up, di), 4.0), "cone base hit at 4");
  Check(cone.IsInside(VECTEUR(0, 0, 5), &di), "inside the cone");

  TPyramide pyramid(0);
  Check(Near(Hit(pyramid, VECTEUR(0.5, 0, 5), VECTEUR(0, 0, -1), di), 5.0), "pyramid face hit at 5");

  TPlane plane(0);
  Check(Near(Hit(plane, VECTEUR(3, 3, 2), VECTEUR(0, 0, -1), di), 2.0), "plane hit at 2");
  Check(!plane.IsInside(VECTEUR(0, 0, -1), &di), "a finite plane has no inside");

  InfinitePlane ground(0);
  Check(Near(Hit(ground, VECTEUR(1000, 1000, 7), VECTEUR(0, 0, -1), di), 7.0), "infinite plane hit at 7");
  Check(ground.IsInside(VECTEUR(0, 0, -1), &di) && !ground.IsInside(VECTEUR(0, 0, 1), &di), "half-space inside");

  BasicObject* copy = nullptr;
  CopyObject(&copy, &sphere);
  Check(copy && std::string_view(copy->name) == "Sphere" && Near(Hit(*copy, VECTEUR(10, 0, -10), up, di), 8.0),
        "copied sphere");
  delete copy;

  // A plant of species 4 begins with its trunk's "$(diameter)".
  std::vector<char> plant(PlantStringMaximum);
  std::srand(5);
  GrowPlant(static_cast<EPlantModel>(4), plant.data());
  Check(std::strncmp(plant.data(), "$(", 2) == 0, "a plant's string begins with its trunk");
  char* cursor = plant.data() + 2;
  const double diameter = ReadValue(cursor);
  Check(diameter >= 8.4 && diameter <= 10.08 && *cursor == 0, "the trunk's diameter reads as a number");
  plant[2 + std::strlen(plant.data() + 2)] = ')';  // ReadValue cut the string at its separator
  std::srand(5);
  Check(GrowPlant(static_cast<EPlantModel>(4)) == plant.data(), "the same seed gives the same plant");

  if (failures == 0)
    std::printf("outside program: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
