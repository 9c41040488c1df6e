// HVA animation data: frame records cut into ranges, and the pictures the frames show, each
// stored whole inside the file (a picture file of its own, decoded by the image loaders).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace bw {

constexpr int kHvaLoaded = 0;
constexpr int kHvaBadHeader = 2;   // wrong magic or a range count of 0
constexpr int kHvaBadPicture = 3;  // a picture entry or picture that cannot be read
constexpr int kHvaBadSeek = 4;     // a picture offset outside the file
constexpr int kHvaBadFrames = 6;   // the frame records end before the ranges were found

struct HvaFrame {
  int32_t a = 0;  // negative: the record ends a range
  uint32_t b = 0;
  uint32_t c = 0;
  uint32_t d = 0;
};

struct HvaPicture {
  std::vector<uint8_t> bytes;  // the picture file
  int16_t keyX = 0;  // the pixel giving the colour key; negative: none (-2 flags the picture)
  int16_t keyY = 0;
};

class HvaData {
 public:
  // Loads from the file's bytes (a file that cannot be opened is its reader's to answer, 1).
  // What came before is freed first; a failed load keeps what was read so far.
  int Load(std::span<const uint8_t> file);
  void Clear();

  const std::vector<uint32_t>& rangeStarts() const { return starts_; }
  // The three header words kept: u16 at 0 and 2, and the range count at 6.
  const std::array<uint16_t, 3>& header() const { return header_; }
  // The records and a closing sentinel whose first word is -1.
  const std::vector<HvaFrame>& frames() const { return frames_; }
  const std::vector<HvaPicture>& pictures() const { return pictures_; }

 private:
  std::array<uint16_t, 3> header_{};
  std::vector<HvaFrame> frames_;
  std::vector<uint32_t> starts_;
  std::vector<HvaPicture> pictures_;
};

}  // namespace bw
