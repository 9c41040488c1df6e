#include "graphics/device/display_manager.h"

#include <algorithm>

#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/pixel_format.h"
#include "host/gdi/memory_dc.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"

namespace bw {

namespace {

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

host::DdRect ToDd(const Rect& r) {
  return {r.left, r.top, r.right, r.bottom};
}

bool IsLostOrWrongMode(host::HResult hr) {
  return hr == host::kDdErrSurfaceLost;
}

int32_t NextPowerOfTwo(int32_t v) {
  int32_t p = 1;
  while (p < v && p < (1 << 30)) p <<= 1;
  return p;
}

}  // namespace

void DisplayManager::FillBars() {
  if (!primary_) return;
  host::DdBltFx fx;
  for (const Rect& bar : bars_) {
    if (bar.IsEmpty()) continue;
    const host::DdRect r = ToDd(bar);
    // A colour fill fails only on a lost surface, which the next present restores.
    (void)primary_->Blt(&r, host::kDdBltColorFill | host::kDdBltWait, &fx);
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
  if (small->GetPixelFormat(&format) != host::kDdOk) return false;
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
  // Unlocking what was locked just above cannot fail.
  (void)large->Unlock();
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

int DisplayManager::ClearBackBuffer() {
  if (!backBuffer_) return kDisplayFailed;
  PixelFormatInfo info;
  ClassifyPixelFormat(backBuffer_, &info, nullptr);
  // A border clipped away draws nothing; that is not a failure.
  (void)FillSurfaceRect(backBuffer_, &info, border_[0], border_[1], border_[2], nullptr, 0);
  return kDisplayDone;
}

void DisplayManager::WaitForBlank() {
  if (syncMode_ != kSyncCopy && directDraw_)
    // A missed vertical blank only costs a torn frame.
    (void)directDraw_->WaitForVerticalBlank(host::kDdWaitVbBlockBegin);
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
  // need not bring that up to date; otherwise the canvas copies only what differs from the
  // frame shown, and that is all the target hands on to the window. Either way the target
  // brings up to date only what was not written.
  const host::DcUse use = canvas_->HasSource() ? host::kDcOverwrites : host::kDcWritesChanges;
  host::MemoryDc* dc = nullptr;
  host::HResult hr = target->GetDC(&dc, use);
  if (IsLostOrWrongMode(hr)) {
    // A surface still lost fails its next lock or blit, which reports it.
    (void)target->Restore();
    hr = target->GetDC(&dc, use);
  }
  if (hr != host::kDdOk || !dc)
    return texture_ ? kUpdateTextureDcFailed : kUpdateBackBufferDcFailed;
  DirtyRectList drawn;
  const int result = canvas_->PresentFrame(host::HWND{}, dc, nullptr, 0, onlyChanged, &drawn);
  // Releasing the DC taken just above cannot fail.
  (void)target->ReleaseDC(dc, DdRectsOf(drawn));
  return result;
}

int DisplayManager::DrawPresentationQuad() {
  host::D3dDevice* device = presentDevice_.get();
  // Stage 0 always exists, so binding or unbinding cannot fail.
  (void)device->SetTexture(0, texture_.get());
  // Known states with valid values: the device cannot refuse them.
  (void)device->SetRenderState(kRsLighting, 0);
  (void)device->SetRenderState(host::kRsAlphaBlendEnable, 0);
  (void)device->SetRenderState(host::kRsAlphaTestEnable, 0);
  (void)device->SetRenderState(host::kRsCullMode, host::kCullNone);
  const uint32_t filter = bilinear_ ? kFilterLinear : kFilterPoint;
  // Known states with valid values: the device cannot refuse them.
  (void)device->SetTextureStageState(0, host::kTssMagFilter, filter);
  (void)device->SetTextureStageState(0, host::kTssMinFilter, filter);
  (void)device->SetTextureStageState(0, kTssMipFilter, bilinear_ ? kMipLinear : kMipPoint);
  (void)device->SetTextureStageState(0, host::kTssAddress, kAddressClamp);
  host::HResult hr = device->BeginScene();
  if (hr == host::kDdOk) {
    hr = device->DrawPrimitive(kTriangleStrip, kFvfXyzRhwTex1, quad_, 4, kDrawWait);
    const host::HResult end = device->EndScene();
    if (hr == host::kDdOk) hr = end;
  }
  (void)device->SetTexture(0, nullptr);
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
      (void)texture_->Restore();
      (void)backBuffer_->Restore();
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
    if (primary_) (void)primary_->Restore();
    (void)backBuffer_->Restore();
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
        // A frame the sink has no memory to copy is skipped: the next one shows.
        (void)sink->HandOver(desc.surface, canvasWidth_, canvasHeight_, desc.pitch,
                             host::ScaleFilter::kNearest);
      }
      (void)backBuffer_->Unlock();
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
    // A context without pixels to paint on is a paint that failed.
    return host::BitBlt(*dc, r.left, r.top, r.Width(), r.Height(), *canvas_->GetDc(), r.left, r.top)
               ? host::kDdOk
               : host::kDdErrGeneric;
  }
  if (caps_.caps & host::kDdCapsNoHardware) {
    host::MemoryDc* back = nullptr;
    if (!dc) return host::kDdErrGeneric;
    host::HResult hr = backBuffer_->GetDC(&back);
    if (hr != host::kDdOk) return hr;
    const bool painted =
        host::BitBlt(*dc, r.left, r.top, r.Width(), r.Height(), *back, r.left, r.top);
    const host::HResult released = backBuffer_->ReleaseDC(back);
    return painted ? released : host::kDdErrGeneric;
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

}  // namespace bw
