// The object interface: base behaviours, flags, transforms and the free functions.
#include "engine/objects/object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/objects/object_tools.h"
#include "engine/objects/primitives.h"
#include "engine/scene/context.h"
#include "tests/printers.h"

namespace {

// The byte offset of a virtual function in the vtable (Itanium ABI: the pointer to a
// virtual member holds 1 + its offset).
template <class F>
size_t VtableOffset(F f) {
  struct Raw {
    size_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(f) == sizeof(raw));
  std::memcpy(&raw, &f, sizeof(raw));
  return raw.ptr - 1;
}

// Slot n lies at entry n + 1: the destructor takes two entries (complete and deleting).
size_t Slot(size_t offset) { return offset / sizeof(void*) - 1; }

TEST(ObjectInterface, SlotsFollowTheInterfaceOrder) {
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::FindNearestIntersection)), 1u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::FindAllIntersections)), 2u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::IsInside)), 3u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::Rotate)), 4u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::MoveOf)), 5u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::MoveTo)), 6u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::Scale)), 7u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::Slant)), 8u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetCenter)), 9u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::DrawWireFrame)), 10u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::IncludeObjectInBox)), 11u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetTransformParameters)), 12u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetNumberOfChildren)), 13u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::IsValidTexture)), 14u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetNumberOfObjects)), 15u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetNumberOfPolygons)), 16u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::SetTexture)), 17u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::DecrementTextureIfGT)), 18u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetTexture)), 19u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::SetDroppedDown)), 20u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetDroppedDown)), 21u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::Select)), 22u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::SetWireFrameColor)), 23u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::ComputeObjectSize)), 24u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::GetLayer)), 25u);
  EXPECT_EQ(Slot(VtableOffset(&BasicObject::SetLayer)), 26u);
  EXPECT_EQ(Slot(VtableOffset(static_cast<void (Obj::*)(VECTEUR*)>(&Obj::AppliquerTransformationInverse))), 27u);
  EXPECT_EQ(Slot(VtableOffset(static_cast<void (Obj::*)(Ray*, Ray*)>(&Obj::AppliquerTransformationInverse))), 28u);
  EXPECT_EQ(Slot(VtableOffset(&Obj::AppliquerTransformation)), 29u);
}

TEST(ObjectNamesTable, GivesEveryDisplayName) {
  EXPECT_STREQ(ObjectNames(BasicObject::TypeBoundingVolume), "Bounding volume");
  EXPECT_STREQ(ObjectNames(BasicObject::TypeMesh), "3D Mesh");
  EXPECT_STREQ(ObjectNames(BasicObject::TypeVegetation), "Vegetation");
  EXPECT_STREQ(ObjectNames(BasicObject::TypeDirectionalLight), "Directional light");
  EXPECT_STREQ(ObjectNames(BasicObject::TypeCamera), "Camera");
  EXPECT_EQ(ObjectNames(BasicObject::TypeCamera) - ObjectNames(BasicObject::TypeBoundingVolume), 19 * 24);
}

TEST(ObjectBasics, NewSphereHasTheDocumentedState) {
  Sph s(7);
  EXPECT_STREQ(s.name, "Sphere");
  EXPECT_EQ(s.type, BasicObject::TypeSphere);
  EXPECT_EQ(s.size, 10.0f);
  EXPECT_EQ(s.material, 7);
  EXPECT_EQ(s.GetTexture(), 7u);
  EXPECT_EQ(s.centre, VECTEUR(0, 0, 0));
  EXPECT_EQ(s.forward, Matrix());
  EXPECT_EQ(s.inverse, Matrix());
  EXPECT_EQ(s.flags, 0u);
  EXPECT_EQ(s.GetLayer(), 0u);
  EXPECT_EQ(s.parent, nullptr);
  EXPECT_EQ(s.GetNumberOfChildren(), 1);
  int objects = -1, lights = -1;
  s.GetNumberOfObjects(objects, lights);
  EXPECT_EQ(objects, 1);
  EXPECT_EQ(lights, 0);
  EXPECT_TRUE(s.IsValidTexture());
}

