#include "engine/preview/views.h"

#include <cmath>

#include "engine/objects/object.h"
#include "engine/geometry/objects_list.h"
#include "engine/objects/wireframe.h"
#include "engine/render/camera.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace {

// The altitude of the landscape's first infinite plane when it lies exactly horizontal;
// no ground otherwise.
float HorizontalPlaneAltitude(const TPaysage* landscape) {
  if (!landscape || !landscape->Objects)
    return NoGroundLevel;
  for (BasicObject* object : *landscape->Objects) {
    if (object->type != BasicObject::TypeInfinitePlane)
      continue;
    auto* plane = static_cast<Planar*>(object);
    return plane->normal.z == 1.0 ? static_cast<float>(plane->centre.z) : NoGroundLevel;
  }
  return NoGroundLevel;
}

// A screen coordinate, truncated towards zero; kept within a range that no view
// reaches, so that an absurd view centre cannot overflow.
int32_t ScreenCoordinate(double v) {
  if (!(v > -1e9))
    return -1000000000;
  return v < 1e9 ? static_cast<int32_t>(std::trunc(v)) : 1000000000;
}

}  // namespace

void PreparerAffichage(TDrawInfo* di, TPaysage* landscape, EViewType view, TRect rect, int detail, float zoom) {
  if (!di)
    return;
  di->Landscape = landscape;
  const TEnvironment* environment = GetEnvironment();
  const bool cameraView = view != ViewTop && view != ViewFront && view != ViewSide;
  di->GroundLevel = environment->GroundLevelInViews && (cameraView || environment->GroundLevelInSideViews)
                        ? HorizontalPlaneAltitude(landscape)
                        : NoGroundLevel;
  di->Zoom = zoom;
  di->Rendering = 0;
  di->ViewType = view;
  di->Detail = detail;
  di->Scale = landscape ? landscape->ViewScale : 1.0f;
  di->CentreX = (rect.right - rect.left) / 2 + 1;
  di->CentreY = (rect.bottom - rect.top) / 2 + 1;
  GetActiveCamera(di);
  if (landscape) {
    const VECTEUR& c = landscape->ViewCentre;
    const double scale = di->Scale;
    switch (view) {
      case ViewTop:
        di->CentreX = ScreenCoordinate(di->CentreX + scale * c.x);
        di->CentreY = ScreenCoordinate(di->CentreY + scale * c.y);
        break;
      case ViewFront:
        di->CentreX = ScreenCoordinate(di->CentreX + scale * c.x);
        di->CentreY = ScreenCoordinate(di->CentreY + scale * c.z);
        break;
      case ViewSide:
        di->CentreX = ScreenCoordinate(di->CentreX - scale * c.y);
        di->CentreY = ScreenCoordinate(di->CentreY + scale * c.z);
        break;
      default:
        break;
    }
  }
  di->Project = ChooseProjection(view, ProjectCamera);
}

void DrawLandscapeView(TDrawInfo* di, ObjectsList* ghosts) {
  if (!di || !di->Landscape || !di->Landscape->Objects)
    return;
  for (BasicObject* object : *di->Landscape->Objects) {
    const int status = di->Landscape->GetLayerStatus(object->GetLayer());
    if (status == 0)
      continue;
    object->DrawWireFrame(di, status == 1 || (ghosts && ghosts->HasMember(object)));
  }
}
