// Our software DirectDraw: one display device whose modes are the canvas size at 16 and 32 bits
// and 60 Hz. Full screen is the window's full-screen desktop with the sink letterboxing the
// picture; the display itself never changes mode. Surfaces are memory surfaces; the primary is
// the window's presentation sink.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/messages.h"
#include "host/surface/memory_surface.h"

namespace bw::host {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
  bool operator==(const Guid&) const = default;
  bool IsNull() const { return *this == Guid{}; }
};

constexpr HResult kDdErrInvalidMode = DdError(240);
constexpr HResult kDdErrNoExclusiveMode = DdError(225);
constexpr HResult kDdErrInvalidCaps = DdError(100);
constexpr HResult kDdErrOutOfMemory = -2147024882;  // 0x8007000E

// Capability bits of DdCaps.
constexpr uint32_t kDdCaps3d = 0x1;
constexpr uint32_t kDdCapsBlt = 0x40;
constexpr uint32_t kDdCapsBltStretch = 0x200;
constexpr uint32_t kDdCapsColorKey = 0x400000;
constexpr uint32_t kDdCapsNoHardware = 0x2000000;
constexpr uint32_t kDdCaps2CanRenderWindowed = 0x80000;
constexpr uint32_t kDdCaps2CanManageTexture = 0x800000;

struct DdCaps {
  uint32_t caps = 0;
  uint32_t caps2 = 0;
  uint32_t videoMemoryTotal = 0;
  uint32_t videoMemoryFree = 0;
};

struct DdDisplayMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  int32_t refreshRate = 0;
  bool operator==(const DdDisplayMode&) const = default;
};

// Cooperative-level flags.
constexpr uint32_t kDdsclFullScreen = 0x1;
constexpr uint32_t kDdsclNormal = 0x8;
constexpr uint32_t kDdsclExclusive = 0x10;

constexpr uint32_t kDdWaitVbBlockBegin = 0x1;

struct DdDeviceIdentifier {
  std::string driver;
  std::string description;
};

// One display device as the enumeration reports it; a null GUID is the default device.
struct DdDeviceDesc {
  Guid guid;
  std::string description;
  std::string name;
  uintptr_t monitor = 0;
};

// The canvas size the display modes are made of; 640 x 480 until set.
void SetDisplayModeSize(int32_t width, int32_t height);
std::vector<DdDeviceDesc> EnumerateDisplayDevices();

class DirectDraw {
 public:
  // Null only when memory runs out; any device GUID but the default one's is refused.
  static std::unique_ptr<DirectDraw> Create(const Guid* device);

  [[nodiscard]] HResult GetCaps(DdCaps* hardware, DdCaps* emulation) const;
  std::vector<DdDisplayMode> EnumDisplayModes() const;
  [[nodiscard]] HResult SetCooperativeLevel(HWND hwnd, uint32_t flags);
  // Only the listed modes; only at the exclusive full-screen level.
  [[nodiscard]] HResult SetDisplayMode(int32_t width, int32_t height, int32_t bits, int32_t refresh,
                                       uint32_t flags);
  [[nodiscard]] HResult RestoreDisplayMode();
  [[nodiscard]] HResult GetDisplayMode(DdDisplayMode* out) const;
  [[nodiscard]] HResult GetDeviceIdentifier(DdDeviceIdentifier* out) const;
  [[nodiscard]] HResult GetAvailableVidMem(uint32_t* total, uint32_t* free) const;

  // Offscreen, texture and Z-buffer surfaces in memory, the primary (with kDdsdBackBufferCount a
  // flip chain) over the cooperative window's sink.
  [[nodiscard]] HResult CreateSurface(const DdSurfaceDesc& desc,
                                      std::unique_ptr<MemorySurface>* out);
  [[nodiscard]] HResult CreateClipper(std::unique_ptr<MemoryClipper>* out);
  // Nothing to wait for in memory: frames are paced by the frame clock.
  [[nodiscard]] HResult WaitForVerticalBlank(uint32_t flags);
  [[nodiscard]] HResult FlipToGdiSurface() { return kDdOk; }
  [[nodiscard]] HResult TestCooperativeLevel() const { return kDdOk; }

  // The pixel format of the display at a depth (16 is 565).
  static DdPixelFormat DisplayFormat(int bits);
  int WaitCount() const { return waitCount_; }
  uint32_t CooperativeLevel() const { return level_; }
  bool ModeSet() const { return modeSet_; }

 private:
  DirectDraw() = default;
  int DisplayBits() const;

  HWND window_;
  uint32_t level_ = 0;
  bool modeSet_ = false;
  DdDisplayMode mode_;
  int waitCount_ = 0;
};

}  // namespace bw::host