TEST(ObjectBasics, FlagsKeepTheirBits) {
  TCube c(0);
  c.SetWireFrameColor(9);
  EXPECT_EQ(c.GetWireFrameColor(), 1u);
  c.SetLayer(10);
  EXPECT_EQ(c.GetLayer(), 2u);
  c.Select(true);
  EXPECT_TRUE(c.IsSelected());
  c.SetDroppedDown(true);
  EXPECT_TRUE(c.GetDroppedDown());
  EXPECT_EQ(c.flags, 1u | (1u << 3) | (1u << 5) | (2u << 7));
  c.Select(false);
  c.SetDroppedDown(false);
  EXPECT_EQ(c.flags, 1u | (2u << 7));
  EXPECT_EQ(c.GetWireFrameColor(), 1u);
  EXPECT_EQ(c.GetLayer(), 2u);
}

TEST(ObjectBasics, ChildrenReportTheirParentsLayer) {
  TCube parent(0), child(0);
  parent.SetLayer(5);
  child.SetLayer(1);
  child.parent = &parent;
  EXPECT_EQ(child.GetLayer(), 5u);
}

TEST(ObjectBasics, MaterialIndexStaysValidAfterRemovals) {
  Sph s(5);
  s.DecrementTextureIfGT(3);
  EXPECT_EQ(s.material, 4);
  s.SetTexture(3);
  s.DecrementTextureIfGT(3);
  EXPECT_EQ(s.material, 3);
  s.SetTexture(2);
  s.DecrementTextureIfGT(3);
  EXPECT_EQ(s.material, 2);
  s.SetTexture(0x12345);
  EXPECT_EQ(s.material, 0x2345);
}

TEST(ObjectTransforms, ScaleAlongObjectAxes) {
  Sph s(0);
  s.Scale(2, 3, 4, nullptr, false);
  EXPECT_NEAR(s.forward.ColumnLength(0), 2.0, 1e-6);
  EXPECT_NEAR(s.forward.ColumnLength(1), 3.0, 1e-6);
  EXPECT_NEAR(s.forward.ColumnLength(2), 4.0, 1e-6);
  EXPECT_NEAR(s.size, std::sqrt(29.0), 1e-5);
  EXPECT_NEAR(s.inverse.m[0][0], 0.5, 1e-7);
  EXPECT_NEAR(s.inverse.m[1][1], 1.0 / 3.0, 1e-7);
  EXPECT_NEAR(s.inverse.m[2][2], 0.25, 1e-7);
}

TEST(ObjectTransforms, ScaleAlongWorldAxesAfterARotation) {
  TCube c(0);
  c.Rotate(0, 0, 90, nullptr, false);  // object x now along world y
  c.Scale(3, 1, 1, nullptr, true);     // stretch along world x: the object's y axis
  EXPECT_NEAR(c.forward.ColumnLength(0), 1.0, 1e-6);
  EXPECT_NEAR(c.forward.ColumnLength(1), 3.0, 1e-6);
}

TEST(ObjectTransforms, RelativeRotationTurnsAboutWorldAxes) {
  TCube c(0);
  c.Rotate(0, 0, 90, nullptr, false);
  EXPECT_NEAR(c.forward.m[1][0], 1.0, 1e-7);
  EXPECT_NEAR(c.forward.angles[2], 90.0, 1e-3);
  // The inverse maps back.
  VECTEUR v(0, 1, 0);
  c.AppliquerTransformationInverse(&v);
  EXPECT_NEAR(v.x, 1.0, 1e-6);
}

