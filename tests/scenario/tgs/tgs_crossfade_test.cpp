// The waited cross-fades: their lengths, the page exchange they leave, skipping and the
// transitions that never start.
#include "scenario/tgs/tgs_crossfade.h"

#include <gtest/gtest.h>

#include <vector>

#include "effects/filter_effect.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

class CrossFadeTest : public SceneWorld {
 protected:
  CrossFadeTest() {
    TgsCrossFadeLinks links;
    links.turn = [this] {
      // Each new transition's length, as the virtual clock runs it.
      if (auto* f = static_cast<FilterEffect*>(shown_.GetSource()); f && f != last_)
        lengths_.push_back(f->durationMs), last_ = f;
      return Turn();
    };
    links.skipIf = [this](int bits) { return skipHeld_ && bits == kFadeSkipAny; };
    links.skipping = [this] { return skipping_; };
    fades_ = std::make_unique<TgsCrossFade>(*scene_, std::move(links));
    EXPECT_EQ(scene_->LoadBackground("BG1A", 0), 0);
    EXPECT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  }

  std::unique_ptr<TgsCrossFade> fades_;
  std::vector<uint32_t> lengths_;
  const void* last_ = nullptr;
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

}  // namespace
}  // namespace bw::test
