#include "host/gdi/memory_dc.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace bw::host {

int64_t RowPitch(int64_t width, int bits) {
  int64_t pitch = (width * (bits / 8) + 3) & ~int64_t{3};
  return pitch > kMaxSectionBytes ? 0 : pitch;
}

// A section with its size, depth, pitch and grey colour table set and no pixels yet.
std::unique_ptr<DibSection> DibSection::Shaped(int width, int height, int bits) {
  if (width < 1 || height < 1) return nullptr;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  int64_t pitch = RowPitch(width, bits);
  if (pitch == 0 || pitch * height > kMaxSectionBytes) return nullptr;
  std::unique_ptr<DibSection> section(new DibSection);
  section->width_ = width;
  section->height_ = height;
  section->bits_ = bits;
  section->pitch_ = static_cast<ptrdiff_t>(pitch);
  for (uint32_t i = 0; i < 256; ++i) section->colors_[i] = i * 0x010101u;
  return section;
}

std::unique_ptr<DibSection> DibSection::Create(int width, int height, int bits, bool zeroed) {
  std::unique_ptr<DibSection> section = Shaped(width, height, bits);
  if (!section) return nullptr;
  section->owned_ = AllocateLargeBlock(size_t(section->pitch_) * size_t(height), zeroed);
  if (!section->owned_) return nullptr;
  section->pixels_ = section->owned_.get();
  return section;
}

std::unique_ptr<DibSection> DibSection::Over(uint8_t* pixels, int width, int height, int bits) {
  if (!pixels) return nullptr;
  std::unique_ptr<DibSection> section = Shaped(width, height, bits);
  if (section) section->pixels_ = pixels;
  return section;
}

int DibSection::SetColorTable(int first, int count, const uint32_t* colors) {
  int written = 0;
  for (int i = 0; i < count && first + i < 256; ++i, ++written) {
    if (first + i >= 0) colors_[first + i] = colors[i] & 0x00FFFFFFu;
  }
  return written;
}

bool DibSection::SetMasks(uint32_t red, uint32_t green, uint32_t blue) {
  if (bits_ != 16) return false;
  for (uint32_t mask : {red, green, blue}) {
    if (mask == 0 || mask > 0xFFFF || std::popcount(mask) > 8) return false;
    uint32_t run = mask >> std::countr_zero(mask);
    if ((run & (run + 1)) != 0) return false;  // not one run of bits
  }
  if ((red & green) != 0 || (red & blue) != 0 || (green & blue) != 0) return false;
  masks_[0] = red;
  masks_[1] = green;
  masks_[2] = blue;
  return true;
}

namespace {

uint8_t Red(COLORREF c) {
  return static_cast<uint8_t>(c);
}
uint8_t Green(COLORREF c) {
  return static_cast<uint8_t>(c >> 8);
}
uint8_t Blue(COLORREF c) {
  return static_cast<uint8_t>(c >> 16);
}

}  // namespace

uint32_t DibSection::Encode(COLORREF color) const {
  uint32_t r = Red(color), g = Green(color), b = Blue(color);
  if (bits_ == 16) {
    uint32_t value = 0;
    const uint32_t channels[3] = {r, g, b};
    for (int i = 0; i < 3; ++i) {
      int width = std::popcount(masks_[i]);
      value |= (channels[i] >> (8 - width)) << std::countr_zero(masks_[i]);
    }
    return value;
  }
  if (bits_ == 8) {
    uint32_t best = 0;
    int64_t bestDistance = std::numeric_limits<int64_t>::max();
    for (uint32_t i = 0; i < 256 && bestDistance > 0; ++i) {
      int64_t dr = int64_t((colors_[i] >> 16) & 0xFF) - r;
      int64_t dg = int64_t((colors_[i] >> 8) & 0xFF) - g;
      int64_t db = int64_t(colors_[i] & 0xFF) - b;
      int64_t distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) bestDistance = distance, best = i;
    }
    return best;
  }
  return r << 16 | g << 8 | b;  // the fourth byte of 32-bit pixels stays 0
}

COLORREF DibSection::Decode(uint32_t value) const {
  if (bits_ == 16) {
    uint8_t channels[3];
    for (int i = 0; i < 3; ++i) {
      uint32_t max = masks_[i] >> std::countr_zero(masks_[i]);
      uint32_t field = (value & masks_[i]) >> std::countr_zero(masks_[i]);
      channels[i] = static_cast<uint8_t>((field * 255 + max / 2) / max);
    }
    return RGB(channels[0], channels[1], channels[2]);
  }
  uint32_t rgb = bits_ == 8 ? colors_[value & 0xFF] : value;
  return RGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
             static_cast<uint8_t>(rgb));
}

