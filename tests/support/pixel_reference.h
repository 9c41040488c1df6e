// Slow per-pixel references for the pixel kernels. A test builds padded random planes, runs a
// kernel on one copy through start pointers and row skips as a caller would, runs the reference
// on another copy by plain coordinates, and compares every byte, padding included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/pixel/stretch_stepper.h"

namespace bw::reference {

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

// Blocks that start on a cache line in every build: a sanitizer's allocator places them
// elsewhere, and the kernels choose their vector and cache-line paths by the address.
template <typename T>
struct LineAligned {
  using value_type = T;
  static constexpr std::align_val_t kLine{64};
  LineAligned() = default;
  template <typename U>
  LineAligned(const LineAligned<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kLine)); }
  void deallocate(T* p, size_t) { ::operator delete(p, kLine); }
  friend bool operator==(const LineAligned&, const LineAligned&) { return true; }
};

// The planes' bytes: the kernels meet the same alignments in a sanitizer build and a plain one.
using PlaneBytes = std::vector<uint8_t, LineAligned<uint8_t>>;

struct Plane {
  int width = 0;
  int height = 0;
  int bytesPerPixel = 4;
  ptrdiff_t pitch = 0;
  PlaneBytes bytes;

  uint8_t* At(int x, int y) { return bytes.data() + y * pitch + x * bytesPerPixel; }
  const uint8_t* At(int x, int y) const { return bytes.data() + y * pitch + x * bytesPerPixel; }
  uint32_t Get32(int x, int y) const { return Load32(At(x, y)); }
  void Set32(int x, int y, uint32_t v) { Store32(At(x, y), v); }
  uint8_t Get8(int x, int y) const { return *At(x, y); }
  void Set8(int x, int y, uint8_t v) { *At(x, y) = v; }
  template <typename T>
  T* Ptr(int x, int y) {
    return reinterpret_cast<T*>(At(x, y));
  }
};

// Random bytes everywhere, padding included. Alpha bytes favour 0 and 255, the special cases
// of every alpha formula.
Plane RandomPlane(std::mt19937& rng, int width, int height, int bytesPerPixel, int padBytes);

enum class Walk { kStraight, kMirrored, kStretched, kStretchedMirrored };

// A destination rectangle (dx, dy, w, h) fed from a source rectangle (sx, sy, sw, sh); for the
// unstretched walks sw = w and sh = h.
struct Geometry {
  int dx, dy, w, h;
  int sx, sy, sw, sh;
  Walk walk;
  bool Stretched() const { return walk == Walk::kStretched || walk == Walk::kStretchedMirrored; }
  bool Mirrored() const { return walk == Walk::kMirrored || walk == Walk::kStretchedMirrored; }
  StretchStepper Stepper() const { return MakeStretchStepper(sw, sh, w, h); }
};

// The source offset of destination step k of a stretch of source length src onto dest, in
// closed form: k whole steps plus the carries of an error that starts at -dest - 1.
int StretchSourceIndex(int k, int src, int dest);

// The source pixel that destination pixel (i, j) of the rectangle reads.
std::pair<int, int> SourceOf(const Geometry& g, int i, int j);

// Random rectangles inside planes of the given sizes, odd widths included.
Geometry RandomGeometry(std::mt19937& rng, Walk walk, int dstW, int dstH, int srcW, int srcH);

// The pointers and skips a caller hands a kernel for g.
struct KernelArgs {
  uint8_t* dst;
  const uint8_t* src;
  ptrdiff_t dstSkip;
  ptrdiff_t srcSkip;  // the source pitch for stretched walks
  StretchStepper stepper;
};
KernelArgs ArgsFor(Plane& dst, const Plane& src, const Geometry& g);

// Applies op(dstPixelPtr, srcPixelPtr) over g by coordinates.
template <typename Op>
void ApplyReference(Plane& dst, const Plane& src, const Geometry& g, Op op) {
  for (int j = 0; j < g.h; ++j) {
    for (int i = 0; i < g.w; ++i) {
      auto [x, y] = SourceOf(g, i, j);
      op(dst.At(g.dx + i, g.dy + j), src.At(x, y));
    }
  }
}

// The per-pixel formulas, one channel at a time.
uint32_t AlphaOverPlain(uint32_t d, uint32_t s);
uint32_t AlphaOverMmx(uint32_t d, uint32_t s);

// Runs call(args, geometry) against ApplyReference(op) on many seeded random planes and
// rectangles (odd widths, padding, every walk), and reports the first plane that differs.
template <typename Call, typename Op>
testing::AssertionResult MatchesReference(int dstBytes, int srcBytes, Walk walk, Call call, Op op,
                                          int rounds = 60) {
  std::mt19937 rng(1234 + static_cast<int>(walk));
  for (int round = 0; round < rounds; ++round) {
    auto size = [&rng] { return std::uniform_int_distribution<int>(1, 41)(rng); };
    int pad = std::uniform_int_distribution<int>(0, 3)(rng) * 4;
    Plane dst = RandomPlane(rng, size(), size(), dstBytes, pad);
    Plane src = RandomPlane(rng, size(), size(), srcBytes, pad + 4);
    Geometry g = RandomGeometry(rng, walk, dst.width, dst.height, src.width, src.height);
    Plane expect = dst;
    ApplyReference(expect, src, g, op);
    call(ArgsFor(dst, src, g), g);
    if (dst.bytes != expect.bytes) {
      for (size_t i = 0; i < dst.bytes.size(); ++i) {
        if (dst.bytes[i] != expect.bytes[i]) {
          return testing::AssertionFailure()
                 << "round " << round << ": byte " << i << " (row " << i / dst.pitch
                 << ", col byte " << i % dst.pitch << ") is " << int(dst.bytes[i]) << ", expected "
                 << int(expect.bytes[i]) << "; rect " << g.dx << "," << g.dy << " " << g.w << "x"
                 << g.h << " from " << g.sx << "," << g.sy << " " << g.sw << "x" << g.sh;
        }
      }
    }
  }
  return testing::AssertionSuccess();
}

}  // namespace bw::reference
