// Label: optimised
// The waited cross-fades: their lengths, the page exchange they leave, skipping and the
// transitions that never start.
#include "scenario/tgs/tgs_crossfade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "effects/filter_effect.h"
#include "host/gdi/memory_dc.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

class CrossFadeTest : public SceneWorld {
 protected:
  CrossFadeTest() {
    TgsCrossFadeLinks links;
    links.turn = [this] {
      if (beforeTurn_) beforeTurn_();
      // Each new transition's length, as the virtual clock runs it. A transition is new by the
      // page's count: the next one may well take the place the last one freed.
      const uint32_t started = scene_->Page(0).TransitionsStarted();
      if (auto* f = static_cast<FilterEffect*>(shown_.GetSource()); f && started != counted_)
        lengths_.push_back(f->durationMs), counted_ = started;
      return Turn();
    };
    links.skipIf = [this](int bits) { return skipHeld_ && bits == kFadeSkipAny; };
    links.skipping = [this] { return skipping_; };
    fades_ = std::make_unique<TgsCrossFade>(*scene_, std::move(links));
    EXPECT_EQ(scene_->LoadBackground("BG1A", 0), 0);
    EXPECT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  }

  // The shown page composed whole, the list above included.
  std::unique_ptr<ImageSurface> Shown() {
    auto picture = std::make_unique<ImageSurface>();
    EXPECT_EQ(picture->Create(kTgsScreenWidth, kTgsScreenHeight, 32, kImagePlain), kSurfaceDone);
    EXPECT_EQ(shown_.GetCompositionLayer()->RenderTo(picture.get(), kRenderAll, 0, true),
              kComposeDone);
    return picture;
  }
  static ImageSurface* BackgroundOf(CanvasLayer& layer) {
    ImageSurface* picture = nullptr;
    layer.GetCompositionLayer()->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr,
                                               nullptr);
    return picture;
  }

  std::function<void()> beforeTurn_;
  std::unique_ptr<TgsCrossFade> fades_;
  std::vector<uint32_t> lengths_;
  uint32_t counted_ = 0;
  bool skipHeld_ = false;
};

TEST_F(CrossFadeTest, FlashAndThroughColourSplitTheirTimeAndEndWhereTheyShould) {
  EXPECT_EQ(fades_->FlashColor(0, 0xFFFFFF), 0);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{400, 200}));
  EXPECT_EQ(scene_->Background(0).name, "BG1A") << "the flash comes back to the scene";
  EXPECT_NE(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr);

  lengths_.clear();
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("BG2A", 0, 0xFFFFFF), 0);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{500, 300}));
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr);
  EXPECT_EQ(scene_->Background(1).color, 0xFFFFFFu);

  lengths_.clear();
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("MISSING", 1600, 0), kFadeNoBackground);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{1000, 600})) << "both halves still run";

  skipping_ = true;
  const int turns = turns_;
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("BG3A", 0, 0), 0);
  EXPECT_EQ(turns_, turns) << "skipping shows nothing";
  EXPECT_EQ(scene_->Background(0).name, "BG3A");
}

TEST_F(CrossFadeTest, HeldSkipKeyCutsTheFadeShortAndStillSwaps) {
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  skipHeld_ = true;
  EXPECT_EQ(fades_->CrossFade(1000, 1, kFadeSkipAny), kFadeCutShort);
  EXPECT_EQ(turns_, 1);
  EXPECT_FALSE(shown_.HasSource());
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  ImageSurface* shownPicture = nullptr;
  shown_.GetCompositionLayer()->GetBackground(&shownPicture, nullptr, nullptr, nullptr, nullptr,
                                              nullptr);
  EXPECT_EQ(shownPicture, scene_->Background(0).picture.get()) << "layer and records agree";
  EXPECT_EQ(fades_->CrossFade(300, 2, 0), kFadeFinished) << "skip mode 0 ignores the keys";
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr) << "mode 2 leaves the sprites";
}

TEST_F(CrossFadeTest, NoTransitionAnswersTwoAndOneThatCannotStartThree) {
  EXPECT_EQ(fades_->RunTransition(nullptr, scene_->Page(0), 1, 0), kFadeNoTransition);
  // Exchanging backgrounds needs one on each page.
  ASSERT_EQ(scene_->ClearBackgroundToColor(0x102030, 1), 0);
  EXPECT_EQ(fades_->CrossFade(300, 2, 0), kFadeNotStarted);
  EXPECT_FALSE(shown_.HasSource());
  EXPECT_EQ(scene_->Background(0).name, "BG1A") << "the pages stay as they were";
}

TEST_F(CrossFadeTest, FadeFromBlackBringsTheSceneInAndLeavesBothPagesAsTheyWere) {
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  const std::unique_ptr<ImageSurface> unfaded = Shown();
  ImageSurface *const front = BackgroundOf(shown_), *const back = BackgroundOf(back_);
  auto section = host::DibSection::Create(kTgsScreenWidth, kTgsScreenHeight, 32);
  host::MemoryDc dc;
  dc.Select(section.get());
  // Each presented frame of the fade: the sum of its colour channels and how many of its pixels
  // differ from the scene as it stands.
  std::vector<uint64_t> light;
  std::vector<int> differing;
  beforeTurn_ = [&] {
    if (!shown_.HasSource() || shown_.PresentFrame({}, &dc, nullptr, 0, true) != kPresentDone)
      return;
    uint64_t sum = 0;
    int count = 0;
    for (int y = 0; y < kTgsScreenHeight; ++y) {
      for (int x = 0; x < kTgsScreenWidth; ++x) {
        uint32_t v;
        std::memcpy(&v, section->Pixels() + y * section->Pitch() + 4 * x, 4);
        sum += (v & 0xFF) + (v >> 8 & 0xFF) + (v >> 16 & 0xFF);
        count += ((v ^ Pixel(*unfaded, x, y)) & 0xFFFFFF) != 0;
      }
    }
    light.push_back(sum);
    differing.push_back(count);
  };
  EXPECT_EQ(fades_->FadeInFromBlack(500), kFadeFinished);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{500}));
  ASSERT_GE(light.size(), 3u);
  EXPECT_EQ(light.front(), 0u) << "the fade starts from black, the pictures too";
  EXPECT_TRUE(std::is_sorted(light.begin(), light.end()) && light[1] > 0);
  for (int count : differing) EXPECT_GT(count, 0) << "a frame of the fade shows the end already";

  EXPECT_EQ(BackgroundOf(shown_), front);
  EXPECT_EQ(BackgroundOf(back_), back);
  EXPECT_EQ(scene_->Background(1).name, "BG2A");
  const std::unique_ptr<ImageSurface> after = Shown();
  for (int y = 0; y < kTgsScreenHeight; ++y) {
    ASSERT_EQ(std::memcmp(after->GetRowPointer(y), unfaded->GetRowPointer(y), 4 * kTgsScreenWidth),
              0)
        << "row " << y;
  }
}

}  // namespace
}  // namespace bw::test
