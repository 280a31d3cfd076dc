#include "engine/mesh/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "engine/objects/aggregates.h"
#include "engine/objects/object_tools.h"
#include "engine/render/preparation.h"
#include "engine/render/ray_processing.h"
#include "tests/engine/render/render_scene.h"

namespace {

VECFLOAT F(double x, double y, double z) {
  return VECFLOAT(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// The 12 triangles of the cube [-1, 1]³, wound outwards; `skip` leaves one out.
void AddCube(TMesh& mesh, int skip = -1) {
  const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  auto corner = [](int k) { return F(k & 1 ? 1 : -1, k & 2 ? 1 : -1, k & 4 ? 1 : -1); };
  int n = 0;
  for (const auto& f : faces) {
    if (n++ != skip)
      mesh.AddFace3(corner(f[0]), corner(f[1]), corner(f[2]), 0);
    if (n++ != skip)
      mesh.AddFace3(corner(f[0]), corner(f[2]), corner(f[3]), 0);
  }
}

// A sphere of `radius` about the origin: `rings` bands of `segments` quads split in two.
void AddSphere(TMesh& mesh, double radius, int rings, int segments) {
  auto at = [&](int ring, int segment) {
    const double theta = std::numbers::pi * ring / rings, phi = 2.0 * std::numbers::pi * segment / segments;
    return F(radius * std::sin(theta) * std::cos(phi), radius * std::sin(theta) * std::sin(phi),
             radius * std::cos(theta));
  };
  for (int r = 0; r < rings; r++)
    for (int s = 0; s < segments; s++) {
      if (r > 0)
        mesh.AddFace3(at(r, s), at(r + 1, s), at(r, s + 1), 0);
      if (r < rings - 1)
        mesh.AddFace3(at(r, s + 1), at(r + 1, s), at(r + 1, s + 1), 0);
    }
}

void Prepare(TMesh& mesh) { PrepareMeshesInObject(&mesh); }

// The world-space nearest hit of a mesh along a ray: distance, or -1 for none.
double Nearest(TMesh& mesh, const VECTEUR& origin, const VECTEUR& direction, VECTEUR* normal = nullptr) {
  Ray ray;
  ray.origin = origin;
  ray.direction = direction;
  double t = NoLimit;
  VECTEUR point, n;
  if (!mesh.FindNearestIntersection(&ray, nullptr, t, point, n))
    return -1.0;
  if (normal)
    *normal = n;
  return t;
}

// Double-precision ray-triangle test: distance and the smallest barycentric weight.
bool BruteTriangle(const VECTEUR& o, const VECTEUR& d, const VECTEUR& a, const VECTEUR& b, const VECTEUR& c, double& t,
                   double& margin) {
  const VECTEUR e1 = b - a, e2 = c - a, p = Cross(d, e2);
  const double det = Dot(e1, p);
  if (std::fabs(det) < 1e-12)
    return false;
  const VECTEUR s = o - a;
  const double u = Dot(s, p) / det;
  const VECTEUR q = Cross(s, e1);
  const double v = Dot(d, q) / det;
  t = Dot(e2, q) / det;
  margin = std::min({u, v, 1.0 - u - v});
  return margin >= -1e-9 && t > 1e-5;
}

}  // namespace

TEST(MeshBuilding, WeldsPointsWithinTheToleranceAndRefusesThe65537th) {
  TMesh mesh(0);
  struct Case {
    VECFLOAT p;
    int index;
  } cases[] = {
      {F(1, 2, 3), 0},          {F(1.000009, 2 - 0.000009, 3), 0},  // within 1e-5 on every axis: the first point
      {F(1.000011, 2, 3), 1},                                       // beyond it on one axis: a new point
      {F(1.000006, 2, 3), 0},                                       // close to both: the first one wins
      {F(-0.0000001, 0, 0), 2}, {F(0.0000001, 0, 0), 2},            // across a welding cell's side
  };
  for (const Case& c : cases)
    EXPECT_EQ(AddPoint(&mesh, c.p), c.index) << c.p.x;
  EXPECT_EQ(mesh.pointCount, 3u);
  EXPECT_EQ(mesh.pointBox.max.x, static_cast<double>(1.000011f));

  TMesh full(0);
  for (uint32_t k = 0; k < MaxMeshPoints; k++)
    ASSERT_EQ(AddPoint(&full, F(k, 0, 0)), static_cast<int>(k));
  EXPECT_EQ(AddPoint(&full, F(-1, 0, 0)), -1);
  EXPECT_EQ(AddPoint(&full, F(77, 0, 0)), 77);  // existing points are still found
  EXPECT_EQ(full.pointCount, MaxMeshPoints);
}

TEST(MeshBuilding, HashedWeldingAgreesWithALinearSearch) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> lattice(0, 40);
  std::uniform_real_distribution<float> jitter(-1.2e-5f, 1.2e-5f);
  TMesh mesh(0);
  std::vector<VECFLOAT> added;
  for (int n = 0; n < 20000; n++) {
    const VECFLOAT p(lattice(random) * 1e-5f + jitter(random), lattice(random) * 3e-6f, 1.0f + jitter(random));
    int expected = -1;
    for (size_t k = 0; k < added.size() && expected < 0; k++)
      if (std::fabs(added[k].x - p.x) < 1e-5f && std::fabs(added[k].y - p.y) < 1e-5f &&
          std::fabs(added[k].z - p.z) < 1e-5f)
        expected = static_cast<int>(k);
    if (expected < 0) {
      expected = static_cast<int>(added.size());
      added.push_back(p);
    }
    ASSERT_EQ(AddPoint(&mesh, p), expected) << n;
  }
}

TEST(MeshBuilding, FacesRecordTheirEdgesOnceAndDegenerateQuadsBecomeTriangles) {
  const VECFLOAT a = F(0, 0, 0), b = F(1, 0, 0), c = F(1, 1, 0), d = F(0, 1, 0);
  struct Case {
    const char* what;
    VECFLOAT p[4];
    uint32_t triangles, quads, edges;
    int corners[3];  // of the triangle made
  } cases[] = {
      {"four distinct points", {a, b, c, d}, 0, 1, 4, {0, 0, 0}},
      {"i2 = i3", {a, b, c, c}, 1, 0, 3, {0, 1, 2}},
      {"i1 = i2", {a, b, b, d}, 1, 0, 3, {0, 1, 2}},
      {"i1 = i3", {a, b, c, b}, 1, 0, 3, {0, 2, 1}},
      {"i0 = i2", {a, b, a, d}, 1, 0, 3, {1, 0, 2}},
  };
  for (const Case& k : cases) {
    TMesh mesh(3);
    mesh.AddFace4(k.p[0], k.p[1], k.p[2], k.p[3], 0);
    EXPECT_EQ(mesh.triangleCount, k.triangles) << k.what;
    EXPECT_EQ(mesh.quadCount, k.quads) << k.what;
    EXPECT_EQ(mesh.edgeCount, k.edges) << k.what;
    if (k.triangles) {
      const Face3 f = mesh.triangles[0];
      EXPECT_EQ(+f.a, k.corners[0]) << k.what;
      EXPECT_EQ(+f.b, k.corners[1]) << k.what;
      EXPECT_EQ(+f.c, k.corners[2]) << k.what;
      EXPECT_EQ(+f.material, 3) << k.what;  // the object's own
    }
    EXPECT_EQ(mesh.GetBlockSize(),
              2 * 12 * mesh.pointCount + 4 * mesh.edgeCount + 29 * mesh.triangleCount + 31 * mesh.quadCount);
  }
  // Two triangles on a shared edge: five edges; a face material above 0 is the face's.
  TMesh pair(2);
  pair.AddFace3(a, b, c, 0);
  pair.AddFace3(a, c, d, 6);
  EXPECT_EQ(pair.edgeCount, 5u);
  EXPECT_EQ(+pair.triangles[0].material, 2);
  EXPECT_EQ(+pair.triangles[1].material, 6);
  EXPECT_EQ(pair.GetTexture(), static_cast<unsigned>(-1));
  pair.SetTexture(4);
  EXPECT_EQ(pair.GetTexture(), 4u);
  // Indices that name no point add nothing.
  pair.AddFace3(0, 1, 9, 0);
  pair.AddFace3(-1, 1, 2, 0);
  EXPECT_EQ(pair.triangleCount, 2u);
}

TEST(MeshBuilding, AClosedCubeIsValidAndOneWithoutATriangleIsNot) {
  TMesh closed(0), open(0);
  AddCube(closed);
  AddCube(open, 5);
  EXPECT_EQ(closed.pointCount, 8u);
  EXPECT_EQ(closed.edgeCount, 18u);
  EXPECT_TRUE(closed.IsValidTexture());
  EXPECT_FALSE(open.IsValidTexture());
}

TEST(MeshPreparation, GridSizeFollowsTheTriangleCountWithAtLeastOneCell) {
  const struct {
    int triangles;
    uint32_t grid;
  } cases[] = {{1, 1}, {4, 1}, {5, 1}, {40, 1}, {41, 2}, {5 * 27, 2}, {5 * 28, 3}};
  for (const auto& c : cases) {
    TMesh mesh(0);
    for (int k = 0; k < c.triangles; k++)
      mesh.AddFace3(F(k, 0, 0), F(k, 1, 0), F(k, 0, 1), 0);
    Prepare(mesh);
    EXPECT_EQ(mesh.gridSize, c.grid) << c.triangles;
  }
}

TEST(MeshPreparation, FacesAreOrientedAlongTheirProjectionAxisAndRemembersTheirFront) {
  TMesh mesh(0);
  mesh.AddFace3(F(0, 0, 0), F(1, 0, 0), F(0, 1, 0), 0);  // +z
  mesh.AddFace3(F(0, 0, 5), F(0, 1, 5), F(1, 0, 5), 0);  // -z: turned over
  mesh.AddFace3(F(0, 0, 0), F(0, 0, 1), F(0, 1, 0), 0);  // -x: turned over
  Prepare(mesh);
  const int axes[] = {2, 2, 0};
  const uint32_t reversed[] = {0, FaceReversed, FaceReversed};
  for (int k = 0; k < 3; k++) {
    const Face3 f = mesh.triangles[k];
    EXPECT_EQ(+f.projectionAxis, axes[k]);
    EXPECT_EQ(f.flags & FaceReversed, reversed[k]);
    const float along = axes[k] == 0 ? f.faceNormal.x : f.faceNormal.z;
    EXPECT_FLOAT_EQ(along, 1.0f);
  }
  // Preparing again turns nothing further.
  Prepare(mesh);
  EXPECT_EQ(mesh.triangles[1].flags & FaceReversed, FaceReversed);
}

TEST(MeshPreparation, CreasesKeepFlatNormalsAndGentleFoldsAreSmoothed) {
  // Two triangles sharing the edge from (0,0,0) to (0,1,0), the second folded up by
  // `angle` degrees; the shading normals of both just beside the shared edge.
  const struct {
    double angle;
    double agreement;  // least and most cosine between the two normals
    double most;
  } cases[] = {{90.0, -0.01, 0.01}, {30.0, 0.9999, 1.0 + 1e-6}};
  for (const auto& c : cases) {
    TMesh mesh(0);
    const double r = c.angle * std::numbers::pi / 180.0;
    const VECTEUR fold(std::cos(r), 0, std::sin(r)), foldNormal(-std::sin(r), 0, std::cos(r));
    mesh.AddFace3(F(0, 0, 0), F(0, 1, 0), F(-1, 0, 0), 0);
    mesh.AddFace3(F(0, 0, 0), F(fold.x, fold.y, fold.z), F(0, 1, 0), 0);
    Prepare(mesh);
    VECTEUR flatSide, foldedSide;
    ASSERT_GT(Nearest(mesh, VECTEUR(-1e-4, 0.5, 3), VECTEUR(0, 0, -1), &flatSide), 0.0);
    const VECTEUR onFold = fold * 1e-4 + VECTEUR(0, 0.5, 0);
    ASSERT_GT(Nearest(mesh, onFold + foldNormal * 3.0, -foldNormal, &foldedSide), 0.0);
    // Both normals face their rays, which come from the same side of the fold.
    const double cosine = Dot(flatSide, foldedSide);
    EXPECT_GE(cosine, c.agreement) << c.angle;
    EXPECT_LE(cosine, c.most) << c.angle;
  }
}

TEST(MeshIntersection, TheGridWalkFindsTheNearestTriangleOfBruteForce) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  TMesh mesh(0);
  AddSphere(mesh, 3.0, 12, 24);
  for (int k = 0; k < 600; k++) {
    const VECTEUR c(unit(random) * 4, unit(random) * 4, unit(random) * 4);
    mesh.AddFace3(F(c.x, c.y, c.z), F(c.x + unit(random), c.y + unit(random), c.z),
                  F(c.x, c.y + unit(random) * 0.5, c.z + unit(random)), 0);
  }
  mesh.Rotate(20, 30, 40, nullptr, false);
  mesh.MoveTo(5, -2, 1, nullptr);
  Prepare(mesh);
  ASSERT_GT(mesh.gridSize, 3u);
  int hits = 0, checked = 0;
  for (int n = 0; n < 4000; n++) {
    const VECTEUR origin = VECTEUR(5, -2, 1) + VECTEUR(unit(random), unit(random), unit(random)) * 9.0;
    const VECTEUR target = VECTEUR(5, -2, 1) + VECTEUR(unit(random), unit(random), unit(random)) * 3.0;
    const VECTEUR direction = (target - origin) * (0.5 + unit(random) * 0.25);
    // Brute force in the object's space over every triangle.
    Ray local, world;
    world.origin = origin;
    world.direction = direction;
    mesh.AppliquerTransformationInverse(&local, &world);
    double best = 1e300, second = 1e300, bestMargin = 0.0, nearEdge = 1e300;
    for (uint32_t k = 0; k < mesh.triangleCount; k++) {
      const Face3 f = mesh.triangles[k];
      double t = 0.0, margin = -1.0;
      if (!BruteTriangle(local.origin, local.direction, ToVecteur(mesh.points[f.a]), ToVecteur(mesh.points[f.b]),
                         ToVecteur(mesh.points[f.c]), t, margin)) {
        if (margin > -1e-4 && t > 0.0)
          nearEdge = std::min(nearEdge, t);
        continue;
      }
      if (margin < 1e-4)
        nearEdge = std::min(nearEdge, t);
      if (t < best) {
        second = best;
        best = t;
        bestMargin = margin;
      } else {
        second = std::min(second, t);
      }
    }
    const double found = Nearest(mesh, origin, direction);
    // Where a near-edge crossing or a near tie makes the answer depend on rounding, skip.
    if (nearEdge <= best + 1e-3 || second - best < 1e-3 || bestMargin < 1e-4)
      continue;
    checked++;
    if (best == 1e300) {
      EXPECT_EQ(found, -1.0) << n;
    } else {
      hits++;
      EXPECT_NEAR(found, best, 1e-4 * (1.0 + best)) << n;
    }
  }
  EXPECT_GT(checked, 3000);
  EXPECT_GT(hits, 1000);
}

