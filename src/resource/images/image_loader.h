// What the image-loader manager expects of a picture loader: the built-in BMP and WGX loaders,
// *.GLL plug-ins (native shared objects that hand out an ImageLoader) and the Susie bridge.
// Header-only, so a plug-in gets the whole base class from here.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "resource/images/dib_image.h"
#include "resource/packs/archive.h"

namespace bw {

// Loader results (EGllErrorCode); a loader's own failures are its own numbers.
constexpr int kGllDone = 0;
constexpr int kGllFailed = 1;           // no loader, or the picture was refused
constexpr int kGllCannotLoadInto = -2;  // Load: decode to buffers and convert instead
constexpr int kGllNotSupported = -2;    // an operation the loader does not have
constexpr int kGllFileUnreadable = -3;  // the file cannot be read, or created for saving
constexpr int kGllNoBuffer = 6;         // the destination gave no buffer that fits
constexpr int kGllConvertFailed = 9;    // the decoded rows cannot be converted

// The seam between loaders and the surfaces that receive pictures. Asked for (width, height,
// bits, has alpha, wants palette): bits are 32, or 8 for paletted or grey output; with wants
// palette the destination hands out its 256-entry palette for the loader to fill. Rows are
// top-down, pitch bytes apart; empty pixels mean the destination could not be made.
struct ImageDestination {
  std::span<uint8_t> pixels;
  size_t pitch = 0;
  uint32_t* palette = nullptr;
};
using ImageDestinationFn = std::function<ImageDestination(int, int, int, bool, bool)>;

// What a caller of the manager's Load operations gives: the destination, the undo of a
// half-made destination, and whether it wants 8-bit output where the picture allows it.
struct ImageTarget {
  ImageDestinationFn destination;
  std::function<void()> release;
  bool eightBit = false;
};

// What a loaded picture hands out besides its pixels.
struct ImagePlacement {
  int16_t offsetX = 0;
  int16_t offsetY = 0;
  std::vector<uint8_t> palette;  // the loader's side data (a chunked WGX header's chunk list)
};

// Called with (0, total) before decoding and (total, total) after; non-zero stops the work.
using ImageProgress = std::function<int(int done, int total)>;
using ImageWriteFn = std::function<bool(const void* bytes, size_t size)>;

// Pixels to save: rows top-down for a positive height, bottom-up for a negative one.
struct ImageSaveSource {
  int mode = 0;
  std::span<const uint8_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  int bits = 0;
  size_t pitch = 0;
  const uint32_t* palette = nullptr;  // 256 entries, or null
};

// The bytes a decoded picture is counted as: its info block (the 40-byte header and the palette,
// at least one entry's room) and its rows.
inline uint32_t DibByteSize(const DibImage& dib) {
  size_t info = 40 + 4 * std::max<size_t>(dib.palette.size(), 1);
  uint64_t total = uint64_t{info} + dib.pixels.size();
  return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}

class ImageLoader {
 public:
  virtual ~ImageLoader() = default;

  // name may be null; only loaders that ask the file's name use it.
  virtual bool IsSupported(std::span<const uint8_t> data, const char* name) = 0;
  // Writes the picture into the destination: 0, kGllCannotLoadInto, or the loader's failure.
  [[nodiscard]] virtual int Load(std::span<const uint8_t> /*data*/,
                                 const ImageDestinationFn& /*destination*/, bool /*eightBit*/,
                                 const ImageProgress& /*progress*/) {
    return kGllCannotLoadInto;
  }
  // Decodes into the loader's own buffers (TakePicture hands them over): 0 or a failure.
  [[nodiscard]] virtual int LoadToBuffers(std::span<const uint8_t> data,
                                          const ImageProgress& progress) = 0;
  [[nodiscard]] virtual int Save(const ImageSaveSource& /*source*/, const ImageWriteFn& /*write*/,
                                 const ImageProgress& /*progress*/) {
    return kGllNotSupported;
  }
  virtual void FreeBuffers() {
    picture_ = {};
    byteSize_ = 0;
    palette_.clear();
  }
  virtual void SetOffset(int16_t x, int16_t y) {
    picture_.offsetX = x;
    picture_.offsetY = y;
  }
  virtual int16_t GetOffsetX() const { return picture_.offsetX; }
  virtual int16_t GetOffsetY() const { return picture_.offsetY; }
  // The side data of the last picture; detach hands it over.
  virtual std::vector<uint8_t> GetPalette(bool detach) {
    if (!detach) return palette_;
    return std::exchange(palette_, {});
  }
  virtual size_t GetPaletteCount() const { return palette_.size(); }
  virtual bool CanSave() const { return false; }

  // The picture of the last LoadToBuffers, handed over; the loader keeps an empty one.
  DibImage TakePicture() {
    byteSize_ = 0;
    return std::exchange(picture_, {});
  }
  uint32_t GetByteSize() const { return byteSize_; }

 protected:
  // Keeps a decoded picture as the loader's buffers.
  void KeepPicture(DibImage&& picture) {
    picture_ = std::move(picture);
    byteSize_ = DibByteSize(picture_);
  }

  DibImage picture_;
  uint32_t byteSize_ = 0;
  std::vector<uint8_t> palette_;
};

// The plug-in assist entries share the pack decoders' shapes.
using GllAssistFunc = AdlAssistFunc;
using GllAssistFunc2 = AdlAssistFunc2;
using GllConfigDlg = AdlConfigDlg;

}  // namespace bw
