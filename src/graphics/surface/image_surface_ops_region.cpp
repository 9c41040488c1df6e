// Operations on a region of this surface: colour blends and arithmetic, grey, tone, invert,
// smoothing, mosaic, gradients, alpha scaling and brightness.
#include <algorithm>
#include <new>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/color_rows.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/pixel/rows8_kernels.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace surface_ops;

namespace {

// The region (rect cut to the clip, or the clip) and its first pixel; false when empty.
struct Region {
  Rect rect;
  uint8_t* start = nullptr;
  ptrdiff_t pitch = 0;
  ptrdiff_t skip = 0;  // after each row of 32-bit pixels
  uint32_t* Start32() const { return reinterpret_cast<uint32_t*>(start); }
};
bool CutRegion(ImageSurface* s, const Rect* rect, Region& out) {
  out.rect = rect ? *rect : *s->GetClipRectPtr();
  if (!s->ClipToClipRect(&out.rect)) return false;
  const int bytes = s->GetBitsPerPixel() / 8;
  out.pitch = s->GetPitch();
  out.start = s->GetPixels() + out.rect.top * out.pitch + ptrdiff_t{out.rect.left} * bytes;
  out.skip = out.pitch - ptrdiff_t{out.rect.Width()} * bytes;
  return true;
}

bool Is32(const ImageSurface* s) {
  return s->GetPixels() && s->GetBitsPerPixel() == 32;
}

// Each palette entry through f, then back to the surface and its context; the key is dropped.
template <typename F>
void MapPalette(ImageSurface* s, F f) {
  uint32_t entries[256];
  std::copy(s->GetPalette(), s->GetPalette() + 256, entries);
  for (uint32_t& e : entries) e = f(e) & 0x00FFFFFFu;
  // A picture deeper than 8 bits has no palette to set.
  (void)s->SetPalette(entries, 256, 0);
  // A picture without pixels has no key to set.
  (void)s->ClearColorKey();
}

uint32_t ToneColor(uint32_t c, const ToneCurve& t) {
  const uint8_t* clamp = ClampTable();
  auto ch = [&](int shift, int m, int o) {
    return uint32_t(clamp[((int(c >> shift & 0xFF) * m) >> 7) + o]) << shift;
  };
  return ch(16, t.redMultiplier, t.redOffset) | ch(8, t.greenMultiplier, t.greenOffset) |
         ch(0, t.blueMultiplier, t.blueOffset);
}

}  // namespace

int ImageSurface::FillColorBlend(int red, int green, int blue, int opacity, const Rect* rect) {
  if (!Is32(this)) return kOpNoPixels;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  const uint32_t rgb =
      uint32_t(red & 0xFF) << 16 | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF);
  if (PixelLibrary* library = ActiveLibrary()) {
    auto blend = library->Get<BlendColorRoutine>(kLibBlendColor);
    return FinishLibraryCall(this, blend && blend(this, rgb, opacity, rect) ? 0 : -1);
  }
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  if (GetColorKey() != kNoColorKey) {
    BlendColorRowsKeyed(r.Start32(), r.pitch, r.rect.Width(), r.rect.Height(), opacity, red & 0xFF,
                        green & 0xFF, blue & 0xFF, GetColorKey());
  } else {
    BlendColorRows(r.Start32(), r.pitch, r.rect.Width(), r.rect.Height(), opacity, red & 0xFF,
                   green & 0xFF, blue & 0xFF);
  }
  MarkDirty(r.rect);
  return kOpDone;
}

