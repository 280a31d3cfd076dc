// The mesh's wireframe: its edges (fewer on coarser levels of detail), or its box.
#include <algorithm>

#include "engine/mesh/mesh.h"
#include "engine/objects/wireframe.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"
#include "engine/scene/context.h"

void TMesh::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  if (di->Detail == 0 || (flags & BoxOnlyBit) || pointCount == 0) {
    if (pointCount && (normalsDirty || localBox.min.x > localBox.max.x))
      BuildBox();
    if (localBox.min.x <= localBox.max.x)
      DrawObjectBox(di, this, localBox.min, localBox.max);
    return;
  }
  // Each point is placed in the world once per drawing.
  HGLOBAL scratch = GlobalAlloc(GMEM_MOVEABLE, sizeof(VECTEUR) * pointCount);
  VECTEUR* world = static_cast<VECTEUR*>(GlobalLock(scratch));
  if (!world) {
    GlobalFree(scratch);
    MessageOutOfmemory();
    return;
  }
  Lock();
  for (uint32_t k = 0; k < pointCount; k++)
    world[k] = ObjectToWorld(this, VECTEUR(points[k].x, points[k].y, points[k].z));
  const int detail = di->Detail;  // packed member: read by value, never bound to a reference
  const uint32_t every = (edgeCount / 500) * static_cast<uint32_t>(std::max(detail, 1) - 1) + 1;
  for (uint32_t e = 0; e < edgeCount; e += every)
    if (edges[e].a < pointCount && edges[e].b < pointCount)
      DrawSegment(di, world[edges[e].a], world[edges[e].b]);
  Unlock();
  GlobalUnlock(scratch);
  GlobalFree(scratch);
}
