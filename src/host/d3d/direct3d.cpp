#include "host/d3d/direct3d.h"

#include <mutex>
#include <new>

namespace bw::host {

const Guid kIidDirect3DHalDevice{
    0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x5B, 0x6E}};
const Guid kIidDirect3DTnLHalDevice{
    0xF5049E78, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
const Guid kIidDirect3DRgbDevice{
    0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const Guid kIidDirect3DRefDevice{
    0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

namespace {

constexpr uint32_t kMaxTextureSide = 4096;

D3dDeviceDesc OwnHalDesc() {
  D3dDeviceDesc d;
  d.devCaps = kD3dDevCapsHwRasterization;
  d.renderDepths = kDdbd16 | kDdbd32;
  d.textureCaps = 0;  // any size, not only squares
  d.minTextureWidth = d.minTextureHeight = 1;
  d.maxTextureWidth = d.maxTextureHeight = kMaxTextureSide;
  return d;
}

std::mutex halLock;
D3dDeviceDesc halDesc = OwnHalDesc();  // guarded by halLock

DdPixelFormat Format(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  DdPixelFormat f;
  f.flags = kDdpfRgb | (a ? kDdpfAlphaPixels : 0);
  f.rgbBitCount = bits;
  f.rBitMask = r, f.gBitMask = g, f.bBitMask = b, f.rgbAlphaBitMask = a;
  return f;
}

}  // namespace

D3dDeviceDesc HalDeviceDesc() {
  std::lock_guard hold(halLock);
  return halDesc;
}

void SetHalDeviceDesc(const D3dDeviceDesc& desc) {
  std::lock_guard hold(halLock);
  halDesc = desc;
}

void ResetHalDeviceDesc() {
  SetHalDeviceDesc(OwnHalDesc());
}

std::unique_ptr<D3dDevice> D3dDevice::Make(MemorySurface* target) {
  return std::unique_ptr<D3dDevice>(new (std::nothrow) D3dDevice(target));
}

D3dDevice::D3dDevice(MemorySurface* target) : target_(target) {
  renderStates_[kRsShadeMode] = kShadeGouraud;
  renderStates_[kRsSrcBlend] = kBlendOne;
  renderStates_[kRsDestBlend] = kBlendZero;
  renderStates_[kRsCullMode] = kCullCcw;
  renderStates_[kRsAlphaFunc] = kCmpAlways;
  renderStates_[kRsTextureFactor] = 0xFFFFFFFFu;
  for (auto& stage : stageStates_) {
    stage[kTssColorOp] = kTopDisable;
    stage[kTssAlphaOp] = kTopDisable;
    stage[kTssColorArg1] = stage[kTssAlphaArg1] = kTaTexture;
    stage[kTssColorArg2] = stage[kTssAlphaArg2] = kTaCurrent;
    stage[kTssAddress] = stage[kTssAddressU] = stage[kTssAddressV] = kTaddressWrap;
    stage[kTssMagFilter] = stage[kTssMinFilter] = kTfgPoint;
  }
  stageStates_[0][kTssColorOp] = kTopModulate;
  stageStates_[0][kTssAlphaOp] = kTopSelectArg1;
  viewport_ = {0, 0, target->Width(), target->Height(), 0, 1};
}

HResult D3dDevice::GetCaps(D3dDeviceDesc* out) const {
  if (!out) return kDdErrInvalidParams;
  *out = HalDeviceDesc();
  return kDdOk;
}

std::vector<DdPixelFormat> D3dDevice::EnumTextureFormats() const {
  return {
      Format(16, 0x7C00, 0x03E0, 0x001F, 0),      Format(16, 0xF800, 0x07E0, 0x001F, 0),
      Format(32, 0xFF0000, 0xFF00, 0xFF, 0),      Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
      Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000), Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)};
}

HResult D3dDevice::SetRenderState(uint32_t state, uint32_t value) {
  if (state >= kRenderStates) return kDdErrInvalidParams;
  if (refusesStates_) return kDdErrGeneric;
  renderStates_[state] = value;
  ++stateCalls_;
  return kDdOk;
}

HResult D3dDevice::GetRenderState(uint32_t state, uint32_t* value) const {
  if (state >= kRenderStates || !value) return kDdErrInvalidParams;
  *value = renderStates_[state];
  return kDdOk;
}

HResult D3dDevice::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) {
  if (stage >= kStages || state >= kStageStates) return kDdErrInvalidParams;
  if (refusesStates_) return kDdErrGeneric;
  stageStates_[stage][state] = value;
  // The combined address state sets both directions.
  if (state == kTssAddress)
    stageStates_[stage][kTssAddressU] = stageStates_[stage][kTssAddressV] = value;
  ++stateCalls_;
  return kDdOk;
}

HResult D3dDevice::GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) const {
  if (stage >= kStages || state >= kStageStates || !value) return kDdErrInvalidParams;
  *value = stageStates_[stage][state];
  return kDdOk;
}

