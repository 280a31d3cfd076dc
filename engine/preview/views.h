// The wireframe views of a landscape: the camera view and the top, front and side
// views, set up for a rectangle of the screen, and the drawing of a whole landscape into
// one of them. What each object draws is its own slot 10 (engine/objects/wireframe.h).
#pragma once

#include <cstdint>

#include "engine/platform/rect.h"
#include "engine/scene/context.h"

class ObjectsList;

// Prepares di for drawing `view` of `landscape` into `rect`: the ground level (the
// horizontal infinite plane's altitude when the environment asks for it), zoom, level of
// detail (0 boxes only, 1 finest, larger coarser), the landscape's view scale, the screen
// position of the origin moved by the landscape's view centre in the orthographic views,
// the active camera and the view's projection. The caller then sets di->DeviceContext.
void PreparerAffichage(TDrawInfo* di, TPaysage* landscape, EViewType view, TRect rect, int detail, float zoom);

// Draws the landscape's top-level objects into the prepared view: objects on hidden
// layers (status 0) are left out, those on visible but inactive layers (status 1) and
// those in `ghosts` are drawn as ghosts. Either list may be null.
void DrawLandscapeView(TDrawInfo* di, ObjectsList* ghosts);
