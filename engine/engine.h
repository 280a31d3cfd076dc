// Engine: everything the library exports. Include this one header.
#pragma once

#include "engine/geometry/array.h"
#include "engine/geometry/bounding_box.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/matrix.h"
#include "engine/geometry/ray.h"
#include "engine/geometry/vectors.h"
#include "engine/materials/texture.h"
#include "engine/objects/object.h"
#include "engine/objects/object_tools.h"
#include "engine/objects/objects_list.h"
#include "engine/objects/primitives.h"
#include "engine/platform/device_context.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"
#include "engine/render/context.h"
#include "engine/render/landscape.h"
