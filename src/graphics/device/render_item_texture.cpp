#include "graphics/device/render_item_texture.h"

#include <algorithm>

#include "graphics/device/direct3d_device.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/directdraw_image_surface.h"

namespace bw {
namespace {

constexpr uint8_t kOne = 2, kZero = 1, kSrcAlpha = 5, kInvSrcAlpha = 6;
constexpr uint8_t kOpSelectArg1 = 2, kOpModulate = 4, kOpAdd = 7, kOpSubtract = 10;
constexpr uint8_t kArgDiffuse = 0, kArgCurrent = 1, kArgTexture = 2;
constexpr uint32_t kPrimitiveTriangleStrip = 5;
constexpr uint32_t kFvfTextured = 0x144;
constexpr int kToneNeutral = 255;

// Our rasteriser samples at pixel centres, so the corners carry the texture's edges: halfway
// between the centres of the neighbouring columns (or rows).
float EdgeU(const Layer& t, int32_t x) {
  return (t.GetTexU(x - 1) + t.GetTexU(x)) / 2;
}
float EdgeV(const Layer& t, int32_t y) {
  return (t.GetTexV(y - 1) + t.GetTexV(y)) / 2;
}

}  // namespace

D3DSpritePrimitive::~D3DSpritePrimitive() {
  SetTexture(nullptr);
}

void D3DSpritePrimitive::DetachSurface(const Surface* surface) {
  // The layer part is already gone when its surface detaches: compare the kept surface.
  if (surface != watched_) return;
  texture_ = nullptr;
  watched_ = nullptr;
}

void D3DSpritePrimitive::SetTexture(Layer* texture) {
  if (texture_ == texture) return;
  if (watched_) watched_->RemoveUser(this);
  texture_ = texture;
  watched_ = dynamic_cast<Surface*>(texture);
  if (watched_) watched_->AddUser(this);
}

void D3DSpritePrimitive::Reset() {
  SetTexture(nullptr);
  vertices_ = {};
  states_ = {};
  rect_ = {};
  scrollX_ = scrollY_ = x_ = y_ = width_ = height_ = 0;
  angle_ = anchor_ = 0;
}

int D3DSpritePrimitive::Init(Layer* texture, const Rect* rect, int32_t x, int32_t y) {
  if (!texture || !texture->GetDirectDrawSurface()) return kD3DSpriteNoTexture;
  Reset();
  SetTexture(texture);
  if (texture->GetPixelFormatCode() < kFormat1555) {
    SetBlendStates(0, kOne, kZero);
  } else {
    SetBlendStates(1, kSrcAlpha, kInvSrcAlpha);
  }
  SetColorStage(kOpModulate, kArgTexture, kArgCurrent);
  SetAlphaStage(kOpSelectArg1, kArgTexture, kArgCurrent);
  SetSourceRect(0, 0, rect);
  SetPosition(x, y);
  return 0;
}

void D3DSpritePrimitive::SetSourceRect(int32_t scrollX, int32_t scrollY, const Rect* rect) {
  scrollX_ = scrollX, scrollY_ = scrollY;
  if (!texture_) return;
  const Rect whole{0, 0, texture_->GetContentWidth(), texture_->GetContentHeight()};
  rect_ = whole;
  if (rect) {
    rect_ = {std::max(rect->left, whole.left), std::max(rect->top, whole.top),
             std::min(rect->right, whole.right), std::min(rect->bottom, whole.bottom)};
  }
  MapTexture();
}

void D3DSpritePrimitive::MapTexture() {
  if (!texture_) return;
  const float l = EdgeU(*texture_, rect_.left + scrollX_),
              r = EdgeU(*texture_, rect_.right + scrollX_);
  const float t = EdgeV(*texture_, rect_.top + scrollY_),
              b = EdgeV(*texture_, rect_.bottom + scrollY_);
  vertices_[0].u = l, vertices_[0].v = t;
  vertices_[1].u = r, vertices_[1].v = t;
  vertices_[2].u = l, vertices_[2].v = b;
  vertices_[3].u = r, vertices_[3].v = b;
}

void D3DSpritePrimitive::Lay() {
  const int32_t w = width_ ? width_ : rect_.Width(), h = height_ ? height_ : rect_.Height();
  const float l = float(x_), t = float(y_), r = float(int64_t{x_} + w), b = float(int64_t{y_} + h);
  vertices_[0].x = l, vertices_[0].y = t;
  vertices_[1].x = r, vertices_[1].y = t;
  vertices_[2].x = l, vertices_[2].y = b;
  vertices_[3].x = r, vertices_[3].y = b;
  int32_t ox, oy;
  AnchorOffset(anchor_, w, h, &ox, &oy);
  for (TexturedVertex& v : vertices_)
    TurnPoint(angle_, ClampedSum(x_, ox), ClampedSum(y_, oy), &v.x, &v.y);
}

void D3DSpritePrimitive::SetPosition(int32_t x, int32_t y) {
  x_ = x, y_ = y;
  Lay();
}

void D3DSpritePrimitive::SetSize(int32_t width, int32_t height) {
  width_ = width, height_ = height;
  Lay();
}

void D3DSpritePrimitive::SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) {
  width_ = width, height_ = height, x_ = x, y_ = y;
  Lay();
}

void D3DSpritePrimitive::SetRotation(int angle, int anchor) {
  angle_ = angle, anchor_ = anchor;
  Lay();
}

