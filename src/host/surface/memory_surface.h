// The host's DirectDraw-style surface in memory: pixels with a pixel format, colour fills,
// copies and nearest stretches with source colour keys and clippers, device contexts over the
// memory DCs, flip chains, and a lost state. Result codes follow DirectDraw's (0 done).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "host/messages.h"
#include "host/surface/shared_pixels.h"

namespace bw::host {

class DibSection;
class MemoryDc;
class PresentationSink;

using HResult = int32_t;
constexpr HResult DdError(uint32_t code) {
  return HResult(0x88760000u | code);
}
constexpr HResult kDdOk = 0;
constexpr HResult kDdErrInvalidParams = -2147024809;  // 0x80070057
constexpr HResult kDdErrUnsupported = -2147467263;    // 0x80004001
constexpr HResult kDdErrGeneric = -2147467259;        // 0x80004005
constexpr HResult kDdErrSurfaceBusy = DdError(430);
constexpr HResult kDdErrNotLocked = DdError(584);
constexpr HResult kDdErrSurfaceLost = DdError(450);
constexpr HResult kDdErrInvalidRect = DdError(150);
constexpr HResult kDdErrInvalidPixelFormat = DdError(145);
constexpr HResult kDdErrNoColorKey = DdError(215);
constexpr HResult kDdErrNotFlippable = DdError(582);
constexpr HResult kDdErrNoClipList = DdError(205);
constexpr HResult kDdErrDcAlreadyCreated = DdError(620);
constexpr HResult kDdErrNoDc = DdError(586);
constexpr HResult kDdErrNotFound = DdError(255);

// Pixel-format flags of DdPixelFormat.
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfPaletteIndexed8 = 0x20;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdpfZBuffer = 0x400;

// The 32-byte pixel-format record. For a Z-buffer format rgbBitCount is the depth.
struct DdPixelFormat {
  uint32_t size = 32;
  uint32_t flags = 0;
  uint32_t fourCC = 0;
  uint32_t rgbBitCount = 0;
  uint32_t rBitMask = 0;
  uint32_t gBitMask = 0;
  uint32_t bBitMask = 0;
  uint32_t rgbAlphaBitMask = 0;
};

struct DdRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// What a surface is asked for with, what a lock hands out and what GetSurfaceDesc reports.
struct DdSurfaceDesc {
  uint32_t flags = 0;  // kDdsd bits: which fields a creation request fills
  uint32_t caps = 0;
  uint32_t caps2 = 0;
  uint32_t backBufferCount = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t pitch = 0;
  uint8_t* surface = nullptr;
  DdPixelFormat pixelFormat;
};

struct DdColorKey {
  uint32_t low = 0;
  uint32_t high = 0;
};

constexpr uint32_t kDdsdCaps = 0x1;
constexpr uint32_t kDdsdHeight = 0x2;
constexpr uint32_t kDdsdWidth = 0x4;
constexpr uint32_t kDdsdBackBufferCount = 0x20;
constexpr uint32_t kDdsdPixelFormat = 0x1000;
constexpr uint32_t kDdsdTextureStage = 0x100000;

constexpr uint32_t kDdsCapsBackBuffer = 0x4;
constexpr uint32_t kDdsCapsComplex = 0x8;
constexpr uint32_t kDdsCapsFlip = 0x10;
constexpr uint32_t kDdsCapsOffscreenPlain = 0x40;
constexpr uint32_t kDdsCapsPrimarySurface = 0x200;
constexpr uint32_t kDdsCapsSystemMemory = 0x800;
constexpr uint32_t kDdsCapsTexture = 0x1000;
constexpr uint32_t kDdsCaps3dDevice = 0x2000;
constexpr uint32_t kDdsCapsVideoMemory = 0x4000;
constexpr uint32_t kDdsCapsZBuffer = 0x20000;
constexpr uint32_t kDdsCaps2TextureManage = 0x10;

constexpr uint32_t kDdBltColorFill = 0x400;
constexpr uint32_t kDdBltKeySrc = 0x8000;
constexpr uint32_t kDdBltWait = 0x1000000;
constexpr uint32_t kDdBltFastSrcColorKey = 0x1;
constexpr uint32_t kDdBltFastWait = 0x10;
constexpr uint32_t kDdCKeySrcBlt = 0x8;
constexpr uint32_t kDdFlipWait = 0x1;

// The blit-effects record; its size field carries the platform record's size.
constexpr uint32_t kDdBltFxSize = 100;
struct DdBltFx {
  uint32_t size = kDdBltFxSize;
  uint32_t fillColor = 0;
};

// A clip list; a clipper bound to a window clips to the window's client area, which is the
// whole target surface here.
class MemoryClipper {
 public:
  [[nodiscard]] HResult SetClipList(const std::vector<DdRect>& rects);
  [[nodiscard]] HResult SetHWnd(HWND hwnd);
  HWND GetHWnd() const { return hwnd_; }
  // The rectangles a blit onto a width x height target may touch.
  std::vector<DdRect> ClipRects(int width, int height) const;

