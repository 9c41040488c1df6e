// What the image surface's pixel operations share: the source's depth, the clipped walk handed
// to a kernel, and the library in effect for this call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"
#include "graphics/surface/image_surface.h"

namespace bw {

class PixelLibrary;

namespace surface_ops {

// 8 or 32 for an image or DIB surface, else 0 (refused as a format).
int BitsOf(const Surface* surface);
bool HasPixels(const Surface* surface);
inline uint32_t Splat(int value) {
  return uint32_t(value & 0xFF) * 0x010101u;
}

// The pointers, skips and stepper of one clipped operation. For stretched walks srcSkip is the
// source pitch (negative when flipped).
struct Span {
  uint8_t* dst = nullptr;
  const uint8_t* src = nullptr;
  ptrdiff_t dstSkip = 0;
  ptrdiff_t srcSkip = 0;
  int width = 0;
  int height = 0;
  StretchStepper stepper{};
  bool stretched = false;
};

enum class Mirror { kNone, kLeftRight };

// Clips (size null: unstretched) and points at the first pixels. False when nothing is left.
// Mirrored: each source row is read from one past its right end backwards.
[[nodiscard]] bool Prepare(ImageSurface* target, const Surface* source, int32_t x, int32_t y,
                           const Rect* rect, const Size* size, bool flip, Mirror mirror,
                           Span& span);

// The size of a stretched form: the given one, or the target's own.
Size SizeOr(const ImageSurface* target, const Size* size);

// The published library, or null inside a built-in routine (which runs the engine's own paths).
PixelLibrary* ActiveLibrary();
// Within its scope the operations take the engine's own paths.
class LibraryBypass {
 public:
  LibraryBypass();
  ~LibraryBypass();
  LibraryBypass(const LibraryBypass&) = delete;
  LibraryBypass& operator=(const LibraryBypass&) = delete;
};

// Blit or StretchBlit (size set) that ignores the source's colour key, without the library.
[[nodiscard]] int CopyWithoutKey(ImageSurface* target, const Surface* source, const Size* size,
                                 int32_t x, int32_t y, const Rect* rect);
// The opacity crossfade (plain: crossfade by 255 - o and o; vector: lerp by o) and the plain
// crossfade by two weight words, keyed when key is set.
void Opacity(const Span& span, uint32_t key, int opacity);
void Crossfade(const Span& span, uint32_t key, uint32_t dstWeights, uint32_t srcWeights);

inline uint32_t* Dst32(const Span& s) {
  return reinterpret_cast<uint32_t*>(s.dst);
}
inline const uint32_t* Src32(const Span& s) {
  return reinterpret_cast<const uint32_t*>(s.src);
}

// kContinue, or the answer for a target or source without pixels or not at 32 bits.
constexpr int kContinue = -1;
[[nodiscard]] inline int Check32(const ImageSurface* target, const Surface* source) {
  if (!target->GetPixels() || !HasPixels(source)) return ImageSurface::kOpNoPixels;
  if (BitsOf(target) != 32 || BitsOf(source) != 32) return ImageSurface::kOpBadFormat;
  return kContinue;
}

// Clips, runs draw(span) and marks the clipped rectangle.
template <typename Draw>
[[nodiscard]] int Draw32(ImageSurface* target, const Surface* source, const Size* size, int32_t x,
                         int32_t y, const Rect* rect, Draw draw) {
  Span s;
  if (!Prepare(target, source, x, y, rect, size, false, Mirror::kNone, s)) {
    return ImageSurface::kOpDone;
  }
  draw(s);
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}

// After a successful library routine: its touched rectangle into the dirty list.
[[nodiscard]] int FinishLibraryCall(ImageSurface* target, int routineResult);
// The library's blend routine, or its stretch one when size is given, finished as above; a
// library without the routine answers kOpBadFormat.
[[nodiscard]] int LibraryBlend(ImageSurface* target, const Surface* source, const Size* size,
                               int32_t x, int32_t y, const Rect* rect, uint32_t operation,
                               int opacity);

}  // namespace surface_ops
}  // namespace bw
