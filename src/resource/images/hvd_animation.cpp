#include "resource/images/hvd_animation.h"

#include <cstring>

#include "common/byte_reader.h"
#include "resource/files/file.h"
#include "resource/images/hv_range_table.h"

namespace bw {
namespace {

constexpr size_t kFrameRecordSize = 16;
constexpr size_t kSmallestEntrySize = 6;  // name length, p and q with an empty name

}  // namespace

void HvdAnimation::Clear() {
  header_ = {};
  blob_.clear();
  frames_.clear();
  entries_.clear();
  starts_.clear();
  longest_ = 0;
  loaded_ = false;
}

int HvdAnimation::Load(const char* name) {
  Clear();
  File file;
  if (!name || file.Load(name) != kFileOk) return kHvdCannotOpen;
  return Load({static_cast<const uint8_t*>(file.GetData()), file.GetSize()});
}

int HvdAnimation::Load(std::span<const uint8_t> file) {
  Clear();
  ByteReader in(file);
  auto magic = in.bytes(4);
  if (!magic || std::memcmp(magic->data(), "HVD\0", 4) != 0) return kHvdWrongMagic;
  if (!in.copy(header_.data(), header_.size())) return kHvdWrongMagic;
  uint16_t ranges = static_cast<uint16_t>(header_[6] | (header_[7] << 8));
  if (ranges == 0) return kHvdNoRanges;

  uint32_t blobSize;
  if (!in.u32le(blobSize)) return kHvdBadBlob;
  auto blob = in.bytes(blobSize);
  if (!blob) return kHvdBadBlob;
  blob_.assign(blob->begin(), blob->end());

  uint32_t count;
  if (!in.u32le(count) || !in.has(uint64_t{count} * kFrameRecordSize)) return kHvdBadFrames;
  frames_.resize(size_t{count} + 1);
  for (uint32_t i = 0; i < count; ++i) {
    HvdFrame& f = frames_[i];
    if (!in.i32le(f.a) || !in.i32le(f.b) || !in.u32le(f.c) || !in.u32le(f.blobOffset))
      return kHvdBadFrames;
  }
  frames_.back() = {-1, -1, 0, 0};
  auto isEnd = [&](size_t i) { return frames_[i].a < 0 && frames_[i].b < 1; };
  if (!BuildRangeTable(frames_.size(), ranges, isEnd, starts_, &longest_)) return kHvdBadFrames;

  uint32_t entryCount;
  if (!in.u32le(entryCount) || !in.has(uint64_t{entryCount} * kSmallestEntrySize))
    return kHvdBadEntryNameLength;
  entries_.reserve(entryCount);
  for (uint32_t i = 0; i < entryCount; ++i) {
    HvdEntry e;
    uint16_t length;
    if (!in.u16le(length)) return kHvdBadEntryNameLength;
    auto name = in.bytes(length);
    if (!name) return kHvdBadEntryName;
    e.name.assign(name->begin(), name->end());
    if (!in.u16le(e.p)) return kHvdBadEntryP;
    if (!in.u16le(e.q)) return kHvdBadEntryQ;
    entries_.push_back(std::move(e));
  }

  loaded_ = true;
  return kHvdLoaded;
}

const uint8_t* HvdAnimation::FrameData(size_t frame) const {
  if (frame >= frames_.size() || frames_[frame].blobOffset >= blob_.size()) return nullptr;
  return blob_.data() + frames_[frame].blobOffset;
}

int HvdAnimation::GetRangeStart(int range) const {
  if (!loaded_ || range < 0 || static_cast<size_t>(range) >= starts_.size()) return -1;
  return static_cast<int>(starts_[range]);
}

int HvdAnimation::GetRangeEnd(int range) const {
  if (!loaded_ || range < 0 || static_cast<size_t>(range) >= starts_.size()) return -1;
  if (static_cast<size_t>(range) + 1 == starts_.size()) return static_cast<int>(frames_.size() - 1);
  return static_cast<int>(starts_[range + 1]) - 1;
}

int HvdAnimation::FindRange(int frame, int* offset) const {
  if (!loaded_ || frame < 0 || static_cast<size_t>(frame) >= frames_.size()) return -1;
  for (size_t r = starts_.size(); r-- > 0;) {
    if (starts_[r] <= static_cast<uint32_t>(frame)) {
      if (offset) *offset = frame - static_cast<int>(starts_[r]);
      return static_cast<int>(r);
    }
  }
  return -1;
}

}  // namespace bw
