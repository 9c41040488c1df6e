#include "graphics/device/display_manager.h"

#include <algorithm>
#include <new>
#include <type_traits>

#include "common/gone_notice.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/layer_filter.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/layers/text_layer.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/movie_frame_surface.h"
#include "graphics/surface/sprite.h"
#include "host/gdi/memory_dc.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"

namespace bw {

namespace {

template <typename T>
typename std::list<std::unique_ptr<T>>::iterator FindListed(std::list<std::unique_ptr<T>>* list,
                                                            const T* object) {
  return std::find_if(list->begin(), list->end(),
                      [object](const std::unique_ptr<T>& listed) { return listed.get() == object; });
}

constexpr int kClipperNullArgument = 1;
constexpr int kClipperCreateFailed = 2;
constexpr int kClipperBindFailed = 3;
constexpr int kClipperSetFailed = 4;
constexpr int kTextureCreateFailed = 1;
constexpr int kTextureNoDevice = 3;
constexpr int kTextureNoCaps = 4;
constexpr int kTextureTooLarge = 5;
constexpr int kTextureNoSurface = 6;
constexpr int kTextureBadFormat = 7;
constexpr int kProbeSmall = 100;
constexpr int kProbeLarge = 200;
constexpr uint32_t kTriangleStrip = 5;
constexpr uint32_t kFvfXyzRhwTex1 = 0x104;
constexpr uint32_t kDrawWait = 1;
constexpr uint32_t kRsLighting = 137;
constexpr uint32_t kFilterPoint = 1;
constexpr uint32_t kFilterLinear = 2;
constexpr uint32_t kTssMipFilter = 18;
constexpr uint32_t kMipPoint = 2;
constexpr uint32_t kMipLinear = 3;
constexpr uint32_t kAddressClamp = 3;
constexpr const char* kPrimarySuffix = " (Primary)";

host::DdRect ToDd(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

bool IsLostOrWrongMode(host::HResult hr) { return hr == host::kDdErrSurfaceLost; }

int32_t NextPowerOfTwo(int32_t v) {
  int32_t p = 1;
  while (p < v && p < (1 << 30)) p <<= 1;
  return p;
}

}  // namespace

int WindowClipper::Attach(host::DirectDraw* directDraw, host::MemorySurface* surface,
                          host::HWND window) {
  if (!directDraw || !surface || !window) return kClipperNullArgument;
  clipper_.reset();
  if (directDraw->CreateClipper(&clipper_) != host::kDdOk) return kClipperCreateFailed;
  if (clipper_->SetHWnd(window) != host::kDdOk) return kClipperBindFailed;
  if (surface->SetClipper(clipper_.get()) != host::kDdOk) return kClipperSetFailed;
  return 0;
}

DisplayManager::DisplayManager() {
  for (QuadVertex& v : quad_) v = {-0.5f, -0.5f, 1.0f, 1.0f, 0.0f, 0.0f};
}

DisplayManager::~DisplayManager() {
  // The presentation device draws on the back buffer: it goes first.
  ReleasePresentationTexture();
  ReleaseSurfaces();
  if (canvas_) canvas_->RemoveUser(this);
  canvas_ = nullptr;
  DestroyAllLayers();
  // Renderers go last: surfaces drew with them up to here.
  DestroyAllTextRenderers();
  clipper_.Release();
}

void DisplayManager::DetachSurface(const Surface* surface) {
  if (surface != canvas_) return;
  ScopedLock hold(lock_);
  canvas_ = nullptr;
}

uint32_t DisplayManager::SetLayerOwner(uint32_t owner) {
  const uint32_t previous = layerOwner_;
  layerOwner_ = owner;
  return previous;
}

int DisplayManager::SetCanvasSize(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return kDisplayFailed;
  canvasWidth_ = width;
  canvasHeight_ = height;
  canvasRect_ = {0, 0, width, height};
  host::SetDisplayModeSize(width, height);
  return kDisplayDone;
}

int DisplayManager::SetScreenSurface(CanvasLayer* canvas) {
  ScopedLock hold(lock_);
  if (canvas_ == canvas) {
    if (canvas_) canvas_->RedrawAll();
    return kDisplayDone;
  }
  if (canvas_) canvas_->RemoveUser(this);
  canvas_ = canvas;
  if (canvas_) {
    canvas_->AddUser(this);
    canvas_->RedrawAll();
    SetCanvasSize(canvas_->GetWidth(), canvas_->GetHeight());
  }
  return kDisplayDone;
}

CompositionLayer* DisplayManager::GetSpriteComposition() const {
  return canvas_ ? canvas_->GetCompositionLayer() : nullptr;
}

int DisplayManager::EnumerateDisplayDevices(const MonitorList* monitors, int32_t canvasWidth,
                                            int32_t canvasHeight, bool useDirectDrawModes) {
  if (!monitors) return kDisplayFailed;
  monitors_ = monitors;
  devices_.clear();
  selected_ = nullptr;
  LoadDirectDrawLibrary(false, true);
  const std::vector<DirectDrawDeviceInfo>& drivers = DirectDrawDeviceList();
  if (monitors->GetCount() == 0) return kDisplayNoMonitors;
  const bool several = monitors->GetCount() >= 2;
  for (const MonitorRecord& monitor : monitors->Records()) {
    const int32_t mw = monitor.bounds.Width(), mh = monitor.bounds.Height();
    const int32_t aspectHeight = mw > 0 ? int32_t(int64_t{mh} * canvasWidth / mw) : 0;
    const DirectDrawDeviceInfo* driver = nullptr;
    for (const DirectDrawDeviceInfo& d : drivers) {
      if (d.monitor == monitor.handle) driver = &d;
    }
    if (!driver && drivers.size() == 1) driver = &drivers.front();
    if (!driver) {
      devices_.clear();
      return kDisplayNoDevice;
    }
    auto record = std::make_unique<DisplayDeviceRecord>();
    record->monitor = monitor.handle;
    record->desktopDepth = monitor.bitsPerPixel;
    record->deviceName = monitor.deviceName;
    record->description = monitor.description;
    if (monitor.primary && several) record->description += kPrimarySuffix;
    record->directDrawGuid = driver->guid;
    for (const Direct3DDeviceEntry& d3d : driver->direct3dDevices) {
      if (!d3d.hardware) continue;
      record->direct3dGuid = d3d.guid;
      record->renderDepths = d3d.desc.renderDepths;
      break;
    }
    record->canRenderWindowed = driver->canRenderWindowed;
    // The height that keeps the monitor's aspect wins at once; else the canvas height; else the
    // last one seen.
    int32_t height = 0;
    bool canvasHeightSeen = false;
    for (const host::DdDisplayMode& mode : driver->modes) {
      if (mode.width != canvasWidth) continue;
      if (mode.height == aspectHeight) {
        height = aspectHeight;
        canvasHeightSeen = false;
        break;
      }
      if (mode.height == canvasHeight) canvasHeightSeen = true;
      height = mode.height;
    }
    if (canvasHeightSeen) height = canvasHeight;
    uint32_t depths = 0;
    for (const host::DdDisplayMode& mode : driver->modes) {
      if (mode.width != canvasWidth || mode.height != height || height == 0) continue;
      depths |= DepthBit(mode.bitsPerPixel);
      if (mode.refreshRate == 60) record->has60Hz = true;
    }
    record->depthFlags = depths << 8;
    if (height != 0 && depths != 0) {
      record->modeWidth = canvasWidth;
      record->modeHeight = height;
      record->exactSize = height == canvasHeight;
    }
    devices_.push_back(std::move(record));
  }
  useDirectDrawModes_ = useDirectDrawModes;
  return kDisplayDone;
}

int DisplayManager::SelectDisplayDevice(bool fullScreen, MonitorHandle monitor, int index,
                                        int bits, MonitorHandle* outMonitor) {
  if (devices_.empty()) return kDisplayFailed;
  DisplayDeviceRecord* record = nullptr;
  for (auto& d : devices_) {
    if (monitor != kNoMonitor && d->monitor == monitor) record = d.get();
  }
  if (!record) {
    if (index < 0) index = 0;
    // An index past the end names no record.
    if (size_t(index) >= devices_.size()) return kDisplayFailed;
    record = devices_[size_t(index)].get();
  }
  if (record != selected_) {
    selected_ = record;
    allowedDepthMask_ = uint8_t(record->depthFlags >> 8);
    has60Hz_ = record->has60Hz;
  }
  fullScreenWanted_ = fullScreen && record->modeWidth != 0;
  if (bits != 0) {
    if (!(allowedDepthMask_ & DepthBit(bits))) {
      bits = 0;
      for (int candidate : {32, 24, 16}) {
        if (allowedDepthMask_ & DepthBit(candidate)) {
          bits = candidate;
          break;
        }
      }
      if (bits == 0) return kSelectNoDepth;
    }
  } else {
    bits = record->desktopDepth;
    if (bits == 0) {
      host::DesktopInfo desktop;
      if (host::Backend* backend = host::CurrentBackend()) desktop = backend->Desktop();
      bits = desktop.bitsPerPixel;
    }
  }
  depth_ = bits;
  int32_t width = 0, height = 0;
  if (fullScreenWanted_) {
    if (record->exactSize) {
      ResetDisplayRect();
      return kDisplayDone;
    }
    width = record->modeWidth;
    height = record->modeHeight;
  } else {
    host::Rect bounds;
    if (outMonitor && monitors_ &&
        monitors_->GetMonitorRect(&bounds, record->monitor) == kMonitorRectFound) {
      *outMonitor = record->monitor;
    } else {
      host::DesktopInfo desktop;
      if (host::Backend* backend = host::CurrentBackend()) desktop = backend->Desktop();
      bounds = {0, 0, desktop.width, desktop.height};
    }
    width = bounds.Width();
    height = bounds.Height();
  }
  return ComputeDisplayRect(width, height, true) > 0 ? kSelectBadDisplaySize : kDisplayDone;
}

int DisplayManager::ComputeDisplayRect(int32_t dw, int32_t dh, bool keepWhenSameAspect) {
  const int32_t w = canvasWidth_, h = canvasHeight_;
  if (dw < 1 || dh < 1 || w < 1 || h < 1) return kDisplayFailed;
  const double displayAspect = double(dw) / dh, canvasAspect = double(w) / h;
  hasBars_ = false;
  bars_[0] = bars_[1] = {};
  if (displayAspect == canvasAspect) {
    if (dw == w) {
      ResetDisplayRect();
      return kRectSameAsCanvas;
    }
    if (keepWhenSameAspect) {
      ResetDisplayRect();
      return kDisplayDone;
    }
    displayRect_ = {0, 0, dw, dh};
  } else if (displayAspect <= canvasAspect) {
    const int32_t shown = int32_t(int64_t{h} * dw / w);
    const int32_t y = (dh - shown) >> 1;
    displayRect_ = {0, y, dw, y + shown};
    bars_[0] = {0, 0, dw, y};
    bars_[1] = {0, y + shown, dw, dh};
    hasBars_ = true;
  } else {
    const int32_t shown = int32_t(int64_t{w} * dh / h);
    const int32_t x = (dw - shown) >> 1;
    displayRect_ = {x, 0, x + shown, dh};
    bars_[0] = {0, 0, x, dh};
    bars_[1] = {x + shown, 0, dw, dh};
    hasBars_ = true;
  }
  displayWidth_ = dw;
  displayHeight_ = dh;
  scaled_ = true;
  return kDisplayDone;
}

void DisplayManager::ResetDisplayRect() {
  scaled_ = false;
  hasBars_ = false;
  displayWidth_ = canvasWidth_;
  displayHeight_ = canvasHeight_;
  displayRect_ = canvasRect_;
}

int DisplayManager::GetBackend() const {
  if (presentDevice_) return kBackendDirect3D;
  if (backBuffer_) return kBackendDirectDraw;
  return kBackendGdi;
}

void DisplayManager::ReleaseSurfaces() {
  // The render device draws on the back buffer: it goes first.
  if (GetDevice()) Direct3DDevice::Release();
  clipper_.Release();
  // A back buffer of a flipping chain belongs to the primary.
  backBuffer_ = nullptr;
  ownBackBuffer_.reset();
  primary_.reset();
  windowSurface_.reset();
  flipChain_ = false;
}

void DisplayManager::RedrawCanvas() {
  if (canvas_) canvas_->RedrawAll();
}

int DisplayManager::CreateBackBuffer(int32_t width, int32_t height, bool direct3d) {
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps | host::kDdsdWidth | host::kDdsdHeight;
  desc.caps = direct3d ? host::kDdsCaps3dDevice : host::kDdsCapsOffscreenPlain;
  desc.width = uint32_t(width);
  desc.height = uint32_t(height);
  if (directDraw_->CreateSurface(desc, &ownBackBuffer_) != host::kDdOk) {
    return kSurfaceBackBufferFailed;
  }
  backBuffer_ = ownBackBuffer_.get();
  return 0;
}

int DisplayManager::CreateWindowSurfaces(bool direct3d) {
  if (!directDraw_) return kSurfaceNoDirectDraw;
  if (int code = CreateBackBuffer(canvasWidth_, canvasHeight_, direct3d); code != 0) return code;
  if (!(caps_.caps & host::kDdCapsNoHardware)) {
    host::DdSurfaceDesc desc;
    desc.flags = host::kDdsdCaps;
    desc.caps = host::kDdsCapsPrimarySurface;
    if (directDraw_->CreateSurface(desc, &primary_) != host::kDdOk) return kSurfacePrimaryFailed;
    if (clipper_.Attach(directDraw_.get(), primary_.get(), window_) != 0) {
      return kSurfaceClipperFailed;
    }
    primaryFormat_ = ClassifyPixelFormat(primary_.get(), nullptr, nullptr);
  }
  backFormat_ = ClassifyPixelFormat(backBuffer_, nullptr, nullptr);
  RedrawCanvas();
  return 0;
}

int DisplayManager::CreateFullScreenSurfaces(bool direct3d, bool triple) {
  if (!directDraw_) return kSurfaceNoDirectDraw;
  if (caps_.caps & host::kDdCapsNoHardware) {
    return CreateBackBuffer(canvasWidth_, canvasHeight_, direct3d);
  }
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps;
  if (!canvas_ && !scaled_) {
    desc.flags |= host::kDdsdBackBufferCount;
    desc.caps = host::kDdsCapsPrimarySurface | host::kDdsCapsFlip | host::kDdsCapsComplex |
                (direct3d ? host::kDdsCaps3dDevice : 0);
    desc.backBufferCount = triple ? 2 : 1;
    if (directDraw_->CreateSurface(desc, &primary_) != host::kDdOk) return kSurfacePrimaryFailed;
    backBuffer_ = primary_->GetAttachedSurface();
    if (!backBuffer_) return kSurfaceBackBufferFailed;
    flipChain_ = true;
  } else {
    // Only texture presentation scales in the device; a render device draws at canvas size.
    const bool displaySized = textured_ && scaled_;
    if (int code = CreateBackBuffer(displaySized ? displayWidth_ : canvasWidth_,
                                    displaySized ? displayHeight_ : canvasHeight_, direct3d);
        code != 0) {
      return code;
    }
    desc.caps = host::kDdsCapsPrimarySurface;
    if (directDraw_->CreateSurface(desc, &primary_) != host::kDdOk) return kSurfacePrimaryFailed;
    if (cooperativeState_ != kCoopExclusive &&
        clipper_.Attach(directDraw_.get(), primary_.get(), window_) != 0) {
      return kSurfaceClipperFailed;
    }
    if (scaled_ && hasBars_) FillBars();
  }
  primaryFormat_ = ClassifyPixelFormat(primary_.get(), nullptr, nullptr);
  backFormat_ = ClassifyPixelFormat(backBuffer_, nullptr, nullptr);
  RedrawCanvas();
  return 0;
}

void DisplayManager::FillBars() {
  if (!primary_) return;
  host::DdBltFx fx;
  for (const Rect& bar : bars_) {
    if (bar.IsEmpty()) continue;
    const host::DdRect r = ToDd(bar);
    primary_->Blt(&r, host::kDdBltColorFill | host::kDdBltWait, &fx);
  }
}

bool DisplayManager::ProbeTexturePresentation() {
  if (probe_ != kProbeNotRun) return probe_ == kProbeSmoothing;
  probe_ = kProbeNoSmoothing;
  if (!directDraw_ || DisplayDepth() < 16) return false;
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps | host::kDdsdWidth | host::kDdsdHeight;
  desc.caps = host::kDdsCapsOffscreenPlain;
  desc.width = desc.height = kProbeSmall;
  std::unique_ptr<host::MemorySurface> small, large;
  if (directDraw_->CreateSurface(desc, &small) != host::kDdOk) return false;
  desc.width = desc.height = kProbeLarge;
  if (directDraw_->CreateSurface(desc, &large) != host::kDdOk) return false;
  host::DdPixelFormat format;
  small->GetPixelFormat(&format);
  const uint32_t white = format.rBitMask | format.gBitMask | format.bBitMask;
  host::DdBltFx fx;
  for (int x = 0; x < kProbeSmall; x += 2) {
    fx.fillColor = white;
    host::DdRect column{x, 0, x + 1, kProbeSmall};
    if (small->Blt(&column, host::kDdBltColorFill | host::kDdBltWait, &fx) != host::kDdOk) {
      return false;
    }
    fx.fillColor = 0;
    column = {x + 1, 0, x + 2, kProbeSmall};
    if (small->Blt(&column, host::kDdBltColorFill | host::kDdBltWait, &fx) != host::kDdOk) {
      return false;
    }
  }
  if (large->Blt(nullptr, small.get(), nullptr, host::kDdBltWait, nullptr) != host::kDdOk) {
    return false;
  }
  host::DdSurfaceDesc locked;
  if (large->Lock(&locked) != host::kDdOk) return false;
  const int bytes = int(format.rgbBitCount / 8);
  bool smoothed = false;
  for (int x = 90; x < 110; ++x) {
    const uint8_t* p = locked.surface + ptrdiff_t{100} * locked.pitch + ptrdiff_t{x} * bytes;
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint32_t(p[i]) << (8 * i);
    value &= white;
    if (value != 0 && value != white) smoothed = true;
  }
  large->Unlock();
  probe_ = smoothed ? kProbeSmoothing : kProbeNoSmoothing;
  return smoothed;
}

bool DisplayManager::DecideTexture() {
  if (!canvas_) return false;
  if (textureRequest_ == kTextureAlways) return true;
  if (textureRequest_ == kTextureWhenNotSmoothed) return !ProbeTexturePresentation();
  return false;
}

void DisplayManager::ReleasePresentationTexture() {
  presentDevice_.reset();
  texture_.reset();
  presentDirect3D_.reset();
}

int DisplayManager::CreatePresentationTexture() {
  if (!directDraw_ || !backBuffer_) return kTextureCreateFailed;
  ReleasePresentationTexture();
  presentDirect3D_ = std::make_unique<host::Direct3D>(directDraw_.get());
  if (presentDirect3D_->CreateDevice(host::kIidDirect3DHalDevice, backBuffer_, &presentDevice_) !=
      host::kDdOk) {
    ReleasePresentationTexture();
    return kTextureNoDevice;
  }
  host::D3dDeviceDesc caps;
  if (presentDevice_->GetCaps(&caps) != host::kDdOk) {
    ReleasePresentationTexture();
    return kTextureNoCaps;
  }
  int32_t width = canvasWidth_, height = canvasHeight_;
  if ((caps.textureCaps & host::kD3dPTextureCapsPow2) || powerOfTwo_) {
    width = NextPowerOfTwo(width);
    height = NextPowerOfTwo(height);
  }
  if (caps.textureCaps & host::kD3dPTextureCapsSquareOnly) width = height = std::max(width, height);
  width = std::max(width, int32_t(caps.minTextureWidth));
  height = std::max(height, int32_t(caps.minTextureHeight));
  if ((caps.maxTextureWidth && uint32_t(width) > caps.maxTextureWidth) ||
      (caps.maxTextureHeight && uint32_t(height) > caps.maxTextureHeight)) {
    ReleasePresentationTexture();
    return kTextureTooLarge;
  }
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps | host::kDdsdWidth | host::kDdsdHeight | host::kDdsdPixelFormat;
  desc.caps = host::kDdsCapsTexture;
  desc.width = uint32_t(width);
  desc.height = uint32_t(height);
  desc.pixelFormat.flags = host::kDdpfRgb;
  desc.pixelFormat.rgbBitCount = 32;
  desc.pixelFormat.rBitMask = 0xFF0000;
  desc.pixelFormat.gBitMask = 0xFF00;
  desc.pixelFormat.bBitMask = 0xFF;
  texture32_ = true;
  if (directDraw_->CreateSurface(desc, &texture_) != host::kDdOk) {
    texture32_ = false;
    desc.flags &= ~host::kDdsdPixelFormat;
    if (directDraw_->CreateSurface(desc, &texture_) != host::kDdOk) {
      ReleasePresentationTexture();
      return kTextureNoSurface;
    }
  }
  textureFormat_ = ClassifyPixelFormat(texture_.get(), nullptr, nullptr);
  if (textureFormat_ < kFormat555) {
    ReleasePresentationTexture();
    return kTextureBadFormat;
  }
  textureWidth_ = width;
  textureHeight_ = height;
  const float farX = float(scaled_ ? displayWidth_ : canvasWidth_) - 0.5f;
  const float farY = float(scaled_ ? displayHeight_ : canvasHeight_) - 0.5f;
  const float farU = float(canvasWidth_) / float(width);
  const float farV = float(canvasHeight_) / float(height);
  quad_[0] = {-0.5f, -0.5f, 1.0f, 1.0f, 0.0f, 0.0f};
  quad_[1] = {farX, -0.5f, 1.0f, 1.0f, farU, 0.0f};
  quad_[2] = {-0.5f, farY, 1.0f, 1.0f, 0.0f, farV};
  quad_[3] = {farX, farY, 1.0f, 1.0f, farU, farV};
  // The texture path scales as the filter does all the way to the window.
  if (primary_) primary_->SetPresentLinear(bilinear_);
  RedrawCanvas();
  return 0;
}

void DisplayManager::SetBilinearFilter(bool on) {
  bilinear_ = on;
  if (textured_ && primary_) primary_->SetPresentLinear(on);
}

int DisplayManager::SetMode(host::HWND window, bool windowed, bool tripleBuffer) {
  if (canvasWidth_ < 1 || canvasHeight_ < 1) return kModeNoCanvasSize;
  ReleasePresentationTexture();
  ReleaseSurfaces();
  if (useDirect3D_) Direct3DDevice::Release();
  window_ = window;
  triple_ = tripleBuffer;
  scaledPresentation_ = false;
  textured_ = false;
  if (windowed) {
    screenState_ = kScreenWindow;
    DirectDrawDevice::Release();
    const bool wantTexture = textureRequest_ != kTextureOff && textureInWindow_;
    if (!canvas_ || wantTexture) {
      if (DirectDrawDevice::Create(false, direct3dRequest_, nullptr, nullptr, 0, true, 0, 0) != 0) {
        return kModeSwitchFailed + 1;
      }
      if (directDraw_->SetCooperativeLevel(window, host::kDdsclNormal) != host::kDdOk) {
        return kModeSwitchFailed;
      }
      cooperativeState_ = kCoopNormal;
      textured_ = DecideTexture();
      if (int code = CreateWindowSurfaces(textured_ || direct3dRequest_); code != 0) {
        return kModeSwitchFailed + code;
      }
      if (CreateRenderDevice() != 0) return kModeSwitchFailed;
      if (textured_ && CreatePresentationTexture() != 0) {
        // Texture presentation is dropped; the DirectDraw back buffer stays.
        textureRequest_ = kTextureOff;
        textured_ = false;
      }
    }
    desktopDepth_ = DisplayDepth();
    primaryFormat_ = backFormat_ = 0;
    return kDisplayDone;
  }
  return FullScreenSwitch(window, tripleBuffer);
}

int DisplayManager::FullScreenSwitch(host::HWND window, bool triple) {
  screenState_ = kScreenSwitching;
  const DisplayDeviceRecord* record = selected_;
  const host::Guid* guid =
      record && !record->directDrawGuid.IsNull() ? &record->directDrawGuid : nullptr;
  const host::Guid* d3d =
      record && !record->direct3dGuid.IsNull() ? &record->direct3dGuid : nullptr;
  if (DirectDrawDevice::Create(false, direct3dRequest_, guid, d3d, record ? record->renderDepths : 0, false,
                               0, 0) != 0) {
    return kDisplayFailed;
  }
  if (record) {
    allowedDepthMask_ = uint8_t(record->depthFlags >> 8);
    has60Hz_ = record->has60Hz;
  }
  if (scaled_) scaledPresentation_ = true;
  if (fullScreenWanted_ && record) {
    if (SetDisplayMode(window, record->modeWidth, record->modeHeight, depth_, has60Hz_) != 0) {
      return kModeSwitchFailed;
    }
  } else if (directDraw_->SetCooperativeLevel(window, host::kDdsclNormal) != host::kDdOk) {
    return kModeSwitchFailed;
  } else {
    cooperativeState_ = kCoopNormal;
  }
  screenState_ = kScreenFull;
  // A canvas shown 1:1 goes through GDI in the window that covers the screen.
  if (canvas_ && !scaled_) return kDisplayDone;
  textured_ = canvas_ && DecideTexture();
  int code = CreateFullScreenSurfaces(textured_ || direct3dRequest_, triple);
  if (code != 0 && textured_) {
    ReleaseSurfaces();
    textured_ = false;
    code = CreateFullScreenSurfaces(direct3dRequest_, triple);
  }
  if (code != 0) return kModeSwitchFailed + code;
  if (CreateRenderDevice() != 0) return kModeSwitchFailed;
  backFormat_ = ClassifyPixelFormat(backBuffer_, nullptr, nullptr);
  if (backFormat_ == 0 || backFormat_ == kFormatOther) return kModeUnknownFormat;
  if (canvas_ && backFormat_ == kFormat1555) backFormat_ = kFormat555;
  if (canvas_ && backFormat_ == kFormat8888) backFormat_ = kFormatX888;
  if (primary_) {
    host::DdBltFx fx;
    primary_->Blt(nullptr, host::kDdBltColorFill | host::kDdBltWait, &fx);
  }
  ClearBackBuffer();
  if (textured_ && CreatePresentationTexture() != 0) {
    ReleaseSurfaces();
    textureRequest_ = kTextureOff;
    textured_ = false;
    return FullScreenSwitch(window, triple);
  }
  if (!canvas_) RestoreLayers(0);
  return kDisplayDone;
}

int DisplayManager::RestoreLostSurfaces() {
  if (!directDraw_) return kDisplayDone;
  if (!backBuffer_) return kRestoreNoBackBuffer;
  enum { kNoneLost, kAllRestored, kRebuild } state = kNoneLost;
  for (host::MemorySurface* surface : {primary_.get(), backBuffer_, texture_.get()}) {
    if (!surface || surface->IsLost() == host::kDdOk) continue;
    if (surface->Restore() != host::kDdOk) {
      state = kRebuild;
      break;
    }
    state = kAllRestored;
  }
  if (state == kNoneLost) return kDisplayDone;
  if (state == kRebuild) {
    const bool texture = texture_ != nullptr;
    ReleasePresentationTexture();
    ReleaseSurfaces();
    const bool direct3d = texture || direct3dRequest_;
    const int code = screenState_ == kScreenWindow ? CreateWindowSurfaces(direct3d)
                                                   : CreateFullScreenSurfaces(direct3d, triple_);
    if (code != 0) return kRestoreSurfacesFailed;
    if (CreateRenderDevice() != 0) return kRestoreDeviceFailed;
    if (texture && CreatePresentationTexture() != 0) {
      ReleaseSurfaces();
      return kRestoreDeviceFailed;
    }
  }
  RestoreLayers(1);
  if (canvas_) {
    ScopedLock hold(lock_);
    CopyCanvas(false);
  }
  return kDisplayDone;
}

int DisplayManager::ShowGdiOverFullScreen() {
  if (caps_.caps & host::kDdCapsNoHardware) return 0;
  if (!primary_) return kGdiOverNoPrimary;
  clipper_.Attach(directDraw_.get(), primary_.get(), window_);
  directDraw_->FlipToGdiSurface();
  gdiOver_ = true;
  return 0;
}

int DisplayManager::EndGdiOverFullScreen() {
  if (caps_.caps & host::kDdCapsNoHardware) return 0;
  if (!primary_) return kGdiOverNoPrimary;
  primary_->SetClipper(nullptr);
  clipper_.Release();
  gdiOver_ = false;
  return 0;
}

int DisplayManager::ClearBackBuffer() {
  if (!backBuffer_) return kDisplayFailed;
  PixelFormatInfo info;
  ClassifyPixelFormat(backBuffer_, &info, nullptr);
  FillSurfaceRect(backBuffer_, &info, border_[0], border_[1], border_[2], nullptr, 0);
  return kDisplayDone;
}

void DisplayManager::WaitForBlank() {
  if (syncMode_ != kSyncCopy && directDraw_) directDraw_->WaitForVerticalBlank(host::kDdWaitVbBlockBegin);
}

host::HResult DisplayManager::BltToPrimary(const Rect& dest, const Rect& source, uint32_t flags) {
  if (!primary_) return host::kDdErrGeneric;
  const host::DdRect d = ToDd(dest), s = ToDd(source);
  return primary_->Blt(&d, backBuffer_, &s, flags, nullptr);
}

host::MemorySurface* DisplayManager::WindowSurface() {
  host::PresentationSink* sink = host::GetPresentationSink(window_);
  if (!sink || canvas_->GetBitsPerPixel() != 32) {
    windowSurface_.reset();
    return nullptr;
  }
  if (windowSurface_ && windowSurface_->Width() == canvasWidth_ &&
      windowSurface_->Height() == canvasHeight_) {
    windowSurface_->SetPresentationSink(sink, false);
    return windowSurface_.get();
  }
  host::DdPixelFormat bgra;
  bgra.flags = host::kDdpfRgb;
  bgra.rgbBitCount = 32;
  bgra.rBitMask = 0xFF0000;
  bgra.gBitMask = 0xFF00;
  bgra.bBitMask = 0xFF;
  windowSurface_ = host::MemorySurface::Create(canvasWidth_, canvasHeight_, bgra);
  if (!windowSurface_) return nullptr;
  windowSurface_->SetPresentationSink(sink, false);
  // It starts black: the first frame copies the whole canvas.
  RedrawCanvas();
  return windowSurface_.get();
}

// The lock is held by the caller.
int DisplayManager::CopyCanvas(bool onlyChanged) {
  if (!canvas_) return kPresentNothingChanged;
  host::MemorySurface* target = texture_ ? texture_.get() : backBuffer_;
  // Shown through GDI, the canvas goes to the window as to a surface of the window's own: what
  // changed is copied there, and the window holds those pixels instead of a copy of them.
  if (!target) target = WindowSurface();
  if (!target) return canvas_->PresentFrame(window_, nullptr, nullptr, 0, onlyChanged);
  const bool throughDc = texture_ ? (copyThroughDc_ || !texture32_) : copyThroughDc_;
  if (!throughDc) return canvas_->PresentFrame(host::HWND{}, nullptr, target, 0, onlyChanged);
  // A filter writes the whole frame without looking at what the target held, so the target
  // need not bring that up to date; otherwise the canvas copies only what changed, and that
  // is all the target hands on to the window.
  const host::DcUse use = canvas_->HasSource() ? host::kDcOverwrites : host::kDcReadsAndWrites;
  host::MemoryDc* dc = nullptr;
  host::HResult hr = target->GetDC(&dc, use);
  if (IsLostOrWrongMode(hr)) {
    target->Restore();
    hr = target->GetDC(&dc, use);
  }
  if (hr != host::kDdOk || !dc) return texture_ ? kUpdateTextureDcFailed : kUpdateBackBufferDcFailed;
  DirtyRectList drawn;
  const int result = canvas_->PresentFrame(host::HWND{}, dc, nullptr, 0, onlyChanged, &drawn);
  target->ReleaseDC(dc, DdRectsOf(drawn));
  return result;
}

int DisplayManager::DrawPresentationQuad() {
  host::D3dDevice* device = presentDevice_.get();
  device->SetTexture(0, texture_.get());
  device->SetRenderState(kRsLighting, 0);
  device->SetRenderState(host::kRsAlphaBlendEnable, 0);
  device->SetRenderState(host::kRsAlphaTestEnable, 0);
  device->SetRenderState(host::kRsCullMode, host::kCullNone);
  const uint32_t filter = bilinear_ ? kFilterLinear : kFilterPoint;
  device->SetTextureStageState(0, host::kTssMagFilter, filter);
  device->SetTextureStageState(0, host::kTssMinFilter, filter);
  device->SetTextureStageState(0, kTssMipFilter, bilinear_ ? kMipLinear : kMipPoint);
  device->SetTextureStageState(0, host::kTssAddress, kAddressClamp);
  host::HResult hr = device->BeginScene();
  if (hr == host::kDdOk) {
    hr = device->DrawPrimitive(kTriangleStrip, kFvfXyzRhwTex1, quad_, 4, kDrawWait);
    const host::HResult end = device->EndScene();
    if (hr == host::kDdOk) hr = end;
  }
  device->SetTexture(0, nullptr);
  return hr;
}

int DisplayManager::UpdateBackBuffer() {
  if (!canvas_) return Present();
  ScopedLock hold(lock_);
  if (!canvas_) return kDisplayDone;
  const int copied = CopyCanvas(true);
  if (copied == kUpdateTextureDcFailed || copied == kUpdateBackBufferDcFailed) return copied;
  if (copied == kPresentNothingChanged) {
    // The frame still turned: a sink that counts frames hears of it.
    if (host::PresentationSink* sink = host::GetPresentationSink(window_)) sink->HandOverSame();
    return kDisplayDone;
  }
  if (copied != kPresentDone || !backBuffer_) return kDisplayDone;
  Rect source = canvasRect_;
  if (presentDevice_) {
    const host::HResult hr = DrawPresentationQuad();
    if (hr == host::kDdErrSurfaceLost) {
      texture_->Restore();
      backBuffer_->Restore();
      RedrawCanvas();
      return kDisplayDone;
    }
    if (hr != host::kDdOk) return kUpdateDrawFailed;
    if (scaledPresentation_) source = {0, 0, displayWidth_, displayHeight_};
  }
  // Our primary is the window's own picture: the client origin is its origin.
  const Rect dest = scaledPresentation_ ? displayRect_ : canvasRect_;
  WaitForBlank();
  const host::HResult hr = BltToPrimary(dest, source, 0);
  if (hr == host::kDdErrSurfaceLost) {
    if (primary_) primary_->Restore();
    backBuffer_->Restore();
    RedrawCanvas();
    return kDisplayDone;
  }
  return hr == host::kDdOk ? kDisplayDone : kUpdateBltFailed;
}

int DisplayManager::Present() {
  if (!backBuffer_) return kPresentNoBackBuffer;
  host::HResult hr = host::kDdOk;
  if (caps_.caps & host::kDdCapsNoHardware) {
    ScopedLock hold(lock_);
    host::DdSurfaceDesc desc;
    host::PresentationSink* sink = host::GetPresentationSink(window_);
    hr = backBuffer_->Lock(&desc);
    if (hr == host::kDdOk) {
      if (sink && backBuffer_->BytesPerPixel() == 4) {
        sink->HandOver(desc.surface, canvasWidth_, canvasHeight_, desc.pitch,
                       host::ScaleFilter::kNearest);
      }
      backBuffer_->Unlock();
    }
  } else if (screenState_ == kScreenFull) {
    const Rect dest = scaledPresentation_ ? displayRect_ : canvasRect_;
    if (syncMode_ == kSyncCopy) {
      hr = BltToPrimary(dest, canvasRect_, 0);
    } else if (syncMode_ != kSyncWaitBlank && flipChain_ && !gdiOver_) {
      hr = primary_->Flip(0);
    } else {
      WaitForBlank();
      hr = BltToPrimary(dest, canvasRect_, 0);
    }
  } else {
    ScopedLock hold(lock_);
    WaitForBlank();
    hr = BltToPrimary(canvasRect_, canvasRect_, 0);
  }
  return hr == host::kDdErrSurfaceLost ? kPresentLost : kDisplayDone;
}

host::HResult DisplayManager::PaintRect(host::MemoryDc* dc, const Rect& paint) {
  Rect r = paint;
  if (!IntersectRects(&r, r, Rect{0, 0, canvasWidth_, canvasHeight_})) return host::kDdOk;
  ScopedLock hold(lock_);
  if (!backBuffer_) {
    if (!canvas_ || !canvas_->GetDc() || !dc) return host::kDdErrGeneric;
    host::BitBlt(*dc, r.left, r.top, r.Width(), r.Height(), *canvas_->GetDc(), r.left, r.top);
    return host::kDdOk;
  }
  if (caps_.caps & host::kDdCapsNoHardware) {
    host::MemoryDc* back = nullptr;
    if (!dc) return host::kDdErrGeneric;
    host::HResult hr = backBuffer_->GetDC(&back);
    if (hr != host::kDdOk) return hr;
    host::BitBlt(*dc, r.left, r.top, r.Width(), r.Height(), *back, r.left, r.top);
    return backBuffer_->ReleaseDC(back);
  }
  if (!primary_) return host::kDdErrGeneric;
  if (!scaledPresentation_) {
    const host::DdRect d = ToDd(r);
    return primary_->Blt(&d, backBuffer_, &d, host::kDdBltWait, nullptr);
  }
  FillBars();
  const Rect source = presentDevice_ ? Rect{0, 0, displayWidth_, displayHeight_} : canvasRect_;
  const host::DdRect d = ToDd(displayRect_), s = ToDd(source);
  return primary_->Blt(&d, backBuffer_, &s, host::kDdBltWait, nullptr);
}

template <typename Object, typename Base, typename Init>
int DisplayManager::AddObject(std::list<std::unique_ptr<Base>>* list, Object** out, int noMemory,
                              Init init) {
  if (!out) return noMemory;
  *out = nullptr;
  std::unique_ptr<Object> object(new (std::nothrow) Object);
  if (!object) return noMemory;
  if (int code = init(object.get()); code != 0) return code;
  if constexpr (std::is_base_of_v<RenderItem, Object>) {
    object->SetOwner(layerOwner_);
  } else if constexpr (std::is_base_of_v<DisplayObject, Object>) {
    object->SetTag(spriteOwner_);
  } else {
    object->SetWord3(layerOwner_);
  }
  try {
    list->push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return noMemory;
  }
  *out = object.get();
  list->back() = std::move(object);
  return kDisplayDone;
}

int DisplayManager::CreateCanvasLayer(CanvasLayer** out, int32_t width, int32_t height, int depth,
                                      int options) {
  return AddObject(&layers_, out, kCreateCanvasNoMemory, [&](CanvasLayer* canvas) {
    return canvas->Create(width, height, depth, options);
  });
}

int DisplayManager::CreateDirectDrawImage(DirectDrawImageSurface** out, int32_t width,
                                          int32_t height, bool systemMemory) {
  return AddObject(&layers_, out, kCreateDirectDrawImageNoMemory, [&](DirectDrawImageSurface* image) {
    return image->Create(width, height, systemMemory, false, nullptr);
  });
}

int DisplayManager::CreateDirectDrawImageFromFile(DirectDrawImageSurface** out, const char* name,
                                                  const uint8_t* data, size_t size, int flags) {
  return AddObject(&layers_, out, kCreateDirectDrawImageFromFileNoMemory,
                   [&](DirectDrawImageSurface* image) {
                     return image->Load(name, std::span<const uint8_t>(data, data ? size : 0), flags);
                   });
}

int DisplayManager::CreateWgxPictureLayer(WgxPictureLayer** out, int formatCode, const char* name,
                                          const uint8_t* data, size_t size, bool systemMemory) {
  return AddObject(&layers_, out, kCreateWgxLayerNoMemory, [&](WgxPictureLayer* layer) {
    return layer->Load(formatCode, name, data, size, systemMemory);
  });
}

int DisplayManager::CreateOffscreenLayer(OffscreenLayer** out, int32_t width, int32_t height,
                                         int depth, bool compose) {
  return AddObject(&layers_, out, kCreateOffscreenNoMemory, [&](OffscreenLayer* layer) {
    return layer->Create(width, height, depth, compose);
  });
}

int DisplayManager::CreateSoftwareSurfaceLayer(SoftwareSurfaceLayer** out, int32_t width,
                                               int32_t height, int depth, int options) {
  return AddObject(&layers_, out, kCreateSoftwareLayerNoMemory, [&](SoftwareSurfaceLayer* layer) {
    return layer->Create(width, height, depth, options);
  });
}

int DisplayManager::CreateTextureLayer(TextureLayer** out, int formatCode, int32_t width,
                                       int32_t height, int depth, int options, bool systemMemory) {
  return AddObject(&layers_, out, kCreateTextureLayerNoMemory, [&](TextureLayer* layer) {
    return layer->Create(formatCode, width, height, depth, options, systemMemory);
  });
}

int DisplayManager::CreateImageSurface(ImageSurface** out, int32_t width, int32_t height, int depth,
                                       int flags) {
  return AddObject(&layers_, out, kCreateImageNoMemory, [&](ImageSurface* image) {
    return image->Create(width, height, depth, flags);
  });
}

int DisplayManager::CreateImageSurfaceFromFile(ImageSurface** out, const char* name,
                                               const uint8_t* data, size_t size, int flags) {
  return AddObject(&layers_, out, kCreateImageFromFileNoMemory,
                   [&](ImageSurface* image) { return image->Load(name, data, size, flags); });
}

int DisplayManager::CreateImageSurfaceFromFile8(ImageSurface** out, const char* name,
                                                const uint8_t* data, size_t size, int flags) {
  return AddObject(&layers_, out, kCreateImageFromFileNoMemory,
                   [&](ImageSurface* image) { return image->Load8(name, data, size, flags); });
}

int DisplayManager::CreateImageSurfaceCopy(ImageSurface** out, const ImageSurface* source, int mode) {
  return AddObject(&layers_, out, kCreateImageCopyNoMemory,
                   [&](ImageSurface* image) { return image->CopyFrom(source, mode); });
}

int DisplayManager::CreateDirectDrawSurface(DirectDrawSurface** out, const char* text,
                                            TextRenderer* renderer) {
  return AddObject(&layers_, out, kCreateDirectDrawSurfaceNoMemory,
                   [&](DirectDrawSurface* surface) { return surface->Load(text, renderer); });
}

int DisplayManager::CreateTextLayer(TextLayer** out, int formatCode, const char* text,
                                    TextRenderer* renderer) {
  return AddObject(&layers_, out, kCreateTextLayerNoMemory,
                   [&](TextLayer* layer) { return layer->SetText(formatCode, text, renderer); });
}

int DisplayManager::CreateTextImageSurface(ImageSurface** out, const char* text,
                                           TextRenderer* renderer, int flags) {
  return AddObject(&layers_, out, kCreateTextImageNoMemory, [&](ImageSurface* image) {
    return image->CreateFromText(text, renderer, flags);
  });
}

int DisplayManager::AddTextRenderer(TextRenderer** out, bool outline, const char* faceName,
                                    int32_t height) {
  if (!out) return kCreateTextRendererNoMemory;
  *out = nullptr;
  TextRendererFactory* factory = Global<TextRendererFactory>::Get();
  std::unique_ptr<TextRenderer> renderer;
  try {
    if (factory)
      renderer = outline ? factory->CreateOutlineTextRenderer() : factory->CreateGdiTextRenderer();
    if (!renderer) return kCreateTextRendererNoMemory;
    if (int code = renderer->SetFont(height, false, false, faceName); code != 0) return code;
    renderers_.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return kCreateTextRendererNoMemory;
  }
  *out = renderer.get();
  renderers_.back() = std::move(renderer);
  return 0;
}

int DisplayManager::CreateGdiTextRenderer(TextRenderer** out, const char* faceName,
                                          int32_t height) {
  return AddTextRenderer(out, false, faceName, height);
}

int DisplayManager::CreateOutlineTextRenderer(TextRenderer** out, const char* faceName,
                                              int32_t height) {
  return AddTextRenderer(out, true, faceName, height);
}

void DisplayManager::ForgetTextRenderer(const TextRenderer* renderer) {
  for (const std::unique_ptr<Surface>& surface : layers_) {
    if (auto* user = dynamic_cast<TextRendererUser*>(surface.get()))
      user->ForgetTextRenderer(renderer);
  }
  if (TheDefaultTextRenderer::Get() == renderer) TheDefaultTextRenderer::Clear();
}

int DisplayManager::DestroyTextRenderer(TextRenderer** renderer) {
  if (!renderer || !*renderer) return kDestroyNull;
  const auto it = FindListed(&renderers_, *renderer);
  if (it == renderers_.end()) return kDestroyNotListed;
  ForgetTextRenderer(*renderer);
  renderers_.erase(it);
  *renderer = nullptr;
  return 0;
}

void DisplayManager::DestroyAllTextRenderers() {
  for (const std::unique_ptr<TextRenderer>& renderer : renderers_)
    ForgetTextRenderer(renderer.get());
  renderers_.clear();
}

int DisplayManager::CreateSprite(Sprite** out, ImageSurface* surface, const Rect* rect, int32_t x,
                                 int32_t y) {
  return AddObject(&sprites_, out, kCreateSpriteNoMemory,
                   [&](Sprite* sprite) { return sprite->SetImage(surface, rect, x, y); });
}

int DisplayManager::CreateColorRect(ColorRectObject** out, int32_t width, int32_t height,
                                    uint32_t argb, int32_t x, int32_t y) {
  return AddObject(&sprites_, out, kCreateColorRectNoMemory, [&](ColorRectObject* rect) {
    return rect->Create(width, height, argb, x, y);
  });
}

int DisplayManager::CreateSpriteCopy(Sprite** out, const Sprite* source) {
  return AddObject(&sprites_, out, kCreateSpriteCopyNoMemory, [&](Sprite* sprite) {
    if (source) sprite->CopyFrom(*source);
    return 0;
  });
}

uint32_t DisplayManager::SetSpriteOwner(uint32_t owner) {
  const uint32_t previous = spriteOwner_;
  spriteOwner_ = owner;
  return previous;
}

int DisplayManager::DestroySprite(DisplayObject* sprite) {
  if (!sprite) return kDestroyNull;
  const auto it = FindListed(&sprites_, sprite);
  if (it == sprites_.end()) return kDestroyNotListed;
  NotifyGone(it->get());
  sprites_.erase(it);
  return 0;
}

int DisplayManager::DestroySpriteAndClear(DisplayObject** sprite) {
  if (!sprite) return kDestroyNull;
  const int code = DestroySprite(*sprite);
  if (code == 0) *sprite = nullptr;
  return code;
}

void DisplayManager::DestroySpritesOfOwner(uint32_t owner, bool allBut) {
  sprites_.remove_if([&](const std::unique_ptr<DisplayObject>& s) {
    if ((s->GetTag() == owner) == allBut) return false;
    NotifyGone(s.get());
    return true;
  });
}

// Every user hears of a sprite's end while it is still whole (tasks that step it, the cursor
// that draws with it); its own destructor tells them again, harmlessly.
void DisplayManager::DestroyAllSprites() {
  for (const std::unique_ptr<DisplayObject>& sprite : sprites_) NotifyGone(sprite.get());
  sprites_.clear();
}

int DisplayManager::CreateMovieFrameSurface(MovieFrameSurface** out, int32_t width, int32_t height) {
  return AddObject(&layers_, out, kCreateMovieFrameNoMemory,
                    [&](MovieFrameSurface* frame) { return frame->Create(width, height); });
}

int DisplayManager::RestoreLayers(int argument) {
  for (const std::unique_ptr<Surface>& surface : layers_) {
    if (int code = surface->Restore(argument); code != 0) return code;
  }
  if (GetDevice()) RenderStateCache();
  return renderList_.Restore();
}

int DisplayManager::CreateRenderDevice() {
  if (!direct3dRequest_) return 0;
  const Rect viewport{0, 0, canvasWidth_, canvasHeight_};
  const int code = Direct3DDevice::Create(backBuffer_, &viewport, false);
  return code == kD3dCreateNoZBuffer ? 0 : code;
}

int DisplayManager::DrawRenderList() {
  if (!backBuffer_) return kRenderSceneFailed;
  return renderList_.DrawAll(backBuffer_, &canvasRect_, this);
}

int DisplayManager::CreateSpritePrimitive(SpritePrimitive** out, Surface* source, const Rect* rect,
                                          int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateSpriteItemNoMemory,
                   [&](SpritePrimitive* item) { return item->Init(source, rect, x, y); });
}

int DisplayManager::CreateLayerSpritePrimitive(LayerSpritePrimitive** out,
                                               SoftwareSurfaceLayer* layer, const Rect* rect,
                                               int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateLayerSpriteNoMemory,
                   [&](LayerSpritePrimitive* item) { return item->Init(layer, rect, x, y); });
}

