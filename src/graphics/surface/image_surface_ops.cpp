// Copies between surfaces: Blit and its stretched and mirrored forms, alpha-over, the alpha
// plane and the colour or alpha channel alone.
#include "graphics/surface/image_surface_ops.h"

#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/pixel_kernels.h"
#include "graphics/pixel/rows8_kernels.h"
#include "graphics/surface/memory_bitmap.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace surface_ops {

int BitsOf(const Surface* surface) {
  const int bits = surface ? surface->GetPixelBits() : 0;
  return bits == 8 || bits == 32 ? bits : 0;
}

bool HasPixels(const Surface* surface) {
  return surface && surface->GetPixels();
}

Size SizeOr(const ImageSurface* target, const Size* size) {
  return size ? *size : Size{target->GetWidth(), target->GetHeight()};
}

bool Prepare(ImageSurface* target, const Surface* source, int32_t x, int32_t y, const Rect* rect,
             const Size* size, bool flip, Mirror mirror, Span& span) {
  const bool mirrored = mirror == Mirror::kLeftRight;
  StretchStepper steps{};
  int clip =
      mirrored
          ? target->ClipBlitMirrored(source, x, y, rect, size, size ? &steps : nullptr, nullptr)
          : target->ClipBlit(source, x, y, rect, size, size ? &steps : nullptr, nullptr);
  if (clip != kClipDraw) return false;
  const Rect& d = target->ClippedDest();
  const Rect& s = target->ClippedSource();
  const int dstBytes = BitsOf(target) / 8, srcBytes = BitsOf(source) / 8;
  const ptrdiff_t dstPitch = target->GetPitch(), srcPitch = source->GetPitch();
  span.dst = target->GetPixels() + d.top * dstPitch + ptrdiff_t{d.left} * dstBytes;
  span.width = d.Width();
  span.height = d.Height();
  span.dstSkip = dstPitch - ptrdiff_t{span.width} * dstBytes;
  span.stretched = size != nullptr;
  span.stepper = steps;
  const ptrdiff_t rowBytes = ptrdiff_t{s.Width()} * srcBytes;
  const int firstRow = flip ? s.bottom - 1 : s.top;
  const ptrdiff_t step = flip ? -srcPitch : srcPitch;
  span.src = source->GetPixels() + firstRow * srcPitch + ptrdiff_t{s.left} * srcBytes;
  if (mirrored) span.src += rowBytes;
  if (span.stretched) {
    span.srcSkip = step;
  } else {
    span.srcSkip = mirrored ? step + rowBytes : step - rowBytes;
  }
  return true;
}

namespace {
// Per thread: how deep the calling thread is inside the built-in routines.
thread_local int bypassDepth = 0;
}  // namespace

PixelLibrary* ActiveLibrary() {
  return bypassDepth > 0 ? nullptr : GetPixelLibrary();
}

LibraryBypass::LibraryBypass() {
  ++bypassDepth;
}
LibraryBypass::~LibraryBypass() {
  --bypassDepth;
}

int FinishLibraryCall(ImageSurface* target, int routineResult) {
  if (routineResult != 0) return ImageSurface::kOpBadFormat;
  if (const Rect* touched = GetPixelLibrary()->Touched(); touched && !touched->IsEmpty()) {
    target->MarkDirty(*touched);
  } else {
    target->SetChanged(true);
  }
  return ImageSurface::kOpDone;
}

int LibraryBlend(ImageSurface* target, const Surface* source, const Size* size, int32_t x,
                 int32_t y, const Rect* rect, uint32_t operation, int opacity) {
  PixelLibrary* library = GetPixelLibrary();
  int result = kContinue;
  if (size) {
    if (auto stretch = library->Get<StretchRoutine>(kLibStretch)) {
      result = stretch(target, source, size, x, y, rect, operation, 0, opacity, 0);
    }
  } else if (auto blend = library->Get<BlendRoutine>(kLibBlend)) {
    result = blend(target, source, x, y, rect, operation, opacity, 0);
  }
  return FinishLibraryCall(target, result);
}

}  // namespace surface_ops

using namespace surface_ops;