namespace {
using ColorKernel = void (*)(uint32_t*, ptrdiff_t, int, int, uint32_t);
using ColorKernelKeyed = void (*)(uint32_t*, ptrdiff_t, int, int, uint32_t, uint32_t);
int ColorArithmetic(ImageSurface* s, int red, int green, int blue, const Rect* rect,
                    ColorKernel plain, ColorKernel mmx, ColorKernelKeyed keyed,
                    ColorKernelKeyed keyedMmx) {
  if (!Is32(s)) return ImageSurface::kOpNoPixels;
  const uint32_t rgb =
      uint32_t(red & 0xFF) << 16 | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF);
  if (rgb == 0) return ImageSurface::kOpDone;
  Region r;
  if (!CutRegion(s, rect, r)) return ImageSurface::kOpDone;
  const bool vector = MmxEnabled();
  if (s->GetColorKey() != kNoColorKey) {
    (vector ? keyedMmx : keyed)(r.Start32(), r.skip, r.rect.Width(), r.rect.Height(), rgb,
                                s->GetColorKey());
  } else {
    (vector ? mmx : plain)(r.Start32(), r.skip, r.rect.Width(), r.rect.Height(), rgb);
  }
  s->MarkDirty(r.rect);
  return ImageSurface::kOpDone;
}
}  // namespace

int ImageSurface::AddColor(int red, int green, int blue, const Rect* rect) {
  return ColorArithmetic(this, red, green, blue, rect, AddColorRows, AddColorRowsMmx,
                         AddColorRowsKeyed, AddColorRowsKeyedMmx);
}

int ImageSurface::SubtractColor(int red, int green, int blue, const Rect* rect) {
  return ColorArithmetic(this, red, green, blue, rect, SubtractColorRows, SubtractColorRowsMmx,
                         SubtractColorRowsKeyed, SubtractColorRowsKeyedMmx);
}

int ImageSurface::Greyscale(const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  if (GetBitsPerPixel() == 32) {
    Region r;
    if (!CutRegion(this, rect, r)) return kOpDone;
    if (GetColorKey() != kNoColorKey) {
      GreyRowsKeyed(r.Start32(), r.skip, r.rect.Width(), r.rect.Height(), GetColorKey());
    } else {
      (MmxEnabled() ? GreyRowsMmx : GreyRows)(r.Start32(), r.skip, r.rect.Width(), r.rect.Height());
    }
    MarkDirty(r.rect);
    return kOpDone;
  }
  if (rect) return kOpBadParameter;
  if (!GetPalette()) return kOpDone;
  std::unique_ptr<uint8_t[]> grey(new (std::nothrow) uint8_t[256]);
  if (!grey) return kOpBadFormat;
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = GetPalette()[i];
    grey[size_t(i)] =
        uint8_t((77 * (c >> 16 & 0xFF) + 150 * (c >> 8 & 0xFF) + 29 * (c & 0xFF)) >> 8);
  }
  MapPalette(this, [i = 0](uint32_t) mutable { return uint32_t(i++) * 0x010101u; });
  for (int32_t y = 0; y < GetHeight(); ++y) {
    uint8_t* row = GetRowPointer(y);
    for (int32_t x = 0; x < GetWidth(); ++x) row[x] = grey[row[x]];
  }
  MarkDirty({0, 0, GetWidth(), GetHeight()});
  return kOpDone;
}

int ImageSurface::ColorTone(int redMultiplier, int greenMultiplier, int blueMultiplier,
                            int redOffset, int greenOffset, int blueOffset, const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  const bool eightBit = GetBitsPerPixel() == 8;
  if (eightBit && !GetPalette()) return kOpNoPixels;
  for (int m : {redMultiplier, greenMultiplier, blueMultiplier}) {
    if (m < -kToneMultiplierLimit || m > kToneMultiplierLimit) return kOpBadParameter;
  }
  for (int o : {redOffset, greenOffset, blueOffset}) {
    if (o < -kToneOffsetLimit || o > kToneOffsetLimit) return kOpBadParameter;
  }
  const ToneCurve tone{redMultiplier, greenMultiplier, blueMultiplier,
                       redOffset,     greenOffset,     blueOffset};
  if (eightBit) {
    if (rect) return kOpBadFormat;
    MapPalette(this, [&](uint32_t c) { return ToneColor(c, tone); });
    MarkDirty({0, 0, GetWidth(), GetHeight()});
    return kOpDone;
  }
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  if (GetColorKey() != kNoColorKey) {
    ToneRowsKeyed(r.Start32(), r.skip, r.rect.Width(), r.rect.Height(), tone, GetColorKey());
  } else {
    (MmxEnabled() ? ToneRowsMmx : ToneRows)(r.Start32(), r.skip, r.rect.Width(), r.rect.Height(),
                                            tone);
  }
  MarkDirty(r.rect);
  return kOpDone;
}