int DisplayManager::CreateLayerD3DSpritePrimitive(LayerD3DSpritePrimitive** out,
                                                  TextureLayer* layer, const Rect* rect, int32_t x,
                                                  int32_t y) {
  return AddObject(&items_, out, kCreateLayerD3DSpriteNoMemory,
                   [&](LayerD3DSpritePrimitive* item) { return item->Init(layer, rect, x, y); });
}

int DisplayManager::CreateTransitionPrimitive(TransitionPrimitive** out, Surface* drawn,
                                              Surface* target, int mode, int32_t x, int32_t y,
                                              int32_t progress) {
  return AddObject(&items_, out, kCreateTransitionNoMemory, [&](TransitionPrimitive* item) {
    return item->Init(drawn, target, mode, x, y, progress, 0, 0);
  });
}

int DisplayManager::CreateD3DSpritePrimitive(D3DSpritePrimitive** out, Layer* texture,
                                             const Rect* rect, int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateD3DSpriteNoMemory,
                   [&](D3DSpritePrimitive* item) { return item->Init(texture, rect, x, y); });
}

int DisplayManager::CreateD3DRectPrimitive(D3DRectPrimitive** out, int32_t width, int32_t height,
                                           uint32_t argb, int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateRectNoMemory,
                 [&](D3DRectPrimitive* item) { return item->Set(width, height, argb, x, y); });
}

