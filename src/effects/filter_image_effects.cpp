#include "effects/filter_image_effects.h"

#include <algorithm>
#include <new>

#include "common/global.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "platform/trig_tables.h"

namespace bw {

namespace {

constexpr int kNoTrigTables = 5;
constexpr int32_t kTurn = 512;
constexpr int32_t kFadeEnd = 255;
constexpr int kTrailOpacity = 16;
constexpr int kZoomTrailOpacity = 8;

template <typename T>
std::unique_ptr<FilterEffect> Make() {
  return std::make_unique<T>();
}

Rect AreaRect(const FilterDrawRequest& a) {
  return {a.targetX, a.targetY, a.targetX + a.width, a.targetY + a.height};
}

// Stretches from (a rectangle of source) over to (a rectangle of the target); an empty side
// draws nothing.
bool StretchInto(ImageSurface* target, const ImageSurface* source, const Rect& from, const Rect& to,
                 uint32_t operation, int opacity, uint32_t extra) {
  if (from.Width() <= 0 || from.Height() <= 0 || to.Width() <= 0 || to.Height() <= 0) return true;
  auto stretch = DrawingLibrary().Get<StretchRoutine>(kLibStretch);
  const Size size{to.Width(), to.Height()};
  return stretch &&
         stretch(target, source, &size, to.left, to.top, &from, operation, extra, opacity, 0) == 0;
}

// A plain copy of the area from (x, y) of source.
bool CopyInto(ImageSurface* target, const ImageSurface* source, const Rect& from, int32_t toX,
              int32_t toY) {
  return surface_ops::CopyWithoutKey(target, source, nullptr, toX, toY, &from) ==
         ImageSurface::kOpDone;
}
bool CopyInto(const FilterDrawRequest& a, const ImageSurface* source, int32_t x, int32_t y) {
  return CopyInto(a.target, source, {x, y, x + a.width, y + a.height}, a.targetX, a.targetY);
}

// The centred part of a picture at scale / 256, at least one pixel each way.
Rect CentredPart(const ImageSurface& picture, int32_t scale) {
  const int64_t w = std::max<int64_t>(1, int64_t{scale} * picture.GetWidth() >> 8);
  const int64_t h = std::max<int64_t>(1, int64_t{scale} * picture.GetHeight() >> 8);
  const int32_t x = int32_t((picture.GetWidth() - w) / 2),
                y = int32_t((picture.GetHeight() - h) / 2);
  return {x, y, x + int32_t(w), y + int32_t(h)};
}

Rect Whole(const ImageSurface& picture) {
  return {0, 0, picture.GetWidth(), picture.GetHeight()};
}

int Drawn(bool ok) {
  return ok ? kFilterDrawn : kFilterPixelRoutineFailed;
}

}  // namespace

int ImageFilter::SetUp(SurfaceLayer* target, ArgWords args) {
  if (target == nullptr || args.Empty() || target->GetImage() == nullptr)
    return kFilterBadArguments;
  try {
    if (target->GetImage()->GetBitsPerPixel() != 32) throw kFilterUnsuitableSurface;
    durationMs = args.Uint(0);
    if (durationMs == 0) throw kFilterBadArguments;
    ReadArguments(*target->GetImage(), args.From(1));
    firstUpdate_ = true;
    progress_ = 0;
    return kFilterSetUpDone;
  } catch (int code) {
    return code;
  } catch (...) {
    return kFilterSetUpFailed;
  }
}

int ImageFilter::Advance(uint32_t nowMs) {
  if (firstUpdate_) {
    firstUpdate_ = false;
    startMs_ = nowMs;
    progress_ = 0;
    return 0;
  }
  const int64_t scaled = int64_t{nowMs - startMs_} * endProgress_ / durationMs;
  progress_ = int32_t(std::min<int64_t>(scaled, endProgress_));
  return 0;
}

SubtractiveRandom* QuakeFilter::random_ = nullptr;

std::unique_ptr<FilterEffect> QuakeFilter::Create(uint32_t) {
  return Make<QuakeFilter>();
}

int QuakeFilter::SetUp(SurfaceLayer* target, ArgWords args) {
  if (target == nullptr || args.Empty() || target->GetImage() == nullptr)
    return kFilterBadArguments;
  if (target->GetImage()->GetBitsPerPixel() != 32) return kFilterUnsuitableSurface;
  if (random_ == nullptr) return kFilterNoRandomSource;
  shake_.Read(args);
  durationMs = shake_.durationMs;
  clearBorder_ = args.Int(5) != 0;
  finished_ = false;
  dx_ = dy_ = 0;
  return kFilterSetUpDone;
}

int QuakeFilter::Advance(uint32_t nowMs) {
  if (finished_ || random_ == nullptr) return 0;
  if (!shake_.Step(nowMs, *random_, &dx_, &dy_)) {
    finished_ = true;
    dx_ = dy_ = 0;
  }
  return 0;
}

int QuakeFilter::Draw(const FilterDrawRequest& request) {
  FilterDrawRequest a = request;
  if (int code = PrepareDrawArea(a, false); code != kNamedDrawGo) return code;
  // The part of the area that the picture, moved by (-dx, -dy), still covers.
  const int64_t srcLeft = int64_t{a.oldX} + dx_, srcTop = int64_t{a.oldY} + dy_;
  const int64_t left = std::max<int64_t>(0, -srcLeft);
  const int64_t top = std::max<int64_t>(0, -srcTop);
  const int64_t right = std::min<int64_t>(a.width, a.oldImage->GetWidth() - srcLeft);
  const int64_t bottom = std::min<int64_t>(a.height, a.oldImage->GetHeight() - srcTop);
  const Rect area = AreaRect(a);
  Rect covered{area.left, area.top, area.left, area.top};
  bool ok = true;
  if (left < right && top < bottom) {
    covered = {a.targetX + int32_t(left), a.targetY + int32_t(top), a.targetX + int32_t(right),
               a.targetY + int32_t(bottom)};
    const Rect from{int32_t(srcLeft + left), int32_t(srcTop + top), int32_t(srcLeft + right),
                    int32_t(srcTop + bottom)};
    ok = CopyInto(a.target, a.oldImage, from, covered.left, covered.top);
  }
  if (clearBorder_) {
    auto fill = DrawingLibrary().Get<Fill32Routine>(kLibFill32);
    const Rect strips[4] = {{area.left, area.top, area.right, covered.top},
                            {area.left, covered.bottom, area.right, area.bottom},
                            {area.left, covered.top, covered.left, covered.bottom},
                            {covered.right, covered.top, area.right, covered.bottom}};
    for (const Rect& strip : strips) {
      if (strip.Width() > 0 && strip.Height() > 0) ok = ok && fill && fill(a.target, 0, &strip);
    }
  }
  return Drawn(ok);
}

std::unique_ptr<FilterEffect> ZoomflipFilter::Create(uint32_t) {
  return Make<ZoomflipFilter>();
}

void ZoomflipFilter::ReadArguments(const ImageSurface& picture, ArgWords words) {
  const uint32_t mode = words.Uint(0);
  // A mode above 6 would end without ever drawing.
  if (mode >= kZoomflipModes) throw kFilterBadArguments;
  mode_ = int(mode);
  extra_ = words.Uint(1) & 0xFF;
  static constexpr int32_t kFixedEnds[kZoomflipModes] = {0, 0, 0, 0, 512, 512, 256};
  endProgress_ = mode_ == 0 || mode_ == 2   ? picture.GetWidth()
                 : mode_ == 1 || mode_ == 3 ? picture.GetHeight()
                                            : kFixedEnds[mode_];
  drawnProgress_ = -1;
}

int ZoomflipFilter::Draw(const FilterDrawRequest& request) {
  FilterDrawRequest a = request;
  if (int code = PrepareDrawArea(a, true); code != kNamedDrawGo) return code;
  const ImageSurface& from = *a.oldImage;
  const ImageSurface& to = *a.newImage;
  const Rect area = AreaRect(a);
  const uint32_t copy = LibraryOperation(kLibCopy);
  const int32_t p = progress_;
  bool ok = true;
  if (mode_ <= 3) {
    const bool vertical = mode_ == 1 || mode_ == 3;
    const int32_t strip = std::clamp(p, 0, vertical ? a.height : a.width);
    Rect fresh = area, rest = area;
    switch (mode_) {
      case 0:
        fresh.right = area.left + strip, rest.left = fresh.right;
        break;
      case 1:
        fresh.bottom = area.top + strip, rest.top = fresh.bottom;
        break;
      case 2:
        fresh.left = area.right - strip, rest.right = fresh.left;
        break;
      default:
        fresh.top = area.bottom - strip, rest.bottom = fresh.top;
        break;
    }
    ok = StretchInto(a.target, &to, Whole(to), fresh, copy, 255, extra_) &&
         StretchInto(a.target, &from, Whole(from), rest, copy, 255, extra_);
    return Drawn(ok);
  }
  if (mode_ == 6) {
    if (p < kFadeEnd) ok = CopyInto(a, &from, a.oldX, a.oldY);
    const uint32_t operation = LibraryOperation(p >= kFadeEnd ? kLibCopy : kLibOpacity);
    if (p > 0)
      ok = ok && StretchInto(a.target, &to, CentredPart(to, p), area, operation,
                             std::min(p, kFadeEnd), extra_);
    return Drawn(ok);
  }
  if (mode_ == 5 && p == drawnProgress_) return kFilterDrawn;
  const bool trail = mode_ == 5 && drawnProgress_ >= 0;
  drawnProgress_ = p;
  const bool zoomIn = p <= 256;
  const ImageSurface& picture = zoomIn ? from : to;
  const int32_t scale = zoomIn ? std::max(256 - p, 1) : p - 256;
  ok = StretchInto(a.target, &picture, CentredPart(picture, scale), area,
                   trail ? LibraryOperation(kLibOpacity) : copy, trail ? kZoomTrailOpacity : 255,
                   extra_);
  return Drawn(ok);
}

std::unique_ptr<FilterEffect> RotcenterFilter::Create(uint32_t) {
  return Make<RotcenterFilter>();
}

void RotcenterFilter::ReadArguments(const ImageSurface&, ArgWords words) {
  TrigTables* trig = Global<TrigTables>::Get();
  if (trig == nullptr || !trig->EnsureCosineDoubles()) throw kNoTrigTables;
  mode_ = int(words.Uint(0) & 0xFF);
  extra_ = words.Uint(1) & 0xFF;
  endProgress_ = kTurn;
  drawnProgress_ = -1;
}

int RotcenterFilter::Draw(const FilterDrawRequest& request) {
  FilterDrawRequest a = request;
  if (int code = PrepareDrawArea(a, true); code != kNamedDrawGo) return code;
  const TrigTables* trig = Global<TrigTables>::Get();
  const double* table = trig ? trig->CosineDoubles() : nullptr;
  if (table == nullptr) return kFilterPixelRoutineFailed;
  const bool awayOld = mode_ == 1;
  const int32_t p = awayOld ? kTurn - progress_ : progress_;
  if (mode_ == 2 && progress_ == drawnProgress_) return kFilterDrawn;
  const bool trail = mode_ == 2 && drawnProgress_ >= 0;
  drawnProgress_ = progress_;
  const ImageSurface* background = awayOld ? a.newImage : a.oldImage;
  const ImageSurface* turning = awayOld ? a.oldImage : a.newImage;
  bool ok = true;
  if (!trail) {
    ok = CopyInto(a, background, awayOld ? a.newX : a.oldX, awayOld ? a.newY : a.oldY);
  }
  const int64_t w = int64_t{turning->GetWidth()} * p / kTurn;
  const int64_t h = int64_t{turning->GetHeight()} * p / kTurn;
  if (!ok || w <= 1 || h <= 1) return Drawn(ok);
  const double c = table[p & (kTurn - 1)], s = table[(p - 128) & (kTurn - 1)];
  const double cx = a.targetX + a.width / 2.0, cy = a.targetY + a.height / 2.0;
  auto turn = [&](double dx, double dy) {
    return LibPoint{c * dx - s * dy + cx, s * dx + c * dy + cy};
  };
  const double hw = double(w) / 2, hh = double(h) / 2;
  const LibPoint corners[3] = {turn(-hw, -hh), turn(hw, -hh), turn(-hw, hh)};
  auto affine = DrawingLibrary().Get<AffineRoutine>(kLibAffine);
  if (affine == nullptr) return kFilterPixelRoutineFailed;
  const uint32_t extras[4] = {};
  const Rect area = AreaRect(a);
  if (!trail) {
    return Drawn(affine(a.target, turning, corners, nullptr, LibraryOperation(kLibCopy), extra_,
                        255, extras) == 0);
  }
  // The trail: the turned picture drawn into a copy of what is there, then laid over faintly.
  ImageSurface scratch;
  if (scratch.Create(a.target->GetWidth(), a.target->GetHeight(), 32, kImagePlain) != 0) {
    return kFilterPixelRoutineFailed;
  }
  ok = CopyInto(&scratch, a.target, area, area.left, area.top) &&
       affine(&scratch, turning, corners, nullptr, LibraryOperation(kLibCopy), extra_, 255,
              extras) == 0 &&
       StretchInto(a.target, &scratch, area, area, LibraryOperation(kLibOpacity), kTrailOpacity, 0);
  return Drawn(ok);
}

std::unique_ptr<FilterEffect> AddsubFilter::Create(uint32_t) {
  return Make<AddsubFilter>();
}

void AddsubFilter::ReadArguments(const ImageSurface&, ArgWords words) {
  mode_ = words.Uint(0);
  endProgress_ = kFadeEnd;
}

int AddsubFilter::Advance(uint32_t nowMs) {
  if (firstUpdate_) return ImageFilter::Advance(nowMs);
  const int64_t level = int64_t{nowMs - startMs_} * kFadeEnd / durationMs;
  progress_ = int32_t(std::min<int64_t>(level, kFadeEnd));
  return 0;
}

int AddsubFilter::Draw(const FilterDrawRequest& request) {
  FilterDrawRequest a = request;
  if (int code = PrepareDrawArea(a, true); code != kNamedDrawGo) return code;
  if (progress_ >= kFadeEnd) return Drawn(CopyInto(a, a.newImage, a.newX, a.newY));
  const bool towardNew = (mode_ & 1) != 0;
  const int level = towardNew ? kFadeEnd - progress_ : progress_;
  bool ok =
      towardNew ? CopyInto(a, a.newImage, a.newX, a.newY) : CopyInto(a, a.oldImage, a.oldX, a.oldY);
  const Rect area = AreaRect(a);
  if (ok) {
    ok = (mode_ >= 2 ? a.target->SubtractColor(level, level, level, &area)
                     : a.target->AddColor(level, level, level, &area)) == ImageSurface::kOpDone;
  }
  return Drawn(ok);
}

std::unique_ptr<FilterEffect> HblurFilter::Create(uint32_t) {
  return Make<HblurFilter>();
}

void HblurFilter::ReadArguments(const ImageSurface&, ArgWords words) {
  mode_ = words.Int(0);
  radius_ = std::clamp(words.Int(1), 1, kBlurMaxRadius);
  endProgress_ = mode_ == 0 ? 2 * radius_ + 1 : kFadeEnd;
}

int HblurFilter::Draw(const FilterDrawRequest& request) {
  FilterDrawRequest a = request;
  if (int code = PrepareDrawArea(a, true); code != kNamedDrawGo) return code;
  const int32_t p = progress_;
  const Rect oldPart{a.oldX, a.oldY, a.oldX + a.width, a.oldY + a.height};
  const Rect newPart{a.newX, a.newY, a.newX + a.width, a.newY + a.height};
  auto blur = [&](const ImageSurface* source, const Rect& part, int level, int opacity) {
    if (level == 0) return CopyInto(a, source, part.left, part.top);
    return a.target->BlurBlit(source, level, opacity, a.targetX, a.targetY, &part) ==
           ImageSurface::kOpDone;
  };
  if (mode_ == 0) {
    return Drawn(p <= radius_ ? blur(a.oldImage, oldPart, p, 255)
                              : blur(a.newImage, newPart, 2 * radius_ + 1 - p, 255));
  }
  const int level = p < 128 ? radius_ * p / 127 : radius_ * (kFadeEnd - p) / 127;
  if (level == 0) {
    auto crossfade = DrawingLibrary().Get<CrossfadeRoutine>(kLibCrossfade);
    const LibArea area{a.targetX, a.targetY, a.width, a.height, a.oldX, a.oldY, a.newX, a.newY};
    return Drawn(crossfade && crossfade(a.target, a.oldImage, a.newImage, p, 0, area) == 0);
  }
  if (p >= kFadeEnd) return Drawn(blur(a.newImage, newPart, level, 255));
  return Drawn(CopyInto(a, a.oldImage, a.oldX, a.oldY) && blur(a.newImage, newPart, level, p));
}

}  // namespace bw