TEST(MeshIntersection, EdgesOneSidedFacesAndGrazingRays) {
  TMesh pair(0);
  pair.AddFace3(F(0, 0, 0), F(1, 0, 0), F(1, 1, 0), 0);
  pair.AddFace3(F(0, 0, 0), F(1, 1, 0), F(0, 1, 0), 0);  // front +z, shares the diagonal
  Prepare(pair);
  struct Case {
    const char* what;
    bool twoSided;
    VECTEUR origin, direction;
    double t;  // -1: no hit
  } cases[] = {
      {"through the shared edge", true, VECTEUR(0.5, 0.5, 2), VECTEUR(0, 0, -1), 2.0},
      {"through a corner", true, VECTEUR(1, 1, 2), VECTEUR(0, 0, -1), 2.0},
      {"onto the front, one-sided", false, VECTEUR(0.3, 0.6, 2), VECTEUR(0, 0, -1), 2.0},
      {"onto the back, two-sided", true, VECTEUR(0.3, 0.6, -2), VECTEUR(0, 0, 1), 2.0},
      {"onto the back, one-sided", false, VECTEUR(0.3, 0.6, -2), VECTEUR(0, 0, 1), -1.0},
      {"parallel within 1e-5", true, VECTEUR(-1, 0.5, 1e-7), VECTEUR(1, 0, 5e-6), -1.0},
      {"beside it", true, VECTEUR(1.2, 0.5, 2), VECTEUR(0, 0, -1), -1.0},
  };
  for (const Case& c : cases) {
    pair.twoSided = c.twoSided ? 1 : 0;
    EXPECT_NEAR(Nearest(pair, c.origin, c.direction), c.t, 1e-6) << c.what;
  }
  // The same one-sided face given the other way round shows its front downwards: its
  // stored normal was turned by the orientation, its front was not.
  TMesh under(0);
  under.AddFace3(F(0, 0, 0), F(1, 1, 0), F(1, 0, 0), 0);
  under.twoSided = 0;
  Prepare(under);
  EXPECT_EQ(Nearest(under, VECTEUR(0.7, 0.2, 2), VECTEUR(0, 0, -1)), -1.0);
  EXPECT_NEAR(Nearest(under, VECTEUR(0.7, 0.2, -2), VECTEUR(0, 0, 1)), 2.0, 1e-6);
}

