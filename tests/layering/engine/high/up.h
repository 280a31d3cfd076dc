// A higher layer using a lower one: allowed.
#pragma once

#include "engine/low/down.h"
