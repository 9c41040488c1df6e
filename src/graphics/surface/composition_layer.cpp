#include "graphics/surface/composition_layer.h"

#include <algorithm>
#include <atomic>

#include "common/gone_notice.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/rotated_bounds.h"
#include "host/gdi/memory_dc.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/surface/memory_surface.h"

namespace bw {

namespace {

// Switched at start-up or by tests, read on the thread that runs the frame; atomic.
std::atomic<bool> bandedRedraw{true};
std::atomic<bool> coalesceDirty{true};

constexpr int kTransformNone = 0;
constexpr int kTransformStretch = 1;
constexpr int kTransformRotation = 2;

bool Visible(const DisplayObject* object) {
  return object->IsVisible() && object->GetAlpha() != 0;
}

bool Meet(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

template <typename PlacedList>
bool AnyIn(const PlacedList& placed, const Rect& r) {
  for (const auto& object : placed) {
    if (Meet(object.rect, r)) return true;
  }
  return false;
}

// Draws the objects that reach r, those of the second list only with second.
template <typename PlacedList>
void DrawPlaced(const PlacedList& placed, ImageSurface* into, const Rect& r, bool second) {
  for (const auto& object : placed) {
    // An object that cannot draw leaves its area as it was.
    if ((second || !object.second) && Meet(object.rect, r)) (void)object.object->Draw(into, r);
  }
}

// What one more dirty rectangle costs beyond its area, counted in pixels redrawn: the redraw's
// fixed steps for it, and the cold start of each of its rows in the pictures read and written.
constexpr int64_t kRectPixels = 2048;
constexpr int64_t kRowPixels = 256;
constexpr int kFewRects = 8;

}  // namespace

void SetBandedRedraw(bool on) {
  bandedRedraw = on;
}
bool BandedRedraw() {
  return bandedRedraw;
}
void SetCoalesceDirty(bool on) {
  coalesceDirty = on;
}
bool CoalesceDirty() {
  return coalesceDirty;
}

int32_t BandHeight(int32_t width) {
  if (width < 40) return 128;
  if (width < 80) return 64;
  if (width < 160) return 32;
  if (width < 320) return 16;
  return 8;
}

std::vector<host::DdRect> DdRectsOf(const DirtyRectList& list) {
  std::vector<host::DdRect> out;
  if (const RectNode* node = list.Head()) {
    do {
      out.push_back({node->rect.left, node->rect.top, node->rect.right, node->rect.bottom});
      node = node->next;
    } while (node != list.Head());
  }
  return out;
}

CompositionLayer::CompositionLayer() : list_(this) {}

CompositionLayer::~CompositionLayer() {
  // First, while the list still stands: tasks that place sprites here go before it does.
  NotifyGone(this);
  if (second_) second_->SetLayer(nullptr);
  if (target_) target_->RemoveUser(this);
  if (picture_) picture_->RemoveUser(this);
  list_.Clear();
}

void CompositionLayer::DetachSurface(const Surface* surface) {
  // Both roles may be the same surface.
  if (surface == picture_) {
    picture_ = nullptr;
    work_.reset();
    transformKind_ = kTransformNone;
  }
  if (surface == target_) {
    target_ = nullptr;
    dirty_.Clear();
  }
}

int CompositionLayer::SetTarget(ImageSurface* surface, bool redrawAll) {
  if (!surface || !surface->GetPixels()) return kComposeNoTarget;
  if (target_ != surface) {
    if (target_ && target_ != picture_) target_->RemoveUser(this);
    if (surface != picture_) surface->AddUser(this);
    target_ = surface;
  }
  // A layer without a target has nothing to redraw.
  if (redrawAll) (void)InvalidateAll();
  return kComposeDone;
}

void CompositionLayer::SetSecondList(DisplayObjectList* list) {
  // A list handed on to another layer (a page exchange) keeps that layer.
  if (second_ && second_->GetLayer() == this) second_->SetLayer(nullptr);
  second_ = list;
  if (second_) second_->SetLayer(this);
}

void CompositionLayer::SetPicture(ImageSurface* picture) {
  if (picture_ == picture) return;
  if (picture_ && picture_ != target_) picture_->RemoveUser(this);
  if (picture && picture != target_) picture->AddUser(this);
  picture_ = picture;
}

bool CompositionLayer::SetBackgroundImage(ImageSurface* surface, int32_t x, int32_t y,
                                          bool redrawAll) {
  if (surface && !surface->GetPixels()) return false;
  if (surface) {
    anchorX_ = surface->GetWidth() >> 1;
    anchorY_ = surface->GetHeight() >> 1;
  }
  DropWorkSurface();
  SetPicture(surface);
  pictureX_ = x;
  pictureY_ = y;
  // A layer without a target has nothing to redraw.
  if (redrawAll) (void)InvalidateAll();
  return true;
}

void CompositionLayer::SetBackgroundRgb(int r, int g, int b, bool redrawAll) {
  SetBackgroundColor(uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF),
                     redrawAll);
}

void CompositionLayer::SetBackgroundColor(uint32_t color, bool redrawAll) {
  SetPicture(nullptr);
  DropWorkSurface();
  color_ = color;
  // A layer without a target has nothing to redraw.
  if (redrawAll) (void)InvalidateAll();
}

bool CompositionLayer::SetBackgroundAnchor(int mode, int32_t x, int32_t y) {
  if (!picture_) return false;
  const double w = picture_->GetWidth(), h = picture_->GetHeight();
  switch (mode) {
    case 0:
      anchorX_ = 0, anchorY_ = 0;
      break;
    case 1:
      anchorX_ = w, anchorY_ = 0;
      break;
    case 2:
      anchorX_ = 0, anchorY_ = h;
      break;
    case 3:
      anchorX_ = w, anchorY_ = h;
      break;
    case 4:
      anchorX_ = picture_->GetWidth() / 2, anchorY_ = picture_->GetHeight() / 2;
      break;
    default:
      anchorX_ = x, anchorY_ = y;
      break;
  }
  return true;
}

int CompositionLayer::CreateWorkSurface(bool recreate) {
  if (!target_) return kWorkNoTarget;
  if (work_ && !recreate && work_->GetWidth() == target_->GetWidth() &&
      work_->GetHeight() == target_->GetHeight()) {
    return 0;
  }
  auto made = std::make_unique<ImageSurface>();
  if (made->Create(target_->GetWidth(), target_->GetHeight(), target_->GetBitsPerPixel(),
                   kImagePlain) != kSurfaceDone) {
    return kWorkCreateFailed;
  }
  work_ = std::move(made);
  return 0;
}

void CompositionLayer::DropWorkSurface() {
  work_.reset();
  transformKind_ = kTransformNone;
  angle_ = 0;
  scale_ = 1.0;
}

int CompositionLayer::SetBackgroundStretch(int32_t x, int32_t y, int32_t width, int32_t height,
                                           const Rect* sourceRect) {
  if (!picture_) return kComposeBadDestination;
  if (int code = CreateWorkSurface(false); code != 0) return code;
  if (width < 1) width = target_->GetWidth();
  if (height < 1) height = target_->GetHeight();
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work_->Fill(color_, nullptr);
  const Size size{width, height};
  int result;
  if (picture_->GetBitsPerPixel() == 32 && work_->GetBitsPerPixel() == 32 && GetPixelLibrary()) {
    auto stretch = GetPixelLibrary()->Get<StretchRoutine>(kLibStretch);
    result = stretch && stretch(work_.get(), picture_, &size, x, y, sourceRect,
                                LibraryOperation(kLibCopy), 0, 255, 0) == 0
                 ? 0
                 : ImageSurface::kOpBadFormat;
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)work_->CopyPaletteFrom(picture_);
    result = surface_ops::CopyWithoutKey(work_.get(), picture_, &size, x, y, sourceRect);
  }
  transformKind_ = kTransformStretch;
  hasView_ = sourceRect != nullptr;
  if (sourceRect) view_ = *sourceRect;
  // A layer without a target has nothing to redraw.
  (void)InvalidateAll();
  return result;
}