int DisplayManager::CreateD3DTrianglePrimitive(D3DTrianglePrimitive** out, const int32_t xs[3],
                                               const int32_t ys[3], uint32_t argb, int32_t x,
                                               int32_t y) {
  return AddObject(&items_, out, kCreateTriangleNoMemory,
                 [&](D3DTrianglePrimitive* item) { return item->Set(xs, ys, argb, x, y); });
}

int DisplayManager::CreateD3DPolygonPrimitive(D3DPolygonPrimitive** out, size_t count,
                                              int32_t* xs, int32_t* ys, uint32_t argb,
                                              uint8_t type, bool borrow) {
  return AddObject(&items_, out, kCreatePolygonNoMemory, [&](D3DPolygonPrimitive* item) {
    return item->SetPoints(count, xs, ys, argb, type, borrow);
  });
}

int DisplayManager::CreateD3DRenderStatePrimitive(D3DRenderStatePrimitive** out) {
  return AddObject(&items_, out, kCreateStateNoMemory, [](D3DRenderStatePrimitive*) { return 0; });
}

int DisplayManager::CreateD3DBlendStatePrimitive(D3DBlendStatePrimitive** out) {
  return AddObject(&items_, out, kCreateStateNoMemory, [](D3DBlendStatePrimitive*) { return 0; });
}

