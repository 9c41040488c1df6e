#include "host/surface/memory_surface.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "host/gdi/memory_dc.h"
#include "host/presentation_sink.h"

namespace bw::host {
namespace {

bool Inside(const DdRect& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.left < r.right &&
         r.top < r.bottom;
}

// Blits map coordinates through 64-bit products; rectangles this far out are refused.
constexpr int32_t kMaxCoordinate = 1 << 28;
bool Reasonable(const DdRect& r) {
  return r.left > -kMaxCoordinate && r.top > -kMaxCoordinate && r.right < kMaxCoordinate &&
         r.bottom < kMaxCoordinate;
}

DdRect Intersect(const DdRect& a, const DdRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool SameRect(const DdRect& a, const DdRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameLayout(const DdPixelFormat& a, const DdPixelFormat& b) {
  return a.rgbBitCount == b.rgbBitCount && a.rBitMask == b.rBitMask && a.gBitMask == b.gBitMask &&
         a.bBitMask == b.bBitMask && a.rgbAlphaBitMask == b.rgbAlphaBitMask;
}

// One pixel of kBytes bytes as a little-endian word; fixed sizes let the copies inline.
template <int kBytes>
uint32_t LoadPixel(const uint8_t* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, kBytes);
  return v;
}
template <int kBytes>
void StorePixel(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, kBytes);
}

// Nearest source position by centres, so a clipped blit draws exactly its share of the whole one.
int64_t NearestSource(int64_t sourceStart, int64_t sourceLength, int64_t offset, int64_t length) {
  return sourceStart + (offset * 2 + 1) * sourceLength / (2 * length);
}

struct KeyRange {
  bool on = false;
  uint32_t low = 0, high = 0;
  bool Matches(uint32_t v) const { return on && v >= low && v <= high; }
};

template <int kBytes>
void FillRow(uint8_t* out, int count, uint32_t value) {
  if constexpr (kBytes == 1) {
    std::memset(out, int(value & 0xFF), size_t(count));
  } else if constexpr (kBytes == 2) {
    std::fill_n(reinterpret_cast<uint16_t*>(out), count, uint16_t(value));
  } else if constexpr (kBytes == 4) {
    std::fill_n(reinterpret_cast<uint32_t*>(out), count, value);
  } else {
    for (int x = 0; x < count; ++x) StorePixel<kBytes>(out + x * kBytes, value);
  }
}

template <int kBytes>
void KeyedRow(uint8_t* out, const uint8_t* in, int count, const KeyRange& key) {
  for (int x = 0; x < count; ++x) {
    const uint32_t v = LoadPixel<kBytes>(in + x * kBytes);
    if (!key.Matches(v)) StorePixel<kBytes>(out + x * kBytes, v);
  }
}

// columns holds each target pixel's source pixel, counted from the row start.
template <int kBytes>
void ScaledRow(uint8_t* out, const uint8_t* in, const int32_t* columns, int count,
               const KeyRange& key) {
  if (key.on) {
    for (int x = 0; x < count; ++x) {
      const uint32_t v = LoadPixel<kBytes>(in + ptrdiff_t{columns[x]} * kBytes);
      if (!key.Matches(v)) StorePixel<kBytes>(out + x * kBytes, v);
    }
    return;
  }
  for (int x = 0; x < count; ++x) {
    std::memcpy(out + x * kBytes, in + ptrdiff_t{columns[x]} * kBytes, kBytes);
  }
}

// Four 32-bit pixels a step, gathered into one register so that they take one store.
void GatherRow32(uint8_t* out, const uint8_t* in, const int32_t* columns, int count) {
  int x = 0;
  auto load = [in](int32_t column) {
    int32_t v;
    std::memcpy(&v, in + ptrdiff_t{column} * 4, 4);
    return _mm_cvtsi32_si128(v);
  };
  for (; x + 4 <= count; x += 4) {
    const __m128i low = _mm_unpacklo_epi32(load(columns[x]), load(columns[x + 1]));
    const __m128i high = _mm_unpacklo_epi32(load(columns[x + 2]), load(columns[x + 3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), _mm_unpacklo_epi64(low, high));
  }
  for (; x < count; ++x) std::memcpy(out + x * 4, in + ptrdiff_t{columns[x]} * 4, 4);
}

// Where a scaled or unscaled copy reads, for the rows and columns of one clipped target area.
struct CopyPlan {
  const uint8_t* srcPixels;
  ptrdiff_t srcPitch;
  DdRect d, s;
  KeyRange key;
};

// Copies far larger than the caches write past them (glibc's memcpy does the same for one large
// block): the target is not read back before its lines would leave the caches, and the stores
// need not fetch the lines they overwrite.
constexpr int64_t kStreamedCopyBytes = int64_t{4} << 20;

void StreamBytes(uint8_t* out, const uint8_t* in, size_t bytes) {
  size_t i = 0;
  for (; i < bytes && reinterpret_cast<uintptr_t>(out + i) % 16 != 0; ++i) out[i] = in[i];
  for (; i + 64 <= bytes; i += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + i + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + i + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + i + 48), d);
  }
  for (; i + 16 <= bytes; i += 16) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
  }
  if (i < bytes) std::memcpy(out + i, in + i, bytes - i);
}