int ImageSurface::Invert(int mode, const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  mode &= 0xFF;
  if (GetBitsPerPixel() == 8) {
    if (mode == 0) {
      if (!GetPalette()) return kOpNoPixels;
      if (rect) return kOpBadFormat;
      MapPalette(this, [](uint32_t c) { return c ^ 0x00FFFFFFu; });
      MarkDirty({0, 0, GetWidth(), GetHeight()});
      return kOpDone;
    }
    Region r;
    if (CutRegion(this, rect, r)) {
      for (int32_t y = 0; y < r.rect.Height(); ++y) {
        uint8_t* row = r.start + y * r.pitch;
        for (int32_t x = 0; x < r.rect.Width(); ++x) row[x] = uint8_t(255 - row[x]);
      }
      MarkDirty(r.rect);
    }
    // A picture without pixels has no key to set.
    (void)ClearColorKey();
    return kOpDone;
  }
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  if (GetColorKey() != kNoColorKey) {
    InvertRowsKeyed(r.Start32(), r.skip, r.rect.Width(), r.rect.Height(), mode, GetColorKey());
  } else {
    (MmxEnabled() ? InvertRowsMmx : InvertRows)(r.Start32(), r.skip, r.rect.Width(),
                                                r.rect.Height(), mode);
  }
  MarkDirty(r.rect);
  return kOpDone;
}

int ImageSurface::Blur(int mode, const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  const int result =
      GetBitsPerPixel() == 32
          ? SmoothRect(r.Start32(), r.skip, r.pitch, r.rect.Width(), r.rect.Height(), mode & 0xFF)
          : BlurRows8(r.start, r.pitch, r.rect.Width(), r.rect.Height());
  if (result != 0) return result + 1;
  MarkDirty(r.rect);
  return kOpDone;
}

int ImageSurface::Mosaic(int blockSize, int anchor, const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  if (blockSize < 2) return kOpDone;
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  if (GetBitsPerPixel() == 32) {
    MosaicRect(r.Start32(), r.skip, r.pitch, r.rect.Width(), r.rect.Height(), blockSize,
               anchor & 0xFF);
  } else {
    MosaicRows8(r.start, r.pitch, r.rect.Width(), r.rect.Height(), blockSize, anchor & 0xFF);
  }
  MarkDirty(r.rect);
  return kOpDone;
}

int ImageSurface::FillGradient(int direction, uint32_t startValue, uint32_t endValue,
                               const Rect* rect) {
  if (!GetPixels()) return kOpNoPixels;
  if (direction != 0 && direction != 1) return kOpBadParameter;
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  const int depth = GetBitsPerPixel();
  const int32_t count = direction == 0 ? r.rect.Width() : r.rect.Height();
  // An 8-bit picture ramps between two levels: the low bytes of the values.
  if (depth == 8) startValue &= 0xFF, endValue &= 0xFF;
  // A ramp of one entry is its start value.
  std::vector<uint32_t> ramp(size_t(count), startValue);
  if (count > 1) {
    AlphaRampTable table;
    if (table.Build(count, int32_t(startValue), int32_t(endValue), depth) != 0) {
      return kOpBadFormat;
    }
    for (int32_t i = 0; i < count; ++i) {
      ramp[size_t(i)] = depth == 8 ? table.Levels()[i] : table.Colors()[i];
    }
  }
  for (int32_t y = 0; y < r.rect.Height(); ++y) {
    uint8_t* row = r.start + y * r.pitch;
    for (int32_t x = 0; x < r.rect.Width(); ++x) {
      const uint32_t v = ramp[size_t(direction == 0 ? x : y)];
      if (depth == 8) {
        row[x] = uint8_t(v);
      } else {
        reinterpret_cast<uint32_t*>(row)[x] = v;
      }
    }
  }
  MarkDirty(r.rect);
  return kOpDone;
}

