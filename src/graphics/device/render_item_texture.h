// The Direct3D sprite: a texture layer's picture drawn as a textured quad, with its own blend and
// texture-stage states, colours, tone, free corners and rotation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "graphics/device/render_item.h"
#include "graphics/layers/layer.h"
#include "graphics/surface/surface.h"

namespace bw {

constexpr int kD3DSpriteNoTexture = 1;

// One transformed, lit, textured vertex (x, y, z, rhw, diffuse ARGB, u, v).
struct TexturedVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t diffuse = 0xFFFFFFFFu;
  float u = 0, v = 0;
};

class D3DSpritePrimitive : public RenderItem, private SurfaceUser {
 public:
  using State = BlendStage::Byte;
  using enum BlendStage::Byte;

  ~D3DSpritePrimitive() override;
  uint8_t GetKind() const override { return kItemD3DSprite; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  void SetPosition(int32_t x, int32_t y) override;
  void SetSize(int32_t width, int32_t height) override;
  void SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool GetRect(Rect* out) const override;
  // With testPixel, a WGX picture's pixels equal to its colour key are not hit.
  bool HitTest(int32_t x, int32_t y, bool testPixel) const override;
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;

  virtual void Reset();
  // The texture must also be a DirectDraw picture surface to be bound.
  [[nodiscard]] virtual int Init(Layer* texture, const Rect* rect, int32_t x, int32_t y);

  // Vertices in strip order: top-left, top-right, bottom-left, bottom-right.
  void SetColor(uint32_t rgb);
  [[nodiscard]] bool SetVertexColor(size_t index, uint32_t rgb);
  void SetVertexColors(const std::vector<uint32_t>& rgbs);
  void SetAlpha(int alpha);
  [[nodiscard]] bool SetVertexAlpha(size_t index, int alpha);
  void SetVertexAlphas(const std::vector<int>& alphas);
  void SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination);
  void SetBlendMode(bool additive, int alpha);
  void SetColorStage(uint8_t operation, uint8_t arg1, uint8_t arg2);
  void SetAlphaStage(uint8_t operation, uint8_t arg1, uint8_t arg2);
  // Level 255 leaves the picture as it is; below it darkens, above it brightens.
  void SetToneBlend(bool additive, int alpha, int level);
  void SetCorners(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                  int32_t x3, int32_t y3);
  void SetSourceRect(int32_t scrollX, int32_t scrollY, const Rect* rect);
  void SetRotation(int angle, int anchor);

  Layer* GetTexture() const { return texture_; }
  const std::array<TexturedVertex, 4>& Vertices() const { return vertices_; }
  uint8_t GetState(State which) const { return states_[which]; }

 private:
  void DetachSurface(const Surface* surface) override;
  void SetTexture(Layer* texture);
  void Lay();
  void MapTexture();
  std::span<TexturedVertex> Corners() { return vertices_; }

  Layer* texture_ = nullptr;
  Surface* watched_ = nullptr;  // the texture's surface side, told when it dies
  std::array<TexturedVertex, 4> vertices_;
  BlendStage::Bytes states_{};
  Rect rect_;
  int32_t scrollX_ = 0, scrollY_ = 0;
  int32_t x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  int angle_ = 0, anchor_ = 0;
};

// A Direct3D sprite whose texture is a texture layer: the texture is brought up to date before
// each draw.
class LayerD3DSpritePrimitive : public D3DSpritePrimitive {
 public:
  uint8_t GetKind() const override { return kItemLayerD3DSprite; }
  [[nodiscard]] int Init(Layer* texture, const Rect* rect, int32_t x, int32_t y) override;
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;
};

}  // namespace bw
