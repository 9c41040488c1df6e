// Composes a background and the display objects of a list (plus a second list kept elsewhere)
// onto a target surface, redrawing only the rectangles that changed.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/image_surface.h"

#include "host/messages.h"
#include "host/surface/memory_surface.h"

namespace bw::host {
class MemoryDc;
}  // namespace bw::host

namespace bw {

constexpr int kComposeDone = 0;
constexpr int kComposeNoTarget = 1;
constexpr int kComposeNothingDirty = -1;
constexpr int kComposeNoDc = 1;
constexpr int kComposeDcNotReturned = 2;
constexpr int kComposeNoPalette = 2;
constexpr int kComposeBadDestination = 1;
constexpr int kComposeSizeDiffers = 2;
constexpr int kWorkNoTarget = 1;
constexpr int kWorkCreateFailed = 2;

// RenderTo filters.
constexpr int kRenderAll = 0;
constexpr int kRenderTagEquals = 1;
constexpr int kRenderTagDiffers = 2;

// Process-wide switches; both set by default.
void SetBandedRedraw(bool on);
bool BandedRedraw();
void SetCoalesceDirty(bool on);
bool CoalesceDirty();

// Rows per band for a rectangle of this width.
int32_t BandHeight(int32_t width);

// The list's rectangles as a DirectDraw surface is told what was drawn into it.
std::vector<host::DdRect> DdRectsOf(const DirtyRectList& list);

class CompositionLayer : private SurfaceUser {
 public:
  CompositionLayer();
  virtual ~CompositionLayer();
  CompositionLayer(const CompositionLayer&) = delete;
  CompositionLayer& operator=(const CompositionLayer&) = delete;

  [[nodiscard]] int SetTarget(ImageSurface* surface, bool redrawAll);
  ImageSurface* GetTarget() const { return target_; }
  DisplayObjectList& GetList() { return list_; }
  DisplayObjectList* GetSecondList() const { return second_; }
  void SetSecondList(DisplayObjectList* list);

  [[nodiscard]] bool SetBackgroundImage(ImageSurface* surface, int32_t x, int32_t y,
                                        bool redrawAll);
  void SetBackgroundRgb(int r, int g, int b, bool redrawAll);
  void SetBackgroundColor(uint32_t color, bool redrawAll);
  bool SetBackgroundAnchor(int mode, int32_t x, int32_t y);
  [[nodiscard]] int SetBackgroundStretch(int32_t x, int32_t y, int32_t width, int32_t height,
                                         const Rect* sourceRect);
  [[nodiscard]] int SetBackgroundRotation(int32_t x, int32_t y, int angle, double scale);
  [[nodiscard]] int CreateWorkSurface(bool recreate);
  void DropWorkSurface();
  // True while the picture is shown stretched or turned through the work surface.
  bool IsTransformed() const { return work_ != nullptr; }
  void GetBackground(ImageSurface** picture, int32_t* x, int32_t* y, int* r, int* g, int* b) const;
  [[nodiscard]] int SwapBackground(CompositionLayer* other, bool redrawBoth);

  bool InvalidateRect(const Rect* rect);
  bool InvalidateClippedRect(const Rect& rect);
  [[nodiscard]] int InvalidateAll();
  void DiscardDirty();
  void CollectChanges(const DisplayObjectList::Node** lastOwn,
                      const DisplayObjectList::Node** lastSecond);
  [[nodiscard]] int RedrawDirty(DirtyRectList* out, const Rect* clip, int32_t dx, int32_t dy);
  // For a caller that uses the picture a band of rows at a time, top to bottom, each right after
  // it is drawn, so that the band is still in the cache: StartRows collects what changed and
  // answers whether it is left for RedrawRows, which redraws what is dirty within rows
  // top..bottom - 1; FinishRows forgets it once every row was redrawn. What changed in too small
  // an area to leave the cache is redrawn by StartRows at once (false). Without the second list,
  // that list is neither collected nor drawn.
  bool StartRows(bool withSecond);
  void RedrawRows(int32_t top, int32_t bottom, bool withSecond);
  void FinishRows();
  [[nodiscard]] int RenderTo(ImageSurface* destination, int filter, uint32_t value,
                             bool includeSecond);
  // Each composed rectangle goes on to the DirectDraw surface's context, or to the window.
  [[nodiscard]] int RedrawToDc(host::MemorySurface* surface, int32_t dx, int32_t dy,
                               host::HWND window);
  [[nodiscard]] int RedrawToSurface(host::MemorySurface* surface, int32_t dx, int32_t dy);
  // drawn, when given, receives the rows the copy wrote in the context: those that differ
  // from what the context shows (the picture drawn before), and rows between them.
  [[nodiscard]] int RedrawIntoDc(host::MemoryDc* dc, int32_t dx, int32_t dy,
                                 DirtyRectList* drawn = nullptr);

