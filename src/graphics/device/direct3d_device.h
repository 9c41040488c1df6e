// The Direct3D device on top of the DirectDraw one: its creation on a target surface, the
// Z-buffer, the texture formats, and the cache through which every render state is set.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "graphics/device/direct_draw_device.h"
#include "platform/rect.h"

namespace bw {

class DirectDrawImageSurface;

// Results of Direct3DDevice::Create.
constexpr int kD3dCreateNoTarget = 1;
constexpr int kD3dCreateNoDirect3D = 2;
constexpr int kD3dCreateDeviceFailed = 3;
constexpr int kD3dCreateNoCaps = 4;
constexpr int kD3dCreateViewportRefused = 5;
constexpr int kD3dCreateNoZBuffer = -1;

// Results of Direct3DDevice::CreateZBuffer.
constexpr int kZNoDevice = 1;
constexpr int kZNoFormat = 2;
constexpr int kZNoDirectDraw = 3;
constexpr int kZCreateFailed = 4;

// Results of the cached state setters.
constexpr int kStateNoDevice = 1;
constexpr int kStateRefused = 2;

class Direct3DDevice : public DirectDrawDevice {
 public:
  Direct3DDevice();
  ~Direct3DDevice() override;

  using DirectDrawDevice::Create;
  [[nodiscard]] int Create(host::MemorySurface* target, const Rect* viewport, bool depth);
  [[nodiscard]] int CreateZBuffer(host::MemorySurface* target, int bits);
  // The first enumerated format of a class 4 to 256; null for any other value.
  const host::DdPixelFormat* GetTextureFormat(int formatClass) const;
  // Releases the Direct3D side only; the DirectDraw side has DirectDrawDevice::Release.
  void Release();

  [[nodiscard]] int SetCullMode(uint32_t value);
  [[nodiscard]] int SetShadeMode(uint32_t value);
  [[nodiscard]] int SetColorKeyEnable(uint32_t value);
  [[nodiscard]] int SetAlphaBlendEnable(uint32_t value);
  [[nodiscard]] int SetSrcBlend(uint32_t value);
  [[nodiscard]] int SetDestBlend(uint32_t value);
  [[nodiscard]] int SetAlphaTestEnable(uint32_t value);
  [[nodiscard]] int SetTextureFactor(uint32_t value);
  [[nodiscard]] int SetAlphaRef(uint32_t value);
  [[nodiscard]] int SetAlphaFunc(uint32_t value);
  [[nodiscard]] int SetColorOp(uint32_t value);
  [[nodiscard]] int SetColorArg1(uint32_t value);
  [[nodiscard]] int SetColorArg2(uint32_t value);
  [[nodiscard]] int SetAlphaOp(uint32_t value);
  [[nodiscard]] int SetAlphaArg1(uint32_t value);
  [[nodiscard]] int SetAlphaArg2(uint32_t value);
  // Binds the object's texture surface to stage 0; null unbinds. The object stays cached for
  // RenderStateCache, so one that dies while bound must be unbound first.
  [[nodiscard]] int SetTexture(DirectDrawImageSurface* texture);
  // After a device restore: sends every known cached value again and binds the texture again.
  [[nodiscard]] int RenderStateCache();

  host::D3dDevice* GetDevice() const { return device_.get(); }
  host::MemorySurface* GetZBuffer() const { return zBuffer_.get(); }
  int ZBufferDepth() const { return zBufferDepth_; }
  const host::D3dDeviceDesc& DeviceCaps() const { return deviceCaps_; }

 private:
  // One cached byte-sized state; kUnknown until set.
  static constexpr uint8_t kUnknown = 255;
  enum Slot {
    kCull,
    kShade,
    kColorKey,
    kAlphaBlend,
    kSrcBlend,
    kDestBlend,
    kAlphaTest,
    kColorOp,
    kColorArg1,
    kColorArg2,
    kAlphaOp,
    kAlphaArg1,
    kAlphaArg2,
    kAlphaFunc,
    kSlotCount
  };
  [[nodiscard]] int SetCached(Slot slot, uint32_t value);

  std::unique_ptr<host::MemorySurface> zBuffer_;
  std::unique_ptr<host::D3dDevice> device_;
  std::unique_ptr<host::Direct3D> direct3d_;
  std::array<std::optional<host::DdPixelFormat>, 7> textureFormats_;
  host::D3dDeviceDesc deviceCaps_;
  int zBufferDepth_ = 0;
  std::array<uint8_t, kSlotCount> cache_{};
  uint8_t alphaRef_ = 0;                  // 0: unknown
  uint32_t textureFactor_ = 0xFFFFFFFFu;  // unknown
  DirectDrawImageSurface* texture_ = nullptr;
  host::MemorySurface* boundSurface_ = nullptr;
};

}  // namespace bw