TEST(MeshIntersection, ACubeKeepsSharpEdgesAndASphereShadesSmooth) {
  TMesh cube(0);
  AddCube(cube);
  Prepare(cube);
  // Close to an edge of the top face the normal is still the top face's.
  VECTEUR normal;
  ASSERT_GT(Nearest(cube, VECTEUR(0.999, 0.3, 5), VECTEUR(0, 0, -1), &normal), 0.0);
  EXPECT_NEAR(normal.z, 1.0, 1e-6);
  ASSERT_GT(Nearest(cube, VECTEUR(-0.999, -0.999, 5), VECTEUR(0, 0, -1), &normal), 0.0);
  EXPECT_NEAR(normal.z, 1.0, 1e-6);

  // A sphere with vertex normals follows the true surface; without, its facets show.
  TMesh smooth(0), flat(0);
  AddSphere(smooth, 2.0, 16, 32);
  AddSphere(flat, 2.0, 16, 32);
  flat.hasVertexNormals = 0;
  Prepare(smooth);
  Prepare(flat);
  std::mt19937 random(3);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  double worstSmooth = 1.0, worstFlat = 1.0;
  for (int n = 0; n < 500; n++) {
    const VECTEUR direction = Normalised(VECTEUR(unit(random), unit(random), unit(random)));
    const VECTEUR origin = direction * -10.0 + VECTEUR(unit(random), unit(random), unit(random)) * 0.5;
    for (TMesh* mesh : {&smooth, &flat}) {
      Ray ray;
      ray.origin = origin;
      ray.direction = direction;
      double t = NoLimit;
      VECTEUR point, shading;
      ASSERT_TRUE(mesh->FindNearestIntersection(&ray, nullptr, t, point, shading));
      const double agreement = Dot(shading, Normalised(point));
      (mesh == &smooth ? worstSmooth : worstFlat) = std::min(mesh == &smooth ? worstSmooth : worstFlat, agreement);
    }
  }
  EXPECT_GT(worstSmooth, std::cos(1.5 * std::numbers::pi / 180.0));
  EXPECT_LT(worstFlat, std::cos(3.0 * std::numbers::pi / 180.0));
}

