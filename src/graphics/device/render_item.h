// Render items: small objects that draw themselves straight into the back buffer, each frame,
// in the order of the RenderList. This file holds the base and the Direct3D items that draw
// coloured vertices or set device states.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/rect.h"

namespace bw::host {
class MemorySurface;
}  // namespace bw::host

namespace bw {

class Direct3DDevice;
class DirectDrawImageSurface;
class RenderList;

// Item kinds.
constexpr uint8_t kItemSprite = 0;
constexpr uint8_t kItemLayerSprite = 1;
constexpr uint8_t kItemTransition = 2;
constexpr uint8_t kItemMovie = 3;
constexpr uint8_t kItemD3DSprite = 4;
constexpr uint8_t kItemLayerD3DSprite = 5;
constexpr uint8_t kItemD3DRect = 6;
constexpr uint8_t kItemD3DPolygon = 7;
constexpr uint8_t kItemD3DTriangle = 8;
constexpr uint8_t kItemRenderState = 9;
constexpr uint8_t kItemBlendState = 10;

// Draw results.
constexpr int kRenderDone = 0;
constexpr int kRenderMissing = 1;
constexpr int kRenderNoDevice = 2;
constexpr int kRenderBindFailed = 3;
constexpr int kRenderPrimitiveFailed = 4;

// SetPoints results of the vertex list.
constexpr int kPointsBadArgument = 1;
constexpr int kPointsNoMemory = 2;

// A state byte that the state items leave as it is.
constexpr uint8_t kKeepState = 255;

// The anchor point's offset in a w x h box: 0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right, 4 centre, any other value that value in both directions.
void AnchorOffset(int anchor, int32_t w, int32_t h, int32_t* ox, int32_t* oy);
// Turns (x, y) by angle (512ths of a turn) about (ax, ay) with the shared cosine table; unturned
// while the table is not set up.
void TurnPoint(int angle, int32_t ax, int32_t ay, float* x, float* y);

// The point test of the keyed items: (x, y) inside placed (left <= x < right) and, with
// testPixel, not over a pixel equal to the picture's colour key. The point's offset in placed is
// scaled from the drawn size (0: none) to source's size, then moved by source's corner and the
// scroll offset, to pick the picture's pixel.
bool KeyedPixelHit(DirectDrawImageSurface* picture, const Rect& placed, const Rect& source,
                   int32_t drawnWidth, int32_t drawnHeight, int32_t scrollX, int32_t scrollY,
                   int32_t x, int32_t y, bool testPixel);

// The vertex colours of the Direct3D items (every vertex type with a diffuse ARGB): the colour
// setters keep each vertex's alpha, the alpha setters its colour, every alpha clamped to 0..255.
// The indexed forms answer false for an index past the last vertex.
namespace vertex_colors {

inline uint32_t WithRgb(uint32_t diffuse, uint32_t rgb) {
  return (diffuse & 0xFF000000u) | (rgb & 0xFFFFFFu);
}
inline uint32_t WithAlpha(uint32_t diffuse, int alpha) {
  return (diffuse & 0xFFFFFFu) | uint32_t(std::clamp(alpha, 0, 255)) << 24;
}
// With is WithRgb or WithAlpha; Value its second argument's type.
template <auto With, typename Vertex, typename Value>
void SetAll(std::span<Vertex> vertices, Value value) {
  for (Vertex& v : vertices) v.diffuse = With(v.diffuse, value);
}
template <auto With, typename Vertex, typename Value>
bool SetAt(std::span<Vertex> vertices, size_t index, Value value) {
  if (index >= vertices.size()) return false;
  vertices[index].diffuse = With(vertices[index].diffuse, value);
  return true;
}
template <auto With, typename Vertex, typename Value>
void SetEach(std::span<Vertex> vertices, const std::vector<Value>& values) {
  for (size_t i = 0; i < values.size() && i < vertices.size(); ++i) {
    SetAt<With>(vertices, i, values[i]);
  }
}

}  // namespace vertex_colors

class RenderItem {
 public:
  RenderItem() = default;
  RenderItem(const RenderItem&) = delete;
  RenderItem& operator=(const RenderItem&) = delete;
  virtual ~RenderItem();

