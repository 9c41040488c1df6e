#include "resource/images/decoded_image.h"

#include <cstring>

namespace bw {
namespace {

uint32_t PaletteEntry(const DibImage& dib, uint32_t index) {
  return index < dib.palette.size() ? dib.palette[index] : 0;
}

// One screen row of the DIB as 32-bit pixels 0xAARRGGBB.
void ConvertRow(const DibImage& dib, const uint8_t* src, uint32_t* out) {
  const auto width = static_cast<uint32_t>(dib.width);
  switch (dib.bits) {
    case 1:
      for (uint32_t x = 0; x < width; ++x)
        out[x] = PaletteEntry(dib, (src[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case 4:
      for (uint32_t x = 0; x < width; ++x)
        out[x] = PaletteEntry(dib, x & 1 ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
      break;
    case 8:
      for (uint32_t x = 0; x < width; ++x) out[x] = PaletteEntry(dib, src[x]);
      break;
    case 16:
      for (uint32_t x = 0; x < width; ++x) {
        uint32_t p = src[2 * x] | uint32_t{src[2 * x + 1]} << 8;
        out[x] = ((p >> 10) & 31) << 19 | ((p >> 5) & 31) << 11 | (p & 31) << 3;
      }
      break;
    case 24:
      for (uint32_t x = 0; x < width; ++x, src += 3)
        out[x] = src[0] | uint32_t{src[1]} << 8 | uint32_t{src[2]} << 16;
      break;
    default:  // 32
      std::memcpy(out, src, size_t{width} * 4);
      break;
  }
}

bool Convertible(const DibImage& dib) {
  bool depth = dib.bits == 1 || dib.bits == 4 || dib.bits == 8 || dib.bits == 16 ||
               dib.bits == 24 || dib.bits == 32;
  return depth && dib.compression == 0 && dib.width > 0 && dib.height != 0 &&
         dib.pitch >= DibPitch(static_cast<uint32_t>(dib.width), dib.bits) &&
         dib.pixels.size() >= uint64_t{dib.pitch} * dib.rows();
}

}  // namespace

int WriteDibToDestination(const DibImage& dib, const ImageDestinationFn& destination,
                          bool eightBit) {
  if (!destination) return kGllNoBuffer;
  if (!Convertible(dib)) return kGllConvertFailed;
  const auto width = static_cast<uint32_t>(dib.width);
  const uint32_t rows = dib.rows();
  const bool indexed = eightBit && dib.bits == 8;
  const uint32_t bytesPerPixel = indexed ? 1 : 4;
  ImageDestination dest = destination(static_cast<int>(width), static_cast<int>(rows),
                                      indexed ? 8 : 32, dib.bits == 32, indexed);
  const uint64_t rowBytes = uint64_t{width} * bytesPerPixel;
  if (!dest.pixels.data() || dest.pitch < rowBytes ||
      dest.pixels.size() < dest.pitch * uint64_t{rows - 1} + rowBytes ||
      (indexed && !dest.palette))
    return kGllNoBuffer;
  if (indexed) {
    size_t entries = std::min<size_t>(dib.palette.size(), 256);
    std::memcpy(dest.palette, dib.palette.data(), entries * 4);
    for (uint32_t y = 0; y < rows; ++y)
      std::memcpy(dest.pixels.data() + y * dest.pitch, dib.Row(y), width);
    return kGllDone;
  }
  std::vector<uint32_t> line(width);
  for (uint32_t y = 0; y < rows; ++y) {
    ConvertRow(dib, dib.Row(y), line.data());
    std::memcpy(dest.pixels.data() + y * dest.pitch, line.data(), rowBytes);
  }
  return kGllDone;
}

}  // namespace bw