namespace {

// The four walks of one 32-over-32 kernel family.
struct Family32 {
  void (*straight)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int);
  void (*mirrored)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int);
  void (*stretched)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                    const StretchStepper&);
  void (*stretchedMirrored)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                            const StretchStepper&);
  void Run(const Span& s, bool mirror) const {
    if (s.stretched) {
      (mirror ? stretchedMirrored : stretched)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width,
                                               s.height, s.stepper);
    } else {
      (mirror ? mirrored : straight)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height);
    }
  }
};

void Copy32(const Span& s, bool mirror, uint32_t key) {
  if (key != kNoColorKey) {
    if (s.stretched) {
      (mirror ? StretchMirrorCopyRows32Keyed : StretchCopyRows32Keyed)(
          Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, s.stepper, key);
    } else {
      (mirror ? MirrorCopyRows32Keyed : CopyRows32Keyed)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip,
                                                         s.width, s.height, key);
    }
    return;
  }
  const Family32 plain{CopyRows32, MirrorCopyRows32, StretchCopyRows32, StretchMirrorCopyRows32};
  const Family32 mmx{CopyRows32Mmx, MirrorCopyRows32Mmx, StretchCopyRows32Mmx,
                     StretchMirrorCopyRows32Mmx};
  (MmxEnabled() ? mmx : plain).Run(s, mirror);
}

void CopyIndexed(const Span& s, bool mirror, uint32_t key, const uint32_t* colors) {
  uint32_t* d = Dst32(s);
  if (key != kNoColorKey) {
    if (s.stretched) {
      (mirror ? StretchMirrorCopyIndexedRowsKeyed : StretchCopyIndexedRowsKeyed)(
          d, s.src, s.dstSkip, s.srcSkip, s.width, s.height, s.stepper, colors, key);
    } else {
      (mirror ? MirrorCopyIndexedRowsKeyed : CopyIndexedRowsKeyed)(d, s.src, s.dstSkip, s.srcSkip,
                                                                   s.width, s.height, colors, key);
    }
  } else if (s.stretched) {
    (mirror ? StretchMirrorCopyIndexedRows : StretchCopyIndexedRows)(
        d, s.src, s.dstSkip, s.srcSkip, s.width, s.height, s.stepper, colors);
  } else {
    (mirror ? MirrorCopyIndexedRows : CopyIndexedRows)(d, s.src, s.dstSkip, s.srcSkip, s.width,
                                                       s.height, colors);
  }
}

void Copy8(const Span& s, bool mirror, uint32_t key) {
  const bool keyed = key != kNoColorKey;
  const uint8_t k = uint8_t(key);
  if (s.stretched) {
    if (mirror) {
      keyed
          ? StretchRows8MirroredKeyed(s.dst, s.src, s.dstSkip, s.srcSkip, s.width, s.height,
                                      s.stepper, k)
          : StretchRows8Mirrored(s.dst, s.src, s.dstSkip, s.srcSkip, s.width, s.height, s.stepper);
    } else {
      keyed ? StretchRows8Keyed(s.dst, s.src, s.dstSkip, s.srcSkip, s.width, s.height, s.stepper, k)
            : StretchRows8(s.dst, s.src, s.dstSkip, s.srcSkip, s.width, s.height, s.stepper);
    }
    return;
  }
  // Backwards rows start at the row's last pixel.
  const uint8_t* src = mirror ? s.src - 1 : s.src;
  const int direction = mirror ? -1 : 1;
  keyed ? CopyRows8Keyed(s.dst, src, s.dstSkip, s.srcSkip, direction, s.width, s.height, k)
        : CopyRows8(s.dst, src, s.dstSkip, s.srcSkip, direction, s.width, s.height);
}

// Mirrored modes: 0 left-right, 1 upside down, 2 both.
constexpr int kMirrorLeftRight = 0;
constexpr int kMirrorUpsideDown = 1;
constexpr int kMirrorBoth = 2;

