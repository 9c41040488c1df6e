#include "graphics/device/render_item.h"

#include <algorithm>
#include <new>

#include "common/global.h"
#include "common/gone_notice.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/device/render_list.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/rotated_bounds.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

constexpr uint8_t kBlendOne = 2;
constexpr uint8_t kBlendZero = 1;
constexpr uint8_t kBlendSrcAlpha = 5;
constexpr uint8_t kBlendInvSrcAlpha = 6;
constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kPrimitiveTriangleStrip = 5;
constexpr uint32_t kFvfColored = 0x44;
constexpr int32_t kUnitScale = 0x10000;

// Turns every vertex about (ax, ay).
void Turn(std::vector<ColorVertex>* vertices, int angle, int32_t ax, int32_t ay) {
  for (ColorVertex& v : *vertices) TurnPoint(angle, ax, ay, &v.x, &v.y);
}

}  // namespace

void AnchorOffset(int anchor, int32_t w, int32_t h, int32_t* ox, int32_t* oy) {
  switch (anchor) {
    case 0:
      *ox = 0, *oy = 0;
      break;
    case 1:
      *ox = w, *oy = 0;
      break;
    case 2:
      *ox = 0, *oy = h;
      break;
    case 3:
      *ox = w, *oy = h;
      break;
    case 4:
      *ox = w >> 1, *oy = h >> 1;
      break;
    default:
      *ox = *oy = anchor;
      break;
  }
}

void TurnPoint(int angle, int32_t ax, int32_t ay, float* x, float* y) {
  const TrigTables* trig = Global<TrigTables>::Get();
  if (!trig || angle == 0) return;
  const int k = NegatedTurn(angle);
  const int64_t c = trig->Cosine(k), s = trig->Cosine((k - 128) & 511);
  const int64_t dx = int64_t(*x) - ax, dy = int64_t(*y) - ay;
  *x = float(ax + ((c * dx - s * dy) >> 16));
  *y = float(ay + ((s * dx + c * dy) >> 16));
}

RenderItem::~RenderItem() {
  NotifyGone(this);
  if (list_) list_->Remove(this);
}

bool RenderItem::AppliesStates() const {
  return !list_ || list_->AppliesItemStates();
}

bool RenderItem::HitTest(int32_t x, int32_t y, bool) const {
  Rect r;
  return GetRect(&r) && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool KeyedPixelHit(DirectDrawImageSurface* picture, const Rect& placed, const Rect& source,
                   int32_t drawnWidth, int32_t drawnHeight, int32_t scrollX, int32_t scrollY,
                   int32_t x, int32_t y, bool testPixel) {
  if (x < placed.left || x >= placed.right || y < placed.top || y >= placed.bottom) return false;
  if (!testPixel || !picture || picture->GetColorKey() == kNoColorKey) return true;
  int64_t dx = int64_t{x} - placed.left, dy = int64_t{y} - placed.top;
  if (drawnWidth) dx = dx * source.Width() / drawnWidth;
  if (drawnHeight) dy = dy * source.Height() / drawnHeight;
  const int64_t px = source.left + dx + scrollX, py = source.top + dy + scrollY;
  // A point that picks no pixel of the picture cannot be over the key.
  if (px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX) return true;
  return picture->GetPixel(int32_t(px), int32_t(py)) != picture->GetColorKey();
}

bool RenderItem::Overlaps(const RenderItem& other) const {
  Rect a, b;
  return GetRect(&a) && other.GetRect(&b) && a.left < b.right && b.left < a.right &&
         a.top < b.bottom && b.top < a.bottom;
}

void D3DColorItem::SetColor(uint32_t rgb) {
  vertex_colors::SetAll<vertex_colors::WithRgb>(std::span(vertices_), rgb);
}

bool D3DColorItem::SetVertexColor(size_t index, uint32_t rgb) {
  return vertex_colors::SetAt<vertex_colors::WithRgb>(std::span(vertices_), index, rgb);
}

void D3DColorItem::SetVertexColors(const std::vector<uint32_t>& rgbs) {
  vertex_colors::SetEach<vertex_colors::WithRgb>(std::span(vertices_), rgbs);
}

void D3DColorItem::SetAlpha(int alpha) {
  vertex_colors::SetAll<vertex_colors::WithAlpha>(std::span(vertices_), alpha);
}

bool D3DColorItem::SetVertexAlpha(size_t index, int alpha) {
  return vertex_colors::SetAt<vertex_colors::WithAlpha>(std::span(vertices_), index, alpha);
}

void D3DColorItem::SetVertexAlphas(const std::vector<int>& alphas) {
  vertex_colors::SetEach<vertex_colors::WithAlpha>(std::span(vertices_), alphas);
}

void D3DColorItem::SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination) {
  blend_[0] = enable, blend_[1] = source, blend_[2] = destination;
}