  virtual bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled) { enabled_ = enabled; }
  virtual uint8_t GetKind() const = 0;
  virtual int32_t GetX() const { return 0; }
  virtual int32_t GetY() const { return 0; }
  virtual void SetPosition(int32_t, int32_t) {}
  virtual void SetSize(int32_t, int32_t) {}
  virtual void SetSizeAndPosition(int32_t, int32_t, int32_t, int32_t) {}
  // Stops at the ends of 32 bits, as display objects do.
  virtual void MoveBy(int32_t dx, int32_t dy) {
    SetPosition(ClampedSum(GetX(), dx), ClampedSum(GetY(), dy));
  }
  // Inside GetRect, signed, so that items placed partly off screen still hit.
  virtual bool HitTest(int32_t x, int32_t y, bool testPixel) const;
  virtual bool Overlaps(const RenderItem& other) const;
  virtual bool GetRect(Rect*) const { return false; }
  [[nodiscard]] virtual int Draw(host::MemorySurface* dest, const Rect* clip,
                                 Direct3DDevice* device) = 0;
  [[nodiscard]] virtual int Restore() { return 0; }

  uint32_t Owner() const { return owner_; }
  void SetOwner(uint32_t owner) { owner_ = owner; }
  // A drawing offset the scripts keep on the item; no drawing reads it.
  void SetDrawOffset(int32_t dx, int32_t dy) { offsetX_ = dx, offsetY_ = dy; }
  int32_t DrawOffsetX() const { return offsetX_; }
  int32_t DrawOffsetY() const { return offsetY_; }
  RenderList* List() const { return list_; }

 protected:
  // False when the list that draws the item asks items to keep the device's states.
  bool AppliesStates() const;

 private:
  friend class RenderList;
  uint32_t owner_ = 0;
  int32_t offsetX_ = 0, offsetY_ = 0;
  bool enabled_ = true;
  RenderList* list_ = nullptr;
};

// One transformed, lit vertex of the coloured items (x, y, z, rhw, diffuse ARGB).
struct ColorVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t diffuse = 0xFFFFFFFFu;
};

// What the three coloured items share: vertex colours and alpha, the three blend bytes, and the
// drawing with the stage-0 texture unbound.
class D3DColorItem : public RenderItem {
 public:
  void SetColor(uint32_t rgb);
  [[nodiscard]] bool SetVertexColor(size_t index, uint32_t rgb);
  void SetVertexColors(const std::vector<uint32_t>& rgbs);
  void SetAlpha(int alpha);
  [[nodiscard]] bool SetVertexAlpha(size_t index, int alpha);
  void SetVertexAlphas(const std::vector<int>& alphas);
  void SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination);
  void SetBlendMode(bool additive, int alpha);

  const std::vector<ColorVertex>& Vertices() const { return vertices_; }
  uint8_t BlendEnable() const { return blend_[0]; }
  uint8_t SrcBlend() const { return blend_[1]; }
  uint8_t DestBlend() const { return blend_[2]; }

  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;

 protected:
  // An opaque colour draws without blending; any other alpha blends by it.
  void SetUpColor(uint32_t argb);
  virtual uint32_t PrimitiveType() const = 0;

  std::vector<ColorVertex> vertices_;
  uint8_t blend_[3] = {0, 2, 1};
};

// A filled rectangle, two triangles of a strip.
class D3DRectPrimitive : public D3DColorItem {
 public:
  D3DRectPrimitive();
  uint8_t GetKind() const override { return kItemD3DRect; }
  [[nodiscard]] int Set(int32_t width, int32_t height, uint32_t argb, int32_t x, int32_t y);
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  void SetPosition(int32_t x, int32_t y) override;
  void SetSize(int32_t width, int32_t height) override;
  void SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool GetRect(Rect* out) const override;
  void SetRotation(int angle, int anchor);

 protected:
  uint32_t PrimitiveType() const override;

 private:
  void Lay();
  int32_t width_ = 0, height_ = 0, x_ = 0, y_ = 0;
  int angle_ = 0, anchor_ = 0;
};

// Points scaled by a 16.16 factor and placed at a position; the triangle and the vertex list.
class D3DPointsItem : public D3DColorItem {
 public:
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  void SetPosition(int32_t x, int32_t y) override;
  // The width is the 16.16 scale; the height is ignored.
  void SetSize(int32_t scale, int32_t) override;
  void SetSizeAndPosition(int32_t scale, int32_t, int32_t x, int32_t y) override;
  bool HitTest(int32_t, int32_t, bool) const override { return false; }
  bool Overlaps(const RenderItem&) const override { return false; }

