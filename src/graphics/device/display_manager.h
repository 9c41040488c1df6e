// The one object through which the engine reaches the screen: the display-device list and
// choice, scaling with letterbox bars, the window and full-screen set-up, the back ends that
// present a frame (GDI, a DirectDraw back buffer, a Direct3D texture) and restore after loss.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "graphics/device/direct3d_device.h"
#include "graphics/device/render_item.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/device/render_list.h"
#include "graphics/surface/surface.h"
#include "graphics/text/text_renderer.h"
#include "host/messages.h"
#include "platform/lock.h"
#include "platform/monitor_list.h"
#include "platform/rect.h"

namespace bw::host {
class MemoryDc;
}  // namespace bw::host

namespace bw {

class CanvasLayer;
class ColorRectObject;
class CompositionLayer;
class DirectDrawSurface;
class DisplayObject;
class ImageSurface;
class LayerFilter;
class MovieFrameSurface;
class OffscreenLayer;
class SoftwareSurfaceLayer;
class TextLayer;
class TextureLayer;
class Sprite;
class WgxPictureLayer;

// GetBackend.
constexpr int kBackendGdi = 0;
constexpr int kBackendDirectDraw = 1;
constexpr int kBackendDirect3D = 2;

// Mode state.
constexpr uint8_t kScreenSwitching = 0;
constexpr uint8_t kScreenFull = 1;
constexpr uint8_t kScreenWindow = 2;

// Sync modes.
constexpr uint8_t kSyncCopy = 0;
constexpr uint8_t kSyncWaitBlank = 1;
constexpr uint8_t kSyncFlip = 2;

// Presentation-texture requests.
constexpr uint8_t kTextureOff = 0;
constexpr uint8_t kTextureWhenNotSmoothed = 1;
constexpr uint8_t kTextureAlways = 3;

// Stretch probe results.
constexpr uint8_t kProbeNotRun = 0;
constexpr uint8_t kProbeNoSmoothing = 1;
constexpr uint8_t kProbeSmoothing = 2;

// Results.
constexpr int kDisplayDone = 0;
constexpr int kDisplayFailed = 1;
constexpr int kDisplayNoMonitors = 2;
constexpr int kDisplayNoDevice = 3;
constexpr int kSelectNoDepth = 3;
constexpr int kSelectBadDisplaySize = 4;
constexpr int kRectSameAsCanvas = -1;
constexpr int kModeNoCanvasSize = 1;
constexpr int kModeSwitchFailed = 2;
constexpr int kModeUnknownFormat = 7;
constexpr int kSurfaceNoDirectDraw = 1;
constexpr int kSurfacePrimaryFailed = 2;
constexpr int kSurfaceBackBufferFailed = 3;
constexpr int kSurfaceClipperFailed = 4;
constexpr int kRestoreNoBackBuffer = 1;
constexpr int kRestoreSurfacesFailed = 2;
constexpr int kRestoreDeviceFailed = 3;
constexpr int kUpdateTextureDcFailed = 1;
constexpr int kUpdateBackBufferDcFailed = 2;
constexpr int kUpdateDrawFailed = 3;
constexpr int kUpdateBltFailed = 4;
constexpr int kPresentNoBackBuffer = 1;
constexpr int kPresentLost = 2;
constexpr int kGdiOverNoPrimary = 1;  // ShowGdiOverFullScreen, EndGdiOverFullScreen
constexpr int kCreateCanvasNoMemory = 2;

// Allocation failures of the render-item create methods.
constexpr int kCreateRectNoMemory = 1;
constexpr int kCreateTriangleNoMemory = 2;
constexpr int kCreatePolygonNoMemory = 2;
constexpr int kCreateStateNoMemory = 1;
constexpr int kCreateMovieFrameNoMemory = 1;
constexpr int kCreateSpriteItemNoMemory = 2;
constexpr int kCreateTransitionNoMemory = 2;
constexpr int kCreateD3DSpriteNoMemory = 2;
constexpr int kCreateOffscreenNoMemory = 2;
constexpr int kCreateSoftwareLayerNoMemory = 4;
constexpr int kCreateLayerSpriteNoMemory = 2;
constexpr int kCreateTextureLayerNoMemory = 4;
constexpr int kCreateLayerD3DSpriteNoMemory = 2;
constexpr int kCreateDirectDrawImageNoMemory = 5;
constexpr int kCreateDirectDrawImageFromFileNoMemory = 7;
constexpr int kCreateWgxLayerNoMemory = 11;
constexpr int kCreateImageNoMemory = 4;
constexpr int kCreateImageFromFileNoMemory = 6;
constexpr int kCreateImageCopyNoMemory = 4;
constexpr int kCreateSpriteNoMemory = 3;
constexpr int kCreateColorRectNoMemory = 1;
constexpr int kCreateSpriteCopyNoMemory = 2;
constexpr int kCreateDirectDrawSurfaceNoMemory = 2;
constexpr int kCreateTextLayerNoMemory = 2;
constexpr int kCreateTextImageNoMemory = 6;
constexpr int kCreateTextRendererNoMemory = 2;  // also no renderer factory installed

// Destroy results.
constexpr int kDestroyNull = 1;
constexpr int kDestroyNotListed = 2;

// DestroyObjectsOfOwner flags.
constexpr int kOwnerAlsoLayers = 1;
constexpr int kOwnerAllBut = 2;

struct DisplayDeviceRecord {
  MonitorHandle monitor = kNoMonitor;
  uint8_t desktopDepth = 0;  // 0: ask the screen
  std::string deviceName;
  std::string description;
  host::Guid directDrawGuid;  // null: the default device
  uint32_t depthFlags = 0;    // allowed-depth mask << 8
  host::Guid direct3dGuid;
  uint32_t renderDepths = 0;
  bool canRenderWindowed = false;
  int32_t modeWidth = 0;  // 0 x 0: no usable mode
  int32_t modeHeight = 0;
  bool exactSize = false;
  bool has60Hz = false;
};

// One presentation-quad vertex: x, y, z, rhw, u, v.
struct QuadVertex {
  float x, y, z, rhw, u, v;
};

// Holds the clipper that binds a surface to the window.
class WindowClipper {
 public:
  virtual ~WindowClipper() = default;
  [[nodiscard]] int Attach(host::DirectDraw* directDraw, host::MemorySurface* surface,
                           host::HWND window);
  void Release() { clipper_.reset(); }
  host::MemoryClipper* Get() const { return clipper_.get(); }