void D3DColorItem::SetBlendMode(bool additive, int alpha) {
  SetBlendStates(1, kBlendSrcAlpha, additive ? kBlendOne : kBlendInvSrcAlpha);
  SetAlpha(alpha);
}

void D3DColorItem::SetUpColor(uint32_t argb) {
  for (ColorVertex& v : vertices_) v.diffuse = argb;
  if ((argb >> 24) == 0xFF) {
    SetBlendStates(0, kBlendOne, kBlendZero);
  } else {
    SetBlendStates(1, kBlendSrcAlpha, kBlendInvSrcAlpha);
  }
}

int D3DColorItem::Draw(host::MemorySurface*, const Rect*, Direct3DDevice* device) {
  if (!IsEnabled()) return kRenderDone;
  if (!device) return kRenderMissing;
  host::D3dDevice* d3d = device->GetDevice();
  if (!d3d) return kRenderNoDevice;
  // A state the device refuses leaves the one it has.
  (void)device->SetTexture(nullptr);
  if (AppliesStates()) {
    // A state the device refuses leaves the one it has.
    (void)device->SetAlphaBlendEnable(blend_[0]);
    (void)device->SetSrcBlend(blend_[1]);
    (void)device->SetDestBlend(blend_[2]);
  }
  if (d3d->DrawPrimitive(PrimitiveType(), kFvfColored, vertices_.data(), uint32_t(vertices_.size()),
                         0) != host::kDdOk) {
    return kRenderPrimitiveFailed;
  }
  return kRenderDone;
}

D3DRectPrimitive::D3DRectPrimitive() {
  vertices_.resize(4);
}

uint32_t D3DRectPrimitive::PrimitiveType() const {
  return kPrimitiveTriangleStrip;
}

int D3DRectPrimitive::Set(int32_t width, int32_t height, uint32_t argb, int32_t x, int32_t y) {
  SetUpColor(argb);
  SetSizeAndPosition(width, height, x, y);
  return 0;
}

void D3DRectPrimitive::Lay() {
  const float l = float(x_), t = float(y_), r = float(int64_t{x_} + width_),
              b = float(int64_t{y_} + height_);
  vertices_[0].x = l, vertices_[0].y = t;
  vertices_[1].x = r, vertices_[1].y = t;
  vertices_[2].x = l, vertices_[2].y = b;
  vertices_[3].x = r, vertices_[3].y = b;
  int32_t ox, oy;
  AnchorOffset(anchor_, width_, height_, &ox, &oy);
  Turn(&vertices_, angle_, ClampedSum(x_, ox), ClampedSum(y_, oy));
}

void D3DRectPrimitive::SetPosition(int32_t x, int32_t y) {
  x_ = x, y_ = y;
  Lay();
}

void D3DRectPrimitive::SetSize(int32_t width, int32_t height) {
  width_ = width, height_ = height;
  Lay();
}

void D3DRectPrimitive::SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) {
  width_ = width, height_ = height, x_ = x, y_ = y;
  Lay();
}