// Writes whole target rows, past the caches when the area is large.
class RowWriter {
 public:
  RowWriter(int64_t rows, size_t rowBytes)
      : bytes_(rowBytes), stream_(rows * int64_t(rowBytes) > kStreamedCopyBytes) {}
  ~RowWriter() {
    if (stream_) _mm_sfence();
  }
  void operator()(uint8_t* out, const uint8_t* in) const {
    if (stream_) {
      StreamBytes(out, in, bytes_);
    } else {
      std::memcpy(out, in, bytes_);
    }
  }

 private:
  size_t bytes_;
  bool stream_;
};

template <int kBytes>
void CopyArea(uint8_t* pixels, ptrdiff_t pitch, const DdRect& r, const CopyPlan& plan) {
  const int count = r.right - r.left;
  const size_t rowBytes = size_t(count) * kBytes;
  const int64_t dw = int64_t{plan.d.right} - plan.d.left, dh = int64_t{plan.d.bottom} - plan.d.top;
  const int64_t sw = int64_t{plan.s.right} - plan.s.left, sh = int64_t{plan.s.bottom} - plan.s.top;
  auto target = [&](int y) { return pixels + ptrdiff_t{y} * pitch + ptrdiff_t{r.left} * kBytes; };
  if (sw == dw && sh == dh) {
    // At 1:1 the nearest source of each pixel is the one at the same offset.
    const ptrdiff_t dx = ptrdiff_t{plan.s.left} - plan.d.left,
                    dy = ptrdiff_t{plan.s.top} - plan.d.top;
    auto source = [&](int y) {
      return plan.srcPixels + (y + dy) * plan.srcPitch + (r.left + dx) * kBytes;
    };
    if (plan.key.on) {
      for (int y = r.top; y < r.bottom; ++y)
        KeyedRow<kBytes>(target(y), source(y), count, plan.key);
      return;
    }
    // Whole rows without padding on either side are one block.
    if (ptrdiff_t(rowBytes) == pitch && pitch == plan.srcPitch) {
      std::memcpy(target(r.top), source(r.top), rowBytes * size_t(r.bottom - r.top));
      return;
    }
    const RowWriter write(r.bottom - r.top, rowBytes);
    for (int y = r.top; y < r.bottom; ++y) write(target(y), source(y));
    return;
  }
  // Source coordinates stay below 2^28, so a column fits 32 bits.
  std::vector<int32_t> columns(static_cast<size_t>(count));
  for (int x = r.left; x < r.right; ++x) {
    columns[size_t(x - r.left)] =
        int32_t(NearestSource(plan.s.left, sw, int64_t{x} - plan.d.left, dw));
  }
  auto sourceRow = [&](int y) {
    return plan.srcPixels +
           NearestSource(plan.s.top, sh, int64_t{y} - plan.d.top, dh) * plan.srcPitch;
  };
  if (plan.key.on) {
    for (int y = r.top; y < r.bottom; ++y) {
      ScaledRow<kBytes>(target(y), sourceRow(y), columns.data(), count, plan.key);
    }
    return;
  }
  // Each source row is stepped once into a row that stays in the cache, then written to every
  // target row that repeats it.
  std::vector<uint8_t> row(rowBytes);
  const uint8_t* stepped = nullptr;
  const RowWriter write(r.bottom - r.top, rowBytes);
  for (int y = r.top; y < r.bottom; ++y) {
    const uint8_t* in = sourceRow(y);
    if (in != stepped) {
      if constexpr (kBytes == 4) {
        GatherRow32(row.data(), in, columns.data(), count);
      } else {
        ScaledRow<kBytes>(row.data(), in, columns.data(), count, plan.key);
      }
      stepped = in;
    }
    write(target(y), row.data());
  }
}

