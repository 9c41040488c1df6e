#include "graphics/device/display_manager.h"

#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/pixel_format.h"

namespace bw {

namespace {

constexpr int kClipperNullArgument = 1;
constexpr int kClipperCreateFailed = 2;
constexpr int kClipperBindFailed = 3;
constexpr int kClipperSetFailed = 4;

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
    // A size below 1 keeps the canvas size in force.
    (void)SetCanvasSize(canvas_->GetWidth(), canvas_->GetHeight());
  }
  return kDisplayDone;
}

CompositionLayer* DisplayManager::GetSpriteComposition() const {
  return canvas_ ? canvas_->GetCompositionLayer() : nullptr;
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
  host::SetDisplayModeSize(canvasWidth_, canvasHeight_);
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
  // Without a display mode of its own the primary is the window at the display's size: a picture
  // enlarged into a smaller one would be cut, and then enlarged again by the window.
  host::SetDisplayModeSize(scaledPresentation_ ? displayWidth_ : canvasWidth_,
                           scaledPresentation_ ? displayHeight_ : canvasHeight_);
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
  if (DirectDrawDevice::Create(false, direct3dRequest_, guid, d3d,
                               record ? record->renderDepths : 0, false, 0, 0) != 0) {
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
    // A colour fill fails only on a lost surface, which the next present restores.
    (void)primary_->Blt(nullptr, host::kDdBltColorFill | host::kDdBltWait, &fx);
  }
  // A frame that is not shown is drawn again on the next turn.
  (void)ClearBackBuffer();
  if (textured_ && CreatePresentationTexture() != 0) {
    ReleaseSurfaces();
    textureRequest_ = kTextureOff;
    textured_ = false;
    return FullScreenSwitch(window, triple);
  }
  // A frame that is not shown is drawn again on the next turn.
  if (!canvas_) (void)RestoreLayers(0);
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
  // A frame that is not shown is drawn again on the next turn.
  (void)RestoreLayers(1);
  if (canvas_) {
    ScopedLock hold(lock_);
    // A frame that is not shown is drawn again on the next turn.
    (void)CopyCanvas(false);
  }
  return kDisplayDone;
}

int DisplayManager::ShowGdiOverFullScreen() {
  if (caps_.caps & host::kDdCapsNoHardware) return 0;
  if (!primary_) return kGdiOverNoPrimary;
  // A new stream holds no block yet, so attaching cannot fail.
  (void)clipper_.Attach(directDraw_.get(), primary_.get(), window_);
  // Always succeeds here: the GDI surface is the primary.
  (void)directDraw_->FlipToGdiSurface();
  gdiOver_ = true;
  return 0;
}

int DisplayManager::EndGdiOverFullScreen() {
  if (caps_.caps & host::kDdCapsNoHardware) return 0;
  if (!primary_) return kGdiOverNoPrimary;
  // Detaching a clipper cannot fail.
  (void)primary_->SetClipper(nullptr);
  clipper_.Release();
  gdiOver_ = false;
  return 0;
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

}  // namespace bw
