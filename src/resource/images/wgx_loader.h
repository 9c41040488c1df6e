// The built-in "WGX format" loader: the engine's own picture format. A file is a short header
// (three forms) and one or two byte-code streams (see wgx_unpack.h).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/byte_reader.h"
#include "resource/images/dib_image.h"
#include "resource/images/image_loader.h"

namespace bw {

constexpr int kWgxDone = 0;
constexpr int kWgxWrongMagic = 1;
constexpr int kWgxBadData =
    3;  // no data, a bad header or depth, or a stream that does not fit the picture
constexpr int kWgxNoDestination = 4;
constexpr int kWgxNoBuffer = 6;  // out of memory, or the destination gave no buffer
constexpr int kWgxProgressRefused = -1;

// Called with (0, height) before decoding and (height, height) after; non-zero stops the load.
using WgxProgress = std::function<int(int done, int total)>;

// Destinations are the image loaders' own (see image_loader.h).
using WgxDestination = ImageDestination;
using WgxDestinationFn = ImageDestinationFn;

class WgxLoader {
 public:
  static bool IsSupported(std::span<const uint8_t> data);

  // Parses the header, leaving the reader at the first stream. Keeps the offsets and the extra
  // data of the chunked form. 0, kWgxWrongMagic or kWgxBadData.
  [[nodiscard]] int ReadHeader(ByteReader& in, int& depth, int& width, int& height);

  // Decodes into a bottom-up DIB: 8-bit with its palette, 24-bit, or 32-bit with alpha.
  [[nodiscard]] int LoadToBuffers(std::span<const uint8_t> data, DibImage& out,
                                  const WgxProgress& progress = {});

  // Decodes into the destination's buffer: 32-bit pixels, or with grey set, 8-bit indices (8-bit
  // pictures, palette to the destination) or grey levels.
  [[nodiscard]] int Load(std::span<const uint8_t> data, const WgxDestinationFn& destination,
                         bool grey, const WgxProgress& progress = {});

  int16_t GetOffsetX() const { return offsetX_; }
  int16_t GetOffsetY() const { return offsetY_; }
  // The chunk list of the chunked header form, without its closing flag; detach hands it over.
  std::vector<uint8_t> GetPalette(bool detach);
  size_t GetPaletteCount() const { return extra_.size(); }
  void FreeExtraData() { extra_.clear(); }

 private:
  [[nodiscard]] int Decode(
      std::span<const uint8_t> data, const WgxProgress& progress,
      const std::function<int(ByteReader&, int depth, int width, int height)>& body);

  int16_t offsetX_ = 0;
  int16_t offsetY_ = 0;
  std::vector<uint8_t> extra_;
};

}  // namespace bw
