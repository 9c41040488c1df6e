// HVA animation data: frame records cut into ranges, and the pictures the frames show, each
// stored whole inside the file (a picture file of its own) and decoded into a surface.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "graphics/surface/image_surface.h"

namespace bw {

constexpr int kHvaLoaded = 0;
constexpr int kHvaCannotOpen = 1;
constexpr int kHvaBadHeader = 2;    // wrong magic or a range count of 0
constexpr int kHvaBadPicture = 3;   // a picture entry or picture that cannot be read
constexpr int kHvaBadSeek = 4;      // a picture offset outside the file
constexpr int kHvaUndecodable = 5;  // no loader could decode a picture
constexpr int kHvaBadFrames = 6;    // the frame records end before the ranges were found

// A picture entry's key x that flags the picture instead of naming a key pixel.
constexpr int16_t kHvaFlagKeyX = -2;

struct HvaFrame {
  int32_t a = 0;  // negative: the record ends a range
  uint32_t b = 0;
  uint32_t c = 0;
  uint32_t d = 0;
};

struct HvaPicture {
  std::unique_ptr<ImageSurface> surface;
  bool flagged = false;  // the entry's key x was kHvaFlagKeyX
};

class HvaData {
 public:
  // Reads the file through the file-system manager: kHvaCannotOpen when it cannot be read,
  // else as the bytes' Load.
  [[nodiscard]] int Load(const char* name, bool eightBit);
  // Pictures decode through the published image-loader manager, as 8-bit surfaces where the
  // picture allows with eightBit. What came before is freed first; a failed load keeps what
  // was read so far.
  [[nodiscard]] int Load(std::span<const uint8_t> file, bool eightBit = false);
  void Clear();

  const std::vector<uint32_t>& RangeStarts() const { return starts_; }
  // The three header words kept: u16 at 0 and 2, and the range count at 6.
  const std::array<uint16_t, 3>& GetHeader() const { return header_; }
  // The records and a closing sentinel whose first word is -1.
  const std::vector<HvaFrame>& Frames() const { return frames_; }
  const std::vector<HvaPicture>& Pictures() const { return pictures_; }

  // Holders beyond the first: the last one to let go deletes the data.
  uint32_t ExtraRefs() const { return extraRefs_; }
  void AddExtraRef() { ++extraRefs_; }
  void DropExtraRef() { --extraRefs_; }

 private:
  uint32_t extraRefs_ = 0;
  std::array<uint16_t, 3> header_{};
  std::vector<HvaFrame> frames_;
  std::vector<uint32_t> starts_;
  std::vector<HvaPicture> pictures_;
};

}  // namespace bw