TEST(MeshIntersection, IntervalsAndTheInsideTestFollowTheClosedModel) {
  TMesh sphere(0);
  AddSphere(sphere, 2.0, 12, 24);
  sphere.MoveTo(1, 1, 1, nullptr);
  Prepare(sphere);
  std::mt19937 random(5);
  std::uniform_real_distribution<double> unit(-3.0, 3.0);
  int inside = 0;
  for (int n = 0; n < 400; n++) {
    const VECTEUR p(1 + unit(random), 1 + unit(random), 1 + unit(random));
    const double r = Length(p - VECTEUR(1, 1, 1));
    if (std::fabs(r - 2.0) < 0.1)  // the facets lie within 0.07 of the sphere
      continue;
    EXPECT_EQ(sphere.IsInside(p, nullptr), r < 2.0) << p.x << " " << p.y << " " << p.z;
    inside += r < 2.0;
  }
  EXPECT_GT(inside, 20);
  // From outside: one interval; from inside: it opens at the starts-inside distance.
  Ray through;
  through.origin = VECTEUR(1, 1, -9);
  through.direction = VECTEUR(0, 0, 2);
  std::unique_ptr<TIntervalList> list(sphere.FindAllIntersections(&through, nullptr));
  ASSERT_EQ(list->Count(), 1);
  const TInterval i = (*list)[list->LowerBound()];
  EXPECT_NEAR(i.tIn, 4.0, 1e-3);
  EXPECT_NEAR(i.tOut, 6.0, 1e-3);
  EXPECT_GT(i.normalIn.z * -1.0, 0.99);
  EXPECT_GT(i.normalOut.z, 0.99);
  through.origin = VECTEUR(1, 1, 1);
  list.reset(sphere.FindAllIntersections(&through, nullptr));
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ((*list)[list->LowerBound()].tIn, StartsInside);
  EXPECT_NEAR((*list)[list->LowerBound()].tOut, 1.0, 1e-3);
}