bool D3DRectPrimitive::GetRect(Rect* out) const {
  *out = {x_, y_, ClampedSum(x_, width_), ClampedSum(y_, height_)};
  return true;
}

void D3DRectPrimitive::SetRotation(int angle, int anchor) {
  angle_ = angle, anchor_ = anchor;
  Lay();
}

void D3DPointsItem::SetPosition(int32_t x, int32_t y) {
  x_ = x, y_ = y;
  Lay();
}

void D3DPointsItem::SetSize(int32_t scale, int32_t) {
  scale_ = scale;
  Lay();
}

void D3DPointsItem::SetSizeAndPosition(int32_t scale, int32_t, int32_t x, int32_t y) {
  scale_ = scale, x_ = x, y_ = y;
  Lay();
}

void D3DPointsItem::Lay() {
  const size_t n = std::min(PointCount(), vertices_.size());
  if (n == 0) return;
  int32_t minX = PointX(0), minY = PointY(0), maxX = minX, maxY = minY;
  for (size_t i = 1; i < n; ++i) {
    minX = std::min(minX, PointX(i)), minY = std::min(minY, PointY(i));
    maxX = std::max(maxX, PointX(i)), maxY = std::max(maxY, PointY(i));
  }
  for (size_t i = 0; i < n; ++i) {
    int64_t px = PointX(i), py = PointY(i);
    if (scale_ != kUnitScale) {
      px = ((px - minX) * scale_) >> 16;
      py = ((py - minY) * scale_) >> 16;
    }
    vertices_[i].x = float(x_ + px);
    vertices_[i].y = float(y_ + py);
  }
  if (!rotated_) return;
  // The box the points span, at its laid-out place.
  const int32_t w = int32_t(((int64_t{maxX} - minX) * scale_) >> 16);
  const int32_t h = int32_t(((int64_t{maxY} - minY) * scale_) >> 16);
  const int32_t left = scale_ != kUnitScale ? x_ : ClampedSum(x_, minX);
  const int32_t top = scale_ != kUnitScale ? y_ : ClampedSum(y_, minY);
  int32_t ox, oy;
  AnchorOffset(anchor_, w, h, &ox, &oy);
  Turn(&vertices_, angle_, ClampedSum(left, ox), ClampedSum(top, oy));
}

D3DTrianglePrimitive::D3DTrianglePrimitive() {
  vertices_.resize(3);
}

uint32_t D3DTrianglePrimitive::PrimitiveType() const {
  return kPrimitiveTriangleList;
}

int D3DTrianglePrimitive::Set(const int32_t xs[3], const int32_t ys[3], uint32_t argb, int32_t x,
                              int32_t y) {
  std::copy(xs, xs + 3, xs_);
  std::copy(ys, ys + 3, ys_);
  SetUpColor(argb);
  SetPosition(x, y);
  return 0;
}

bool D3DTrianglePrimitive::SetPoint(int index, int32_t x, int32_t y) {
  if (index < 0 || index > 2) return false;
  xs_[index] = x, ys_[index] = y;
  Lay();
  return true;
}

void D3DTrianglePrimitive::SetPoints(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                                     int32_t y2) {
  xs_[0] = x0, ys_[0] = y0, xs_[1] = x1, ys_[1] = y1, xs_[2] = x2, ys_[2] = y2;
  Lay();
}

void D3DPolygonPrimitive::Clear() {
  count_ = 0;
  xs_ = ys_ = nullptr;
  ownX_.clear(), ownY_.clear();
  vertices_.clear();
}

int D3DPolygonPrimitive::SetPoints(size_t count, int32_t* xs, int32_t* ys, uint32_t argb,
                                   uint8_t type, bool borrow) {
  if (!xs || !ys || !Global<TrigTables>::Get()) return kPointsBadArgument;
  Clear();
  try {
    vertices_.resize(count);
    if (borrow) {
      // The caller keeps the arrays alive and may change them through SetPoint.
      xs_ = xs, ys_ = ys;
    } else {
      ownX_.assign(xs, xs + count), ownY_.assign(ys, ys + count);
      xs_ = ownX_.data(), ys_ = ownY_.data();
    }
  } catch (const std::bad_alloc&) {
    Clear();
    return kPointsNoMemory;
  }
  count_ = count;
  type_ = type;
  SetUpColor(argb);
  Lay();
  return 0;
}

