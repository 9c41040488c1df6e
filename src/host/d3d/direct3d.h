// Our software Direct3D: one hardware device over a memory render target, with render and
// texture-stage states, textures that are memory surfaces, and the software rasteriser.
// Depth is not tested and faces are not culled: the device draws flat, screen-space pictures.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/d3d/rasteriser.h"
#include "host/ddraw/direct_draw.h"

namespace bw::host {

extern const Guid kIidDirect3DHalDevice;
extern const Guid kIidDirect3DTnLHalDevice;
extern const Guid kIidDirect3DRgbDevice;
extern const Guid kIidDirect3DRefDevice;

// Render depths in DirectDraw's bit-depth encoding.
constexpr uint32_t kDdbd8 = 0x800;
constexpr uint32_t kDdbd16 = 0x400;
constexpr uint32_t kDdbd24 = 0x200;
constexpr uint32_t kDdbd32 = 0x100;

constexpr uint32_t kD3dDevCapsHwRasterization = 0x80000;
// Texture capability bits: sides must be powers of two; unless the conditional bit allows other
// sizes too (with clamped addressing and no mip-maps, as the engine draws); sides must be equal.
constexpr uint32_t kD3dPTextureCapsPow2 = 0x2;
constexpr uint32_t kD3dPTextureCapsSquareOnly = 0x20;
constexpr uint32_t kD3dPTextureCapsNonPow2Conditional = 0x100;

// Render states and texture-stage states the device keeps (any number below the table sizes
// is stored; these are the ones it acts on).
constexpr uint32_t kRsAntialias = 2;
constexpr uint32_t kRsShadeMode = 9;
constexpr uint32_t kRsAlphaTestEnable = 15;
constexpr uint32_t kRsSrcBlend = 19;
constexpr uint32_t kRsDestBlend = 20;
constexpr uint32_t kRsCullMode = 22;
constexpr uint32_t kRsAlphaRef = 24;
constexpr uint32_t kRsAlphaFunc = 25;
constexpr uint32_t kRsAlphaBlendEnable = 27;
constexpr uint32_t kRsColorKeyEnable = 41;
constexpr uint32_t kRsTextureFactor = 60;
constexpr uint32_t kTssColorOp = 1;
constexpr uint32_t kTssColorArg1 = 2;
constexpr uint32_t kTssColorArg2 = 3;
constexpr uint32_t kTssAlphaOp = 4;
constexpr uint32_t kTssAlphaArg1 = 5;
constexpr uint32_t kTssAlphaArg2 = 6;
constexpr uint32_t kTssAddress = 12;
constexpr uint32_t kTssAddressU = 13;
constexpr uint32_t kTssAddressV = 14;
constexpr uint32_t kTssMagFilter = 16;
constexpr uint32_t kTssMinFilter = 17;

constexpr uint32_t kCullNone = 1;
constexpr uint32_t kCullCw = 2;
constexpr uint32_t kCullCcw = 3;

constexpr HResult kD3dErrInvalidPrimitiveType = DdError(2127);
constexpr HResult kD3dErrInvalidVertexFormat = DdError(2128);
constexpr HResult kD3dErrSceneNotInScene = DdError(2132);
constexpr HResult kD3dErrSceneInScene = DdError(2131);

struct D3dDeviceDesc {
  uint32_t devCaps = 0;
  uint32_t renderDepths = 0;
  uint32_t textureCaps = 0;
  uint32_t minTextureWidth = 0, minTextureHeight = 0;
  uint32_t maxTextureWidth = 0, maxTextureHeight = 0;
};

// What the HAL device reports. Our rasteriser takes textures of any size up to 4096 a side; a
// caller may make the device report the limits of another device instead (tests do).
D3dDeviceDesc HalDeviceDesc();
void SetHalDeviceDesc(const D3dDeviceDesc& desc);
void ResetHalDeviceDesc();

struct D3dDeviceInfo {
  Guid guid;
  std::string name;
  D3dDeviceDesc desc;
  bool hardware = false;
};

struct D3dViewport {
  int32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0, maxZ = 1;
};

class D3dDevice {
 public:
  static constexpr uint32_t kRenderStates = 256;
  static constexpr uint32_t kStages = 8;
  static constexpr uint32_t kStageStates = 32;

  [[nodiscard]] HResult GetCaps(D3dDeviceDesc* out) const;
  std::vector<DdPixelFormat> EnumTextureFormats() const;
  [[nodiscard]] HResult SetRenderState(uint32_t state, uint32_t value);
  [[nodiscard]] HResult GetRenderState(uint32_t state, uint32_t* value) const;
  [[nodiscard]] HResult SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value);
  [[nodiscard]] HResult GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) const;
  [[nodiscard]] HResult SetTexture(uint32_t stage,
                                   MemorySurface* texture);  // not owned; null unbinds
  MemorySurface* GetTexture(uint32_t stage) const;
  [[nodiscard]] HResult SetViewport(const D3dViewport& viewport);
  [[nodiscard]] HResult BeginScene();
  [[nodiscard]] HResult EndScene();
  // Primitive types 1 to 6, of the formats ReadVertices takes.
  [[nodiscard]] HResult DrawPrimitive(uint32_t type, uint32_t fvf, const void* vertices,
                                      uint32_t count, uint32_t flags);
  MemorySurface* RenderTarget() const { return target_; }

  // Test hooks: every accepted state change is counted; a refusing device refuses them all.
  int StateCalls() const { return stateCalls_; }
  void SetRefusesStates(bool refuses) { refusesStates_ = refuses; }

 private:
  friend class Direct3D;
  explicit D3dDevice(MemorySurface* target);
  // Null when memory runs out.
  static std::unique_ptr<D3dDevice> Make(MemorySurface* target);
  RasterState BuildState() const;

  MemorySurface* target_;
  std::array<uint32_t, kRenderStates> renderStates_{};
  std::array<std::array<uint32_t, kStageStates>, kStages> stageStates_{};
  std::array<MemorySurface*, kStages> textures_{};
  D3dViewport viewport_;
  bool inScene_ = false;
  int stateCalls_ = 0;
  bool refusesStates_ = false;
};

class Direct3D {
 public:
  explicit Direct3D(DirectDraw* directDraw) : directDraw_(directDraw) {}

  // One hardware device, the HAL device.
  std::vector<D3dDeviceInfo> EnumDevices() const;
  // The target (not owned) must be a 16- or 32-bit surface and outlive the device.
  [[nodiscard]] HResult CreateDevice(const Guid& guid, MemorySurface* target,
                                     std::unique_ptr<D3dDevice>* out);
  // 16- and 32-bit depth formats.
  std::vector<DdPixelFormat> EnumZBufferFormats(const Guid& guid) const;

 private:
  DirectDraw* directDraw_;
};

}  // namespace bw::host
