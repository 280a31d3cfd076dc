// The camera's wireframe symbol: its body behind the centre, the lens in front and the
// viewing direction, all within the two boxes that picking tests (engine/render/camera.h).
#include <algorithm>

#include "engine/objects/wireframe.h"
#include "engine/lights/camera.h"

namespace {

constexpr double LensDepth = 1.0;

}  // namespace

void TCamera::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  const double bar = CameraViewBarLengthPerFocal * FocalLength;
  {
    // Body and lens in black, or the selection or ghost pen.
    PenScope pen(di, ghost ? GhostPen(false) : WireframePen(false, IsSelected() ? SelectionPen : 0));
    DrawObjectBox(di, this, VECTEUR(-CameraBodyHalfWidth, -CameraBodyHalfHeight, -CameraBodyDepth),
                  VECTEUR(CameraBodyHalfWidth, CameraBodyHalfHeight, 0.0));
    DrawObjectBox(di, this, VECTEUR(-CameraViewBarHalfWidth, -CameraViewBarHalfWidth, 0.0),
                  VECTEUR(CameraViewBarHalfWidth, CameraViewBarHalfWidth, std::min(LensDepth, bar)));
  }
  // The viewing direction in the selection colour, so that it stands out.
  PenScope pen(di, ghost ? GhostPen(false) : WireframePen(false, SelectionPen));
  DrawObjectSegment(di, this, VECTEUR(0, 0, 0), VECTEUR(0, 0, bar));
}
