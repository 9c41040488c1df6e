// Bitmap files through the reader; whatever it takes goes back through the writer.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "resource/images/bmp_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::DibImage dib;
  if (bw::BmpLoader::LoadToBuffers({data, size}, dib) != bw::kBmpDone) return 0;
  if (dib.bits == 8 || dib.bits == 24 || dib.bits == 32) {
    std::vector<uint32_t> palette(256, 0);
    std::copy(dib.palette.begin(), dib.palette.end(), palette.begin());
    auto sink = [](const void*, size_t) { return true; };
    // Any answer: only a crash or a leak fails.
    (void)bw::BmpLoader::Save(bw::kBmpSaveColour, dib.pixels, dib.width, -dib.height, dib.bits,
                              dib.pitch, sink, palette.data());
  }
  return 0;
}
