// The DirectDraw object under the display manager: its creation for a chosen device, the display
// mode and cooperative level, and the process-wide list of display devices.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/d3d/direct3d.h"
#include "host/ddraw/direct_draw.h"

namespace bw {

// Results of DirectDrawDevice::Create.
constexpr int kDdCreateNoCom = 1;
constexpr int kDdCreateNoDirect3DDevice = 2;
constexpr int kDdCreateNoObject = 3;
constexpr int kDdCreateInitFailed = 4;

// Results of DirectDrawDevice::SetDisplayMode.
constexpr int kModeNoDirectDrawOrSameDepth = 1;
constexpr int kModeDepthNotAllowed = 2;
constexpr int kModeExclusiveRefused = 3;
constexpr int kModeRefused = 4;

// Results of DirectDrawDevice::RestoreMode.
constexpr int kRestoreNoDirectDraw = 1;
constexpr int kRestoreCannotRenderWindowed = 2;

// Mode and cooperative states.
constexpr uint8_t kModeStateNone = 0;
constexpr uint8_t kModeStateDirectDraw = 1;
constexpr uint8_t kModeStateDesktop = 2;
constexpr uint8_t kCoopNotSet = 0;
constexpr uint8_t kCoopExclusive = 1;
constexpr uint8_t kCoopNormal = 2;

// Direct3D device types.
constexpr uint8_t kD3dTypeSoftware = 0;
constexpr uint8_t kD3dTypeHal = 1;
constexpr uint8_t kD3dTypeTnLHal = 2;

struct Direct3DDeviceEntry {
  host::Guid guid;
  std::string name;
  host::D3dDeviceDesc desc;
  bool hardware = false;
};

struct DirectDrawDeviceInfo {
  host::Guid guid;  // null for the default device
  std::string description;
  std::string driverName;
  uintptr_t monitor = 0;
  host::DdCaps caps;
  host::DdCaps emulationCaps;
  bool canRenderWindowed = false;
  std::vector<host::DdDisplayMode> modes;
  std::vector<Direct3DDeviceEntry> direct3dDevices;
};

constexpr int kLoadDone = 0;
constexpr int kLoadNoDevice = -1;
// Enumerates the display devices into the process-wide list (modes only when asked).
[[nodiscard]] int LoadDirectDrawLibrary(bool emulationOnly, bool withModes);
void FreeDirectDrawDeviceList();
const std::vector<DirectDrawDeviceInfo>& DirectDrawDeviceList();

// Once a mode was refused at the normal level, every later switch asks for exclusive mode at
// once. Set for the rest of the run; tests put it back.
bool ExclusiveModeLatched();
void SetExclusiveModeLatched(bool latched);

class DirectDrawDevice {
 public:
  DirectDrawDevice();
  virtual ~DirectDrawDevice();
  DirectDrawDevice(const DirectDrawDevice&) = delete;
  DirectDrawDevice& operator=(const DirectDrawDevice&) = delete;

  // A missing GUID means the default device; with Direct3D, a missing GUID runs the device choice.
  [[nodiscard]] int Create(bool emulationOnly, bool useDirect3D, const host::Guid* deviceGuid,
                           const host::Guid* direct3dGuid, uint32_t renderDepths, bool windowed,
                           int32_t modeWidth, int32_t modeHeight);
  uint32_t GetVideoMemory(bool refresh);
  [[nodiscard]] int SetDisplayMode(host::HWND window, int32_t width, int32_t height, int bits,
                                   bool try60Hz);
  [[nodiscard]] int RestoreMode(bool required);
  void Release();
  // Picks the best Direct3D device of the process-wide list; false when it is empty.
  bool ChooseDirect3DDevice(bool allowNonWindowed);

  host::DirectDraw* GetDirectDraw() const { return directDraw_.get(); }
  uint8_t AllowedDepthMask() const { return allowedDepthMask_; }
  bool Has60Hz() const { return has60Hz_; }
  bool CanRenderWindowed() const { return canRenderWindowed_; }
  uint8_t Direct3DType() const { return direct3dType_; }
  const host::Guid& Direct3DGuid() const { return direct3dGuid_; }
  uint8_t ModeState() const { return modeState_; }
  uint8_t ModeDepth() const { return modeDepth_; }
  uint8_t ModeRefresh() const { return modeRefresh_; }
  uint8_t CooperativeState() const { return cooperativeState_; }
  const std::string& DriverDescription() const { return description_; }
  const host::DdCaps& Caps() const { return caps_; }
  // The depth surfaces take by default: the set mode's, else the desktop's; 0 without DirectDraw.
  int DisplayDepth() const;
  bool ManagesTextures() const { return (caps_.caps2 & host::kDdCaps2CanManageTexture) != 0; }

  // The allowed-depth bit of a depth: bit (4 - bits / 8).
  static uint8_t DepthBit(int bits) {
    return bits >= 8 && bits <= 32 ? uint8_t(1u << (4 - bits / 8)) : 0;
  }

 protected:
  bool comInitialised_ = false;
  std::unique_ptr<host::DirectDraw> directDraw_;
  host::Guid deviceGuid_;
  bool hasDeviceGuid_ = false;
  host::Guid direct3dGuid_;
  bool hasDirect3DGuid_ = false;
  uint32_t renderDepths_ = 0;
  uint8_t direct3dType_ = kD3dTypeSoftware;
  bool canRenderWindowed_ = false;
  bool useDirect3D_ = false;
  uint8_t allowedDepthMask_ = 0;
  bool has60Hz_ = false;
  std::string description_;
  std::string driverName_;
  host::DdCaps caps_;
  uint8_t modeState_ = kModeStateNone;
  uint8_t modeDepth_ = 0;
  uint8_t modeRefresh_ = 0;
  uint8_t cooperativeState_ = kCoopNotSet;
};

}  // namespace bw