template <int kBytes>
void FillArea(uint8_t* pixels, ptrdiff_t pitch, const DdRect& r, uint32_t value) {
  for (int y = r.top; y < r.bottom; ++y) {
    FillRow<kBytes>(pixels + ptrdiff_t{y} * pitch + ptrdiff_t{r.left} * kBytes, r.right - r.left,
                    value);
  }
}

// Where the spares of a surface fall behind: a few rectangles, folded into their bounds once there
// would be more, as copying a little too much is cheaper than keeping count of every piece.
constexpr size_t kMaxBehind = 8;

int64_t AreaOf(const std::vector<DdRect>& areas) {
  int64_t sum = 0;
  for (const DdRect& r : areas) sum += int64_t{r.right - r.left} * (r.bottom - r.top);
  return sum;
}

bool Contains(const DdRect& outer, const DdRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

DdRect Bounds(const DdRect& a, const DdRect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

void AddArea(std::vector<DdRect>* areas, const DdRect& r) {
  if (r.left >= r.right || r.top >= r.bottom) return;
  for (const DdRect& kept : *areas) {
    if (Contains(kept, r)) return;
  }
  std::erase_if(*areas, [&](const DdRect& kept) { return Contains(r, kept); });
  areas->push_back(r);
  if (areas->size() <= kMaxBehind) return;
  DdRect all = areas->front();
  for (const DdRect& kept : *areas) all = Bounds(all, kept);
  *areas = {all};
}

// The parts of areas that none of cuts covers.
std::vector<DdRect> Outside(std::vector<DdRect> areas, std::span<const DdRect> cuts) {
  for (const DdRect& c : cuts) {
    std::vector<DdRect> left;
    for (const DdRect& r : areas) {
      const DdRect in = Intersect(r, c);
      if (in.left >= in.right || in.top >= in.bottom) {
        left.push_back(r);
        continue;
      }
      // Above, below, then beside the cut within its rows.
      if (r.top < in.top) left.push_back({r.left, r.top, r.right, in.top});
      if (in.bottom < r.bottom) left.push_back({r.left, in.bottom, r.right, r.bottom});
      if (r.left < in.left) left.push_back({r.left, in.top, in.left, in.bottom});
      if (in.right < r.right) left.push_back({in.right, in.top, r.right, in.bottom});
    }
    areas = std::move(left);
  }
  return areas;
}

// An empty rectangle for no areas.
DdRect BoundsOf(std::span<const DdRect> areas) {
  DdRect all{};
  for (const DdRect& r : areas) {
    if (r.left >= r.right || r.top >= r.bottom) continue;
    all = all.left < all.right ? Bounds(all, r) : r;
  }
  return all;
}

// Rows top..bottom - 1 of two blocks alike in shape, compared over columns left..right - 1.
struct RowCompare {
  const uint8_t* a;
  const uint8_t* b;
  ptrdiff_t pitch;
  int bytesPerPixel;
  bool Same(int y, int left, int right) const {
    const ptrdiff_t at = ptrdiff_t{y} * pitch + ptrdiff_t{left} * bytesPerPixel;
    return std::memcmp(a + at, b + at, size_t(right - left) * size_t(bytesPerPixel)) == 0;
  }
};

// The rows of each area where the two blocks differ, each area narrowed to its first and last
// such row; empty when they agree everywhere in the areas.
std::vector<DdRect> Differences(const RowCompare& rows, const std::vector<DdRect>& areas) {
  std::vector<DdRect> out;
  for (DdRect r : areas) {
    while (r.top < r.bottom && rows.Same(r.top, r.left, r.right)) ++r.top;
    while (r.bottom > r.top && rows.Same(r.bottom - 1, r.left, r.right)) --r.bottom;
    AddArea(&out, r);
  }
  return out;
}

// Calls f with the pixel size as a compile-time constant.
template <typename F>
void ByPixelSize(int bytes, F f) {
  switch (bytes) {
    case 1:
      return f(std::integral_constant<int, 1>{});
    case 2:
      return f(std::integral_constant<int, 2>{});
    case 3:
      return f(std::integral_constant<int, 3>{});
    default:
      return f(std::integral_constant<int, 4>{});
  }
}

}  // namespace

PixelCodec::PixelCodec(const DdPixelFormat& f) {
  palette_ = f.rgbBitCount == 8;
  const uint32_t masks[4] = {f.rgbAlphaBitMask, f.rBitMask, f.gBitMask, f.bBitMask};
  for (int i = 0; i < 4; ++i) {
    channels_[i].mask = masks[i];
    channels_[i].shift = masks[i] ? std::countr_zero(masks[i]) : 0;
    channels_[i].bits = std::popcount(masks[i]);
  }
  standard32_ = f.rgbBitCount == 32 && f.rBitMask == 0xFF0000 && f.gBitMask == 0xFF00 &&
                f.bBitMask == 0xFF && (f.rgbAlphaBitMask == 0 || f.rgbAlphaBitMask == 0xFF000000u);
  hasAlpha_ = f.rgbAlphaBitMask != 0;
}

uint32_t PixelCodec::PackFields(uint32_t argb) const {
  if (palette_) return argb & 0xFF;
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    const Channel& c = channels_[i];
    if (!c.bits) continue;
    uint32_t v = argb >> (24 - 8 * i) & 0xFF;
    if (c.bits < 8) v >>= 8 - c.bits;
    out |= (v << c.shift) & c.mask;
  }
  return out;
}