uint32_t DibSection::Read(int x, int y) const {
  const uint8_t* p = pixels_ + y * pitch_ + x * (bits_ / 8);
  uint32_t value = 0;
  for (int i = 0; i < bits_ / 8; ++i) value |= uint32_t{p[i]} << (8 * i);
  return value;
}

void DibSection::Write(int x, int y, uint32_t value) {
  uint8_t* p = pixels_ + y * pitch_ + x * (bits_ / 8);
  for (int i = 0; i < bits_ / 8; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

DibSection* MemoryDc::Select(DibSection* section) {
  DibSection* previous = selected_;
  selected_ = section;
  return previous;
}

const GlyphFont* MemoryDc::SelectFont(const GlyphFont* font) {
  const GlyphFont* previous = font_;
  font_ = font;
  return previous;
}

COLORREF MemoryDc::SetTextColor(COLORREF color) {
  return std::exchange(textColor_, color & 0x00FFFFFFu);
}

COLORREF MemoryDc::SetBkColor(COLORREF color) {
  return std::exchange(bkColor_, color & 0x00FFFFFFu);
}

int MemoryDc::SetBkMode(int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return std::exchange(bkMode_, mode);
}

bool MemoryDc::FillSolidRect(const DcRect& rect, COLORREF color) {
  if (selected_ == nullptr) return false;
  int64_t left = std::max<int64_t>(rect.x, 0);
  int64_t top = std::max<int64_t>(rect.y, 0);
  int64_t right = std::min<int64_t>(int64_t{rect.x} + rect.w, selected_->Width());
  int64_t bottom = std::min<int64_t>(int64_t{rect.y} + rect.h, selected_->Height());
  uint32_t value = selected_->Encode(color);
  for (int64_t y = top; y < bottom; ++y) {
    for (int64_t x = left; x < right; ++x) selected_->Write(int(x), int(y), value);
  }
  return true;
}

bool MemoryDc::TextOutA(int x, int y, const char* text, int count) {
  if (selected_ == nullptr || font_ == nullptr) return false;
  TextMask mask;
  if (!font_->DrawTextMask(text, count, &mask)) return false;
  DibSection& s = *selected_;
  if (bkMode_ == OPAQUE) {
    TextSize size;
    if (!font_->GetTextExtentPoint32A(text, count, &size)) return false;
    double cosine = 1, sine = 0;
    TurnTenths(font_->LogFont().lfEscapement, &cosine, &sine);
    // The cells, u along the run and v down from its top, turned about (x, y).
    double xs[4], ys[4];
    int corner = 0;
    for (double u : {0.0, double(size.cx)}) {
      for (double v : {0.0, double(size.cy)}) {
        xs[corner] = x + u * cosine + v * sine;
        ys[corner++] = y - u * sine + v * cosine;
      }
    }
    int64_t left = std::max<int64_t>(0, int64_t(std::floor(*std::min_element(xs, xs + 4))));
    int64_t right = std::min<int64_t>(s.Width(), int64_t(std::ceil(*std::max_element(xs, xs + 4))));
    int64_t top = std::max<int64_t>(0, int64_t(std::floor(*std::min_element(ys, ys + 4))));
    int64_t bottom =
        std::min<int64_t>(s.Height(), int64_t(std::ceil(*std::max_element(ys, ys + 4))));
    uint32_t back = s.Encode(bkColor_);
    for (int64_t py = top; py < bottom; ++py) {
      for (int64_t px = left; px < right; ++px) {
        double cx = px + 0.5 - x, cy = py + 0.5 - y;
        double u = cx * cosine - cy * sine, v = cx * sine + cy * cosine;
        if (u >= 0 && u < size.cx && v >= 0 && v < size.cy) s.Write(int(px), int(py), back);
      }
    }
  }
  uint32_t ink = s.Encode(textColor_);
  for (int32_t row = 0; row < mask.height; ++row) {
    int64_t py = int64_t{y} + mask.top + row;
    if (py < 0 || py >= s.Height()) continue;
    for (int32_t col = 0; col < mask.width; ++col) {
      int64_t px = int64_t{x} + mask.left + col;
      uint32_t a = mask.coverage[size_t(row) * size_t(mask.width) + size_t(col)];
      if (px < 0 || px >= s.Width() || a == 0) continue;
      if (a == 255) {
        s.Write(int(px), int(py), ink);
        continue;
      }
      COLORREF under = s.Decode(s.Read(int(px), int(py)));
      auto mix = [a](uint8_t from, uint8_t to) {
        return static_cast<uint8_t>((from * (255 - a) + to * a + 127) / 255);
      };
      COLORREF blended = RGB(mix(Red(under), Red(textColor_)), mix(Green(under), Green(textColor_)),
                             mix(Blue(under), Blue(textColor_)));
      s.Write(int(px), int(py), s.Encode(blended));
    }
  }
  return true;
}

namespace {

bool Compatible(const DibSection* d, const DibSection* s) {
  return d && s;
}

// Writes source pixel (sx, sy) into destination pixel (x, y) as the system's copies do: equal
// depths copy bytes, an 8-bit source reads its colour table into 32 bits, and every other pair
// goes through the colour, an 8-bit destination taking its table's nearest entry.
void CopyPixel(DibSection& d, int x, int y, const DibSection& s, int sx, int sy) {
  const uint8_t* from = s.Pixels() + sy * s.Pitch() + sx * (s.Bits() / 8);
  uint8_t* to = d.Pixels() + y * d.Pitch() + x * (d.Bits() / 8);
  if (d.Bits() == s.Bits()) {
    std::memcpy(to, from, size_t(d.Bits() / 8));
  } else if (s.Bits() == 8 && d.Bits() == 32) {
    uint32_t c = s.ColorTable()[*from];
    std::memcpy(to, &c, 4);
  } else {
    d.Write(x, y, d.Encode(s.Decode(s.Read(sx, sy))));
  }
}

// Clips the rectangle against both sections, moving the other side along.
void ClipCopy(const DibSection& d, const DibSection& s, int& x, int& y, int& w, int& h, int& sx,
              int& sy) {
  auto clip = [](int& pos, int& spos, int& len, int dlimit, int slimit) {
    int cut = std::max(0 - pos, 0 - spos);
    if (cut > 0) pos += cut, spos += cut, len -= cut;
    len = std::min({len, dlimit - pos, slimit - spos});
  };
  clip(x, sx, w, d.Width(), s.Width());
  clip(y, sy, h, d.Height(), s.Height());
}

}  // namespace

bool BitBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx, int sy) {
  DibSection* d = dst.Selected();
  const DibSection* s = src.Selected();
  if (!Compatible(d, s)) return false;
  ClipCopy(*d, *s, x, y, w, h, sx, sy);
  if (w <= 0 || h <= 0) return true;
  for (int j = 0; j < h; ++j) {
    if (d->Bits() == s->Bits()) {
      int bytes = d->Bits() / 8;
      uint8_t* to = d->Pixels() + (y + j) * d->Pitch() + x * bytes;
      const uint8_t* from = s->Pixels() + (sy + j) * s->Pitch() + sx * bytes;
      // Only a copy within one section can overlap.
      if (d == s)
        std::memmove(to, from, size_t(w) * bytes);
      else
        std::memcpy(to, from, size_t(w) * bytes);
    } else {
      for (int i = 0; i < w; ++i) CopyPixel(*d, x + i, y + j, *s, sx + i, sy + j);
    }
  }
  return true;
}

bool BitBltChanged(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx, int sy,
                   int* firstRow, int* endRow) {
  DibSection* d = dst.Selected();
  const DibSection* s = src.Selected();
  *firstRow = *endRow = 0;
  if (!Compatible(d, s)) return false;
  if (d == s || d->Bits() != s->Bits()) {
    if (!BitBlt(dst, x, y, w, h, src, sx, sy)) return false;
    ClipCopy(*d, *s, x, y, w, h, sx, sy);
    if (w > 0 && h > 0) *firstRow = y, *endRow = y + h;
    return true;
  }
  ClipCopy(*d, *s, x, y, w, h, sx, sy);
  // Clipped away on either side, a copy can leave rows of no width.
  if (w <= 0 || h <= 0) return true;
  const size_t bytes = size_t(w) * size_t(d->Bits() / 8);
  const ptrdiff_t toStart = y * d->Pitch() + x * (d->Bits() / 8);
  const uint8_t* from = s->Pixels() + sy * s->Pitch() + sx * (s->Bits() / 8);
  // With a shown picture the rows are compared with it; rows between two that differ may then
  // lag in dst though they match it, so the whole run is written and all it reports written
  // holds the new rows.
  const uint8_t* shown = dst.Shown();
  const uint8_t* held = shown ? shown : d->Pixels();
  bool any = false;
  for (int j = 0; j < h; ++j) {
    if (std::memcmp(held + toStart + j * d->Pitch(), from + j * s->Pitch(), bytes) == 0) continue;
    for (int k = shown && any ? *endRow - y : j; k <= j; ++k)
      std::memcpy(d->Pixels() + toStart + k * d->Pitch(), from + k * s->Pitch(), bytes);
    if (!any) *firstRow = y + j;
    any = true;
    *endRow = y + j + 1;
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
