#include "host/gdi/memory_dc.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace bw::host {

int64_t RowPitch(int64_t width, int bits) {
  int64_t pitch = (width * (bits / 8) + 3) & ~int64_t{3};
  return pitch > kMaxSectionBytes ? 0 : pitch;
}

std::unique_ptr<DibSection> DibSection::Create(int width, int height, int bits) {
  if (width < 1 || height < 1) return nullptr;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  int64_t pitch = RowPitch(width, bits);
  if (pitch == 0 || pitch * height > kMaxSectionBytes) return nullptr;
  std::unique_ptr<DibSection> section(new DibSection);
  section->pixels_.reset(new (std::nothrow) uint8_t[size_t(pitch * height)]());
  if (!section->pixels_) return nullptr;
  section->width_ = width;
  section->height_ = height;
  section->bits_ = bits;
  section->pitch_ = static_cast<ptrdiff_t>(pitch);
  for (uint32_t i = 0; i < 256; ++i) section->colors_[i] = i * 0x010101u;
  return section;
}

int DibSection::SetColorTable(int first, int count, const uint32_t* colors) {
  int written = 0;
  for (int i = 0; i < count && first + i < 256; ++i, ++written) {
    if (first + i >= 0) colors_[first + i] = colors[i] & 0x00FFFFFFu;
  }
  return written;
}

DibSection* MemoryDc::Select(DibSection* section) {
  DibSection* previous = selected_;
  selected_ = section;
  return previous;
}

namespace {

bool Compatible(const DibSection* d, const DibSection* s) {
  return d && s && (d->Bits() == s->Bits() || (d->Bits() == 32 && s->Bits() == 8));
}

// Writes source pixel (sx, sy) into destination pixel (x, y), converting 8 to 32 bits.
void CopyPixel(DibSection& d, int x, int y, const DibSection& s, int sx, int sy) {
  const uint8_t* from = s.Pixels() + sy * s.Pitch() + sx * (s.Bits() / 8);
  uint8_t* to = d.Pixels() + y * d.Pitch() + x * (d.Bits() / 8);
  if (d.Bits() == s.Bits()) {
    std::memcpy(to, from, size_t(d.Bits() / 8));
  } else {
    uint32_t c = s.ColorTable()[*from];
    std::memcpy(to, &c, 4);
  }
}

}  // namespace

bool BitBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx, int sy) {
  DibSection* d = dst.Selected();
  const DibSection* s = src.Selected();
  if (!Compatible(d, s)) return false;
  // Clip the rectangle against both sections, moving the other side along.
  auto clip = [](int& pos, int& spos, int& len, int dlimit, int slimit) {
    int cut = std::max(0 - pos, 0 - spos);
    if (cut > 0) pos += cut, spos += cut, len -= cut;
    len = std::min({len, dlimit - pos, slimit - spos});
  };
  clip(x, sx, w, d->Width(), s->Width());
  clip(y, sy, h, d->Height(), s->Height());
  if (w <= 0 || h <= 0) return true;
  for (int j = 0; j < h; ++j) {
    if (d->Bits() == s->Bits()) {
      int bytes = d->Bits() / 8;
      std::memmove(d->Pixels() + (y + j) * d->Pitch() + x * bytes,
                   s->Pixels() + (sy + j) * s->Pitch() + sx * bytes, size_t(w) * bytes);
    } else {
      for (int i = 0; i < w; ++i) CopyPixel(*d, x + i, y + j, *s, sx + i, sy + j);
    }
  }
  return true;
}

bool StretchBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx, int sy,
                int sw, int sh) {
  DibSection* d = dst.Selected();
  const DibSection* s = src.Selected();
  if (!Compatible(d, s) || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  for (int j = 0; j < h; ++j) {
    int ty = y + j;
    int64_t fy = sy + int64_t{j} * sh / h;
    if (ty < 0 || ty >= d->Height() || fy < 0 || fy >= s->Height()) continue;
    for (int i = 0; i < w; ++i) {
      int tx = x + i;
      int64_t fx = sx + int64_t{i} * sw / w;
      if (tx < 0 || tx >= d->Width() || fx < 0 || fx >= s->Width()) continue;
      CopyPixel(*d, tx, ty, *s, int(fx), int(fy));
    }
  }
  return true;
}

}  // namespace bw::host