uint32_t PixelCodec::UnpackFields(uint32_t raw) const {
  if (palette_) return 0xFF000000u | (raw & 0xFF) * 0x010101u;
  uint32_t out = channels_[0].bits ? 0 : 0xFF000000u;
  for (int i = 0; i < 4; ++i) {
    const Channel& c = channels_[i];
    if (!c.bits) continue;
    uint32_t v = (raw & c.mask) >> c.shift;
    if (c.bits >= 8) {
      v >>= c.bits - 8;
    } else {
      const uint32_t max = (1u << c.bits) - 1;
      v = (v * 255 + max / 2) / max;
    }
    out |= v << (24 - 8 * i);
  }
  return out;
}

uint32_t PackArgb(const DdPixelFormat& f, uint32_t argb) {
  return PixelCodec(f).Pack(argb);
}

uint32_t UnpackArgb(const DdPixelFormat& f, uint32_t raw) {
  return PixelCodec(f).Unpack(raw);
}

HResult MemoryClipper::SetClipList(const std::vector<DdRect>& rects) {
  rects_ = rects;
  hasList_ = true;
  hwnd_ = HWND{};
  return kDdOk;
}

HResult MemoryClipper::SetHWnd(HWND hwnd) {
  hwnd_ = hwnd;
  hasList_ = false;
  rects_.clear();
  return kDdOk;
}

std::vector<DdRect> MemoryClipper::ClipRects(int width, int height) const {
  const DdRect whole{0, 0, width, height};
  if (!hasList_) return {whole};
  std::vector<DdRect> out;
  for (const DdRect& r : rects_) {
    DdRect c = Intersect(r, whole);
    if (c.left < c.right && c.top < c.bottom) out.push_back(c);
  }
  return out;
}

MemorySurface::~MemorySurface() = default;

std::unique_ptr<MemorySurface> MemorySurface::Create(int width, int height,
                                                     const DdPixelFormat& format) {
  const int bits = int(format.rgbBitCount);
  if (width < 1 || height < 1) return nullptr;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  int64_t pitch = RowPitch(width, bits);
  if (pitch == 0 || pitch * height > kMaxSectionBytes) return nullptr;
  std::unique_ptr<MemorySurface> s(new MemorySurface);
  s->pixels_ = SharedPixels::Make(size_t(pitch * height), true);
  if (!s->pixels_) return nullptr;
  s->width_ = width;
  s->height_ = height;
  s->pitch_ = ptrdiff_t(pitch);
  s->format_ = format;
  return s;
}

std::unique_ptr<MemorySurface> MemorySurface::CreateFlipChain(int width, int height,
                                                              const DdPixelFormat& format,
                                                              int backBuffers) {
  if (backBuffers < 1) return nullptr;
  auto front = Create(width, height, format);
  if (!front) return nullptr;
  for (int i = 0; i < backBuffers; ++i) {
    auto back = Create(width, height, format);
    if (!back) return nullptr;
    back->front_ = front.get();
    front->backBuffers_.push_back(std::move(back));
  }
  return front;
}

HResult MemorySurface::GetPixelFormat(DdPixelFormat* out) const {
  if (!out || out->size != sizeof(DdPixelFormat)) return kDdErrInvalidParams;
  *out = format_;
  return kDdOk;
}

HResult MemorySurface::CheckUsable() const {
  if (lost_) return kDdErrSurfaceLost;
  if (locked_) return kDdErrSurfaceBusy;
  return kDdOk;
}

