#include "graphics/surface/pixel_library.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/lerp.h"
#include "graphics/pixel/pixel_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "graphics/surface/affine_mapper.h"
#include "graphics/surface/image_surface_ops.h"
#include "host/host_path.h"
#include "host/module.h"
#include "host/trust.h"
#include "platform/mmx_flag.h"

namespace bw {

using surface_ops::LibraryBypass;

namespace {

// Set on the main thread at start-up (tests swap it), read on the thread that runs the frame;
// atomic.
std::atomic<PixelLibrary*> published{nullptr};

// Static and trivially destroyed: a frame drawn while the process ends may still read it.
const MultiplyTable& EngineMultiplyTable() {
  static const struct Filled {
    Filled() {
      for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) rows[a][b] = uint8_t(a * b / 255);
      }
    }
    MultiplyTable rows;
  } table;
  return table.rows;
}

// ---- The built-in routines --------------------------------------------------------------

// The built-in table's touched rectangle (position 1), which every routine writes.
Rect& TouchedRect();

constexpr int kRoutineDone = 0;
constexpr int kRoutineRefused = 1;

uint32_t BlendOf(uint32_t operation) {
  return operation & 0xFF;
}
uint32_t MirrorOf(uint32_t operation) {
  return operation >> 8 & 0xFF;
}
bool ValidOperation(uint32_t operation, bool mirrorAllowed) {
  const uint32_t mirror = MirrorOf(operation);
  if (operation >> 16 != 0 || BlendOf(operation) > kLibSubtract) return false;
  if (mirror == 0) return true;
  return mirrorAllowed && (mirror & ~(kLibMirrorSpriteFlag | 3u)) == 0;
}

// What the blit clip of these arguments leaves, for the touched rectangle.
Rect ClippedArea(ImageSurface* target, const Surface* source, const Size* size, int32_t x,
                 int32_t y, const Rect* rect) {
  StretchStepper st;
  if (target->ClipBlit(source, x, y, rect, size, size ? &st : nullptr, nullptr) != kClipDraw) {
    return {};
  }
  return target->ClippedDest();
}

int Finish(int result, const Rect& area) {
  TouchedRect() = result == ImageSurface::kOpDone ? area : Rect{};
  return result == ImageSurface::kOpDone ? kRoutineDone : kRoutineRefused;
}

bool Fill32(ImageSurface* target, uint32_t argb, const Rect* rect) {
  if (!target || target->GetBitsPerPixel() != 32) return false;
  TouchedRect() = {};
  return target->DibSurface::Fill(argb, rect, &TouchedRect());
}

bool Fill8(ImageSurface* target, uint32_t index, const Rect* rect) {
  if (!target || target->GetBitsPerPixel() != 8) return false;
  TouchedRect() = {};
  return target->DibSurface::Fill(index & 0xFF, rect, &TouchedRect());
}

bool BlendColor(ImageSurface* target, uint32_t rgb, int opacity, const Rect* rect) {
  if (!target) return false;
  LibraryBypass own;
  Rect area = rect ? *rect : *target->GetClipRectPtr();
  if (!target->ClipToClipRect(&area)) area = {};
  const int result = target->FillColorBlend(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF),
                                            int(rgb & 0xFF), opacity, rect);
  TouchedRect() = result == ImageSurface::kOpDone ? area : Rect{};
  return result == ImageSurface::kOpDone;
}

int Blend(ImageSurface* target, const Surface* source, int32_t x, int32_t y, const Rect* rect,
          uint32_t operation, int opacity, uint32_t) {
  if (!target || !ValidOperation(operation, false)) return kRoutineRefused;
  LibraryBypass own;
  const Rect area = ClippedArea(target, source, nullptr, x, y, rect);
  int result = ImageSurface::kOpBadParameter;
  switch (BlendOf(operation)) {
    case kLibOpacity:
      result = target->OpacityBlit(source, opacity, x, y, rect);
      break;
    case kLibCopy:
      result = surface_ops::CopyWithoutKey(target, source, nullptr, x, y, rect);
      break;
    case kLibAlpha:
      result = target->AlphaOpacityBlit(0, source, opacity, x, y, rect);
      break;
    case kLibOntoAlpha:
      result = target->AlphaBlitOntoAlpha(source, opacity, x, y, rect);
      break;
    case kLibAdd:
      result = target->AddBlit(source, opacity, x, y, rect);
      break;
    case kLibSubtract:
      result = target->SubtractBlit(source, opacity, x, y, rect);
      break;
  }
  return Finish(result, area);
}

