// A picture decoded into buffers, as the image cache keeps it: the DIB, the bytes it is counted
// as, its placement offsets and the loader's side data. Reference-counted from 0: the maker holds
// the first reference without counting it, and a release at 0 deletes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "platform/stream.h"
#include "resource/images/image_loader.h"

namespace bw {

class DecodedImage : public RefCounted {
 public:
  DecodedImage(DibImage picture, uint32_t byteSize)
      : picture_(std::move(picture)), byteSize_(byteSize) {}

  virtual void SetOffset(int16_t x, int16_t y) {
    picture_.offsetX = x;
    picture_.offsetY = y;
  }
  virtual int16_t GetOffsetX() const { return picture_.offsetX; }
  virtual int16_t GetOffsetY() const { return picture_.offsetY; }
  virtual void SetPalette(std::vector<uint8_t> palette) { palette_ = std::move(palette); }
  virtual std::vector<uint8_t> GetPalette(bool detach) {
    if (!detach) return palette_;
    return std::exchange(palette_, {});
  }
  virtual size_t GetPaletteCount() const { return palette_.size(); }

  const DibImage& GetPicture() const { return picture_; }
  uint32_t GetByteSize() const { return byteSize_; }

 private:
  DibImage picture_;
  uint32_t byteSize_;
  std::vector<uint8_t> palette_;
};

// Holds one reference to a picture shared with the image cache.
using DecodedImageRef = Ref<DecodedImage>;

// Writes a decoded DIB into a destination: a paletted picture (1, 4 or 8 bits) as 8-bit indices
// with its palette when eightBit is set, every other picture as 32-bit pixels (palette entries
// whole, 16 bits as 555, 24 bits with alpha 0, 32 bits as they stand). 0, kGllNoBuffer when the
// destination gives nothing that fits, kGllConvertFailed for a DIB that cannot be converted.
[[nodiscard]] int WriteDibToDestination(const DibImage& dib, const ImageDestinationFn& destination,
                                        bool eightBit);
// The same for a DIB whose rows lie in bytes instead of in its own pixels.
[[nodiscard]] int WriteDibToDestination(const DibImage& dib, std::span<const uint8_t> bytes,
                                        const ImageDestinationFn& destination, bool eightBit);

}  // namespace bw