 private:
  std::unique_ptr<host::MemoryClipper> clipper_;
};

class DisplayManager : public Direct3DDevice, private SurfaceUser {
 public:
  DisplayManager();
  ~DisplayManager() override;

  [[nodiscard]] int SetCanvasSize(int32_t width, int32_t height);
  [[nodiscard]] int SetScreenSurface(CanvasLayer* canvas);
  // The host has one list of full-screen modes: the device's, which the desktop's would match.
  [[nodiscard]] int EnumerateDisplayDevices(const MonitorList* monitors, int32_t canvasWidth,
                                            int32_t canvasHeight);
  [[nodiscard]] int SelectDisplayDevice(bool fullScreen, MonitorHandle monitor, int index, int bits,
                                        MonitorHandle* outMonitor);
  [[nodiscard]] int ComputeDisplayRect(int32_t displayWidth, int32_t displayHeight,
                                       bool keepWhenSameAspect);
  void ResetDisplayRect();
  [[nodiscard]] int SetMode(host::HWND window, bool windowed, bool tripleBuffer);
  [[nodiscard]] int RestoreLostSurfaces();
  [[nodiscard]] int ShowGdiOverFullScreen();
  [[nodiscard]] int EndGdiOverFullScreen();
  int GetBackend() const;
  void ReleaseSurfaces();
  bool ProbeTexturePresentation();
  [[nodiscard]] int CreatePresentationTexture();
  void ReleasePresentationTexture();

  [[nodiscard]] int ClearBackBuffer();
  // paint is clamped to the canvas.
  [[nodiscard]] host::HResult PaintRect(host::MemoryDc* dc, const Rect& paint);
  [[nodiscard]] int UpdateBackBuffer();
  [[nodiscard]] int Present();

