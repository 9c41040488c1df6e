// HVD animation data: a header, a shared data blob, frame records cut into ranges (one
// animation sequence each) and named entries. The layer animations interpret the fields.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace bw {

constexpr int kHvdLoaded = 0;
constexpr int kHvdCannotOpen = 1;
constexpr int kHvdWrongMagic = 2;
constexpr int kHvdNoRanges = 3;
constexpr int kHvdBadBlob = 4;
constexpr int kHvdBadFrames =
    5;  // the records cannot be read, or hold fewer ranges than the header says
constexpr int kHvdBadEntryNameLength = 6;  // also an entry count the bytes left cannot hold
constexpr int kHvdBadEntryName = 7;
constexpr int kHvdBadEntryP = 8;
constexpr int kHvdBadEntryQ = 9;

struct HvdFrame {
  int32_t a = 0;
  int32_t b = 0;
  uint32_t c = 0;
  uint32_t blobOffset = 0;
};

struct HvdEntry {
  std::string name;
  uint16_t p = 0;
  uint16_t q = 0;
};

class HvdAnimation {
 public:
  // Reads the file through the file-system manager: kHvdCannotOpen when it cannot be read,
  // else as the bytes' Load.
  [[nodiscard]] int Load(const char* name);
  // What came before is freed first; a failed load keeps what was read so far.
  [[nodiscard]] int Load(std::span<const uint8_t> file);
  void Clear();

  int GetRangeStart(int range) const;
  int GetRangeEnd(int range) const;
  // The range holding the frame and, through offset, the frame's place inside it; -1 when none.
  int FindRange(int frame, int* offset) const;

  const std::array<uint8_t, 12>& GetHeader() const { return header_; }
  const std::vector<uint8_t>& Blob() const { return blob_; }
  // The records and a closing sentinel whose a and b are -1.
  const std::vector<HvdFrame>& Frames() const { return frames_; }
  // The record's data in the blob; null when its offset lies outside (a file may have no blob).
  const uint8_t* FrameData(size_t frame) const;
  const std::vector<HvdEntry>& Entries() const { return entries_; }
  size_t RangeCount() const { return loaded_ ? starts_.size() : 0; }
  uint32_t LongestRange() const { return longest_; }

 private:
  std::array<uint8_t, 12> header_{};
  std::vector<uint8_t> blob_;
  std::vector<HvdFrame> frames_;
  std::vector<HvdEntry> entries_;
  std::vector<uint32_t> starts_;
  uint32_t longest_ = 0;
  bool loaded_ = false;
};

}  // namespace bw
