// The terrain's wireframe: altitude lines over the grid, or its box.
#include <algorithm>

#include "engine/objects/wireframe.h"
#include "engine/scene/context.h"
#include "engine/terrain/terrain.h"

namespace {

// Grid points between drawn lines along an axis of `points` points: Detail x 5, scaled
// up on axes longer than 256 points so that large grids do not draw more lines.
int LineSpacing(int detail, int points) {
  const int spacing = points > 256 ? static_cast<int>(detail * 5.0 * points / 256.0) : detail * 5;
  return std::max(spacing, 1);
}

// The next drawn grid index after i along an axis of `points` points: every spacing-th,
// always ending on the last point so that the outline is drawn.
int NextLine(int i, int spacing, int points) { return i + spacing < points - 1 ? i + spacing : points - 1; }

}  // namespace

void Terrain::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  if (di->Detail == 0 || (flags & BoxOnlyBit) || !altitudes || width == 0 || height == 0) {
    DrawObjectBox(di, this, VECTEUR(-width * 0.5, -height * 0.5, minAltitude * AltitudeStep),
                  VECTEUR(width * 0.5, height * 0.5, maxAltitude * AltitudeStep));
    return;
  }
  Lock();
  const int sx = LineSpacing(di->Detail, width), sy = LineSpacing(di->Detail, height);
  const int halfX = width >> 1, halfY = height >> 1;
  // Altitudes below the floor are drawn on it, as the surface is.
  auto at = [&](int i, int j) {
    const int a = std::max<int>(GetAltitude(i, j), minAltitude);
    return ObjectToWorld(this, VECTEUR(i - halfX, j - halfY, a * AltitudeStep));
  };
  for (int j = 0;; j = NextLine(j, sy, height)) {
    VECTEUR previous = at(0, j);
    for (int i = NextLine(0, sx, width); width > 1; i = NextLine(i, sx, width)) {
      const VECTEUR next = at(i, j);
      DrawSegment(di, previous, next);
      previous = next;
      if (i == width - 1)
        break;
    }
    if (j == height - 1)
      break;
  }
  for (int i = 0;; i = NextLine(i, sx, width)) {
    VECTEUR previous = at(i, 0);
    for (int j = NextLine(0, sy, height); height > 1; j = NextLine(j, sy, height)) {
      const VECTEUR next = at(i, j);
      DrawSegment(di, previous, next);
      previous = next;
      if (j == height - 1)
        break;
    }
    if (i == width - 1)
      break;
  }
  Unlock();
}
