// What every object's wireframe drawing (slot 10) is made of: the pens of the views, the
// pen an object is drawn with, one segment routine that clips at the ground, culls near
// the camera and skips far points, and a few shapes built from it. The views themselves
// (view set-up, which objects to draw) are in engine/preview.
#pragma once

#include "engine/geometry/vectors.h"
#include "engine/platform/device_context.h"

struct TDrawInfo;
class BasicObject;
class Obj;

// Pen index 8 draws selected objects; 0-7 are the objects' wireframe colours.
constexpr int SelectionPen = 8;
constexpr int WireframePenCount = 9;

// Creates the solid and dotted pens of indices 0-8 and the two ghost pens (solid index 0
// is the stock black pen). Before it, and after DestroyPens, every pen below is null and
// drawing keeps whatever pen the canvas has.
void InitializePens();
// Deletes the pens of both sets and the two ghost pens.
void DestroyPens();
// Pen `index` (0-8) of the solid or dotted set; null for another index.
HPEN WireframePen(bool dotted, int index);
HPEN GhostPen(bool dotted);

// The pen an object is drawn with: the solid ghost pen for a ghost, else the solid
// selection pen when it is selected, else the solid pen of its colour index.
HPEN ObjectPen(const BasicObject* object, bool ghost);
// The pen of a group's own box: the dotted ghost pen for a ghost, else the solid
// selection pen when selected, else the dotted pen of its colour index.
HPEN GroupBoxPen(const BasicObject* object, bool ghost);

// Selects a pen into the view's canvas for the life of the scope, then selects back the
// pen that was there before. A null pen or canvas changes nothing.
class PenScope {
 public:
  PenScope(TDrawInfo* di, HPEN pen);
  ~PenScope();
  PenScope(const PenScope&) = delete;
  PenScope& operator=(const PenScope&) = delete;

 private:
  HDC dc = nullptr;
  HPEN previous = nullptr;
};

// Points projecting farther than this many pixels from the view's origin are not drawn.
constexpr float WireframeScreenLimit = 10000.0f;
// In the camera view, segments with an end this close in front of the camera (or
// behind it) are not drawn.
constexpr double WireframeNearDepth = 5.0;
// A ground level at or below this altitude clips nothing.
constexpr float NoGroundLevel = -100000.0f;

// Draws the world segment a-b into the view: cut at the ground level (nothing when both
// ends are at or below it), dropped in the camera view when an end is too near or behind
// the camera, drawn only when both ends project within the screen limit.
void DrawSegment(TDrawInfo* di, VECTEUR a, VECTEUR b);

// A point of an object's own space in the world: its transform (slot 29) plus its centre.
VECTEUR ObjectToWorld(Obj* object, VECTEUR p);
// The segment between two points of an object's own space.
void DrawObjectSegment(TDrawInfo* di, Obj* object, const VECTEUR& a, const VECTEUR& b);
// The 12 edges of the box whose corner k has the upper x when k & 1, upper y when k & 2
// and upper z when k & 4 (world points).
void DrawBoxEdges(TDrawInfo* di, const VECTEUR corners[8]);
// The edges of an axis-aligned box of the object's own space, placed in the world.
void DrawObjectBox(TDrawInfo* di, Obj* object, const VECTEUR& lower, const VECTEUR& upper);
// The edges of a world-aligned box (its lower and upper corners).
void DrawWorldBox(TDrawInfo* di, const VECTEUR& lower, const VECTEUR& upper);

// Points around a full circle from the cosine/sine tables: entry j of 0..32 is at
// angle -pi/2 + j pi/16 (entry 32 closes the circle on entry 0).
double CircleCos(int j);
double CircleSin(int j);
// The circle entries a drawing of level of detail `detail` (a step, at least 1) passes
// through: every detail-th entry, always closing on entry 32.
int NextCircleEntry(int j, int detail);