uint8_t* MemorySurface::Writable(Keep keep) {
  if (pixels_.Sole()) return pixels_.Data();
  // Someone still shows these pixels: the write goes to the spare nobody else holds that is
  // least behind, or to a new block.
  auto best = spares_.end();
  for (auto it = spares_.begin(); it != spares_.end(); ++it) {
    if (!it->pixels.Sole() || it->pixels.Size() != pixels_.Size()) continue;
    if (best == spares_.end() || AreaOf(it->behind) < AreaOf(best->behind)) best = it;
  }
  Spare next;
  if (best != spares_.end()) {
    next = std::move(*best);
    spares_.erase(best);
  } else {
    next.pixels = SharedPixels::Make(pixels_.Size());
    if (!next.pixels) return nullptr;
    next.behind = {DdRect{0, 0, width_, height_}};
  }
  if (keep == Keep::kAll) CopyAreas(next.pixels.Data(), pixels_.Data(), next.behind);
  if (keep == Keep::kUnwritten) {
    unwrittenBehind_ = std::move(next.behind);
    unwrittenFrom_ = pixels_;
  }
  // The pixels left behind match the new ones until the write lands.
  constexpr size_t kMaxSpares = 2;
  if (spares_.size() == kMaxSpares) spares_.erase(spares_.begin());
  spares_.push_back(Spare{std::move(pixels_), {}});
  pixels_ = std::move(next.pixels);
  return pixels_.Data();
}

void MemorySurface::CopyAreas(uint8_t* to, const uint8_t* from,
                              std::span<const DdRect> areas) const {
  const size_t bytesPerPixel = size_t(BytesPerPixel());
  for (const DdRect& r : areas) {
    // Whole rows of an unpadded block lie end to end: one copy takes them all.
    if (r.left == 0 && r.right == width_ && pitch_ == ptrdiff_t(width_) * BytesPerPixel()) {
      if (r.top < r.bottom)
        std::memcpy(to + ptrdiff_t{r.top} * pitch_, from + ptrdiff_t{r.top} * pitch_,
                    size_t(r.bottom - r.top) * size_t(pitch_));
      continue;
    }
    for (int y = r.top; y < r.bottom; ++y) {
      const ptrdiff_t at = ptrdiff_t{y} * pitch_ + ptrdiff_t{r.left} * BytesPerPixel();
      std::memcpy(to + at, from + at, size_t(r.right - r.left) * bytesPerPixel);
    }
  }
}

void MemorySurface::Wrote(std::span<const DdRect> areas, bool compared) {
  const DdRect whole{0, 0, width_, height_};
  const uint8_t* from = unwrittenFrom_.Data();
  if (unwrittenFrom_) {
    CopyAreas(pixels_.Data(), unwrittenFrom_.Data(), Outside(unwrittenBehind_, areas));
    unwrittenBehind_.clear();
    unwrittenFrom_.Reset();
  }
  for (Spare& spare : spares_) {
    // The block the write began from was left behind by it, level with the pixels until now.
    const bool level = spare.pixels.Data() == from && spare.behind.empty();
    for (const DdRect& r : areas) AddArea(&spare.behind, Intersect(r, whole));
    spare.exact = (compared && level) || (spare.exact && areas.empty());
  }
}

void MemorySurface::WroteAll() {
  const DdRect whole{0, 0, width_, height_};
  Wrote({&whole, 1});
}

void MemorySurface::Take(MemorySurface* src) {
  const DdRect whole{0, 0, width_, height_};
  spares_.clear();
  if (pixels_.Data() == src->pixels_.Data()) {
    if (sink_) sink_->HandOverSame();
    return;
  }
  // Where the held pixels may differ from the new ones is known when they are one of the
  // source's spares; the rows that really differ are what the window must be shown.
  std::vector<DdRect> changed = {whole};
  for (Spare& spare : src->spares_) {
    if (spare.pixels.Data() != pixels_.Data()) continue;
    if (!spare.exact) {
      spare.behind =
          Differences({pixels_.Data(), src->pixels_.Data(), pitch_, BytesPerPixel()}, spare.behind);
    }
    changed = spare.behind;
    break;
  }
  if (changed.empty()) {
    // The same picture: the source may go on writing its pixels in place.
    if (sink_) sink_->HandOverSame();
    return;
  }
  pixels_ = src->pixels_;
  Present(BoundsOf(changed));
}

HResult MemorySurface::Blt(const DdRect* dest, uint32_t flags, const DdBltFx* fx) {
  return Blt(dest, nullptr, nullptr, flags, fx);
}