namespace {
// Each alpha value (the bytes of an 8-bit surface) of the region through f.
template <typename F>
bool MapAlpha(ImageSurface* s, const Rect* rect, F f) {
  Region r;
  if (!CutRegion(s, rect, r)) return false;
  const bool eightBit = s->GetBitsPerPixel() == 8;
  const int step = eightBit ? 1 : 4;
  const int offset = eightBit ? 0 : 3;
  for (int32_t y = 0; y < r.rect.Height(); ++y) {
    uint8_t* p = r.start + y * r.pitch + offset;
    for (int32_t x = 0; x < r.rect.Width(); ++x, p += step) *p = f(*p);
  }
  s->MarkDirty(r.rect);
  return true;
}
constexpr int kAlphaLevelEnd = 512;
}  // namespace

bool ImageSurface::ScaleAlpha(int level, const Rect* rect) {
  if (!GetPixels() || level < 0 || level >= kAlphaLevelEnd) return false;
  if (GetBitsPerPixel() == 32) {
    Region r;
    if (!CutRegion(this, rect, r)) return false;
    ScaleAlphaRows(r.Start32(), r.pitch, r.rect.Width(), r.rect.Height(), level);
    MarkDirty(r.rect);
    return true;
  }
  const AlphaLevel scale = AlphaLevelOf(level);
  const uint8_t* row = ProductTable[scale.k];
  return MapAlpha(this, rect,
                  [row, lift = scale.lift](uint8_t a) { return uint8_t(row[a] + lift); });
}

bool ImageSurface::ToneAlpha(int multiplier, int offset, const Rect* rect) {
  if (!GetPixels() || multiplier < 0 || multiplier > kToneMultiplierLimit ||
      offset < -kToneOffsetLimit || offset > kToneOffsetLimit) {
    return false;
  }
  const uint8_t* clamp = ClampTable();
  return MapAlpha(this, rect,
                  [&](uint8_t a) { return clamp[((int(a) * multiplier) >> 7) + offset]; });
}

int ImageSurface::SetBrightness(int level, const Rect* rect) {
  constexpr int kNeutral = 255, kBrightest = 510;
  if (!GetPixels()) return kOpNoPixels;
  if (level < 0 || level > kBrightest) return kOpBadParameter;
  if (GetBitsPerPixel() == 8) {
    if (!GetPalette()) return kOpNoPixels;
    if (rect) return kOpBadFormat;
    if (level == kNeutral && !brightnessBase_) return kOpDone;
    if (!brightnessBase_) {
      brightnessBase_.reset(new (std::nothrow) uint32_t[256]);
      if (!brightnessBase_) return kOpBadFormat;
      std::copy(GetPalette(), GetPalette() + 256, brightnessBase_.get());
    }
    // Level 255 keeps every entry: ProductTable[255][c] is c.
    const uint8_t* keep = ProductTable[level < kNeutral ? level : 2 * kNeutral - level];
    const int lift = level < kNeutral ? 0 : ProductTable[255][level - kNeutral];
    uint32_t entries[256];
    for (int i = 0; i < 256; ++i) {
      const uint32_t c = brightnessBase_[size_t(i)];
      entries[i] = 0;
      for (int s = 0; s < 24; s += 8) entries[i] |= uint32_t(keep[c >> s & 0xFF] + lift) << s;
    }
    // Straight to the palette: the palette operations would take this as a new base. The key
    // is an index and stays.
    // A picture deeper than 8 bits has no palette to set.
    (void)DibSurface::SetPalette(entries, 256, 0);
    MarkDirty({0, 0, GetWidth(), GetHeight()});
    return kOpDone;
  }
  if (level == kNeutral) return kOpDone;
  Region r;
  if (!CutRegion(this, rect, r)) return kOpDone;
  if (level < kNeutral) {
    ScaleRgbRows(r.Start32(), r.pitch, r.rect.Width(), r.rect.Height(), level);
  } else {
    BlendColorRows(r.Start32(), r.pitch, r.rect.Width(), r.rect.Height(), level - kNeutral, 255,
                   255, 255);
  }
  MarkDirty(r.rect);
  return kOpDone;
}

}  // namespace bw