 private:
  std::vector<DdRect> rects_;
  HWND hwnd_;
  bool hasList_ = false;
};

// How drawing through a surface's device context treats what the surface held: read and drawn
// over; only written (copies into it), so that what the drawing leaves alone is all the surface
// must carry over from before; or written only where a copy differs from what the surface showed,
// which BitBltChanged alone reads (through the context's shown picture) and which
// the ReleaseDC that ends it must name as written, naming no row that did not differ: the
// window is then shown those rows without comparing them again.
enum DcUse { kDcReadsAndWrites, kDcOverwrites, kDcWritesChanges };

class MemorySurface {
 public:
  ~MemorySurface();

  // Null for a size below 1, a bit count other than 8, 16, 24 or 32, or too many bytes.
  static std::unique_ptr<MemorySurface> Create(int width, int height, const DdPixelFormat& format);
  // A front surface with backBuffers attached behind it, all alike; Flip rotates them.
  static std::unique_ptr<MemorySurface> CreateFlipChain(int width, int height,
                                                        const DdPixelFormat& format,
                                                        int backBuffers);

  [[nodiscard]] HResult GetPixelFormat(DdPixelFormat* out) const;
  // A colour fill of dest (null: the whole surface), or with src a copy of srcRect (null: the
  // whole source) scaled to dest by nearest pixel. Without a clipper dest must lie inside.
  [[nodiscard]] HResult Blt(const DdRect* dest, uint32_t flags, const DdBltFx* fx);
  [[nodiscard]] HResult Blt(const DdRect* dest, MemorySurface* src, const DdRect* srcRect,
                            uint32_t flags, const DdBltFx* fx);
  // An unscaled copy to (x, y); the whole copy must lie inside both surfaces. Clippers are not
  // consulted.
  [[nodiscard]] HResult BltFast(int x, int y, MemorySurface* src, const DdRect* srcRect,
                                uint32_t flags);
  [[nodiscard]] HResult Lock(DdSurfaceDesc* out);
  [[nodiscard]] HResult Unlock();
  // The same, where the caller wrote only inside written since the lock: what changed is known,
  // so that the next frame and the window need copy only that.
  [[nodiscard]] HResult Unlock(std::span<const DdRect> written);
  // Size, pitch, format and the capabilities the surface was made with; no pixel pointer.
  [[nodiscard]] HResult GetSurfaceDesc(DdSurfaceDesc* out) const;
  void SetCaps(uint32_t caps, uint32_t caps2) { caps_ = caps, caps2_ = caps2; }

  [[nodiscard]] HResult SetColorKey(uint32_t flags, const DdColorKey* key);  // null key clears
  [[nodiscard]] HResult GetColorKey(uint32_t flags, DdColorKey* out) const;
  [[nodiscard]] HResult SetClipper(MemoryClipper* clipper);  // not owned; null detaches
  MemoryClipper* GetClipper() const { return clipper_; }

  // A device context over the pixels; drawing through it lands in the surface at ReleaseDC.
  [[nodiscard]] HResult GetDC(MemoryDc** out, DcUse use = kDcReadsAndWrites);
  [[nodiscard]] HResult ReleaseDC(MemoryDc* dc);
  // The drawing through the context stayed inside written.
  [[nodiscard]] HResult ReleaseDC(MemoryDc* dc, std::span<const DdRect> written);

  // The first back buffer of a flip chain (owned by the front), or null.
  MemorySurface* GetAttachedSurface() const;
  [[nodiscard]] HResult Flip(uint32_t flags);
  [[nodiscard]] HResult IsLost() const { return lost_ ? kDdErrSurfaceLost : kDdOk; }
  // Brings lost memory back, cleared: its content is gone.
  [[nodiscard]] HResult Restore();

  int Width() const { return width_; }
  int Height() const { return height_; }
  ptrdiff_t Pitch() const { return pitch_; }
  const uint8_t* Pixels() const { return pixels_.Data(); }
  bool IsLocked() const { return locked_; }
  int BytesPerPixel() const { return int(format_.rgbBitCount / 8); }