int CompositionLayer::SetBackgroundRotation(int32_t x, int32_t y, int angle, double scale) {
  if (!picture_) return kComposeBadDestination;
  if (picture_->GetBitsPerPixel() != 32) return ImageSurface::kOpBadFormat;
  if (int code = CreateWorkSurface(false); code != 0) return code;
  RotatedCorners corners{};
  int32_t w = 0, h = 0;
  const RotatedBox box{&w, &h, nullptr, nullptr};
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work_->Fill(color_, nullptr);
  int result = 0;
  if (ComputeRotatedBounds(&corners, x - int32_t(anchorX_), y - int32_t(anchorY_), angle, scale,
                           picture_->GetWidth(), picture_->GetHeight(), anchorX_, anchorY_, box)) {
    const LibPoint points[3] = {{corners.point[0].x, corners.point[0].y},
                                {corners.point[1].x, corners.point[1].y},
                                {corners.point[2].x, corners.point[2].y}};
    const uint32_t extras[4] = {};
    auto affine = GetPixelLibrary() ? GetPixelLibrary()->Get<AffineRoutine>(kLibAffine) : nullptr;
    result = affine && affine(work_.get(), picture_, points, nullptr, LibraryOperation(kLibCopy), 0,
                              255, extras) == 0
                 ? 0
                 : ImageSurface::kOpBadFormat;
  } else {
    result = work_->Blit(picture_, x - int32_t(anchorX_), y - int32_t(anchorY_), nullptr, false);
  }
  transformKind_ = kTransformRotation;
  turnX_ = x;
  turnY_ = y;
  angle_ = angle;
  scale_ = scale;
  // A layer without a target has nothing to redraw.
  (void)InvalidateAll();
  return result;
}

