// The work-horse surface: every loaded picture, sprite source and work buffer. 8 or 32 bits;
// every drawing operation reports what it touched to the active dirty list and sets the
// changed byte.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "graphics/pixel/stretch_stepper.h"
#include "graphics/surface/dib_surface.h"
#include "graphics/surface/dirty_rect_list.h"

namespace bw {

struct ImageDestination;
class TextRenderer;

// Create flags (0: plain memory, no device context, no dirty list).
constexpr int kImagePlain = 0;
constexpr int kImageDibSection = 1;
constexpr int kImageDirtyList = 2;

// Create: the dirty list could not be made.
constexpr int kImageNoDirtyList = 3;

// CopyFrom modes.
constexpr int kCopyToHeap = 0;
constexpr int kCopyToDibSection = 1;
constexpr int kCopyLikeSource = 2;

// ConvertDepth and BuildRowTable answers.
constexpr int kNoPixels = 1;
constexpr int kDepthRefused = 2;
constexpr int kNoStore = 3;

// The blit clippers' answers.
constexpr int kClipDraw = 0;
constexpr int kClipNothing = -1;
constexpr int kClipNoSource = 1;
constexpr int kClipNoStepRecord = 2;

class ImageSurface : public DibSurface {
 public:
  ImageSurface() = default;
  ~ImageSurface() override;

  // bits 8 or 32 (else 1); 2 when the pixels cannot be had, 3 when the dirty list cannot.
  // zeroed as DibSurface::Create.
  [[nodiscard]] int Create(int32_t width, int32_t height, int bits, int flags, bool zeroed = true);
  // Over pixels the caller owns, as DibSurface::CreateOver; no dirty list.
  [[nodiscard]] int CreateOver(uint8_t* pixels, int32_t width, int32_t height) {
    Release();
    return DibSurface::CreateOver(pixels, width, height);
  }
  [[nodiscard]] int Resize(int32_t width, int32_t height) override;
  void Release();

  // 1 without a source with pixels; 2 when this surface cannot be made, 3 when the palette
  // cannot be copied.
  [[nodiscard]] int CopyFrom(const ImageSurface* source, int mode);
  [[nodiscard]] bool SetPixel(int32_t x, int32_t y, uint32_t value);
  // 8 to 32 bits through the palette (alpha 0), 32 to 8 bits to grey.
  [[nodiscard]] int ConvertDepth(int bits);
  [[nodiscard]] int BuildRowTable();
  const std::vector<uint8_t*>& RowTable() const { return rowTable_; }

  [[nodiscard]] bool FillRgb(int r, int g, int b, const Rect* rect);
  [[nodiscard]] bool Fill(uint32_t argb, const Rect* rect);
  [[nodiscard]] bool FillRgbXYWH(int32_t x, int32_t y, int32_t width, int32_t height, int r, int g,
                                 int b);
  [[nodiscard]] bool FillRectXYWH(int32_t x, int32_t y, int32_t width, int32_t height,
                                  uint32_t argb);
  // New colour, alpha kept; 32-bit surfaces only.
  [[nodiscard]] bool FillColorKeepAlpha(int r, int g, int b, const Rect* rect);

  [[nodiscard]] int SetPalette(const uint32_t* entries, int count, int first);
  [[nodiscard]] bool SetPaletteEntry(int index, uint32_t color, bool apply);
  [[nodiscard]] bool FillPalette(uint32_t color, bool apply);
  [[nodiscard]] int CopyPaletteFrom(const DibSurface* source);

