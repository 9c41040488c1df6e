#include "natives/display_object_natives.h"

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common/global.h"
#include "effects/path_tasks.h"
#include "graphics/device/render_item.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "natives/native_constants.h"
#include "natives/native_families.h"
#include "natives/object_casts.h"
#include "natives/system_natives.h"
#include "platform/timer_service.h"
#include "script/native_names.h"

namespace bw {

namespace {

constexpr int32_t kNotASpriteMinus1 = -1;
constexpr int32_t kNotASpriteMinus2 = -2;
constexpr int32_t kImageWithoutSurface = -1;  // 445
constexpr int32_t kNoObjectToDraw = -2;       // 445
constexpr int32_t kSetImageNoSurface = -2;    // 461
constexpr int32_t kReplaceSurface = -1;       // 461's left: swap the picture only
constexpr int32_t kWholeImage = 65535;        // 461's left: the whole image at (0, 0)
constexpr uint32_t kTripleBytes = 12;

// Display objects by handle; the display-object type query (IsColorRect) decides first.
DisplayObject* ObjectAt(NativeArgs& a, uint32_t k) {
  return a.Handle<DisplayObject>(k, ScriptObjectType::kDisplayObject);
}
Sprite* SpriteAt(NativeArgs& a, uint32_t k) {
  DisplayObject* object = ObjectAt(a, k);
  return object && !object->IsColorRect() ? dynamic_cast<Sprite*>(object) : nullptr;
}
ColorRectObject* ColorRectAt(NativeArgs& a, uint32_t k) {
  DisplayObject* object = ObjectAt(a, k);
  return object && object->IsColorRect() ? dynamic_cast<ColorRectObject*>(object) : nullptr;
}
// The picture behind an image handle (an image, a layer or a part's image holder), or null.
ImageSurface* ImageAt(NativeArgs& a, uint32_t k) {
  return GetObjectSurface(a.Host().Handles(), a.U32(k));
}

int32_t LowByte(int value) {
  return value & 0xFF;
}

// A decimal text as the scripts write it; null (and unreadable) texts take fallback, or 0.0.
[[nodiscard]] bool DecimalText(NativeArgs& a, uint32_t k, double fallbackForNull, double& value) {
  std::string text;
  bool isNull = false;
  if (!a.Text(k, text, &isNull)) return false;
  value = isNull ? fallbackForNull : 0.0;
  if (!isNull && !ParseDecimal(text, value)) value = 0.0;
  return true;
}

// 439
int32_t SetPosition(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  const int32_t x = a.I32(1), y = a.I32(2);
  return object ? object->SetPos(x, y) : 0;
}

// 440: the previous tag.
int32_t SetTag(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  const uint32_t tag = a.U32(1);
  if (!object) return 0;
  const uint32_t previous = object->GetTag();
  object->SetTag(tag);
  return static_cast<int32_t>(previous);
}

// 441
int32_t MoveBy(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  const int32_t dx = a.I32(1), dy = a.I32(2);
  return object ? object->MoveBy(dx, dy) : 0;
}

// 442
int32_t HitTest(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  const int32_t x = a.I32(1), y = a.I32(2);
  const bool testPixel = a.U32(3) != 0;
  return object ? object->HitTest(x, y, testPixel) : 0;
}

// 443
int32_t Overlaps(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  DisplayObject* other = ObjectAt(a, 1);
  return object && other ? object->Overlaps(*other) : 0;
}

// 444: each out word that is not 0 gets its edge.
int32_t GetRect(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  if (!object) return 0;
  Rect r;
  object->GetRect(&r);
  const int32_t edges[4] = {r.left, r.top, r.right, r.bottom};
  for (uint32_t k = 0; k < 4; ++k) {
    if (!a.Out32(k + 1, static_cast<uint32_t>(edges[k]))) return 0;
  }
  return 1;
}

// 445: no clip rectangle; the object's changed flag stays.
int32_t DrawTo(NativeArgs& a) {
  ImageSurface* image = ImageAt(a, 0);
  DisplayObject* object = ObjectAt(a, 1);
  if (!image || !image->GetPixels()) return kImageWithoutSurface;
  if (!object) return kNoObjectToDraw;
  return object->DrawOver(image);
}

// The options of a path native after its points: the words from the timing word on.
struct PathOptions {
  uint32_t delay = 0;
  bool show = false;
  bool defaults = false;
  double easing = 0.0;
};

// The points of a path: its text, or count triples from the guest; false on a bad address.
struct PathPoints {
  bool fromText = true;
  bool isNull = false;
  std::string text;
  uint32_t count = 0;
  std::vector<int32_t> triples;

