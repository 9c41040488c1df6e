#include "natives/image_transfer.h"

#include <algorithm>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/quad_mapper.h"
#include "natives/object_casts.h"
#include "script/native_args.h"

namespace bw {
namespace {

int Byte(uint32_t value) {
  return int(value & 0xFF);
}
// Three weight bytes, blue lowest; the alpha weight stays 0.
uint32_t Weights(uint32_t value) {
  return value & 0x00FFFFFFu;
}

using T = ImageSurface;
using C = TransferCall;
using S = Surface;

constexpr TransferRow kRows[] = {
    {333, 0, 0, false, false,
     [](T& t, const S& s, const C& c) { return t.Blit(&s, c.x, c.y, c.rect, false); }},
    {334, 0, 0, true, false,
     [](T& t, const S& s, const C& c) { return t.StretchBlit(&s, c.size, c.x, c.y, c.rect, false); }},
    {335, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.BlitMirrored(Byte(c.values[0]), &s, c.x, c.y, c.rect);
     }},
    {336, 0, 1, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchBlitMirrored(Byte(c.values[0]), &s, c.size, c.x, c.y, c.rect);
     }},
    {337, 0, 0, false, false,
     [](T& t, const S& s, const C& c) { return t.AlphaBlit(&s, c.x, c.y, c.rect, false); }},
    {338, 0, 0, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchAlphaBlit(&s, c.size, c.x, c.y, c.rect, false);
     }},
    {339, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.AlphaBlitMirrored(Byte(c.values[0]), &s, c.x, c.y, c.rect);
     }},
    {340, 0, 1, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchAlphaBlitMirrored(Byte(c.values[0]), &s, c.size, c.x, c.y, c.rect);
     }},
    {341, 0, 0, false, false,
     [](T& t, const S& s, const C& c) { return t.CopyAlphaPlane(&s, c.x, c.y, c.rect, false); }},
    {342, 0, 0, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchCopyAlphaPlane(&s, c.size, c.x, c.y, c.rect, false);
     }},
    {343, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.CopyAlphaPlaneMirrored(Byte(c.values[0]), &s, c.x, c.y, c.rect);
     }},
    {344, 0, 1, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchCopyAlphaPlaneMirrored(Byte(c.values[0]), &s, c.size, c.x, c.y, c.rect);
     }},
    {345, 0, 0, false, false,
     [](T& t, const S& s, const C& c) { return t.BlitColor(&s, c.x, c.y, c.rect); }},
    {346, 0, 0, true, false,
     [](T& t, const S& s, const C& c) { return t.StretchBlitColor(&s, c.size, c.x, c.y, c.rect); }},
    {347, 0, 0, false, false,
     [](T& t, const S& s, const C& c) { return t.BlitAlpha(&s, c.x, c.y, c.rect); }},
    {348, 0, 0, true, false,
     [](T& t, const S& s, const C& c) { return t.StretchBlitAlpha(&s, c.size, c.x, c.y, c.rect); }},
    {349, 0, 0, false, false,
     [](T& t, const S& s, const C& c) { return t.BlitFromObject(&s, c.x, c.y, c.rect); }},
    {350, 0, 0, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchBlitFromObject(&s, c.size, c.x, c.y, c.rect);
     }},
    {357, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.OpacityBlit(&s, Byte(c.values[0]), c.x, c.y, c.rect);
     }},
    {358, 0, 1, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchOpacityBlit(&s, Byte(c.values[0]), c.size, c.x, c.y, c.rect);
     }},
    {359, 0, 2, false, false,
     [](T& t, const S& s, const C& c) {
       return t.WeightedBlit(&s, Weights(c.values[0]), Weights(c.values[1]), c.x, c.y, c.rect);
     }},
    {360, 0, 2, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchWeightedBlit(&s, Weights(c.values[0]), Weights(c.values[1]), c.size, c.x,
                                    c.y, c.rect);
     }},
    {361, 1, 0, false, false,
     [](T& t, const S& s, const C& c) {
       return t.BlendBlit(Byte(c.values[0]), &s, c.x, c.y, c.rect);
     }},
    {362, 1, 0, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchBlendBlit(Byte(c.values[0]), &s, c.size, c.x, c.y, c.rect);
     }},
    {363, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.AddBlit(&s, Byte(c.values[0]), c.x, c.y, c.rect);
     }},
    {364, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.SubtractBlit(&s, Byte(c.values[0]), c.x, c.y, c.rect);
     }},
    {365, 1, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.AlphaOpacityBlit(Byte(c.values[0]), &s, Byte(c.values[1]), c.x, c.y, c.rect);
     }},
    {366, 1, 1, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchAlphaOpacityBlit(Byte(c.values[0]), &s, Byte(c.values[1]), c.size, c.x,
                                        c.y, c.rect);
     }},
    {367, 0, 1, false, false,
     [](T& t, const S& s, const C& c) {
       return t.AlphaBlitOntoAlpha(&s, Byte(c.values[0]), c.x, c.y, c.rect);
     }},
    {368, 0, 1, true, false,
     [](T& t, const S& s, const C& c) {
       return t.StretchAlphaBlitOntoAlpha(&s, Byte(c.values[0]), c.size, c.x, c.y, c.rect);
     }},
    {369, 0, 4, false, true,
     [](T& t, const S& s, const C& c) {
       return t.RuleBlit(&s, c.rule, Byte(c.values[1]), int32_t(c.values[2]),
                         int32_t(c.values[3]), c.x, c.y, c.rect);
     }},
    {370, 0, 4, false, true,
     [](T& t, const S& s, const C& c) {
       return t.RuleAlphaBlit(&s, c.rule, Byte(c.values[1]), int32_t(c.values[2]),
                              int32_t(c.values[3]), c.x, c.y, c.rect);
     }},
    {371, 0, 2, false, false,
     [](T& t, const S& s, const C& c) {
       return t.BlurBlit(&s, Byte(c.values[0]), Byte(c.values[1]), c.x, c.y, c.rect);
     }},
    {372, 0, 2, false, false,
     [](T& t, const S& s, const C& c) {
       return t.BlurAlphaBlit(&s, Byte(c.values[0]), Byte(c.values[1]), c.x, c.y, c.rect);
     }},
    {373, 0, 0, true, false,
     [](T& t, const S& s, const C& c) {
       return t.SmoothStretchBlit(&s, c.size, c.x, c.y, c.rect);
     }},
    {390, 0, 3, false, false,
     [](T& t, const S& s, const C& c) {
       return t.LibBlitOpB(&s, int32_t(c.values[0]), int32_t(c.values[1]), int32_t(c.values[2]),
                           c.x, c.y, c.rect);
     }},
    {391, 0, 4, true, false,
     [](T& t, const S& s, const C& c) {
       return t.LibStretchBlit(&s, int32_t(c.values[0]), int32_t(c.values[1]),
                               int32_t(c.values[2]), int32_t(c.values[3]), c.size, c.x, c.y,
                               c.rect);
     }},
};

}  // namespace

