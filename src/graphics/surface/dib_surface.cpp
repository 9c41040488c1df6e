#include "graphics/surface/dib_surface.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/pixel/pixel_kernels.h"

namespace bw {
namespace {

bool SupportedDepth(int bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Heap pixels start on a multiple of 8 for the vector kernels.
uint8_t* Align8(uint8_t* p) {
  return p + ((8 - reinterpret_cast<uintptr_t>(p) % 8) % 8);
}

}  // namespace

DibSurface::~DibSurface() {
  Destroy();
}

uint8_t* DibSurface::GetRowPointer(int32_t y) const {
  if (!pixels_ || y < 0 || y >= height_) return nullptr;
  return pixels_ + ptrdiff_t{pitch_} * y;
}

int DibSurface::Create(int32_t width, int32_t height, int bits, bool useDibSection, bool zeroed) {
  Destroy();
  if (width < 1 || height < 1 || !SupportedDepth(bits)) return kSurfaceBadArgument;
  int64_t pitch = host::RowPitch(width, bits);
  int64_t bytes = pitch * height + 7;
  if (pitch == 0 || bytes > host::kMaxSectionBytes) return kSurfaceNoMemory;
  if (useDibSection) {
    section_ = host::DibSection::Create(width, height, bits, zeroed);
    if (!section_) return kSurfaceNoMemory;
    dc_ = std::make_unique<host::MemoryDc>();
    dc_->Select(section_.get());
    pixels_ = section_->Pixels();
  } else {
    block_ = host::AllocateLargeBlock(size_t(bytes), zeroed);
    if (!block_) return kSurfaceNoMemory;
    blockSize_ = size_t(bytes);
    pixels_ = Align8(block_.get());
  }
  bits_ = bits;
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int32_t>(pitch);
  SetClipRect(nullptr);
  if (bits == 8 && SetPalette(nullptr, 256, 0) != kSurfaceDone) {
    Destroy();
    return kSurfaceNoMemory;
  }
  return kSurfaceDone;
}

int DibSurface::CreateOver(uint8_t* pixels, int32_t width, int32_t height) {
  Destroy();
  if (!pixels || width < 1 || height < 1) return kSurfaceBadArgument;
  const int64_t pitch = host::RowPitch(width, 32);
  section_ = host::DibSection::Over(pixels, width, height, 32);
  if (pitch == 0 || !section_) return kSurfaceNoMemory;
  dc_ = std::make_unique<host::MemoryDc>();
  dc_->Select(section_.get());
  pixels_ = pixels;
  bits_ = 32;
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int32_t>(pitch);
  SetClipRect(nullptr);
  return kSurfaceDone;
}

int DibSurface::Resize(int32_t width, int32_t height) {
  if (!pixels_ || width < 1 || height < 1) return kSurfaceBadArgument;
  if (width == width_ && height == height_) return kSurfaceDone;
  int64_t pitch = host::RowPitch(width, bits_);
  int64_t bytes = pitch * height + 7;
  if (pitch == 0 || bytes > host::kMaxSectionBytes) return kSurfaceNoMemory;
  if (section_) {
    auto section = host::DibSection::Create(width, height, bits_);
    if (!section) return kSurfaceNoMemory;
    if (palette_) section->SetColorTable(0, 256, palette_.get());
    dc_->Select(section.get());
    section_ = std::move(section);
    pixels_ = section_->Pixels();
  } else if (size_t(bytes) > blockSize_) {
    host::LargeBlock block = host::AllocateLargeBlock(size_t(bytes), true);
    if (!block) return kSurfaceNoMemory;
    block_ = std::move(block);
    blockSize_ = size_t(bytes);
    pixels_ = Align8(block_.get());
  }
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int32_t>(pitch);
  SetClipRect(nullptr);
  return kSurfaceDone;
}

void DibSurface::Destroy() {
  dc_.reset();
  section_.reset();
  block_.reset();
  blockSize_ = 0;
  pixels_ = nullptr;
  palette_.reset();
  bits_ = 0;
  width_ = height_ = pitch_ = 0;
  clip_ = {};
  colorKey_ = kNoColorKey;
}

void DibSurface::SwapStore(DibSurface& other) {
  std::swap(dc_, other.dc_);
  std::swap(section_, other.section_);
  std::swap(block_, other.block_);
  std::swap(blockSize_, other.blockSize_);
  std::swap(pixels_, other.pixels_);
  std::swap(bits_, other.bits_);
  std::swap(palette_, other.palette_);
  std::swap(pitch_, other.pitch_);
}

void DibSurface::ApplyPalette() {
  if (section_ && palette_) section_->SetColorTable(0, 256, palette_.get());
}

int DibSurface::SetPalette(const uint32_t* entries, int count, int first) {
  if (bits_ != 8) return kSurfaceBadArgument;
  if (!palette_) {
    palette_.reset(new (std::nothrow) uint32_t[256]());
    if (!palette_) return kSurfaceNoMemory;
  }
  if (!entries) {
    for (uint32_t i = 0; i < 256; ++i) palette_[i] = i * 0x010101u;
  } else {
    const int64_t end = std::min<int64_t>(int64_t{first} + count, 256);
    for (int64_t i = std::max(first, 0); i < end; ++i) palette_[i] = entries[i] & 0x00FFFFFFu;
  }
  ApplyPalette();
  return kSurfaceDone;
}

bool DibSurface::SetPaletteEntry(int index, uint32_t color, bool apply) {
  if (!palette_ || index < 0 || index > 255) return false;
  color &= 0x00FFFFFFu;
  if (palette_[index] == color) return true;
  palette_[index] = color;
  if (apply) ApplyPalette();
  return true;
}

bool DibSurface::FillPalette(uint32_t color, bool apply) {
  if (!palette_) return false;
  for (int i = 0; i < 256; ++i) palette_[i] = color & 0x00FFFFFFu;
  if (apply) ApplyPalette();
  return true;
}

int DibSurface::FindPaletteIndex(int r, int g, int b) const {
  if (!palette_) return -1;
  uint32_t want = uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF);
  for (int i = 0; i < 256; ++i) {
    if (palette_[i] == want) return i;
  }
  return -1;
}

uint32_t DibSurface::GetPixel(int32_t x, int32_t y) const {
  if (!pixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return kNoPixel;
  const uint8_t* row = GetRowPointer(y);
  if (bits_ == 8) return row[x];
  if (bits_ == 32) {
    uint32_t v;
    std::memcpy(&v, row + 4 * x, 4);
    return v;
  }
  return kNoPixel;
}

int DibSurface::SetColorKeyRgb(int r, int g, int b) {
  if (bits_ == 8) {
    int index = FindPaletteIndex(r, g, b);
    colorKey_ = index < 0 ? kNoColorKey : uint32_t(index);
  } else {
    colorKey_ = uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF);
  }
  return colorKey_ == kNoColorKey ? kKeyCleared : kKeySet;
}

int DibSurface::SetColorKeyFromPixel(int32_t x, int32_t y) {
  colorKey_ = GetPixel(x, y);
  return colorKey_ == kNoColorKey ? kKeyCleared : kKeySet;
}

int DibSurface::ClearColorKey() {
  colorKey_ = kNoColorKey;
  return 0;
}

bool DibSurface::FillWord(uint32_t value, const Rect* rect, Rect* touched) {
  if (!pixels_ || (bits_ != 8 && bits_ != 32)) return false;
  Rect r = rect ? *rect : clip_;
  if (!ClipToClipRect(&r)) return false;
  uint8_t* start = pixels_ + ptrdiff_t{pitch_} * r.top + ptrdiff_t{r.left} * (bits_ / 8);
  if (bits_ == 8) {
    for (int y = r.top; y < r.bottom; ++y, start += pitch_) {
      std::memset(start, int(value & 0xFF), size_t(r.Width()));
    }
  } else {
    FillRows32(reinterpret_cast<uint32_t*>(start), pitch_ - ptrdiff_t{r.Width()} * 4, r.Width(),
               r.Height(), value);
  }
  if (touched) *touched = r;
  return true;
}

bool DibSurface::FillRgb(int r, int g, int b, const Rect* rect, Rect* touched) {
  uint32_t value = bits_ == 8
                       ? uint32_t(r & 0xFF)
                       : uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF);
  return FillWord(value, rect, touched);
}

bool DibSurface::Fill(uint32_t argb, const Rect* rect, Rect* touched) {
  return FillWord(argb, rect, touched);
}

}  // namespace bw