int Stretch(ImageSurface* target, const Surface* source, const Size* size, int32_t x, int32_t y,
            const Rect* rect, uint32_t operation, uint32_t, int opacity, uint32_t) {
  if (!target || !ValidOperation(operation, true)) return kRoutineRefused;
  const uint32_t blend = BlendOf(operation), mirror = MirrorOf(operation) & 3;
  LibraryBypass own;
  const Size to = size ? *size : Size{target->GetWidth(), target->GetHeight()};
  const Rect area = ClippedArea(target, source, &to, x, y, rect);
  // The surfaces' mirrored modes: 0 left-right, 1 upside down, 2 both.
  const int mode = mirror == kLibMirrorLeftRight ? 0 : mirror == kLibMirrorUpsideDown ? 1 : 2;
  int result = ImageSurface::kOpBadParameter;
  if (blend == kLibCopy) {
    result = mirror == 0 ? surface_ops::CopyWithoutKey(target, source, &to, x, y, rect)
                         : target->StretchBlitMirrored(mode, source, &to, x, y, rect);
  } else if (mirror == 0) {
    // Only copies are mirrored; the blends refuse a mirror.
    switch (blend) {
      case kLibOpacity:
        result = target->StretchOpacityBlit(source, opacity, &to, x, y, rect);
        break;
      case kLibAlpha:
        result = target->StretchAlphaOpacityBlit(0, source, opacity, &to, x, y, rect);
        break;
      case kLibOntoAlpha:
        result = target->StretchAlphaBlitOntoAlpha(source, opacity, &to, x, y, rect);
        break;
    }
  }
  return Finish(result, area);
}

// The box of the parallelogram's pixels that the target's clip rectangle leaves; false for none.
bool AffineBox(const ImageSurface* target, const LibPoint points[3], Rect* box) {
  const double xs[4] = {points[0].x, points[1].x, points[2].x,
                        points[1].x + points[2].x - points[0].x};
  const double ys[4] = {points[0].y, points[1].y, points[2].y,
                        points[1].y + points[2].y - points[0].y};
  const auto [left, right] = std::minmax_element(xs, xs + 4);
  const auto [top, bottom] = std::minmax_element(ys, ys + 4);
  const Rect& clip = *target->GetClipRectPtr();
  // Far outside, the clip decides; the clamp keeps the conversions in range.
  auto edge = [](double v, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp(v, double(low), double(high)));
  };
  *box = {edge(std::floor(*left), clip.left, clip.right),
          edge(std::floor(*top), clip.top, clip.bottom),
          edge(std::ceil(*right) + 1, clip.left, clip.right),
          edge(std::ceil(*bottom) + 1, clip.top, clip.bottom)};
  return !box->IsEmpty();
}

// Alpha-over onto the target's own alpha: the picture is mapped into a clear scratch over the
// shape's box and laid onto the target from there, so a clear sample acts as AlphaBlitOntoAlpha
// has it act.
int AffineOntoAlpha(ImageSurface* target, const ImageSurface* from, const LibPoint points[3],
                    const Rect& r, uint32_t mirror, int opacity) {
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) return kAffineBadArguments;
  }
  Rect box;
  if (!AffineBox(target, points, &box)) return kAffineDone;
  ImageSurface scratch;
  if (scratch.Create(box.Width(), box.Height(), 32, kImagePlain) != kSurfaceDone)
    return kAffineBadArguments;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)scratch.Fill(0, nullptr);
  LibPoint shifted[3];
  for (int i = 0; i < 3; ++i) shifted[i] = {points[i].x - box.left, points[i].y - box.top};
  Rect drawn;
  if (int result = AffineTextureMap(&scratch, from, shifted, r, mirror, &drawn);
      result != kAffineDone || drawn.IsEmpty()) {
    return result;
  }
  if (target->AlphaBlitOntoAlpha(&scratch, opacity, box.left + drawn.left, box.top + drawn.top,
                                 &drawn) != ImageSurface::kOpDone) {
    return kAffineBadArguments;
  }
  TouchedRect() = {box.left + drawn.left, box.top + drawn.top, box.left + drawn.right,
                   box.top + drawn.bottom};
  return kAffineDone;
}

