#include "host/ddraw/direct_draw.h"

#include <atomic>
#include <new>

#include "host/message_queue.h"

namespace bw::host {
namespace {

// Set by the display manager, read wherever the modes are listed; atomic.
std::atomic<int32_t> modeWidth{640};
std::atomic<int32_t> modeHeight{480};

constexpr int32_t kRefresh = 60;
constexpr uint32_t kVideoMemory = 256u << 20;

}  // namespace

void SetDisplayModeSize(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return;
  modeWidth = width;
  modeHeight = height;
}

std::vector<DdDeviceDesc> EnumerateDisplayDevices() {
  return {DdDeviceDesc{Guid{}, "Software display", "display", 0}};
}

std::unique_ptr<DirectDraw> DirectDraw::Create(const Guid* device) {
  if (device && !device->IsNull()) return nullptr;
  return std::unique_ptr<DirectDraw>(new (std::nothrow) DirectDraw);
}

DdPixelFormat DirectDraw::DisplayFormat(int bits) {
  DdPixelFormat f;
  f.flags = kDdpfRgb;
  f.rgbBitCount = uint32_t(bits);
  if (bits == 16) {
    f.rBitMask = 0xF800, f.gBitMask = 0x07E0, f.bBitMask = 0x001F;
  } else {
    f.rBitMask = 0xFF0000, f.gBitMask = 0xFF00, f.bBitMask = 0xFF;
  }
  return f;
}

int DirectDraw::DisplayBits() const {
  return modeSet_ ? mode_.bitsPerPixel : 32;
}

HResult DirectDraw::GetCaps(DdCaps* hardware, DdCaps* emulation) const {
  if (!hardware && !emulation) return kDdErrInvalidParams;
  DdCaps caps;
  caps.caps = kDdCaps3d | kDdCapsBlt | kDdCapsBltStretch | kDdCapsColorKey;
  caps.caps2 = kDdCaps2CanRenderWindowed | kDdCaps2CanManageTexture;
  caps.videoMemoryTotal = caps.videoMemoryFree = kVideoMemory;
  if (hardware) *hardware = caps;
  if (emulation) *emulation = caps;
  return kDdOk;
}

std::vector<DdDisplayMode> DirectDraw::EnumDisplayModes() const {
  return {{modeWidth, modeHeight, 16, kRefresh}, {modeWidth, modeHeight, 32, kRefresh}};
}

HResult DirectDraw::SetCooperativeLevel(HWND hwnd, uint32_t flags) {
  const bool exclusive = (flags & (kDdsclExclusive | kDdsclFullScreen)) != 0;
  if (exclusive && (!(flags & kDdsclExclusive) || !(flags & kDdsclFullScreen) || !hwnd)) {
    return kDdErrInvalidParams;
  }
  if (!exclusive && !(flags & kDdsclNormal)) return kDdErrInvalidParams;
  // Nothing more to undo when the mode was never changed.
  if (!exclusive && modeSet_) (void)RestoreDisplayMode();
  if (hwnd) window_ = hwnd;
  level_ = flags;
  return kDdOk;
}

HResult DirectDraw::SetDisplayMode(int32_t width, int32_t height, int32_t bits, int32_t refresh,
                                   uint32_t) {
  if (!(level_ & kDdsclExclusive)) return kDdErrNoExclusiveMode;
  const DdDisplayMode asked{width, height, bits, refresh == 0 ? kRefresh : refresh};
  bool listed = false;
  for (const DdDisplayMode& m : EnumDisplayModes()) listed |= m == asked;
  if (!listed) return kDdErrInvalidMode;
  // The window covers the desktop; the sink letterboxes the canvas into it. Headless there
  // may be no native window to grow.
  if (window_) (void)SetFullScreen(window_, true);
  mode_ = asked;
  modeSet_ = true;
  return kDdOk;
}

HResult DirectDraw::RestoreDisplayMode() {
  // A window that could not cover the screen has nothing to give back.
  if (modeSet_ && window_) (void)SetFullScreen(window_, false);
  modeSet_ = false;
  return kDdOk;
}

HResult DirectDraw::GetDisplayMode(DdDisplayMode* out) const {
  if (!out) return kDdErrInvalidParams;
  *out = modeSet_ ? mode_ : DdDisplayMode{modeWidth, modeHeight, 32, kRefresh};
  return kDdOk;
}

HResult DirectDraw::GetDeviceIdentifier(DdDeviceIdentifier* out) const {
  if (!out) return kDdErrInvalidParams;
  out->driver = "display";
  out->description = "Software display";
  return kDdOk;
}

HResult DirectDraw::GetAvailableVidMem(uint32_t* total, uint32_t* free) const {
  if (total) *total = kVideoMemory;
  if (free) *free = kVideoMemory;
  return kDdOk;
}

HResult DirectDraw::CreateSurface(const DdSurfaceDesc& desc, std::unique_ptr<MemorySurface>* out) {
  if (!out) return kDdErrInvalidParams;
  out->reset();
  if (!(desc.flags & kDdsdCaps)) return kDdErrInvalidCaps;
  const bool primary = (desc.caps & kDdsCapsPrimarySurface) != 0;
  DdDisplayMode display;
  // The display mode is always known.
  (void)GetDisplayMode(&display);
  int32_t width = display.width, height = display.height;
  if (!primary) {
    if (!(desc.flags & kDdsdWidth) || !(desc.flags & kDdsdHeight)) return kDdErrInvalidParams;
    width = int32_t(desc.width), height = int32_t(desc.height);
  }
  DdPixelFormat format = DisplayFormat(DisplayBits());
  if (!primary && (desc.flags & kDdsdPixelFormat)) format = desc.pixelFormat;
  if (desc.caps & kDdsCapsZBuffer) {
    // Depth values are kept as 16- or 32-bit words.
    const uint32_t depth = format.rgbBitCount;
    format = DdPixelFormat{};
    format.flags = kDdpfZBuffer;
    format.rgbBitCount = depth <= 16 ? 16 : 32;
  }
  const int backBuffers = (desc.flags & kDdsdBackBufferCount) ? int(desc.backBufferCount) : 0;
  if (backBuffers > 0 && !(desc.caps & kDdsCapsFlip)) return kDdErrInvalidCaps;
  auto surface = backBuffers > 0
                     ? MemorySurface::CreateFlipChain(width, height, format, backBuffers)
                     : MemorySurface::Create(width, height, format);
  if (!surface) {
    return width < 1 || height < 1 ? kDdErrInvalidParams : kDdErrInvalidPixelFormat;
  }
  uint32_t caps = desc.caps;
  if (!(caps & kDdsCapsSystemMemory)) caps |= kDdsCapsVideoMemory;
  surface->SetCaps(caps, desc.caps2);
  if (MemorySurface* back = surface->GetAttachedSurface()) {
    back->SetCaps((caps & ~(kDdsCapsPrimarySurface | kDdsCapsFlip)) | kDdsCapsBackBuffer, 0);
  }
  if (primary && window_) surface->SetPresentationSink(GetPresentationSink(window_), false);
  *out = std::move(surface);
  return kDdOk;
}

HResult DirectDraw::CreateClipper(std::unique_ptr<MemoryClipper>* out) {
  if (!out) return kDdErrInvalidParams;
  *out = std::make_unique<MemoryClipper>();
  return kDdOk;
}

HResult DirectDraw::WaitForVerticalBlank(uint32_t) {
  ++waitCount_;
  return kDdOk;
}

}  // namespace bw::host
