#include "engine/render/thread_records.h"

#include "engine/lights/light.h"

RenderThreadRecords::RenderThreadRecords(const TGlobalInfo& prepared, const TDrawInfo& preparedView)
    : di(preparedView), gi(prepared) {
  if (prepared.Lights) {
    for (TLight* light : *prepared.Lights)
      lights.Add(CopyLight(light));
    gi.Lights = &lights;
    gi.SunLight = GetSunLight(&lights);
  }
  di.Random = &random;
}

RenderThreadRecords::~RenderThreadRecords() {
  for (TLight* light : lights)
    delete light;
}