bool CompositionLayer::GetStretchView(Rect* view) const {
  if (!work_ || transformKind_ != kTransformStretch || !hasView_) return false;
  if (view) *view = view_;
  return true;
}

bool CompositionLayer::GetRotation(int32_t* x, int32_t* y, int* angle, double* scale) const {
  if (!work_ || transformKind_ != kTransformRotation) return false;
  if (x) *x = turnX_;
  if (y) *y = turnY_;
  if (angle) *angle = angle_;
  if (scale) *scale = scale_;
  return true;
}

void CompositionLayer::GetBackground(ImageSurface** picture, int32_t* x, int32_t* y, int* r, int* g,
                                     int* b) const {
  if (picture) *picture = picture_;
  if (x) *x = pictureX_;
  if (y) *y = pictureY_;
  if (r) *r = int(color_ >> 16 & 0xFF);
  if (g) *g = int(color_ >> 8 & 0xFF);
  if (b) *b = int(color_ & 0xFF);
}

int CompositionLayer::SwapBackground(CompositionLayer* other, bool redrawBoth) {
  if (!other) return 1;
  ImageSurface* mine = picture_;
  ImageSurface* theirs = other->picture_;
  SetPicture(nullptr);
  other->SetPicture(nullptr);
  SetPicture(theirs);
  other->SetPicture(mine);
  std::swap(pictureX_, other->pictureX_);
  std::swap(pictureY_, other->pictureY_);
  std::swap(color_, other->color_);
  std::swap(work_, other->work_);
  std::swap(transformKind_, other->transformKind_);
  std::swap(angle_, other->angle_);
  std::swap(scale_, other->scale_);
  std::swap(anchorX_, other->anchorX_);
  std::swap(anchorY_, other->anchorY_);
  std::swap(view_, other->view_);
  std::swap(hasView_, other->hasView_);
  std::swap(turnX_, other->turnX_);
  std::swap(turnY_, other->turnY_);
  if (redrawBoth) {
    // A layer without a target has nothing to redraw.
    (void)InvalidateAll();
    (void)other->InvalidateAll();
  }
  return 0;
}