std::span<const TransferRow> TransferRows() {
  return kRows;
}

const TransferRow* FindTransferRow(uint32_t number) {
  const auto* it = std::find_if(std::begin(kRows), std::end(kRows),
                                [number](const TransferRow& r) { return r.number == number; });
  return it == std::end(kRows) ? nullptr : it;
}

const Rect* OptionalRect(NativeArgs& a, uint32_t k, Rect& store) {
  if (a.U32(k) == kDefaultsSwitch) return nullptr;
  store = {a.I32(k), a.I32(k + 1), a.I32(k + 2), a.I32(k + 3)};
  return &store;
}

int32_t RunTransfer(NativeArgs& a, const TransferRow& row) {
  TransferCall call;
  uint32_t k = 0, n = 0;
  while (n < row.before) call.values[n++] = a.U32(k++);
  const uint32_t target = a.U32(k++);
  const uint32_t source = a.U32(k++);
  for (uint32_t i = 0; i < row.after; ++i) call.values[n++] = a.U32(k++);
  // Switched-off groups are not read: a script may end its words there.
  Size size;
  Rect rect;
  if (a.U32(k) != kDefaultsSwitch) {
    call.x = a.I32(k++);
    call.y = a.I32(k++);
    if (row.stretched) {
      size = {a.I32(k), a.I32(k + 1)};
      call.size = &size;
      k += 2;
    }
    call.rect = OptionalRect(a, k, rect);
  }
  if (a.Faulted()) return 0;
  const ScriptHandles& handles = a.Host().Handles();
  ImageSurface* to = GetObjectSurface(handles, target);
  const ImageSurface* from = GetObjectSurface(handles, source);
  if (!to || !from) return kTransferNoImage;
  if (row.rule) {
    const ImageSurface* rule = GetObjectSurface(handles, call.values[row.before]);
    if (!rule || rule->GetBitsPerPixel() != 8) return kTransferNoImage;
    call.rule = rule;
  }
  return row.operation(*to, *from, call);
}

namespace {
// The target and source of the fixed layouts, or null for either.
struct Pair {
  ImageSurface* to = nullptr;
  const ImageSurface* from = nullptr;
};
Pair PairOf(NativeArgs& a) {
  const ScriptHandles& handles = a.Host().Handles();
  return {GetObjectSurface(handles, a.U32(0)), GetObjectSurface(handles, a.U32(1))};
}
}  // namespace

int32_t RunQuadTransfer(NativeArgs& a, bool alpha) {
  Point quad[4];
  for (uint32_t i = 0; i < 4; ++i) quad[i] = {a.I32(2 + 2 * i), a.I32(3 + 2 * i)};
  Rect sourceStore, clipStore;
  const Rect* source = OptionalRect(a, 10, sourceStore);
  const Rect* clip = OptionalRect(a, 14, clipStore);
  const Pair p = PairOf(a);
  if (a.Faulted()) return 0;
  if (!p.to || !p.from) return kTransferNoImage;
  return alpha ? p.to->QuadOpacityBlit(p.from, quad, 255, source, clip)
               : p.to->QuadBlit(p.from, quad, source, clip);
}

int32_t RunRotateTransfer(NativeArgs& a, bool opacity) {
  const int anchor = Byte(a.U32(2));
  const int32_t x = a.I32(3), y = a.I32(4), angle = a.I32(5), zoom = a.I32(6);
  const uint32_t k = opacity ? 8 : 7;
  const int level = opacity ? Byte(a.U32(7)) : 255;
  Rect sourceStore, clipStore;
  const Rect* source = OptionalRect(a, k, sourceStore);
  const Rect* clip = OptionalRect(a, k + 4, clipStore);
  const Pair p = PairOf(a);
  if (a.Faulted()) return 0;
  if (!p.to || !p.from) return kTransferNoImage;
  return opacity
             ? p.to->RotateZoomOpacityBlit(p.from, anchor, x, y, angle, zoom, level, source, clip)
             : p.to->RotateZoomBlit(p.from, anchor, x, y, angle, zoom, source, clip);
}

}  // namespace bw
