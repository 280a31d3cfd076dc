// The owning pointer of a material held inside another record (a mixed material's two
// materials, a transparent material's interior, a cloud layer's material).
#pragma once

#include "engine/platform/owned.h"

class Texture;

// A held material is copied whole and given back through the host's release callback.
struct MaterialOwnership {
  static Texture* Copy(const Texture& source);
  static void Release(Texture* material);
};

using OwnedMaterial = Owned<Texture, MaterialOwnership>;
