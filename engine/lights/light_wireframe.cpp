// The lights' wireframe symbols. Each lies within the symbol box that bounding and
// picking use (engine/lights/light.h), so a click on what is drawn picks the light.
#include <cmath>

#include "engine/lights/light.h"
#include "engine/objects/wireframe.h"
#include "engine/scene/context.h"

void TDirectionLight::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  const double w = LightBeamHalfWidth, l = LightBeamLength, head = l - 2.0 * w;
  DrawObjectSegment(di, this, VECTEUR(0, 0, 0), VECTEUR(0, 0, l));
  for (double turn : {0.0, 60.0, -60.0}) {
    const double c = std::cos(turn * DegreesToRadians) * w, s = std::sin(turn * DegreesToRadians) * w;
    DrawObjectSegment(di, this, VECTEUR(0, 0, l), VECTEUR(c, s, head));
    DrawObjectSegment(di, this, VECTEUR(0, 0, l), VECTEUR(-c, -s, head));
  }
}

void TPointLight::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  const double r = LightPickRadius, d = LightPickRadius / std::sqrt(3.0);
  const VECTEUR rays[7] = {VECTEUR(r, 0, 0),  VECTEUR(0, r, 0),  VECTEUR(0, 0, r),  VECTEUR(d, d, d),
                           VECTEUR(d, -d, d), VECTEUR(-d, d, d), VECTEUR(-d, -d, d)};
  for (const VECTEUR& v : rays)
    DrawObjectSegment(di, this, v * -1.0, v);
}

void TSpotLight::DrawWireFrame(TDrawInfo* di, bool ghost) {
  if (!di)
    return;
  PenScope pen(di, ObjectPen(this, ghost));
  const double r = LightBeamHalfWidth, l = LightBeamLength;
  constexpr int RimPoints = 21;  // the first and last coincide: 20 segments
  auto rim = [&](int k) {
    const double a = 2.0 * 3.14159265358979323846 * k / (RimPoints - 1);
    return VECTEUR(r * std::cos(a), r * std::sin(a), l);
  };
  for (int k = 0; k + 1 < RimPoints; k++)
    DrawObjectSegment(di, this, rim(k), rim(k + 1));
  for (int k = 0; k < RimPoints - 1; k += 5)
    DrawObjectSegment(di, this, VECTEUR(0, 0, 0), rim(k));
}