int Affine(ImageSurface* target, const Surface* source, const LibPoint points[3], const Rect* rect,
           uint32_t operation, uint32_t, int opacity, const uint32_t*) {
  TouchedRect() = {};
  if (!target || !source || !points || !ValidOperation(operation, true)) return kRoutineRefused;
  const uint32_t blend = BlendOf(operation), mirror = MirrorOf(operation) & 3;
  const bool copy = blend == kLibCopy || (blend == kLibOpacity && (opacity & 0xFF) == 255);
  if (!copy && blend != kLibAlpha && blend != kLibOpacity && blend != kLibOntoAlpha)
    return kRoutineRefused;
  const auto* from = dynamic_cast<const ImageSurface*>(source);
  if (!from) return kRoutineRefused;
  const Rect r = rect ? *rect : *source->GetClipRectPtr();
  int result = kAffineDone;
  if (blend == kLibOntoAlpha) {
    LibraryBypass own;
    result = AffineOntoAlpha(target, from, points, r, mirror, opacity & 0xFF);
  } else if (copy) {
    result = AffineTextureMap(target, from, points, r, mirror, &TouchedRect());
  } else if (blend == kLibOpacity) {
    if ((opacity & 0xFF) != 0) {
      result = (MmxEnabled() ? AffineTextureMapFadedMmx : AffineTextureMapFaded)(
          target, from, points, r, mirror, opacity, &TouchedRect());
    }
  } else {
    result = (MmxEnabled() ? AffineTextureMapOpacityMmx : AffineTextureMapOpacity)(
        target, from, points, r, mirror, ProductTable[opacity & 0xFF], &TouchedRect());
  }
  return result == kAffineDone ? kRoutineDone : kRoutineRefused;
}

// The area lies inside a 32-bit surface with pixels.
bool Covers(const ImageSurface* s, int32_t x, int32_t y, int32_t w, int32_t h) {
  return s && s->GetPixels() && s->GetBitsPerPixel() == 32 && x >= 0 && y >= 0 &&
         int64_t{x} + w <= s->GetWidth() && int64_t{y} + h <= s->GetHeight();
}
uint32_t* Row32(const ImageSurface* s, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(s->GetPixels() + ptrdiff_t{y} * s->GetPitch()) + x;
}
bool ValidArea(ImageSurface* target, const ImageSurface* oldImage, const ImageSurface* newImage,
               const LibArea& a) {
  return a.width > 0 && a.height > 0 && Covers(target, a.targetX, a.targetY, a.width, a.height) &&
         Covers(oldImage, a.oldX, a.oldY, a.width, a.height) &&
         Covers(newImage, a.newX, a.newY, a.width, a.height);
}

// Whether count pixels at a and at b share memory.
bool Overlap(const uint32_t* a, const uint32_t* b, int count) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  const uintptr_t bytes = uintptr_t(count) * 4;
  return x < y + bytes && y < x + bytes;
}
// The one-pass kernels read the old row and the new one as they write: they serve when the
// target is the old row or lies apart from both.
bool OnePass(const uint32_t* dst, const uint32_t* oldRow, const uint32_t* newRow, int count) {
  return !Overlap(dst, newRow, count) && (dst == oldRow || !Overlap(dst, oldRow, count));
}

// dst := the old row blended toward the new one by W[level]; the old row's alpha.
void RowCrossBlend(uint32_t* dst, const uint32_t* oldRow, const uint32_t* newRow, int count,
                   int level) {
  if (count <= 0) return;
  const int opacity = std::clamp(level, 0, 255);
  if (OnePass(dst, oldRow, newRow, count))
    return OpacityRowOfMmx(dst, oldRow, newRow, count, opacity);
  if (dst != oldRow) std::copy(oldRow, oldRow + count, dst);
  OpacityRowsMmx(dst, newRow, 0, 0, count, 1, opacity);
}

