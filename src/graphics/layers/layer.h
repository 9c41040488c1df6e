// The interface of the layers whose picture lives in a DirectDraw surface used as a texture.
#pragma once

#include <cstdint>

namespace bw::host {
class MemorySurface;
}  // namespace bw::host

namespace bw {

class Layer {
 public:
  virtual ~Layer() = default;

  virtual int GetKind() const = 0;
  // The surface's size: a texture can be larger than what it shows.
  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  [[nodiscard]] virtual int SetColorKeyRgb(int r, int g, int b) = 0;
  [[nodiscard]] virtual int SetColorKeyFromPixel(int32_t x, int32_t y) = 0;
  // In the surface's own format; -1 when none.
  virtual int64_t GetSurfaceColorKey() const = 0;
  [[nodiscard]] virtual int ClearColorKey() = 0;
  virtual host::MemorySurface* GetDirectDrawSurface() const = 0;
  virtual int GetPixelFormatCode() const = 0;
  virtual int32_t GetContentWidth() const = 0;
  virtual int32_t GetContentHeight() const = 0;
  virtual float GetTexU(int32_t x) const = 0;
  virtual float GetTexV(int32_t y) const = 0;
};

// The centre of content column (or row) index as a texture coordinate; content larger than the
// texture was scaled down into it.
double TextureCoordinate(int32_t index, int32_t textureSize, int32_t contentSize);

}  // namespace bw
