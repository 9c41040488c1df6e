#include "graphics/device/direct_draw_device.h"

#include "platform/com_init.h"

namespace bw {
namespace {

// Owned by the thread that runs the frame: it builds, reads and frees the device list and sets
// the latch; no lock.
std::vector<DirectDrawDeviceInfo> deviceList;
bool deviceListBuilt = false;
bool exclusiveLatched = false;

constexpr int32_t kRefresh60 = 60;

}  // namespace

bool ExclusiveModeLatched() {
  return exclusiveLatched;
}
void SetExclusiveModeLatched(bool latched) {
  exclusiveLatched = latched;
}

int LoadDirectDrawLibrary(bool emulationOnly, bool withModes) {
  (void)emulationOnly;  // the software devices have no separate emulation layer
  FreeDirectDrawDeviceList();
  deviceListBuilt = true;
  for (const host::DdDeviceDesc& desc : host::EnumerateDisplayDevices()) {
    auto directDraw = host::DirectDraw::Create(desc.guid.IsNull() ? nullptr : &desc.guid);
    if (!directDraw) continue;
    host::Direct3D direct3d(directDraw.get());
    DirectDrawDeviceInfo info;
    info.guid = desc.guid;
    info.description = desc.description;
    info.driverName = desc.name;
    info.monitor = desc.monitor;
    // The caps keep their zeroed defaults when the device answers none.
    (void)directDraw->GetCaps(&info.caps, &info.emulationCaps);
    info.canRenderWindowed =
        desc.guid.IsNull() && (info.caps.caps2 & host::kDdCaps2CanRenderWindowed);
    if (withModes) info.modes = directDraw->EnumDisplayModes();
    for (const host::D3dDeviceInfo& d : direct3d.EnumDevices()) {
      info.direct3dDevices.push_back(
          {d.guid, d.name, d.desc, (d.desc.devCaps & host::kD3dDevCapsHwRasterization) != 0});
    }
    deviceList.push_back(std::move(info));
  }
  return deviceList.empty() ? kLoadNoDevice : kLoadDone;
}

void FreeDirectDrawDeviceList() {
  deviceList.clear();
  deviceListBuilt = false;
}

const std::vector<DirectDrawDeviceInfo>& DirectDrawDeviceList() {
  return deviceList;
}

DirectDrawDevice::DirectDrawDevice() {
  comInitialised_ = ComInitializeForThread() == kComDone;
}

DirectDrawDevice::~DirectDrawDevice() {
  Release();
  if (comInitialised_) (void)ComUninitializeForThread();  // another thread has none to take back
  if (deviceListBuilt) FreeDirectDrawDeviceList();
}

bool DirectDrawDevice::ChooseDirect3DDevice(bool allowNonWindowed) {
  // Ranks: transform-and-lighting HAL, other hardware, software, reference; in each rank the
  // last device seen wins.
  struct Choice {
    const DirectDrawDeviceInfo* device = nullptr;
    const Direct3DDeviceEntry* d3d = nullptr;
    uint8_t type = kD3dTypeSoftware;
    bool windowed = true;
  };
  Choice ranks[4];
  for (const DirectDrawDeviceInfo& device : deviceList) {
    for (const Direct3DDeviceEntry& d3d : device.direct3dDevices) {
      if (!device.canRenderWindowed) {
        if (allowNonWindowed && d3d.hardware && !(d3d.guid == host::kIidDirect3DTnLHalDevice)) {
          if (!ranks[1].device || !ranks[1].windowed)
            ranks[1] = {&device, &d3d, kD3dTypeHal, false};
        }
        continue;
      }
      if (d3d.guid == host::kIidDirect3DTnLHalDevice) {
        ranks[0] = {&device, &d3d, kD3dTypeTnLHal, true};
      } else if (d3d.hardware) {
        ranks[1] = {&device, &d3d, kD3dTypeHal, true};
      } else if (d3d.guid == host::kIidDirect3DRefDevice) {
        ranks[3] = {&device, &d3d, kD3dTypeSoftware, true};
      } else {
        ranks[2] = {&device, &d3d, kD3dTypeSoftware, true};
      }
    }
  }
  for (const Choice& c : ranks) {
    if (!c.device) continue;
    deviceGuid_ = c.device->guid;
    hasDeviceGuid_ = true;
    direct3dGuid_ = c.d3d->guid;
    hasDirect3DGuid_ = true;
    renderDepths_ = c.d3d->desc.renderDepths;
    direct3dType_ = c.type;
    canRenderWindowed_ = c.windowed;
    return true;
  }
  return false;
}

int DirectDrawDevice::Create(bool emulationOnly, bool useDirect3D, const host::Guid* deviceGuid,
                             const host::Guid* direct3dGuid, uint32_t renderDepths, bool windowed,
                             int32_t modeWidth, int32_t modeHeight) {
  if (!comInitialised_) return kDdCreateNoCom;
  Release();  // gives back a mode the old object set
  bool chosen = false;
  hasDeviceGuid_ = deviceGuid != nullptr;
  if (deviceGuid) deviceGuid_ = *deviceGuid;
  canRenderWindowed_ = true;
  if (useDirect3D) {
    if (deviceGuid && direct3dGuid) {
      direct3dGuid_ = *direct3dGuid;
      hasDirect3DGuid_ = true;
      renderDepths_ = renderDepths;
      direct3dType_ = *direct3dGuid == host::kIidDirect3DTnLHalDevice ? kD3dTypeTnLHal
                      : *direct3dGuid == host::kIidDirect3DHalDevice  ? kD3dTypeHal
                                                                      : kD3dTypeSoftware;
    } else {
      // A load that fails leaves the list empty, which the lines below check.
      if (deviceList.empty()) (void)LoadDirectDrawLibrary(false, false);
      if (!ChooseDirect3DDevice(!windowed)) return kDdCreateNoDirect3DDevice;
      chosen = true;
    }
  }
  auto create = [&] {
    const host::Guid* guid = hasDeviceGuid_ && !emulationOnly ? &deviceGuid_ : nullptr;
    directDraw_ = host::DirectDraw::Create(guid);
  };
  create();
  if (!directDraw_ && useDirect3D && !chosen) {
    // A load that fails leaves the list empty, which the lines below check.
    if (deviceList.empty()) (void)LoadDirectDrawLibrary(false, false);
    if (ChooseDirect3DDevice(!windowed)) create();
  }
  if (!directDraw_) return kDdCreateInitFailed;
  useDirect3D_ = useDirect3D;
  if (modeWidth > 0) {
    allowedDepthMask_ = 0;
    has60Hz_ = false;
    for (const host::DdDisplayMode& m : directDraw_->EnumDisplayModes()) {
      if (m.width != modeWidth || m.height != modeHeight) continue;
      allowedDepthMask_ |= DepthBit(m.bitsPerPixel);
      has60Hz_ |= m.refreshRate == kRefresh60;
    }
    if (useDirect3D) allowedDepthMask_ &= uint8_t(renderDepths_ >> 8);
  }
  (void)directDraw_->GetCaps(&caps_, nullptr);
  if (!useDirect3D) canRenderWindowed_ = (caps_.caps2 & host::kDdCaps2CanRenderWindowed) != 0;
  host::DdDeviceIdentifier id;
  if (directDraw_->GetDeviceIdentifier(&id) == host::kDdOk) {
    description_ = id.description;
    driverName_ = id.driver;
  }
  return 0;
}

uint32_t DirectDrawDevice::GetVideoMemory(bool refresh) {
  if (refresh && directDraw_) (void)directDraw_->GetCaps(&caps_, nullptr);
  return caps_.videoMemoryFree;
}

int DirectDrawDevice::SetDisplayMode(host::HWND window, int32_t width, int32_t height, int bits,
                                     bool try60Hz) {
  if (!directDraw_ || (modeState_ == kModeStateDirectDraw && modeDepth_ == bits)) {
    return kModeNoDirectDrawOrSameDepth;
  }
  if (!(allowedDepthMask_ & DepthBit(bits))) return kModeDepthNotAllowed;
  for (;;) {
    if (exclusiveLatched && cooperativeState_ != kCoopExclusive) {
      if (directDraw_->SetCooperativeLevel(
              window, host::kDdsclExclusive | host::kDdsclFullScreen) != host::kDdOk) {
        return kModeExclusiveRefused;
      }
      cooperativeState_ = kCoopExclusive;
    }
    if (cooperativeState_ == kCoopNotSet) {
      // Going back to the normal level cannot fail.
      (void)directDraw_->SetCooperativeLevel(host::HWND{}, host::kDdsclNormal);
      cooperativeState_ = kCoopNormal;
    }
    bool done = try60Hz && has60Hz_ &&
                directDraw_->SetDisplayMode(width, height, bits, kRefresh60, 0) == host::kDdOk;
    const uint8_t refresh = done ? kRefresh60 : 0;
    if (!done) done = directDraw_->SetDisplayMode(width, height, bits, 0, 0) == host::kDdOk;
    if (done) {
      modeState_ = kModeStateDirectDraw;
      modeDepth_ = uint8_t(bits);
      modeRefresh_ = refresh;
      return 0;
    }
    if (cooperativeState_ == kCoopExclusive) return kModeRefused;
    exclusiveLatched = true;
  }
}

int DirectDrawDevice::DisplayDepth() const {
  if (!directDraw_) return 0;
  if (modeState_ == kModeStateDirectDraw) return modeDepth_;
  host::DdDisplayMode mode;
  if (directDraw_->GetDisplayMode(&mode) != host::kDdOk) return 0;
  return mode.bitsPerPixel;
}

int DirectDrawDevice::RestoreMode(bool required) {
  if (!directDraw_) return kRestoreNoDirectDraw;
  if (required && !canRenderWindowed_) return kRestoreCannotRenderWindowed;
  if (cooperativeState_ != kCoopNormal) {
    (void)directDraw_->SetCooperativeLevel(host::HWND{}, host::kDdsclNormal);
    cooperativeState_ = kCoopNormal;
  }
  // Nothing more to undo when the mode was never changed.
  if (modeState_ == kModeStateDirectDraw) (void)directDraw_->RestoreDisplayMode();
  modeState_ = kModeStateDesktop;
  modeRefresh_ = 0;
  return 0;
}

void DirectDrawDevice::Release() {
  // The screen stays as it is when the switch fails; the frame loop notices a lost one.
  (void)RestoreMode(false);
  directDraw_.reset();
  cooperativeState_ = kCoopNotSet;
}

}  // namespace bw