HResult MemorySurface::Blt(const DdRect* dest, MemorySurface* src, const DdRect* srcRect,
                           uint32_t flags, const DdBltFx* fx) {
  if (HResult hr = CheckUsable(); hr != kDdOk) return hr;
  const bool fill = (flags & kDdBltColorFill) != 0;
  if (fill ? (!fx || fx->size != kDdBltFxSize) : !src) return kDdErrInvalidParams;
  if (src) {
    if (HResult hr = src->CheckUsable(); hr != kDdOk && src != this) return hr;
    if (!SameLayout(format_, src->format_)) return kDdErrInvalidPixelFormat;
    if ((flags & kDdBltKeySrc) && !src->hasSrcKey_) return kDdErrNoColorKey;
  }
  if (blitterRefuses_) return kDdErrUnsupported;
  const DdRect d = dest ? *dest : DdRect{0, 0, width_, height_};
  if (d.left >= d.right || d.top >= d.bottom || !Reasonable(d)) return kDdErrInvalidRect;
  if (!clipper_ && !Inside(d, width_, height_)) return kDdErrInvalidRect;
  DdRect s{};
  if (src) {
    s = srcRect ? *srcRect : DdRect{0, 0, src->width_, src->height_};
    if (!Inside(s, src->width_, src->height_)) return kDdErrInvalidRect;
  }
  const std::vector<DdRect> clips =
      clipper_ ? clipper_->ClipRects(width_, height_) : std::vector<DdRect>{d};
  // A copy within one surface reads from a snapshot so overlapping areas come out whole.
  std::unique_ptr<uint8_t[]> snapshot;
  const uint8_t* srcPixels = src ? src->pixels_.Data() : nullptr;
  if (src == this) {
    const size_t size = size_t(pitch_) * size_t(height_);
    snapshot.reset(new (std::nothrow) uint8_t[size]);
    if (!snapshot) return kDdErrGeneric;
    std::memcpy(snapshot.get(), pixels_.Data(), size);
    srcPixels = snapshot.get();
  }
  CopyPlan plan{srcPixels, src ? src->pitch_ : 0, d, s, {}};
  if (src && (flags & kDdBltKeySrc)) {
    plan.key = {true, src->srcKey_.low, std::max(src->srcKey_.low, src->srcKey_.high)};
  }
  // A blit that writes every pixel (the present of a whole frame) need not keep the old ones.
  bool whole = !plan.key.on;
  if (whole) {
    whole = false;
    for (const DdRect& clip : clips) {
      const DdRect r = Intersect(d, clip);
      whole = whole || (r.left <= 0 && r.top <= 0 && r.right >= width_ && r.bottom >= height_);
    }
  }
  // A whole surface 1:1 onto a whole surface of the same shape (the present of a finished frame)
  // shares the source's pixels; whichever of the two is written next writes elsewhere first.
  const DdRect all{0, 0, width_, height_};
  if (whole && src && src != this && SameRect(d, all) && SameRect(s, all) &&
      src->width_ == width_ && src->height_ == height_ && src->pitch_ == pitch_) {
    Take(src);
    return kDdOk;
  }
  uint8_t* pixels = Writable(whole ? Keep::kNothing : Keep::kAll);
  if (!pixels) return kDdErrGeneric;
  std::vector<DdRect> written;
  ByPixelSize(BytesPerPixel(), [&](auto bytes) {
    for (const DdRect& clip : clips) {
      const DdRect r = Intersect(d, clip);
      if (r.left >= r.right || r.top >= r.bottom) continue;
      if (src) {
        CopyArea<bytes()>(pixels, pitch_, r, plan);
      } else {
        FillArea<bytes()>(pixels, pitch_, r, fx->fillColor);
      }
      written.push_back(r);
    }
  });
  Wrote(written);
  Present(BoundsOf(written));
  return kDdOk;
}