  const DirtyRectList& Dirty() const { return dirty_; }
  void SetSuspended(bool on) { suspended_ = on; }
  void SetNoBackground(bool on) { noBackground_ = on; }
  void SetSkipOwn(bool on) { skipOwn_ = on; }
  void SetSkipSecond(bool on) { skipSecond_ = on; }
  bool SkipsOwn() const { return skipOwn_; }
  bool SkipsSecond() const { return skipSecond_; }
  // Lists a movie's display object at priority: its new frames mark it changed, as any object's
  // change does. The list's Add result.
  [[nodiscard]] int AttachMovie(DisplayObject* movie, uint32_t priority);
  // Takes it out of the list again; with redrawWhole the whole layer is drawn anew.
  void DetachMovie(DisplayObject* movie, bool redrawWhole);

  // What the layer effects start from and draw into.
  ImageSurface* GetWorkSurface() const { return work_.get(); }
  uint32_t GetFillColor() const { return color_; }
  // False unless the picture is shown stretched; view null when none was given.
  bool GetStretchView(Rect* view) const;
  // False unless the picture is shown turned.
  bool GetRotation(int32_t* x, int32_t* y, int* angle, double* scale) const;

 private:
  using RectSink = void (*)(void* context, const Rect& rect);
  void DetachSurface(const Surface* surface) override;
  void SetPicture(ImageSurface* picture);
  void DrawBackground(ImageSurface* into, const Rect& r);
  struct Placed {
    Rect rect;
    DisplayObject* object;
    bool second;
  };
  // The objects a redraw draws, in drawing order, with where each lies: gathered once a redraw,
  // so that each rectangle or band draws only the objects that reach it.
  void Gather(std::vector<Placed>& placed, bool own, bool second, int filter, uint32_t value) const;
  // Many small rectangles scattered over the picture cost more than their area: each starts cold
  // rows in every picture the redraw reads and writes. Their bounds replace them when redrawing
  // those costs less.
  void MergeScattered();
  // Lists the rectangles CollectChanges gathered in changed_.
  void AddChanged();
  // Composes every dirty rectangle (band by band), handing each finished one to sink.
  [[nodiscard]] int Compose(DirtyRectList* out, const Rect* clip, int32_t dx, int32_t dy,
                            RectSink sink, void* context);

  ImageSurface* target_ = nullptr;
  DisplayObjectList list_;
  DisplayObjectList* second_ = nullptr;
  DirtyRectList dirty_;
  ImageSurface* picture_ = nullptr;
  int32_t pictureX_ = 0;
  int32_t pictureY_ = 0;
  uint32_t color_ = 0;
  bool suspended_ = false;
  bool noBackground_ = false;
  bool skipOwn_ = false;
  bool skipSecond_ = false;
  std::unique_ptr<ImageSurface> work_;
  int transformKind_ = 0;
  int angle_ = 0;
  double scale_ = 1.0;
  double anchorX_ = 0;
  double anchorY_ = 0;
  Rect view_{};
  bool hasView_ = false;
  int32_t turnX_ = 0;
  int32_t turnY_ = 0;
  std::vector<Placed> rowsPlaced_;  // from StartRows to FinishRows
  std::vector<Rect> changed_;       // CollectChanges' rectangles, kept for their memory
};

}  // namespace bw