 protected:
  virtual size_t PointCount() const = 0;
  virtual int32_t PointX(size_t i) const = 0;
  virtual int32_t PointY(size_t i) const = 0;
  void Lay();

  int32_t x_ = 0, y_ = 0;
  int32_t scale_ = 0x10000;
  int angle_ = 0, anchor_ = 0;
  bool rotated_ = false;
};

class D3DTrianglePrimitive : public D3DPointsItem {
 public:
  D3DTrianglePrimitive();
  uint8_t GetKind() const override { return kItemD3DTriangle; }
  [[nodiscard]] int Set(const int32_t xs[3], const int32_t ys[3], uint32_t argb, int32_t x,
                        int32_t y);
  bool SetPoint(int index, int32_t x, int32_t y);
  void SetPoints(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

 protected:
  uint32_t PrimitiveType() const override;
  size_t PointCount() const override { return 3; }
  int32_t PointX(size_t i) const override { return xs_[i]; }
  int32_t PointY(size_t i) const override { return ys_[i]; }

 private:
  int32_t xs_[3] = {}, ys_[3] = {};
};

class D3DPolygonPrimitive : public D3DPointsItem {
 public:
  uint8_t GetKind() const override { return kItemD3DPolygon; }
  // Copies the points, or with borrow keeps the caller's arrays, which must outlive the item;
  // SetPoint and SetLine then write into them.
  [[nodiscard]] int SetPoints(size_t count, int32_t* xs, int32_t* ys, uint32_t argb, uint8_t type,
                              bool borrow);
  void SetPrimitiveType(uint8_t type) { type_ = type; }
  bool SetPoint(size_t index, int32_t x, int32_t y);
  bool SetLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
  void SetRotation(int angle, int anchor);
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;

 protected:
  uint32_t PrimitiveType() const override { return type_; }
  size_t PointCount() const override { return count_; }
  int32_t PointX(size_t i) const override { return xs_[i]; }
  int32_t PointY(size_t i) const override { return ys_[i]; }

 private:
  void Clear();
  size_t count_ = 0;
  std::vector<int32_t> ownX_, ownY_;
  int32_t* xs_ = nullptr;  // ownX_'s data or the caller's
  int32_t* ys_ = nullptr;
  uint8_t type_ = 0;
};

// The bytes of a texture stage's blending, set on the device in this order.
struct BlendStage {
  enum Byte {
    kAlphaBlend,
    kSrcBlend,
    kDestBlend,
    kColorOp,
    kColorArg1,
    kColorArg2,
    kAlphaOp,
    kAlphaArg1,
    kAlphaArg2,
    kByteCount
  };
  using Bytes = std::array<uint8_t, kByteCount>;
  // Each byte through the device's cache; with keepMarked, a byte at kKeepState is left alone.
  static void Apply(const Bytes& bytes, Direct3DDevice& device, bool keepMarked);
};

// Sets each of its state bytes that is not kKeepState through the device's cache.
class D3DRenderStatePrimitive : public RenderItem {
 public:
  enum Byte {
    kCull,
    kShade,
    kColorKey,
    kAlphaBlend,
    kSrcBlend,
    kDestBlend,
    kAlphaTest,
    kAlphaRef,
    kAlphaFunc,
    kByteCount
  };
  uint8_t GetKind() const override { return kItemRenderState; }
  void SetState(Byte which, uint8_t value) { states_[which] = value; }
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;

 private:
  uint8_t states_[kByteCount] = {kKeepState, kKeepState, kKeepState, kKeepState, kKeepState,
                                 kKeepState, kKeepState, kKeepState, kKeepState};
};

class D3DBlendStatePrimitive : public RenderItem {
 public:
  using Byte = BlendStage::Byte;
  using enum BlendStage::Byte;
  uint8_t GetKind() const override { return kItemBlendState; }
  void SetState(Byte which, uint8_t value) { states_[which] = value; }
  // 0xFFFFFFFF keeps the device's factor.
  void SetTextureFactor(uint32_t factor) { factor_ = factor; }
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;

 private:
  BlendStage::Bytes states_ = [] {
    BlendStage::Bytes kept;
    kept.fill(kKeepState);
    return kept;
  }();
  uint32_t factor_ = 0xFFFFFFFFu;
};

}  // namespace bw