HResult MemorySurface::BltFast(int x, int y, MemorySurface* src, const DdRect* srcRect,
                               uint32_t flags) {
  if (!src) return kDdErrInvalidParams;
  if (HResult hr = CheckUsable(); hr != kDdOk) return hr;
  if (HResult hr = src->CheckUsable(); hr != kDdOk && src != this) return hr;
  if (!SameLayout(format_, src->format_)) return kDdErrInvalidPixelFormat;
  if ((flags & kDdBltFastSrcColorKey) && !src->hasSrcKey_) return kDdErrNoColorKey;
  const DdRect s = srcRect ? *srcRect : DdRect{0, 0, src->width_, src->height_};
  if (!Inside(s, src->width_, src->height_)) return kDdErrInvalidRect;
  const int64_t right = int64_t{x} + (s.right - s.left), bottom = int64_t{y} + (s.bottom - s.top);
  if (x < 0 || y < 0 || right > width_ || bottom > height_) return kDdErrInvalidRect;
  const DdRect d{x, y, int32_t(right), int32_t(bottom)};
  // The same copy as Blt at 1:1, without a clipper.
  MemoryClipper* clipper = clipper_;
  clipper_ = nullptr;
  const uint32_t bltFlags = (flags & kDdBltFastSrcColorKey) ? kDdBltKeySrc : 0;
  const HResult hr = Blt(&d, src, &s, bltFlags, nullptr);
  clipper_ = clipper;
  return hr;
}

HResult MemorySurface::Lock(DdSurfaceDesc* out) {
  if (lost_) return kDdErrSurfaceLost;
  if (!out) return kDdErrInvalidParams;
  if (locked_) return kDdErrSurfaceBusy;
  uint8_t* pixels = Writable(Keep::kAll);
  if (!pixels) return kDdErrGeneric;
  locked_ = true;
  out->width = uint32_t(width_);
  out->height = uint32_t(height_);
  out->pitch = int32_t(pitch_);
  out->surface = pixels;
  out->pixelFormat = format_;
  return kDdOk;
}

HResult MemorySurface::GetSurfaceDesc(DdSurfaceDesc* out) const {
  if (!out) return kDdErrInvalidParams;
  *out = DdSurfaceDesc{};
  out->flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
  out->caps = caps_;
  out->caps2 = caps2_;
  out->backBufferCount = uint32_t(backBuffers_.size());
  out->width = uint32_t(width_);
  out->height = uint32_t(height_);
  out->pitch = int32_t(pitch_);
  out->pixelFormat = format_;
  return kDdOk;
}

HResult MemorySurface::Unlock() {
  const DdRect whole{0, 0, width_, height_};
  return Unlock({&whole, 1});
}

HResult MemorySurface::Unlock(std::span<const DdRect> written) {
  if (!locked_ || dc_) return kDdErrNotLocked;
  locked_ = false;
  Wrote(written);
  Present(BoundsOf(written));
  return kDdOk;
}

HResult MemorySurface::SetColorKey(uint32_t flags, const DdColorKey* key) {
  if (lost_) return kDdErrSurfaceLost;
  if (flags != kDdCKeySrcBlt) return kDdErrInvalidParams;
  hasSrcKey_ = key != nullptr;
  if (key) srcKey_ = *key;
  return kDdOk;
}

HResult MemorySurface::GetColorKey(uint32_t flags, DdColorKey* out) const {
  if (flags != kDdCKeySrcBlt || !out) return kDdErrInvalidParams;
  if (!hasSrcKey_) return kDdErrNoColorKey;
  *out = srcKey_;
  return kDdOk;
}

HResult MemorySurface::SetClipper(MemoryClipper* clipper) {
  clipper_ = clipper;
  return kDdOk;
}

HResult MemorySurface::GetDC(MemoryDc** out, DcUse use) {
  if (!out) return kDdErrInvalidParams;
  if (dc_) return kDdErrDcAlreadyCreated;
  if (HResult hr = CheckUsable(); hr != kDdOk) return hr;
  uint8_t* pixels = Writable(use == kDcReadsAndWrites ? Keep::kAll : Keep::kUnwritten);
  if (!pixels) return kDdErrGeneric;
  auto section = DibSection::Over(pixels, width_, height_, int(format_.rgbBitCount));
  if (!section || section->Pitch() != pitch_) return kDdErrGeneric;
  // A context that cannot hold the surface's masks would paint in colours of another layout.
  if (format_.rgbBitCount == 16 &&
      !section->SetMasks(format_.rBitMask, format_.gBitMask, format_.bBitMask)) {
    return kDdErrInvalidPixelFormat;
  }
  dcSection_ = std::move(section);
  dc_ = std::make_unique<MemoryDc>();
  dcUse_ = use;
  dc_->Select(dcSection_.get());
  if (use == kDcWritesChanges) dc_->SetShown(unwrittenFrom_.Data());
  locked_ = true;
  *out = dc_.get();
  return kDdOk;
}

HResult MemorySurface::ReleaseDC(MemoryDc* dc) {
  const DdRect whole{0, 0, width_, height_};
  return ReleaseDC(dc, {&whole, 1});
}

