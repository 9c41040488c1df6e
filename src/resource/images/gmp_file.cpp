#include "resource/images/gmp_file.h"

#include <cstring>

#include "common/byte_reader.h"

namespace bw {

namespace {

constexpr char kGmpMagic[4] = {'H', 'V', 'M', '\0'};

}  // namespace

uint8_t GmpFullStateCode(uint8_t kind) {
  switch (kind) {
    case 1:
    case 2:
      return 4;
    case 3:
      return 3;
    case 4:
    case 5:
      return 8;
    case 6:
    case 8:
      return 6;
    default:
      return 5;  // 7 and 9
  }
}

int GmpPartFailure(uint8_t kind) {
  switch (kind) {
    case 1:
    case 2:
      return kGmpPartFailedFirst;
    case 3:
      return kGmpPartFailedFirst + 1;
    case 4:
      return kGmpPartFailedFirst + 2;
    case 5:
      return kGmpPartFailedFirst + 3;
    case 6:
    case 8:
      return kGmpPartFailedFirst + 4;
    default:
      return kGmpPartFailedFirst + 5;
  }
}

int ParseGmp(std::span<const uint8_t> bytes, bool layerOnlyAllowed, GmpFile* out) {
  *out = {};
  ByteReader in(bytes);
  auto magic = in.bytes(4);
  if (!magic || std::memcmp(magic->data(), kGmpMagic, 4) != 0) return kGmpBadFile;
  uint8_t length;
  if (!in.u8(length)) return kGmpBadFile;
  auto background = in.bytes(length);
  if (!background) return kGmpBadFile;
  out->background.assign(background->begin(), background->end());
  uint16_t count;
  if (!in.u16le(count)) return kGmpBadFile;
  // The smallest entry: an empty name and a kind-0 record.
  constexpr uint64_t kSmallestEntry = 1 + 7;
  if (!in.has(uint64_t{count} * kSmallestEntry)) return kGmpBadFile;
  out->entries.reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    GmpEntry e;
    uint8_t nameLength;
    if (!in.u8(nameLength)) return kGmpBadFile;
    auto name = in.bytes(nameLength);
    if (!name) return kGmpBadFile;
    e.name.assign(name->begin(), name->end());
    uint8_t visible;
    if (!in.u8(e.kind) || !in.i16le(e.x) || !in.i16le(e.y) || !in.u8(e.alpha) || !in.u8(visible)) {
      return kGmpBadFile;
    }
    e.visible = visible != 0;
    if (e.kind > kGmpLastKind) return kGmpUnknownKind;
    if (e.kind == kGmpLayerOnly) {
      if (!layerOnlyAllowed) return kGmpUnknownKind;
    } else if (!in.u16le(e.width) || !in.u16le(e.height) || !in.u8(e.stateCode)) {
      return kGmpBadFile;
    }
    out->entries.push_back(std::move(e));
  }
  return kGmpLoaded;
}

}  // namespace bw