  // ---- Pictures through the image-loader manager -------------------------------------------
  // Load, Load8 and DrawImageFile answer 0, kLoadNoManager, or the loaders' own codes (the
  // file cannot be read, no loader knows the bytes, no buffer, a failed conversion).
  static constexpr int kLoadNoManager = 1;
  static constexpr int kLoadNoPixels = -4;  // DrawImageFile and SaveImage: nothing to draw into
  // What the loader callbacks share during one load: the create flags, and the palette handed
  // to the loader, applied once the picture is in.
  struct LoaderContext {
    int flags = 0;
    std::array<uint32_t, 256> palette{};
    bool paletteGiven = false;
  };
  // By name (from the image cache when it holds the picture), or with name null from the bytes
  // given. Words 1 and 2 receive the picture's placement offsets and the whole surface is
  // marked; a failed load leaves the surface released.
  [[nodiscard]] int Load(const char* name, const uint8_t* data, size_t size, int flags);
  // The same, asking for 8-bit paletted (or grey) output.
  [[nodiscard]] int Load8(const char* name, const uint8_t* data, size_t size, int flags);
  // The buffer a loader writes into; empty pixels when the surface cannot be made.
  ImageDestination CreateForLoader(int width, int height, int bits, bool hasAlpha,
                                   bool wantsPalette, LoaderContext& context);
  void ReleaseForLoader() { Release(); }
  // Decodes a picture and draws it at (x, y), clipped, keeping this surface's size and depth;
  // applyPalette gives an 8-bit surface the picture's palette. Blit's code when drawing fails.
  [[nodiscard]] int DrawImageFile(const char* name, const uint8_t* data, size_t size, int32_t x,
                                  int32_t y, bool applyPalette);
  // Hands the pixels to the manager's save: the loader of type (0: by the name's extension),
  // options as the loader's save mode. kLoadNoPixels, kLoadNoManager, or the manager's answer.
  [[nodiscard]] int SaveImage(const char* name, uint32_t type, int options);

  // The clipping of every blit that reads a source: leaves the clipped rectangles in
  // ClippedSource and ClippedDest. size null: unscaled; else steps receives the stretch
  // stepper. clip (optional) is first cut in place to this surface's clip rectangle.
  [[nodiscard]] int ClipBlit(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                             const Size* size, StretchStepper* steps, Rect* clip);
  // The same with the source mirrored left to right.
  [[nodiscard]] int ClipBlitMirrored(const Surface* source, int32_t x, int32_t y,
                                     const Rect* sourceRect, const Size* size,
                                     StretchStepper* steps, Rect* clip);
  // The clipping of the filtered stretch: steps receives 32.32 source steps per destination
  // pixel and row, and the fractions of the first drawn pixel's source position.
  [[nodiscard]] int ClipSmoothStretch(const Surface* source, int32_t x, int32_t y,
                                      const Rect* sourceRect, const Size* size,
                                      SmoothStepper* steps, Rect* clip);
  const Rect& ClippedSource() const { return clippedSource_; }
  const Rect& ClippedDest() const { return clippedDest_; }