HResult MemorySurface::ReleaseDC(MemoryDc* dc, std::span<const DdRect> written) {
  if (!dc_ || dc != dc_.get()) return kDdErrNoDc;
  dc_.reset();
  dcSection_.reset();
  locked_ = false;
  Wrote(written, dcUse_ == kDcWritesChanges);
  Present(BoundsOf(written));
  return kDdOk;
}

MemorySurface* MemorySurface::GetAttachedSurface() const {
  return backBuffers_.empty() ? nullptr : backBuffers_.front().get();
}

HResult MemorySurface::Flip(uint32_t) {
  if (backBuffers_.empty()) return kDdErrNotFlippable;
  if (HResult hr = CheckUsable(); hr != kDdOk) return hr;
  for (const auto& back : backBuffers_) {
    if (HResult hr = back->CheckUsable(); hr != kDdOk) return hr;
  }
  // The front takes the first back buffer's memory; the old front's goes to the last.
  SharedPixels old = std::move(pixels_);
  pixels_ = std::move(backBuffers_.front()->pixels_);
  for (size_t i = 0; i + 1 < backBuffers_.size(); ++i) {
    backBuffers_[i]->pixels_ = std::move(backBuffers_[i + 1]->pixels_);
  }
  backBuffers_.back()->pixels_ = std::move(old);
  // Each surface of the chain holds other pixels now: its spares may differ anywhere.
  WroteAll();
  for (const auto& back : backBuffers_) back->WroteAll();
  Present();
  return kDdOk;
}

HResult MemorySurface::Restore() {
  if (lost_) {
    uint8_t* pixels = Writable(Keep::kNothing);
    if (!pixels) return kDdErrGeneric;
    std::memset(pixels, 0, size_t(pitch_) * size_t(height_));
    WroteAll();
  }
  lost_ = false;
  // A surface still lost fails its next lock or blit, which reports it.
  for (const auto& back : backBuffers_) (void)back->Restore();
  return kDdOk;
}

void MemorySurface::SetLost(bool lost) {
  lost_ = lost;
  for (const auto& back : backBuffers_) back->SetLost(lost);
}

void MemorySurface::SetPresentationSink(PresentationSink* sink, bool linear) {
  sink_ = sink;
  linear_ = linear;
}

void MemorySurface::SetPresentLinear(bool linear) {
  (front_ ? front_ : this)->linear_ = linear;
}

bool MemorySurface::PresentsLinear() const {
  return (front_ ? front_ : this)->linear_;
}

void MemorySurface::Present() {
  Present(DdRect{0, 0, width_, height_});
}

void MemorySurface::Present(const DdRect& damage) {
  if (!sink_) return;
  if (damage.left >= damage.right || damage.top >= damage.bottom) {
    sink_->HandOverSame();
    return;
  }
  const ScaleFilter filter = linear_ ? ScaleFilter::kLinear : ScaleFilter::kNearest;
  const Rect changed{damage.left, damage.top, damage.right, damage.bottom};
  const bool bgra = format_.rgbBitCount == 32 && format_.rBitMask == 0xFF0000 &&
                    format_.gBitMask == 0xFF00 && format_.bBitMask == 0xFF;
  if (bgra) {
    // Shared, not copied: the next change is written elsewhere while the sink holds these. The
    // surface's own size and pitch are ones the sink takes.
    (void)sink_->HandOver(pixels_, width_, height_, int32_t(pitch_), filter, changed);
    return;
  }
  // Other depths become BGRA here, so the window only ever sees one layout. Every pixel is
  // written, so the block need not start zeroed, and the sink holds it instead of a copy.
  SharedPixels converted = SharedPixels::Make(size_t(width_) * size_t(height_) * 4);
  if (!converted) return;
  const PixelCodec codec(format_);
  ByPixelSize(BytesPerPixel(), [&](auto bytes) {
    for (int y = 0; y < height_; ++y) {
      const uint8_t* p = pixels_.Data() + ptrdiff_t{y} * pitch_;
      auto* out = reinterpret_cast<uint32_t*>(converted.Data()) + size_t(y) * size_t(width_);
      for (int x = 0; x < width_; ++x) out[x] = codec.Unpack(LoadPixel<bytes()>(p + x * bytes()));
    }
  });
  // A frame the sink cannot take is skipped: the next one shows.
  (void)sink_->HandOver(std::move(converted), width_, height_, width_ * 4, filter, changed);
}

}  // namespace bw::host
