// A render thread's own records: copies of the prepared draw and render records, with
// their own copies of the lights and their own random generator, so that threads tracing
// the same prepared scene share nothing that shading writes (the sun's colour around a
// cloud, the sky tint, the hit points per depth, the random draws).
#pragma once

#include "engine/geometry/array.h"
#include "engine/platform/random.h"
#include "engine/scene/context.h"

class TLight;

class RenderThreadRecords {
 public:
  RenderThreadRecords(const TGlobalInfo& prepared, const TDrawInfo& preparedView);
  RenderThreadRecords(const RenderThreadRecords&) = delete;
  RenderThreadRecords& operator=(const RenderThreadRecords&) = delete;
  ~RenderThreadRecords();

  TDrawInfo di;
  TGlobalInfo gi;
  TArray<TLight*> lights{1, 0, 1};
  RandomGenerator random;
};
