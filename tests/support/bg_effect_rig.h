// A composed scene layer for the layer effects: a target of 64 x 32 showing a picture whose every
// pixel names its own coordinates, the shared trig tables, a timer service and the registry's
// layer keywords. Effects are stepped by hand at fixed clock times.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "common/global.h"
#include "effects/bg_layer_effect.h"
#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "support/listed_task.h"

namespace bw::test {

// A pixel that names (x, y): opaque, x in bits 12-23, y in bits 0-11.
constexpr uint32_t Coded(int32_t x, int32_t y) {
  return 0xFF000000u | uint32_t(x) << 12 | uint32_t(y);
}
constexpr int32_t CodedX(uint32_t pixel) {
  return int32_t(pixel >> 12 & 0xFFF);
}
constexpr int32_t CodedY(uint32_t pixel) {
  return int32_t(pixel & 0xFFF);
}

inline uint32_t PixelAt(const ImageSurface& surface, int32_t x, int32_t y) {
  uint32_t v;
  std::memcpy(&v, surface.GetRowPointer(y) + 4 * x, 4);
  return v;
}

inline void FillCoded(ImageSurface& surface, int32_t width, int32_t height) {
  ASSERT_EQ(surface.Create(width, height, 32, kImagePlain), 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) (void)surface.SetPixel(x, y, Coded(x, y));
}

class LayerEffectRig : public ::testing::Test {
 protected:
  static constexpr int32_t kWidth = 64, kHeight = 32;

  void SetUp() override {
    BuildBlendTables();
    ASSERT_EQ(layer.Create(kWidth, kHeight, 32, true), kLayerDone);
    FillCoded(picture, 2 * kWidth, 2 * kHeight);
    Composition().SetBackgroundColor(0xFF0000FE, false);
    (void)Composition().SetBackgroundImage(&picture, 0, 0, true);
    RegisterApplicationKeywords(transitions, effects);
  }
  // The layer item as the effects take it.
  SurfaceLayer* Item() { return &layer; }
  CompositionLayer& Composition() { return *layer.GetCompositionLayer(); }
  // A layer effect of the registry set up on the layer; the code of its set-up in *code. A
  // started effect belongs to the timer service.
  DisplayEffect* Make(const char* keyword, ArgWords words, int* code = nullptr) {
    std::unique_ptr<DisplayEffect> effect(effects.Create(keyword));
    EXPECT_NE(effect, nullptr) << keyword;
    if (effect == nullptr) return nullptr;
    const int rc = effect->Setup(&timers, Item(), words);
    if (code) *code = rc;
    return rc == 0 ? test::HandOver(timers, std::move(effect)) : nullptr;
  }
  Rect View() {
    Rect view{};
    EXPECT_TRUE(Composition().GetStretchView(&view));
    return view;
  }
  const ImageSurface& Work() { return *Composition().GetWorkSurface(); }

  TrigTables trig;
  ScopedGlobal<TrigTables> publishedTrig{&trig};
  TcpPluginManager transitions;
  DcpPluginManager effects;
  ImageSurface picture;
  OffscreenLayer layer;
  TimerService timers;  // first to go: its effects still reach the layer
};

}  // namespace bw::test
