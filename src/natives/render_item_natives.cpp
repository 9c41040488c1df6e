#include "natives/render_item_natives.h"

#include <cstdint>
#include <vector>

#include "graphics/device/render_item_sprite.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/device/render_list.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/layers/texture_layer.h"
#include "host/d3d/rasteriser.h"
#include "natives/display_object_natives.h"
#include "natives/native_families.h"
#include "natives/render_native_support.h"
#include "natives/render_natives.h"
#include "platform/rect.h"
#include "script/native_names.h"

namespace bw {

namespace {

using namespace render_support;

constexpr uint32_t kWholeSurface = 65535;  // a left of this: the whole picture
constexpr uint32_t kAnyPriority = 65535;

RenderItem* Item(NativeArgs& a, uint32_t k) {
  return a.Handle<RenderItem>(k, ScriptObjectType::kRenderItem);
}

// Runs set on the item at word 0: 1, or 0 without an item.
template <typename Set>
int32_t SetOnItem(NativeArgs& a, Set set) {
  RenderItem* item = Item(a, 0);
  if (!item) return 0;
  set(*item);
  return 1;
}

// The item at word k when it is of class T, else null.
template <typename T>
T* ItemAs(NativeArgs& a, uint32_t k) {
  return dynamic_cast<T*>(Item(a, k));
}

Rect SourceRect(NativeArgs& a, uint32_t k, bool* whole) {
  *whole = a.U32(k) == kWholeSurface;
  return {a.I32(k), a.I32(k + 1), a.I32(k + 2), a.I32(k + 3)};
}

template <bool kTexture>
int32_t CreateSpriteItem(NativeArgs& a) {
  DisplayManager* d = Display();
  Surface* source = AnySurface(a, 0);
  if (!d || !source) return 0;
  bool whole = false;
  Rect rect = SourceRect(a, 1, &whole);
  int32_t x = whole ? 0 : a.I32(5), y = whole ? 0 : a.I32(6);
  if constexpr (kTexture) {
    auto* texture = dynamic_cast<Layer*>(source);
    if (!texture) return 0;
    D3DSpritePrimitive* item = nullptr;
    return Made(a, d->CreateD3DSpritePrimitive(&item, texture, whole ? nullptr : &rect, x, y),
                item);
  } else {
    SpritePrimitive* item = nullptr;
    return Made(a, d->CreateSpritePrimitive(&item, source, whole ? nullptr : &rect, x, y), item);
  }
}

template <bool kTexture>
int32_t CreateLayerSpriteItem(NativeArgs& a) {
  DisplayManager* d = Display();
  Surface* source = AnySurface(a, 0);
  if (!d || !source) return 0;
  bool whole = false;
  Rect rect = SourceRect(a, 1, &whole);
  int32_t x = whole ? 0 : a.I32(5), y = whole ? 0 : a.I32(6);
  if constexpr (kTexture) {
    auto* layer =
        source->GetKind() == kKindTextureLayer ? dynamic_cast<TextureLayer*>(source) : nullptr;
    if (!layer) return 0;
    LayerD3DSpritePrimitive* item = nullptr;
    return Made(a, d->CreateLayerD3DSpritePrimitive(&item, layer, whole ? nullptr : &rect, x, y),
                item);
  } else {
    auto* layer = source->GetKind() == kKindSoftwareSurfaceLayer
                      ? dynamic_cast<SoftwareSurfaceLayer*>(source)
                      : nullptr;
    if (!layer) return 0;
    LayerSpritePrimitive* item = nullptr;
    return Made(a, d->CreateLayerSpritePrimitive(&item, layer, whole ? nullptr : &rect, x, y),
                item);
  }
}

// 262: the pairs are checked in guest memory before anything is allocated, and the item keeps
// its own copies.
constexpr uint32_t kPolygonTypes = 6;
constexpr uint8_t kPolygonTypeOf[kPolygonTypes] = {
    host::kPrimitiveTriangleList, host::kPrimitiveTriangleStrip, host::kPrimitiveTriangleFan,
    host::kPrimitiveLineList,     host::kPrimitiveLineStrip,     host::kPrimitivePointList};

int32_t CreatePolygonItem(NativeArgs& a) {
  uint32_t type = a.U32(0);
  uint32_t argb = a.U32(1);
  int64_t count = a.I32(2);
  if (type >= kPolygonTypes || count < 1) return 0;
  uint32_t pairs = a.WordAddress(3);
  if (!GuestRange(a.Memory(), pairs, count * 8)) return 0;
  DisplayManager* d = Display();
  if (!d) return 0;
  std::vector<int32_t> xs(static_cast<size_t>(count)), ys(static_cast<size_t>(count));
  for (size_t i = 0; i < xs.size(); ++i) {
    uint32_t x = 0, y = 0;
    a.Memory().Read32(pairs + uint32_t(i) * 8, x);
    a.Memory().Read32(pairs + uint32_t(i) * 8 + 4, y);
    xs[i] = int32_t(x), ys[i] = int32_t(y);
  }
  D3DPolygonPrimitive* item = nullptr;
  int code = d->CreateD3DPolygonPrimitive(&item, xs.size(), xs.data(), ys.data(), argb,
                                          kPolygonTypeOf[type], false);
  return Made(a, code, item);
}

int32_t CreateRectItem(NativeArgs& a) {
  DisplayManager* d = Display();
  D3DRectPrimitive* item = nullptr;
  if (!d) return 0;
  return Made(a, d->CreateD3DRectPrimitive(&item, a.I32(0), a.I32(1), a.U32(2), a.I32(3), a.I32(4)),
              item);
}

int32_t CreateTriangleItem(NativeArgs& a) {
  DisplayManager* d = Display();
  if (!d) return 0;
  const int32_t xs[3] = {a.I32(0), a.I32(2), a.I32(4)};
  const int32_t ys[3] = {a.I32(1), a.I32(3), a.I32(5)};
  D3DTrianglePrimitive* item = nullptr;
  return Made(a, d->CreateD3DTrianglePrimitive(&item, xs, ys, a.U32(6), a.I32(7), a.I32(8)), item);
}

int32_t CreateRenderStateItem(NativeArgs& a) {
  DisplayManager* d = Display();
  D3DRenderStatePrimitive* item = nullptr;
  return d ? Made(a, d->CreateD3DRenderStatePrimitive(&item), item) : 0;
}

int32_t CreateBlendStateItem(NativeArgs& a) {
  DisplayManager* d = Display();
  D3DBlendStatePrimitive* item = nullptr;
  return d ? Made(a, d->CreateD3DBlendStatePrimitive(&item), item) : 0;
}

int32_t CreateTransitionItem(NativeArgs& a) {
  DisplayManager* d = Display();
  Surface* source = AnySurface(a, 0);
  Surface* target = AnySurface(a, 1);
  if (!d || !IsDirectDraw(target) || (a.U32(0) != 0 && !IsDirectDraw(source))) return 0;
  bool noRect = a.U32(3) == kWholeSurface;
  TransitionPrimitive* item = nullptr;
  int code = d->CreateTransitionPrimitive(&item, source, target, a.I32(2), noRect ? 0 : a.I32(3),
                                          noRect ? 0 : a.I32(4), noRect ? 0 : a.I32(5));
  return Made(a, code, item);
}

int32_t RenderItemDestroy(NativeArgs& a) {
  return Release<RenderItem>(a, ScriptObjectType::kRenderItem, [](RenderItem* item) {
    DisplayManager* d = Display();
    return d ? d->DestroyRenderItem(item) : kDestroyNotListed;
  });
}

RenderList* List() {
  DisplayManager* d = Display();
  return d ? &d->GetRenderList() : nullptr;
}

template <bool kBeforeEqual>
int32_t RenderListInsert(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  RenderList* list = List();
  if (!item || !list) return kRenderNativeNull;
  int32_t priority = a.I32(1);
  uint8_t type = uint8_t(a.U32(2));
  if (priority == kDefaultsWord) priority = 0, type = 0;
  return kBeforeEqual ? list->InsertBeforeEqual(item, uint32_t(priority), type)
                      : list->Insert(item, uint32_t(priority), type);
}

int32_t RenderListRemove(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  if (RenderList* list = List(); list && item) list->Remove(item);
  return 0;
}

int32_t RenderListRemoveByPriority(NativeArgs& a) {
  if (RenderList* list = List()) list->RemoveByPriority(a.U32(0));
  return 0;
}

int32_t RenderListRemoveByType(NativeArgs& a) {
  if (RenderList* list = List()) list->RemoveByType(uint8_t(a.U32(0)));
  return 0;
}

int32_t RenderItemSetEnabled(NativeArgs& a) {
  return SetOnItem(a, [&](RenderItem& item) { item.SetEnabled((a.U32(1) & 1) != 0); });
}

int32_t RenderItemIsEnabled(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  return item && item->IsEnabled();
}

int32_t RenderListSetEnabledWhere(NativeArgs& a) {
  RenderList* list = List();
  if (!list) return 0;
  bool all = a.U32(1) == kAnyPriority;
  list->SetEnabledWhere((a.U32(0) & 1) != 0, all ? kAnyValue : int64_t{a.U32(1)},
                        all ? kAnyValue : int64_t{a.U32(2)});
  return 0;
}

template <bool kBeforeEqual>
int32_t RenderListSetPriority(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  RenderList* list = List();
  if (!item || !list) return 0;
  bool skip = (a.U32(2) & 1) != 0;
  return kBeforeEqual ? list->SetPriorityBeforeEqual(item, a.U32(1), skip)
                      : list->SetPriority(item, a.U32(1), skip);
}

int32_t RenderItemSetTarget(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  Surface* s = AnySurface(a, 1);
  if (!item) return kRenderNativeNull;
  if (auto* t = dynamic_cast<TransitionPrimitive*>(item)) {
    t->SetTarget(s);
    return 1;
  }
  if (auto* sprite = dynamic_cast<SpritePrimitive*>(item)) {
    sprite->SetSource(s);
    return 1;
  }
  if (auto* sprite = dynamic_cast<D3DSpritePrimitive*>(item)) {
    auto* texture = dynamic_cast<Layer*>(s);
    if (s && !texture) return kRenderNativeNull;
    return sprite->Init(texture, nullptr, sprite->GetX(), sprite->GetY()) == 0 ? 1 : 0;
  }
  return kRenderNativeNull;
}

int32_t RenderItemSetSourceRect(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  bool whole = false;
  Rect rect = SourceRect(a, 3, &whole);
  const Rect* r = whole ? nullptr : &rect;
  if (auto* sprite = dynamic_cast<SpritePrimitive*>(item)) {
    sprite->SetSourceRect(a.I32(1), a.I32(2), r);
    return 1;
  }
  if (auto* sprite = dynamic_cast<D3DSpritePrimitive*>(item)) {
    sprite->SetSourceRect(a.I32(1), a.I32(2), r);
    return 1;
  }
  return 0;
}

int32_t RenderItemSetPosition(NativeArgs& a) {
  return SetOnItem(a, [&](RenderItem& item) { item.SetPosition(a.I32(1), a.I32(2)); });
}

int32_t RenderItemSetSize(NativeArgs& a) {
  return SetOnItem(a, [&](RenderItem& item) { item.SetSize(a.I32(1), a.I32(2)); });
}

int32_t RenderItemSetSizeAndPosition(NativeArgs& a) {
  return SetOnItem(a, [&](RenderItem& item) {
    item.SetSizeAndPosition(a.I32(1), a.I32(2), a.I32(3), a.I32(4));
  });
}

int32_t RenderItemMoveBy(NativeArgs& a) {
  return SetOnItem(a, [&](RenderItem& item) { item.MoveBy(a.I32(1), a.I32(2)); });
}

int32_t RenderItemHitTest(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  return item && item->HitTest(a.I32(1), a.I32(2), a.U32(3) != 0);
}

int32_t RenderItemOverlaps(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  RenderItem* other = Item(a, 1);
  return item && other && item->Overlaps(*other);
}

int32_t RenderItemSetRotation(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  int angle = a.I32(1), anchor = a.I32(2);
  if (auto* s = dynamic_cast<D3DSpritePrimitive*>(item)) return s->SetRotation(angle, anchor), 1;
  if (auto* r = dynamic_cast<D3DRectPrimitive*>(item)) return r->SetRotation(angle, anchor), 1;
  if (auto* p = dynamic_cast<D3DPolygonPrimitive*>(item)) return p->SetRotation(angle, anchor), 1;
  return 0;
}

// The colour setters reach the textured sprite and the coloured items alike.
template <typename Op>
int32_t ColorOp(NativeArgs& a, bool sprites, bool rects, bool polygons, bool triangles, Op op) {
  RenderItem* item = Item(a, 0);
  if (!item) return 0;
  uint8_t kind = item->GetKind();
  if (auto* s = dynamic_cast<D3DSpritePrimitive*>(item); s && sprites) return op(*s), 1;
  auto* c = dynamic_cast<D3DColorItem*>(item);
  if (!c) return 0;
  bool allowed = (kind == kItemD3DRect && rects) || (kind == kItemD3DPolygon && polygons) ||
                 (kind == kItemD3DTriangle && triangles);
  if (!allowed) return 0;
  op(*c);
  return 1;
}

int32_t RenderItemSetBlendStates(NativeArgs& a) {
  uint8_t e = uint8_t(a.U32(1)), s = uint8_t(a.U32(2)), d = uint8_t(a.U32(3));
  return ColorOp(a, true, true, true, true, [&](auto& i) { i.SetBlendStates(e, s, d); });
}

int32_t RenderItemSetBlendMode(NativeArgs& a) {
  bool additive = a.U32(1) != 0;
  int alpha = a.I32(2), level = a.I32(3);
  auto* sprite = ItemAs<D3DSpritePrimitive>(a, 0);
  if (sprite) return sprite->SetToneBlend(additive, alpha, level), 1;
  return ColorOp(a, false, true, true, true, [&](auto& i) { i.SetBlendMode(additive, alpha); });
}

int32_t RenderItemSetColor(NativeArgs& a) {
  uint32_t rgb = a.U32(1);
  return ColorOp(a, true, true, true, true, [&](auto& i) { i.SetColor(rgb); });
}

int32_t RenderItemSetVertexColor(NativeArgs& a) {
  uint32_t index = a.U32(1), rgb = a.U32(2);
  if (index > 3) return 0;
  // An index past the item's vertices changes nothing.
  return ColorOp(a, true, true, true, true, [&](auto& i) { (void)i.SetVertexColor(index, rgb); });
}

int32_t RenderItemSetVertexColors(NativeArgs& a) {
  std::vector<uint32_t> rgbs = {a.U32(1), a.U32(2), a.U32(3), a.U32(4)};
  return ColorOp(a, true, true, false, false, [&](auto& i) { i.SetVertexColors(rgbs); });
}

int32_t TriangleSetVertexColors(NativeArgs& a) {
  std::vector<uint32_t> rgbs = {a.U32(1), a.U32(2), a.U32(3)};
  return ColorOp(a, false, false, false, true, [&](auto& i) { i.SetVertexColors(rgbs); });
}

int32_t RenderItemSetAlpha(NativeArgs& a) {
  int alpha = a.I32(1);
  return ColorOp(a, true, true, true, true, [&](auto& i) { i.SetAlpha(alpha); });
}

int32_t RenderItemSetVertexAlpha(NativeArgs& a) {
  uint32_t index = a.U32(1);
  int alpha = a.I32(2);
  // An index past the item's vertices changes nothing.
  return ColorOp(a, true, true, true, true, [&](auto& i) { (void)i.SetVertexAlpha(index, alpha); });
}

int32_t RenderItemSetVertexAlphas(NativeArgs& a) {
  std::vector<int> alphas = {a.I32(1), a.I32(2), a.I32(3), a.I32(4)};
  return ColorOp(a, true, true, false, false, [&](auto& i) { i.SetVertexAlphas(alphas); });
}

int32_t TriangleSetVertexAlphas(NativeArgs& a) {
  std::vector<int> alphas = {a.I32(1), a.I32(2), a.I32(3)};
  return ColorOp(a, false, false, false, true, [&](auto& i) { i.SetVertexAlphas(alphas); });
}

template <void (D3DSpritePrimitive::*Stage)(uint8_t, uint8_t, uint8_t)>
int32_t SpriteItemSetStage(NativeArgs& a) {
  auto* s = ItemAs<D3DSpritePrimitive>(a, 0);
  if (!s) return 0;
  (s->*Stage)(uint8_t(a.U32(1)), uint8_t(a.U32(2)), uint8_t(a.U32(3)));
  return 1;
}

int32_t SpriteItemSetCorners(NativeArgs& a) {
  auto* s = ItemAs<D3DSpritePrimitive>(a, 0);
  if (!s) return 0;
  s->SetCorners(a.I32(1), a.I32(2), a.I32(3), a.I32(4), a.I32(5), a.I32(6), a.I32(7), a.I32(8));
  return 1;
}

int32_t RectItemSetPosition(NativeArgs& a) {
  auto* r = ItemAs<D3DRectPrimitive>(a, 0);
  if (!r) return 0;
  r->SetPosition(a.I32(1), a.I32(2));
  return 1;
}

int32_t RectItemSetSizeAndPosition(NativeArgs& a) {
  auto* r = ItemAs<D3DRectPrimitive>(a, 0);
  if (!r) return 0;
  r->SetSizeAndPosition(a.I32(1), a.I32(2), a.I32(3), a.I32(4));
  return 1;
}

int32_t PolygonSetType(NativeArgs& a) {
  auto* p = ItemAs<D3DPolygonPrimitive>(a, 0);
  uint32_t type = a.U32(1);
  if (!p || type >= kPolygonTypes) return 0;
  p->SetPrimitiveType(kPolygonTypeOf[type]);
  return 1;
}

int32_t PrimitiveSetPoint(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  uint32_t index = a.U32(1);
  int32_t x = a.I32(2), y = a.I32(3);
  if (auto* p = dynamic_cast<D3DPolygonPrimitive*>(item)) return p->SetPoint(index, x, y);
  if (auto* t = dynamic_cast<D3DTrianglePrimitive*>(item)) {
    return index <= 2 && t->SetPoint(int(index), x, y);
  }
  return 0;
}

int32_t PolygonSetLine(NativeArgs& a) {
  auto* p = ItemAs<D3DPolygonPrimitive>(a, 0);
  return p && p->SetLine(a.I32(1), a.I32(2), a.I32(3), a.I32(4));
}

int32_t TriangleSetPoints(NativeArgs& a) {
  auto* t = ItemAs<D3DTrianglePrimitive>(a, 0);
  if (!t) return 0;
  t->SetPoints(a.I32(1), a.I32(2), a.I32(3), a.I32(4), a.I32(5), a.I32(6));
  return 1;
}

int32_t TransitionItemSetProgress(NativeArgs& a) {
  auto* t = ItemAs<TransitionPrimitive>(a, 0);
  return t ? t->SetProgress(a.I32(1)) : kRenderNativeNull;
}

// 310
int32_t TransitionItemSetValue(NativeArgs& a) {
  auto* t = ItemAs<TransitionPrimitive>(a, 0);
  if (!t) return kRenderNativeNull;
  t->SetValue(a.I32(1));
  return 1;
}

// 312, 313
template <bool kAdd>
int32_t RenderItemOffset(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  if (!item) return kRenderNativeNull;
  const int32_t dx = a.I32(1), dy = a.I32(2);
  if constexpr (kAdd) {
    item->SetDrawOffset(ClampedSum(item->DrawOffsetX(), dx), ClampedSum(item->DrawOffsetY(), dy));
  } else {
    item->SetDrawOffset(dx, dy);
  }
  return 1;
}

int32_t TransitionItemSetSource(NativeArgs& a) {
  auto* t = ItemAs<TransitionPrimitive>(a, 0);
  if (!t) return kRenderNativeNull;
  t->SetSource(AnySurface(a, 1));
  return 1;
}

int32_t RenderItemGetRect(NativeArgs& a) {
  RenderItem* item = Item(a, 0);
  Rect r{};
  if (!item || !item->GetRect(&r)) return 0;
  a.Out32(1, uint32_t(r.left)) && a.Out32(2, uint32_t(r.top)) && a.Out32(3, uint32_t(r.right)) &&
      a.Out32(4, uint32_t(r.bottom));
  return 1;
}

constexpr NativeEntry kEntries[] = {
    {Native::kCreateSpritePrimitive, CreateSpriteItem<false>},
    {Native::kCreateD3DSpritePrimitive, CreateSpriteItem<true>},
    {Native::kCreateD3DPolygonPrimitive, CreatePolygonItem},
    {Native::kCreateD3DRectPrimitive, CreateRectItem},
    {Native::kCreateD3DTrianglePrimitive, CreateTriangleItem},
    {Native::kCreateD3DRenderStatePrimitive, CreateRenderStateItem},
    {Native::kCreateD3DBlendStatePrimitive, CreateBlendStateItem},
    {Native::kCreateLayerSpritePrimitive, CreateLayerSpriteItem<false>},
    {Native::kCreateLayerD3DSpritePrimitive, CreateLayerSpriteItem<true>},
    {Native::kCreateTransitionPrimitive, CreateTransitionItem},
    {Native::kRenderItemDestroy, RenderItemDestroy},
    {Native::kRenderListInsert, RenderListInsert<false>},
    {Native::kRenderListInsertBeforeEqual, RenderListInsert<true>},
    {Native::kRenderListRemove, RenderListRemove},
    {Native::kRenderListRemoveByPriority, RenderListRemoveByPriority},
    {Native::kRenderListRemoveByType, RenderListRemoveByType},
    {Native::kRenderItemSetEnabled, RenderItemSetEnabled},
    {Native::kRenderItemIsEnabled, RenderItemIsEnabled},
    {Native::kRenderListSetEnabledWhere, RenderListSetEnabledWhere},
    {Native::kRenderListSetPriority, RenderListSetPriority<false>},
    {Native::kRenderListSetPriorityBeforeEqual, RenderListSetPriority<true>},
    {Native::kRenderItemSetTarget, RenderItemSetTarget},
    {Native::kRenderItemSetSourceRect, RenderItemSetSourceRect},
    {Native::kRenderItemSetPosition, RenderItemSetPosition},
    {Native::kRenderItemSetSize, RenderItemSetSize},
    {Native::kRenderItemSetSizeAndPosition, RenderItemSetSizeAndPosition},
    {Native::kRenderItemMoveBy, RenderItemMoveBy},
    {Native::kRenderItemHitTest, RenderItemHitTest},
    {Native::kRenderItemOverlaps, RenderItemOverlaps},
    {Native::kRenderItemSetRotation, RenderItemSetRotation},
    {Native::kRenderItemSetBlendStates, RenderItemSetBlendStates},
    {Native::kRenderItemSetBlendMode, RenderItemSetBlendMode},
    {Native::kRenderItemSetColor, RenderItemSetColor},
    {Native::kRenderItemSetVertexColor, RenderItemSetVertexColor},
    {Native::kRenderItemSetVertexColors, RenderItemSetVertexColors},
    {Native::kTriangleSetVertexColors, TriangleSetVertexColors},
    {Native::kRenderItemSetAlpha, RenderItemSetAlpha},
    {Native::kRenderItemSetVertexAlpha, RenderItemSetVertexAlpha},
    {Native::kRenderItemSetVertexAlphas, RenderItemSetVertexAlphas},
    {Native::kTriangleSetVertexAlphas, TriangleSetVertexAlphas},
    {Native::kSpriteItemSetColorStage, SpriteItemSetStage<&D3DSpritePrimitive::SetColorStage>},
    {Native::kSpriteItemSetAlphaStage, SpriteItemSetStage<&D3DSpritePrimitive::SetAlphaStage>},
    {Native::kSpriteItemSetCorners, SpriteItemSetCorners},
    {Native::kRectItemSetPosition, RectItemSetPosition},
    {Native::kRectItemSetSizeAndPosition, RectItemSetSizeAndPosition},
    {Native::kPolygonSetType, PolygonSetType},
    {Native::kPrimitiveSetPoint, PrimitiveSetPoint},
    {Native::kPolygonSetLine, PolygonSetLine},
    {Native::kTriangleSetPoints, TriangleSetPoints},
    {Native::kTransitionItemSetProgress, TransitionItemSetProgress},
    {Native::kTransitionItemSetValue, TransitionItemSetValue},
    {Native::kTransitionItemSetSource, TransitionItemSetSource},
    {Native::kRenderItemSetOffset, RenderItemOffset<false>},
    {Native::kRenderItemAddOffset, RenderItemOffset<true>},
    {Native::kRenderItemGetRect, RenderItemGetRect},
    {Native::kRenderItemMovePath, RenderItemMovePath},
    {Native::kRenderItemMovePoints, RenderItemMovePoints},
};

constexpr NativeRange kNumbers[] = {{260, 316}};

}  // namespace

const NativeFamily& RenderItemNativeFamily() {
  static const NativeFamily family{"render item", kEntries, kNumbers};
  return family;
}

}  // namespace bw
