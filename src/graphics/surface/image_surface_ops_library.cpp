// The operations that exist only as pixel-library routines: checks, the call, and the touched
// rectangle on success.
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"

namespace bw {

using namespace surface_ops;

namespace {

constexpr int kRoutineFailed = 3;

bool Has32(const Surface* s) {
  return HasPixels(s) && BitsOf(s) == 32;
}

// 1 without pixels on any side, 2 for a depth other than 32 or without the library.
int CheckAll(const ImageSurface* target, std::initializer_list<const Surface*> sources) {
  if (!target->GetPixels()) return ImageSurface::kOpNoPixels;
  for (const Surface* s : sources) {
    if (!HasPixels(s)) return ImageSurface::kOpNoPixels;
  }
  if (BitsOf(target) != 32) return ImageSurface::kOpBadFormat;
  for (const Surface* s : sources) {
    if (!Has32(s)) return ImageSurface::kOpBadFormat;
  }
  return GetPixelLibrary() ? kContinue : ImageSurface::kOpBadFormat;
}

template <typename Routine>
Routine Get(int position) {
  return GetPixelLibrary()->Get<Routine>(position);
}

// A code-returning routine: non-zero (or a missing routine) answers failCode, nothing marked.
int Finish(ImageSurface* target, bool ok, int failCode) {
  if (!ok) return failCode;
  // It answers the 0 it is given.
  (void)FinishLibraryCall(target, 0);
  return ImageSurface::kOpDone;
}

}  // namespace

int ImageSurface::LibOpLevel(uint32_t value, int level, int flag, const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  if ((level & 0xFF) == 0) return kOpDone;
  if (BitsOf(this) != 32 || !GetPixelLibrary()) return kOpBadFormat;
  auto routine = Get<OpLevelRoutine>(kLibOpLevel);
  return Finish(this, routine && routine(this, value, level & 0xFF, rect, flag), kRoutineFailed);
}

int ImageSurface::LibOpByte(int value, const Rect* rect) {
  if (int code = CheckAll(this, {}); code != kContinue) return code;
  auto routine = Get<OpByteRoutine>(kLibOpByte);
  return Finish(this, routine && routine(this, value, rect), kRoutineFailed);
}

int ImageSurface::LibBlitOpB(const Surface* source, int operation, int opacity, int extra,
                             int32_t x, int32_t y, const Rect* rect) {
  if (int code = CheckAll(this, {source}); code != kContinue) return code;
  auto routine = Get<BlendRoutine>(kLibBlend);
  return Finish(this,
                routine && routine(this, source, x, y, rect, uint32_t(operation), opacity,
                                   uint32_t(extra)) == 0,
                kRoutineFailed);
}

int ImageSurface::LibStretchBlit(const Surface* source, int operation, int extra1, int opacity,
                                 int extra2, const Size* size, int32_t x, int32_t y,
                                 const Rect* rect) {
  if (int code = CheckAll(this, {source}); code != kContinue) return code;
  const Size target = SizeOr(this, size);
  auto routine = Get<StretchRoutine>(kLibStretch);
  return Finish(this,
                routine && routine(this, source, &target, x, y, rect, uint32_t(operation),
                                   uint32_t(extra1), opacity, uint32_t(extra2)) == 0,
                kRoutineFailed);
}

// words: operation, extra, opacity, then the three destination points as whole pixels
// (x, y pairs) for the source's clip rectangle.
int ImageSurface::LibAffineBlit(const Surface* source, const uint32_t* words) {
  if (int code = CheckAll(this, {source}); code != kContinue) return code;
  if (!words) return kOpBadParameter;
  const LibPoint points[3] = {{double(int32_t(words[3])), double(int32_t(words[4]))},
                              {double(int32_t(words[5])), double(int32_t(words[6]))},
                              {double(int32_t(words[7])), double(int32_t(words[8]))}};
  const uint32_t extras[4] = {};
  auto routine = Get<AffineRoutine>(kLibAffine);
  return Finish(this,
                routine && routine(this, source, points, nullptr, words[0], words[1], int(words[2]),
                                   extras) == 0,
                kRoutineFailed);
}

int ImageSurface::LibBlitOpC(const Surface* source, const uint32_t* words) {
  if (int code = CheckAll(this, {source}); code != kContinue) return code;
  auto routine = Get<WordsBlitRoutine>(kLibBlitOpC);
  return Finish(this, routine && routine(this, source, words) == 0, kRoutineFailed);
}

int ImageSurface::LibOpFour(const uint32_t* words) {
  if (!GetPixels()) return kOpNoPixels;
  if (BitsOf(this) != 32 || !GetPixelLibrary()) return kOpBadFormat;
  auto routine = Get<OpFourRoutine>(kLibOpFour);
  return Finish(this, routine && routine(this, words) == 0, kRoutineFailed);
}

namespace {
int Filter(ImageSurface* target, const Rect* rect, int position32, int position8) {
  if (!target->GetPixels() || !GetPixelLibrary()) return ImageSurface::kOpNoPixels;
  auto routine = Get<FilterRoutine>(BitsOf(target) == 32 ? position32 : position8);
  return Finish(target, routine && routine(target, rect), ImageSurface::kOpBadFormat);
}
bool FilterValue(ImageSurface* target, int position, uint32_t value) {
  if (!Has32(target) || !GetPixelLibrary()) return false;
  auto routine = Get<FilterValueRoutine>(position);
  return Finish(target, routine && routine(target, value), kRoutineFailed) == ImageSurface::kOpDone;
}
}  // namespace

int ImageSurface::LibFilterA(const Rect* rect) {
  return Filter(this, rect, kLibFilterA32, kLibFilterA8);
}
int ImageSurface::LibFilterB(const Rect* rect) {
  return Filter(this, rect, kLibFilterB32, kLibFilterB8);
}
bool ImageSurface::LibFilterChoice(bool flag) {
  return FilterValue(this, flag ? kLibFilterChoiceFlag : kLibFilterChoice, 0);
}
bool ImageSurface::LibFilterC(uint32_t value) {
  return FilterValue(this, kLibFilterC, value);
}
bool ImageSurface::LibFilterD(uint32_t value) {
  return FilterValue(this, kLibFilterD, value);
}

// words: level, extra, then the area (target x, y, width, height, A's x, y, B's x, y).
int ImageSurface::LibBlendA(const Surface* sourceA, const Surface* sourceB, const uint32_t* words) {
  if (int code = CheckAll(this, {sourceA, sourceB}); code != kContinue) return code;
  const auto* a = dynamic_cast<const ImageSurface*>(sourceA);
  const auto* b = dynamic_cast<const ImageSurface*>(sourceB);
  if (!a || !b) return kOpBadFormat;
  if (!words) return kOpBadParameter;
  auto w = [words](int i) { return int32_t(words[i]); };
  const LibArea area{w(2), w(3), w(4), w(5), w(6), w(7), w(8), w(9)};
  auto routine = Get<CrossfadeRoutine>(kLibCrossfade);
  return Finish(this, routine && routine(this, a, b, w(0), words[1], area) == 0, kRoutineFailed);
}

// words: level, ramp width, extra, the area (as LibBlendA's), then the rule picture's x and y.
int ImageSurface::LibBlendB(const Surface* sourceA, const Surface* sourceB, const Surface* rule,
                            const uint32_t* words) {
  if (!HasPixels(rule)) return kOpNoPixels;
  if (int code = CheckAll(this, {sourceA, sourceB}); code != kContinue) return code;
  const auto* a = dynamic_cast<const ImageSurface*>(sourceA);
  const auto* b = dynamic_cast<const ImageSurface*>(sourceB);
  const auto* r = dynamic_cast<const ImageSurface*>(rule);
  if (!a || !b || !r) return kOpBadFormat;
  if (!words) return kOpBadParameter;
  auto w = [words](int i) { return int32_t(words[i]); };
  const LibArea area{w(3), w(4), w(5), w(6), w(7), w(8), w(9), w(10)};
  auto routine = Get<RuleBlendRoutine>(kLibRuleBlend);
  return Finish(this,
                routine && routine(this, a, b, r, w(0), w(1), words[2], area, w(11), w(12)) == 0,
                kRoutineFailed);
}

}  // namespace bw
