#include "biosphere/biosphere.h"

const char* BiosphereVersion() { return "0.1.0"; }
