// WGX files through the loader's two paths, and raw streams through the unpacking routines.
#include <cstdint>
#include <vector>

#include "resource/images/wgx_loader.h"
#include "resource/images/wgx_unpack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  bw::WgxLoader loader;
  bw::DibImage dib;
  (void)loader.LoadToBuffers(bytes, dib);  // any answer: only a crash or a leak fails
  std::vector<uint8_t> buffer;
  uint32_t palette[256];
  auto destination = [&](int w, int h, int bits, bool, bool wantsPalette) {
    size_t pitch = bits == 32 ? size_t(w) * 4 : size_t(w) + 1;
    buffer.assign(pitch * h, 0);
    return bw::WgxDestination{buffer, pitch, wantsPalette ? palette : nullptr};
  };
  (void)loader.Load(bytes, destination, false);
  (void)loader.Load(bytes, destination, true);

  // The first byte picks a small picture size; the rest is one stream of each kind.
  if (size < 1) return 0;
  uint32_t width = (data[0] & 15) + 1, height = (data[0] >> 4) + 1;
  std::vector<uint8_t> out(size_t{width} * height * 4 + 64);
  std::vector<uint32_t> words(size_t{width} * height);
  bw::ByteReader in(data + 1, size - 1);
  // Any answer: only a crash or a read out of bounds fails.
  (void)bw::WgxUnpack24ToDib(in, out, width, height, width * 3 + 3);
  (void)in.seek(0);
  (void)bw::WgxUnpack8Rows(in, out, width, height, width + 5);
  (void)in.seek(0);
  (void)bw::WgxUnpackAlpha(in, words);
  return 0;
}
