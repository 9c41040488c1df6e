#include "resource/images/decoded_image.h"

#include <algorithm>
#include <cstring>

#include "resource/images/dib_convert.h"

namespace bw {
namespace {

bool Convertible(const DibImage& dib, std::span<const uint8_t> bytes) {
  bool depth = dib.bits == 1 || dib.bits == 4 || dib.bits == 8 || dib.bits == 16 ||
               dib.bits == 24 || dib.bits == 32;
  return depth && dib.compression == 0 && dib.width > 0 && dib.height != 0 &&
         dib.pitch >= DibPitch(static_cast<uint32_t>(dib.width), dib.bits) &&
         bytes.size() >= uint64_t{dib.pitch} * dib.Rows();
}

}  // namespace

int WriteDibToDestination(const DibImage& dib, const ImageDestinationFn& destination,
                          bool eightBit) {
  return WriteDibToDestination(dib, dib.pixels, destination, eightBit);
}

int WriteDibToDestination(const DibImage& dib, std::span<const uint8_t> bytes,
                          const ImageDestinationFn& destination, bool eightBit) {
  if (!destination) return kGllNoBuffer;
  if (!Convertible(dib, bytes)) return kGllConvertFailed;
  const auto width = static_cast<uint32_t>(dib.width);
  const uint32_t rows = dib.Rows();
  // Every paletted depth (1, 4 and 8 bits) gives indices; a palette without entries leaves
  // the destination's own.
  const bool indexed = eightBit && dib.bits <= 8;
  const bool withPalette = indexed && !dib.palette.empty();
  const uint32_t bytesPerPixel = indexed ? 1 : 4;
  ImageDestination dest = destination(static_cast<int>(width), static_cast<int>(rows),
                                      indexed ? 8 : 32, dib.bits == 32, withPalette);
  const uint64_t rowBytes = uint64_t{width} * bytesPerPixel;
  if (!dest.pixels.data() || dest.pitch < rowBytes ||
      dest.pixels.size() < dest.pitch * uint64_t{rows - 1} + rowBytes ||
      (withPalette && !dest.palette))
    return kGllNoBuffer;
  BitmapInfo info;
  info.header.width = dib.width;
  info.header.height = static_cast<int32_t>(rows);
  info.header.bitCount = dib.bits;
  const size_t entries = std::min<size_t>(dib.palette.size(), 256);
  info.header.clrUsed = static_cast<uint32_t>(entries);
  std::copy_n(dib.palette.begin(), entries, info.colors);
  if (withPalette) std::copy_n(info.colors, 256, dest.palette);
  const DibSource source{&info, bytes.data(), bytes.size(), dib.pitch, 0, 0};
  // The converters read bottom-up rows; a top-down picture is written from the last row up.
  uint8_t* pixels = dest.pixels.data();
  auto pitch = static_cast<ptrdiff_t>(dest.pitch);
  if (dib.height < 0) {
    pixels += pitch * (rows - 1);
    pitch = -pitch;
  }
  const Rect rect{0, 0, static_cast<int>(width), static_cast<int>(rows)};
  // Pictures of 32 bits keep their alpha; the other depths convert as any DIB does.
  const bool converted = indexed          ? ConvertDibRowsTo8(pixels, rect, pitch, source)
                         : dib.bits == 32 ? ConvertRowsTo32(pixels, rect, pitch, source)
                                          : ConvertDibRowsTo32(pixels, rect, pitch, source);
  if (!converted) return kGllConvertFailed;
  return kGllDone;
}

}  // namespace bw