TEST(ObjectTransforms, AbsoluteRotationIsIdempotentAndKeepsSize) {
  Cyl c(0);
  c.Scale(2, 1, 3, nullptr, false);
  c.Rotate(10, 20, 30, nullptr, true);
  Matrix first = c.forward;
  c.Rotate(10, 20, 30, nullptr, true);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      EXPECT_NEAR(c.forward.m[i][j], first.m[i][j], 1e-6);
  EXPECT_EQ(+c.forward.angles[0], 10.0f);
  EXPECT_EQ(+c.forward.angles[1], 20.0f);
  EXPECT_EQ(+c.forward.angles[2], 30.0f);
  EXPECT_EQ(+c.forward.slants[0], 0.0f);
  EXPECT_NEAR(c.forward.ColumnLength(0), 2.0, 1e-5);
  EXPECT_NEAR(c.forward.ColumnLength(2), 3.0, 1e-5);
  VECTEUR angles, sizes;
  float p, q, r;
  c.GetTransformParameters(angles, sizes, p, q, r);
  EXPECT_EQ(angles, VECTEUR(10, 20, 30));
  EXPECT_NEAR(sizes.y, 1.0, 1e-5);
}

TEST(ObjectTransforms, SlantKeepsTheSizeAndLeansTheAxes) {
  TCube c(0);
  c.Scale(2, 2, 2, nullptr, false);
  c.Slant(0, 0, 30, nullptr);
  // The first row picks up sin r of the second axis: x' = x + sin(30) y (times the scale).
  EXPECT_NEAR(c.forward.m[0][1], 2 * 0.5, 1e-5);
  EXPECT_NEAR(c.forward.m[1][1], 2 * std::cos(30 * DegreesToRadians), 1e-5);
  EXPECT_GT(+c.forward.slants[2], 0.0f);
  // inverse stays the inverse of forward.
  Matrix product = c.forward * c.inverse;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      EXPECT_NEAR(product.m[i][j], i == j ? 1.0 : 0.0, 1e-5);
}

TEST(ObjectTransforms, ZeroScaleKeepsThePreviousInverse) {
  Sph s(0);
  s.Scale(2, 2, 2, nullptr, false);
  Matrix before = s.inverse;
  s.Scale(0, 1, 1, nullptr, false);
  EXPECT_EQ(s.inverse, before);
}

TEST(ObjectTransforms, TransformsRoundTripPointsThroughTheCentre) {
  TPyramide p(0);
  p.Scale(1.5f, 0.5f, 2, nullptr, false);
  p.Rotate(30, -40, 50, nullptr, false);
  p.MoveTo(3, -2, 7, nullptr);
  VECTEUR local(0.3, -0.7, 0.2);
  VECTEUR world = local;
  p.AppliquerTransformation(&world);
  world += p.centre;
  Ray in, out;
  in.origin = world;
  in.direction = VECTEUR(0, 0, 1);
  p.AppliquerTransformationInverse(&out, &in);
  EXPECT_NEAR(out.origin.x, local.x, 1e-5);
  EXPECT_NEAR(out.origin.y, local.y, 1e-5);
  EXPECT_NEAR(out.origin.z, local.z, 1e-5);
}

TEST(ObjectTransforms, PlanarObjectsKeepUnitAxesButScaledInverse) {
  InfinitePlane plane(0);
  plane.Scale(4, 4, 4, nullptr, false);
  EXPECT_NEAR(plane.forward.ColumnLength(0), 1.0, 1e-6);
  EXPECT_NEAR(plane.inverse.m[0][0], 0.25, 1e-6);
  EXPECT_EQ(plane.size, 10.0f);
  plane.Rotate(90, 0, 0, nullptr, false);
  EXPECT_NEAR(plane.normal.y, -1.0, 1e-6);  // the third axis turned about the first
  plane.Slant(10, 10, 10, nullptr);         // planar objects do not slant
  EXPECT_NEAR(plane.normal.y, -1.0, 1e-6);
  plane.Rotate(0, 0, 0, nullptr, true);
  EXPECT_NEAR(plane.normal.z, 1.0, 1e-6);
  EXPECT_EQ(+plane.forward.slants[0], 0.0f);
}