  [[nodiscard]] int CreateCanvasLayer(CanvasLayer** out, int32_t width, int32_t height, int depth,
                                      int options);
  [[nodiscard]] int CreateSpritePrimitive(SpritePrimitive** out, Surface* source, const Rect* rect,
                                          int32_t x, int32_t y);
  [[nodiscard]] int CreateTransitionPrimitive(TransitionPrimitive** out, Surface* drawn,
                                              Surface* target, int mode, int32_t x, int32_t y,
                                              int32_t progress);
  [[nodiscard]] int CreateD3DSpritePrimitive(D3DSpritePrimitive** out, Layer* texture,
                                             const Rect* rect, int32_t x, int32_t y);
  [[nodiscard]] int CreateD3DRectPrimitive(D3DRectPrimitive** out, int32_t width, int32_t height,
                                           uint32_t argb, int32_t x, int32_t y);
  [[nodiscard]] int CreateD3DTrianglePrimitive(D3DTrianglePrimitive** out, const int32_t xs[3],
                                               const int32_t ys[3], uint32_t argb, int32_t x,
                                               int32_t y);
  [[nodiscard]] int CreateD3DPolygonPrimitive(D3DPolygonPrimitive** out, size_t count, int32_t* xs,
                                              int32_t* ys, uint32_t argb, uint8_t type,
                                              bool borrow);
  [[nodiscard]] int CreateD3DRenderStatePrimitive(D3DRenderStatePrimitive** out);
  [[nodiscard]] int CreateD3DBlendStatePrimitive(D3DBlendStatePrimitive** out);
  [[nodiscard]] int CreateDirectDrawImage(DirectDrawImageSurface** out, int32_t width,
                                          int32_t height, bool systemMemory);
  [[nodiscard]] int CreateDirectDrawImageFromFile(DirectDrawImageSurface** out, const char* name,
                                                  const uint8_t* data, size_t size, int flags);
  [[nodiscard]] int CreateWgxPictureLayer(WgxPictureLayer** out, int formatCode, const char* name,
                                          const uint8_t* data, size_t size, bool systemMemory);
  [[nodiscard]] int CreateOffscreenLayer(OffscreenLayer** out, int32_t width, int32_t height,
                                         int depth, bool compose);
  [[nodiscard]] int CreateSoftwareSurfaceLayer(SoftwareSurfaceLayer** out, int32_t width,
                                               int32_t height, int depth, int options);
  [[nodiscard]] int CreateLayerSpritePrimitive(LayerSpritePrimitive** out,
                                               SoftwareSurfaceLayer* layer, const Rect* rect,
                                               int32_t x, int32_t y);
  [[nodiscard]] int CreateTextureLayer(TextureLayer** out, int formatCode, int32_t width,
                                       int32_t height, int depth, int options, bool systemMemory);
  [[nodiscard]] int CreateLayerD3DSpritePrimitive(LayerD3DSpritePrimitive** out,
                                                  TextureLayer* layer, const Rect* rect, int32_t x,
                                                  int32_t y);
  [[nodiscard]] int CreateImageSurface(ImageSurface** out, int32_t width, int32_t height, int depth,
                                       int flags);
  [[nodiscard]] int CreateImageSurfaceFromFile(ImageSurface** out, const char* name,
                                               const uint8_t* data, size_t size, int flags);
  [[nodiscard]] int CreateImageSurfaceFromFile8(ImageSurface** out, const char* name,
                                                const uint8_t* data, size_t size, int flags);
  [[nodiscard]] int CreateImageSurfaceCopy(ImageSurface** out, const ImageSurface* source,
                                           int mode);
  // Texts: renderer null draws with the default renderer.
  [[nodiscard]] int CreateDirectDrawSurface(DirectDrawSurface** out, const char* text,
                                            TextRenderer* renderer);
  [[nodiscard]] int CreateTextLayer(TextLayer** out, int formatCode, const char* text,
                                    TextRenderer* renderer);
  [[nodiscard]] int CreateTextImageSurface(ImageSurface** out, const char* text,
                                           TextRenderer* renderer, int flags);
  // Through the installed TextRendererFactory; the new renderer is set up with its face (null:
  // the default face) and height.
  [[nodiscard]] int CreateGdiTextRenderer(TextRenderer** out, const char* faceName, int32_t height);
  [[nodiscard]] int CreateOutlineTextRenderer(TextRenderer** out, const char* faceName,
                                              int32_t height);
  // The surfaces and layers that keep the renderer, and the default renderer when it is this
  // one, fall back to the default first.
  [[nodiscard]] int DestroyTextRenderer(TextRenderer** renderer);
  void DestroyAllTextRenderers();
  size_t TextRendererCount() const { return renderers_.size(); }
  [[nodiscard]] int CreateSprite(Sprite** out, ImageSurface* surface, const Rect* rect, int32_t x,
                                 int32_t y);
  [[nodiscard]] int CreateColorRect(ColorRectObject** out, int32_t width, int32_t height,
                                    uint32_t argb, int32_t x, int32_t y);
  [[nodiscard]] int CreateSpriteCopy(Sprite** out, const Sprite* source);
  [[nodiscard]] int DestroySprite(DisplayObject* sprite);
  [[nodiscard]] int DestroySpriteAndClear(DisplayObject** sprite);
  void DestroySpritesOfOwner(uint32_t owner, bool allBut);
  void DestroyAllSprites();
  uint32_t SetSpriteOwner(uint32_t owner);
  size_t SpriteCount() const { return sprites_.size(); }
  // Made at the movie's frame size as it is listed.
  [[nodiscard]] int CreateMovieFrameSurface(MovieFrameSurface** out, int32_t width, int32_t height);
  [[nodiscard]] int DestroyLayer(Surface* layer);
  [[nodiscard]] int DestroyLayerAndClear(Surface** layer);
  [[nodiscard]] int DestroyRenderItem(RenderItem* item);
  void DestroyObjectsOfOwner(uint32_t owner, int flags);
  // Every render item, then every sprite, then every surface and layer; the render list ends
  // empty.
  void DestroyAllLayers();
  // Detaches, unapplied, every layer's filter that which picks (before the code behind the
  // filters goes).
  void DetachFiltersWhere(const std::function<bool(const LayerFilter&)>& which);
  [[nodiscard]] int RestoreLayers(int argument);
  // Draws the render list onto the back buffer; the list's first failure, or -1 without one.
  [[nodiscard]] int DrawRenderList();
  // Tests only: the next mode switch asks for the Direct3D render device. The engine switches
  // without it.
  void SetDirect3DRenderDevice(bool on) { direct3dRequest_ = on; }
  RenderList& GetRenderList() { return renderList_; }

