#include "graphics/surface/sprite.h"

#include <algorithm>
#include <cstdint>

#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"

namespace bw {

namespace {

constexpr int kFullTurn = 512;
constexpr int kEighthTurn = 64;
constexpr int kMirrorNibble = 0x0F;
// Left-right, upside down, and the sprite flag of the high nibble.
constexpr int kValidMirrorBits = 0x13;

// The surfaces' mirrored modes for the mirror nibble 1, 2, 3.
int SurfaceMirrorMode(int nibble) {
  return nibble == 1 ? 0 : nibble == 2 ? 1 : 2;
}

// A 32-bit picture is not mirrored: the library renders it into the work surface with the
// nibble as its operation, 0 standing for the plain copy of all four bytes as 1 does, so that a
// zoomed or turned picture keeps its alpha. The flag of the high nibble is carried only.
uint32_t RenderOperation(uint8_t mirror) {
  const uint32_t nibble = mirror & kMirrorNibble;
  return nibble == 0 ? kLibCopy : nibble;
}

bool EnsureWork(std::shared_ptr<ImageSurface>& work, int32_t width, int32_t height, int bits) {
  if (width < 1 || height < 1) return false;
  if (work && work->GetWidth() == width && work->GetHeight() == height &&
      work->GetBitsPerPixel() == bits) {
    return true;
  }
  auto made = std::make_shared<ImageSurface>();
  if (made->Create(width, height, bits, kImagePlain) != kSurfaceDone) return false;
  work = std::move(made);
  return true;
}

}  // namespace

Sprite::Sprite() = default;

Sprite::~Sprite() {
  SetSource(nullptr);
}

void Sprite::SetSource(ImageSurface* surface) {
  if (source_ == surface) return;
  if (source_) source_->RemoveUser(this);
  source_ = surface;
  if (source_) source_->AddUser(this);
}

void Sprite::DetachSurface(const Surface* surface) {
  if (surface != source_) return;
  // The source is going: the sprite keeps its place but shows nothing.
  source_ = nullptr;
  work_.reset();
  borrowed_ = false;
  SetChanged(true);
}

void Sprite::Reset() {
  alpha_ = 255;
  drawMode_ = 0;
  SetSource(nullptr);
  sourceRect_ = {};
  scrollX_ = scrollY_ = 0;
  zoomWidth_ = zoomHeight_ = 0;
  angle_ = 0;
  scale_ = 1.0;
  rotatedX_ = rotatedY_ = rotatedWidth_ = rotatedHeight_ = 0;
  work_.reset();
  borrowed_ = false;
}

int32_t Sprite::ShownWidth() const {
  return zoomWidth_ ? zoomWidth_ : sourceRect_.Width();
}
int32_t Sprite::ShownHeight() const {
  return zoomHeight_ ? zoomHeight_ : sourceRect_.Height();
}

int32_t Sprite::GetWidth() const {
  return placed_.Width();
}
int32_t Sprite::GetHeight() const {
  return placed_.Height();
}

void Sprite::UpdatePlaced() {
  if (rotatedWidth_) {
    const int32_t left = ClampedSum(x_, rotatedX_), top = ClampedSum(y_, rotatedY_);
    placed_ = {left, top, ClampedSum(left, rotatedWidth_), ClampedSum(top, rotatedHeight_)};
  } else {
    placed_ = {x_, y_, ClampedSum(x_, ShownWidth()), ClampedSum(y_, ShownHeight())};
  }
  SetChanged(true);
}

bool Sprite::ClipSource(Rect* rect) const {
  const Rect whole{0, 0, source_->GetWidth(), source_->GetHeight()};
  return IntersectRects(rect, *rect, whole);
}

void Sprite::DropTransforms() {
  zoomWidth_ = zoomHeight_ = 0;
  angle_ = 0;
  scale_ = 1.0;
  rotatedX_ = rotatedY_ = rotatedWidth_ = rotatedHeight_ = 0;
  if (!borrowed_) work_.reset();
}

int Sprite::SetImage(ImageSurface* surface, const Rect* sourceRect, int32_t x, int32_t y) {
  if (!surface || !surface->GetPixels()) return kSpriteNoSurface;
  if (!GetPixelLibrary()) return kSpriteNoLibrary;
  Rect rect = sourceRect ? *sourceRect : Rect{0, 0, surface->GetWidth(), surface->GetHeight()};
  const Rect whole{0, 0, surface->GetWidth(), surface->GetHeight()};
  if (!IntersectRects(&rect, rect, whole)) return kSpriteRectNotClipping;
  if (borrowed_) work_.reset();
  borrowed_ = false;
  DropTransforms();
  SetSource(surface);
  sourceRect_ = rect;
  scrollX_ = scrollY_ = 0;
  if (surface->HasAlpha()) drawMode_ = kLibAlpha;
  anchorX_ = rect.Width() / 2;
  anchorY_ = rect.Height() / 2;
  x_ = x;
  y_ = y;
  UpdatePlaced();
  return kSpriteDone;
}

int Sprite::ReplaceSurface(ImageSurface* surface) {
  if (!surface || !surface->GetPixels() || !source_) return kSpriteNoSurface;
  const bool keep = surface->GetBitsPerPixel() == source_->GetBitsPerPixel() && !borrowed_;
  if (!keep) {
    borrowed_ = false;
    DropTransforms();
  }
  SetSource(surface);
  // A sprite that cannot take it is shown as it was.
  if (keep) (void)Rerender();
  UpdatePlaced();
  return kSpriteDone;
}

int Sprite::Rerender() {
  if (rotatedWidth_) return RenderRotation(0);
  if (zoomWidth_) return RenderZoom();
  return kSpriteDone;
}

int Sprite::SetSourceRect(const Rect* rect) {
  if (!source_ || borrowed_) return kSpriteBorrowed;
  Rect r = rect ? *rect : Rect{0, 0, source_->GetWidth(), source_->GetHeight()};
  if (r == sourceRect_) return kSpriteDone;
  if (!ClipSource(&r)) return kSpriteRectRefused;
  sourceRect_ = r;
  scrollX_ = scrollY_ = 0;
  anchorX_ = r.Width() / 2;
  anchorY_ = r.Height() / 2;
  int result = kSpriteDone;
  if (rotatedWidth_) {
    result = RenderRotation(0);
  } else if (zoomWidth_ && RenderZoom() != kSpriteDone) {
    result = kSpriteRenderFailed;
  }
  UpdatePlaced();
  return result;
}

int Sprite::ScrollSource(int32_t x, int32_t y) {
  if (!source_) return kSpriteNoSurface;
  const int64_t dx = int64_t{x} - scrollX_, dy = int64_t{y} - scrollY_;
  sourceRect_ = {ClampedSum(sourceRect_.left, dx), ClampedSum(sourceRect_.top, dy),
                 ClampedSum(sourceRect_.right, dx), ClampedSum(sourceRect_.bottom, dy)};
  scrollX_ = x;
  scrollY_ = y;
  const int result = Rerender();
  SetChanged(true);
  return result;
}

int Sprite::SetDrawMode(int mode) {
  if (mode < 0 || mode > kMaxDrawMode) return 1;
  if (mode == drawMode_) return 0;
  drawMode_ = uint8_t(mode);
  SetChanged(true);
  return 0;
}

int Sprite::RenderZoom() {
  if (!source_) return kSpriteNoSurface;
  const int bits = source_->GetBitsPerPixel();
  const int nibble = mirror_ & kMirrorNibble;
  if (!EnsureWork(work_, zoomWidth_, zoomHeight_, bits)) return kSpriteNoSurface;
  const Size size{zoomWidth_, zoomHeight_};
  if (bits == 32) {
    const uint32_t operation = RenderOperation(mirror_);
    // A blend lands on a clear picture, as a turned one does, not on the last rendering.
    // A surface without pixels, or an area that misses it, is left as it is.
    if (operation != kLibCopy) (void)work_->Fill(0, nullptr);
    PixelLibrary* library = GetPixelLibrary();
    auto stretch = library ? library->Get<StretchRoutine>(kLibStretch) : nullptr;
    if (!stretch ||
        stretch(work_.get(), source_, &size, 0, 0, &sourceRect_, operation, 0, 255, 0) != 0) {
      return kSpriteNoSurface;
    }
    return kSpriteDone;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work_->CopyPaletteFrom(source_);
  if (nibble == 0) {
    // The key would leave holes in the work surface: copy everything.
    const int result = surface_ops::CopyWithoutKey(work_.get(), source_, &size, 0, 0, &sourceRect_);
    return result == ImageSurface::kOpDone ? kSpriteDone : kSpriteRenderFailed;
  }
  return work_->StretchBlitMirrored(SurfaceMirrorMode(nibble), source_, &size, 0, 0,
                                    &sourceRect_) == ImageSurface::kOpDone
             ? kSpriteDone
             : kSpriteNoLibrary;
}

int Sprite::SetZoom(int32_t width, int32_t height) {
  if (!source_) return kSpriteNoSurface;
  if (width < 1 || height < 1) {
    zoomWidth_ = zoomHeight_ = 0;
    if (!rotatedWidth_ && !borrowed_) work_.reset();
    UpdatePlaced();
    return kSpriteDone;
  }
  if (borrowed_) {
    work_.reset();
    borrowed_ = false;
  }
  zoomWidth_ = width;
  zoomHeight_ = height;
  rotatedX_ = rotatedY_ = rotatedWidth_ = rotatedHeight_ = 0;
  const int result = RenderZoom();
  if (result != kSpriteDone) {
    zoomWidth_ = zoomHeight_ = 0;
    work_.reset();
  }
  UpdatePlaced();
  return result;
}

bool Sprite::SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) {
  bool changed = false;
  if (width != zoomWidth_ || height != zoomHeight_) changed = SetZoom(width, height) == kSpriteDone;
  return SetPos(x, y) || changed;
}

int Sprite::RenderRotation(uint32_t fill) {
  if (!source_ || source_->GetBitsPerPixel() != 32) return kSpriteNoSurface;
  int32_t boxWidth = 0, boxHeight = 0, boxX = 0, boxY = 0;
  const RotatedBox box{&boxWidth, &boxHeight, &boxX, &boxY};
  if (!ComputeRotatedBounds(&corners_, 0, 0, angle_, scale_, sourceRect_.Width(),
                            sourceRect_.Height(), anchorX_, anchorY_, box)) {
    return kSpriteRenderFailed;
  }
  if (borrowed_) {
    work_.reset();
    borrowed_ = false;
  }
  // A work surface made for any angle stays when the box fits in it.
  if (!(work_ && work_->GetBitsPerPixel() == 32 && work_->GetWidth() >= boxWidth &&
        work_->GetHeight() >= boxHeight) &&
      !EnsureWork(work_, std::max(boxWidth, 1), std::max(boxHeight, 1), 32)) {
    return kSpriteNoSurface;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work_->Fill(fill, nullptr);
  const LibPoint points[3] = {{corners_.point[0].x, corners_.point[0].y},
                              {corners_.point[1].x, corners_.point[1].y},
                              {corners_.point[2].x, corners_.point[2].y}};
  const uint32_t extras[4] = {};
  PixelLibrary* library = GetPixelLibrary();
  auto affine = library ? library->Get<AffineRoutine>(kLibAffine) : nullptr;
  if (!affine || affine(work_.get(), source_, points, &sourceRect_, RenderOperation(mirror_), 0,
                        255, extras) != 0) {
    return kSpriteRenderFailed;
  }
  rotatedX_ = boxX;
  rotatedY_ = boxY;
  rotatedWidth_ = std::max(boxWidth, 1);
  rotatedHeight_ = std::max(boxHeight, 1);
  return kSpriteDone;
}

int Sprite::SetRotation(int angle, double scale, uint32_t fill) {
  if (!source_) return kSpriteNoSurface;
  if (source_->GetBitsPerPixel() != 32) return kSpriteNoSurface;
  if (rotatedWidth_ && angle == angle_ && scale == scale_) return kSpriteDone;
  if (angle % kFullTurn == 0 && scale == 1.0) {
    rotatedX_ = rotatedY_ = rotatedWidth_ = rotatedHeight_ = 0;
    angle_ = 0;
    scale_ = 1.0;
    if (!zoomWidth_ && !borrowed_) work_.reset();
    UpdatePlaced();
    return kSpriteDone;
  }
  zoomWidth_ = zoomHeight_ = 0;
  angle_ = angle;
  scale_ = scale;
  const int result = RenderRotation(fill);
  if (result != kSpriteDone) {
    angle_ = 0;
    scale_ = 1.0;
    rotatedX_ = rotatedY_ = rotatedWidth_ = rotatedHeight_ = 0;
    work_.reset();
  }
  UpdatePlaced();
  return result;
}

int Sprite::CreateRotationWorkSurface(double scale) {
  if (!source_ || source_->GetBitsPerPixel() != 32) return kSpriteNoSurface;
  RotatedCorners corners{};
  int32_t boxWidth = 0, boxHeight = 0;
  const RotatedBox box{&boxWidth, &boxHeight, nullptr, nullptr};
  if (!ComputeRotatedBounds(&corners, 0, 0, kEighthTurn, scale, sourceRect_.Width(),
                            sourceRect_.Height(), anchorX_, anchorY_, box)) {
    return kSpriteRenderFailed;
  }
  // The box and its margin must still fit 32 bits.
  if (boxWidth == INT32_MAX || boxHeight == INT32_MAX) return kSpriteRenderFailed;
  if (borrowed_) work_.reset(), borrowed_ = false;
  return EnsureWork(work_, boxWidth + 1, boxHeight + 1, 32) ? kSpriteDone : kSpriteNoSurface;
}

int Sprite::CreateWorkSurface(int32_t width, int32_t height) {
  if (!source_) return kSpriteNoSurface;
  if (borrowed_) work_.reset(), borrowed_ = false;
  return EnsureWork(work_, width, height, source_->GetBitsPerPixel()) ? kSpriteDone
                                                                      : kSpriteNoSurface;
}

void Sprite::ReleaseWorkSurface() {
  const bool transformed = rotatedWidth_ || zoomWidth_;
  borrowed_ = false;
  DropTransforms();
  work_.reset();
  if (transformed) UpdatePlaced();
}

bool Sprite::SetAnchor(int mode, int32_t x, int32_t y) {
  if (!source_ || borrowed_) return false;
  const double w = ShownWidth(), h = ShownHeight();
  double ax = x, ay = y;
  switch (mode) {
    case kAnchorTopLeft:
      ax = 0, ay = 0;
      break;
    case kAnchorTopRight:
      ax = w, ay = 0;
      break;
    case kAnchorBottomLeft:
      ax = 0, ay = h;
      break;
    case kAnchorBottomRight:
      ax = w, ay = h;
      break;
    case kAnchorCentre:
      ax = int32_t(w) / 2, ay = int32_t(h) / 2;
      break;
    default:
      break;
  }
  if (ax == anchorX_ && ay == anchorY_) return false;
  anchorX_ = ax;
  anchorY_ = ay;
  if (rotatedWidth_) {
    // A sprite that cannot take it is shown as it was.
    (void)RenderRotation(0);
    UpdatePlaced();
  }
  return true;
}

int Sprite::SetMirrorMode(int mode) {
  if (borrowed_ || mode == mirror_) return 0;
  if ((mode & ~kValidMirrorBits) != 0) return 0;
  mirror_ = uint8_t(mode);
  // A sprite that cannot take it is shown as it was.
  (void)Rerender();
  SetChanged(true);
  return 1;
}

bool Sprite::Refresh(const Rect* rect) {
  if (rotatedWidth_ || zoomWidth_) {
    // A sprite that cannot take it is shown as it was.
    (void)Rerender();
    SetChanged(true);
    return true;
  }
  return InvalidatePart(rect, ShownWidth(), ShownHeight());
}

bool Sprite::HitTest(int32_t x, int32_t y, bool testPixel) const {
  if (x < placed_.left || x >= placed_.right || y < placed_.top || y >= placed_.bottom) {
    return false;
  }
  if (!testPixel) return true;
  const ImageSurface* picture = (rotatedWidth_ || zoomWidth_) ? work_.get() : source_;
  if (!picture) return false;
  int32_t px = x - placed_.left, py = y - placed_.top;
  if (!rotatedWidth_ && !zoomWidth_) px += sourceRect_.left, py += sourceRect_.top;
  const uint32_t pixel = picture->GetPixel(px, py);
  if (pixel == kNoPixel) return false;
  const uint32_t key = picture->GetColorKey();
  if (picture->GetBitsPerPixel() == 32) {
    if (key != kNoColorKey) return (pixel & 0xFFFFFF) != (key & 0xFFFFFF);
    return (pixel >> 24) != 0;
  }
  return key == kNoColorKey || pixel != key;
}

void Sprite::CopyStateFrom(const Sprite& other) {
  SetSource(other.source_);
  work_ = other.work_;
  borrowed_ = work_ != nullptr;
  sourceRect_ = other.sourceRect_;
  scrollX_ = other.scrollX_;
  scrollY_ = other.scrollY_;
  zoomWidth_ = other.zoomWidth_;
  zoomHeight_ = other.zoomHeight_;
  angle_ = other.angle_;
  scale_ = other.scale_;
  anchorX_ = other.anchorX_;
  anchorY_ = other.anchorY_;
  rotatedX_ = other.rotatedX_;
  rotatedY_ = other.rotatedY_;
  rotatedWidth_ = other.rotatedWidth_;
  rotatedHeight_ = other.rotatedHeight_;
  mirror_ = other.mirror_;
  corners_ = other.corners_;
  drawMode_ = other.drawMode_;
  alpha_ = other.alpha_;
  visible_ = other.visible_;
  x_ = other.x_;
  y_ = other.y_;
  UpdatePlaced();
}

void Sprite::CopyFrom(const Sprite& other) {
  if (DisplayObjectList* list = GetOwnerList()) list->Remove(this);
  CopyStateFrom(other);
  tag_ = other.tag_;
  borrowed_ = false;
  if (other.work_) {
    auto copy = std::make_shared<ImageSurface>();
    if (copy->CopyFrom(other.work_.get(), kCopyToHeap) == kSurfaceDone) {
      work_ = std::move(copy);
    } else {
      work_.reset();
      DropTransforms();
      UpdatePlaced();
    }
  }
}

void Sprite::SyncWithSource(bool clearSourceDirty) {
  if (!source_ || !source_->IsChanged()) return;
  if (const DirtyRectList* dirty = source_->GetActiveDirtyList(); dirty && dirty->Head()) {
    const RectNode* node = dirty->Head();
    do {
      Rect r = node->rect;
      if (IntersectRects(&r, r, sourceRect_)) {
        InvalidateInOwner({r.left - sourceRect_.left + x_, r.top - sourceRect_.top + y_,
                           r.right - sourceRect_.left + x_, r.bottom - sourceRect_.top + y_});
      }
      node = node->next;
    } while (node != dirty->Head());
    if (clearSourceDirty) source_->GetActiveDirtyList()->Clear();
  }
  if (clearSourceDirty) source_->SetChanged(false);
}

int Sprite::DrawOver(ImageSurface* target) {
  Rect ignored;
  const bool changed = IsChanged();
  const int result = DrawInto(target, &ignored);
  SetChanged(changed);
  return result;
}

int Sprite::DrawInto(ImageSurface* target, Rect* out) {
  if (out) out->left = DisplayObjectList::kNoRect;
  if (!target) return kDrawNoTarget;
  Rect clip;
  target->GetClipRect(&clip);
  const int result = Draw(target, clip);
  if (result == kDrawDone && out) {
    Rect drawn = placed_;
    if (target->ClipToClipRect(&drawn)) *out = drawn;
  }
  return result;
}

int Sprite::Draw(ImageSurface* target, const Rect& clip) {
  if (!visible_ || alpha_ == 0) return kDrawDone;
  if (!target || !source_) return kDrawNoTarget;
  const ImageSurface* picture = source_;
  Rect from = sourceRect_;
  if (rotatedWidth_ || zoomWidth_) {
    if (!work_) return kDrawNothing;
    picture = work_.get();
    from = rotatedWidth_ ? Rect{0, 0, rotatedWidth_, rotatedHeight_}
                         : Rect{0, 0, zoomWidth_, zoomHeight_};
  }
  Rect to = placed_;
  if (!IntersectRects(&to, to, clip)) return kDrawDone;
  from = {from.left + to.left - placed_.left, from.top + to.top - placed_.top,
          from.left + to.right - placed_.left, from.top + to.bottom - placed_.top};
  const int32_t x = to.left, y = to.top;
  int result = ImageSurface::kOpDone;
  if (picture->GetBitsPerPixel() == 32 && picture->GetColorKey() == kNoColorKey) {
    PixelLibrary* library = GetPixelLibrary();
    auto blend = library ? library->Get<BlendRoutine>(kLibBlend) : nullptr;
    if (!blend) return kDrawFailed;
    if (blend(target, picture, x, y, &from, drawMode_, alpha_, 0) != 0) return kDrawFailed;
    if (const Rect* touched = library->Touched(); touched && !touched->IsEmpty()) {
      target->MarkDirty(*touched);
    }
    target->SetChanged(true);
    return kDrawDone;
  }
  if (picture->GetBitsPerPixel() == 32) {
    const bool opaque = alpha_ == 255;
    switch (drawMode_) {
      case kLibOpacity:
        result = opaque ? target->Blit(picture, x, y, &from, false)
                        : target->OpacityBlit(picture, alpha_, x, y, &from);
        break;
      case kLibAlpha:
        result = opaque ? target->AlphaBlit(picture, x, y, &from, false)
                        : target->AlphaOpacityBlit(0, picture, alpha_, x, y, &from);
        break;
      case kLibAdd:
        result = opaque ? target->BlendBlit(1, picture, x, y, &from)
                        : target->AddBlit(picture, alpha_, x, y, &from);
        break;
      case kLibSubtract:
        result = opaque ? target->BlendBlit(2, picture, x, y, &from)
                        : target->SubtractBlit(picture, alpha_, x, y, &from);
        break;
      default:
        return kDrawNothing;
    }
  } else {
    result = target->Blit(picture, x, y, &from, false);
  }
  return result == ImageSurface::kOpDone ? kDrawDone : kDrawFailed;
}

}  // namespace bw