  // The window's picture: every change by a blit, fill, DC or flip is converted and handed to
  // the sink, from any thread. Null detaches.
  void SetPresentationSink(PresentationSink* sink, bool linear);
  bool IsPrimary() const { return sink_ != nullptr; }
  // The chain this surface belongs to presents scaled by linear filtering (the Direct3D path)
  // or by nearest pixel (the DirectDraw path).
  void SetPresentLinear(bool linear);
  bool PresentsLinear() const;

  // Test hooks: a lost surface refuses everything; a refusing blitter makes callers fall back
  // to writing locked memory.
  void SetLost(bool lost);
  void SetBlitterRefuses(bool refuses) { blitterRefuses_ = refuses; }

 private:
  MemorySurface() = default;

  // A block this surface wrote before, kept to write into again once nobody else holds it, so
  // that presenting frame after frame needs no new memory; behind holds where it may differ from
  // the current pixels, which is all that must be copied to bring it up to date.
  // When exact, behind holds only rows a writer compared with these pixels and found to differ
  // (through BitBltChanged), so that what the window must be shown needs no second comparison.
  struct Spare {
    SharedPixels pixels;
    std::vector<DdRect> behind;
    bool exact = false;
  };

  // What a write keeps of the pixels: nothing (it writes them all), all of them, or all it does
  // not write (it never reads what was there, and says at Wrote what it wrote).
  enum class Keep { kNothing, kAll, kUnwritten };

  [[nodiscard]] HResult CheckUsable() const;
  // The pixels to write, made this surface's own first when another holder still has them;
  // null when memory runs out. The writer then says where it wrote, through Wrote.
  uint8_t* Writable(Keep keep);
  // compared: each area holds rows found to differ from the pixels the write began from.
  void Wrote(std::span<const DdRect> areas, bool compared = false);
  void WroteAll();
  // Rows of areas from one block of this surface's shape to another.
  void CopyAreas(uint8_t* to, const uint8_t* from, std::span<const DdRect> areas) const;
  // A whole frame 1:1 from src: its pixels are shared, not copied. Unless they show the same
  // picture as those held now: then the surface keeps its own and the window is not shown it
  // again.
  void Take(MemorySurface* src);
  // Hands the pixels to the sink; damage bounds what changed since the last frame handed over.
  void Present();
  void Present(const DdRect& damage);

  SharedPixels pixels_;
  std::vector<Spare> spares_;
  // For a write that keeps what it does not write: where the pixels still lag, and the pixels
  // that hold it.
  std::vector<DdRect> unwrittenBehind_;
  SharedPixels unwrittenFrom_;
  int width_ = 0;
  int height_ = 0;
  ptrdiff_t pitch_ = 0;
  DdPixelFormat format_;
  bool locked_ = false;
  bool lost_ = false;
  bool blitterRefuses_ = false;
  bool hasSrcKey_ = false;
  DdColorKey srcKey_;
  MemoryClipper* clipper_ = nullptr;
  // Over the surface's own pixels while a device context is out, as a lock hands them out.
  std::unique_ptr<DibSection> dcSection_;
  std::unique_ptr<MemoryDc> dc_;
  DcUse dcUse_ = kDcReadsAndWrites;
  std::vector<std::unique_ptr<MemorySurface>> backBuffers_;
  PresentationSink* sink_ = nullptr;
  bool linear_ = false;
  uint32_t caps_ = 0;
  uint32_t caps2_ = 0;
  MemorySurface* front_ = nullptr;  // for a back buffer, the chain's front (its owner)
};

// Packs an 0xAARRGGBB colour into a format by truncating each channel to its mask, and
// unpacks a raw pixel back (channels scaled to 0..255; alpha 255 when the format has none).
// Palettised formats use the low byte as is (unpacked as grey).
class PixelCodec {
 public:
  explicit PixelCodec(const DdPixelFormat& format);
  uint32_t Pack(uint32_t argb) const {
    if (standard32_) return hasAlpha_ ? argb : argb & 0xFFFFFF;
    return PackFields(argb);
  }
  uint32_t Unpack(uint32_t raw) const {
    if (standard32_) return hasAlpha_ ? raw : raw | 0xFF000000u;
    return UnpackFields(raw);
  }

 private:
  uint32_t PackFields(uint32_t argb) const;
  uint32_t UnpackFields(uint32_t raw) const;

  struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;  // 0: the format has no such channel
  };
  Channel channels_[4];  // alpha, red, green, blue
  bool palette_ = false;
  bool standard32_ = false;  // 8-bit channels where 0xAARRGGBB has them
  bool hasAlpha_ = false;
};

uint32_t PackArgb(const DdPixelFormat& format, uint32_t argb);
uint32_t UnpackArgb(const DdPixelFormat& format, uint32_t raw);

}  // namespace bw::host