HResult D3dDevice::SetTexture(uint32_t stage, MemorySurface* texture) {
  if (stage >= kStages) return kDdErrInvalidParams;
  if (refusesStates_) return kDdErrGeneric;
  if (texture && texture->BytesPerPixel() != 2 && texture->BytesPerPixel() != 4) {
    return kDdErrInvalidPixelFormat;
  }
  textures_[stage] = texture;
  ++stateCalls_;
  return kDdOk;
}

MemorySurface* D3dDevice::GetTexture(uint32_t stage) const {
  return stage < kStages ? textures_[stage] : nullptr;
}

HResult D3dDevice::SetViewport(const D3dViewport& viewport) {
  if (viewport.width < 0 || viewport.height < 0 || viewport.x < 0 || viewport.y < 0 ||
      int64_t{viewport.x} + viewport.width > target_->Width() ||
      int64_t{viewport.y} + viewport.height > target_->Height()) {
    return kDdErrInvalidParams;
  }
  viewport_ = viewport;
  return kDdOk;
}

HResult D3dDevice::BeginScene() {
  if (inScene_) return kD3dErrSceneInScene;
  inScene_ = true;
  return kDdOk;
}

HResult D3dDevice::EndScene() {
  if (!inScene_) return kD3dErrSceneNotInScene;
  inScene_ = false;
  return kDdOk;
}

RasterState D3dDevice::BuildState() const {
  RasterState s;
  const auto& stage = stageStates_[0];
  s.texture = textures_[0];
  s.linear = stage[kTssMagFilter] == kTfgLinear;
  s.addressU = stage[kTssAddressU];
  s.addressV = stage[kTssAddressV];
  s.colorOp = stage[kTssColorOp], s.colorArg1 = stage[kTssColorArg1],
  s.colorArg2 = stage[kTssColorArg2];
  s.alphaOp = stage[kTssAlphaOp], s.alphaArg1 = stage[kTssAlphaArg1],
  s.alphaArg2 = stage[kTssAlphaArg2];
  s.textureFactor = renderStates_[kRsTextureFactor];
  s.shadeMode = renderStates_[kRsShadeMode];
  s.colorKeyEnable = renderStates_[kRsColorKeyEnable] != 0;
  s.alphaBlendEnable = renderStates_[kRsAlphaBlendEnable] != 0;
  s.srcBlend = renderStates_[kRsSrcBlend];
  s.destBlend = renderStates_[kRsDestBlend];
  s.alphaTestEnable = renderStates_[kRsAlphaTestEnable] != 0;
  s.alphaFunc = renderStates_[kRsAlphaFunc];
  s.alphaRef = renderStates_[kRsAlphaRef];
  s.viewport = {viewport_.x, viewport_.y, viewport_.x + viewport_.width,
                viewport_.y + viewport_.height};
  return s;
}

HResult D3dDevice::DrawPrimitive(uint32_t type, uint32_t fvf, const void* vertices, uint32_t count,
                                 uint32_t) {
  if (!inScene_) return kD3dErrSceneNotInScene;
  if (type < kPrimitivePointList || type > kPrimitiveTriangleFan)
    return kD3dErrInvalidPrimitiveType;
  std::vector<RasterVertex> read;
  if (!ReadVertices(fvf, vertices, count, &read)) return kD3dErrInvalidVertexFormat;
  if (target_->IsLost() != kDdOk) return kDdErrSurfaceLost;
  return DrawPrimitives(target_, BuildState(), type, read) ? kDdOk : kDdErrGeneric;
}

std::vector<D3dDeviceInfo> Direct3D::EnumDevices() const {
  return {D3dDeviceInfo{kIidDirect3DHalDevice, "Direct3D HAL", HalDeviceDesc(), true}};
}

HResult Direct3D::CreateDevice(const Guid& guid, MemorySurface* target,
                               std::unique_ptr<D3dDevice>* out) {
  if (!out || !target || !directDraw_) return kDdErrInvalidParams;
  out->reset();
  if (!(guid == kIidDirect3DHalDevice)) return kDdErrNotFound;
  if (target->BytesPerPixel() != 2 && target->BytesPerPixel() != 4) return kDdErrInvalidPixelFormat;
  *out = D3dDevice::Make(target);
  if (!*out) return kDdErrOutOfMemory;
  // What the device draws is presented smoothly when the window scales it.
  target->SetPresentLinear(true);
  return kDdOk;
}

std::vector<DdPixelFormat> Direct3D::EnumZBufferFormats(const Guid& guid) const {
  if (!(guid == kIidDirect3DHalDevice)) return {};
  DdPixelFormat z16, z32;
  z16.flags = z32.flags = kDdpfZBuffer;
  z16.rgbBitCount = 16;
  z32.rgbBitCount = 32;
  return {z16, z32};
}

}  // namespace bw::host
