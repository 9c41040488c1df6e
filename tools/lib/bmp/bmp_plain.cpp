#include "lib/bmp/bmp_plain.h"

#include <cstring>

#include "common/byte_reader.h"

namespace bw::tools {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoSize = 40;
constexpr uint32_t kV4Size = 108;
constexpr uint32_t kV5Size = 124;
constexpr uint32_t kRgb = 0, kRle8 = 1, kBitfields = 3;
constexpr uint32_t kBgraMasks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
constexpr uint64_t kMaxPixelBytes = uint64_t{1} << 30;

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Info {
  uint32_t size = 0, dataOffset = 0, compression = 0, usedColours = 0;
  int32_t width = 0, height = 0;
  uint16_t bits = 0;
  uint32_t masks[4] = {};
};

bool ReadInfo(const std::vector<uint8_t>& in, Info* info) {
  ByteReader r(in.data(), in.size());
  uint16_t planes = 0;
  if (!r.skip(10) || !r.u32le(info->dataOffset) || !r.u32le(info->size) || !r.i32le(info->width) ||
      !r.i32le(info->height) || !r.u16le(planes) || !r.u16le(info->bits) ||
      !r.u32le(info->compression) || !r.skip(12) || !r.u32le(info->usedColours) || !r.skip(4)) {
    return false;
  }
  if (info->size < kV4Size) return true;
  for (uint32_t& mask : info->masks) {
    if (!r.u32le(mask)) return false;
  }
  return true;
}

// RLE8 rows into plain bottom-up rows of pitch bytes; a run past the row's end is cut off.
bool UnpackRle8(ByteReader r, uint32_t width, uint32_t rows, uint32_t pitch,
                std::vector<uint8_t>* pixels) {
  pixels->assign(size_t{pitch} * rows, 0);
  uint32_t x = 0, row = 0;
  auto put = [&](uint8_t v) {
    if (x < width && row < rows) (*pixels)[size_t{row} * pitch + x] = v;
    ++x;
  };
  for (;;) {
    uint8_t count = 0, value = 0;
    if (!r.u8(count) || !r.u8(value)) return row >= rows;  // a missing end after the last row
    if (count > 0) {
      for (uint32_t i = 0; i < count; ++i) put(value);
    } else if (value == 0) {
      x = 0;
      ++row;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      uint8_t dx = 0, dy = 0;
      if (!r.u8(dx) || !r.u8(dy)) return false;
      x += dx;
      row += dy;
    } else {
      for (uint32_t i = 0; i < value; ++i) {
        uint8_t b = 0;
        if (!r.u8(b)) return false;
        put(b);
      }
      // A short file fails the next read.
      if (value & 1) (void)r.skip(1);
    }
  }
}

}  // namespace

bool MakePlainBmp(const std::vector<uint8_t>& in, std::vector<uint8_t>* out, std::string* reason) {
  Info info;
  if (in.size() < 2 || in[0] != 'B' || in[1] != 'M' || !ReadInfo(in, &info)) {
    *reason = "not a BMP file, or its headers are cut short";
    return false;
  }
  const bool larger = info.size == kV4Size || info.size == kV5Size;
  if (info.size != kInfoSize && !larger) {
    *reason = "BMP header of " + std::to_string(info.size) +
              " bytes is not read (40, 108 and 124 are): convert with BMP3:";
    return false;
  }
  const bool rle8 = info.compression == kRle8 && info.bits == 8;
  if (!larger && !rle8) {
    *out = in;
    return true;
  }
  if (info.width <= 0 || info.height == 0 || info.height == INT32_MIN) {
    *reason = "the bitmap's size is not a picture's";
    return false;
  }
  const uint32_t width = static_cast<uint32_t>(info.width);
  const uint32_t rows =
      static_cast<uint32_t>(info.height < 0 ? -int64_t{info.height} : info.height);
  // The palette (or a plain header's three masks) follows the info header.
  const uint64_t paletteEntries =
      info.bits <= 8 ? (info.usedColours ? info.usedColours : uint64_t{1} << info.bits) : 0;
  const uint64_t tableBytes = info.bits <= 8                                ? paletteEntries * 4
                              : (!larger && info.compression == kBitfields) ? 12
                                                                            : 0;
  const uint64_t tableAt = kFileHeaderSize + uint64_t{info.size};
  if (paletteEntries > 256 || tableAt + tableBytes > in.size() || info.dataOffset > in.size()) {
    *reason = "the bitmap's colour table or pixels lie past its end";
    return false;
  }
  std::vector<uint8_t> pixels;
  uint32_t compression = info.compression;
  const uint64_t pitch = (uint64_t{width} * info.bits + 31) / 32 * 4;
  if (pitch * rows > kMaxPixelBytes) {
    *reason = "the bitmap is too large";
    return false;
  }
  if (rle8) {
    if (info.height < 0 ||
        !UnpackRle8(ByteReader(in.data() + info.dataOffset, in.size() - info.dataOffset), width,
                    rows, static_cast<uint32_t>(pitch), &pixels)) {
      *reason = "its 8-bit RLE pixels are damaged";
      return false;
    }
    compression = kRgb;
  } else {
    pixels.assign(in.begin() + info.dataOffset, in.end());
  }
  std::vector<uint8_t> table(in.begin() + static_cast<ptrdiff_t>(tableAt),
                             in.begin() + static_cast<ptrdiff_t>(tableAt + tableBytes));
  if (larger && compression == kBitfields) {
    if (info.bits == 32 && std::memcmp(info.masks, kBgraMasks, sizeof kBgraMasks) == 0) {
      compression = kRgb;  // the loader's plain 32 bits keep the alpha byte
    } else {
      table.resize(12);
      for (int i = 0; i < 3; ++i) Put32(table, size_t(i) * 4, info.masks[i]);
    }
  }
  out->assign(in.begin(), in.begin() + kFileHeaderSize + kInfoSize);
  Put32(*out, 14, kInfoSize);
  Put32(*out, 30, compression);
  Put32(*out, 34, rle8 ? static_cast<uint32_t>(pixels.size()) : 0);
  out->insert(out->end(), table.begin(), table.end());
  Put32(*out, 10, static_cast<uint32_t>(out->size()));
  out->insert(out->end(), pixels.begin(), pixels.end());
  Put32(*out, 2, static_cast<uint32_t>(out->size()));
  return true;
}

}  // namespace bw::tools
