#include "graphics/device/direct3d_device.h"

#include <bit>

#include "graphics/pixel/pixel_format.h"
#include "graphics/surface/directdraw_image_surface.h"

namespace bw {
namespace {

// Where each cached slot goes: a render state, or a stage-0 texture-stage state.
struct SlotTarget {
  bool stage;
  uint32_t state;
};
constexpr SlotTarget kSlotTargets[] = {
    {false, host::kRsCullMode},        {false, host::kRsShadeMode},
    {false, host::kRsColorKeyEnable},  {false, host::kRsAlphaBlendEnable},
    {false, host::kRsSrcBlend},        {false, host::kRsDestBlend},
    {false, host::kRsAlphaTestEnable}, {true, host::kTssColorOp},
    {true, host::kTssColorArg1},       {true, host::kTssColorArg2},
    {true, host::kTssAlphaOp},         {true, host::kTssAlphaArg1},
    {true, host::kTssAlphaArg2},       {false, host::kRsAlphaFunc},
};

// Texture-format slot of a class bit 4 .. 256; -1 otherwise.
int FormatSlot(int formatClass) {
  if (formatClass < 4 || formatClass > 256 || !std::has_single_bit(unsigned(formatClass)))
    return -1;
  return std::countr_zero(unsigned(formatClass)) - 2;
}

}  // namespace

Direct3DDevice::Direct3DDevice() {
  cache_.fill(kUnknown);
}

Direct3DDevice::~Direct3DDevice() {
  Release();
}

int Direct3DDevice::Create(host::MemorySurface* target, const Rect* viewport, bool depth) {
  if (!directDraw_ || !target) return kD3dCreateNoTarget;
  Release();
  direct3d_ = std::make_unique<host::Direct3D>(directDraw_.get());
  if (direct3d_->CreateDevice(direct3dGuid_, target, &device_) != host::kDdOk) {
    // The kept device may be stale: choose again from a fresh list and retry on the same
    // DirectDraw device only.
    // A load that fails leaves the list empty, which the lines below check.
    if (DirectDrawDeviceList().empty()) (void)LoadDirectDrawLibrary(false, false);
    const host::Guid before = deviceGuid_;
    const bool hadGuid = hasDeviceGuid_;
    const bool same = ChooseDirect3DDevice(!canRenderWindowed_) &&
                      (hadGuid ? deviceGuid_ == before : deviceGuid_.IsNull());
    if (!same || direct3d_->CreateDevice(direct3dGuid_, target, &device_) != host::kDdOk) {
      Release();
      return kD3dCreateDeviceFailed;
    }
  }
  if (device_->GetCaps(&deviceCaps_) != host::kDdOk) {
    Release();
    return kD3dCreateNoCaps;
  }
  for (const host::DdPixelFormat& f : device_->EnumTextureFormats()) {
    const int slot = FormatSlot(ClassifyPixelFormat(nullptr, nullptr, &f));
    if (slot >= 0 && !textureFormats_[size_t(slot)]) textureFormats_[size_t(slot)] = f;
  }
  // Known states with valid values: the device cannot refuse them.
  (void)device_->SetTextureStageState(0, host::kTssAddress, host::kTaddressClamp);
  (void)device_->SetTextureStageState(0, host::kTssAddressU, host::kTaddressClamp);
  (void)device_->SetTextureStageState(0, host::kTssAddressV, host::kTaddressClamp);
  if (depth && viewport) {
    const host::D3dViewport vp{
        viewport->left, viewport->top, viewport->Width(), viewport->Height(), 0, 1};
    if (device_->SetViewport(vp) != host::kDdOk) {
      Release();
      return kD3dCreateViewportRefused;
    }
  }
  int result = 0;
  if (depth && CreateZBuffer(target, 0) != 0) result = kD3dCreateNoZBuffer;
  // Known states with valid values: the device cannot refuse them.
  (void)device_->SetRenderState(host::kRsAntialias, 0);
  return result;
}

int Direct3DDevice::CreateZBuffer(host::MemorySurface* target, int bits) {
  if (!direct3d_ || !device_ || !target) return kZNoDevice;
  zBuffer_.reset();
  zBufferDepth_ = 0;
  if (bits == 0) bits = target->BytesPerPixel() * 8;
  const auto formats = direct3d_->EnumZBufferFormats(direct3dGuid_);
  auto find = [&](int depth) -> const host::DdPixelFormat* {
    for (const auto& f : formats)
      if (int(f.rgbBitCount) == depth) return &f;
    return nullptr;
  };
  const host::DdPixelFormat* format = find(bits);
  if (!format && bits == 32) format = find(24);
  if (!format) return kZNoFormat;
  if (!directDraw_) return kZNoDirectDraw;
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps | host::kDdsdWidth | host::kDdsdHeight | host::kDdsdPixelFormat;
  desc.caps =
      host::kDdsCapsZBuffer | (direct3dType_ == kD3dTypeSoftware ? host::kDdsCapsSystemMemory : 0);
  desc.width = uint32_t(target->Width());
  desc.height = uint32_t(target->Height());
  desc.pixelFormat = *format;
  if (directDraw_->CreateSurface(desc, &zBuffer_) != host::kDdOk) return kZCreateFailed;
  // Kept beside the target: the rasteriser draws flat pictures and tests no depth.
  zBufferDepth_ = int(format->rgbBitCount);
  return 0;
}

const host::DdPixelFormat* Direct3DDevice::GetTextureFormat(int formatClass) const {
  const int slot = FormatSlot(formatClass);
  if (slot < 0 || !textureFormats_[size_t(slot)]) return nullptr;
  return &*textureFormats_[size_t(slot)];
}

void Direct3DDevice::Release() {
  // Stage 0 always exists, so binding or unbinding cannot fail.
  if (device_ && boundSurface_) (void)device_->SetTexture(0, nullptr);
  device_.reset();
  direct3d_.reset();
  zBuffer_.reset();
  zBufferDepth_ = 0;
  for (auto& f : textureFormats_) f.reset();
  // The cached values stay: RenderStateCache sends them to the next device.
  boundSurface_ = nullptr;
}

int Direct3DDevice::SetCached(Slot slot, uint32_t value) {
  if (!device_) return kStateNoDevice;
  if (cache_[slot] != kUnknown && cache_[slot] == value) return 0;
  const SlotTarget& t = kSlotTargets[slot];
  const host::HResult hr = t.stage ? device_->SetTextureStageState(0, t.state, value)
                                   : device_->SetRenderState(t.state, value);
  if (hr != host::kDdOk) return kStateRefused;
  cache_[slot] = uint8_t(value);
  return 0;
}

int Direct3DDevice::SetCullMode(uint32_t v) {
  return SetCached(kCull, v);
}
int Direct3DDevice::SetShadeMode(uint32_t v) {
  return SetCached(kShade, v);
}
int Direct3DDevice::SetColorKeyEnable(uint32_t v) {
  return SetCached(kColorKey, v);
}
int Direct3DDevice::SetAlphaBlendEnable(uint32_t v) {
  return SetCached(kAlphaBlend, v);
}
int Direct3DDevice::SetSrcBlend(uint32_t v) {
  return SetCached(kSrcBlend, v);
}
int Direct3DDevice::SetDestBlend(uint32_t v) {
  return SetCached(kDestBlend, v);
}
int Direct3DDevice::SetAlphaTestEnable(uint32_t v) {
  return SetCached(kAlphaTest, v);
}
int Direct3DDevice::SetAlphaFunc(uint32_t v) {
  return SetCached(kAlphaFunc, v);
}
int Direct3DDevice::SetColorOp(uint32_t v) {
  return SetCached(kColorOp, v);
}
int Direct3DDevice::SetColorArg1(uint32_t v) {
  return SetCached(kColorArg1, v);
}
int Direct3DDevice::SetColorArg2(uint32_t v) {
  return SetCached(kColorArg2, v);
}
int Direct3DDevice::SetAlphaOp(uint32_t v) {
  return SetCached(kAlphaOp, v);
}
int Direct3DDevice::SetAlphaArg1(uint32_t v) {
  return SetCached(kAlphaArg1, v);
}
int Direct3DDevice::SetAlphaArg2(uint32_t v) {
  return SetCached(kAlphaArg2, v);
}

int Direct3DDevice::SetAlphaRef(uint32_t value) {
  if (!device_) return kStateNoDevice;
  if (alphaRef_ != 0 && alphaRef_ == value) return 0;
  if (device_->SetRenderState(host::kRsAlphaRef, value) != host::kDdOk) return kStateRefused;
  alphaRef_ = uint8_t(value);
  return 0;
}

int Direct3DDevice::SetTextureFactor(uint32_t value) {
  if (!device_) return kStateNoDevice;
  if (textureFactor_ != 0xFFFFFFFFu && textureFactor_ == value) return 0;
  if (device_->SetRenderState(host::kRsTextureFactor, value) != host::kDdOk) return kStateRefused;
  textureFactor_ = value;
  return 0;
}

int Direct3DDevice::SetTexture(DirectDrawImageSurface* texture) {
  host::MemorySurface* surface = texture ? texture->GetDirectDrawSurface() : nullptr;
  if (!device_ || (texture && !surface)) return kStateNoDevice;
  if (surface && surface == boundSurface_) return 0;
  // Unbinding always reaches the device: a refused bind may have left the old one there.
  if (boundSurface_ || !surface) (void)device_->SetTexture(0, nullptr);
  boundSurface_ = nullptr;
  if (surface && device_->SetTexture(0, surface) != host::kDdOk) return kStateRefused;
  boundSurface_ = surface;
  texture_ = texture;
  return 0;
}

int Direct3DDevice::RenderStateCache() {
  int last = 0;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (cache_[size_t(slot)] == kUnknown) continue;
    const uint8_t value = cache_[size_t(slot)];
    cache_[size_t(slot)] = kUnknown;
    if (int r = SetCached(Slot(slot), value); r != 0) last = r;
  }
  if (alphaRef_ != 0) {
    const uint8_t value = alphaRef_;
    alphaRef_ = 0;
    if (int r = SetAlphaRef(value); r != 0) last = r;
  }
  if (textureFactor_ != 0xFFFFFFFFu) {
    const uint32_t value = textureFactor_;
    textureFactor_ = 0xFFFFFFFFu;
    if (int r = SetTextureFactor(value); r != 0) last = r;
  }
  if (texture_) {
    DirectDrawImageSurface* texture = texture_;
    boundSurface_ = nullptr;
    if (int r = SetTexture(texture); r != 0) last = r;
  }
  return last;
}

}  // namespace bw
