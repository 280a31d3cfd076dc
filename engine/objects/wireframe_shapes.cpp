// The wireframe drawings (slot 10) of the primitives and aggregates, and the generic
// drawing of any object that has no own: its box.
#include "engine/objects/aggregates.h"
#include "engine/objects/primitives.h"
#include "engine/objects/wireframe.h"
#include "engine/scene/context.h"

namespace {

// Entries of the half circle -pi/2 .. pi/2 (the tables' 17 entries) a drawing passes
// through: every detail-th, always ending on entry 16.
int NextHalfEntry(int i, int detail) { return i + detail < 16 ? i + detail : 16; }

int Step(const TDrawInfo* di) { return di->Detail < 1 ? 1 : di->Detail; }

// Boxes stand in for the shape when the view asks for boxes only or the object is flagged
// to be drawn as its box.
bool DrawsBox(const TDrawInfo* di, const BasicObject* object) {
  return di->Detail == 0 || (object->flags & BasicObject::BoxOnlyBit);
}

const VECTEUR UnitLower(-1.0, -1.0, -1.0), UnitUpper(1.0, 1.0, 1.0);

// A circle of the object's own space at altitude z, centred on the axis, of `radius`.
void DrawCircle(TDrawInfo* di, Obj* object, double radius, double z, int detail) {
  for (int j = 0; j < 32; j = NextCircleEntry(j, detail)) {
    const int k = NextCircleEntry(j, detail);
    DrawObjectSegment(di, object, VECTEUR(radius * CircleCos(j), radius * CircleSin(j), z),
                      VECTEUR(radius * CircleCos(k), radius * CircleSin(k), z));
  }
}

// The entries of the full circle where side lines stand: every fourth drawn entry.
bool IsSideLineEntry(int j, int detail) { return j % (4 * detail) == 0; }

// The box of the object's own extent (symbol extent, world coordinates).
void DrawExtentBox(TDrawInfo* di, BasicObject* object) {
  TBoundingBox box;
  object->IncludeObjectInBox(box, true, true);
  if (box.min.x <= box.max.x && box.min.y <= box.max.y && box.min.z <= box.max.z)
    DrawWorldBox(di, box.min, box.max);
}

// A cylinder (top radius 1) or a cone (top radius 0) on the unit circle at z = -1: its
// circles and the side lines from the base to the top.
void DrawRoundSolid(TDrawInfo* di, Obj* object, bool ghost, double topRadius) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(object, ghost));
  if (DrawsBox(di, object)) {
    DrawObjectBox(di, object, UnitLower, UnitUpper);
    return;
  }
  const int s = Step(di);
  DrawCircle(di, object, 1.0, -1.0, s);
  if (topRadius > 0.0)
    DrawCircle(di, object, topRadius, 1.0, s);
  for (int j = 0; j < 32; j = NextCircleEntry(j, s))
    if (IsSideLineEntry(j, s))
      DrawObjectSegment(di, object, VECTEUR(CircleCos(j), CircleSin(j), -1.0),
                        topRadius > 0.0 ? VECTEUR(topRadius * CircleCos(j), topRadius * CircleSin(j), 1.0)
                                        : VECTEUR(0.0, 0.0, 1.0));
}

}  // namespace

void BasicObject::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  DrawExtentBox(di, this);
}

void Sph::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  if (DrawsBox(di, this)) {
    DrawObjectBox(di, this, UnitLower, UnitUpper);
    return;
  }
  const int s = Step(di);
  // Meridians from pole to pole, then the parallels (the equator always among them).
  for (int j = 0; j < 32; j = NextCircleEntry(j, s))
    for (int i = 0; i < 16; i = NextHalfEntry(i, s)) {
      const int n = NextHalfEntry(i, s);
      DrawObjectSegment(di, this, VECTEUR(CosTable[i] * CircleCos(j), CosTable[i] * CircleSin(j), SinTable[i]),
                        VECTEUR(CosTable[n] * CircleCos(j), CosTable[n] * CircleSin(j), SinTable[n]));
    }
  for (int i = 1; i < 16; i++)
    if ((i - 8) % s == 0)
      DrawCircle(di, this, CosTable[i], SinTable[i], s);
}

void Cyl::DrawWireFrame(TDrawInfo* di, bool ghost) { DrawRoundSolid(di, this, ghost, 1.0); }

void TCone::DrawWireFrame(TDrawInfo* di, bool ghost) { DrawRoundSolid(di, this, ghost, 0.0); }

void TCube::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  DrawObjectBox(di, this, UnitLower, UnitUpper);
}

void TPyramide::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  const VECTEUR base[4] = {VECTEUR(-1, -1, -1), VECTEUR(1, -1, -1), VECTEUR(1, 1, -1), VECTEUR(-1, 1, -1)};
  for (int k = 0; k < 4; k++) {
    DrawObjectSegment(di, this, base[k], base[(k + 1) % 4]);
    DrawObjectSegment(di, this, base[k], VECTEUR(0, 0, 1));
  }
}

void TPlane::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  const double h = 22.5;
  const VECTEUR corners[4] = {VECTEUR(-h, -h, 0), VECTEUR(h, -h, 0), VECTEUR(h, h, 0), VECTEUR(-h, h, 0)};
  for (int k = 0; k < 4; k++)
    DrawObjectSegment(di, this, corners[k], corners[(k + 1) % 4]);
}

void InfinitePlane::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  // The symbol lies within the box of IncludeObjectInBox's symbol extent (+-28.28 across,
  // +-8 along the normal): the normal crossing the plane, two crossing lines and a circle.
  DrawObjectSegment(di, this, VECTEUR(0, 0, -7.5), VECTEUR(0, 0, 7.5));
  DrawObjectSegment(di, this, VECTEUR(-20, 0, 0), VECTEUR(20, 0, 0));
  DrawObjectSegment(di, this, VECTEUR(0, -20, 0), VECTEUR(0, 20, 0));
  DrawCircle(di, this, 20.0, 0.0, 1);
}

void TAggregate::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  const bool full = children && !children->IsEmpty() && !DrawsBox(di, this);
  {
    PenScope pen(di, full ? GroupBoxPen(this, ghost) : ObjectPen(this, ghost));
    DrawExtentBox(di, this);
  }
  if (full)
    for (BasicObject* child : *children)
      child->DrawWireFrame(di, ghost);
}