  // Settings the application hands over before a mode switch.
  void SetSyncMode(uint8_t mode) { syncMode_ = mode; }
  // How many vertical blanks a presented frame waits for (0: none); the application's pacing
  // sets it and the frame loops read it to leave the display to pace the frames.
  void SetVerticalBlankWait(uint32_t count) { verticalBlankWait_ = count; }
  uint32_t VerticalBlankWait() const { return verticalBlankWait_; }
  void SetTextureRequest(uint8_t request, bool inWindow) {
    textureRequest_ = request, textureInWindow_ = inWindow;
  }
  void SetPowerOfTwo(bool on) { powerOfTwo_ = on; }
  // Also how the window scales the picture the texture path presents.
  void SetBilinearFilter(bool on);
  void SetCopyThroughDc(bool on) { copyThroughDc_ = on; }
  void SetBorderColor(uint8_t r, uint8_t g, uint8_t b) {
    border_[0] = r, border_[1] = g, border_[2] = b;
  }
  uint32_t SetLayerOwner(uint32_t owner);
  uint32_t LayerOwner() const { return layerOwner_; }

  const std::vector<std::unique_ptr<DisplayDeviceRecord>>& Devices() const { return devices_; }
  const DisplayDeviceRecord* SelectedDevice() const { return selected_; }
  bool FullScreenWanted() const { return fullScreenWanted_; }
  int ChosenDepth() const { return depth_; }
  uint8_t ScreenState() const { return screenState_; }
  bool IsScaled() const { return scaled_; }
  bool HasBars() const { return hasBars_; }
  bool ScaledPresentation() const { return scaledPresentation_; }
  const Rect& DisplayRect() const { return displayRect_; }
  const Rect& Bar(int i) const { return bars_[i & 1]; }
  int32_t DisplayWidth() const { return displayWidth_; }
  int32_t DisplayHeight() const { return displayHeight_; }
  const Rect& CanvasRect() const { return canvasRect_; }
  CanvasLayer* GetScreenCanvas() const { return canvas_; }
  // The screen canvas's composition, where sprites go when the scripts name no layer; null
  // without a composed screen.
  CompositionLayer* GetSpriteComposition() const;
  host::MemorySurface* GetPrimary() const { return primary_.get(); }
  host::MemorySurface* GetBackBuffer() const { return backBuffer_; }
  host::MemorySurface* GetPresentationTexture() const { return texture_.get(); }
  bool HasFlipChain() const { return flipChain_; }
  bool GdiOverFullScreen() const { return gdiOver_; }
  uint8_t ProbeResult() const { return probe_; }
  uint8_t TextureRequest() const { return textureRequest_; }
  bool CopyThroughDc() const { return copyThroughDc_; }
  const QuadVertex* Quad() const { return quad_; }
  Lock& GetLock() { return lock_; }
  size_t LayerCount() const { return layers_.size(); }
  size_t RenderItemCount() const { return items_.size(); }

