// A surface whose pixels live behind a DirectDraw surface only: no pixel access and no colour key.
#pragma once

#include <cstdint>

#include "graphics/surface/surface.h"

namespace bw {

class KeylessDirectDrawSurface : public SurfaceBase {
 public:
  uint8_t* GetPixels() const override { return nullptr; }
  uint8_t* GetRowPointer(int32_t) const override { return nullptr; }
  [[nodiscard]] int SetColorKeyRgb(int, int, int) override { return 0; }
  [[nodiscard]] int SetColorKeyFromPixel(int32_t, int32_t) override { return 0; }
  uint32_t GetColorKey() const override { return kNoColorKey; }
  [[nodiscard]] int ClearColorKey() override { return 0; }
};

}  // namespace bw