int CopyAny(ImageSurface* target, const Surface* source, const Size* size, int32_t x, int32_t y,
            const Rect* rect, bool flip, bool mirror, bool useKey = true) {
  if (!target->GetPixels() || !HasPixels(source)) return ImageSurface::kOpNoPixels;
  const int dstBits = BitsOf(target), srcBits = BitsOf(source);
  if (srcBits == 0 || (dstBits == 8 && srcBits != 8)) return ImageSurface::kOpBadFormat;
  const uint32_t* colors = nullptr;
  if (dstBits == 32 && srcBits == 8) {
    colors = static_cast<const DibSurface*>(source)->GetPalette();
    if (!colors) return ImageSurface::kOpBadFormat;
  }
  Span s;
  if (!Prepare(target, source, x, y, rect, size, flip, mirror ? Mirror::kLeftRight : Mirror::kNone,
               s)) {
    return ImageSurface::kOpDone;
  }
  const uint32_t key = useKey ? source->GetColorKey() : kNoColorKey;
  if (dstBits == 8) {
    Copy8(s, mirror, key);
  } else if (srcBits == 8) {
    CopyIndexed(s, mirror, key, colors);
  } else {
    Copy32(s, mirror, key);
  }
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}

// Runs one 32-over-32 family after the common checks; keyless and kernel-choice free.
int Run32(ImageSurface* target, const Surface* source, const Size* size, int32_t x, int32_t y,
          const Rect* rect, bool flip, bool mirror, const Family32& family) {
  if (!target->GetPixels() || !HasPixels(source)) return ImageSurface::kOpNoPixels;
  if (BitsOf(target) != 32 || BitsOf(source) != 32) return ImageSurface::kOpBadFormat;
  Span s;
  if (!Prepare(target, source, x, y, rect, size, flip, mirror ? Mirror::kLeftRight : Mirror::kNone,
               s)) {
    return ImageSurface::kOpDone;
  }
  family.Run(s, mirror);
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}

const Family32& AlphaOverFamily() {
  static const Family32 plain{AlphaOverRows, MirrorAlphaOverRows, StretchAlphaOverRows,
                              StretchMirrorAlphaOverRows};
  static const Family32 mmx{AlphaOverRowsMmx, MirrorAlphaOverRowsMmx, StretchAlphaOverRowsMmx,
                            StretchMirrorAlphaOverRowsMmx};
  return MmxEnabled() ? mmx : plain;
}

// The alpha plane between 32-bit and 8-bit surfaces, either way.
int AlphaPlane(ImageSurface* target, const Surface* source, const Size* size, int32_t x, int32_t y,
               const Rect* rect, bool flip, bool mirror) {
  if (!target->GetPixels() || !HasPixels(source)) return ImageSurface::kOpNoPixels;
  const int dstBits = BitsOf(target), srcBits = BitsOf(source);
  if (!((dstBits == 32 && srcBits == 8) || (dstBits == 8 && srcBits == 32))) {
    return ImageSurface::kOpBadFormat;
  }
  Span s;
  if (!Prepare(target, source, x, y, rect, size, flip, mirror ? Mirror::kLeftRight : Mirror::kNone,
               s)) {
    return ImageSurface::kOpDone;
  }
  if (dstBits == 32) {
    uint32_t* d = Dst32(s);
    if (s.stretched) {
      (mirror ? StretchMirrorCopyBytesToAlphaRows : StretchCopyBytesToAlphaRows)(
          d, s.src, s.dstSkip, s.srcSkip, s.width, s.height, s.stepper);
    } else {
      (mirror ? MirrorCopyBytesToAlphaRows : CopyBytesToAlphaRows)(d, s.src, s.dstSkip, s.srcSkip,
                                                                   s.width, s.height);
    }
  } else {
    if (s.stretched) {
      (mirror ? StretchMirrorCopyAlphaToBytesRows : StretchCopyAlphaToBytesRows)(
          s.dst, Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, s.stepper);
    } else {
      (mirror ? MirrorCopyAlphaToBytesRows : CopyAlphaToBytesRows)(s.dst, Src32(s), s.dstSkip,
                                                                   s.srcSkip, s.width, s.height);
    }
  }
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}

bool ValidMirrorMode(int mode) {
  return mode >= kMirrorLeftRight && mode <= kMirrorBoth;
}

}  // namespace

int surface_ops::CopyWithoutKey(ImageSurface* target, const Surface* source, const Size* size,
                                int32_t x, int32_t y, const Rect* rect) {
  return CopyAny(target, source, size, x, y, rect, false, false, false);
}

