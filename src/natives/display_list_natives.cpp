// The display lists' natives of the image family: sprites and colour rectangles made and
// destroyed, display objects shown and moved, the lists of containers and the backgrounds of
// composition layers.
#include <cstdint>

#include "graphics/device/display_manager.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "natives/image_native_support.h"
#include "natives/image_transfer.h"
#include "natives/object_casts.h"
#include "natives/system_natives.h"
#include "script/native_names.h"
#include "script/script_host.h"

namespace bw::image_support {

namespace {

constexpr int32_t kNoObject = -2;  // 437, 438
constexpr int32_t kNoContainer = -1;
constexpr int32_t kNoSecondList = 4;
// 434's states.
constexpr int32_t kObjectUnlisted = 0;
constexpr int32_t kObjectHidden = 1;
constexpr int32_t kObjectShown = 2;

DisplayObject* ObjectOf(NativeArgs& a, uint32_t k) {
  return a.Handle<DisplayObject>(k, ScriptObjectType::kDisplayObject);
}

CompositionLayer* ContainerOf(NativeArgs& a, uint32_t k) {
  return GetObjectContainer(a.Host().Handles(), a.U32(k));
}

uint32_t ObjectHandle(NativeArgs& a, DisplayObject* object) {
  return object ? a.Host().Handles().HandleOf(ScriptObjectType::kDisplayObject, object) : 0;
}

// ---- Sprites and colour rectangles ---------------------------------------------------------

// 402: image, l (65535: whole), t, r, b, x, y.
int32_t SpriteCreate(NativeArgs& a) {
  Rect store;
  const Rect* rect = OptionalRect(a, 1, store);
  const int32_t x = a.I32(5), y = a.I32(6);
  ImageSurface* image = ImageOf(a, 0);
  DisplayManager* d = Display();
  if (a.Faulted() || !image || !d) return 0;
  Sprite* sprite = nullptr;
  if (d->CreateSprite(&sprite, image, rect, x, y) != 0) return 0;
  return int32_t(ObjectHandle(a, sprite));
}

// 403
int32_t SpriteCreateCopy(NativeArgs& a) {
  DisplayObject* object = ObjectOf(a, 0);
  auto* source = object && !object->IsColorRect() ? dynamic_cast<Sprite*>(object) : nullptr;
  DisplayManager* d = Display();
  if (!source || !d) return 0;
  Sprite* copy = nullptr;
  if (d->CreateSpriteCopy(&copy, source) != 0) return 0;
  return int32_t(ObjectHandle(a, copy));
}

// 404: width, height, argb, x, y.
int32_t ColorRectCreate(NativeArgs& a) {
  const int32_t width = a.I32(0), height = a.I32(1);
  const uint32_t argb = a.U32(2);
  const int32_t x = a.I32(3), y = a.I32(4);
  DisplayManager* d = Display();
  if (a.Faulted() || !d) return 0;
  ColorRectObject* rect = nullptr;
  if (d->CreateColorRect(&rect, width, height, argb, x, y) != 0) return 0;
  return int32_t(ObjectHandle(a, rect));
}

// Before a sprite dies, the tasks bound to it go from the effects' timer service and the
// animated cursor lets go of it (both hear the display manager's notice): the sweeper is made
// here so that tasks started without a script handle are ended too.
DisplayManager* DisplayForDestroy(NativeArgs& a) {
  a.Host().Extension<BoundTaskSweeper>();
  return Display();
}

// 405
int32_t SpriteDestroyAll(NativeArgs& a) {
  if (DisplayManager* d = DisplayForDestroy(a)) d->DestroyAllSprites();
  return 0;
}

// 406: the previous owner value.
int32_t SpriteSetOwner(NativeArgs& a) {
  const uint32_t owner = a.U32(0);
  DisplayManager* d = Display();
  if (a.Faulted() || !d) return 0;
  return int32_t(d->SetSpriteOwner(owner));
}

// 407: owner, all-but flag.
int32_t SpriteDestroyOwned(NativeArgs& a) {
  const uint32_t owner = a.U32(0);
  const bool allBut = a.U32(1) != 0;
  DisplayManager* d = DisplayForDestroy(a);
  if (!a.Faulted() && d) d->DestroySpritesOfOwner(owner, allBut);
  return 0;
}

// 408: &var; 1 for an empty variable, 2 for one the manager does not hold, 0 with it cleared.
int32_t SpriteDestroy(NativeArgs& a) {
  const uint32_t address = a.U32(0);
  uint32_t handle = 0;
  if (address) a.Memory().Read32(address, handle);
  if (a.Faulted()) return 0;
  if (handle == 0) return kDestroyNull;
  DisplayObject* object =
      a.Host().Handles().Get<DisplayObject>(handle, ScriptObjectType::kDisplayObject);
  DisplayManager* d = DisplayForDestroy(a);
  if (!object || !d) return kDestroyNotListed;
  const int code = d->DestroySprite(object);
  if (code == 0) a.Memory().Write32(address, 0);
  return code;
}

// 433
int32_t ObjectSetVisible(NativeArgs& a) {
  DisplayObject* object = ObjectOf(a, 0);
  const bool visible = a.U32(1) != 0;
  if (object && !a.Faulted()) object->SetVisible(visible);
  return 0;
}

// 434
int32_t ObjectGetState(NativeArgs& a) {
  DisplayObject* object = ObjectOf(a, 0);
  if (!object || !object->GetOwnerList()) return kObjectUnlisted;
  return object->IsVisible() ? kObjectShown : kObjectHidden;
}

// 435
int32_t ObjectMarkChanged(NativeArgs& a) {
  DisplayObject* object = ObjectOf(a, 0);
  if (!object) return 0;
  object->SetChanged(true);
  return 1;
}

// 436: l, t, r, b as size and position.
int32_t ObjectSetRect(NativeArgs& a) {
  DisplayObject* object = ObjectOf(a, 0);
  const int32_t l = a.I32(1), t = a.I32(2), r = a.I32(3), b = a.I32(4);
  if (a.Faulted() || !object) return 0;
  const int64_t width = int64_t{r} - l, height = int64_t{b} - t;
  if (width < INT32_MIN || width > INT32_MAX || height < INT32_MIN || height > INT32_MAX) return 0;
  return LowByte(object->SetZoomAndPos(int32_t(width), int32_t(height), l, t));
}

// 437 and 438
template <bool kAlpha>
int32_t ObjectSetByte(NativeArgs& a) {
  DisplayObject* object = ObjectOf(a, 0);
  const int value = Byte(a, 1);
  if (a.Faulted()) return 0;
  if (!object) return kNoObject;
  return kAlpha ? object->SetAlpha(value) : object->SetDrawMode(value);
}

// ---- Containers and composition layers -----------------------------------------------------

// 409 and 410: container, object, priority, user value, second-list flag.
template <bool kAfterEqual>
int32_t ContainerAdd(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  DisplayObject* object = ObjectOf(a, 1);
  const int32_t priority = a.I32(2);
  const uint32_t user = a.U32(3);
  const bool second = a.U32(4) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  if (priority == -1) return container->GetList().Add(object, 0, 0);
  DisplayObjectList* list = second ? container->GetSecondList() : &container->GetList();
  if (!list) return kNoSecondList;
  return kAfterEqual ? list->AddAfterEqual(object, uint32_t(priority), user)
                     : list->Add(object, uint32_t(priority), user);
}

// Both lists of a container, the second one null when it has none.
struct Lists {
  DisplayObjectList* own = nullptr;
  DisplayObjectList* second = nullptr;
  template <typename F>
  void Each(F f) const {
    if (own) f(*own);
    if (second) f(*second);
  }
};
Lists ListsOf(CompositionLayer* container) {
  if (!container) return {};
  return {&container->GetList(), container->GetSecondList()};
}

// 411: 1 when found in either list.
int32_t ContainerRemove(NativeArgs& a) {
  const Lists lists = ListsOf(ContainerOf(a, 0));
  DisplayObject* object = ObjectOf(a, 1);
  if (!lists.own) return kNoContainer;
  if (!object) return 0;
  return lists.own->Remove(object) || (lists.second && lists.second->Remove(object)) ? 1 : 0;
}

// 412: priority, invert flag.
int32_t ContainerRemoveByPriority(NativeArgs& a) {
  const Lists lists = ListsOf(ContainerOf(a, 0));
  const uint32_t priority = a.U32(1);
  const bool invert = a.U32(2) != 0;
  if (a.Faulted()) return 0;
  if (!lists.own) return kNoContainer;
  lists.Each([&](DisplayObjectList& l) { l.RemoveByPriority(priority, invert); });
  return 0;
}

// 413: user value, tag, invert flag.
int32_t ContainerRemoveWhere(NativeArgs& a) {
  const Lists lists = ListsOf(ContainerOf(a, 0));
  const int32_t user = a.I32(1), tag = a.I32(2);
  const bool invert = a.U32(3) != 0;
  if (a.Faulted()) return 0;
  if (!lists.own) return kNoContainer;
  lists.Each([&](DisplayObjectList& l) { l.RemoveWhere(user, tag, invert); });
  return 0;
}

// 414 and 415: object, priority, keep-when-equal flag; in the list that holds the object.
template <bool kAfterEqual>
int32_t ContainerSetPriority(NativeArgs& a) {
  const Lists lists = ListsOf(ContainerOf(a, 0));
  DisplayObject* object = ObjectOf(a, 1);
  const uint32_t priority = a.U32(2);
  const bool keep = a.U32(3) != 0;
  if (a.Faulted()) return 0;
  if (!lists.own) return kNoContainer;
  DisplayObjectList* list = lists.own->Find(object) ? lists.own : lists.second;
  if (!object || !list || !list->Find(object)) return 0;
  return kAfterEqual ? list->SetPriorityAfterEqual(object, priority, keep)
                     : list->SetPriority(object, priority, keep);
}

// 416: any object with an image holder.
int32_t ContainerClear(NativeArgs& a) {
  CompositionLayer* container = nullptr;
  GetObjectImageHolderAndContainer(a.Host().Handles(), a.U32(0), &container);
  if (!container) return kNoContainer;
  ListsOf(container).Each([](DisplayObjectList& l) { l.Clear(); });
  return 0;
}

// 417: visible flag, user value, priority (65535: any), tag, invert flag.
int32_t ContainerSetVisibleWhere(NativeArgs& a) {
  const Lists lists = ListsOf(ContainerOf(a, 0));
  const bool visible = a.U32(1) != 0;
  const int32_t user = a.I32(2);
  const int32_t priority = a.U32(3) == kDefaultsSwitch ? kAny : a.I32(3);
  const int32_t tag = a.I32(4);
  const bool invert = a.U32(5) != 0;
  if (a.Faulted()) return 0;
  if (!lists.own) return kNoContainer;
  lists.Each(
      [&](DisplayObjectList& l) { l.SetVisibleWhere(visible, priority, user, tag, invert); });
  return 0;
}

// 418: image (0: none), x, y, redraw flag.
int32_t SetBackgroundImage(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const uint32_t imageHandle = a.U32(1);
  const int32_t x = a.I32(2), y = a.I32(3);
  const bool redraw = a.U32(4) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  ImageSurface* image = ImageOf(a, 1);
  if (imageHandle && !image) return kNoImage;
  return LowByte(container->SetBackgroundImage(image, x, y, redraw));
}

// 419
int32_t SetBackgroundColor(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const uint32_t color = a.U32(1);
  const bool redraw = a.U32(2) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  container->SetBackgroundColor(color, redraw);
  return 1;
}

// 420 and 425
int32_t InvalidateAll(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  return container ? container->InvalidateAll() : kNoContainer;
}

// 421: x, y, width, height, source rectangle (65535: none).
int32_t SetBackgroundStretch(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const int32_t x = a.I32(1), y = a.I32(2), width = a.I32(3), height = a.I32(4);
  Rect store;
  const Rect* rect = OptionalRect(a, 5, store);
  if (a.Faulted()) return 0;
  return container ? container->SetBackgroundStretch(x, y, width, height, rect) : kNoContainer;
}

// 422: mode, x, y.
int32_t SetBackgroundAnchor(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const int mode = a.I32(1);
  const int32_t x = a.I32(2), y = a.I32(3);
  if (a.Faulted()) return 0;
  return container ? int32_t(container->SetBackgroundAnchor(mode, x, y)) : kNoContainer;
}

// 423: angle (512ths of a turn), x, y, scale as a decimal text (null: 1).
int32_t SetBackgroundRotation(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const int angle = a.I32(1);
  const int32_t x = a.I32(2), y = a.I32(3);
  std::string text;
  bool isNull = false;
  if (!a.Text(4, text, &isNull) || a.Faulted()) return 0;
  double scale = 1.0;
  if (!isNull && !ParseDecimal(text, scale)) scale = 1.0;
  return container ? container->SetBackgroundRotation(x, y, angle, scale) : kNoContainer;
}

// 424: out picture handle, x, y, red, green, blue; an out address of 0 is skipped.
int32_t GetBackground(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  if (!container) return kNoContainer;
  ImageSurface* picture = nullptr;
  int32_t x = 0, y = 0;
  int r = 0, g = 0, b = 0;
  container->GetBackground(&picture, &x, &y, &r, &g, &b);
  const uint32_t handle = picture ? a.Host().Handles().HandleOf(ScriptObjectType::kSurface,
                                                                static_cast<Surface*>(picture))
                                  : 0;
  const uint32_t outs[6] = {handle,      uint32_t(x), uint32_t(y),
                            uint32_t(r), uint32_t(g), uint32_t(b)};
  for (uint32_t k = 0; k < 6; ++k) {
    if (!a.Out32(1 + k, outs[k])) return 0;
  }
  return 1;
}

// 426
int32_t InvalidateRect(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const Rect rect{a.I32(1), a.I32(2), a.I32(3), a.I32(4)};
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  container->InvalidateClippedRect(rect);
  return 1;
}

// 427: any object with an image holder.
int32_t HolderSetFlag(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(a.Host().Handles(), a.U32(0));
  const bool on = a.U32(1) != 0;
  if (a.Faulted()) return 0;
  return holder ? LowByte(holder->SetComposing(on)) : kNoContainer;
}

// 428
int32_t RedrawDirty(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  return container ? container->RedrawDirty(nullptr, nullptr, 0, 0) : kNoContainer;
}

// 429: image, filter, value, include-second flag.
int32_t RenderTo(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  ImageSurface* image = ImageOf(a, 1);
  const int filter = a.I32(2);
  const uint32_t value = a.U32(3);
  const bool second = a.U32(4) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  if (!image) return kImageNoSurface;
  return container->RenderTo(image, filter, value, second);
}

// 430: the skip bytes of the own and the second list.
int32_t ContainerSetFlags(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const bool own = Byte(a, 1) != 0, second = Byte(a, 2) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  container->SetSkipOwn(own);
  container->SetSkipSecond(second);
  return 0;
}

// 431: the no-background byte.
int32_t ContainerSetFlag(NativeArgs& a) {
  CompositionLayer* container = ContainerOf(a, 0);
  const bool on = Byte(a, 1) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNoContainer;
  container->SetNoBackground(on);
  return 0;
}

// 432: the process-wide banded redraw.
int32_t SetGlobalFlag(NativeArgs& a) {
  const bool on = Byte(a, 0) != 0;
  if (!a.Faulted()) SetBandedRedraw(on);
  return 0;
}

// clang-format off
constexpr NativeEntry kEntries[] = {
    {Native::kSpriteCreate, SpriteCreate},
    {Native::kSpriteCreateCopy, SpriteCreateCopy},
    {Native::kColorRectCreate, ColorRectCreate},
    {Native::kSpriteDestroyAll, SpriteDestroyAll},
    {Native::kSpriteSetOwner, SpriteSetOwner},
    {Native::kSpriteDestroyOwned, SpriteDestroyOwned},
    {Native::kSpriteDestroy, SpriteDestroy},
    {Native::kContainerAdd, ContainerAdd<false>},
    {Native::kContainerAddAfterEqual, ContainerAdd<true>},
    {Native::kContainerRemove, ContainerRemove},
    {Native::kContainerRemoveByPriority, ContainerRemoveByPriority},
    {Native::kContainerListCall, ContainerRemoveWhere},
    {Native::kContainerSetPriority, ContainerSetPriority<false>},
    {Native::kContainerSetPriorityAfterEqual, ContainerSetPriority<true>},
    {Native::kContainerClear, ContainerClear},
    {Native::kContainerSetVisibleWhere, ContainerSetVisibleWhere},
    {Native::kCompositionSetBackgroundImage, SetBackgroundImage},
    {Native::kCompositionSetBackgroundColor, SetBackgroundColor},
    {Native::kCompositionInvalidateAll, InvalidateAll},
    {Native::kCompositionSetBackgroundStretch, SetBackgroundStretch},
    {Native::kCompositionSetBackgroundAnchor, SetBackgroundAnchor},
    {Native::kCompositionSetBackgroundRotation, SetBackgroundRotation},
    {Native::kCompositionGetBackground, GetBackground},
    {Native::kCompositionInvalidateAllB, InvalidateAll},
    {Native::kCompositionInvalidateRect, InvalidateRect},
    {Native::kImageHolderSetFlag, HolderSetFlag},
    {Native::kCompositionRedrawDirty, RedrawDirty},
    {Native::kCompositionRenderTo, RenderTo},
    {Native::kContainerSetFlags, ContainerSetFlags},
    {Native::kContainerSetFlag, ContainerSetFlag},
    {Native::kDisplaySetGlobalFlag, SetGlobalFlag},
    {Native::kDisplayObjectSetVisible, ObjectSetVisible},
    {Native::kDisplayObjectGetState, ObjectGetState},
    {Native::kDisplayObjectMarkChanged, ObjectMarkChanged},
    {Native::kDisplayObjectSetRect, ObjectSetRect},
    {Native::kDisplayObjectSetBlendMode, ObjectSetByte<false>},
    {Native::kDisplayObjectSetAlpha, ObjectSetByte<true>},
};
// clang-format on

}  // namespace

std::span<const NativeEntry> DisplayListNativeEntries() {
  return kEntries;
}

}  // namespace bw::image_support