void DisplayManager::ForgetLinksTo(Surface* dying) {
  // The device keeps the bound texture for a later restore: it must not outlive the picture.
  host::MemorySurface* picture = DirectDrawSurfaceOf(dying);
  if (picture && GetDevice() && GetDevice()->GetTexture(0) == picture) SetTexture(nullptr);
  const auto* dyingLayer = dynamic_cast<SurfaceLayer*>(dying);
  if (!dyingLayer) return;
  for (const std::unique_ptr<Surface>& surface : layers_) {
    auto* layer = dynamic_cast<SurfaceLayer*>(surface.get());
    if (!layer || layer->GetLinkedLayer() != dyingLayer) continue;
    // A two-layer filter reads the partner: it stops before the partner goes.
    LayerFilter* filter = layer->GetSource();
    if (filter && filter->GetKind() < kFilterTwoLayerLimit) layer->DetachSource(false);
    layer->SetLinkedLayer(nullptr);
  }
}

void DisplayManager::DetachFiltersWhere(const std::function<bool(const LayerFilter&)>& which) {
  for (const std::unique_ptr<Surface>& surface : layers_) {
    auto* layer = dynamic_cast<SurfaceLayer*>(surface.get());
    if (layer && layer->HasSource() && which(*layer->GetSource())) layer->DetachSource(false);
  }
}