int ImageSurface::Blit(const Surface* source, int32_t x, int32_t y, const Rect* rect, bool flip) {
  return CopyAny(this, source, nullptr, x, y, rect, flip, false);
}

int ImageSurface::StretchBlit(const Surface* source, const Size* size, int32_t x, int32_t y,
                              const Rect* rect, bool flip) {
  if (!GetPixels() || !HasPixels(source)) return kOpNoPixels;
  const Size target = SizeOr(this, size);
  if (ActiveLibrary() && BitsOf(this) == 32 && BitsOf(source) == 32 &&
      source->GetColorKey() == kNoColorKey && !flip) {
    return LibraryBlend(this, source, &target, x, y, rect, LibraryOperation(kLibCopy), 255);
  }
  return CopyAny(this, source, &target, x, y, rect, flip, false);
}

int ImageSurface::BlitMirrored(int mode, const Surface* source, int32_t x, int32_t y,
                               const Rect* rect) {
  if (!ValidMirrorMode(mode)) return kOpBadParameter;
  if (mode == kMirrorUpsideDown) return Blit(source, x, y, rect, true);
  return CopyAny(this, source, nullptr, x, y, rect, mode == kMirrorBoth, true);
}

int ImageSurface::StretchBlitMirrored(int mode, const Surface* source, const Size* size, int32_t x,
                                      int32_t y, const Rect* rect) {
  if (!ValidMirrorMode(mode)) return kOpBadParameter;
  if (mode == kMirrorUpsideDown) return StretchBlit(source, size, x, y, rect, true);
  const Size target = SizeOr(this, size);
  return CopyAny(this, source, &target, x, y, rect, mode == kMirrorBoth, true);
}

int ImageSurface::AlphaBlit(const Surface* source, int32_t x, int32_t y, const Rect* rect,
                            bool flip) {
  if (!GetPixels() || !HasPixels(source)) return kOpNoPixels;
  if (BitsOf(this) != 32 || BitsOf(source) != 32) return kOpBadFormat;
  if (ActiveLibrary() && !flip) {
    return LibraryBlend(this, source, nullptr, x, y, rect, LibraryOperation(kLibAlpha), 255);
  }
  return Run32(this, source, nullptr, x, y, rect, flip, false, AlphaOverFamily());
}

int ImageSurface::StretchAlphaBlit(const Surface* source, const Size* size, int32_t x, int32_t y,
                                   const Rect* rect, bool flip) {
  if (!GetPixels() || !HasPixels(source)) return kOpNoPixels;
  if (BitsOf(this) != 32 || BitsOf(source) != 32) return kOpBadFormat;
  const Size target = SizeOr(this, size);
  if (ActiveLibrary() && !flip) {
    return LibraryBlend(this, source, &target, x, y, rect, LibraryOperation(kLibAlpha), 255);
  }
  return Run32(this, source, &target, x, y, rect, flip, false, AlphaOverFamily());
}

int ImageSurface::AlphaBlitMirrored(int mode, const Surface* source, int32_t x, int32_t y,
                                    const Rect* rect) {
  if (!ValidMirrorMode(mode)) return kOpBadParameter;
  if (mode == kMirrorUpsideDown) return AlphaBlit(source, x, y, rect, true);
  return Run32(this, source, nullptr, x, y, rect, mode == kMirrorBoth, true, AlphaOverFamily());
}

int ImageSurface::StretchAlphaBlitMirrored(int mode, const Surface* source, const Size* size,
                                           int32_t x, int32_t y, const Rect* rect) {
  if (!ValidMirrorMode(mode)) return kOpBadParameter;
  if (mode == kMirrorUpsideDown) return StretchAlphaBlit(source, size, x, y, rect, true);
  const Size target = SizeOr(this, size);
  return Run32(this, source, &target, x, y, rect, mode == kMirrorBoth, true, AlphaOverFamily());
}

int ImageSurface::CopyAlphaPlane(const Surface* source, int32_t x, int32_t y, const Rect* rect,
                                 bool flip) {
  return AlphaPlane(this, source, nullptr, x, y, rect, flip, false);
}

