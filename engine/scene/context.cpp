#include "engine/scene/context.h"

void ProjectTop(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  sx = static_cast<float>(di->Scale * p.x + di->CentreX);
  sy = static_cast<float>(di->CentreY - di->Scale * p.y);
}

void ProjectFront(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  sx = static_cast<float>(di->Scale * p.x + di->CentreX);
  sy = static_cast<float>(di->CentreY - di->Scale * p.z);
}

void ProjectSide(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  sx = static_cast<float>(di->Scale * p.y + di->CentreX);
  sy = static_cast<float>(di->CentreY - di->Scale * p.z);
}

ProjectionFunction ChooseProjection(EViewType viewType, ProjectionFunction cameraProjection) {
  switch (viewType) {
    case ViewTop:
      return ProjectTop;
    case ViewFront:
      return ProjectFront;
    case ViewSide:
      return ProjectSide;
    default:
      return cameraProjection;
  }
}
