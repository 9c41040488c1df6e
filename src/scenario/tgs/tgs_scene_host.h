// What the scene pages need of the application: the two page layers, pictures by name, the
// player's show-effects switch and the low-spec byte. The application implements it; tests put a
// fake here.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/surface/image_surface.h"

namespace bw {

class SurfaceLayer;

class TgsSceneHost {
 public:
  virtual ~TgsSceneHost() = default;

  // The layer of page 0 (shown; its linked layer is page 1) or page 1; null when there is none.
  virtual SurfaceLayer* PageLayer(int page) = 0;
  // Loads a picture by name (8-bit for rule pictures); 0 or the loader's code.
  [[nodiscard]] virtual int LoadPicture(const std::string& name, ImageSurface& into,
                                        bool eightBit) {
    return eightBit ? into.Load8(name.c_str(), nullptr, 0, kImagePlain)
                    : into.Load(name.c_str(), nullptr, 0, kImagePlain);
  }
  // Byte 9 of the user text settings: 0 = effects are not shown.
  virtual bool ShowEffects() { return true; }
  virtual bool LowSpec() { return false; }
};

}  // namespace bw