TEST(MeshObject, CopiesAreDeepAndAGroupKeepsItsMeshWhenCopied) {
  ObjectsList parts(1, 0, 1);
  TMesh* mesh = new TMesh(2);
  AddCube(*mesh);
  mesh->MoveTo(3, 0, 0, nullptr);
  parts.Add(mesh);
  Sph* ball = new Sph(0);
  parts.Add(ball);
  Group group(&parts);
  BasicObject* copy = nullptr;
  CopyObject(&copy, &group);
  ASSERT_NE(copy, nullptr);
  std::unique_ptr<BasicObject> owned(copy);
  ObjectsList* children = static_cast<Group*>(copy)->GetPointerToList();
  ASSERT_EQ(children->Count(), 2);
  TMesh* copied = dynamic_cast<TMesh*>((*children)[children->LowerBound()]);
  ASSERT_NE(copied, nullptr);
  ASSERT_NE(copied, mesh);
  EXPECT_EQ(copied->triangleCount, 12u);
  EXPECT_NE(copied->points, mesh->points);
  // Changing the original leaves the copy alone; both render alike.
  Prepare(*mesh);
  Prepare(*copied);
  mesh->points[0] = F(-5, -5, -5);
  EXPECT_EQ(copied->points[0].x, -1.0f);
  EXPECT_NEAR(Nearest(*copied, VECTEUR(3, 0, 9), VECTEUR(0, 0, -1)), 8.0, 1e-5);
  EXPECT_EQ(copied->GetTexture(), 2u);
}