void D3DSpritePrimitive::SetCorners(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                                    int32_t y2, int32_t x3, int32_t y3) {
  const int32_t xs[4] = {x0, x1, x2, x3}, ys[4] = {y0, y1, y2, y3};
  for (size_t i = 0; i < 4; ++i) vertices_[i].x = float(xs[i]), vertices_[i].y = float(ys[i]);
}

bool D3DSpritePrimitive::GetRect(Rect* out) const {
  if (!texture_) return false;
  const int32_t w = width_ ? width_ : rect_.Width(), h = height_ ? height_ : rect_.Height();
  *out = {x_, y_, ClampedSum(x_, w), ClampedSum(y_, h)};
  return true;
}

bool D3DSpritePrimitive::HitTest(int32_t x, int32_t y, bool testPixel) const {
  Rect r;
  if (!GetRect(&r)) return false;
  // Only a WGX picture is tested pixel by pixel; its surface side holds the key.
  DirectDrawImageSurface* picture = texture_->GetKind() == kKindWgxPictureLayer
                                        ? dynamic_cast<DirectDrawImageSurface*>(texture_)
                                        : nullptr;
  return KeyedPixelHit(picture, r, rect_, width_, height_, scrollX_, scrollY_, x, y,
                       testPixel && picture);
}

void D3DSpritePrimitive::SetColor(uint32_t rgb) {
  vertex_colors::SetAll<vertex_colors::WithRgb>(Corners(), rgb);
}

bool D3DSpritePrimitive::SetVertexColor(size_t index, uint32_t rgb) {
  return vertex_colors::SetAt<vertex_colors::WithRgb>(Corners(), index, rgb);
}

void D3DSpritePrimitive::SetVertexColors(const std::vector<uint32_t>& rgbs) {
  vertex_colors::SetEach<vertex_colors::WithRgb>(Corners(), rgbs);
}

void D3DSpritePrimitive::SetAlpha(int alpha) {
  vertex_colors::SetAll<vertex_colors::WithAlpha>(Corners(), alpha);
}

bool D3DSpritePrimitive::SetVertexAlpha(size_t index, int alpha) {
  return vertex_colors::SetAt<vertex_colors::WithAlpha>(Corners(), index, alpha);
}

void D3DSpritePrimitive::SetVertexAlphas(const std::vector<int>& alphas) {
  vertex_colors::SetEach<vertex_colors::WithAlpha>(Corners(), alphas);
}

void D3DSpritePrimitive::SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination) {
  states_[kAlphaBlend] = enable, states_[kSrcBlend] = source, states_[kDestBlend] = destination;
}

void D3DSpritePrimitive::SetBlendMode(bool additive, int alpha) {
  SetBlendStates(1, kSrcAlpha, additive ? kOne : kInvSrcAlpha);
  SetAlpha(alpha);
}

void D3DSpritePrimitive::SetColorStage(uint8_t operation, uint8_t arg1, uint8_t arg2) {
  states_[kColorOp] = operation, states_[kColorArg1] = arg1, states_[kColorArg2] = arg2;
}

void D3DSpritePrimitive::SetAlphaStage(uint8_t operation, uint8_t arg1, uint8_t arg2) {
  states_[kAlphaOp] = operation, states_[kAlphaArg1] = arg1, states_[kAlphaArg2] = arg2;
}

void D3DSpritePrimitive::SetToneBlend(bool additive, int alpha, int level) {
  SetBlendMode(additive, alpha);
  SetAlphaStage(kOpModulate, kArgTexture, kArgDiffuse);
  level = std::clamp(level, 0, 2 * kToneNeutral);
  const bool darker = level < kToneNeutral;
  const uint32_t grey = uint32_t(darker ? kToneNeutral - level : level - kToneNeutral);
  SetColorStage(darker ? kOpSubtract : kOpAdd, kArgTexture, kArgCurrent);
  SetColor(grey << 16 | grey << 8 | grey);
}

int D3DSpritePrimitive::Draw(host::MemorySurface*, const Rect*, Direct3DDevice* device) {
  if (!IsEnabled()) return kRenderDone;
  if (!device || !texture_) return kRenderMissing;
  host::D3dDevice* d3d = device->GetDevice();
  if (!d3d) return kRenderNoDevice;
  auto* picture = dynamic_cast<DirectDrawImageSurface*>(texture_);
  if (!picture || device->SetTexture(picture) != 0) return kRenderBindFailed;
  if (AppliesStates()) BlendStage::Apply(states_, *device, false);
  if (d3d->DrawPrimitive(kPrimitiveTriangleStrip, kFvfTextured, vertices_.data(), 4, 0) !=
      host::kDdOk) {
    return kRenderPrimitiveFailed;
  }
  return kRenderDone;
}

int LayerD3DSpritePrimitive::Init(Layer* texture, const Rect* rect, int32_t x, int32_t y) {
  if (!texture || texture->GetKind() != kKindTextureLayer) return kD3DSpriteNoTexture;
  return D3DSpritePrimitive::Init(texture, rect, x, y);
}

int LayerD3DSpritePrimitive::Draw(host::MemorySurface* dest, const Rect* clip,
                                  Direct3DDevice* device) {
  if (auto* layer = dynamic_cast<TextureLayer*>(GetTexture()); layer && IsEnabled()) {
    // A frame that is not shown is drawn again on the next turn.
    (void)layer->UpdateTexture(true);
  }
  return D3DSpritePrimitive::Draw(dest, clip, device);
}

}  // namespace bw