TEST(ObjectTools, RotateAroundAPivotMovesAndTurns) {
  TCube c(0);
  c.MoveTo(10, 0, 0, nullptr);
  VECTEUR pivot(0, 0, 0);
  RotateObjectAroundPoint(&c, pivot, 0, 0, 90, nullptr);
  EXPECT_NEAR(c.centre.x, 0.0, 1e-4);
  EXPECT_NEAR(c.centre.y, 10.0, 1e-4);
  EXPECT_NEAR(c.forward.m[1][0], 1.0, 1e-6);
}

TEST(ObjectTools, BarycenterAndBoxOfLists) {
  VECTEUR centre(1, 1, 1);
  FindBarycenter(centre, nullptr);
  EXPECT_EQ(centre, VECTEUR(0, 0, 0));
  ObjectsList empty;
  VECTEUR min, max;
  FindBoundingBox(min, max, &empty, false);
  EXPECT_EQ(min, VECTEUR(100000, 100000, 100000));
  EXPECT_EQ(max, VECTEUR(-100000, -100000, -100000));

  Sph a(0), b(0);
  a.MoveTo(2, 0, 0, nullptr);
  b.MoveTo(0, 4, 2, nullptr);
  b.Scale(2, 2, 2, nullptr, false);
  ObjectsList list;
  list.Add(&a);
  list.Add(&b);
  FindBarycenter(centre, &list);
  EXPECT_EQ(centre, VECTEUR(1, 2, 1));
  FindBoundingBox(min, max, &list, false);
  EXPECT_EQ(min, VECTEUR(-2, -1, -1));
  EXPECT_EQ(max, VECTEUR(3, 6, 4));
}

TEST(ObjectTools, CopiesPrimitivesWithTheirStateButNoParent) {
  TCone original(3);
  original.MoveTo(1, 2, 3, nullptr);
  original.Scale(2, 2, 5, nullptr, false);
  original.SetLayer(4);
  original.parent = &original;
  BasicObject* copy = nullptr;
  CopyObject(&copy, &original);
  ASSERT_NE(copy, nullptr);
  auto* cone = dynamic_cast<TCone*>(copy);
  ASSERT_NE(cone, nullptr);
  EXPECT_EQ(cone->material, 3);
  EXPECT_EQ(cone->centre, original.centre);
  EXPECT_EQ(cone->forward, original.forward);
  EXPECT_EQ(cone->inverse, original.inverse);
  EXPECT_EQ(cone->flags, original.flags);
  EXPECT_EQ(cone->size, original.size);
  EXPECT_STREQ(cone->name, "Cone");
  EXPECT_EQ(cone->parent, nullptr);
  delete copy;

  InfinitePlane plane(1);
  plane.Rotate(45, 0, 0, nullptr, false);
  CopyObject(&copy, &plane);
  auto* planeCopy = dynamic_cast<InfinitePlane*>(copy);
  ASSERT_NE(planeCopy, nullptr);
  EXPECT_EQ(planeCopy->normal, plane.normal);
  delete copy;
}

TEST(ObjectTools, CopyOfUnknownTypesProducesNothing) {
  Sph s(0);
  s.type = static_cast<BasicObject::ObjectType>(42);
  BasicObject* out = reinterpret_cast<BasicObject*>(&s);
  CopyObject(&out, &s);
  EXPECT_EQ(out, &s);
  s.type = BasicObject::TypeBoundingVolume;
  CopyObject(&out, &s);
  EXPECT_EQ(out, &s);
}

TEST(ObjectTools, CopyMemoryCopiesBytes) {
  char source[] = "landscape", target[10] = {};
  MyCopyMemory(target, source, 10);
  EXPECT_STREQ(target, "landscape");
}

}  // namespace
