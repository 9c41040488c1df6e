#include "graphics/surface/hva_data.h"

#include <cstring>

#include "common/byte_reader.h"
#include "resource/files/file.h"
#include "resource/images/hv_range_table.h"

namespace bw {
namespace {

constexpr size_t kFrameRecordSize = 16;
constexpr size_t kPictureEntrySize = 12;

}  // namespace

void HvaData::Clear() {
  header_ = {};
  frames_.clear();
  starts_.clear();
  pictures_.clear();
}

int HvaData::Load(const char* name, bool eightBit) {
  Clear();
  File file;
  if (!name || file.Load(name) != kFileOk) return kHvaCannotOpen;
  return Load({static_cast<const uint8_t*>(file.GetData()), file.GetSize()}, eightBit);
}

int HvaData::Load(std::span<const uint8_t> file, bool eightBit) {
  Clear();
  ByteReader in(file);
  auto magic = in.bytes(4);
  if (!magic || std::memcmp(magic->data(), "HVA\0", 4) != 0) return kHvaBadHeader;
  auto head = in.sub(12);
  if (!head) return kHvaBadHeader;
  if (!head->u16le(header_[0]) || !head->u16le(header_[1]) || !head->skip(2) ||
      !head->u16le(header_[2]) || header_[2] == 0)
    return kHvaBadHeader;

  uint32_t skipped, count;
  if (!in.u32le(skipped) || !in.skip(skipped)) return kHvaBadFrames;
  if (!in.u32le(count) || !in.has(uint64_t{count} * kFrameRecordSize)) return kHvaBadFrames;
  frames_.resize(size_t{count} + 1);
  for (uint32_t i = 0; i < count; ++i) {
    HvaFrame& f = frames_[i];
    if (!in.i32le(f.a) || !in.u32le(f.b) || !in.u32le(f.c) || !in.u32le(f.d)) return kHvaBadFrames;
  }
  frames_.back() = {-1, 0, 0, 0};
  if (!BuildRangeTable(
          frames_.size(), header_[2], [&](size_t i) { return frames_[i].a < 0; }, starts_))
    return kHvaBadFrames;

  uint32_t pictures;
  if (!in.u32le(pictures) || !in.has(uint64_t{pictures} * kPictureEntrySize)) return kHvaBadPicture;
  pictures_.reserve(pictures);
  for (uint32_t i = 0; i < pictures; ++i) {
    uint32_t size = 0;
    uint32_t offset = 0;
    int16_t keyX = 0;
    int16_t keyY = 0;
    if (!in.u32le(size) || !in.u32le(offset) || !in.i16le(keyX) || !in.i16le(keyY))
      return kHvaBadPicture;
    if (offset > file.size()) return kHvaBadSeek;
    auto bytes = in.slice(offset, size);
    if (!bytes) return kHvaBadPicture;
    HvaPicture picture;
    picture.surface = std::make_unique<ImageSurface>();
    ImageSurface& surface = *picture.surface;
    int rc = eightBit ? surface.Load8(nullptr, bytes->data(), bytes->size(), 0)
                      : surface.Load(nullptr, bytes->data(), bytes->size(), 0);
    if (rc != 0) return kHvaUndecodable;
    if (keyX < 0) {
      picture.flagged = keyX == kHvaFlagKeyX;
    } else {
      // A picture without pixels has no key to set.
      (void)surface.SetColorKeyFromPixel(keyX, keyY);
    }
    pictures_.push_back(std::move(picture));
  }
  return kHvaLoaded;
}

}  // namespace bw
