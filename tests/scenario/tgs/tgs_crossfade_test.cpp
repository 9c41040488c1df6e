// The waited cross-fades: their lengths, the page exchange they leave behind, skipping, quitting
// and the transitions that never start.
#include "scenario/tgs/tgs_crossfade.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "effects/filter_effect.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

class CrossFadeTest : public SceneWorld {
 protected:
  CrossFadeTest() {
    TgsCrossFadeLinks links;
    links.host = this;
    links.turn = [this] {
      // Each new transition's length, as the virtual clock will run it.
      if (auto* f = static_cast<FilterEffect*>(shown_.GetSource()); f && f != last_) {
        lengths_.push_back(f->durationMs);
        last_ = f;
      }
      return quitAfter_-- != 0 && Turn();
    };
    links.skipIf = [this](int bits) {
      skipBits_ = bits;
      return skipHeld_;
    };
    links.skipping = [this] { return skipping_; };
    fades_ = std::make_unique<TgsCrossFade>(*scene_, std::move(links));
    EXPECT_EQ(scene_->LoadBackground("BG1A", 0), 0);
    EXPECT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  }

  std::unique_ptr<TgsCrossFade> fades_;
  std::vector<uint32_t> lengths_;
  const void* last_ = nullptr;
  int quitAfter_ = -1;
  int skipBits_ = 0;
  bool skipHeld_ = false;
};

TEST_F(CrossFadeTest, FlashGoesIntoTheColourAndBackInFourAndTwoSixths) {
  for (auto [time, into, back] : {std::array<uint32_t, 3>{0, 400, 200}, {1200, 800, 400}}) {
    lengths_.clear();
    EXPECT_EQ(fades_->FlashColor(int32_t(time), 0xFFFFFF), 0);
    EXPECT_EQ(lengths_, (std::vector<uint32_t>{into, back})) << "time " << time;
    EXPECT_EQ(skipBits_, kFadeSkipAny);
    EXPECT_EQ(scene_->Background(0).name, "BG1A") << "the scene is back";
    EXPECT_NE(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr);
    EXPECT_EQ(scene_->Background(1).color, 0xFFFFFFu);
    EXPECT_EQ(scene_->SpriteRecord(1, 0, 0)->sprite, nullptr) << "the colour has no sprites";
  }
}

TEST_F(CrossFadeTest, ThroughColourTakesFiveThenThreeEighthsAndEndsOnTheNewBackground) {
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("BG2A", 0, 0xFFFFFF), 0);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{500, 300}));
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr);
  EXPECT_EQ(scene_->Background(1).color, 0xFFFFFFu);

  lengths_.clear();
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("MISSING", 1600, 0x000000), kFadeNoBackground);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{1000, 600})) << "both halves run";
}

TEST_F(CrossFadeTest, WhileSkippingNothingRunsYetTheBackgroundStillChanges) {
  skipping_ = true;
  EXPECT_EQ(fades_->FlashColor(0, 0xFF0000), 0);
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
  EXPECT_EQ(scene_->Background(1).color, 0xFF0000u);
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("BG2A", 0, 0xFFFFFF), 0);
  EXPECT_EQ(turns_, 0);
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr) << "both pages lose their sprites";
  EXPECT_EQ(scene_->SpriteRecord(1, 0, 0)->sprite, nullptr);
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
  EXPECT_EQ(fades_->CrossFade(300, 1, 0), kFadeFinished) << "skip mode 0 ignores the keys";
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
}

TEST_F(CrossFadeTest, ModesSwapWhatTheyExchangeAndQuitAnswersMinusOne) {
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  EXPECT_EQ(fades_->CrossFade(200, 0, 0), kFadeFinished);
  EXPECT_EQ(scene_->Background(0).name, "BG1A") << "mode 0 keeps the records";
  EXPECT_EQ(fades_->CrossFade(200, 2, 0), kFadeFinished);
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  EXPECT_NE(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr) << "mode 2 leaves the sprites";
  quitAfter_ = 2;
  EXPECT_EQ(fades_->CrossFade(1000, 1, 0), kFadeQuit);
  EXPECT_FALSE(shown_.HasSource());
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
}

TEST_F(CrossFadeTest, NoTransitionAnswersTwoAndOneThatCannotStartThree) {
  EXPECT_EQ(fades_->RunTransition(nullptr, scene_->Page(0), 1, 0), kFadeNoTransition);
  TgsPageLayer none;
  EXPECT_EQ(fades_->CrossFade(300, 1, 0, &none), kFadeNoTransition);
  // Exchanging backgrounds needs one on each page.
  ASSERT_EQ(scene_->ClearBackgroundToColor(0x102030, 1), 0);
  EXPECT_EQ(fades_->CrossFade(300, 2, 0), kFadeNotStarted);
  EXPECT_FALSE(shown_.HasSource());
  EXPECT_EQ(scene_->Background(0).name, "BG1A") << "the pages stay as they were";
  EXPECT_EQ(turns_, 0);
}

}  // namespace
}  // namespace bw::test