int CrossfadeImages(ImageSurface* target, const ImageSurface* oldImage,
                    const ImageSurface* newImage, int level, uint32_t, const LibArea& a) {
  if (!ValidArea(target, oldImage, newImage, a) || level < 0 || level > 255) {
    return kRoutineRefused;
  }
  for (int j = 0; j < a.height; ++j) {
    RowCrossBlend(Row32(target, a.targetX, a.targetY + j), Row32(oldImage, a.oldX, a.oldY + j),
                  Row32(newImage, a.newX, a.newY + j), a.width, level);
  }
  TouchedRect() = {a.targetX, a.targetY, a.targetX + a.width, a.targetY + a.height};
  return kRoutineDone;
}

// A transition draws each frame band by band at one level: the table is built once a frame, not
// once a band.
const uint8_t* RuleTable(int threshold, int rampWidth) {
  thread_local struct {
    int threshold = -1, rampWidth = 0;
    uint8_t table[256];
  } last;
  if (last.threshold != threshold || last.rampWidth != rampWidth) {
    for (int r = 0; r < 256; ++r) {
      last.table[r] = uint8_t(std::clamp((threshold - r) * 255 / rampWidth, 0, 255));
    }
    last.threshold = threshold;
    last.rampWidth = rampWidth;
  }
  return last.table;
}

// Rule values below the level's threshold show the new image; a ramp of rampWidth values
// softens the edge. Level 0 shows the old image only, 255 the new one only.
int RuleImages(ImageSurface* target, const ImageSurface* oldImage, const ImageSurface* newImage,
               const ImageSurface* rule, int level, int rampWidth, uint32_t, const LibArea& a,
               int32_t ruleX, int32_t ruleY) {
  if (!ValidArea(target, oldImage, newImage, a) || level < 0 || level > 255 || rampWidth < 1 ||
      rampWidth > 511 || !rule || !rule->GetPixels() || rule->GetBitsPerPixel() != 8 || ruleX < 0 ||
      ruleY < 0 || int64_t{ruleX} + a.width > rule->GetWidth() ||
      int64_t{ruleY} + a.height > rule->GetHeight()) {
    return kRoutineRefused;
  }
  const uint8_t* table = RuleTable(level * (256 + rampWidth) / 255, rampWidth);
  for (int j = 0; j < a.height; ++j) {
    uint32_t* dst = Row32(target, a.targetX, a.targetY + j);
    const uint32_t* from = Row32(oldImage, a.oldX, a.oldY + j);
    const uint32_t* to = Row32(newImage, a.newX, a.newY + j);
    const uint8_t* ruleRow = rule->GetPixels() + ptrdiff_t{ruleY + j} * rule->GetPitch() + ruleX;
    if (OnePass(dst, from, to, a.width)) {
      RuleRowOfMmx(dst, from, to, ruleRow, a.width, table);
      continue;
    }
    if (dst != from) std::copy(from, from + a.width, dst);
    RuleRowsMmx(dst, to, ruleRow, 0, 0, 0, a.width, 1, table);
  }
  TouchedRect() = {a.targetX, a.targetY, a.targetX + a.width, a.targetY + a.height};
  return kRoutineDone;
}

// Positions whose work lies wholly in the library: the built-in library does not provide them
// and refuses every call.
bool RefuseOpLevel(ImageSurface*, uint32_t, int, const Rect*, int) {
  return false;
}
bool RefuseOpByte(ImageSurface*, int, const Rect*) {
  return false;
}
int RefuseWordsBlit(ImageSurface*, const Surface*, const uint32_t*) {
  return kRoutineRefused;
}
int RefuseOpFour(ImageSurface*, const uint32_t*) {
  return kRoutineRefused;
}
bool RefuseFilter(ImageSurface*, const Rect*) {
  return false;
}
bool RefuseFilterValue(ImageSurface*, uint32_t) {
  return false;
}

template <typename F>
void Put(PixelRoutineTable& t, int position, F routine) {
  t.routine[position - 1] = reinterpret_cast<void*>(routine);
}