bool CompositionLayer::InvalidateRect(const Rect* rect) {
  if (!target_) return false;
  if (!rect) {
    dirty_.Add({0, 0, target_->GetWidth(), target_->GetHeight()});
    return true;
  }
  Rect r = *rect;
  if (!target_->ClipToClipRect(&r)) return false;
  dirty_.Add(r);
  return true;
}

bool CompositionLayer::InvalidateClippedRect(const Rect& rect) {
  if (!target_) return false;
  dirty_.Add(rect);
  return true;
}

int CompositionLayer::InvalidateAll() {
  if (!target_) return 1;
  for (DisplayObjectList* list : {&list_, second_}) {
    if (!list) continue;
    for (DisplayObjectList::Node& node : list->Nodes()) {
      if (Visible(node.object)) {
        node.object->SetChanged(true);
        node.drawn.left = DisplayObjectList::kNoRect;
      }
    }
  }
  dirty_.Clear();
  dirty_.Add({0, 0, target_->GetWidth(), target_->GetHeight()});
  return 0;
}

void CompositionLayer::DiscardDirty() {
  for (DisplayObjectList* list : {&list_, second_}) {
    if (!list) continue;
    for (DisplayObjectList::Node& node : list->Nodes()) node.object->SetChanged(false);
  }
  dirty_.Clear();
}

void CompositionLayer::CollectChanges(const DisplayObjectList::Node** lastOwn,
                                      const DisplayObjectList::Node** lastSecond) {
  changed_.clear();
  for (DisplayObjectList* list : {&list_, second_}) {
    if (!list) continue;
    for (DisplayObjectList::Node& node : list->Nodes()) {
      if (!node.object->IsChanged()) continue;
      if (node.drawn.left != DisplayObjectList::kNoRect) changed_.push_back(node.drawn);
      Rect r;
      node.object->GetRect(&r);
      node.object->SetChanged(false);
      if (target_ && target_->ClipToClipRect(&r)) {
        changed_.push_back(r);
        node.drawn = r;
      } else {
        node.drawn.left = DisplayObjectList::kNoRect;
      }
    }
  }
  AddChanged();
  if (lastOwn) *lastOwn = list_.IsEmpty() ? nullptr : &list_.Nodes().back();
  if (lastSecond) *lastSecond = !second_ || second_->IsEmpty() ? nullptr : &second_->Nodes().back();
  if (CoalesceDirty()) dirty_.Coalesce();
}

void CompositionLayer::DrawBackground(ImageSurface* into, const Rect& r) {
  if (noBackground_) return;
  const ImageSurface* source = work_ ? work_.get() : picture_;
  if (source) {
    const int32_t ox = work_ ? 0 : pictureX_, oy = work_ ? 0 : pictureY_;
    const Rect from{r.left + ox, r.top + oy, r.right + ox, r.bottom + oy};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)into->Blit(source, r.left, r.top, &from, false);
  } else if (into->GetBitsPerPixel() == 32) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)into->Fill(color_, &r);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)into->Fill(color_ >> 16 & 0xFF, &r);
  }
}

void CompositionLayer::Gather(std::vector<Placed>& placed, bool own, bool second, int filter,
                              uint32_t value) const {
  placed.clear();
  const auto gather = [&](const DisplayObjectList& list, bool isSecond) {
    for (auto it = list.Nodes().rbegin(); it != list.Nodes().rend(); ++it) {
      DisplayObject* object = it->object;
      if (!Visible(object)) continue;
      if (filter == kRenderTagEquals && object->GetTag() != value) continue;
      if (filter == kRenderTagDiffers && object->GetTag() == value) continue;
      Rect rect;
      object->GetRect(&rect);
      if (!rect.IsEmpty()) placed.push_back({rect, object, isSecond});
    }
  };
  if (own) gather(list_, false);
  if (second && second_) gather(*second_, true);
}

