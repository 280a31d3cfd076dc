// Biosphere: the plant species generator.
#pragma once

// The library's version, "major.minor.patch".
const char* BiosphereVersion();
