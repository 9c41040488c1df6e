// The image natives: pictures filled, recoloured, filtered and moved between (the transfers
// through the one decoder of image_transfer), sprites and colour rectangles, the display lists
// of containers and the backgrounds of composition layers. The wipes are timed tasks of the
// effects' timer service; a script holds a task handle of the host's table, which reads as gone
// once the service has deleted the wipe.
#include "natives/image_natives.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "natives/image_transfer.h"
#include "natives/native_constants.h"
#include "natives/native_families.h"
#include "natives/native_names.h"
#include "natives/object_casts.h"
#include "natives/system_natives.h"
#include "platform/timed_task.h"
#include "script/script_host.h"

namespace bw {

WipeWords WipeWordsOf(const uint32_t words[8]) {
  constexpr uint32_t kNotGiven = 65535;
  auto w = [&](int k) { return static_cast<int32_t>(words[k]); };
  if (words[0] == kNotGiven) return WipeWords{.a1 = w(0), .a4 = static_cast<int32_t>(kNotGiven)};
  WipeWords out{w(0), w(1), w(2), w(3), w(4), w(5), w(6), w(7)};
  if (words[3] == kNotGiven) out.a5 = out.a6 = out.a7 = out.a8 = 0;
  return out;
}

namespace {

// The picture of an image argument (an image, a layer or a part's image holder); null for 0, a
// stale handle or an object without one.
ImageSurface* ImageOf(NativeArgs& a, uint32_t k) {
  return GetObjectSurface(a.Host().Handles(), a.U32(k));
}

// The timer service's handle of the wipe a script handle names; 0 when it is gone.
uint32_t WipeHandleOf(NativeArgs& a, uint32_t k) {
  const TimedTask* task = a.Handle<TimedTask>(k, ScriptObjectType::kTimedTask);
  return task ? task->Handle() : 0;
}

// 386: (kind, duration, target, source or 0, eight words).
int32_t WipeStart(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  ImageSurface* target = ImageOf(a, 2);
  ImageSurface* source = a.U32(3) ? ImageOf(a, 3) : nullptr;
  if (!wipes || !target || (a.U32(3) && !source)) return 0;
  uint32_t words[8];
  for (uint32_t k = 0; k < 8; ++k) words[k] = a.U32(4 + k);
  if (a.Faulted()) return 0;
  const uint32_t running = wipes->Start(a.I32(0), a.U32(1), target, source, WipeWordsOf(words));
  WipeTransition* wipe = wipes->Find(running);
  if (!wipe) return 0;
  return static_cast<int32_t>(
      a.Host().Handles().HandleOf(ScriptObjectType::kTimedTask, static_cast<TimedTask*>(wipe)));
}

// 387
int32_t WipeFinish(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes ? wipes->Finish(WipeHandleOf(a, 0)) : kWipeNoService;
}

// 388
int32_t WipeCancel(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes ? wipes->Cancel(WipeHandleOf(a, 0)) : kWipeNoService;
}

// 389: the low byte of the answer.
int32_t WipeIsRunning(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes && wipes->IsRunning(WipeHandleOf(a, 0)) ? 1 : 0;
}

constexpr int32_t kNoImage = -1;
constexpr int32_t kNoObject = -2;  // 437, 438
constexpr int32_t kNoContainer = -1;
constexpr int32_t kNoSecondList = 4;
constexpr int32_t kNoStoredWord = 0;  // 319
constexpr uint32_t kSwitch = kTransferSwitch;
constexpr int kPaletteSize = 256;

// 326's answers.
constexpr int32_t kAlphaSet = 0;
constexpr int32_t kAlphaNoPixels = 1;
constexpr int32_t kAlphaNot32 = 2;
// 327 outside the image.
constexpr int32_t kPixelOutside = 1;
// 434's states.
constexpr int32_t kObjectUnlisted = 0;
constexpr int32_t kObjectHidden = 1;
constexpr int32_t kObjectShown = 2;

int32_t LowByte(int value) {
  return value & 0xFF;
}
int Byte(NativeArgs& a, uint32_t k) {
  return int(a.U32(k) & 0xFF);
}
uint32_t Rgb(NativeArgs& a, uint32_t k) {
  return uint32_t(Byte(a, k)) << 16 | uint32_t(Byte(a, k + 1)) << 8 | uint32_t(Byte(a, k + 2));
}

DisplayManager* Display() {
  return Global<DisplayManager>::Get();
}

// An image of kind 4 itself, not a layer or a part's picture.
ImageSurface* PlainImageOf(NativeArgs& a, uint32_t k) {
  Surface* surface = a.Handle<Surface>(k, ScriptObjectType::kSurface);
  if (!surface || (surface->GetKind() & 0xFF) != kKindDibSurface) return nullptr;
  return dynamic_cast<ImageSurface*>(surface);
}

DisplayObject* ObjectOf(NativeArgs& a, uint32_t k) {
  return a.Handle<DisplayObject>(k, ScriptObjectType::kDisplayObject);
}

CompositionLayer* ContainerOf(NativeArgs& a, uint32_t k) {
  return GetObjectContainer(a.Host().Handles(), a.U32(k));
}

uint32_t ObjectHandle(NativeArgs& a, DisplayObject* object) {
  return object ? a.Host().Handles().HandleOf(ScriptObjectType::kDisplayObject, object) : 0;
}

// ---- Single-image operations: image, kValues values, then the optional rectangle -------------

using SingleOperation = int (*)(ImageSurface& image, const uint32_t* values, const Rect* rect);

template <uint32_t kValues, SingleOperation kOperation, int32_t kNull = kNoImage>
int32_t Single(NativeArgs& a) {
  uint32_t values[kValues + 1] = {};
  for (uint32_t k = 0; k < kValues; ++k) values[k] = a.U32(1 + k);
  Rect store;
  const Rect* rect = OptionalRect(a, 1 + kValues, store);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? kOperation(*image, values, rect) : kNull;
}

int V(const uint32_t* values, int k) {
  return int32_t(values[k]);
}
int B(const uint32_t* values, int k) {
  return int(values[k] & 0xFF);
}

// 317: kind-4 images only; already at the depth counts as done.
int32_t ConvertDepth(NativeArgs& a) {
  ImageSurface* image = PlainImageOf(a, 0);
  const int bits = a.I32(1);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  if (!image->GetPixels()) return kNoPixels;
  if (image->GetBitsPerPixel() == bits) return 0;
  return image->ConvertDepth(bits);
}

// 318: image, name, loader type, options.
int32_t Save(NativeArgs& a) {
  std::string name;
  if (!a.Text(1, name)) return 0;
  const uint32_t type = a.U32(2);
  const int options = a.I32(3);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->SaveImage(name.c_str(), type, options) : kNoImage;
}

// 319: the owner word that the display manager gave the image.
int32_t StoredWord(NativeArgs& a) {
  ImageSurface* image = PlainImageOf(a, 0);
  return image ? int32_t(image->GetWord3()) : kNoStoredWord;
}

// 320: image, name, x, y, apply-palette flag.
int32_t DrawFile(NativeArgs& a) {
  std::string name;
  if (!a.Text(1, name)) return 0;
  const int32_t x = a.I32(2), y = a.I32(3);
  const bool palette = a.U32(4) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->DrawImageFile(name.c_str(), nullptr, 0, x, y, palette) : kImageNoSurface;
}

// 321: image, data, size, x, y, flag; the data is copied out of guest memory first.
int32_t DrawFileFromMemory(NativeArgs& a) {
  const uint32_t data = a.U32(1), size = a.U32(2);
  const int32_t x = a.I32(3), y = a.I32(4);
  const bool palette = a.U32(5) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kImageNoSurface;
  if (!GuestRange(a.Memory(), data, size)) return 0;
  std::vector<uint8_t> bytes(size);
  if (size && !a.Memory().Read(data, bytes.data(), size)) return 0;
  return image->DrawImageFile(nullptr, bytes.data(), bytes.size(), x, y, palette);
}

// 322: the rectangle comes first here.
int32_t FillRgb(NativeArgs& a) {
  Rect store;
  const Rect* rect = OptionalRect(a, 1, store);
  const int r = Byte(a, 5), g = Byte(a, 6), b = Byte(a, 7);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? LowByte(image->FillRgb(r, g, b, rect)) : kNoImage;
}

// 326
int32_t SetAlpha(NativeArgs& a) {
  const uint8_t alpha = uint8_t(a.U32(1));
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  if (!image->GetPixels()) return kAlphaNoPixels;
  if (image->GetBitsPerPixel() != 32) return kAlphaNot32;
  SetSurfaceAlpha(image, alpha);
  image->MarkDirty({0, 0, image->GetWidth(), image->GetHeight()});
  return kAlphaSet;
}

// 327
int32_t SetPixel(NativeArgs& a) {
  const int32_t x = a.I32(1), y = a.I32(2);
  const uint32_t value = a.U32(3);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  return image->SetPixel(x, y, value) ? 0 : kPixelOutside;
}

// 328
int32_t GetPixel(NativeArgs& a) {
  const int32_t x = a.I32(1), y = a.I32(2);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? int32_t(image->GetPixel(x, y)) : kNoImage;
}

// 329
int32_t FindPaletteIndex(NativeArgs& a) {
  const int r = Byte(a, 1), g = Byte(a, 2), b = Byte(a, 3);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->FindPaletteIndex(r, g, b) : kNoImage;
}

// 330
int32_t CopyPalette(NativeArgs& a) {
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* other = ImageOf(a, 1);
  if (!image || !other) return kNoImage;
  return LowByte(image->CopyPaletteFrom(other));
}

// 331: image, index byte, colour, apply flag.
int32_t SetPaletteEntry(NativeArgs& a) {
  const int index = Byte(a, 1);
  const uint32_t color = a.U32(2);
  const bool apply = a.U32(3) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? LowByte(image->SetPaletteEntry(index, color, apply)) : kNoImage;
}

// 332: a count outside 0-256 fills the whole palette and no further.
int32_t FillPalette(NativeArgs& a) {
  const uint32_t color = Rgb(a, 1);
  const int32_t count = a.I32(4);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  const int n = count < 0 || count > kPaletteSize ? kPaletteSize : count;
  if (n == 0) return 0;  // an empty fill must not reset the palette
  std::vector<uint32_t> entries(size_t(n), color);
  return LowByte(image->SetPalette(entries.data(), n, 0));
}

// 356: mode, image, mask, opacity, red, green, blue, x (65535: at 0, 0, whole mask), y, mask
// rectangle.
int32_t MaskColorFill(NativeArgs& a) {
  const int mode = Byte(a, 0), opacity = Byte(a, 3);
  const int r = Byte(a, 4), g = Byte(a, 5), b = Byte(a, 6);
  int32_t x = 0, y = 0;
  Rect store;
  const Rect* rect = nullptr;
  if (a.U32(7) != kSwitch) {
    x = a.I32(7), y = a.I32(8);
    rect = OptionalRect(a, 9, store);
  }
  ImageSurface* image = ImageOf(a, 1);
  ImageSurface* mask = ImageOf(a, 2);
  if (a.Faulted()) return 0;
  if (!image || !mask) return kNoImage;
  return image->MaskColorFill(mode, mask, opacity, r, g, b, x, y, rect);
}

// 379: three multipliers (the first 16-bit), three offsets.
int ColorTone(ImageSurface& i, const uint32_t* v, const Rect* rect) {
  return i.ColorTone(int(v[0] & 0xFFFF), V(v, 1), V(v, 2), V(v, 3), V(v, 4), V(v, 5), rect);
}

// 383: direction, start red, green, blue, end red, green, blue.
int Gradient(ImageSurface& i, const uint32_t* v, const Rect* rect) {
  auto rgb = [v](int k) {
    return uint32_t(B(v, k)) << 16 | uint32_t(B(v, k + 1)) << 8 | B(v, k + 2);
  };
  return i.FillGradient(B(v, 0), rgb(1), rgb(4), rect);
}

// ---- The pixel library's word-group operations (392-401) --------------------------------
// Each group is copied out of the script's words; a group whose first word is 65535 is zeros.

template <size_t kCount>
struct Words {
  uint32_t w[kCount] = {};
};

template <size_t kCount>
Words<kCount> GroupAt(NativeArgs& a, uint32_t k) {
  Words<kCount> group;
  if (a.U32(k) == kSwitch) return group;
  for (uint32_t i = 0; i < kCount; ++i) group.w[i] = a.U32(k + i);
  return group;
}

// 392 (nine words) and 393 (nine words): target, source, group.
template <bool kAffine>
int32_t LibTwoImageWords(NativeArgs& a) {
  const Words<9> words = GroupAt<9>(a, 2);
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* source = ImageOf(a, 1);
  if (a.Faulted()) return 0;
  if (!image || !source) return kNoImage;
  return kAffine ? image->LibAffineBlit(source, words.w) : image->LibBlitOpC(source, words.w);
}

// 394: image, four words.
int32_t LibOpFour(NativeArgs& a) {
  const Words<4> words = GroupAt<4>(a, 1);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->LibOpFour(words.w) : kNoImage;
}

// 397-399: image and one value.
int32_t LibFilterChoice(NativeArgs& a) {
  const bool flag = a.U32(1) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? int32_t(image->LibFilterChoice(flag)) : kNoImage;
}
template <bool kFilterC>
int32_t LibFilterValue(NativeArgs& a) {
  const uint32_t value = a.U32(1);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  return int32_t(kFilterC ? image->LibFilterC(value) : image->LibFilterD(value));
}

// 400: target, two sources, ten words; 401: target, two sources, rule, thirteen words.
int32_t LibBlendA(NativeArgs& a) {
  const Words<10> words = GroupAt<10>(a, 3);
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* first = ImageOf(a, 1);
  ImageSurface* second = ImageOf(a, 2);
  if (a.Faulted()) return 0;
  if (!image || !first || !second) return kNoImage;
  return image->LibBlendA(first, second, words.w);
}
int32_t LibBlendB(NativeArgs& a) {
  const Words<13> words = GroupAt<13>(a, 4);
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* first = ImageOf(a, 1);
  ImageSurface* second = ImageOf(a, 2);
  ImageSurface* rule = ImageOf(a, 3);
  if (a.Faulted()) return 0;
  if (!image || !first || !second || !rule) return kNoImage;
  return image->LibBlendB(first, second, rule, words.w);
}

// ---- Transfers -----------------------------------------------------------------------------

template <uint32_t kNumber>
int32_t Transfer(NativeArgs& a) {
  static const TransferRow* const row = FindTransferRow(kNumber);
  return RunTransfer(a, *row);
}
int32_t QuadBlit(NativeArgs& a) {
  return RunQuadTransfer(a, false);
}
int32_t QuadAlphaBlit(NativeArgs& a) {
  return RunQuadTransfer(a, true);
}
int32_t RotateZoomBlit(NativeArgs& a) {
  return RunRotateTransfer(a, false);
}
int32_t RotateZoomOpacityBlit(NativeArgs& a) {
  return RunRotateTransfer(a, true);
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
  const int32_t priority = a.U32(3) == kSwitch ? kAny : a.I32(3);
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
    {Native::kImageConvertDepth, ConvertDepth},
    {Native::kImageSave, Save},
    {Native::kObjectGetStoredWord, StoredWord},
    {Native::kImageDrawFile, DrawFile},
    {Native::kImageDrawFileFromMemory, DrawFileFromMemory},
    {Native::kImageFillRgb, FillRgb},
    {Native::kImageFill, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return LowByte(i.Fill(v[0], r)); }>},
    {Native::kImageFillKeepAlpha, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return int(i.FillColorKeepAlpha(B(v, 0), B(v, 1), B(v, 2), r)); }>},
    {Native::kImageLibOpByte, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.LibOpByte(V(v, 0), r); }>},
    {Native::kImageSetAlpha, SetAlpha},
    {Native::kImageSetPixel, SetPixel},
    {Native::kImageGetPixel, GetPixel},
    {Native::kImageFindPaletteIndex, FindPaletteIndex},
    {Native::kImageCopyPalette, CopyPalette},
    {Native::kImageSetPaletteEntry, SetPaletteEntry},
    {Native::kImageFillPalette, FillPalette},
    {Native::kImageBlit, Transfer<333>}, {Native::kImageStretchBlit, Transfer<334>}, {Native::kImageBlitMirrored, Transfer<335>}, {Native::kImageStretchBlitMirrored, Transfer<336>},
    {Native::kImageAlphaBlit, Transfer<337>}, {Native::kImageStretchAlphaBlit, Transfer<338>}, {Native::kImageAlphaBlitMirrored, Transfer<339>}, {Native::kImageStretchAlphaBlitMirrored, Transfer<340>},
    {Native::kImageCopyAlphaPlane, Transfer<341>}, {Native::kImageStretchCopyAlphaPlane, Transfer<342>}, {Native::kImageCopyAlphaPlaneMirrored, Transfer<343>}, {Native::kImageStretchCopyAlphaPlaneMirrored, Transfer<344>},
    {Native::kImageBlitColor, Transfer<345>}, {Native::kImageStretchBlitColor, Transfer<346>}, {Native::kImageBlitAlpha, Transfer<347>}, {Native::kImageStretchBlitAlpha, Transfer<348>},
    {Native::kImageBlitFromObject, Transfer<349>}, {Native::kImageStretchBlitFromObject, Transfer<350>},
    {Native::kImageSetBrightness, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.SetBrightness(int(v[0] & 0xFFFF), r); }>},
    {Native::kImageFillColorBlend, Single<4, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.FillColorBlend(B(v, 0), B(v, 1), B(v, 2), B(v, 3), r); }>},
    {Native::kImageAddColor, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.AddColor(B(v, 0), B(v, 1), B(v, 2), r); }>},
    {Native::kImageSubtractColor, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.SubtractColor(B(v, 0), B(v, 1), B(v, 2), r); }>},
    {Native::kImageLibOpLevel, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.LibOpLevel(v[0], B(v, 1), V(v, 2), r); }>},
    {Native::kImageMaskColorFill, MaskColorFill},
    {Native::kImageOpacityBlit, Transfer<357>}, {Native::kImageStretchOpacityBlit, Transfer<358>}, {Native::kImageWeightedBlit, Transfer<359>}, {Native::kImageStretchWeightedBlit, Transfer<360>},
    {Native::kImageBlendBlit, Transfer<361>}, {Native::kImageStretchBlendBlit, Transfer<362>}, {Native::kImageAddBlit, Transfer<363>}, {Native::kImageSubtractBlit, Transfer<364>},
    {Native::kImageAlphaOpacityBlit, Transfer<365>}, {Native::kImageStretchAlphaOpacityBlit, Transfer<366>}, {Native::kImageAlphaBlitOntoAlpha, Transfer<367>}, {Native::kImageStretchAlphaBlitOntoAlpha, Transfer<368>},
    {Native::kImageRuleBlit, Transfer<369>}, {Native::kImageRuleAlphaBlit, Transfer<370>}, {Native::kImageBlurBlit, Transfer<371>}, {Native::kImageBlurAlphaBlit, Transfer<372>},
    {Native::kImageSmoothStretchBlit, Transfer<373>},
    {Native::kImageQuadBlit, QuadBlit},
    {Native::kImageQuadAlphaBlit, QuadAlphaBlit},
    {Native::kImageRotateZoomBlit, RotateZoomBlit},
    {Native::kImageRotateZoomOpacityBlit, RotateZoomOpacityBlit},
    {Native::kImageGreyscale, Single<0, [](ImageSurface& i, const uint32_t*, const Rect* r) { return i.Greyscale(r); }>},
    {Native::kImageColorTone, Single<6, ColorTone>},
    {Native::kImageInvert, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.Invert(B(v, 0), r); }>},
    {Native::kImageBlur, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.Blur(B(v, 0), r); }>},
    {Native::kImageMosaic, Single<2, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.Mosaic(V(v, 0), B(v, 1), r); }>},
    {Native::kImageApplyAlphaGradient, Single<7, Gradient, kImageNoSurface>},
    {Native::kImageScaleAlpha, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return int(i.ScaleAlpha(int(v[0] & 0xFFFF), r)); }>},
    {Native::kImageToneAlpha, Single<2, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return int(i.ToneAlpha(V(v, 0), V(v, 1), r)); }>},
    {Native::kWipeStart, WipeStart},
    {Native::kWipeFinish, WipeFinish},
    {Native::kWipeCancel, WipeCancel},
    {Native::kWipeIsRunning, WipeIsRunning},
    {Native::kImageLibBlitOpB, Transfer<390>},
    {Native::kImageLibStretchBlit, Transfer<391>},
    {Native::kImageLibAffineBlit, LibTwoImageWords<true>},
    {Native::kImageLibBlitOpC, LibTwoImageWords<false>},
    {Native::kImageLibOpFour, LibOpFour},
    {Native::kImageLibFilterA, Single<0, [](ImageSurface& i, const uint32_t*, const Rect* r) { return i.LibFilterA(r); }>},
    {Native::kImageLibFilterB, Single<0, [](ImageSurface& i, const uint32_t*, const Rect* r) { return i.LibFilterB(r); }>},
    {Native::kImageLibFilterChoice, LibFilterChoice},
    {Native::kImageLibFilterC, LibFilterValue<true>},
    {Native::kImageLibFilterD, LibFilterValue<false>},
    {Native::kImageLibBlendA, LibBlendA},
    {Native::kImageLibBlendB, LibBlendB},
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
constexpr NativeRange kNumbers[] = {{317, 438}};

}  // namespace

const NativeFamily& ImageNativeFamily() {
  static const NativeFamily family{"image", kEntries, kNumbers};
  return family;
}

}  // namespace bw