void CompositionLayer::AddChanged() {
  // Each rectangle cut into the list walks the nodes it may meet: hundreds of them scattered over
  // the picture (a rain of particles) cost more to list than to redraw, and MergeScattered would
  // replace them by their bounds anyway. Their fixed costs alone, which overlaps may count up to
  // twice, passing twice the bounds' area settles that before any is listed.
  if (changed_.size() >= size_t{kFewRects}) {
    Rect bounds = dirty_.Head() ? dirty_.Bounds() : changed_.front();
    int64_t fixed = 0;
    for (const Rect& r : changed_) {
      bounds = {std::min(bounds.left, r.left), std::min(bounds.top, r.top),
                std::max(bounds.right, r.right), std::max(bounds.bottom, r.bottom)};
      fixed += kRectPixels + kRowPixels * r.Height();
    }
    if (fixed > 2 * int64_t{bounds.Width()} * bounds.Height()) {
      dirty_.Clear();
      dirty_.Add(bounds);
      return;
    }
  }
  for (const Rect& r : changed_) dirty_.Add(r);
}

void CompositionLayer::MergeScattered() {
  if (dirty_.Count() < kFewRects) return;
  const RectNode* node = dirty_.Head();
  Rect bounds = node->rect;
  int64_t cost = 0;
  do {
    const Rect& r = node->rect;
    bounds = {std::min(bounds.left, r.left), std::min(bounds.top, r.top),
              std::max(bounds.right, r.right), std::max(bounds.bottom, r.bottom)};
    cost += int64_t{r.Width()} * r.Height() + kRectPixels + kRowPixels * r.Height();
    node = node->next;
  } while (node != dirty_.Head());
  if (cost <= int64_t{bounds.Width()} * bounds.Height()) return;
  dirty_.Clear();
  dirty_.Add(bounds);
}