 private:
  void DetachSurface(const Surface* surface) override;
  bool DecideTexture();
  [[nodiscard]] int CreateWindowSurfaces(bool direct3d);
  [[nodiscard]] int CreateFullScreenSurfaces(bool direct3d, bool triple);
  [[nodiscard]] int CreateBackBuffer(int32_t width, int32_t height, bool direct3d);
  [[nodiscard]] int CopyCanvas(bool onlyChanged);
  // The window's own picture for a canvas shown through GDI; null when the window takes none.
  host::MemorySurface* WindowSurface();
  [[nodiscard]] int DrawPresentationQuad();
  void RedrawCanvas();
  void WaitForBlank();
  [[nodiscard]] host::HResult BltToPrimary(const Rect& dest, const Rect& source, uint32_t flags);
  void FillBars();
  // Makes, initialises and lists one object under the layer owner value.
  template <typename Object, typename Base, typename Init>
  [[nodiscard]] int AddObject(std::list<std::unique_ptr<Base>>* list, Object** out, int noMemory,
                              Init init);
  [[nodiscard]] int CreateRenderDevice();
  [[nodiscard]] int AddTextRenderer(TextRenderer** out, bool outline, const char* faceName,
                                    int32_t height);
  void ForgetTextRenderer(const TextRenderer* renderer);
  // Unbinds the dying picture from the device and unlinks the layers that link it, detaching a
  // two-layer filter unapplied.
  void ForgetLinksTo(Surface* dying);
  [[nodiscard]] int FullScreenSwitch(host::HWND window, bool triple);

  host::HWND window_;
  std::unique_ptr<host::MemorySurface> primary_;
  host::MemorySurface* backBuffer_ = nullptr;  // owned below, or by a flipping primary
  std::unique_ptr<host::MemorySurface> ownBackBuffer_;
  std::unique_ptr<host::MemorySurface> windowSurface_;  // GDI presentation only
  CanvasLayer* canvas_ = nullptr;
  Rect canvasRect_;
  int32_t canvasWidth_ = 0;
  int32_t canvasHeight_ = 0;
  bool flipChain_ = false;
  uint8_t syncMode_ = kSyncCopy;
  std::atomic<uint32_t> verticalBlankWait_{0};
  bool triple_ = false;
  uint8_t probe_ = kProbeNotRun;
  bool gdiOver_ = false;
  int primaryFormat_ = 0;
  int backFormat_ = 0;
  uint8_t screenState_ = kScreenSwitching;
  int desktopDepth_ = 0;
  const MonitorList* monitors_ = nullptr;  // the application's; it outlives the manager
  std::vector<std::unique_ptr<DisplayDeviceRecord>> devices_;
  DisplayDeviceRecord* selected_ = nullptr;
  bool fullScreenWanted_ = false;
  int depth_ = 0;
  bool scaled_ = false;
  Rect displayRect_;
  int32_t displayWidth_ = 0;
  int32_t displayHeight_ = 0;
  Rect bars_[2];
  bool hasBars_ = false;
  bool scaledPresentation_ = false;
  uint8_t textureRequest_ = kTextureOff;
  bool textureInWindow_ = false;
  bool powerOfTwo_ = false;
  bool bilinear_ = true;
  bool copyThroughDc_ = true;
  bool textured_ = false;  // texture presentation chosen by the last switch
  std::unique_ptr<host::Direct3D> presentDirect3D_;
  std::unique_ptr<host::D3dDevice> presentDevice_;
  std::unique_ptr<host::MemorySurface> texture_;
  int textureFormat_ = 0;
  int32_t textureWidth_ = 0;
  int32_t textureHeight_ = 0;
  bool texture32_ = false;
  QuadVertex quad_[4];
  uint8_t border_[3] = {0, 0, 0};
  WindowClipper clipper_;
  uint32_t layerOwner_ = 0;
  std::list<std::unique_ptr<Surface>> layers_;
  std::list<std::unique_ptr<RenderItem>> items_;
  std::list<std::unique_ptr<DisplayObject>> sprites_;
  std::list<std::unique_ptr<TextRenderer>> renderers_;
  uint32_t spriteOwner_ = 0;
  RenderList renderList_;
  bool direct3dRequest_ = false;
  Lock lock_;  // guards canvas_ and every copy from it
};

}  // namespace bw
