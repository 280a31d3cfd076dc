// A layer beside another: the check must refuse this include too.
#pragma once

#include "engine/high/up.h"
#include "engine/low/down.h"