int CompositionLayer::Compose(DirtyRectList* out, const Rect* clip, int32_t dx, int32_t dy,
                              RectSink sink, void* context) {
  if (suspended_) return kComposeDone;
  if (!target_) return kComposeNoTarget;
  CollectChanges(nullptr, nullptr);
  const Rect outClip = clip ? *clip : Rect{0, 0, target_->GetWidth(), target_->GetHeight()};
  if (!dirty_.Head()) return kComposeNothingDirty;
  MergeScattered();
  std::vector<Placed> placed;
  Gather(placed, !skipOwn_, !skipSecond_, kRenderAll, 0);
  const RectNode* node = dirty_.Head();
  do {
    const Rect r = node->rect;
    // Without an object over it a rectangle is one blit of the background.
    const int32_t band = BandedRedraw() && AnyIn(placed, r) ? BandHeight(r.Width()) : r.Height();
    for (int32_t top = r.top; top < r.bottom; top += band) {
      const Rect part{r.left, top, r.right, std::min(r.bottom, top + band)};
      DrawBackground(target_, part);
      DrawPlaced(placed, target_, part, true);
      if (sink) sink(context, part);
    }
    if (out) {
      Rect moved{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
      if (IntersectRects(&moved, moved, outClip)) out->Add(moved);
    }
    node = node->next;
  } while (node != dirty_.Head());
  dirty_.Clear();
  return kComposeDone;
}

bool CompositionLayer::StartRows(bool withSecond) {
  if (suspended_ || !target_) return false;
  DisplayObjectList* second = second_;
  if (!withSecond) second_ = nullptr;
  CollectChanges(nullptr, nullptr);
  int64_t bytes = 0;
  if (const RectNode* node = dirty_.Head()) {
    do {
      bytes += int64_t{node->rect.Width()} * node->rect.Height() * (target_->GetBitsPerPixel() / 8);
      node = node->next;
    } while (node != dirty_.Head());
  }
  // What the cache holds anyway is drawn at once: cut into the caller's bands it would only cost
  // more passes over the lists.
  constexpr int64_t kCachedBytes = int64_t{1} << 20;
  const bool byRows = bytes > kCachedBytes;
  // A frame that is not shown is drawn again on the next turn.
  if (!byRows && bytes > 0) (void)Compose(nullptr, nullptr, 0, 0, nullptr, nullptr);
  if (byRows) Gather(rowsPlaced_, !skipOwn_, !skipSecond_, kRenderAll, 0);
  second_ = second;
  return byRows;
}

void CompositionLayer::RedrawRows(int32_t top, int32_t bottom, bool withSecond) {
  const Rect rows{INT32_MIN, top, INT32_MAX, bottom};
  const RectNode* node = dirty_.Head();
  if (!node) return;
  do {
    Rect part;
    if (IntersectRects(&part, node->rect, rows)) {
      DrawBackground(target_, part);
      DrawPlaced(rowsPlaced_, target_, part, withSecond);
    }
    node = node->next;
  } while (node != dirty_.Head());
}

void CompositionLayer::FinishRows() {
  dirty_.Clear();
  rowsPlaced_.clear();
}

int CompositionLayer::AttachMovie(DisplayObject* movie, uint32_t priority) {
  return list_.Add(movie, priority, 0);
}

void CompositionLayer::DetachMovie(DisplayObject* movie, bool redrawWhole) {
  list_.Remove(movie);
  // A layer without a target has nothing to redraw.
  if (redrawWhole) (void)InvalidateAll();
}

int CompositionLayer::RedrawDirty(DirtyRectList* out, const Rect* clip, int32_t dx, int32_t dy) {
  return Compose(out, clip, dx, dy, nullptr, nullptr);
}

int CompositionLayer::RenderTo(ImageSurface* destination, int filter, uint32_t value,
                               bool includeSecond) {
  if (!destination || !destination->GetPixels()) return kComposeBadDestination;
  if (!target_ || destination->GetWidth() != target_->GetWidth() ||
      destination->GetHeight() != target_->GetHeight()) {
    return kComposeSizeDiffers;
  }
  const Rect whole{0, 0, destination->GetWidth(), destination->GetHeight()};
  std::vector<Placed> placed;
  Gather(placed, true, includeSecond && !skipSecond_, filter, value);
  const int32_t band = BandedRedraw() ? BandHeight(whole.Width()) : whole.Height();
  for (int32_t top = 0; top < whole.bottom; top += band) {
    const Rect part{0, top, whole.right, std::min(whole.bottom, top + band)};
    DrawBackground(destination, part);
    DrawPlaced(placed, destination, part, true);
  }
  return kComposeDone;
}

namespace {

// Copies the composed bands to a device context and collects what that changed there: the
// bands of one rectangle whose written rows run on, as one rectangle.
struct DcCopy {
  host::MemoryDc* from;
  host::MemoryDc* to;
  int32_t dx, dy;
  DirtyRectList* changed;
  Rect run{};

  void Flush() {
    if (changed && run.top < run.bottom) changed->Add(run);
    run = {};
  }
};

// Rows the context already holds are left alone: a picture composed again as it was changes
// nothing on its way out.
void CopyToDc(void* context, const Rect& r) {
  auto* copy = static_cast<DcCopy*>(context);
  int first = 0, end = 0;
  const int32_t left = r.left + copy->dx, right = r.right + copy->dx;
  // Only the rows it wrote count: a copy that wrote none adds no run.
  (void)host::BitBltChanged(*copy->to, left, r.top + copy->dy, r.Width(), r.Height(), *copy->from,
                            r.left, r.top, &first, &end);
  if (first >= end) return;
  Rect& run = copy->run;
  if (run.top < run.bottom && run.left == left && run.right == right && run.bottom == first) {
    run.bottom = end;
    return;
  }
  copy->Flush();
  run = Rect{left, first, right, end};
}

struct SurfaceCopy {
  const ImageSurface* from;
  int format;
  uint8_t* pixels;
  ptrdiff_t pitch;
  int32_t width, height;
  int32_t dx, dy;
};

void CopyToSurface(void* context, const Rect& r) {
  auto* copy = static_cast<SurfaceCopy*>(context);
  Rect to{r.left + copy->dx, r.top + copy->dy, r.right + copy->dx, r.bottom + copy->dy};
  if (!IntersectRects(&to, to, Rect{0, 0, copy->width, copy->height})) return;
  const int32_t sx = to.left - copy->dx, sy = to.top - copy->dy;
  const uint8_t* row = copy->from->GetRowPointer(sy);
  if (!row) return;
  const ptrdiff_t srcPitch = copy->from->GetPitch();
  if (copy->from->GetBitsPerPixel() == 32) {
    Rows32ToSurface(copy->format, copy->pixels, to.left, to.top, copy->pitch,
                    reinterpret_cast<const uint32_t*>(row) + sx, srcPitch, to.Width(), to.Height());
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)PaletteRowsToSurface(copy->format, copy->pixels, to.left, to.top, copy->pitch, row + sx,
                               srcPitch, to.Width(), to.Height(), copy->from->GetPalette());
  }
}

}  // namespace

