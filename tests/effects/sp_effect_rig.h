// A 640 x 480 composition layer on a virtual clock from 0 with an effects timer service, and
// picture sprites in its list, for the sprite effect tests.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/global.h"
#include "effects/display_effect.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "lib/wgx/wgx_writer.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/bg_effect_rig.h"
#include "support/game_folder.h"
#include "support/listed_task.h"

namespace bw {

// Counts the calls of the effects' running hooks while it lives.
struct RunningHooks {
  RunningHooks() {
    lowered = restored = 0;
    SetEffectRunningHooks([] { ++lowered; }, [] { ++restored; });
  }
  ~RunningHooks() { SetEffectRunningHooks(nullptr, nullptr); }
  static inline int lowered = 0, restored = 0;
};

class SpriteEffectRig : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ASSERT_EQ(area.Create(640, 480, 32, 0), 0);
    ASSERT_EQ(layer.SetTarget(&area, false), 0);
  }

  // A w x h picture of one colour shown at (x, y) at priority.
  Sprite* AddSprite(int32_t w, int32_t h, uint32_t argb, int32_t x = 0, int32_t y = 0,
                    uint32_t priority = 10) {
    auto& picture = pictures.emplace_back(std::make_unique<ImageSurface>());
    EXPECT_EQ(picture->Create(w, h, 32, 0), 0);
    (void)picture->Fill(argb, nullptr);
    Sprite* sprite = NewSprite();
    (void)sprite->SetImage(picture.get(), nullptr, x, y);
    (void)layer.GetList().Add(sprite, priority, 0);
    return sprite;
  }
  // A picture sprite whose sprite and picture an effect takes over; each pixel from pixel(x, y).
  template <typename PixelOf>
  Sprite* HandedSprite(int32_t w, int32_t h, PixelOf pixel, int32_t x, int32_t y,
                       uint32_t priority = 10) {
    auto* picture = new ImageSurface;
    EXPECT_EQ(picture->Create(w, h, 32, 0), 0);
    picture->SetHasAlpha(true);
    for (int32_t j = 0; j < h; ++j) {
      for (int32_t i = 0; i < w; ++i)
        reinterpret_cast<uint32_t*>(picture->GetRowPointer(j))[i] = pixel(i, j);
    }
    auto* sprite = new Sprite;
    (void)sprite->SetImage(picture, nullptr, x, y);
    (void)layer.GetList().Add(sprite, priority, 0);
    return sprite;
  }
  // An effect of class E started on target and handed to the service; null (and a failed test)
  // when its start answers anything but setUp.
  template <typename E>
  E* Started(EffectTarget target, ArgList args, int setUp) {
    auto effect = std::make_unique<E>();
    const int rc = effect->Start(&timers, target, args);
    EXPECT_EQ(rc, setUp);
    return rc == setUp ? test::HandOver(timers, std::move(effect)) : nullptr;
  }
  // A sprite the test owns (an effect that takes one over is handed a released pointer).
  Sprite* NewSprite() { return sprites.emplace_back(std::make_unique<Sprite>()).get(); }
  // Runs the service at each clock time in turn.
  template <typename... Later>
  void At(uint32_t ms, Later... later) {
    clock.SetMilliseconds(ms);
    timers.RunDue(0);
    if constexpr (sizeof...(later) > 0) At(static_cast<uint32_t>(later)...);
  }
  // Writes a 32-bit WGX picture into the game folder; the pixels are top-down 0xAARRGGBB.
  void WritePicture(const std::string& relative, int32_t w, int32_t h,
                    std::vector<uint32_t> pixels) {
    if (!loaders) {
      loaders = std::make_unique<ImageLoaderManager>();
      RegisterBuiltinLoaders(*loaders);
      publishedLoaders = std::make_unique<ScopedGlobal<ImageLoaderManager>>(loaders.get());
    }
    const std::vector<uint8_t> bytes =
        tools::WriteWgx({32, uint32_t(w), uint32_t(h), std::move(pixels), {}, 0, 0, {}});
    game.dir().WriteFile(relative, std::string(bytes.begin(), bytes.end()));
  }
  // The colour (no alpha) the layer shows at (x, y) once it has redrawn what changed.
  uint32_t Shown(int32_t x, int32_t y) {
    (void)layer.RedrawDirty(nullptr, nullptr, 0, 0);
    return test::PixelAt(area, x, y) & 0xFFFFFF;
  }
  // A colour the layer must show at (x, y); kDrawn: anything but black.
  static constexpr uint32_t kDrawn = 0xFFFFFFFFu;
  struct Probe {
    int32_t x, y;
    uint32_t rgb;
    const char* why = "";
  };
  void ExpectShown(std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) {
      const uint32_t shown = Shown(p.x, p.y);
      EXPECT_TRUE(p.rgb == kDrawn ? shown != 0 : shown == p.rgb)
          << p.x << "," << p.y << " shows " << std::hex << shown << ", not " << p.rgb << ": "
          << p.why;
    }
  }

  test::GameFolder game;
  std::unique_ptr<ImageLoaderManager> loaders;
  std::unique_ptr<ScopedGlobal<ImageLoaderManager>> publishedLoaders;
  host::VirtualClock clock{0};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  TrigTables trig;
  ScopedGlobal<TrigTables> publishedTrig{&trig};
  std::deque<std::unique_ptr<ImageSurface>> pictures;
  ImageSurface area;
  CompositionLayer layer;
  std::deque<std::unique_ptr<Sprite>> sprites;
  TimerService timers;
};

}  // namespace bw