  bool ReadText(NativeArgs& a, uint32_t k) { return a.Text(k, text, &isNull); }
  bool ReadArray(NativeArgs& a, uint32_t countWord, uint32_t arrayWord) {
    fromText = false;
    count = a.U32(countWord);
    const uint32_t at = a.U32(arrayWord);
    if (a.Faulted()) return false;
    isNull = at == 0;
    if (isNull || count == 0) return true;
    const int64_t bytes = int64_t{count} * kTripleBytes;
    if (!GuestRange(a.Memory(), at, bytes)) return false;
    triples.resize(size_t{count} * 3);
    return a.Memory().Read(at, triples.data(), static_cast<uint32_t>(bytes));
  }
  template <typename Task>
  int GiveTo(Task& task) const {
    if (fromText) return task.SetPathText(isNull ? nullptr : text.c_str());
    if constexpr (requires { task.SetPoints(count, triples.data()); }) {
      return task.SetPoints(count, isNull ? nullptr : triples.data());
    }
    return kPathTaskMissing;
  }
};

// The task's name for the script; it reads as gone once the service deletes the task.
int32_t TaskHandle(NativeArgs& a, TimedTask* task) {
  return static_cast<int32_t>(TaskHandleOf(a.Host(), task));
}

// Hands the task its points and starts it on the sprite or render item with the effects' timer
// service: the task's handle, or 0 with the task deleted (a zero duration, which finishes at
// once, too).
template <typename Task, typename Target>
int32_t StartPath(NativeArgs& a, Target* target, std::unique_ptr<Task> task,
                  const PathPoints& points) {
  if (!target || points.GiveTo(*task) != kPathTaskDone) return 0;
  TimerService* timers = Global<TimerService>::Get();
  int code;
  if constexpr (std::is_same_v<Target, RenderItem>) {
    code = task->StartOnItem(timers, target);
  } else {
    code = task->StartOnSprite(timers, target);
  }
  if (code != kPathTaskDone) return 0;
  return TaskHandle(a, timers->HandOver(std::move(task)));
}

// Reads the timing word and flag at k and k + 1, the switch at k + 2 and, unless it is 65535,
// the easing text at easingWord.
[[nodiscard]] bool ReadPathOptions(NativeArgs& a, uint32_t k, uint32_t easingWord,
                                   PathOptions& options) {
  options.delay = a.U32(k);
  options.show = uint8_t(a.U32(k + 1)) != 0;
  options.defaults = a.U32(k + 2) == kDefaultsSwitch;
  if (options.defaults) return !a.Faulted();
  return DecimalText(a, easingWord, 0.0, options.easing);
}

uint8_t Byte(NativeArgs& a, uint32_t k) {
  return uint8_t(a.U32(k));
}

// 446 (text) and 447 (array): the option byte is the move mode, then spline, loop and priority.
// A render item takes the same words (315, 316).
template <bool kFromText, bool kOnItem = false>
int32_t MovePath(NativeArgs& a) {
  const uint32_t at = kFromText ? 3 : 4;  // the timing word
  auto* target = [&] {
    if constexpr (kOnItem) {
      return a.Handle<RenderItem>(0, ScriptObjectType::kRenderItem);
    } else {
      return SpriteAt(a, 0);
    }
  }();
  const uint32_t duration = a.U32(1);
  PathPoints points;
  PathOptions o;
  if (!(kFromText ? points.ReadText(a, 2) : points.ReadArray(a, 2, 3))) return 0;
  if (!ReadPathOptions(a, at, at + 4, o)) return 0;
  auto task = o.defaults ? std::make_unique<MovePathTask>(duration, o.delay, o.show, 0.0,
                                                          kPathMoveTarget, false, false, 1)
                         : std::make_unique<MovePathTask>(duration, o.delay, o.show, o.easing,
                                                          Byte(a, at + 2), Byte(a, at + 3) != 0,
                                                          Byte(a, at + 5) != 0, Byte(a, at + 6));
  return StartPath(a, target, std::move(task), points);
}

// 448 and 449: the option byte and the value are the anchors, then a fixed base, opacity, loop
// and priority.
template <bool kFromText>
int32_t SizePath(NativeArgs& a) {
  const uint32_t at = kFromText ? 3 : 4;
  Sprite* sprite = SpriteAt(a, 0);
  const uint32_t duration = a.U32(1);
  PathPoints points;
  PathOptions o;
  if (!(kFromText ? points.ReadText(a, 2) : points.ReadArray(a, 2, 3))) return 0;
  if (!ReadPathOptions(a, at, at + 6, o)) return 0;
  auto task =
      o.defaults
          ? std::make_unique<SizePathTask>(duration, o.delay, o.show, 0.0, kPathAnchorCentre,
                                           kPathAnchorCentre, true, true, false, 1)
          : std::make_unique<SizePathTask>(
                duration, o.delay, o.show, o.easing, Byte(a, at + 2), Byte(a, at + 3),
                Byte(a, at + 4) != 0, Byte(a, at + 5) != 0, Byte(a, at + 7) != 0, Byte(a, at + 8));
  return StartPath(a, sprite, std::move(task), points);
}

// 450: the switch word is the zoom flag, then opacity, loop and priority.
int32_t RotateZoomPath(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const uint32_t duration = a.U32(1);
  PathPoints points;
  PathOptions o;
  if (!points.ReadText(a, 2) || !ReadPathOptions(a, 3, 7, o)) return 0;
  auto task = o.defaults ? std::make_unique<RotateZoomPathTask>(duration, o.delay, o.show, 0.0,
                                                                true, true, false, 1)
                         : std::make_unique<RotateZoomPathTask>(duration, o.delay, o.show, o.easing,
                                                                Byte(a, 5) != 0, Byte(a, 6) != 0,
                                                                Byte(a, 8) != 0, Byte(a, 9));
  return StartPath(a, sprite, std::move(task), points);
}

// 451: (0, 0) is the natural size; a side below 1 takes its natural length.
int32_t SetZoomSize(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  int32_t width = a.I32(1), height = a.I32(2);
  if (!object) return 0;
  if (width < 1 && height < 1) return LowByte(object->SetZoom(0, 0));
  if (Sprite* sprite = SpriteAt(a, 0)) {
    if (width < 1) width = sprite->GetSourceRect().Width();
    if (height < 1) height = sprite->GetSourceRect().Height();
  } else {
    // A colour rectangle shows its natural length where the zoom is 0.
    width = std::max(width, 0);
    height = std::max(height, 0);
  }
  return LowByte(object->SetZoom(width, height));
}

// 452
int32_t SetZoomRect(NativeArgs& a) {
  DisplayObject* object = ObjectAt(a, 0);
  const int32_t width = a.I32(1), height = a.I32(2), x = a.I32(3), y = a.I32(4);
  return object ? LowByte(object->SetZoomAndPos(width, height, x, y)) : 0;
}

// 453
int32_t CreateWorkSurface(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const int32_t width = a.I32(1), height = a.I32(2);
  return sprite ? sprite->CreateWorkSurface(width, height) : kNotASpriteMinus2;
}

// 454
int32_t SetSourceRect(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const Rect rect{a.I32(1), a.I32(2), a.I32(3), a.I32(4)};
  return sprite ? sprite->SetSourceRect(&rect) : kNotASpriteMinus1;
}

// 455
int32_t ScrollSource(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const int32_t x = a.I32(1), y = a.I32(2);
  return sprite ? sprite->ScrollSource(x, y) : kNotASpriteMinus1;
}

// 456
int32_t SetMirrorMode(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const uint8_t mode = Byte(a, 1);
  return sprite ? sprite->SetMirrorMode(mode) : 0;
}

// 457
int32_t SetAnchor(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const int32_t mode = a.I32(1), x = a.I32(2), y = a.I32(3);
  return sprite ? LowByte(sprite->SetAnchor(mode, x, y)) : 0;
}

// 458: a scale whose turned box does not fit 32 bits is refused by the sprite.
int32_t SetRotation(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const int32_t angle = a.I32(1);
  double scale = 1.0;
  if (!DecimalText(a, 2, 1.0, scale) || !sprite) return 0;
  return LowByte(sprite->SetRotation(angle, scale));
}

// 459
int32_t CreateRotationWorkSurface(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  double scale = 1.0;
  if (!DecimalText(a, 1, 1.0, scale)) return 0;
  return sprite ? sprite->CreateRotationWorkSurface(scale) : kNotASpriteMinus2;
}

// 460
int32_t ReleaseWorkSurface(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  if (!sprite) return 0;
  sprite->ReleaseWorkSurface();
  return 1;
}

// 461
int32_t SetImage(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  ImageSurface* image = ImageAt(a, 1);
  const int32_t left = a.I32(2);
  const Rect rect{left, a.I32(3), a.I32(4), a.I32(5)};
  const int32_t x = a.I32(6), y = a.I32(7);
  if (!sprite) return kNotASpriteMinus1;
  if (!image || !image->GetPixels()) return kSetImageNoSurface;
  if (left == kReplaceSurface) return sprite->ReplaceSurface(image);
  if (left == kWholeImage) return sprite->SetImage(image, nullptr, 0, 0);
  return sprite->SetImage(image, &rect, x, y);
}

// 462
int32_t SyncWithSource(NativeArgs& a) {
  Sprite* sprite = SpriteAt(a, 0);
  const bool clear = a.U32(1) != 0;
  if (!sprite) return 0;
  sprite->SyncWithSource(clear);
  return 1;
}

// 463
int32_t ColorRectSetRgb(NativeArgs& a) {
  ColorRectObject* rect = ColorRectAt(a, 0);
  const uint32_t rgb = a.U32(1);
  return rect ? LowByte(rect->SetRgb(rgb)) : 0;
}

// 464
int32_t ColorRectResize(NativeArgs& a) {
  ColorRectObject* rect = ColorRectAt(a, 0);
  const int32_t width = a.I32(1), height = a.I32(2);
  return rect ? LowByte(rect->Resize(width, height)) : 0;
}

// 465
int32_t ColorRectSetPosAndSize(NativeArgs& a) {
  ColorRectObject* rect = ColorRectAt(a, 0);
  const int32_t x = a.I32(1), y = a.I32(2), width = a.I32(3), height = a.I32(4);
  return rect ? LowByte(rect->SetPosAndSize(width, height, x, y)) : 0;
}

constexpr NativeEntry kEntries[] = {
    {Native::kDisplayObjectSetPosition, SetPosition},
    {Native::kDisplayObjectSetTag, SetTag},
    {Native::kDisplayObjectMoveBy, MoveBy},
    {Native::kDisplayObjectHitTest, HitTest},
    {Native::kDisplayObjectOverlaps, Overlaps},
    {Native::kDisplayObjectGetRect, GetRect},
    {Native::kDisplayObjectDrawTo, DrawTo},
    {Native::kSpriteMovePath, MovePath<true>},
    {Native::kSpriteMovePoints, MovePath<false>},
    {Native::kSpriteSizePath, SizePath<true>},
    {Native::kSpriteSizePoints, SizePath<false>},
    {Native::kSpriteRotateZoomPath, RotateZoomPath},
    {Native::kSpriteSetZoomSize, SetZoomSize},
    {Native::kSpriteSetZoomRect, SetZoomRect},
    {Native::kSpriteCreateWorkSurface, CreateWorkSurface},
    {Native::kSpriteSetSourceRect, SetSourceRect},
    {Native::kSpriteScrollSource, ScrollSource},
    {Native::kSpriteSetMirrorMode, SetMirrorMode},
    {Native::kSpriteSetAnchor, SetAnchor},
    {Native::kSpriteSetRotation, SetRotation},
    {Native::kSpriteCreateRotationWorkSurface, CreateRotationWorkSurface},
    {Native::kSpriteReleaseWorkSurface, ReleaseWorkSurface},
    {Native::kSpriteSetImage, SetImage},
    {Native::kSpriteSyncWithSource, SyncWithSource},
    {Native::kColorRectSetRgb, ColorRectSetRgb},
    {Native::kColorRectResize, ColorRectResize},
    {Native::kColorRectSetPosAndSize, ColorRectSetPosAndSize},
};

constexpr NativeRange kNumbers[] = {{439, 465}};

}  // namespace

int32_t RenderItemMovePath(NativeArgs& a) {
  return MovePath<true, true>(a);
}
int32_t RenderItemMovePoints(NativeArgs& a) {
  return MovePath<false, true>(a);
}

const NativeFamily& DisplayObjectNativeFamily() {
  static const NativeFamily family{"display objects", kEntries, kNumbers};
  return family;
}

}  // namespace bw
