// A lower layer reaching up: the check must refuse this include.
#pragma once

#include "engine/high/up.h"
