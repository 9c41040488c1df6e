#include "resource/images/wgx_loader.h"

#include <cstring>
#include <new>

#include "resource/images/wgx_unpack.h"

namespace bw {
namespace {

constexpr uint8_t kChunkedForm = 2;
constexpr uint8_t kOffsetForm = 1;
constexpr size_t kPaletteBytes = 1024;

bool ValidDepth(int depth) {
  return depth == 8 || depth == 24 || depth == 32;
}

int ReadPalette(ByteReader& in, uint32_t* palette) {
  uint8_t bytes[kPaletteBytes];
  if (int rc = WgxUnpack8(in, bytes)) return rc;
  std::memcpy(palette, bytes, kPaletteBytes);
  return 0;
}

}  // namespace

bool WgxLoader::IsSupported(std::span<const uint8_t> data) {
  return data.data() && data.size() >= 4 && std::memcmp(data.data(), "WGX", 3) == 0;
}

int WgxLoader::ReadHeader(ByteReader& in, int& depth, int& width, int& height) {
  FreeExtraData();
  auto magic = in.bytes(3);
  if (!magic) return kWgxBadData;
  if (std::memcmp(magic->data(), "WGX", 3) != 0) return kWgxWrongMagic;
  uint8_t form, d;
  uint16_t w, h;
  int16_t x = 0, y = 0;
  if (!in.u8(form)) return kWgxBadData;
  if (form == kOffsetForm) {
    if (!in.u8(d) || !in.i16le(x) || !in.i16le(y) || !in.u16le(w) || !in.u16le(h))
      return kWgxBadData;
  } else if (form == kChunkedForm) {
    if (!in.u8(d) || !in.u16le(w) || !in.u16le(h) || !in.i16le(x) || !in.i16le(y))
      return kWgxBadData;
    // Chunks each start with their own length; one that cannot cover its length word would
    // loop or run backwards.
    size_t start = in.position();
    uint8_t flag;
    for (;;) {
      if (!in.u8(flag)) return kWgxBadData;
      if (flag == 0) break;
      size_t chunk = in.position();
      uint32_t len;
      if (!in.u32le(len) || len < 4 || !in.seek(chunk) || !in.skip(len)) return kWgxBadData;
    }
    auto list = *in.slice(start, in.position() - 1 - start);
    extra_.assign(list.data(), list.data() + list.size());
  } else {
    d = form;
    if (!in.u16le(w) || !in.u16le(h)) return kWgxBadData;
  }
  if (!ValidDepth(d)) return kWgxBadData;
  depth = d;
  width = w;
  height = h;
  offsetX_ = x;
  offsetY_ = y;
  return kWgxDone;
}

std::vector<uint8_t> WgxLoader::GetPalette(bool detach) {
  if (!detach) return extra_;
  std::vector<uint8_t> out;
  out.swap(extra_);
  return out;
}

int WgxLoader::Decode(std::span<const uint8_t> data, const WgxProgress& progress,
                      const std::function<int(ByteReader&, int, int, int)>& body) {
  if (!data.data() || data.empty()) return kWgxBadData;
  if (data.size() < 3 || std::memcmp(data.data(), "WGX", 3) != 0) return kWgxWrongMagic;
  ByteReader in(data);
  int depth, width, height;
  if (int rc = ReadHeader(in, depth, width, height)) return rc;
  // Streams cannot make more units than their bytes allow; refusing here keeps a forged size
  // from asking for gigabytes.
  if (uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) >
      in.remaining() * kWgxMaxUnitsPerByte)
    return kWgxBadData;
  if (progress && progress(0, height)) return kWgxProgressRefused;
  int rc;
  try {
    rc = body(in, depth, width, height);
  } catch (const std::bad_alloc&) {
    return kWgxNoBuffer;
  }
  if (rc) return rc == kWgxBadOutput ? kWgxNoBuffer : rc;
  if (progress && progress(height, height)) return kWgxProgressRefused;
  return kWgxDone;
}

int WgxLoader::LoadToBuffers(std::span<const uint8_t> data, DibImage& out,
                             const WgxProgress& progress) {
  return Decode(data, progress, [&](ByteReader& in, int depth, int width, int height) {
    DibImage dib;
    dib.width = width;
    dib.height = height;
    dib.bits = static_cast<uint16_t>(depth);
    dib.pitch = static_cast<uint32_t>(DibPitch(width, depth));
    dib.offsetX = offsetX_;
    dib.offsetY = offsetY_;
    dib.pixels.assign(size_t{dib.pitch} * height, 0);
    int rc;
    if (depth == 8) {
      dib.palette.resize(256);
      rc = ReadPalette(in, dib.palette.data());
      if (!rc) rc = WgxUnpack8ToDib(in, dib.pixels, width, height, dib.pitch);
    } else if (depth == 24) {
      rc = WgxUnpack24ToDib(in, dib.pixels, width, height, dib.pitch);
    } else {
      rc = WgxUnpack24To32Dib(in, dib.pixels, width, height, dib.pitch);
      if (!rc) rc = WgxUnpackAlphaToDib(in, dib.pixels, width, height, dib.pitch);
    }
    if (!rc) out = std::move(dib);
    return rc;
  });
}

int WgxLoader::Load(std::span<const uint8_t> data, const WgxDestinationFn& destination, bool grey,
                    const WgxProgress& progress) {
  if (!destination) return kWgxNoDestination;
  return Decode(data, progress, [&](ByteReader& in, int depth, int width, int height) {
    bool wantsPalette = grey && depth == 8;
    WgxDestination dest = destination(width, height, grey ? 8 : 32, depth == 32, wantsPalette);
    const size_t total = size_t{static_cast<uint32_t>(width)} * height;
    if ((!dest.pixels.data() && total != 0) || (wantsPalette && !dest.palette)) return kWgxNoBuffer;
    if (grey) {
      bool packed = dest.pitch == static_cast<size_t>(width);
      if (packed && dest.pixels.size() < total) return kWgxNoBuffer;
      if (depth == 8) {
        if (int rc = ReadPalette(in, dest.palette)) return rc;
        return packed ? WgxUnpack8(in, dest.pixels.first(total))
                      : WgxUnpack8Rows(in, dest.pixels, width, height, dest.pitch);
      }
      return packed ? WgxUnpack24ToGrey(in, dest.pixels, width, height)
                    : WgxUnpack24Rows(in, dest.pixels, width, height, dest.pitch);
    }
    // 32-bit destinations are whole DIB rows: a pitch of exactly four bytes a pixel.
    if (dest.pitch != size_t{static_cast<uint32_t>(width)} * 4 || dest.pixels.size() < total * 4)
      return kWgxNoBuffer;
    std::span<uint32_t> pixels(reinterpret_cast<uint32_t*>(dest.pixels.data()), total);
    if (depth == 8) {
      uint32_t palette[256];
      if (int rc = ReadPalette(in, palette)) return rc;
      return WgxUnpackPaletteTo32(in, pixels, std::span<const uint32_t, 256>(palette, 256), 0);
    }
    if (int rc = WgxUnpack24To32(in, pixels, width, height)) return rc;
    return depth == 32 ? WgxUnpackAlpha(in, pixels) : 0;
  });
}

}  // namespace bw
