#include "resource/images/bmp_loader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "common/byte_reader.h"

namespace bw {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
// RLE data can describe huge pictures in a few bytes; no picture of the engine comes near this.
constexpr uint64_t kMaxRleImageBytes = uint64_t{1} << 28;

struct Header {
  uint32_t dataOffset;
  int32_t width, height;
  uint16_t bits;
  uint32_t compression;
  uint32_t usedColours;
};

bool ReadHeader(ByteReader in, Header& h) {
  uint32_t infoSize;
  uint16_t planes;
  return in.skip(10) && in.u32le(h.dataOffset) && in.u32le(infoSize) &&
         infoSize == kInfoHeaderSize && in.i32le(h.width) && in.i32le(h.height) &&
         in.u16le(planes) && in.u16le(h.bits) && in.u32le(h.compression) && in.skip(12) &&
         in.u32le(h.usedColours);
}

// Unpacks RLE8 (nibbles false) or RLE4 (nibbles true) into a bottom-up DIB of 8 or 4 bits.
int UnpackRle(ByteReader in, DibImage& dib, bool nibbles) {
  const uint32_t width = static_cast<uint32_t>(dib.width);
  const uint32_t rows = dib.Rows();
  uint32_t x = 0, row = 0;  // row counts from the bottom, as the file does
  auto put = [&](uint8_t v) {
    uint8_t* line = dib.pixels.data() + size_t{row} * dib.pitch;
    if (!nibbles) {
      line[x] = v;
    } else if (x & 1) {
      line[x / 2] = static_cast<uint8_t>((line[x / 2] & 0xF0) | (v & 0x0F));
    } else {
      line[x / 2] = static_cast<uint8_t>((line[x / 2] & 0x0F) | (v << 4));
    }
    ++x;
  };
  for (;;) {
    uint8_t count, value;
    if (!in.u8(count) || !in.u8(value)) return kBmpBadRle;
    if (count > 0) {
      if (row >= rows || count > width - x) return kBmpBadRle;
      for (uint32_t i = 0; i < count; ++i)
        put(nibbles ? static_cast<uint8_t>(i & 1 ? value : value >> 4) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++row;
    } else if (value == 1) {
      return kBmpDone;
    } else if (value == 2) {
      return kBmpBadRle;
    } else {
      size_t bytes = nibbles ? (value + 1u) / 2 : value;
      auto run = in.bytes(bytes);
      if (!run || row >= rows || value > width - x) return kBmpBadRle;
      for (uint32_t i = 0; i < value; ++i) {
        uint8_t b = (*run)[nibbles ? i / 2 : i];
        put(nibbles ? static_cast<uint8_t>(i & 1 ? b : b >> 4) : b);
      }
      if ((bytes & 1) && !in.skip(1)) return kBmpBadRle;
    }
  }
}

struct Channel {
  uint32_t mask;
  int shift;
  int width;
  uint8_t Of(uint32_t pixel) const {
    if (!mask) return 0;
    uint32_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>(width > 8 ? v >> (width - 8) : v << (8 - width));
  }
};

Channel MakeChannel(uint32_t mask) {
  return {mask, mask ? std::countr_zero(mask) : 0, std::popcount(mask)};
}

void ConvertBitfields(const uint8_t* src, size_t srcPitch, uint32_t bytesPerPixel, DibImage& dib,
                      const Channel (&rgb)[3]) {
  for (uint32_t y = 0; y < dib.Rows(); ++y) {
    const uint8_t* s = src + size_t{y} * srcPitch;
    uint8_t* d = dib.pixels.data() + size_t{y} * dib.pitch;
    for (int32_t x = 0; x < dib.width; ++x, s += bytesPerPixel, d += 3) {
      uint32_t pixel = 0;
      for (uint32_t i = 0; i < bytesPerPixel; ++i) pixel |= uint32_t{s[i]} << (8 * i);
      d[0] = rgb[2].Of(pixel);
      d[1] = rgb[1].Of(pixel);
      d[2] = rgb[0].Of(pixel);
    }
  }
}

bool ValidRgbDepth(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// With inData, an uncompressed picture's rows are left where they lie in data and named there.
int Decode(std::span<const uint8_t> data, const Header& h, DibImage& dib,
           std::span<const uint8_t>* inData) {
  ByteReader in(data);
  dib.width = h.width;
  dib.height = h.height;
  dib.bits = h.bits;
  if (h.bits < 16) {
    uint64_t count = h.usedColours ? h.usedColours : uint64_t{1} << h.bits;
    if (count > (uint64_t{1} << h.bits) || !in.seek(kHeadersSize) || !in.has(count * 4))
      return kBmpBadFormat;
    dib.palette.resize(count);
    for (auto& entry : dib.palette)
      if (!in.u32le(entry)) return kBmpBadFormat;
  }
  uint64_t srcPitch = DibPitch(static_cast<uint32_t>(h.width), h.bits);
  if (h.dataOffset > data.size()) return kBmpBadFormat;
  auto pixels = *ByteReader(data).slice(h.dataOffset, data.size() - h.dataOffset);

  if (h.compression == kBiRle8 || h.compression == kBiRle4) {
    if (h.height < 0) return kBmpBadFormat;  // RLE pictures are bottom-up only
    // Every row but the last takes at least one two-byte code.
    if (dib.Rows() - 1 > pixels.size() / 2 || srcPitch * dib.Rows() > kMaxRleImageBytes)
      return kBmpBadRle;
    dib.pitch = static_cast<uint32_t>(srcPitch);
    dib.pixels.assign(srcPitch * dib.Rows(), 0);
    return UnpackRle(pixels, dib, h.compression == kBiRle4);
  }
  if (!pixels.has(srcPitch * dib.Rows())) return kBmpBadFormat;
  if (h.compression == kBiBitfields) {
    ByteReader masks(data);
    uint32_t m[3];
    if (!masks.seek(kHeadersSize) || !masks.u32le(m[0]) || !masks.u32le(m[1]) || !masks.u32le(m[2]))
      return kBmpBadFormat;
    const Channel rgb[3] = {MakeChannel(m[0]), MakeChannel(m[1]), MakeChannel(m[2])};
    dib.bits = 24;
    dib.pitch = static_cast<uint32_t>(DibPitch(static_cast<uint32_t>(h.width), 24));
    dib.pixels.assign(size_t{dib.pitch} * dib.Rows(), 0);
    ConvertBitfields(pixels.data(), srcPitch, h.bits / 8u, dib, rgb);
    return kBmpDone;
  }
  dib.pitch = static_cast<uint32_t>(srcPitch);
  if (inData) {
    *inData = {pixels.data(), size_t(srcPitch * dib.Rows())};
  } else {
    dib.pixels.assign(pixels.data(), pixels.data() + srcPitch * dib.Rows());
  }
  return kBmpDone;
}

}  // namespace

bool BmpLoader::IsSupported(std::span<const uint8_t> data) {
  return data.data() && data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
}

namespace {

int Load(std::span<const uint8_t> data, DibImage& out, std::span<const uint8_t>* inData,
         const BmpProgress& progress) {
  if (!data.data() || data.empty()) return kBmpNoData;
  Header h;
  if (!BmpLoader::IsSupported(data) || !ReadHeader(ByteReader(data), h)) return kBmpBadFormat;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return kBmpBadFormat;
  bool known = (h.compression == kBiRgb && ValidRgbDepth(h.bits)) ||
               (h.compression == kBiRle8 && h.bits == 8) ||
               (h.compression == kBiRle4 && h.bits == 4) ||
               (h.compression == kBiBitfields && (h.bits == 16 || h.bits == 24 || h.bits == 32));
  if (!known) return h.compression == kBiRgb ? kBmpBadFormat : kBmpBadCompression;
  DibImage dib;
  int rows = h.height < 0 ? -h.height : h.height;
  if (progress && progress(0, rows)) return kBmpProgressRefused;
  try {
    if (int rc = Decode(data, h, dib, inData)) return rc;
  } catch (const std::bad_alloc&) {
    return kBmpNoMemory;
  }
  if (progress && progress(rows, rows)) return kBmpProgressRefused;
  out = std::move(dib);
  if (inData && inData->empty()) *inData = out.pixels;
  return kBmpDone;
}

}  // namespace

int BmpLoader::LoadToBuffers(std::span<const uint8_t> data, DibImage& out,
                             const BmpProgress& progress) {
  return Load(data, out, nullptr, progress);
}

int BmpLoader::LoadRows(std::span<const uint8_t> data, DibImage& out,
                        std::span<const uint8_t>& rows, const BmpProgress& progress) {
  rows = {};
  const int rc = Load(data, out, &rows, progress);
  if (rc != kBmpDone) rows = {};
  return rc;
}

namespace {

void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

int BmpLoader::Save(int mode, std::span<const uint8_t> pixels, int32_t width, int32_t height,
                    int bits, size_t sourcePitch, const BmpWrite& write, const uint32_t* palette,
                    const BmpProgress& progress) {
  // Only depths with a defined file layout are written.
  if (!pixels.data() || (bits != 8 && bits != 24 && bits != 32)) return kBmpNoData;
  if (!write) return kBmpNoWriter;
  if (mode != kBmpSaveColour && mode != kBmpSave32 && mode != kBmpSaveAlpha) return kBmpBadMode;
  if (mode != kBmpSaveColour && bits != 32) return kBmpBadMode;
  if (width <= 0 || height == 0 || height == INT32_MIN) return kBmpNoData;

  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -int64_t{height} : height);
  const bool alpha = mode == kBmpSaveAlpha;
  const bool to24 = mode == kBmpSaveColour && bits == 32;
  const uint32_t fileBits = alpha                ? 8
                            : mode == kBmpSave32 ? 32
                            : bits == 32         ? 24
                                                 : static_cast<uint32_t>(bits);
  const uint64_t filePitch =
      fileBits == 32 ? uint64_t{4} * width : DibPitch(static_cast<uint32_t>(width), fileBits);
  const uint32_t paletteEntries = fileBits == 8 ? 256 : 0;
  const bool converted = alpha || to24;
  // What each source row must hold: whole 32-bit pixels to convert, else what is copied.
  const uint64_t rowBytes =
      converted ? uint64_t{4} * width : std::min<uint64_t>(sourcePitch, filePitch);
  if (!converted && filePitch > sourcePitch + 8) return kBmpNoData;
  if (converted && sourcePitch < rowBytes) return kBmpNoData;
  if ((rows - 1) * uint64_t{sourcePitch} + rowBytes > pixels.size()) return kBmpNoData;
  const uint64_t imageSize = filePitch * rows;
  const uint64_t offset = kHeadersSize + 4 * paletteEntries;
  if (offset + imageSize > UINT32_MAX) return kBmpNoData;

  try {
    std::vector<uint8_t> head;
    head.reserve(offset);
    head.push_back('B');
    head.push_back('M');
    PutLe(head, static_cast<uint32_t>(offset + imageSize), 4);
    PutLe(head, 0, 4);
    PutLe(head, static_cast<uint32_t>(offset), 4);
    PutLe(head, kInfoHeaderSize, 4);
    PutLe(head, static_cast<uint32_t>(width), 4);
    PutLe(head, rows, 4);
    PutLe(head, 1, 2);
    PutLe(head, fileBits, 2);
    PutLe(head, kBiRgb, 4);
    PutLe(head, static_cast<uint32_t>(imageSize), 4);
    PutLe(head, 0, 8);  // resolution
    PutLe(head, paletteEntries, 4);
    PutLe(head, 0, 4);
    for (uint32_t i = 0; i < paletteEntries; ++i)
      PutLe(head, palette ? palette[i] : i * 0x010101u, 4);
    if (!write(head.data(), head.size())) return kBmpWriteFailed;

    std::vector<uint8_t> line(filePitch, 0);
    for (uint32_t r = 0; r < rows; ++r) {
      uint32_t srcRow = height > 0 ? rows - 1 - r : r;
      const uint8_t* src = pixels.data() + size_t{srcRow} * sourcePitch;
      if (alpha) {
        for (int32_t x = 0; x < width; ++x) line[x] = src[4 * x + 3];
      } else if (to24) {
        for (int32_t x = 0; x < width; ++x) std::memcpy(&line[3 * x], src + 4 * x, 3);
      } else {
        std::memcpy(line.data(), src, rowBytes);
      }
      if (!write(line.data(), line.size())) return kBmpWriteFailed;
      if (progress && progress(static_cast<int>(r), static_cast<int>(rows)))
        return kBmpProgressRefused;
    }
    if (progress && progress(static_cast<int>(rows), static_cast<int>(rows)))
      return kBmpProgressRefused;
  } catch (const std::bad_alloc&) {
    return kBmpNoMemory;
  }
  return kBmpDone;
}

}  // namespace bw
