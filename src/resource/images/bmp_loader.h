// The built-in "Bitmap format" loader: Windows bitmap files with a 40-byte info header, read
// into DIBs and written from pixel rows. The only built-in loader that can save.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "resource/images/dib_image.h"

namespace bw {

constexpr int kBmpDone = 0;
constexpr int kBmpBadFormat = 1;  // not "BM", another header size, or fields the data cannot hold
constexpr int kBmpBadRle = 2;     // load: an RLE stream that is refused
constexpr int kBmpBadMode = 2;    // save: an unknown mode, or a mode that needs 32-bit pixels
constexpr int kBmpNoData = 3;     // load: no data; save: no pixels or an unwritable depth
constexpr int kBmpBadCompression = 3;  // load: a compression that does not fit the depth
constexpr int kBmpNoWriter = 4;
constexpr int kBmpNoMemory = 6;
constexpr int kBmpWriteFailed = 7;
constexpr int kBmpProgressRefused = -1;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

// Save modes: the source as it stands (32-bit sources as 24-bit), 32-bit with alpha, and the
// alpha bytes of a 32-bit source as an 8-bit grey picture.
constexpr int kBmpSaveColour = 0;
constexpr int kBmpSave32 = 1;
constexpr int kBmpSaveAlpha = 2;

// Called with (0, rows) first and (rows, rows) last; non-zero stops the work.
using BmpProgress = std::function<int(int done, int total)>;
using BmpWrite = std::function<bool(const void* bytes, size_t size)>;

class BmpLoader {
 public:
  static bool IsSupported(std::span<const uint8_t> data);
  static bool CanSave() { return true; }

  // Uncompressed pixels are copied as they stand; RLE pictures are unpacked and BITFIELDS
  // pictures become 24-bit, both then uncompressed.
  [[nodiscard]] static int LoadToBuffers(std::span<const uint8_t> data, DibImage& out,
                                         const BmpProgress& progress = {});
  // The same, except that an uncompressed picture's rows stay where they lie in data, which
  // must outlive their use, and out.pixels stays empty; rows names the picture's rows either way.
  [[nodiscard]] static int LoadRows(std::span<const uint8_t> data, DibImage& out,
                                    std::span<const uint8_t>& rows,
                                    const BmpProgress& progress = {});

  // Writes width x |height| pixels of the given depth (8, 24 or 32), sourcePitch bytes a row;
  // top-down for a positive height, bottom-up for a negative one. palette: 256 entries or null.
  [[nodiscard]] static int Save(int mode, std::span<const uint8_t> pixels, int32_t width,
                                int32_t height, int bits, size_t sourcePitch, const BmpWrite& write,
                                const uint32_t* palette, const BmpProgress& progress = {});
};

}  // namespace bw