TEST(MeshObject, TheRendererShadesEachFaceWithItsOwnMaterial) {
  render_test::Scene scene;
  TMesh* mesh = new TMesh(1);
  mesh->AddFace3(F(0, 0, 0), F(1, 0, 0), F(1, 1, 0), 2);
  mesh->AddFace3(F(0, 0, 0), F(1, 1, 0), F(0, 1, 0), 3);
  scene.Add(mesh);
  PrepareMeshesInObject(mesh);
  scene.Prepare();
  const struct {
    VECTEUR origin;
    unsigned material;
  } cases[] = {{VECTEUR(0.8, 0.2, 5), 2}, {VECTEUR(0.2, 0.8, 5), 3}};
  for (const auto& c : cases) {
    Ray ray = render_test::RayAlong(c.origin, VECTEUR(0, 0, -1));
    VECTEUR wp, op, wn, on;
    TObject3D* object = nullptr;
    unsigned material = 0;
    ASSERT_GT(FindNearestHit(&ray, &scene.di, RayMaxDistance, wp, op, wn, on, object, &material), 0.0);
    EXPECT_EQ(object, mesh);
    EXPECT_EQ(material, c.material);
  }
  // The mesh's own field is never written by a query.
  EXPECT_EQ(+mesh->material, 1);
}

TEST(MeshObject, ItsBoxFollowsThePointsBeforeAnyPreparation) {
  // Render preparation bounds a group before it prepares the group's meshes.
  TMesh mesh(0);
  mesh.AddFace3(F(0, 0, 0), F(2, 0, 0), F(0, 3, 1), 0);
  mesh.MoveTo(10, 0, 0, nullptr);
  TBoundingBox box;
  mesh.IncludeObjectInBox(box, false, true);
  EXPECT_NEAR(box.min.x, 10.0, 1e-4);
  EXPECT_NEAR(box.max.y, 3.0, 1e-4);
  // Points added after a preparation widen it again.
  PrepareMeshesInObject(&mesh);
  mesh.AddFace3(F(0, 0, 0), F(0, 0, 5), F(1, 0, 0), 0);
  TBoundingBox grown;
  mesh.IncludeObjectInBox(grown, false, true);
  EXPECT_NEAR(grown.max.z, 5.0, 1e-4);
}
