#include "engine/objects/wireframe.h"

#include <cmath>

#include "engine/geometry/matrix.h"
#include "engine/objects/object.h"
#include "engine/scene/context.h"

namespace {

struct PenSet {
  HPEN solid[WireframePenCount] = {};
  HPEN dotted[WireframePenCount] = {};
  HPEN ghostSolid = nullptr;
  HPEN ghostDotted = nullptr;
};

PenSet pens;

constexpr COLORREF SolidColours[WireframePenCount] = {
    RGB(0, 0, 0),       RGB(255, 127, 0),   RGB(75, 150, 75),   RGB(54, 117, 213), RGB(255, 198, 0),
    RGB(194, 106, 148), RGB(131, 216, 255), RGB(153, 218, 175), RGB(255, 0, 0),
};
constexpr COLORREF DottedColours[WireframePenCount] = {
    RGB(192, 192, 192), RGB(255, 177, 50),  RGB(125, 200, 125), RGB(104, 167, 255), RGB(255, 248, 50),
    RGB(244, 156, 198), RGB(128, 255, 255), RGB(128, 255, 255), RGB(255, 192, 192),
};

bool IsOrthographic(const TDrawInfo* di) {
  return di->ViewType == ViewTop || di->ViewType == ViewFront || di->ViewType == ViewSide;
}

// The point of segment a-b at altitude z (a and b on either side of it).
VECTEUR AtAltitude(const VECTEUR& a, const VECTEUR& b, double z) {
  const double f = (z - a.z) / (b.z - a.z);
  return VECTEUR(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, z);
}

bool WithinScreenLimit(float sx, float sy) {
  return std::fabs(sx) <= WireframeScreenLimit && std::fabs(sy) <= WireframeScreenLimit;
}

}  // namespace

void InitializePens() {
  DestroyPens();
  for (int i = 0; i < WireframePenCount; i++) {
    pens.solid[i] = i == 0 ? static_cast<HPEN>(GetStockObject(BLACK_PEN)) : CreatePen(PS_SOLID, 1, SolidColours[i]);
    pens.dotted[i] = CreatePen(PS_DOT, 1, DottedColours[i]);
  }
  pens.ghostSolid = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  pens.ghostDotted = CreatePen(PS_DOT, 1, RGB(224, 224, 224));
}

void DestroyPens() {
  for (int i = 0; i < WireframePenCount; i++) {
    DeleteObject(pens.solid[i]);  // the stock pen is never deleted
    DeleteObject(pens.dotted[i]);
  }
  DeleteObject(pens.ghostSolid);
  DeleteObject(pens.ghostDotted);
  pens = PenSet();
}

HPEN WireframePen(bool dotted, int index) {
  if (index < 0 || index >= WireframePenCount)
    return nullptr;
  return dotted ? pens.dotted[index] : pens.solid[index];
}

HPEN GhostPen(bool dotted) { return dotted ? pens.ghostDotted : pens.ghostSolid; }

HPEN ObjectPen(const BasicObject* object, bool ghost) {
  if (ghost)
    return GhostPen(false);
  if (object->IsSelected())
    return WireframePen(false, SelectionPen);
  return WireframePen(false, static_cast<int>(object->GetWireFrameColor()));
}

HPEN GroupBoxPen(const BasicObject* object, bool ghost) {
  if (ghost)
    return GhostPen(true);
  if (object->IsSelected())
    return WireframePen(false, SelectionPen);
  return WireframePen(true, static_cast<int>(object->GetWireFrameColor()));
}

PenScope::PenScope(TDrawInfo* di, HPEN pen) {
  if (!di || !di->DeviceContext || !pen)
    return;
  dc = di->DeviceContext;
  previous = static_cast<HPEN>(SelectObject(dc, pen));
}

PenScope::~PenScope() {
  if (dc && previous)
    SelectObject(dc, previous);
}

void DrawSegment(TDrawInfo* di, VECTEUR a, VECTEUR b) {
  if (!di || !di->DeviceContext || !di->Project)
    return;
  // Ground clip: what lies below the ground level is cut away.
  const float ground = di->GroundLevel;
  if (ground > NoGroundLevel) {
    if (a.z < ground) {
      if (b.z <= ground)
        return;
      a = AtAltitude(a, b, ground);
    }
    if (b.z < ground) {
      if (a.z <= ground)
        return;
      b = AtAltitude(b, a, ground);
    }
  }
  // Near the camera the projection blows up: such segments are left out entirely.
  if (!IsOrthographic(di) && (Dot(a - di->CameraPosition, di->CameraDirection) <= WireframeNearDepth ||
                              Dot(b - di->CameraPosition, di->CameraDirection) <= WireframeNearDepth))
    return;
  float ax, ay, bx, by;
  di->Project(di, ax, ay, a);
  if (!WithinScreenLimit(ax, ay))
    return;
  MoveToEx(di->DeviceContext, static_cast<int>(ax), static_cast<int>(ay), nullptr);
  di->Project(di, bx, by, b);
  if (WithinScreenLimit(bx, by))
    LineTo(di->DeviceContext, static_cast<int>(bx), static_cast<int>(by));
}

VECTEUR ObjectToWorld(Obj* object, VECTEUR p) {
  object->AppliquerTransformation(&p);
  return p + object->centre;
}

void DrawObjectSegment(TDrawInfo* di, Obj* object, const VECTEUR& a, const VECTEUR& b) {
  DrawSegment(di, ObjectToWorld(object, a), ObjectToWorld(object, b));
}

void DrawBoxEdges(TDrawInfo* di, const VECTEUR corners[8]) {
  for (int k = 0; k < 8; k++)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(k & bit))
        DrawSegment(di, corners[k], corners[k | bit]);
}

void DrawObjectBox(TDrawInfo* di, Obj* object, const VECTEUR& lower, const VECTEUR& upper) {
  VECTEUR corners[8];
  for (int k = 0; k < 8; k++)
    corners[k] = ObjectToWorld(
        object, VECTEUR((k & 1) ? upper.x : lower.x, (k & 2) ? upper.y : lower.y, (k & 4) ? upper.z : lower.z));
  DrawBoxEdges(di, corners);
}

void DrawWorldBox(TDrawInfo* di, const VECTEUR& lower, const VECTEUR& upper) {
  VECTEUR corners[8];
  for (int k = 0; k < 8; k++)
    corners[k] = VECTEUR((k & 1) ? upper.x : lower.x, (k & 2) ? upper.y : lower.y, (k & 4) ? upper.z : lower.z);
  DrawBoxEdges(di, corners);
}

double CircleCos(int j) {
  j = ((j % 32) + 32) % 32;
  return j <= 16 ? CosTable[j] : -CosTable[j - 16];
}

double CircleSin(int j) {
  j = ((j % 32) + 32) % 32;
  return j <= 16 ? SinTable[j] : -SinTable[j - 16];
}

int NextCircleEntry(int j, int detail) {
  const int step = detail < 1 ? 1 : detail;
  return j + step < 32 ? j + step : 32;
}