int DisplayManager::DestroyLayer(Surface* layer) {
  if (!layer) return kDestroyNull;
  const auto it = FindListed(&layers_, layer);
  if (it == layers_.end()) return kDestroyNotListed;
  ForgetLinksTo(layer);
  layers_.erase(it);
  return 0;
}

int DisplayManager::DestroyLayerAndClear(Surface** layer) {
  if (!layer) return kDestroyNull;
  const int code = DestroyLayer(*layer);
  if (code == 0) *layer = nullptr;
  return code;
}

int DisplayManager::DestroyRenderItem(RenderItem* item) {
  if (!item) return kDestroyNull;
  const auto it = FindListed(&items_, item);
  if (it == items_.end()) return kDestroyNotListed;
  items_.erase(it);
  return 0;
}

void DisplayManager::DestroyObjectsOfOwner(uint32_t owner, int flags) {
  const bool allBut = (flags & kOwnerAllBut) != 0;
  items_.remove_if([&](const std::unique_ptr<RenderItem>& item) {
    return (item->Owner() == owner) != allBut;
  });
  if (!(flags & kOwnerAlsoLayers)) return;
  for (auto it = layers_.begin(); it != layers_.end();) {
    if (((*it)->GetWord3() == owner) == allBut) {
      ++it;
      continue;
    }
    ForgetLinksTo(it->get());
    it = layers_.erase(it);
  }
}

void DisplayManager::DestroyAllLayers() {
  items_.clear();
  DestroyAllSprites();
  // Links and filters between dying layers are dropped before any of them goes.
  for (const std::unique_ptr<Surface>& surface : layers_) ForgetLinksTo(surface.get());
  layers_.clear();
  renderList_.Clear();
}

}  // namespace bw
