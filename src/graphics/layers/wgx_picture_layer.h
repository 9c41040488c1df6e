// One picture in a DirectDraw texture that the Direct3D sprites draw. WGX data is decoded
// straight into the locked texture; anything else goes through the image-loader manager and its
// cache. The texture takes a size the device accepts; a picture too large for it is scaled down
// into it. The name is kept so that the picture can load itself again after a loss.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/layers/direct_draw_layer.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "host/d3d/direct3d.h"

namespace bw {

class Direct3DDevice;

// Load results.
constexpr int kWgxLayerNoDevice = 1;
constexpr int kWgxLayerNoFormat = 2;
constexpr int kWgxLayerNoSource = 3;    // neither name nor data, or the file not readable
constexpr int kWgxLayerBadPicture = 4;  // no image-loader manager, a bad header or decoding failed
constexpr int kWgxLayerNoTexture = 5;
constexpr int kWgxLayerLockFailed = 6;
constexpr int kWgxLayerNoTemporary = 7;
constexpr int kWgxLayerCopyFailed = 8;
constexpr int kWgxLayerScaleFailed = 9;
constexpr int kWgxLayerOtherFailure = 10;  // memory ran out on the way
// Reload results.
constexpr int kReloadNoName = 1;
constexpr int kReloadRgbKey = kDdsRestoreRgbKey;
constexpr int kReloadPixelKey = kDdsRestorePixelKey;

// The texture size for a picture of w x h on a device with those capabilities: powers of two
// only when the device demands them and does not allow other sizes conditionally, square when
// it demands it, within its minimum and maximum; too large is set when a side had to be cut to
// the maximum.
struct TextureSize {
  int32_t width = 0;
  int32_t height = 0;
  bool tooLarge = false;
};
TextureSize ChooseTextureSize(int32_t w, int32_t h, const host::D3dDeviceDesc& caps);

class WgxPictureLayer : public DirectDrawLayer {
 public:
  // A device given here becomes the process-wide Direct3D device the layers use.
  explicit WgxPictureLayer(Direct3DDevice* device = nullptr);

  [[nodiscard]] int Load(int formatCode, const char* name, const uint8_t* data, size_t size,
                         bool systemMemory);
  void Reset();
  [[nodiscard]] int Reload(bool onlyIfLost);

  int GetKind() const override { return kKindWgxPictureLayer; }
  int GetPixelFormatCode() const override { return GetFormatCode(); }
  [[nodiscard]] int Restore(int check) override { return Reload(check != 0); }

 private:
  [[nodiscard]] int LoadPicture(int formatCode, const char* name, const uint8_t* data, size_t size,
                                bool systemMemory);

  std::string keptName_;
  int keptFormat_ = 0;
  bool keptSystemMemory_ = false;
};

}  // namespace bw
