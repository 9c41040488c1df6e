#include "effects/transitions/named_transitions.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "common/global.h"
#include "effects/transitions/transition_dispatch.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/quad_mapper.h"
#include "platform/trig_tables.h"

namespace bw {

const PixelLibrary& DrawingLibrary() {
  const PixelLibrary* published = GetPixelLibrary();
  return published ? *published : BuiltInPixelLibrary();
}

namespace {

template <typename Routine>
Routine LibraryRoutine(int position) {
  return DrawingLibrary().Get<Routine>(position);
}

// One surface the area lies in, and the area's point in it.
struct Placed {
  const ImageSurface* surface;
  int32_t* x;
  int32_t* y;
};

// Cuts the area to every surface (a negative point moves every point with it); false when
// nothing is left.
bool ClipToSurfaces(TransitionDrawArea& a, std::initializer_list<Placed> placed, int32_t* ruleX,
                    int32_t* ruleY) {
  int64_t w = a.width, h = a.height;
  for (const Placed& p : placed) {
    const int64_t dx = std::max<int64_t>(0, -int64_t{*p.x});
    const int64_t dy = std::max<int64_t>(0, -int64_t{*p.y});
    if (dx || dy) {
      for (const Placed& q : placed) *q.x += int32_t(dx), *q.y += int32_t(dy);
      a.areaX += int32_t(dx), a.areaY += int32_t(dy);
      if (ruleX) *ruleX += int32_t(dx), *ruleY += int32_t(dy);
      w -= dx, h -= dy;
    }
  }
  for (const Placed& p : placed) {
    w = std::min<int64_t>(w, int64_t{p.surface->GetWidth()} - *p.x);
    h = std::min<int64_t>(h, int64_t{p.surface->GetHeight()} - *p.y);
  }
  if (w <= 0 || h <= 0) return false;
  a.width = int32_t(w), a.height = int32_t(h);
  return true;
}

bool Has32(const ImageSurface* s) {
  return s->GetPixels() && s->GetBitsPerPixel() == 32;
}

// kContinue, or the answer for missing pictures or pictures not at 32 bits.
constexpr int kContinue = kNamedDrawGo;
int CheckPictures(std::initializer_list<const ImageSurface*> pictures) {
  for (const ImageSurface* s : pictures) {
    if (!s || !s->GetPixels()) return kNamedDrawBadArgument;
  }
  for (const ImageSurface* s : pictures) {
    if (!Has32(s)) return kNamedDrawUnsuitable;
  }
  return kContinue;
}

// The area with both pictures, cut; kContinue when something is left to draw.
int Prepare(TransitionDrawArea& a, bool needsNew) {
  const int checked = needsNew ? CheckPictures({a.target, a.oldImage, a.newImage})
                               : CheckPictures({a.target, a.oldImage});
  if (checked != kContinue) return checked;
  bool left =
      needsNew
          ? ClipToSurfaces(a,
                           {{a.target, &a.targetX, &a.targetY},
                            {a.oldImage, &a.oldX, &a.oldY},
                            {a.newImage, &a.newX, &a.newY}},
                           nullptr, nullptr)
          : ClipToSurfaces(a, {{a.target, &a.targetX, &a.targetY}, {a.oldImage, &a.oldX, &a.oldY}},
                           nullptr, nullptr);
  return left ? kContinue : kNamedDrawDone;
}

uint32_t* Row(const ImageSurface* s, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(s->GetRowPointer(y)) + x;
}

Rect TargetRect(const TransitionDrawArea& a) {
  return {a.targetX, a.targetY, a.targetX + a.width, a.targetY + a.height};
}

// Copies width x height of a picture at (x, y) into the target at (tx, ty).
void CopyRows(const TransitionDrawArea& a, const ImageSurface* from, int32_t x, int32_t y,
              int32_t tx, int32_t ty, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  for (int32_t j = 0; j < height; ++j) {
    uint32_t* to = Row(a.target, tx, ty + j);
    const uint32_t* source = Row(from, x, y + j);
    // Only rows of one picture can overlap.
    if (from == a.target)
      std::memmove(to, source, size_t(width) * 4);
    else
      std::memcpy(to, source, size_t(width) * 4);
  }
}

void CopyArea(const TransitionDrawArea& a, const ImageSurface* from, int32_t x, int32_t y) {
  CopyRows(a, from, x, y, a.targetX, a.targetY, a.width, a.height);
}

int Done(const TransitionDrawArea& a) {
  a.target->MarkDirty(TargetRect(a));
  return kNamedDrawDone;
}

LibArea ToLibArea(const TransitionDrawArea& a) {
  return {a.targetX, a.targetY, a.width, a.height, a.oldX, a.oldY, a.newX, a.newY};
}

int32_t NonNegativeMod(int64_t v, int64_t m) {
  const int64_t r = v % m;
  return int32_t(r < 0 ? r + m : r);
}

}  // namespace

int PrepareDrawArea(TransitionDrawArea& area, bool needsNew) {
  return Prepare(area, needsNew);
}

bool DrawsWholeArea(const TransitionDrawArea& area, bool needsNew) {
  TransitionDrawArea cut = area;
  return area.width > 0 && area.height > 0 && Prepare(cut, needsNew) == kContinue &&
         cut.width == area.width && cut.height == area.height && cut.targetX == area.targetX &&
         cut.targetY == area.targetY;
}

int DrawCrossTransition(const TransitionDrawArea& request, int level) {
  TransitionDrawArea a = request;
  if (int code = Prepare(a, true); code != kContinue) return code;
  auto crossfade = LibraryRoutine<CrossfadeRoutine>(kLibCrossfade);
  if (!crossfade || crossfade(a.target, a.oldImage, a.newImage, level, 0, ToLibArea(a)) != 0) {
    return kNamedDrawFailed;
  }
  return Done(a);
}

int DrawRuleTransition(const TransitionDrawArea& request, const ImageSurface* rule, int level,
                       int rampWidth) {
  TransitionDrawArea a = request;
  if (int code = CheckPictures({a.target, a.oldImage, a.newImage}); code != kContinue) return code;
  if (!rule || !rule->GetPixels()) return kNamedDrawBadArgument;
  if (rule->GetBitsPerPixel() != 8 || rule->GetWidth() < a.target->GetWidth() ||
      rule->GetHeight() < a.target->GetHeight()) {
    return kNamedDrawUnsuitable;
  }
  int32_t ruleX = a.areaX, ruleY = a.areaY;
  if (!ClipToSurfaces(a,
                      {{a.target, &a.targetX, &a.targetY},
                       {a.oldImage, &a.oldX, &a.oldY},
                       {a.newImage, &a.newX, &a.newY},
                       {rule, &ruleX, &ruleY}},
                      nullptr, nullptr)) {
    return kNamedDrawDone;
  }
  auto blend = LibraryRoutine<RuleBlendRoutine>(kLibRuleBlend);
  if (!blend || blend(a.target, a.oldImage, a.newImage, rule, level, rampWidth, 0, ToLibArea(a),
                      ruleX, ruleY) != 0) {
    return kNamedDrawFailed;
  }
  return Done(a);
}

int DrawTransTransition(const TransitionDrawArea& request, int mode, int32_t progress) {
  if (mode < 0 || mode >= kTransitionModes) return kNamedDrawBadArgument;
  TransitionDrawArea a = request;
  if (int code = Prepare(a, true); code != kContinue) return code;
  CopyArea(a, a.oldImage, a.oldX, a.oldY);
  // The routine draws the whole new picture; the target's clip keeps it inside the area.
  Rect saved;
  a.target->GetClipRect(&saved);
  const Rect inside = TargetRect(a);
  a.target->SetClipRect(&inside);
  const int result = TransitionTable()[size_t(mode)](
      a.target, a.newImage, progress, a.targetX - a.newX, a.targetY - a.newY, 0, nullptr);
  a.target->SetClipRect(&saved);
  Done(a);
  return result == 0 ? kNamedDrawDone : kNamedDrawFailed;
}

int DrawToneTransition(const TransitionDrawArea& request, uint32_t color, int level) {
  TransitionDrawArea a = request;
  if (int code = Prepare(a, false); code != kContinue) return code;
  const Rect r = TargetRect(a);
  if (level >= 255) {
    auto fill = LibraryRoutine<Fill32Routine>(kLibFill32);
    if (!fill || !fill(a.target, color, &r)) return kNamedDrawFailed;
    return Done(a);
  }
  CopyArea(a, a.oldImage, a.oldX, a.oldY);
  if (level > 0) {
    auto blend = LibraryRoutine<BlendColorRoutine>(kLibBlendColor);
    if (!blend || !blend(a.target, color, level, &r)) return kNamedDrawFailed;
  }
  return Done(a);
}

int DrawMosaicTransition(const TransitionDrawArea& request, int32_t step, int32_t maximum,
                         int anchor, bool keepAspect) {
  TransitionDrawArea a = request;
  if (int code = Prepare(a, true); code != kContinue) return code;
  const bool showOld = step < maximum / 2;
  const ImageSurface* picture = showOld ? a.oldImage : a.newImage;
  const int32_t px = showOld ? a.oldX : a.newX, py = showOld ? a.oldY : a.newY;
  const int64_t size = showOld ? int64_t{step} : int64_t{maximum} - step;
  if (size < 2) {
    CopyArea(a, picture, px, py);
    return Done(a);
  }
  const int64_t w = a.width, h = a.height;
  int64_t bw = size, bh = size;
  if (keepAspect) {
    if (w < h) {
      bw = std::max<int64_t>(w * size / h, 2);
    } else {
      bh = std::max<int64_t>(h * size / w, 2);
    }
  }
  // A block never exceeds the area, so the first block's remainder stays within it.
  bw = std::min(bw, w), bh = std::min(bh, h);
  int32_t firstW = 0, firstH = 0;
  switch (anchor) {
    case 1:
      break;
    case 2:
      firstW = NonNegativeMod(w, bw);
      break;
    case 3:
      firstH = NonNegativeMod(h, bh);
      break;
    case 4:
      firstW = NonNegativeMod(w, bw), firstH = NonNegativeMod(h, bh);
      break;
    default:
      firstW = NonNegativeMod((w - bw) / 2, bw), firstH = NonNegativeMod((h - bh) / 2, bh);
      break;
  }
  if (firstW == 0) firstW = int32_t(bw);
  if (firstH == 0) firstH = int32_t(bh);
  MosaicBlocks(Row(a.target, a.targetX, a.targetY), a.target->GetPitch(), Row(picture, px, py),
               picture->GetPitch(), a.width, a.height, {int32_t(bw), int32_t(bh), firstW, firstH});
  return Done(a);
}

int DrawRotaxisTransition(const TransitionDrawArea& request, int32_t p, int axis) {
  if (axis < 0 || axis > 3) return kNamedDrawBadArgument;
  TransitionDrawArea a = request;
  if (int code = Prepare(a, true); code != kContinue) return code;
  TrigTables* trig = Global<TrigTables>::Get();
  if (!trig || !trig->EnsureCosineDoubles()) return kNamedDrawFailed;
  const double* table = trig->CosineDoubles();
  const int angle = p > 128 ? p + 256 : p;
  const double c = table[angle & 511], s = table[(angle - 128) & 511];
  static constexpr double kCorners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
  Point quad[4];
  for (int i = 0; i < 4; ++i) {
    const double x = kCorners[i][0], y = kCorners[i][1];
    double tx = x, ty = y, tz = 0;
    switch (axis) {
      case 0:
        tx = x * c, tz = -x * s;
        break;
      case 1:
        tx = x * c, tz = x * s;
        break;
      case 2:
        ty = y * c, tz = y * s;
        break;
      default:
        ty = y * c, tz = -y * s;
        break;
    }
    quad[i].x = a.targetX + int32_t((2 * tx / (tz + 2) + 1) * a.width / 2);
    quad[i].y = a.targetY + int32_t((1 - 2 * ty / (tz + 2)) * a.height / 2);
  }
  const Rect r = TargetRect(a);
  if ((angle & 511) != 0) {
    // What the turned picture leaves uncovered is cleared.
    auto fill = LibraryRoutine<Fill32Routine>(kLibFill32);
    if (!fill || !fill(a.target, 0, &r)) return kNamedDrawFailed;
  }
  const bool showOld = p <= 128;
  const ImageSurface* picture = showOld ? a.oldImage : a.newImage;
  const int32_t px = showOld ? a.oldX : a.newX, py = showOld ? a.oldY : a.newY;
  const Rect from{px, py, px + a.width, py + a.height};
  if (a.target->QuadBlit(picture, quad, &from, &r) != ImageSurface::kOpDone) {
    return kNamedDrawFailed;
  }
  return Done(a);
}

int DrawScrollTransition(const TransitionDrawArea& request, int direction, int mode,
                         int32_t position, int fadeLevel) {
  if (direction < 0 || direction >= kScrollDirections || mode < 0 || mode >= kScrollModes) {
    return kNamedDrawBadArgument;
  }
  TransitionDrawArea a = request;
  if (int code = Prepare(a, true); code != kContinue) return code;
  const bool vertical = direction == 1 || direction == 3;
  const int64_t extent = vertical ? a.height : a.width;
  const int64_t pos = std::clamp<int64_t>(position, 0, extent);
  const int64_t oldOffset = direction < 2 ? pos : -pos;
  const int64_t newOffset = direction < 2 ? pos - extent : extent - pos;
  const bool newMoves = mode != 1 && mode != 4, oldMoves = mode == 1 || mode == 2 || mode == 4;
  const bool fade = mode >= 3;
  auto blend = LibraryRoutine<BlendRoutine>(kLibBlend);
  if (fade && !blend) return kNamedDrawFailed;
  // A picture shifted by offset along the axis, cut to the area.
  auto draw = [&](const ImageSurface* picture, int32_t px, int32_t py, int64_t offset, bool faded) {
    const int64_t from = std::max<int64_t>(0, -offset), to = std::min(extent, extent - offset);
    if (from >= to) return true;
    const int32_t cut = int32_t(to - from), at = int32_t(from + offset);
    const int32_t sx = px + (vertical ? 0 : int32_t(from)),
                  sy = py + (vertical ? int32_t(from) : 0);
    const int32_t tx = a.targetX + (vertical ? 0 : at), ty = a.targetY + (vertical ? at : 0);
    const int32_t w = vertical ? a.width : cut, h = vertical ? cut : a.height;
    if (!faded) {
      CopyRows(a, picture, sx, sy, tx, ty, w, h);
      return true;
    }
    const Rect r{sx, sy, sx + w, sy + h};
    return blend(a.target, picture, tx, ty, &r, LibraryOperation(kLibOpacity), fadeLevel & 0xFF,
                 0) == 0;
  };
  bool ok = true;
  if (oldMoves && !newMoves) {
    ok = draw(a.newImage, a.newX, a.newY, 0, false) &&
         draw(a.oldImage, a.oldX, a.oldY, oldOffset, fade);
  } else {
    ok = draw(a.oldImage, a.oldX, a.oldY, oldMoves ? oldOffset : 0, false) &&
         draw(a.newImage, a.newX, a.newY, newOffset, fade);
  }
  Done(a);
  return ok ? kNamedDrawDone : kNamedDrawFailed;
}

int DrawWaveTransition(const TransitionDrawArea& request, const WaveFrame& wave) {
  TransitionDrawArea a = request;
  if (int code = Prepare(a, true); code != kContinue) return code;
  const TrigTables* trig = Global<TrigTables>::Get();
  auto crossBlend = LibraryRoutine<RowCrossBlendRoutine>(kLibRowCrossBlend);
  if (!trig || !crossBlend) return kNamedDrawFailed;
  const int level = std::clamp(wave.level, 0, 255);
  int64_t u = int64_t{a.areaY} * wave.step + wave.phase;
  for (int32_t j = 0; j < a.height; ++j, u += wave.step) {
    // The sine is cos(i - 128); 64-bit products keep large amplitudes from wrapping.
    const int64_t sine = trig->Cosine(int(((u >> 9) - 128) & 511));
    const int64_t shift =
        std::clamp<int64_t>((int64_t{wave.amplitude} * sine) >> 16, -int64_t{a.width}, a.width);
    const int32_t s = int32_t(shift), count = a.width - (s < 0 ? -s : s);
    uint32_t* dst = Row(a.target, a.targetX, a.targetY + j);
    const int32_t from = s < 0 ? -s : 0, to = s > 0 ? s : 0;
    if (count > 0) {
      crossBlend(dst + to, Row(a.oldImage, a.oldX + from, a.oldY + j),
                 Row(a.newImage, a.newX + from, a.newY + j), count, level);
    }
    if (s > 0) std::fill(dst, dst + s, wave.gapColor);
    if (s < 0) std::fill(dst + std::max(count, 0), dst + a.width, wave.gapColor);
  }
  return Done(a);
}

}  // namespace bw
