// Label: threads
// "bg_anime" on HVD files from the writer: blocks whose cells the pool's worker loads into the
// other bank, loop marks, cells the entries do not name, and a table that would spin.
#include "effects/bg_anime_effect.h"

#include <gtest/gtest.h>

#include "lib/hva/hv_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/bg_effect_rig.h"
#include "support/game_folder.h"

namespace bw {
namespace {

using test::PixelAt;

// A 2 x 2 cell of one colour.
std::vector<uint8_t> Cell(uint32_t rgb) {
  return tools::WriteWgx({24, 2, 2, std::vector<uint32_t>(4, rgb), {}, 0, 0, {}});
}

uint32_t Place(int16_t x, int16_t y) {
  return uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16;
}

class BgAnime : public test::LayerEffectRig {
 protected:
  void SetUp() override {
    LayerEffectRig::SetUp();
    RegisterBuiltinLoaders(images);
    // Written before any worker starts.
    game.dir().WriteFile("CG/c0.wgx", Cell(0x110000));
    game.dir().WriteFile("CG/c1.wgx", Cell(0x002200));
    game.dir().WriteFile("CG/c2.wgx", Cell(0x000033));
  }
  // An 8 x 4 animation of the frame records, cut into blocks by their end records.
  void Load(std::vector<HvdFrame> frames, uint16_t blocks) {
    tools::HvdFile file;
    file.header[0] = 8;
    file.header[2] = 4;
    file.rangeCount = blocks;
    file.frames = std::move(frames);
    file.entries = {{"c0.wgx", 0, 0}, {"c1.wgx", 0, 0}, {"c2.wgx", 0, 0}};
    ASSERT_EQ(anim.Load(tools::WriteHvd(file)), kHvdLoaded);
  }
  uint32_t Shown(int32_t x, int32_t y) {
    return PixelAt(*static_cast<BgAnimeEffect*>(effect)->Frame(), x, y) & 0xFFFFFF;
  }

  test::GameFolder game;
  ImageLoaderManager images;
  ScopedGlobal<ImageLoaderManager> publishedImages{&images};
  HvdAnimation anim;
  const char folder[3] = "CG";
  DisplayEffect* effect = nullptr;
};

TEST_F(BgAnime, PlaysBlocksMarksAndUnnamedCells) {
  Load({{0, 100, Place(0, 0), 0},
        {-1, 1, 0, 0},  // loop mark
        {1, 100, Place(2, 1), 0},
        {-1, 2, 0, 0},  // back to the mark
        {-1, 0, 0, 0},  // next block
        {2, 100, 0, 0},
        {7, 100, 0, 0},  // no entry names cell 7
        {-1, 0, 0, 0}},
       2);
  effect = Make("bg_anime", {Word(&anim), Word(folder), 0, 0, 0, 1});
  ASSERT_NE(effect, nullptr);
  ImageSurface* shown = nullptr;
  Composition().GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(shown, static_cast<BgAnimeEffect*>(effect)->Frame());
  EXPECT_EQ(Shown(1, 1), 0x110000u);
  EXPECT_EQ(effect->Query({4}), 1) << "the next loop mark";
  EXPECT_EQ(effect->Query({5}), -1);

  EXPECT_EQ(effect->Update(1000), kTaskStepContinue);  // starts the timing
  EXPECT_EQ(effect->Update(1100), kTaskStepContinue);
  EXPECT_EQ(std::tuple(Shown(2, 1), Shown(0, 0)), std::tuple(0x002200u, 0u));
  EXPECT_EQ(effect->Update(1200), kTaskStepContinue);  // back at the mark: the same cell again
  EXPECT_EQ(effect->Query({3}), 2);
  EXPECT_EQ(effect->Query({1}), 1);
  EXPECT_EQ(effect->Command({5}), 0);
  (void)effect->Update(1300);  // the loop ends: block 1, whose cells the worker loaded meanwhile
  EXPECT_EQ(effect->Query({2}), 1);
  EXPECT_EQ(Shown(0, 0), 0x000033u);
  (void)effect->Update(1400);
  EXPECT_EQ(Shown(0, 0), 0u) << "an unnamed cell draws nothing";
  (void)effect->Update(1500);
  EXPECT_EQ(effect->Query({0}), kBgAnimeStopped) << "the end of the table without a loop";
  EXPECT_EQ(effect->Command({4}), 0);
  Composition().GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(shown, &picture) << "the layer's own picture comes back";
}

TEST_F(BgAnime, ControlsAndATableThatWouldSpin) {
  Load({{-1, 1, 0, 0}, {0, 0, 0, 0}, {-1, 2, 0, 0}, {-1, 0, 0, 0}}, 1);
  effect = Make("bg_anime", {Word(&anim), Word(folder), -1, 0, 1, 0});
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->Command({1}), kBgAnimeNotNow) << "start before prepare";
  EXPECT_EQ(effect->Command({2}), kBgAnimeNotNow);
  EXPECT_EQ(effect->Command({9}), kBgAnimeUnknown);
  EXPECT_EQ(effect->Command({0, 5, 99}), 0);
  EXPECT_EQ(effect->Query({2}), 0) << "an out-of-range block prepares block 0";
  EXPECT_EQ(effect->Command({1}), 0);
  // Zero-time cells between a mark and its jump: one pass of the table per update.
  (void)BgAnimeEffect::SetStallReset({1});
  (void)effect->Update(0);
  EXPECT_EQ(effect->Update(50), kTaskStepContinue);
  (void)BgAnimeEffect::SetStallReset({0});
  EXPECT_EQ(effect->Update(100), kTaskStepContinue);
  EXPECT_EQ(effect->Command({2}), 0);
  EXPECT_EQ(effect->Query({0}), kBgAnimePaused);

  EXPECT_EQ(effects.Create("bg_anime")->Setup(&timers, Item(), {Word(&anim), 0, 0, 0, 0, 0}),
            kBgAnimeBadArguments);
}

}  // namespace
}  // namespace bw