int ImageSurface::StretchCopyAlphaPlane(const Surface* source, const Size* size, int32_t x,
                                        int32_t y, const Rect* rect, bool flip) {
  const Size target = SizeOr(this, size);
  return AlphaPlane(this, source, &target, x, y, rect, flip, false);
}

int ImageSurface::CopyAlphaPlaneMirrored(int mode, const Surface* source, int32_t x, int32_t y,
                                         const Rect* rect) {
  if (!ValidMirrorMode(mode)) return kOpBadParameter;
  if (mode == kMirrorUpsideDown) return CopyAlphaPlane(source, x, y, rect, true);
  return AlphaPlane(this, source, nullptr, x, y, rect, mode == kMirrorBoth, true);
}

int ImageSurface::StretchCopyAlphaPlaneMirrored(int mode, const Surface* source, const Size* size,
                                                int32_t x, int32_t y, const Rect* rect) {
  if (!ValidMirrorMode(mode)) return kOpBadParameter;
  if (mode == kMirrorUpsideDown) return StretchCopyAlphaPlane(source, size, x, y, rect, true);
  const Size target = SizeOr(this, size);
  return AlphaPlane(this, source, &target, x, y, rect, mode == kMirrorBoth, true);
}

namespace {
int ColorChannel(ImageSurface* target, const Surface* source, const Size* size, int32_t x,
                 int32_t y, const Rect* rect) {
  if (!target->GetPixels() || !HasPixels(source)) return ImageSurface::kOpNoPixels;
  if (BitsOf(target) != 32 || BitsOf(source) != 32) return ImageSurface::kOpBadFormat;
  Span s;
  if (!Prepare(target, source, x, y, rect, size, false, Mirror::kNone, s)) {
    return ImageSurface::kOpDone;
  }
  const uint32_t key = source->GetColorKey();
  const bool mmx = MmxEnabled();
  if (key != kNoColorKey) {
    s.stretched ? (mmx ? StretchCopyColorRowsKeyedMmx : StretchCopyColorRowsKeyed)(
                      Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, s.stepper, key)
                : (mmx ? CopyColorRowsKeyedMmx : CopyColorRowsKeyed)(
                      Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, key);
  } else {
    s.stretched ? (mmx ? StretchCopyColorRowsMmx : StretchCopyColorRows)(
                      Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, s.stepper)
                : (mmx ? CopyColorRowsMmx : CopyColorRows)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip,
                                                           s.width, s.height);
  }
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}

int AlphaChannel(ImageSurface* target, const Surface* source, const Size* size, int32_t x,
                 int32_t y, const Rect* rect) {
  if (!target->GetPixels() || !HasPixels(source)) return ImageSurface::kOpNoPixels;
  if (BitsOf(target) != 32 || BitsOf(source) != 32) return ImageSurface::kOpBadFormat;
  Span s;
  if (!Prepare(target, source, x, y, rect, size, false, Mirror::kNone, s)) {
    return ImageSurface::kOpDone;
  }
  const bool mmx = MmxEnabled();
  s.stretched ? (mmx ? StretchCopyAlphaRowsMmx : StretchCopyAlphaRows)(
                    Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, s.stepper)
              : (mmx ? CopyAlphaRowsMmx : CopyAlphaRows)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip,
                                                         s.width, s.height);
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}
}  // namespace

int ImageSurface::BlitColor(const Surface* source, int32_t x, int32_t y, const Rect* rect) {
  return ColorChannel(this, source, nullptr, x, y, rect);
}
int ImageSurface::StretchBlitColor(const Surface* source, const Size* size, int32_t x, int32_t y,
                                   const Rect* rect) {
  const Size target = SizeOr(this, size);
  return ColorChannel(this, source, &target, x, y, rect);
}
int ImageSurface::BlitAlpha(const Surface* source, int32_t x, int32_t y, const Rect* rect) {
  return AlphaChannel(this, source, nullptr, x, y, rect);
}
int ImageSurface::StretchBlitAlpha(const Surface* source, const Size* size, int32_t x, int32_t y,
                                   const Rect* rect) {
  const Size target = SizeOr(this, size);
  return AlphaChannel(this, source, &target, x, y, rect);
}

}  // namespace bw