class BuiltInTable : public PixelRoutineTable {
 public:
  BuiltInTable() {
    routine[kLibTouchedRect - 1] = &touched;
    Put(*this, kLibFill32, Fill32);
    Put(*this, kLibFill8, Fill8);
    Put(*this, kLibBlendColor, BlendColor);
    Put(*this, kLibOpLevel, RefuseOpLevel);
    Put(*this, kLibOpByte, RefuseOpByte);
    Put(*this, kLibBlend, Blend);
    Put(*this, kLibStretch, Stretch);
    Put(*this, kLibAffine, Affine);
    Put(*this, kLibBlitOpC, RefuseWordsBlit);
    Put(*this, kLibOpFour, RefuseOpFour);
    for (int p : {kLibFilterA32, kLibFilterA8, kLibFilterB32, kLibFilterB8}) {
      Put(*this, p, RefuseFilter);
    }
    for (int p : {kLibFilterChoice, kLibFilterChoiceFlag, kLibFilterC, kLibFilterD}) {
      Put(*this, p, RefuseFilterValue);
    }
    Put(*this, kLibCrossfade, CrossfadeImages);
    Put(*this, kLibRuleBlend, RuleImages);
    Put(*this, kLibRowCrossBlend, RowCrossBlend);
  }

  // Written by the routines and read by their callers straight after, all on the thread that
  // runs the frame (the only one that draws); no lock.
  Rect touched;
};

BuiltInTable& TheBuiltInTable() {
  static BuiltInTable table;
  return table;
}

Rect& TouchedRect() {
  return TheBuiltInTable().touched;
}

}  // namespace

PixelLibrary::PixelLibrary() : builtIn_(true) {
  table_ = &TheBuiltInTable();
}

namespace {

std::string LibraryPath(const std::string& folder) {
  const std::string name = host::FindEntryNoCase(folder, kLibraryFileName);
  if (name.empty()) return {};
  return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

}  // namespace

PixelLibrary::PixelLibrary(const std::string& folder, const CpuRecord* cpu) {
  const std::string path = LibraryPath(folder);
  if (path.empty()) return;
  module_ = host::LoadLibrary(path);
  if (!module_) return;
  try {
    auto config =
        reinterpret_cast<LibraryConfigEntry>(host::GetProcAddress(module_, kLibraryConfigName));
    auto getTable =
        reinterpret_cast<LibraryTableEntry>(host::GetProcAddress(module_, kLibraryTableName));
    if (config && getTable) {
      const bool mmx = MmxEnabled();
      config(0, mmx ? CopyRows32Mmx : CopyRows32, mmx ? CopyColorRowsMmx : CopyColorRows,
             mmx ? CopyAlphaRowsMmx : CopyAlphaRows);
      table_ = getTable(cpu);
    }
  } catch (...) {
    table_ = nullptr;
  }
  if (!table_) {
    // The failure told is the missing table.
    (void)host::FreeLibrary(module_);
    module_ = nullptr;
  }
}

PixelLibrary::~PixelLibrary() {
  if (published.load() == this) published.store(nullptr);
  if (!builtIn_ && table_) delete table_;
  // A module the loader will not close stays mapped: nothing more can be done.
  if (module_) (void)host::FreeLibrary(module_);
}

void* PixelLibrary::At(int position) const {
  if (!table_ || position < 1 || position > kLibraryPositions) return nullptr;
  return table_->routine[position - 1];
}

const MultiplyTable& PixelLibrary::Multiply() const {
  return EngineMultiplyTable();
}

bool SetPixelLibrary(PixelLibrary* library) {
  if (library && !library->IsBuiltIn() && !library->GetModule()) return false;
  published.store(library);
  return true;
}

PixelLibrary* GetPixelLibrary() {
  return published.load();
}

PixelLibrary& BuiltInPixelLibrary() {
  static PixelLibrary library;
  return library;
}

PixelLibrary* BindFolderPixelLibrary(const std::string& folder, const CpuRecord* cpu,
                                     std::unique_ptr<PixelLibrary>& owned) {
  switch (host::ClassifyModuleFile(LibraryPath(folder))) {
    case host::ModuleFile::kMissing:
      return nullptr;
    case host::ModuleFile::kForeign:
      return &BuiltInPixelLibrary();
    case host::ModuleFile::kNative:
      break;
  }
  if (!host::GameTrusted()) {
    host::TellModuleSkipped(LibraryPath(folder), "the built-in pixel routines stand in");
    return &BuiltInPixelLibrary();
  }
  owned = std::make_unique<PixelLibrary>(folder, cpu);
  if (owned->GetModule()) return owned.get();
  owned.reset();
  return nullptr;
}

}  // namespace bw