  // ---- Pixel operations: blits and blends into this surface -------------------------------
  static constexpr int kOpDone = 0;
  static constexpr int kOpNoPixels = 1;
  static constexpr int kOpBadFormat = 2;
  static constexpr int kOpBadParameter = 3;
  static constexpr int kOpRuleNotCovering = 4;
  // Results: kOpDone (also when clipping leaves nothing), kOpNoPixels, kOpBadFormat (or a
  // failed pixel-library routine), kOpBadParameter, kOpRuleNotCovering. rect null: the
  // source's clip rectangle; size null: this surface's size; flip draws upside down; mirrored
  // forms take mode 0 left-right, 1 upside down (the flip), 2 both.
  [[nodiscard]] int Blit(const Surface* source, int32_t x, int32_t y, const Rect* rect, bool flip);
  [[nodiscard]] int StretchBlit(const Surface* source, const Size* size, int32_t x, int32_t y,
                                const Rect* rect, bool flip);
  [[nodiscard]] int BlitMirrored(int mode, const Surface* source, int32_t x, int32_t y,
                                 const Rect* rect);
  [[nodiscard]] int StretchBlitMirrored(int mode, const Surface* source, const Size* size,
                                        int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int AlphaBlit(const Surface* source, int32_t x, int32_t y, const Rect* rect,
                              bool flip);
  [[nodiscard]] int StretchAlphaBlit(const Surface* source, const Size* size, int32_t x, int32_t y,
                                     const Rect* rect, bool flip);
  [[nodiscard]] int AlphaBlitMirrored(int mode, const Surface* source, int32_t x, int32_t y,
                                      const Rect* rect);
  [[nodiscard]] int StretchAlphaBlitMirrored(int mode, const Surface* source, const Size* size,
                                             int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int CopyAlphaPlane(const Surface* source, int32_t x, int32_t y, const Rect* rect,
                                   bool flip);
  [[nodiscard]] int StretchCopyAlphaPlane(const Surface* source, const Size* size, int32_t x,
                                          int32_t y, const Rect* rect, bool flip);
  [[nodiscard]] int CopyAlphaPlaneMirrored(int mode, const Surface* source, int32_t x, int32_t y,
                                           const Rect* rect);
  [[nodiscard]] int StretchCopyAlphaPlaneMirrored(int mode, const Surface* source, const Size* size,
                                                  int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int BlitColor(const Surface* source, int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int StretchBlitColor(const Surface* source, const Size* size, int32_t x, int32_t y,
                                     const Rect* rect);
  [[nodiscard]] int BlitAlpha(const Surface* source, int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int StretchBlitAlpha(const Surface* source, const Size* size, int32_t x, int32_t y,
                                     const Rect* rect);
  [[nodiscard]] int OpacityBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                                const Rect* rect);
  [[nodiscard]] int StretchOpacityBlit(const Surface* source, int opacity, const Size* size,
                                       int32_t x, int32_t y, const Rect* rect);
  // Weights words: one weight per byte, blue in the low byte, then green, red, alpha.
  [[nodiscard]] int WeightedBlit(const Surface* source, uint32_t dstWeights, uint32_t srcWeights,
                                 int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int StretchWeightedBlit(const Surface* source, uint32_t dstWeights,
                                        uint32_t srcWeights, const Size* size, int32_t x, int32_t y,
                                        const Rect* rect);
  // mode 0 average, 1 add, 2 subtract; other modes draw nothing but mark the rectangle.
  [[nodiscard]] int BlendBlit(int mode, const Surface* source, int32_t x, int32_t y,
                              const Rect* rect);
  [[nodiscard]] int StretchBlendBlit(int mode, const Surface* source, const Size* size, int32_t x,
                                     int32_t y, const Rect* rect);
  [[nodiscard]] int AlphaAwareOpacityBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                                          const Rect* rect);
  [[nodiscard]] int SmoothStretchBlit(const Surface* source, const Size* size, int32_t x, int32_t y,
                                      const Rect* rect);
  [[nodiscard]] int BlitFromObject(const Surface* source, int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int StretchBlitFromObject(const Surface* source, const Size* size, int32_t x,
                                          int32_t y, const Rect* rect);
  // mode 0 blend toward the colour, 1 add, 2 subtract, weighted by ProductTable[opacity][m].
  [[nodiscard]] int MaskColorFill(int mode, const Surface* mask, int opacity, int red, int green,
                                  int blue, int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int AddBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                            const Rect* rect);
  [[nodiscard]] int SubtractBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                                 const Rect* rect);
  // mode 0 over, 1 add, 2 subtract, weighted by the source alpha times the opacity.
  [[nodiscard]] int AlphaOpacityBlit(int mode, const Surface* source, int opacity, int32_t x,
                                     int32_t y, const Rect* rect);
  [[nodiscard]] int StretchAlphaOpacityBlit(int mode, const Surface* source, int opacity,
                                            const Size* size, int32_t x, int32_t y,
                                            const Rect* rect);
  [[nodiscard]] int AlphaBlitOntoAlpha(const Surface* source, int opacity, int32_t x, int32_t y,
                                       const Rect* rect);
  [[nodiscard]] int StretchAlphaBlitOntoAlpha(const Surface* source, int opacity, const Size* size,
                                              int32_t x, int32_t y, const Rect* rect);
  // progress 0..512, ramp width 1..511; rule null: the source alpha is the rule.
  [[nodiscard]] int RuleBlit(const Surface* source, const Surface* rule, int opacity, int progress,
                             int rampWidth, int32_t x, int32_t y, const Rect* rect);
  [[nodiscard]] int RuleAlphaBlit(const Surface* source, const Surface* rule, int opacity,
                                  int progress, int rampWidth, int32_t x, int32_t y,
                                  const Rect* rect);
  // radius 0..127 (larger is taken as 127, negative refused).
  [[nodiscard]] int BlurBlit(const Surface* source, int radius, int opacity, int32_t x, int32_t y,
                             const Rect* rect);
  [[nodiscard]] int BlurAlphaBlit(const Surface* source, int radius, int opacity, int32_t x,
                                  int32_t y, const Rect* rect);

  // ---- Quadrilateral mapping, rotation and zoom (points: top-left, top-right, bottom-left,
  // bottom-right; angles in 512ths of a turn; zoom 16.16) --------------------------------------
  // (The point type of the quad mapper is named here by its elaborated form: it is declared in
  // a header that includes this one.)
  [[nodiscard]] int QuadBlit(const Surface* source, const struct Point* quad,
                             const Rect* sourceRect, const Rect* clip);
  // QuadBlit weighted by the source alpha times the opacity.
  [[nodiscard]] int QuadOpacityBlit(const Surface* source, const Point* quad, int opacity,
                                    const Rect* sourceRect, const Rect* clip);
  [[nodiscard]] int BlitQuadToRect(const Surface* source, const Point* sourceQuad,
                                   const Rect* destRect, const Rect* clip);
  [[nodiscard]] int MapQuad(const Surface* source, const Point* destQuad, const Point* sourceQuad,
                            const Rect* clip, bool edgeFlag);
  [[nodiscard]] int MapQuadWithOpacity(const Surface* source, const Point* destQuad,
                                       const Point* sourceQuad, int opacity, const Rect* clip,
                                       bool edgeFlag);
  // anchor 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right, 4 centre.
  [[nodiscard]] int RotateZoomBlit(const Surface* source, int anchor, int32_t x, int32_t y,
                                   int angle, int32_t zoom, const Rect* sourceRect,
                                   const Rect* clip);
  [[nodiscard]] int RotateZoomOpacityBlit(const Surface* source, int anchor, int32_t x, int32_t y,
                                          int angle, int32_t zoom, int opacity,
                                          const Rect* sourceRect, const Rect* clip);

  // ---- Operations on a region (rect null: the clip rectangle) --------------------------------
  [[nodiscard]] int FillColorBlend(int red, int green, int blue, int opacity, const Rect* rect);
  [[nodiscard]] int AddColor(int red, int green, int blue, const Rect* rect);
  [[nodiscard]] int SubtractColor(int red, int green, int blue, const Rect* rect);
  [[nodiscard]] int Greyscale(const Rect* rect);
  [[nodiscard]] int ColorTone(int redMultiplier, int greenMultiplier, int blueMultiplier,
                              int redOffset, int greenOffset, int blueOffset, const Rect* rect);
  [[nodiscard]] int Invert(int mode, const Rect* rect);
  [[nodiscard]] int Blur(int mode, const Rect* rect);
  [[nodiscard]] int Mosaic(int blockSize, int anchor, const Rect* rect);
  // direction 0 across, 1 down.
  [[nodiscard]] int FillGradient(int direction, uint32_t startValue, uint32_t endValue,
                                 const Rect* rect);
  [[nodiscard]] bool ScaleAlpha(int level, const Rect* rect);
  [[nodiscard]] bool ToneAlpha(int multiplier, int offset, const Rect* rect);
  // level 0..510: darker below 255, lighter above. A 32-bit surface changes the pixels of the
  // region. An 8-bit surface changes its palette, whole surface only (a rect answers
  // kOpBadFormat): every level is computed from the palette as it was before the first change,
  // so 255 brings it back; setting the palette anew starts again from the new one.
  [[nodiscard]] int SetBrightness(int level, const Rect* rect);

  // ---- Operations that exist only as pixel-library routines ----------------------------------
  int LibOpLevel(uint32_t value, int level, int flag, const Rect* rect);
  int LibOpByte(int value, const Rect* rect);
  int LibBlitOpB(const Surface* source, int operation, int opacity, int extra, int32_t x, int32_t y,
                 const Rect* rect);
  [[nodiscard]] int LibStretchBlit(const Surface* source, int operation, int extra1, int opacity,
                                   int extra2, const Size* size, int32_t x, int32_t y,
                                   const Rect* rect);
  // Words passed through: nine, nine, four, ten and thirteen of them; the rule blend's picture,
  // which a 32-bit word cannot carry, is an argument of its own.
  [[nodiscard]] int LibAffineBlit(const Surface* source, const uint32_t* words);
  int LibBlitOpC(const Surface* source, const uint32_t* words);
  int LibOpFour(const uint32_t* words);
  int LibFilterA(const Rect* rect);
  int LibFilterB(const Rect* rect);
  bool LibFilterChoice(bool flag);
  bool LibFilterC(uint32_t value);
  bool LibFilterD(uint32_t value);
  int LibBlendA(const Surface* sourceA, const Surface* sourceB, const uint32_t* words);
  int LibBlendB(const Surface* sourceA, const Surface* sourceB, const Surface* rule,
                const uint32_t* words);

  // ---- Text drawn by a text renderer (null: the default renderer) ---------------------------
  static constexpr int kTextEmpty = 1;       // also no pixels (no device context for DrawTextGdi)
  static constexpr int kTextNoRenderer = 2;  // also a renderer of the wrong kind
  static constexpr int kTextNotCreated = 3;  // CreateFromText; DrawTextGdi: drawing failed
  static constexpr int kTextDrawFailed = 4;  // CreateFromText; DrawTextGdi: measuring failed
  // Makes a 32-bit image (flags as Create) just large enough for the text and draws it; a
  // drawing failure releases the image.
  [[nodiscard]] int CreateFromText(const char* text, TextRenderer* renderer, int flags);
  // Draw at the text origin (x, y): through the device context with a GDI renderer, through
  // the renderer's drawing with any renderer, or with an outline renderer. The last two answer
  // the renderer's failure plus kTextNoRenderer.
  [[nodiscard]] int DrawTextGdi(int32_t x, int32_t y, const char* text, TextRenderer* renderer);
  [[nodiscard]] int DrawTextWithRenderer(int32_t x, int32_t y, const char* text,
                                         TextRenderer* renderer);
  [[nodiscard]] int DrawTextOutline(int32_t x, int32_t y, const char* text, TextRenderer* renderer);

  void MarkDirty(const Rect& rect);
  DirtyRectList* GetDirtyList() const { return ownedDirty_.get(); }
  DirtyRectList* GetActiveDirtyList() const { return activeDirty_; }
  void SetActiveDirtyList(DirtyRectList* list) { activeDirty_ = list; }
  bool IsChanged() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }
  bool HasAlpha() const { return hasAlpha_; }
  void SetHasAlpha(bool hasAlpha) { hasAlpha_ = hasAlpha; }

 private:
  struct ClipStart;
  [[nodiscard]] int StartClip(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                              Rect* clip, bool mirrored, ClipStart& out);
  [[nodiscard]] int Clip(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                         const Size* size, StretchStepper* steps, Rect* clip, bool mirrored);
  void MarkAll();
  // Marks the drawn box cut to the clip rectangle; the whole image when there is no box.
  void MarkText(const Rect* drawn);
  [[nodiscard]] int DrawTextAt(int32_t x, int32_t y, const char* text, TextRenderer* renderer,
                               bool outlineOnly);

  // The 8-bit palette before the first brightness change; none until then.
  std::unique_ptr<uint32_t[]> brightnessBase_;
  bool hasAlpha_ = false;
  bool changed_ = false;
  std::unique_ptr<DirtyRectList> ownedDirty_;
  DirtyRectList* activeDirty_ = nullptr;
  std::vector<uint8_t*> rowTable_;
  Rect clippedSource_;
  Rect clippedDest_;
};

// Sets the alpha byte of every pixel of a 32-bit surface, keeping the colour; nothing without
// pixels or at another depth.
void SetSurfaceAlpha(DibSurface* surface, uint8_t alpha);

}  // namespace bw
