// Texture: a material, selected by an object's material index in the landscape.
#pragma once

class Texture {
 public:
  bool CastsShadows = true;  // when false, shadow rays pass through the surface
  bool SurfaceFlag1 = false;
  bool SurfaceFlag2 = false;
  bool SurfaceFlag3 = false;
  bool SurfaceFlag4 = false;
};