int CompositionLayer::RedrawToDc(host::MemorySurface* surface, int32_t dx, int32_t dy,
                                 host::HWND window) {
  if (!target_) return kComposeNoTarget;
  if (window) {
    // The window shows whole frames: compose, then hand the picture over once.
    host::PresentationSink* sink = host::GetPresentationSink(window);
    if (!sink || target_->GetBitsPerPixel() != 32) return kComposeNoDc;
    const int result = RedrawDirty(nullptr, nullptr, 0, 0);
    if (result != kComposeDone) return result;
    // A frame the sink has no memory to copy is skipped: the next one shows.
    (void)sink->HandOver(target_->GetPixels(), target_->GetWidth(), target_->GetHeight(),
                         target_->GetPitch(), host::ScaleFilter::kNearest);
    return kComposeDone;
  }
  if (!surface || !target_->GetDc()) return kComposeNoDc;
  host::MemoryDc* dc = nullptr;
  if (surface->GetDC(&dc) != host::kDdOk || !dc) return kComposeNoDc;
  DirtyRectList drawn;
  const int result = RedrawIntoDc(dc, dx, dy, &drawn);
  if (surface->ReleaseDC(dc, DdRectsOf(drawn)) != host::kDdOk) return kComposeDcNotReturned;
  return result;
}

int CompositionLayer::RedrawIntoDc(host::MemoryDc* dc, int32_t dx, int32_t dy,
                                   DirtyRectList* drawn) {
  if (!target_) return kComposeNoTarget;
  if (!dc || !target_->GetDc()) return kComposeNoDc;
  DcCopy copy{target_->GetDc(), dc, dx, dy, drawn};
  const int result = Compose(nullptr, nullptr, 0, 0, CopyToDc, &copy);
  copy.Flush();
  return result;
}

int CompositionLayer::RedrawToSurface(host::MemorySurface* surface, int32_t dx, int32_t dy) {
  if (!target_) return kComposeNoTarget;
  if (!surface) return kComposeNoDc;
  if (target_->GetBitsPerPixel() == 8 && !target_->GetPalette()) {
    uint32_t grey[256];
    for (uint32_t i = 0; i < 256; ++i) grey[i] = i << 16 | i << 8 | i;
    if (target_->SetPalette(grey, 256, 0) != 0) return kComposeNoPalette;
  }
  const int format = ClassifyPixelFormat(surface, nullptr, nullptr);
  host::DdSurfaceDesc desc;
  if (surface->Lock(&desc) != host::kDdOk) return kComposeNoDc;
  SurfaceCopy copy{
      target_, format, desc.surface, desc.pitch, int32_t(desc.width), int32_t(desc.height), dx, dy};
  DirtyRectList drawn;
  const Rect bounds{0, 0, int32_t(desc.width), int32_t(desc.height)};
  const int result = Compose(&drawn, &bounds, dx, dy, CopyToSurface, &copy);
  // Unlocking what was locked just above cannot fail.
  (void)surface->Unlock(DdRectsOf(drawn));
  return result;
}

}  // namespace bw