bool D3DPolygonPrimitive::SetPoint(size_t index, int32_t x, int32_t y) {
  if (index >= count_) return false;
  xs_[index] = x, ys_[index] = y;
  Lay();
  return true;
}

bool D3DPolygonPrimitive::SetLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (count_ < 2) return false;
  xs_[0] = x0, ys_[0] = y0, xs_[1] = x1, ys_[1] = y1;
  Lay();
  return true;
}

void D3DPolygonPrimitive::SetRotation(int angle, int anchor) {
  angle_ = angle, anchor_ = anchor, rotated_ = true;
  Lay();
}

int D3DPolygonPrimitive::Draw(host::MemorySurface* dest, const Rect* clip, Direct3DDevice* device) {
  if (IsEnabled() && count_ == 0) return kRenderMissing;
  return D3DColorItem::Draw(dest, clip, device);
}

int D3DRenderStatePrimitive::Draw(host::MemorySurface*, const Rect*, Direct3DDevice* device) {
  if (!IsEnabled()) return kRenderDone;
  if (!device) return kRenderMissing;
  // Without a device each setter answers that it has none: nothing to set.
  auto set = [&](Byte which, int (Direct3DDevice::*setter)(uint32_t)) {
    if (states_[which] != kKeepState) (device->*setter)(states_[which]);
  };
  set(kCull, &Direct3DDevice::SetCullMode);
  set(kShade, &Direct3DDevice::SetShadeMode);
  set(kColorKey, &Direct3DDevice::SetColorKeyEnable);
  set(kAlphaBlend, &Direct3DDevice::SetAlphaBlendEnable);
  set(kSrcBlend, &Direct3DDevice::SetSrcBlend);
  set(kDestBlend, &Direct3DDevice::SetDestBlend);
  set(kAlphaTest, &Direct3DDevice::SetAlphaTestEnable);
  set(kAlphaRef, &Direct3DDevice::SetAlphaRef);
  set(kAlphaFunc, &Direct3DDevice::SetAlphaFunc);
  return kRenderDone;
}

void BlendStage::Apply(const Bytes& bytes, Direct3DDevice& device, bool keepMarked) {
  // A refused state leaves the device as it was; the drawing goes on.
  auto set = [&](Byte which, int (Direct3DDevice::*setter)(uint32_t)) {
    if (!keepMarked || bytes[which] != kKeepState) (void)(device.*setter)(bytes[which]);
  };
  set(kAlphaBlend, &Direct3DDevice::SetAlphaBlendEnable);
  set(kSrcBlend, &Direct3DDevice::SetSrcBlend);
  set(kDestBlend, &Direct3DDevice::SetDestBlend);
  set(kColorOp, &Direct3DDevice::SetColorOp);
  set(kColorArg1, &Direct3DDevice::SetColorArg1);
  set(kColorArg2, &Direct3DDevice::SetColorArg2);
  set(kAlphaOp, &Direct3DDevice::SetAlphaOp);
  set(kAlphaArg1, &Direct3DDevice::SetAlphaArg1);
  set(kAlphaArg2, &Direct3DDevice::SetAlphaArg2);
}

int D3DBlendStatePrimitive::Draw(host::MemorySurface*, const Rect*, Direct3DDevice* device) {
  if (!IsEnabled()) return kRenderDone;
  if (!device) return kRenderMissing;
  BlendStage::Apply(states_, *device, true);
  // A state the device refuses leaves the one it has.
  if (factor_ != 0xFFFFFFFFu) (void)device->SetTextureFactor(factor_);
  return kRenderDone;
}

}  // namespace bw
